#pragma once
// CDialog: a dialog from a template, run modally by a loop of our own so that
// PreTranslateMessage (accelerators) and an idle pass (WM_KICKIDLE) exist.
//
// The dialog window is subclassed as it is created (CBT hook), so the object
// sees every message from WM_CREATE on; results go straight back to the
// sender (no DWLP_MSGRESULT needed).
//
// Commands are enabled by the CCommandUpdater it mixes in: the idle pass
// applies the rule to controls and toolbar buttons, WM_INITMENUPOPUP to menu
// items (context menus too), and a menu or accelerator command that is
// disabled at that moment is swallowed.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/command_updater.h"
#include "framework/wnd.h"

constexpr UINT kWmKickIdle = 0x036A;

class CDialog : public CWnd, public CCommandUpdater {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    ~CDialog() override;

    // Creates the dialog, disables the owner, runs the loop until EndDialog.
    // Returns the EndDialog result, or -1 if the dialog could not be created.
    INT_PTR DoModal();
    // Creates the dialog modeless (shown if its template says so).
    bool Create();
    // Ends the modal loop with the result; a modeless dialog is destroyed.
    void EndDialog(INT_PTR result);
    INT_PTR GetResult() const { return m_result; }

    // Moves data between members and controls through DoDataExchange.
    bool UpdateData(bool save);

    // Offered every queued message first; true means it was consumed.
    virtual bool PreTranslateMessage(MSG* msg);

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // WM_COMMAND other than IDOK/IDCANCEL; true when handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // WM_NOTIFY; true when handled, with the result set.
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result);
    virtual void DoDataExchange(bool save);

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    HWND CommandWindow() const override { return m_hwnd; }

    // Data exchange helpers; each is a no-op for a missing control.
    void DDX_Check(bool save, int id, int& value);
    void DDX_Text(bool save, int id, std::string& value);
    void DDX_CBIndex(bool save, int id, int& index);
    // Binds (subclasses) the control to its object once.
    void DDX_Control(int id, CWnd& control);

    HWND m_parent;

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wp, LPARAM lp);
    void RunModalLoop();

    UINT m_templateId;
    INT_PTR m_result = -1;
    bool m_inModalLoop = false;
    bool m_endRequested = false;
};
