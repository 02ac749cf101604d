#include "ui/main/header_dlg.h"

#include <string>

#include "framework/handles.h"
#include "framework/resource_text.h"
#include "res/resource.h"

RECT CHeaderDlg::CaptionBox(const RECT& client) {
    RECT box{client.left, 8, client.right, 56};
    InflateRect(&box, -16, -4);
    return box;
}

void CHeaderDlg::PaintBanner(HDC dc, const RECT& client, HFONT captionFont) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    CBitmapHandle banner(static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    // A missing bitmap would blit the memory DC's 1x1 black stock bitmap
    // stretched to nothing sensible; leave the background as it is instead.
    if (banner) {
        CMemoryDC memory(dc);
        CSelectObject selected(memory, banner.Get());
        for (int x = 0; x < client.right; x += kTileWidth)
            BitBlt(dc, x, 0, kTileWidth, kTileHeight, memory, 0, 0, SRCCOPY);
    }

    RECT rule{client.left, kRuleY, client.right, kRuleY + 1};
    CBrushHandle ruleBrush(CreateSolidBrush(kRuleColor));
    FillRect(dc, &rule, ruleBrush);

    std::string caption = LoadResourceText(IDS_CAPTION);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    CSelectObject selected(dc, captionFont);
    RECT box = CaptionBox(client);
    DrawTextA(dc, caption.c_str(), -1, &box, DT_WORDBREAK | DT_LEFT | DT_TOP);
    SetBkMode(dc, oldMode);
}

bool CHeaderDlg::DescribeExtra(int index, AccessibleFacts& facts) {
    if (index != 0 || !m_hwnd) return false;
    facts.role = ROLE_SYSTEM_STATICTEXT;
    facts.Name(LoadResourceText(IDS_CAPTION));
    facts.state = STATE_SYSTEM_READONLY;
    RECT client;
    GetClientRect(m_hwnd, &client);
    facts.screen = CaptionBox(client);
    MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&facts.screen), 2);
    facts.hasPlace = true;
    return true;
}

bool CHeaderDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_GETOBJECT && m_accessible.OnGetObject(m_hwnd, wp, lp, result)) return true;
    if (msg == WM_DESTROY) m_accessible.Disconnect();
    if (msg != WM_PAINT) return CDialog::OnMessage(msg, wp, lp, result);
    CPaintDC dc(m_hwnd);
    RECT client;
    GetClientRect(m_hwnd, &client);
    // The same face the program's shared bold font is made from.
    CFontHandle font;
    LOGFONTA face{};
    if (GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face)) {
        face.lfWeight = FW_BOLD;
        font.Reset(CreateFontIndirectA(&face));
    }
    PaintBanner(dc, client, font.Get());
    result = 0;
    return true;
}
