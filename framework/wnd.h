#pragma once
// CWnd: holds an HWND and, once subclassed, routes the window's messages to
// the virtual OnMessage of its C++ object. It never owns the window: the
// destructor only undoes the subclassing.
//
// Dispatch order for a subclassed window: OnMessage first; if it declines,
// notifications from children (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
// WM_CTLCOLOR*) are reflected to the child's object as kReflectBase + msg, so
// controls can handle their own notifications; then the previous window proc.

#include <windows.h>

#include <string>

constexpr UINT kReflectBase = WM_USER + 0x1C00;  // same value as OCM__BASE
constexpr UINT kReflectCommand = kReflectBase + WM_COMMAND;
constexpr UINT kReflectNotify = kReflectBase + WM_NOTIFY;
constexpr UINT kReflectDrawItem = kReflectBase + WM_DRAWITEM;

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hwnd = nullptr;
    operator HWND() const { return m_hwnd; }

    // Plain holding: no message routing.
    void Attach(HWND wnd) { m_hwnd = wnd; }
    HWND Detach();

    // Routes the window's messages through OnMessage until the window is
    // destroyed or UnsubclassWindow is called.
    bool SubclassWindow(HWND wnd);
    bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }
    HWND UnsubclassWindow();

    // The object routing this window's messages, or null.
    static CWnd* FromHandle(HWND wnd);

    // Thin helpers used often enough to earn a place.
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendMessageA(m_hwnd, msg, wp, lp);
    }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::PostMessageA(m_hwnd, msg, wp, lp);
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hwnd, id); }
    std::string GetWindowText() const;
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hwnd, text); }
    void ShowWindow(int cmd) { ::ShowWindow(m_hwnd, cmd); }
    void EnableWindow(bool enable) { ::EnableWindow(m_hwnd, enable); }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hwnd) != FALSE; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hwnd) != FALSE; }
    void SetFont(HFONT font, bool redraw = true) { SendMessage(WM_SETFONT, (WPARAM)font, redraw); }
    HFONT GetFont() const { return (HFONT)SendMessage(WM_GETFONT); }
    LONG_PTR GetStyle() const { return GetWindowLongPtrA(m_hwnd, GWL_STYLE); }
    void ModifyStyle(LONG_PTR remove, LONG_PTR add);
    bool DestroyWindow();

protected:
    // Handle a message: return true and set result, or false for the default.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // The window has received its last message; m_hwnd is already null.
    virtual void OnFinalMessage() {}
    // Runs once the window routes through this object (set-up such as
    // style bits or tooltips belongs here).
    virtual void OnSubclassed() {}

    // The previous window procedure (or DefWindowProc when there is none).
    LRESULT DefProc(UINT msg, WPARAM wp, LPARAM lp);
    // Offers a child's notification to the child's own object.
    bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    static LRESULT CALLBACK RouterProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    // For windows subclassed before creation (CBT hook in CDialog).
    bool HookNewWindow(HWND wnd);

private:
    LRESULT Route(UINT msg, WPARAM wp, LPARAM lp);
    WNDPROC m_oldProc = nullptr;
};
