#pragma once
// A shown dialog (the folder dialog's template) whose tree control is bound
// to a tree object of the test's choice, and pixel helpers for what the
// tree shows on screen.

#include <windows.h>
#include <commctrl.h>

#include "framework/dialog.h"
#include "tests/ui_main/ui_test_support.h"

class TreeHost : public CDialog {
public:
    explicit TreeHost(CWnd& tree);
    ~TreeHost() override;
    HWND Tree() const { return m_tree.m_hwnd; }

protected:
    BOOL OnInitDialog() override;

private:
    CWnd& m_tree;
};

// Pixels in rect of the window's client area that differ from colour.
int PixelsOtherThan(HWND wnd, const RECT& rect, COLORREF colour);
