#pragma once
// CDialog: a dialog from a template, run modally by a loop of our own so that
// PreTranslateMessage (accelerators) and an idle pass (WM_KICKIDLE) exist.
//
// The dialog window is subclassed as it is created (CBT hook), so the object
// sees every message from WM_CREATE on; results go straight back to the
// sender (no DWLP_MSGRESULT needed).
//
// Commands: a dialog names its commands once (SetCommandTable) and answers
// IsCommandEnabled; the idle pass applies the answers to controls and toolbar
// buttons with those ids, WM_INITMENUPOPUP to menu items (context menus too),
// and a menu or accelerator command that is disabled at that moment is
// swallowed. A command may have further entry points: a system-menu item or a
// control's click (a link). RouteSystemCommand and RouteControl turn those
// into the command itself, so they pass the same rule, are greyed by the same
// passes and reach the same OnCommand case.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/wnd.h"

constexpr UINT kWmKickIdle = 0x036A;

class CDialog : public CWnd {
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

    // Applies the command rule now (the idle pass calls this).
    void UpdateCommandStates();
    bool IsCommandInTable(UINT id) const;
    // Honest answer for one command: in the table and allowed by the rule.
    bool CanRunCommand(UINT id) { return !IsCommandInTable(id) || IsCommandEnabled(id); }

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // WM_COMMAND other than IDOK/IDCANCEL; true when handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // WM_NOTIFY; true when handled, with the result set.
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result);
    virtual void DoDataExchange(bool save);
    // The one enabling rule of the dialog.
    virtual bool IsCommandEnabled(UINT id);

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    void SetCommandTable(const UINT* ids, size_t count);
    void AddCommandToolBar(HWND toolbar);
    void RouteSystemCommand(UINT sysCommand, UINT command);
    void RouteControl(int controlId, UINT command);
    void UpdateMenuStates(HMENU menu);
    void UpdateSystemMenuStates(HMENU menu);

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
    // The command a system-menu item or a control stands for; 0 if none.
    UINT RoutedSystemCommand(UINT sysCommand) const;
    UINT RoutedControl(int controlId) const;

    std::vector<UINT> m_commands;
    std::vector<HWND> m_toolbars;
    struct Route {
        UINT from;
        UINT command;
    };
    std::vector<Route> m_systemRoutes;
    std::vector<Route> m_controlRoutes;
};
