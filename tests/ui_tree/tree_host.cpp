#include "tests/ui_tree/tree_host.h"

#include "res/resource.h"

TreeHost::TreeHost(CWnd& tree) : CDialog(IDD_SELECT_FOLDER), m_tree(tree) {
    TestApp::Get();
    if (Create()) {
        ShowWindow(SW_SHOW);
        UpdateWindow(m_hwnd);
    }
}

TreeHost::~TreeHost() {
    if (m_hwnd) DestroyWindow();
}

BOOL TreeHost::OnInitDialog() {
    DDX_Control(IDC_FOLDER_TREE, m_tree);
    return TRUE;
}

int PixelsOtherThan(HWND wnd, const RECT& rect, COLORREF colour) {
    HDC dc = GetDC(wnd);
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if ((GetPixel(dc, x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) ++count;
    ReleaseDC(wnd, dc);
    return count;
}
