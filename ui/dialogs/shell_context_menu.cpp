#include "ui/dialogs/shell_context_menu.h"

namespace {
const char kProperty[] = "ShellContextMenu";
}

CShellContextMenu::~CShellContextMenu() {
    Detach();
}

bool CShellContextMenu::QueryMenu(HMENU menu, UINT position, UINT first, UINT last, UINT flags) {
    if (!m_contextMenu) return false;
    m_idFirst = first;
    m_idLast = last;
    const UINT previousDefault = GetMenuDefaultItem(menu, TRUE, GMDI_USEDISABLED);
    HRESULT hr = m_contextMenu->QueryContextMenu(menu, position, first, last, flags);
    // A handler may set a default item; without one wanted, put back ours.
    if (flags & CMF_NODEFAULT) SetMenuDefaultItem(menu, previousDefault, TRUE);
    if (FAILED(hr)) {
        m_idFirst = m_idLast = 0;
        return false;
    }
    m_idLast = first + HRESULT_CODE(hr) - 1;
    return true;
}

void CShellContextMenu::Attach(HWND wnd) {
    if (m_attached || !wnd) Detach();
    m_attached = wnd;
    if (!wnd) return;
    m_oldWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
    SetPropA(wnd, kProperty, this);
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CShellContextMenu::WindowProc));
}

void CShellContextMenu::Detach() {
    if (!m_attached) return;
    RemovePropA(m_attached, kProperty);
    if (m_oldWndProc) SetWindowLongPtrA(m_attached, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldWndProc));
    m_oldWndProc = nullptr;
    m_attached = nullptr;
}

LRESULT CALLBACK CShellContextMenu::WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CShellContextMenu*>(GetPropA(wnd, kProperty));
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    LRESULT result = 0;
    if (self->HandleMenuMessage(msg, wp, lp, result)) return result;
    WNDPROC next = self->m_oldWndProc;
    if (msg == WM_DESTROY) self->Detach();
    return CallWindowProcA(next, wnd, msg, wp, lp);
}

bool CShellContextMenu::HandleMenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (!m_contextMenu) return false;
    switch (msg) {
        case WM_INITMENUPOPUP:
            result = 0;
            break;
        case WM_DRAWITEM:
        case WM_MEASUREITEM: {
            // Only menu items; a control's own drawing goes its usual way.
            if (!lp) return false;
            const UINT type = msg == WM_DRAWITEM ? reinterpret_cast<DRAWITEMSTRUCT*>(lp)->CtlType
                                                 : reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->CtlType;
            if (type != ODT_MENU) return false;
            result = 1;
            break;
        }
        default:
            return false;
    }
    Microsoft::WRL::ComPtr<IContextMenu2> menu2;
    if (FAILED(m_contextMenu.As(&menu2)) || !menu2) return false;
    return menu2->HandleMenuMsg(msg, wp, lp) == S_OK;
}

bool CShellContextMenu::InvokeMenuCommand(UINT id) {
    if (!m_contextMenu || id < m_idFirst || id > m_idLast || m_idFirst == 0) return false;
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = m_attached;
    info.lpVerb = MAKEINTRESOURCEA(id - m_idFirst);
    info.nShow = SW_SHOWNORMAL;
    return m_contextMenu->InvokeCommand(&info) == S_OK;
}
