#pragma once
// CHeaderDlg: a dialog that paints a banner across the top of its client
// area (bitmap 132 tiled to the full width, a grey rule at y 59 and the bold
// caption, string 102), every measure scaled to the window's DPI and the
// bitmap in the size drawn for it. Controls lying over the banner belong to the derived
// dialog.
//
// What a derived dialog does:
//  - construct with its template id and parent: CHeaderDlg(IDD_MAIN, parent);
//  - let WM_PAINT reach CHeaderDlg::OnMessage (call it for every message it
//    does not handle itself, as for any CDialog).
// The caption is drawn in a bold form of the default GUI font; to assistive
// technology it is a static text among the dialog's children.
// The banner's bitmap and string come from the module that holds the
// dialog's resources (the executable).

#include <windows.h>

#include "framework/dialog.h"
#include "ui/controls/accessible_proxy.h"

class CHeaderDlg : public CDialog, private IAccessibleSource {
public:
    static constexpr int kTileWidth = 500;
    static constexpr int kTileHeight = 60;
    static constexpr int kRuleY = 59;
    static constexpr COLORREF kRuleColor = RGB(208, 208, 208);
    // The banner bitmap's plain background (res/art/banner.txt).
    static constexpr COLORREF kGroundColor = RGB(0xFC, 0xFC, 0xFC);

    explicit CHeaderDlg(UINT templateId, HWND parent = nullptr) : CDialog(templateId, parent) {}
    ~CHeaderDlg() override = default;

    // Paints the banner into any DC over a client rectangle; captionFont may
    // be null (the DC's current font is used then). Exposed so that it can
    // be drawn into a memory DC.
    static void PaintBanner(HDC dc, const RECT& client, HFONT captionFont, UINT dpi = 96);
    // The caption's box: (left + 16, 12) to (right - 16, 52) at 96 DPI.
    static RECT CaptionBox(const RECT& client, UINT dpi = 96);
    // The rule's row: kRuleY at 96 DPI, the banner's last row at any scale.
    static int RuleY(UINT dpi);

    // The DPI the window is laid out for: its own until a WM_DPICHANGED
    // names another.
    UINT Dpi() const;

protected:
    void SetDpi(UINT dpi) { m_dpi = dpi; }
    void DoDataExchange(bool) override {}
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    UINT m_dpi = 0;

    int ExtraCount() override { return m_hwnd ? 1 : 0; }
    bool DescribeExtra(int index, AccessibleFacts& facts) override;

    CAccessibleHost m_accessible{*this};
};
