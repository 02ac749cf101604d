#include "framework/wnd.h"

#include <mutex>
#include <unordered_map>

namespace {
// HWND -> routing object. A window property would do, but under Wine every
// property call is a server round trip, paid for every message.
std::mutex g_mapLock;
std::unordered_map<HWND, CWnd*>& Map() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}
bool SetObject(HWND wnd, CWnd* object) {
    std::lock_guard<std::mutex> lock(g_mapLock);
    return Map().emplace(wnd, object).second;
}
void RemoveObject(HWND wnd) {
    std::lock_guard<std::mutex> lock(g_mapLock);
    Map().erase(wnd);
}
CWnd* GetObjectOf(HWND wnd) {
    std::lock_guard<std::mutex> lock(g_mapLock);
    auto found = Map().find(wnd);
    return found == Map().end() ? nullptr : found->second;
}
}  // namespace

CWnd::~CWnd() {
    if (m_oldProc && m_hwnd && IsWindow(m_hwnd)) UnsubclassWindow();
}

HWND CWnd::Detach() {
    if (m_oldProc) return UnsubclassWindow();
    HWND wnd = m_hwnd;
    m_hwnd = nullptr;
    return wnd;
}

CWnd* CWnd::FromHandle(HWND wnd) {
    return wnd ? GetObjectOf(wnd) : nullptr;
}

bool CWnd::SubclassWindow(HWND wnd) {
    if (!wnd || !IsWindow(wnd) || m_oldProc || FromHandle(wnd)) return false;
    if (!SetObject(wnd, this)) return false;
    m_hwnd = wnd;
    m_oldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RouterProc)));
    if (!m_oldProc) {
        RemoveObject(wnd);
        m_hwnd = nullptr;
        return false;
    }
    OnSubclassed();
    return true;
}

bool CWnd::HookNewWindow(HWND wnd) {
    return SubclassWindow(wnd);
}

HWND CWnd::UnsubclassWindow() {
    HWND wnd = m_hwnd;
    if (wnd && m_oldProc) {
        // Only unhook if nobody subclassed on top of us meanwhile.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)) == &CWnd::RouterProc)
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
        RemoveObject(wnd);
    }
    m_oldProc = nullptr;
    m_hwnd = nullptr;
    return wnd;
}

std::string CWnd::GetWindowText() const {
    int n = GetWindowTextLengthA(m_hwnd);
    std::string text(n > 0 ? n + 1 : 1, '\0');
    int got = ::GetWindowTextA(m_hwnd, &text[0], static_cast<int>(text.size()));
    text.resize(got > 0 ? got : 0);
    return text;
}

void CWnd::ModifyStyle(LONG_PTR remove, LONG_PTR add) {
    LONG_PTR style = GetStyle();
    SetWindowLongPtrA(m_hwnd, GWL_STYLE, (style & ~remove) | add);
}

bool CWnd::DestroyWindow() {
    if (!m_hwnd) return false;
    return ::DestroyWindow(m_hwnd) != FALSE;
}

bool CWnd::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CWnd::DefProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (m_oldProc) return CallWindowProcA(m_oldProc, m_hwnd, msg, wp, lp);
    return DefWindowProcA(m_hwnd, msg, wp, lp);
}

bool CWnd::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    HWND child = nullptr;
    switch (msg) {
        case WM_COMMAND:
            child = reinterpret_cast<HWND>(lp);
            break;
        case WM_NOTIFY:
            child = lp ? reinterpret_cast<NMHDR*>(lp)->hwndFrom : nullptr;
            break;
        case WM_DRAWITEM:
            child = lp ? reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem : nullptr;
            break;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            child = reinterpret_cast<HWND>(lp);
            break;
        default:
            return false;
    }
    if (!child || child == m_hwnd) return false;
    CWnd* object = FromHandle(child);
    if (!object) return false;
    return object->OnMessage(kReflectBase + msg, wp, lp, result);
}

LRESULT CWnd::Route(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    bool handled = false;
    // No exception may cross into the system's code that called us.
    try {
        handled = OnMessage(msg, wp, lp, result);
        if (!handled) handled = ReflectToChild(msg, wp, lp, result);
    } catch (...) {
        handled = false;
    }
    if (!handled) result = DefProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        HWND wnd = m_hwnd;
        WNDPROC old = m_oldProc;
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)) == &CWnd::RouterProc)
            SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemoveObject(wnd);
        m_oldProc = nullptr;
        m_hwnd = nullptr;
        OnFinalMessage();
    }
    return result;
}

LRESULT CALLBACK CWnd::RouterProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    CWnd* object = FromHandle(wnd);
    if (!object) return DefWindowProcA(wnd, msg, wp, lp);
    return object->Route(msg, wp, lp);
}
