#include "framework/dialog.h"

namespace {
// The dialog being created on this thread, picked up by the CBT hook.
thread_local CDialog* t_creating = nullptr;
thread_local HHOOK t_hook = nullptr;

// The undocumented timer that blinks the caret; it arrives all the time and
// changes nothing the idle pass looks at.
constexpr UINT kWmSysTimer = 0x0118;

// The system's dialog class is an atom, not a name.
const ULONG_PTR kDialogClassAtom = reinterpret_cast<ULONG_PTR>(WC_DIALOG);

// Messages after which the idle pass should run again.
bool IsIdleMessage(const MSG& msg) {
    return msg.message != WM_PAINT && msg.message != kWmSysTimer;
}
}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_parent(parent), m_templateId(templateId) {}

CDialog::~CDialog() {
    if (m_hwnd && IsWindow(m_hwnd)) {
        HWND wnd = m_hwnd;
        UnsubclassWindow();
        ::DestroyWindow(wnd);
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) {
    // Everything is handled by the subclassed window procedure.
    return FALSE;
}

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wp, LPARAM lp) {
    // Our templates name no class, so the dialog is the first window of the
    // system's dialog class. The system may create others on this thread
    // first (the thread's IME window comes with its first top-level window).
    HWND wnd = reinterpret_cast<HWND>(wp);
    if (code == HCBT_CREATEWND && t_creating && GetClassLongPtrA(wnd, GCW_ATOM) == kDialogClassAtom) {
        CDialog* dialog = t_creating;
        t_creating = nullptr;
        dialog->HookNewWindow(wnd);
    }
    return CallNextHookEx(t_hook, code, wp, lp);
}

bool CDialog::Create() {
    if (m_hwnd) return false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    t_creating = this;
    HHOOK previous = t_hook;
    t_hook = SetWindowsHookExA(WH_CBT, &CDialog::CreationHook, nullptr, GetCurrentThreadId());
    HWND wnd =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(m_templateId), m_parent, &CDialog::DialogProc, 0);
    if (t_hook) UnhookWindowsHookEx(t_hook);
    t_hook = previous;
    t_creating = nullptr;
    if (!wnd) {
        m_hwnd = nullptr;
        return false;
    }
    return m_hwnd == wnd;
}

INT_PTR CDialog::DoModal() {
    m_result = -1;
    m_endRequested = false;
    HWND owner = m_parent;
    if (!Create()) return -1;
    bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
    if (m_hwnd && !m_endRequested) ::ShowWindow(m_hwnd, SW_SHOW);
    RunModalLoop();
    // Re-enable the owner before the dialog goes, so activation returns to it.
    if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
    if (m_hwnd) {
        ::SetWindowPos(m_hwnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        ::DestroyWindow(m_hwnd);
    }
    return m_result;
}

void CDialog::RunModalLoop() {
    m_inModalLoop = true;
    bool idle = true;
    MSG msg;
    while (!m_endRequested && m_hwnd) {
        if (idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            SendMessage(kWmKickIdle, MSGF_DIALOGBOX, 0);
            idle = false;
            continue;
        }
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Keep the quit request for whoever runs the next loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (IsIdleMessage(msg)) idle = true;
    }
    m_inModalLoop = false;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_endRequested = true;
    if (m_inModalLoop) {
        PostMessage(WM_NULL);  // wake the loop
    } else if (m_hwnd) {
        ::DestroyWindow(m_hwnd);
    }
}

bool CDialog::PreTranslateMessage(MSG* msg) {
    return m_hwnd && IsDialogMessageA(m_hwnd, msg);
}

bool CDialog::UpdateData(bool save) {
    if (!m_hwnd) return false;
    DoDataExchange(save);
    return true;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(UINT, UINT, HWND) {
    return false;
}

bool CDialog::OnNotify(int, NMHDR*, LRESULT&) {
    return false;
}

void CDialog::DoDataExchange(bool) {}

bool CDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_INITDIALOG:
            result = OnInitDialog();
            return true;
        case WM_COMMAND: {
            UINT id = LOWORD(wp), code = HIWORD(wp);
            HWND control = reinterpret_cast<HWND>(lp);
            result = 0;
            // A routed control's click (BN_CLICKED and STN_CLICKED are both 0)
            // arrives as its command, as if chosen from a menu.
            if (control && code == BN_CLICKED) {
                if (UINT command = RoutedControl(static_cast<int>(id))) {
                    SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
                    return true;
                }
            }
            // Menus and accelerators send no control: check the rule once more.
            if (!control && !CanRunCommand(id)) return true;
            if (id == IDOK && (code == BN_CLICKED || !control)) {
                OnOK();
                return true;
            }
            if (id == IDCANCEL && (code == BN_CLICKED || !control)) {
                OnCancel();
                return true;
            }
            return OnCommand(id, code, control);
        }
        case WM_NOTIFY:
            return lp && OnNotify(static_cast<int>(wp), reinterpret_cast<NMHDR*>(lp), result);
        case WM_CLOSE:
            OnCancel();
            result = 0;
            return true;
        case kWmKickIdle:
            UpdateCommandStates();
            result = 0;
            return true;
        case WM_INITMENUPOPUP:
            if (HIWORD(lp))
                UpdateSystemMenuStates(reinterpret_cast<HMENU>(wp));
            else
                UpdateMenuStates(reinterpret_cast<HMENU>(wp));
            result = 0;
            return true;
        case WM_SYSCOMMAND:
            // The low four bits are the system's own.
            if (UINT command = RoutedSystemCommand(static_cast<UINT>(wp & 0xFFF0))) {
                SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
                result = 0;
                return true;
            }
            return false;
        default:
            return false;
    }
}

void CDialog::DDX_Check(bool save, int id, int& value) {
    HWND control = ::GetDlgItem(m_hwnd, id);
    if (!control) return;
    if (save)
        value = ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    else
        ::SendMessageA(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CDialog::DDX_Text(bool save, int id, std::string& value) {
    HWND control = ::GetDlgItem(m_hwnd, id);
    if (!control) return;
    if (save) {
        int n = GetWindowTextLengthA(control);
        std::string text(n + 1, '\0');
        int got = ::GetWindowTextA(control, &text[0], n + 1);
        text.resize(got > 0 ? got : 0);
        value = text;
    } else {
        ::SetWindowTextA(control, value.c_str());
    }
}

void CDialog::DDX_CBIndex(bool save, int id, int& index) {
    HWND control = ::GetDlgItem(m_hwnd, id);
    if (!control) return;
    if (save)
        index = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, index, 0);
}

void CDialog::DDX_Control(int id, CWnd& control) {
    if (!control.m_hwnd) control.SubclassDlgItem(id, m_hwnd);
}
