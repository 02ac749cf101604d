#include "ui/main/header_dlg.h"

#include <string>

#include "framework/dpi.h"
#include "framework/handles.h"
#include "framework/resource_text.h"
#include "res/resource.h"

RECT CHeaderDlg::CaptionBox(const RECT& client, UINT dpi) {
    RECT box{client.left, ScaleForDpi(8, dpi), client.right, ScaleForDpi(56, dpi)};
    InflateRect(&box, -ScaleForDpi(16, dpi), -ScaleForDpi(4, dpi));
    return box;
}

int CHeaderDlg::RuleY(UINT dpi) {
    return ScaleForDpi(kRuleY + 1, dpi) - 1;
}

void CHeaderDlg::PaintBanner(HDC dc, const RECT& client, HFONT captionFont, UINT dpi) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Drawn for the scale: its arrow stays clear of the caption, which grows
    // with the font.
    CBitmapHandle banner(LoadSizedBitmap(instance, IDB_BANNER, PictureSizeForDpi(dpi)));
    BITMAP size{};
    // A missing bitmap would blit the memory DC's 1x1 black stock bitmap
    // stretched to nothing sensible; leave the background as it is instead.
    if (banner && GetObjectA(banner.Get(), sizeof(size), &size)) {
        CMemoryDC memory(dc);
        CSelectObject selected(memory, banner.Get());
        for (int x = 0; x < client.right; x += size.bmWidth)
            BitBlt(dc, x, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
        // Between picture sizes (175 percent) the banner is a little shorter
        // than its place: the ground colour fills the rest.
        RECT rest{client.left, size.bmHeight, client.right, RuleY(dpi)};
        if (rest.top < rest.bottom) {
            CBrushHandle ground(CreateSolidBrush(kGroundColor));
            FillRect(dc, &rest, ground);
        }
    }

    const int ruleY = RuleY(dpi);
    RECT rule{client.left, ruleY, client.right, ruleY + 1};
    CBrushHandle ruleBrush(CreateSolidBrush(kRuleColor));
    FillRect(dc, &rule, ruleBrush);

    std::string caption = LoadResourceText(IDS_CAPTION);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    CSelectObject selected(dc, captionFont);
    RECT box = CaptionBox(client, dpi);
    DrawTextA(dc, caption.c_str(), -1, &box, DT_WORDBREAK | DT_LEFT | DT_TOP);
    SetBkMode(dc, oldMode);
}

UINT CHeaderDlg::Dpi() const {
    return m_dpi ? m_dpi : DpiOfWindow(m_hwnd);
}

bool CHeaderDlg::DescribeExtra(int index, AccessibleFacts& facts) {
    if (index != 0 || !m_hwnd) return false;
    facts.role = ROLE_SYSTEM_STATICTEXT;
    facts.Name(LoadResourceText(IDS_CAPTION));
    facts.state = STATE_SYSTEM_READONLY;
    RECT client;
    GetClientRect(m_hwnd, &client);
    facts.screen = CaptionBox(client, Dpi());
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
    // The same face the program's shared bold font is made from, at the
    // window's scale.
    const UINT dpi = Dpi();
    CFontHandle font;
    LOGFONTA face{};
    if (GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face)) {
        face.lfWeight = FW_BOLD;
        CFontHandle bold(CreateFontIndirectA(&face));
        font.Reset(CreateFontForDpi(bold.Get(), dpi));
    }
    PaintBanner(dc, client, font.Get(), dpi);
    result = 0;
    return true;
}
