#pragma once
// CCommandUpdater: one place per window for which commands may run now. A
// window names its commands once (SetCommandTable) and answers
// IsCommandEnabled; UpdateCommandStates applies the answers to the controls
// and toolbar buttons with those ids, UpdateMenuStates to a menu's items. A
// command may have further entry points, a system-menu item or a control's
// click (a link): RouteSystemCommand and RouteControl turn those into the
// command itself, so they pass the same rule, are greyed by the same passes
// and reach the same handler. Mixed into a window class, which says which
// window's controls are meant (CommandWindow).

#include <windows.h>

#include <cstddef>
#include <vector>

class CCommandUpdater {
public:
    virtual ~CCommandUpdater() = default;

    // Applies the command rule now (a dialog's idle pass calls this).
    void UpdateCommandStates();
    bool IsCommandInTable(UINT id) const;
    // Honest answer for one command: in the table and allowed by the rule.
    bool CanRunCommand(UINT id) { return !IsCommandInTable(id) || IsCommandEnabled(id); }

protected:
    // The one enabling rule of the window.
    virtual bool IsCommandEnabled(UINT id);
    // The window whose controls carry the command ids; null before it exists.
    virtual HWND CommandWindow() const = 0;

    void SetCommandTable(const UINT* ids, size_t count);
    void AddCommandToolBar(HWND toolbar);
    void RouteSystemCommand(UINT sysCommand, UINT command);
    void RouteControl(int controlId, UINT command);
    void UpdateMenuStates(HMENU menu);
    void UpdateSystemMenuStates(HMENU menu);
    // The command a system-menu item or a control stands for; 0 if none.
    UINT RoutedSystemCommand(UINT sysCommand) const;
    UINT RoutedControl(int controlId) const;

private:
    std::vector<UINT> m_commands;
    std::vector<HWND> m_toolbars;
    struct Route {
        UINT from;
        UINT command;
    };
    std::vector<Route> m_systemRoutes;
    std::vector<Route> m_controlRoutes;
};
