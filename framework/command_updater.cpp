#include "framework/command_updater.h"

#include <commctrl.h>

bool CCommandUpdater::IsCommandEnabled(UINT) {
    return true;
}

void CCommandUpdater::SetCommandTable(const UINT* ids, size_t count) {
    m_commands.assign(ids, ids + count);
}

void CCommandUpdater::AddCommandToolBar(HWND toolbar) {
    if (toolbar) m_toolbars.push_back(toolbar);
}

void CCommandUpdater::RouteSystemCommand(UINT sysCommand, UINT command) {
    m_systemRoutes.push_back({sysCommand, command});
}

void CCommandUpdater::RouteControl(int controlId, UINT command) {
    m_controlRoutes.push_back({static_cast<UINT>(controlId), command});
}

UINT CCommandUpdater::RoutedSystemCommand(UINT sysCommand) const {
    for (const Route& r : m_systemRoutes)
        if (r.from == sysCommand) return r.command;
    return 0;
}

UINT CCommandUpdater::RoutedControl(int controlId) const {
    for (const Route& r : m_controlRoutes)
        if (r.from == static_cast<UINT>(controlId)) return r.command;
    return 0;
}

bool CCommandUpdater::IsCommandInTable(UINT id) const {
    for (UINT c : m_commands)
        if (c == id) return true;
    return false;
}

void CCommandUpdater::UpdateCommandStates() {
    HWND window = CommandWindow();
    if (!window) return;
    auto apply = [](HWND control, bool enabled) {
        if (control && (::IsWindowEnabled(control) != FALSE) != enabled) ::EnableWindow(control, enabled);
    };
    for (const Route& r : m_controlRoutes)
        apply(::GetDlgItem(window, static_cast<int>(r.from)), CanRunCommand(r.command));
    for (UINT id : m_commands) {
        bool enabled = IsCommandEnabled(id);
        apply(::GetDlgItem(window, static_cast<int>(id)), enabled);
        for (HWND bar : m_toolbars) {
            if (!IsWindow(bar) || ::SendMessageA(bar, TB_COMMANDTOINDEX, id, 0) < 0) continue;
            bool now = ::SendMessageA(bar, TB_ISBUTTONENABLED, id, 0) != 0;
            if (now != enabled) ::SendMessageA(bar, TB_ENABLEBUTTON, id, MAKELONG(enabled ? TRUE : FALSE, 0));
        }
    }
}

void CCommandUpdater::UpdateSystemMenuStates(HMENU menu) {
    for (const Route& r : m_systemRoutes)
        EnableMenuItem(menu, r.from, MF_BYCOMMAND | (CanRunCommand(r.command) ? MF_ENABLED : MF_GRAYED));
}

void CCommandUpdater::UpdateMenuStates(HMENU menu) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1) || !IsCommandInTable(id)) continue;
        EnableMenuItem(menu, i, MF_BYPOSITION | (IsCommandEnabled(id) ? MF_ENABLED : MF_GRAYED));
    }
}
