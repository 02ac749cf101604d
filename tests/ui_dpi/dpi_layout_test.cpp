// Every window of the program at the display scale this process was started
// with (tests/ui_dpi/run_at_dpi sets Wine's LogPixels first and names it in
// PARDWELL_EXPECTED_DPI): each text fits its control in its own font, no
// control overlaps another it should not, and the pictures are drawn for
// the scale.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/dpi.h"
#include "framework/resource_text.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/options_dlg.h"
#include "ui/dialogs/select_folder_dlg.h"
#include "ui/main/header_dlg.h"

namespace {

UINT ExpectedDpi() {
    const char* text = std::getenv("PARDWELL_EXPECTED_DPI");
    return text ? static_cast<UINT>(std::atoi(text)) : 96;
}

// The picture size each tested scale takes: 100, 150 and 200 percent.
int ExpectedPictureSize(UINT dpi) {
    switch (dpi) {
        case 96:
            return 16;
        case 144:
            return 24;
        case 192:
            return 32;
        default:
            return 0;
    }
}

std::string ClassOf(HWND wnd) {
    char name[64] = "";
    GetClassNameA(wnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND wnd) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(wnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(wnd, &text[0], static_cast<int>(text.size()))));
    return text;
}

RECT RectIn(HWND parent, HWND child) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Text measured in the control's own font: DT_CALCRECT within `width`.
SIZE Measure(HWND control, const std::string& text, UINT format, int width) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT box{0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &box, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{box.right, box.bottom};
}

struct Child {
    HWND wnd;
    int id;
    std::string kind;
    RECT rect;
};

std::vector<Child> VisibleChildren(HWND dialog) {
    std::vector<Child> out;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongPtrA(c, GWL_STYLE) & WS_VISIBLE)
            out.push_back(Child{c, GetDlgCtrlID(c), ClassOf(c), RectIn(dialog, c)});
    return out;
}

// Every static, button and check box text fits its control's client area;
// returns how many were measured.
int ExpectTextsFit(HWND dialog, UINT dpi) {
    int measured = 0;
    for (const Child& c : VisibleChildren(dialog)) {
        const std::string text = TextOf(c.wnd);
        if (text.empty()) continue;
        const LONG style = static_cast<LONG>(GetWindowLongPtrA(c.wnd, GWL_STYLE));
        RECT client;
        GetClientRect(c.wnd, &client);
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + text + "\"");
        if (c.kind == "Static") {
            const LONG type = style & SS_TYPEMASK;
            if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP &&
                type != SS_SIMPLE)
                continue;
            const bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
            const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
            const SIZE need =
                Measure(c.wnd, text, (wraps ? DT_WORDBREAK : DT_SINGLELINE) | prefix, client.right);
            EXPECT_LE(need.cx, client.right);
            EXPECT_LE(need.cy, client.bottom);
            ++measured;
        } else if (c.kind == "Button") {
            const LONG type = style & BS_TYPEMASK;
            if (type == BS_GROUPBOX) continue;
            const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                             type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
            // A check box's square is 13 pixels at 96 DPI, with a gap before the text;
            // a push button keeps its edges clear.
            const int room = client.right - (box ? ScaleForDpi(16, dpi) : 2 * ScaleForDpi(3, dpi));
            const SIZE need = Measure(c.wnd, text, DT_SINGLELINE, room);
            EXPECT_LE(need.cx, room);
            EXPECT_LE(need.cy, client.bottom);
            ++measured;
        }
    }
    return measured;
}

// No two visible controls share a pixel, but a group box and what it frames,
// and the pairs named (by id, either order).
void ExpectNoOverlap(HWND dialog, const std::set<std::pair<int, int>>& allowed) {
    const std::vector<Child> children = VisibleChildren(dialog);
    auto isGroup = [](const Child& c) {
        return c.kind == "Button" && (GetWindowLongPtrA(c.wnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    };
    for (size_t i = 0; i < children.size(); ++i)
        for (size_t j = i + 1; j < children.size(); ++j) {
            const Child& a = children[i];
            const Child& b = children[j];
            RECT both;
            if (!IntersectRect(&both, &a.rect, &b.rect)) continue;
            if (isGroup(a) || isGroup(b)) continue;
            if (allowed.count({a.id, b.id}) || allowed.count({b.id, a.id})) continue;
            ADD_FAILURE() << "controls " << a.id << " (" << a.kind << ") and " << b.id << " (" << b.kind
                          << ") overlap";
        }
}

int IconSize(HIMAGELIST list) {
    int cx = 0, cy = 0;
    if (!list || !ImageList_GetIconSize(list, &cx, &cy)) return 0;
    EXPECT_EQ(cx, cy);
    return cx;
}

struct Pictures {
    int toolbar, toolbarGrey, marks, formats, buttonHeight;
};

Pictures PicturesOf(HWND main) {
    HWND bar = GetDlgItem(main, ID_TOOLBAR_CTRL);
    HWND list = GetDlgItem(main, IDC_JOB_LIST);
    HWND selector = GetDlgItem(main, IDC_FORMAT);
    return Pictures{
        IconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0))),
        IconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETDISABLEDIMAGELIST, 0, 0))),
        IconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0))),
        IconSize(reinterpret_cast<HIMAGELIST>(SendMessageA(selector, CBEM_GETIMAGELIST, 0, 0))),
        HIWORD(SendMessageA(bar, TB_GETBUTTONSIZE, 0, 0)),
    };
}

void ExpectPicturesFor(HWND main, UINT dpi) {
    const int size = ExpectedPictureSize(dpi);
    const Pictures p = PicturesOf(main);
    EXPECT_EQ(size, p.toolbar);
    EXPECT_EQ(size, p.toolbarGrey);
    EXPECT_EQ(size, p.marks);
    EXPECT_EQ(size, p.formats);
    // 22 pixels at 96 DPI, grown with the scale rather than by the picture
    // alone, and back down again on a smaller one.
    EXPECT_GE(p.buttonHeight, ScaleForDpi(22, dpi) - 1);
    EXPECT_LE(p.buttonHeight, ScaleForDpi(22, dpi) + 1);
}

// The caption ends left of the banner's arrow: the arrow is the first column
// of strong green in the banner drawn for the scale.
void ExpectCaptionClearOfArrow(UINT dpi) {
    const int width = ScaleForDpi(500, dpi);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, width, ScaleForDpi(60, dpi));
    HGDIOBJ oldBitmap = SelectObject(dc, canvas);
    RECT client{0, 0, width, ScaleForDpi(60, dpi)};
    CHeaderDlg::PaintBanner(dc, client, nullptr, dpi);
    int arrow = width;
    for (int x = 0; x < width && arrow == width; ++x)
        for (int y = 0; y < client.bottom; ++y) {
            const COLORREF c = GetPixel(dc, x, y);
            if (GetGValue(c) > GetRValue(c) + 60 && GetGValue(c) > GetBValue(c) + 60) {
                arrow = x;
                break;
            }
        }
    LOGFONTA face{};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(face), &face);
    face.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectA(&face);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT box = CHeaderDlg::CaptionBox(client, dpi);
    const std::string caption = LoadResourceText(IDS_CAPTION);
    DrawTextA(dc, caption.c_str(), -1, &box, DT_WORDBREAK | DT_CALCRECT);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteObject(canvas);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    EXPECT_LT(arrow, width) << "the banner has its arrow";
    EXPECT_LT(box.right, arrow) << "the caption runs into the arrow";
}

class DpiTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
    }
};

TEST_F(DpiTest, TheProcessRunsAtTheScaleItWasStartedWith) {
    // Otherwise every other check here would pass at 96 DPI alone.
    EXPECT_EQ(ExpectedDpi(), SystemDpi());
    EXPECT_NE(0, ExpectedPictureSize(ExpectedDpi())) << "a scale this test has no table row for";
}

TEST_F(DpiTest, EveryWindowFitsItsTextsWithoutOverlapsAndDrawsForTheScale) {
    const UINT dpi = ExpectedDpi();
    CAppSettings& settings = TestApp::Get().Settings();
    const ShellResources& shell = TestApp::Get().Resources();

    TestMainDlg main(-1, nullptr);
    ASSERT_TRUE(main.Create());
    EXPECT_EQ(dpi, DpiOfWindow(main.m_hwnd));
    COptionsDlg options(settings, TestApp::Get().Store());
    ASSERT_TRUE(options.Create());
    CSelectFolderDlg folder;
    ASSERT_TRUE(folder.Create());
    CAboutDlg about(shell);
    ASSERT_TRUE(about.Create());

    const struct {
        const char* name;
        HWND wnd;
        std::set<std::pair<int, int>> allowed;
    } windows[] = {
        // Stop stands where Convert does, shown one at a time.
        {"main", main.m_hwnd, {{IDC_CONVERT, IDC_STOP}}},
        {"options", options.m_hwnd, {}},
        // The size grip sits in the corner, under Cancel's margin.
        {"folder", folder.m_hwnd, {{IDC_SIZE_GRIP, IDCANCEL}}},
        {"about", about.m_hwnd, {}},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.name);
        ShowWindow(w.wnd, SW_SHOWNA);
        PumpFor(50);
        EXPECT_GE(ExpectTextsFit(w.wnd, dpi), 3) << "texts measured";
        ExpectNoOverlap(w.wnd, w.allowed);
    }
    ExpectPicturesFor(main.m_hwnd, dpi);
    ExpectCaptionClearOfArrow(dpi);
    MINMAXINFO limits{};
    SendMessageA(folder.m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(ScaleForDpi(320, dpi), limits.ptMinTrackSize.x) << "the folder dialog's minimum width";
    EXPECT_EQ(ScaleForDpi(280, dpi), limits.ptMinTrackSize.y);

    for (CWnd* w : std::initializer_list<CWnd*>{&about, &folder, &options, &main}) w->DestroyWindow();
}

// The window's rectangle scaled from `dpi` to `other`, moved a little, as
// the system suggests it with WM_DPICHANGED; true when the window took it.
bool TakesTheSuggestedPlace(HWND wnd, UINT dpi, UINT other) {
    RECT before;
    GetWindowRect(wnd, &before);
    RECT suggested{
        before.left + 10, before.top + 20,
        before.left + 10 + MulDiv(before.right - before.left, static_cast<int>(other), static_cast<int>(dpi)),
        before.top + 20 + MulDiv(before.bottom - before.top, static_cast<int>(other), static_cast<int>(dpi))};
    SendMessageA(wnd, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    RECT after;
    GetWindowRect(wnd, &after);
    return EqualRect(&suggested, &after) != FALSE;
}

TEST_F(DpiTest, MovingToAnotherScaleRedrawsThePicturesAndTakesTheSuggestedPlace) {
    const UINT dpi = ExpectedDpi();
    const UINT other = dpi == 192 ? 96 : 192;

    TestMainDlg main(-1, nullptr);
    ASSERT_TRUE(main.Create());
    HWND list = GetDlgItem(main.m_hwnd, IDC_JOB_LIST);
    const int fileColumn = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_TRUE(TakesTheSuggestedPlace(main.m_hwnd, dpi, other));
    ExpectPicturesFor(main.m_hwnd, other);
    EXPECT_NEAR(MulDiv(fileColumn, static_cast<int>(other), static_cast<int>(dpi)),
                SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0), 1);
    main.DestroyWindow();

    // The folder dialog's minimum size is pixels at 96 DPI: 320 by 280.
    CSelectFolderDlg folder;
    ASSERT_TRUE(folder.Create());
    EXPECT_TRUE(TakesTheSuggestedPlace(folder.m_hwnd, dpi, other));
    MINMAXINFO limits{};
    SendMessageA(folder.m_hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(ScaleForDpi(320, other), limits.ptMinTrackSize.x);
    EXPECT_EQ(ScaleForDpi(280, other), limits.ptMinTrackSize.y);
}

}  // namespace
