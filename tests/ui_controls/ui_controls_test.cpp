// The banner dialog, the auto-width format selector and the hyperlink, each
// on real windows built from dialog 102, driven by the messages a user's
// actions produce.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/converter.h"
#include "framework/handles.h"
#include "res/resource.h"
#include "ui/controls/auto_width_combo.h"
#include "ui/format_selector.h"
#include "ui/main/header_dlg.h"
#include "ui/controls/hyperlink.h"
#include "tests/ui_main/accessible_probe.h"

namespace {

// A link whose shell call is recorded instead of made.
class CRecordingLink : public CHyperLink {
public:
    std::vector<std::string> opened;

protected:
    void OpenTarget(const std::string& what) override { opened.push_back(what); }
};

// Dialog 102 with only the pieces under test bound, as the main dialog binds
// them.
class CTestDlg : public CHeaderDlg {
public:
    CTestDlg() : CHeaderDlg(IDD_MAIN) {}
    CRecordingLink feedback;
    CRecordingLink options;
    CAutoWidthComboBoxEx selector;
    CImageListHandle formatImages;
    std::vector<std::pair<int, int>> commands;  // (id, code) seen by the dialog

protected:
    void DoDataExchange(bool save) override {
        CHeaderDlg::DoDataExchange(save);
        DDX_Control(IDC_FEEDBACK_LINK, feedback);
        DDX_Control(IDC_OPTIONS_LINK, options);
        DDX_Control(IDC_FORMAT, selector);
    }
    bool OnCommand(UINT id, UINT code, HWND control) override {
        commands.push_back({static_cast<int>(id), static_cast<int>(code)});
        return CHeaderDlg::OnCommand(id, code, control);
    }
};

// One dialog for the whole suite: showing and destroying a top-level window
// costs Wine about a second each without a window manager.
class Controls : public testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new CTestDlg;
        if (!shared->Create()) return;
        shared->formatImages.Reset(
            ImageList_LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_FORMATS), 16, 3,
                                 RGB(255, 255, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION));
        SetWindowPos(*shared, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        Pump();
    }
    static void TearDownTestSuite() {
        if (shared->m_hwnd) shared->DestroyWindow();
        delete shared;
        shared = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(dlg.m_hwnd != nullptr);
        dlg.selector.ResetContent();
        dlg.selector.SetImageList(nullptr);
        dlg.feedback.opened.clear();
        dlg.options.opened.clear();
        dlg.commands.clear();
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
    }
    static void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Colours actually on screen inside a window's client area.
    static bool ShowsColour(HWND wnd, COLORREF colour) {
        RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT rc;
        GetClientRect(wnd, &rc);
        HDC dc = GetDC(wnd);
        bool found = false;
        for (int y = 0; y < rc.bottom && !found; ++y)
            for (int x = 0; x < rc.right && !found; ++x) found = GetPixel(dc, x, y) == colour;
        ReleaseDC(wnd, dc);
        return found;
    }
    static LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

    static CTestDlg* shared;
    CTestDlg& dlg = *shared;
};
CTestDlg* Controls::shared = nullptr;

// --- format selector -----------------------------------------------------

// An entry's image and selected image as the control holds them.
bool ItemImages(CAutoWidthComboBoxEx& selector, int index, int& image, int& selectedImage) {
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = index;
    if (index < 0 || !selector.SendMessage(CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return false;
    image = item.iImage;
    selectedImage = item.iSelectedImage;
    return true;
}

TEST_F(Controls, FormatSelectorEntriesImagesAndSelection) {
    FillFormatSelector(dlg.selector, dlg.formatImages, 2);
    const struct {
        const char* text;
        int image;
    } want[] = {
        {"Windows/Dos (CRLF)", 0}, {"Macintosh (CR)", 2}, {"Unix/Linux (LF)", 1}, {"As the project says", 3}};
    ASSERT_EQ(4, dlg.selector.GetCount());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(want[i].text, dlg.selector.GetItemText(i)) << i;
        int image = -5, selected = -5;
        ASSERT_TRUE(ItemImages(dlg.selector, i, image, selected));
        EXPECT_EQ(want[i].image, image) << i;
        EXPECT_EQ(want[i].image, selected) << i;
    }
    EXPECT_EQ(2, dlg.selector.GetCurSel());
    EXPECT_EQ("", dlg.selector.GetItemText(4));
    int image, selected;
    EXPECT_FALSE(ItemImages(dlg.selector, 7, image, selected));
}

TEST_F(Controls, InsertWithAndWithoutImages) {
    const struct {
        int image, selected;
        int wantImage, wantSelected;
    } table[] = {{3, -1, 3, 3}, {1, 2, 1, 2}};
    for (const auto& row : table) {
        int index = dlg.selector.InsertItem(-1, "entry", row.image, row.selected);
        ASSERT_GE(index, 0);
        int image, selected;
        ASSERT_TRUE(ItemImages(dlg.selector, index, image, selected));
        EXPECT_EQ(row.wantImage, image);
        EXPECT_EQ(row.wantSelected, selected);
    }
    EXPECT_EQ(2, dlg.selector.InsertItemIndented(2, "indented", 2, 0, 0));
}

int TextWidth(HWND wnd, const std::string& text) {
    CClientDC dc(wnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(wnd, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size.cx;
}

TEST_F(Controls, DropDownWidensToTheWidestEntry) {
    RECT control;
    GetWindowRect(dlg.selector, &control);
    const int controlWidth = control.right - control.left;
    const std::string longText = "Windows/Dos (CRLF) with a label far longer than the control is wide";
    const struct {
        const char* what;
        std::vector<std::string> entries;
        bool images;
        bool wider;  // expected wider than the control
    } table[] = {
        {"short entries", {"a", "b"}, false, false},
        {"one long entry", {"a", longText, "c"}, true, true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        dlg.selector.ResetContent();
        dlg.selector.SetImageList(row.images ? dlg.formatImages.Get() : nullptr);
        for (const auto& text : row.entries) dlg.selector.InsertItem(-1, text.c_str(), row.images ? 0 : -1);
        HWND inner = dlg.selector.GetComboBoxCtrl();
        SendMessageA(inner, CB_SETDROPPEDWIDTH, 0, 0);
        // Opening the list is what the user does; the notification reaches
        // the control through the dialog's reflection.
        dlg.selector.SendMessage(CB_SHOWDROPDOWN, TRUE);
        Pump();
        dlg.selector.SendMessage(CB_SHOWDROPDOWN, FALSE);
        int dropped = static_cast<int>(SendMessageA(inner, CB_GETDROPPEDWIDTH, 0, 0));
        int widest = 0;
        for (const auto& text : row.entries) widest = std::max(widest, TextWidth(dlg.selector, text));
        EXPECT_GE(dropped, widest + (row.images ? 16 : 0)) << "every entry must fit";
        EXPECT_GE(dropped, controlWidth) << "never narrower than the control";
        EXPECT_EQ(row.wider, dropped > controlWidth);
    }
}

TEST_F(Controls, ManyEntriesAddTheScrollBarWidth) {
    auto widthWith = [&](int count) {
        dlg.selector.ResetContent();
        dlg.selector.SetImageList(nullptr);
        for (int i = 0; i < count; ++i) dlg.selector.InsertItem(-1, "A long entry text for measuring");
        return dlg.selector.AdjustDropWidth();
    };
    int few = widthWith(1);
    int many = widthWith(60);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), many - few);
}

// --- hyperlink ---------------------------------------------------------------

TEST_F(Controls, AttachAddsNotifyAndTooltip) {
    EXPECT_TRUE(dlg.feedback.GetStyle() & SS_NOTIFY);
    EXPECT_TRUE(IsWindow(dlg.feedback.ToolTipWindow()));
    EXPECT_EQ(1, SendMessageA(dlg.feedback.ToolTipWindow(), TTM_GETTOOLCOUNT, 0, 0));
}

TEST_F(Controls, SetLinkStoresTargetTipAndFitsText) {
    dlg.feedback.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    const struct {
        const char* target;
        const char* tip;
        const char* text;  // null keeps the text
        const char* wantText;
    } table[] = {
        {"mailto:help@example.com?subject=About Pardwell", "help@example.com", "Questions?", "Questions?"},
        {"http://example.com/", "home", nullptr, "Questions?"},
        {"", "", "Feature Requests?", "Feature Requests?"},
    };
    for (const auto& row : table) {
        dlg.feedback.SetLink(row.target, row.tip, row.text);
        EXPECT_EQ(row.target, dlg.feedback.Target());
        EXPECT_EQ(row.wantText, dlg.feedback.GetWindowText());
        RECT rc;
        GetClientRect(dlg.feedback, &rc);
        EXPECT_EQ(TextWidth(dlg.feedback, row.wantText), rc.right) << row.wantText;
        char tip[256] = "";
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.hwnd = dlg.feedback;
        info.lpszText = tip;
        SendMessageA(dlg.feedback.ToolTipWindow(), TTM_GETTEXTA, sizeof(tip),
                     reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(row.tip, tip);
        // The tip's area follows the control's new size.
        TOOLINFOA area{};
        area.cbSize = sizeof(area);
        area.hwnd = dlg.feedback;
        ASSERT_TRUE(
            SendMessageA(dlg.feedback.ToolTipWindow(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&area)));
        EXPECT_EQ(rc.right, area.rect.right);
    }
}

TEST_F(Controls, ChangingTheFontResizesToTheText) {
    dlg.options.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    RECT small;
    GetClientRect(dlg.options, &small);
    LOGFONTA face{};
    face.lfHeight = -24;
    face.lfWeight = FW_BOLD;
    lstrcpyA(face.lfFaceName, "Tahoma");
    CFontHandle big(CreateFontIndirectA(&face));
    dlg.options.SetFont(big);
    RECT large;
    GetClientRect(dlg.options, &large);
    EXPECT_EQ(TextWidth(dlg.options, "Options"), large.right);
    EXPECT_GT(large.right, small.right);
    EXPECT_EQ(small.bottom, large.bottom) << "height is kept";
}

TEST_F(Controls, HoverTurnsRedAndLeavingTurnsBlue) {
    CHyperLink& link = dlg.options;
    link.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    link.m_backColor = RGB(255, 255, 255);
    RECT rc;
    GetClientRect(link, &rc);
    ASSERT_TRUE(ShowsColour(link, RGB(0, 0, 255)));
    EXPECT_FALSE(ShowsColour(link, RGB(255, 0, 0)));

    link.SendMessage(WM_MOUSEMOVE, 0, Point(2, 2));
    EXPECT_EQ(static_cast<HWND>(link), GetCapture());
    EXPECT_EQ(RGB(255, 0, 0), link.CurrentTextColor());
    EXPECT_TRUE(ShowsColour(link, RGB(255, 0, 0)));

    link.SendMessage(WM_MOUSEMOVE, 0, Point(3, 3));  // still inside: keeps the capture
    EXPECT_EQ(static_cast<HWND>(link), GetCapture());

    link.SendMessage(WM_MOUSEMOVE, 0, Point(rc.right + 5, 2));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_TRUE(ShowsColour(link, RGB(0, 0, 255)));
    EXPECT_FALSE(ShowsColour(link, RGB(255, 0, 0)));

    // Capture taken away by someone else also ends the hover colour.
    link.SendMessage(WM_MOUSEMOVE, 0, Point(2, 2));
    SetCapture(dlg);
    EXPECT_FALSE(ShowsColour(link, RGB(255, 0, 0)));
    ReleaseCapture();
}

TEST_F(Controls, ClickOpensTheTargetAndNotifiesTheParent) {
    dlg.feedback.SetLink("mailto:help@example.com", "help@example.com", "Questions?");
    const struct {
        const char* what;
        CRecordingLink* link;
        int id;
        bool hoverFirst;
        bool inside;
        size_t opened;
        bool notified;
    } table[] = {
        {"link with a target", &dlg.feedback, IDC_FEEDBACK_LINK, true, true, 1, true},
        {"link without a target", &dlg.options, IDC_OPTIONS_LINK, true, true, 0, true},
        {"click without hovering", &dlg.feedback, IDC_FEEDBACK_LINK, false, true, 1, true},
        // While hovering the link holds the capture, so a click elsewhere
        // arrives here too; it must neither open nor notify.
        {"click outside while captured", &dlg.feedback, IDC_FEEDBACK_LINK, true, false, 0, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        row.link->opened.clear();
        dlg.commands.clear();
        RECT rc;
        GetClientRect(*row.link, &rc);
        if (row.hoverFirst) row.link->SendMessage(WM_MOUSEMOVE, 0, Point(1, 1));
        LPARAM at = row.inside ? Point(1, 1) : Point(rc.right + 40, rc.bottom + 40);
        row.link->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        row.link->SendMessage(WM_LBUTTONUP, 0, at);
        Pump();
        ASSERT_EQ(row.opened, row.link->opened.size());
        if (row.opened) {
            EXPECT_EQ(row.link->Target(), row.link->opened[0]);
        }
        bool notified = false;
        for (auto [id, code] : dlg.commands) notified |= id == row.id && code == STN_CLICKED;
        EXPECT_EQ(row.notified, notified);
        EXPECT_EQ(nullptr, GetCapture()) << "a click ends the hover";
    }
}

TEST_F(Controls, PointerIsTheHandCursor) {
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(arrow);
    LRESULT handled = dlg.options.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(dlg.options.m_hwnd),
                                              MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_TRUE(handled);
    HCURSOR now = GetCursor();
    EXPECT_NE(nullptr, now);
    EXPECT_NE(arrow, now);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(now, &info));
    EXPECT_EQ(nullptr, info.hbmColor) << "monochrome";
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

// --- banner ------------------------------------------------------------------

struct Canvas {
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
    Canvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; ++i) bits[i] = 0x123456;  // a colour the banner never uses
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    DWORD At(int x, int y) const { return bits[y * width + x] & 0xFFFFFF; }
};

struct BannerPixels {
    std::vector<DWORD> px;
    DWORD At(int x, int y) const { return px[y * 500 + x]; }
};

BannerPixels LoadBanner() {
    Canvas canvas(500, 60);
    HBITMAP banner = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BANNER),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, banner);
    BitBlt(canvas.dc, 0, 0, 500, 60, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(banner);
    BannerPixels out;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 500; ++x) out.px.push_back(canvas.At(x, y));
    return out;
}

TEST(Banner, TilesFromTheLeftWithTheRuleAcrossAndLeavesTheRestAlone) {
    BannerPixels banner = LoadBanner();
    const int widths[] = {1210, 500, 320};
    for (int width : widths) {
        SCOPED_TRACE(width);
        Canvas canvas(width, 90);
        RECT client{0, 0, width, 90};
        CHeaderDlg::PaintBanner(canvas.dc, client, nullptr);
        RECT box = CHeaderDlg::CaptionBox(client);
        int mismatches = 0, inRule = 0;
        for (int y = 0; y < 90; ++y) {
            for (int x = 0; x < width; ++x) {
                DWORD got = canvas.At(x, y);
                bool inCaption = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                if (y == CHeaderDlg::kRuleY) {
                    inRule += got == 0xD0D0D0;
                } else if (y >= 60) {
                    mismatches += got != 0x123456;  // below the banner: untouched
                } else if (!inCaption) {
                    mismatches += got != banner.At(x % 500, y);
                }
            }
        }
        EXPECT_EQ(0, mismatches);
        EXPECT_EQ(width, inRule) << "the rule spans the full width";
    }
}

TEST(Banner, CaptionIsDrawnInsideItsBoxOnly) {
    BannerPixels banner = LoadBanner();
    const struct {
        int width;
        bool wraps;
    } table[] = {{500, false}, {140, true}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.width);
        Canvas canvas(row.width, 60);
        RECT client{0, 0, row.width, 60};
        LOGFONTA face{};
        face.lfHeight = -11;
        face.lfWeight = FW_BOLD;
        lstrcpyA(face.lfFaceName, "Tahoma");
        CFontHandle bold(CreateFontIndirectA(&face));
        SetTextColor(canvas.dc, RGB(0, 0, 0));
        CHeaderDlg::PaintBanner(canvas.dc, client, bold);
        RECT box = CHeaderDlg::CaptionBox(client);
        EXPECT_EQ(16, box.left);
        EXPECT_EQ(12, box.top);
        EXPECT_EQ(row.width - 16, box.right);
        EXPECT_EQ(52, box.bottom);
        int textPixels = 0, lowestTextRow = -1, stray = 0;
        for (int y = 0; y < 59; ++y)
            for (int x = 0; x < row.width; ++x) {
                if (canvas.At(x, y) == banner.At(x % 500, y)) continue;
                bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                if (!inside) {
                    ++stray;
                    continue;
                }
                ++textPixels;
                lowestTextRow = std::max(lowestTextRow, y);
            }
        EXPECT_EQ(0, stray) << "nothing outside the caption box changes";
        EXPECT_GT(textPixels, 50);
        // One line ends well above the box's bottom; a wrapped caption fills
        // the box down to its edge and is clipped there.
        if (row.wraps) {
            EXPECT_GT(lowestTextRow, 40);
        } else {
            EXPECT_LT(lowestTextRow, 30);
        }
    }
}

TEST_F(Controls, DialogPaintsTheBannerOnScreen) {
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC dc = GetDC(dlg);
    COLORREF rule = GetPixel(dc, 300, CHeaderDlg::kRuleY);
    COLORREF below = GetPixel(dc, 3, CHeaderDlg::kRuleY + 30);
    ReleaseDC(dlg, dc);
    EXPECT_EQ(RGB(208, 208, 208), rule);
    EXPECT_NE(RGB(208, 208, 208), below);
}

// --- keyboard and assistive technology ---------------------------------------

// A key as the modal loop hands it on: to the dialog manager, from the
// focused control.
void PressKey(CTestDlg& dlg, HWND focus, WPARAM key, bool repeat) {
    MSG msg{focus, WM_KEYDOWN, key, repeat ? 0x40000001 : 1, GetTickCount(), {0, 0}};
    if (!IsDialogMessageA(dlg, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST_F(Controls, LinksAreTabStopsThatActOnEnterAndSpaceInsteadOfTheDefaultButton) {
    dlg.feedback.SetLink("mailto:help@example.com", "help@example.com", "Questions?");
    EXPECT_TRUE(dlg.feedback.GetStyle() & WS_TABSTOP);
    EXPECT_TRUE(dlg.options.GetStyle() & WS_TABSTOP);
    const struct {
        const char* what;
        CRecordingLink* link;
        int id;
        WPARAM key;
        bool repeat;
        size_t opened;
        bool notified;
    } table[] = {
        {"Enter on a link with a target", &dlg.feedback, IDC_FEEDBACK_LINK, VK_RETURN, false, 1, true},
        {"Space on a link with a target", &dlg.feedback, IDC_FEEDBACK_LINK, VK_SPACE, false, 1, true},
        {"Enter on a link without a target", &dlg.options, IDC_OPTIONS_LINK, VK_RETURN, false, 0, true},
        {"a held key acts once, not again", &dlg.feedback, IDC_FEEDBACK_LINK, VK_RETURN, true, 0, false},
        {"another key does nothing", &dlg.feedback, IDC_FEEDBACK_LINK, VK_DOWN, false, 0, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        SetFocus(*row.link);
        Pump();
        row.link->opened.clear();
        dlg.commands.clear();
        PressKey(dlg, *row.link, row.key, row.repeat);
        Pump();
        ASSERT_EQ(row.opened, row.link->opened.size());
        if (row.opened) {
            EXPECT_EQ(row.link->Target(), row.link->opened[0]);
        }
        bool notified = false;
        for (auto [id, code] : dlg.commands) {
            if (id == row.id && code == STN_CLICKED)
                notified = true;
            else
                ADD_FAILURE() << "the key reached command " << id << " (" << code << ")";
        }
        EXPECT_EQ(row.notified, notified);
    }
}

TEST_F(Controls, TheFocusRectangleShowsWhileTheLinkHasTheKeyboardFocus) {
    CHyperLink& link = dlg.options;
    link.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    link.m_backColor = RGB(255, 255, 255);
    // Only the top row is read: the text never reaches it.
    auto topRowMarked = [&] {
        RedrawWindow(link, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT rc;
        GetClientRect(link, &rc);
        HDC dc = GetDC(link);
        bool marked = false;
        for (int x = 0; x < rc.right && !marked; ++x) marked = GetPixel(dc, x, 0) != RGB(255, 255, 255);
        ReleaseDC(link, dc);
        return marked;
    };
    const struct {
        const char* what;
        bool focused;
        bool keyboardCues;
    } table[] = {
        {"focused, after a key was used", true, true},
        {"focused by the mouse only", true, false},
        {"not focused", false, true},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        SetFocus(row.focused ? link.m_hwnd : dlg.selector.m_hwnd);
        SendMessageA(dlg, WM_CHANGEUISTATE,
                     MAKEWPARAM(row.keyboardCues ? UIS_CLEAR : UIS_SET, UISF_HIDEFOCUS), 0);
        Pump();
        // A system set to show keyboard cues always refuses to hide them.
        const bool cuesHidden = (link.SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0;
        if (row.keyboardCues) {
            EXPECT_FALSE(cuesHidden);
        }
        EXPECT_EQ(row.focused && !cuesHidden, topRowMarked());
    }
}

TEST_F(Controls, LinksTellAssistiveTechnologyTheirRoleNameStateAndAction) {
    const struct {
        CRecordingLink* link;
        int id;
        const char* target;
        const char* text;
        const char* actionText;
        const char* defaultAction;
    } table[] = {
        {&dlg.feedback, IDC_FEEDBACK_LINK, "mailto:help@example.com?subject=About Pardwell", "Questions?", "",
         "mailto:help@example.com?subject=About Pardwell"},
        {&dlg.options, IDC_OPTIONS_LINK, "", "Options", "Open the Options dialog", "Open the Options dialog"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.text);
        CRecordingLink& link = *row.link;
        link.SetLink(row.target, "", row.text);
        link.SetActionText(row.actionText);
        SetFocus(dlg.selector);
        AccessibleProbe probe = AccessibleProbe::OfWindow(link);
        ASSERT_TRUE(probe);
        EXPECT_EQ(ROLE_SYSTEM_LINK, probe.Role());
        EXPECT_EQ(row.text, probe.Name());
        EXPECT_EQ(row.target, probe.Value());
        EXPECT_EQ(row.defaultAction, probe.DefaultAction());
        const LONG linked = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
        EXPECT_EQ(linked, probe.State() & (linked | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_UNAVAILABLE));
        SetFocus(link);
        EXPECT_TRUE(probe.State() & STATE_SYSTEM_FOCUSED);

        // The default action does what a click does, once the call has returned.
        link.opened.clear();
        dlg.commands.clear();
        EXPECT_EQ(S_OK, probe.DoDefaultAction());
        EXPECT_TRUE(dlg.commands.empty()) << "acts after the call returns";
        Pump();
        EXPECT_EQ(*row.target ? 1u : 0u, link.opened.size());
        EXPECT_EQ(1u, dlg.commands.size());
        if (!dlg.commands.empty()) {
            EXPECT_EQ(std::make_pair(row.id, int(STN_CLICKED)), dlg.commands[0]);
        }

        // A disabled link says so and refuses its action.
        link.EnableWindow(false);
        EXPECT_TRUE(probe.State() & STATE_SYSTEM_UNAVAILABLE);
        link.opened.clear();
        dlg.commands.clear();
        EXPECT_TRUE(FAILED(probe.DoDefaultAction()));
        Pump();
        EXPECT_TRUE(link.opened.empty());
        EXPECT_TRUE(dlg.commands.empty());
        link.EnableWindow(true);
    }
}

TEST_F(Controls, TheBannersCaptionIsAStaticTextOfTheDialog) {
    char caption[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_CAPTION, caption, sizeof(caption));
    AccessibleProbe window = AccessibleProbe::OfWindow(dlg);
    ASSERT_TRUE(window);
    AccessibleProbe text = window.ChildWithRole(ROLE_SYSTEM_STATICTEXT);
    ASSERT_TRUE(text) << "among the dialog's children";
    EXPECT_EQ(caption, text.Name());
    EXPECT_TRUE(text.State() & STATE_SYSTEM_READONLY);
    EXPECT_EQ("", text.DefaultAction()) << "text does nothing";

    // Where the caption is drawn: across the banner, inside the dialog.
    RECT place{}, client;
    ASSERT_TRUE(text.Place(place));
    GetClientRect(dlg, &client);
    MapWindowPoints(dlg, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_GE(place.left, client.left);
    EXPECT_LE(place.right, client.right);
    EXPECT_GE(place.top, client.top);
    EXPECT_LE(place.bottom, client.top + CHeaderDlg::kTileHeight);
    EXPECT_GT(place.right - place.left, (client.right - client.left) / 2);

    // A point on the caption away from the links finds it.
    AccessibleProbe hit = window.HitTest(POINT{place.right - 8, place.top + 4});
    EXPECT_EQ(ROLE_SYSTEM_STATICTEXT, hit.Role());
    EXPECT_EQ(caption, hit.Name());
}

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&init);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
