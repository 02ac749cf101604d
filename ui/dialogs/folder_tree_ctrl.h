#pragma once
// CFolderTreeCtrl: the folder tree of the folder selection dialog. It paints
// the loading indicator (a progress bar beside the "Loading..." placeholder
// and an animated cursor in its icon place) and offers the shell's context
// menu of the selected folder.

#include "framework/handles.h"
#include "ui/dialogs/shell_context_menu.h"
#include "ui/dialogs/shell_tree_ctrl.h"

class CFolderTreeCtrl : public CShellTreeCtrl {
public:
    static constexpr UINT kFirstMenuId = 0xE00;
    static constexpr UINT kLastMenuId = 0xFFF;
    static constexpr UINT kFrameCount = 10;

    CFolderTreeCtrl();
    ~CFolderTreeCtrl() override;

    // Shows the shell's menu of the selected item at a screen point; false
    // if there is no item with shell data or no menu.
    bool ShowContextMenu(POINT at);
    CShellContextMenu& ContextMenu() { return m_menu; }
    HCURSOR LoadingCursor() const { return m_cursor.Get(); }

protected:
    void OnLoadBegin(HTREEITEM placeholder) override;
    void OnLoadProgress(bool isTick, int total, int current) override;
    void OnLoadEnd() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    // Tracks the filled menu; the chosen command arrives as WM_COMMAND.
    virtual void TrackMenu(HMENU menu, POINT at);

    // The indicator's geometry, fixed at the start of a load.
    RECT m_barFrame{};
    RECT m_bar{};
    int m_fullBar = 0;  // the bar's width when full
    RECT m_iconPlace{};
    bool m_hasIconPlace = false;
    UINT m_frame = 0;

private:
    void LoadCursorForDpi(UINT dpi);

    CShellContextMenu m_menu;
    CCursorHandle m_cursor;
    UINT m_cursorDpi = 0;
    CBrushHandle m_frameBrush;
    CBrushHandle m_barBrush;
    CBrushHandle m_backBrush;
};
