#pragma once
// CShellContextMenu: the shell's own context menu of one namespace item,
// filled into a popup menu, with the owner-drawn submenus of shell
// extensions working while the menu is tracked (IContextMenu2), and the
// chosen command carried out by the shell.

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <utility>

class CShellContextMenu {
public:
    CShellContextMenu() = default;
    ~CShellContextMenu();
    CShellContextMenu(const CShellContextMenu&) = delete;
    CShellContextMenu& operator=(const CShellContextMenu&) = delete;

    void SetContextMenu(Microsoft::WRL::ComPtr<IContextMenu> menu) { m_contextMenu = std::move(menu); }
    IContextMenu* GetContextMenu() const { return m_contextMenu.Get(); }
    // Fills menu at position with the shell's commands, ids first..last.
    bool QueryMenu(HMENU menu, UINT position, UINT first, UINT last, UINT flags);
    UINT FirstId() const { return m_idFirst; }
    UINT LastId() const { return m_idLast; }

    // While attached, the window's menu messages reach the shell's menu.
    void Attach(HWND wnd);
    void Detach();
    HWND Attached() const { return m_attached; }

    bool HandleMenuMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // Carries out the command with that menu id; true if the shell did.
    bool InvokeMenuCommand(UINT id);

private:
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);

    Microsoft::WRL::ComPtr<IContextMenu> m_contextMenu;
    UINT m_idFirst = 0;
    UINT m_idLast = 0;
    HWND m_attached = nullptr;
    WNDPROC m_oldWndProc = nullptr;
};
