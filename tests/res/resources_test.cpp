// Loads every resource of the main program from the module it is linked into
// and checks it against what the program's code relies on.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

std::vector<BYTE> RawResource(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(Module(), name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(Module(), found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
    DWORD size = SizeofResource(Module(), found);
    return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
}

std::vector<BYTE> RawResource(LPCSTR type, int id) {
    return RawResource(type, MAKEINTRESOURCEA(id));
}

// Reader for the variable-length fields of a DLGTEMPLATEEX.
struct TemplateReader {
    const BYTE* p;
    WORD Word() {
        WORD v;
        std::memcpy(&v, p, 2);
        p += 2;
        return v;
    }
    DWORD Dword() {
        DWORD v;
        std::memcpy(&v, p, 4);
        p += 4;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    std::string Wide() {
        std::string out;
        for (WORD c = Word(); c; c = Word()) out += c < 128 ? static_cast<char>(c) : '?';
        return out;
    }
    // sz_Or_Ord: none, an ordinal, or a string.
    std::string NameOrOrdinal() {
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0) {
            p += 2;
            return "";
        }
        if (first == 0xFFFF) {
            p += 2;
            WORD ord = Word();
            static const char* const kAtoms[] = {"Button",  "Edit",      "Static",
                                                 "ListBox", "ScrollBar", "ComboBox"};
            if (ord >= 0x80 && ord <= 0x85) return kAtoms[ord - 0x80];
            return "#" + std::to_string(ord);
        }
        return Wide();
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4) ++p;
    }
};

struct DialogItem {
    DWORD style, exStyle;
    short x, y, cx, cy;
    int id;
    std::string cls, text;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short cx = 0, cy = 0;
    std::string caption, face;
    WORD points = 0;
    std::vector<DialogItem> items;
};

bool ParseDialog(int id, DialogTemplate& out) {
    std::vector<BYTE> raw = RawResource(RT_DIALOG, id);
    if (raw.size() < 26) return false;
    TemplateReader r{raw.data()};
    if (r.Word() != 1 || r.Word() != 0xFFFF) return false;  // extended templates only
    r.Dword();
    out.exStyle = r.Dword();
    out.style = r.Dword();
    WORD count = r.Word();
    r.Short();
    r.Short();
    out.cx = r.Short();
    out.cy = r.Short();
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    out.caption = r.Wide();
    if (out.style & DS_SETFONT) {
        out.points = r.Word();
        r.Word();
        r.p += 2;
        out.face = r.Wide();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword(raw.data());
        DialogItem item;
        r.Dword();
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<int>(r.Dword());
        item.cls = r.NameOrOrdinal();
        item.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        r.p += extra;
        out.items.push_back(item);
    }
    return true;
}

TEST(MainDialogTemplate, FrameCaptionFontAndSize) {
    DialogTemplate dlg;
    ASSERT_TRUE(ParseDialog(IDD_MAIN, dlg));
    EXPECT_EQ("Pardwell", dlg.caption);
    EXPECT_EQ(340, dlg.cx);
    EXPECT_EQ(220, dlg.cy);
    EXPECT_EQ("MS Sans Serif", dlg.face);
    EXPECT_EQ(8, dlg.points);
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    EXPECT_EQ(wanted, dlg.style & wanted);
    EXPECT_EQ(0u, dlg.style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD)) << "must not be resizable";
    EXPECT_EQ(DWORD(WS_EX_APPWINDOW | WS_EX_ACCEPTFILES),
              dlg.exStyle & (WS_EX_APPWINDOW | WS_EX_ACCEPTFILES));
}

TEST(MainDialogTemplate, ControlsIdsTextsPlacesAndStyles) {
    struct Expected {
        int id;
        const char* cls;
        const char* text;
        short x, y, cx, cy;
        DWORD required;  // style bits that must be set
        DWORD typeMask;  // 0, or a mask whose value must equal `type`
        DWORD type;
        bool visible;
    };
    const Expected table[] = {
        {IDC_OPTIONS_LINK, "Static", "Options", 11, 19, 29, 10, 0, SS_TYPEMASK, SS_LEFT, true},
        {IDC_FEEDBACK_LINK, "Static", "", 53, 19, 100, 10, 0, SS_TYPEMASK, SS_LEFT, true},
        {IDC_TOOLBAR_PLACE, "Static", "", 7, 43, 168, 15, 0, SS_TYPEMASK, SS_WHITERECT, true},
        {IDC_STATIC, "Static", "&Convert To:", 178, 46, 45, 8, 0, SS_TYPEMASK, SS_RIGHT, true},
        {IDC_FORMAT, "ComboBoxEx32", "", 227, 43, 106, 80, WS_VSCROLL | WS_TABSTOP, 3, CBS_DROPDOWNLIST,
         true},
        {IDC_JOB_LIST, "SysListView32", "", 7, 61, 326, 112,
         LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | WS_BORDER | WS_TABSTOP, LVS_TYPEMASK,
         LVS_REPORT, true},
        {IDC_STATUS, "Static", "Drag and Drop files or folders to begin!", 7, 177, 170, 8, 0, SS_TYPEMASK,
         SS_LEFT, true},
        {IDC_PROGRESS, "msctls_progress32", "", 183, 177, 150, 8, 0, 0, 0, false},
        {IDC_CLOSE_WHEN_DONE, "Button", "C&lose the dialog when done", 7, 191, 120, 10, WS_TABSTOP,
         BS_TYPEMASK, BS_AUTOCHECKBOX, true},
        {IDC_KEEP_ON_TOP, "Button", "&Keep the dialog on top", 7, 202, 104, 10, WS_TABSTOP, BS_TYPEMASK,
         BS_AUTOCHECKBOX, true},
        {IDC_CONVERT, "Button", "Convert", 229, 199, 50, 14, WS_TABSTOP, BS_TYPEMASK, BS_DEFPUSHBUTTON, true},
        {IDC_STOP, "Button", "&Stop", 229, 199, 50, 14, WS_TABSTOP, BS_TYPEMASK, BS_PUSHBUTTON, false},
        {IDCANCEL, "Button", "Close", 283, 199, 50, 14, WS_TABSTOP, BS_TYPEMASK, BS_PUSHBUTTON, true},
    };
    DialogTemplate dlg;
    ASSERT_TRUE(ParseDialog(IDD_MAIN, dlg));
    ASSERT_EQ(std::size(table), dlg.items.size());
    for (size_t i = 0; i < std::size(table); ++i) {
        const Expected& want = table[i];
        const DialogItem& got = dlg.items[i];
        SCOPED_TRACE("control " + std::to_string(want.id) + " " + want.text);
        EXPECT_EQ(want.id, static_cast<int>(static_cast<short>(got.id)));
        EXPECT_STRCASEEQ(want.cls, got.cls.c_str());
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.required, got.style & want.required);
        if (want.typeMask) {
            EXPECT_EQ(want.type, got.style & want.typeMask);
        }
        EXPECT_EQ(want.visible, (got.style & WS_VISIBLE) != 0);
        EXPECT_TRUE(got.style & WS_CHILD);
    }
}

TEST(StringTable, ExactTexts) {
    const struct {
        int id;
        const char* text;
    } table[] = {
        {101, "&About Pardwell..."},
        {102, "Convert text files to Windows, Unix or Macintosh format"},
        {103, "&Options..."},
        {104, "&Help"},
        {200, "Usage: Pardwell /<w|u|m> <file1> <file2> <file3> ..."},
        {201, "%d file(s) added"},
        {202, "Converting..."},
        {203, "Converting: %d / %d"},
        {204, "Converted"},
        {205, "Aborted"},
        {206, "%s: %d success, %d fail"},
        {207, "%s: %d success, %d fail, %d skipped"},
        {208, "Line breaks"},
        {209, "CR LF"},
        {210, "LF"},
        {211, "CR"},
        {212, "None"},
        {213, "Mixed"},
        {214, "Binary"},
        {215, "UTF-16 LE"},
        {216, "UTF-16 BE"},
        {217, "Already in the target format: left as it was"},
        {218, "Skipped as binary: left as it was"},
        {219, "Line breaks read; nothing changed"},
        {220, "Converted"},
        {221, "Failed: the file is read-only"},
        {222, "Failed: the file cannot be opened or read"},
        {223, "Failed: no temporary file can be created beside it"},
        {224, "Failed: a read or write error, or the disk is full"},
        {225, "Failed: the file could not be renamed"},
        {226, "Failed: the path is too long"},
        {227, "Failed: not a target format"},
        {228, "Converted, but its attributes could not be restored"},
        {229, "Converted, but the original could not be removed: it is kept as a .bak file"},
        {230, "Failed: the file was changed while it was being converted"},
        {231, "Failed: the file was in use by another program"},
        {232, "Stopped: left as it was"},
        {240, "Checking..."},
        {241, "Checking: %d / %d"},
        {242, "Checked"},
        {243, "%s: %d read, %d fail"},
        {2031, "mailto:%s?subject=About Pardwell"},
        {2051, "Feature Requests?"},
        {2052, "Questions?"},
        {2053, "Suggestions?"},
        {57344, "Pardwell"},
    };
    for (const auto& row : table) {
        char buffer[512] = "";
        int length = LoadStringA(Module(), row.id, buffer, sizeof(buffer));
        EXPECT_EQ(static_cast<int>(std::strlen(row.text)), length) << row.id;
        EXPECT_STREQ(row.text, buffer) << row.id;
    }
}

// Reads a bitmap resource's header and its pixels as 0xRRGGBB values.
struct BitmapInfo {
    int width = 0, height = 0, bits = 0;
    std::vector<DWORD> pixels;  // top-down
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

bool ReadBitmap(LPCSTR name, BitmapInfo& out) {
    std::vector<BYTE> raw = RawResource(RT_BITMAP, name);
    if (raw.size() < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, raw.data(), sizeof(header));
    out.width = header.biWidth;
    out.height = header.biHeight;
    out.bits = header.biBitCount;
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageA(Module(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = out.width;
    request.bmiHeader.biHeight = -out.height;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    std::vector<DWORD> bgra(static_cast<size_t>(out.width) * out.height);
    HDC dc = GetDC(nullptr);
    int lines = GetDIBits(dc, bitmap, 0, out.height, bgra.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    for (DWORD& p : bgra) p &= 0xFFFFFF;
    out.pixels = bgra;
    return lines == out.height;
}

bool ReadBitmap(int id, BitmapInfo& out) {
    return ReadBitmap(MAKEINTRESOURCEA(id), out);
}

// A picture's form for `size` pixels: its number at 16, "P<id>_<size>" above.
bool ReadSizedBitmap(int id, int size, BitmapInfo& out) {
    if (size == 16) return ReadBitmap(id, out);
    const std::string name = "P" + std::to_string(id) + "_" + std::to_string(size);
    return ReadBitmap(name.c_str(), out);
}

TEST(Bitmaps, SizesDepthsAndKeyColours) {
    const DWORD kMagenta = 0xFF00FF, kWhite = 0xFFFFFF;
    const struct {
        int id;
        int width, height, bits;
        int cell;   // width of one image, 0 for a single picture
        DWORD key;  // image-list transparent colour, 0 for none
    } table[] = {
        {IDB_BANNER, 500, 60, 24, 0, 0},        {IDB_STATE_IMAGES, 64, 16, 24, 16, kMagenta},
        {IDB_FORMATS, 64, 16, 24, 16, kWhite},  {IDB_SORT_ARROWS, 18, 5, 4, 9, kMagenta},
        {IDB_TOOLBAR, 80, 16, 8, 16, kMagenta}, {IDB_TOOLBAR_GREY, 80, 16, 8, 16, kMagenta},
    };
    // Every picture but the sort arrows comes drawn for 20, 24 and 32 pixels
    // too, each size its own resource with its cells and key colour.
    const int sizes[] = {16, 20, 24, 32};
    for (const auto& row : table) {
        for (int size : sizes) {
            if (size != 16 && row.id == IDB_SORT_ARROWS) continue;
            SCOPED_TRACE("bitmap " + std::to_string(row.id) + " at " + std::to_string(size));
            BitmapInfo bmp;
            ASSERT_TRUE(ReadSizedBitmap(row.id, size, bmp));
            EXPECT_EQ(row.width * size / 16, bmp.width);
            EXPECT_EQ(row.height * size / 16, bmp.height);
            EXPECT_EQ(row.bits, bmp.bits);
            const int cellWidth = row.cell * size / 16;
            if (!row.cell) continue;
            for (int cell = 0; cell * cellWidth < bmp.width; ++cell) {
                int keyed = 0, painted = 0;
                for (int y = 0; y < bmp.height; ++y)
                    for (int x = cell * cellWidth; x < (cell + 1) * cellWidth; ++x)
                        (bmp.At(x, y) == row.key ? keyed : painted)++;
                // Every image shows something and leaves its surroundings clear;
                // an image drawn in the key colour would vanish in the list.
                EXPECT_GT(painted, cellWidth * bmp.height / 6) << "image " << cell;
                EXPECT_GT(keyed, 0) << "image " << cell;
            }
        }
    }
}

TEST(Bitmaps, BannerIsAlmostWhiteAndTilesWithoutASeam) {
    BitmapInfo bmp;
    ASSERT_TRUE(ReadBitmap(IDB_BANNER, bmp));
    int light = 0;
    for (DWORD p : bmp.pixels)
        if (((p >> 16) & 0xFF) > 0xE0 && ((p >> 8) & 0xFF) > 0xE0 && (p & 0xFF) > 0xE0) ++light;
    EXPECT_GT(light, bmp.width * bmp.height * 9 / 10) << "the caption must stay readable on it";
    // Copies are placed side by side: the left and right edges belong to
    // one pattern, so the columns 0 and 499 are not both lines.
    int bothDark = 0;
    for (int y = 0; y < bmp.height; ++y)
        if (bmp.At(0, y) != 0xFCFCFC && bmp.At(bmp.width - 1, y) != 0xFCFCFC) ++bothDark;
    EXPECT_LE(bothDark, 1);
}

TEST(Bitmaps, FormatImagesKeepTheirWhiteInsideOpaque) {
    // White is the key of bitmap 134: a pure white pixel enclosed by the
    // picture would show as a hole. Every pure white pixel must reach the
    // image's edge through other white pixels (diagonal steps count: the
    // flag's gaps between its panes are meant to be see-through).
    BitmapInfo bmp;
    ASSERT_TRUE(ReadBitmap(IDB_FORMATS, bmp));
    for (int cell = 0; cell < 4; ++cell) {
        std::vector<int> seen(16 * 16, 0);
        std::vector<std::pair<int, int>> stack;
        for (int i = 0; i < 16; ++i)
            for (auto [x, y] : {std::pair{i, 0}, std::pair{i, 15}, std::pair{0, i}, std::pair{15, i}})
                stack.push_back({x, y});
        while (!stack.empty()) {
            auto [x, y] = stack.back();
            stack.pop_back();
            if (x < 0 || y < 0 || x > 15 || y > 15 || seen[y * 16 + x]) continue;
            if (bmp.At(cell * 16 + x, y) != 0xFFFFFF) continue;
            seen[y * 16 + x] = 1;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) stack.push_back({x + dx, y + dy});
        }
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (bmp.At(cell * 16 + x, y) == 0xFFFFFF) {
                    EXPECT_TRUE(seen[y * 16 + x])
                        << "enclosed white at image " << cell << " (" << x << "," << y << ")";
                }
    }
}

struct IconFacts {
    int width = 0, height = 0;
    bool colour = false;
    DWORD hotX = 0, hotY = 0;
    bool fIcon = false;
    bool cornerClear = false;
};

bool Examine(HICON icon, IconFacts& out) {
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return false;
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof(mask), &mask);
    out.width = mask.bmWidth;
    out.height = info.hbmColor ? mask.bmHeight : mask.bmHeight / 2;
    out.colour = info.hbmColor != nullptr;
    out.hotX = info.xHotspot;
    out.hotY = info.yHotspot;
    out.fIcon = info.fIcon != FALSE;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmMask);
    out.cornerClear = GetPixel(dc, 0, 0) == RGB(255, 255, 255);  // AND bit set: transparent
    SelectObject(dc, old);
    DeleteDC(dc);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

TEST(IconsAndCursors, SizesMasksAndHotSpots) {
    const struct {
        const char* what;
        int id;
        UINT type;
        int size;
        bool colour;
    } table[] = {
        {"icon large", IDI_MAINFRAME, IMAGE_ICON, 32, true},
        {"icon small", IDI_MAINFRAME, IMAGE_ICON, 16, true},
        {"icon small at 125%", IDI_MAINFRAME, IMAGE_ICON, 20, true},
        {"icon small at 150%", IDI_MAINFRAME, IMAGE_ICON, 24, true},
        {"icon large at 150%", IDI_MAINFRAME, IMAGE_ICON, 48, true},
        {"icon large at 200%", IDI_MAINFRAME, IMAGE_ICON, 64, true},
        {"hand pointer", IDC_HAND_LINK, IMAGE_CURSOR, 32, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        HICON icon = static_cast<HICON>(
            LoadImageA(Module(), MAKEINTRESOURCEA(row.id), row.type, row.size, row.size, 0));
        IconFacts facts;
        ASSERT_TRUE(Examine(icon, facts));
        EXPECT_EQ(row.size, facts.width);
        EXPECT_EQ(row.size, facts.height);
        EXPECT_EQ(row.colour, facts.colour);
        EXPECT_TRUE(facts.cornerClear) << "the corner must be masked out";
        if (row.type == IMAGE_CURSOR) {
            EXPECT_FALSE(facts.fIcon);
            // The fingertip: near the top, inside the left half.
            EXPECT_LT(facts.hotY, 4u);
            EXPECT_GT(facts.hotX, 4u);
            EXPECT_LT(facts.hotX, 16u);
            DestroyCursor(icon);
        } else {
            DestroyIcon(icon);
        }
    }
}

TEST(IconsAndCursors, IconFileHoldsEverySizeAsAMaskedEntry) {
    std::vector<BYTE> group = RawResource(RT_GROUP_ICON, IDI_MAINFRAME);
    ASSERT_GE(group.size(), 6u);
    WORD count;
    std::memcpy(&count, group.data() + 4, 2);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) sizes.push_back(group[6 + i * 14] ? group[6 + i * 14] : 256);
    // Drawn for each scale, small (16 to 32) and large (32 to 64): none
    // stretched by the loader.
    for (int size : {16, 20, 24, 32, 48, 64})
        EXPECT_NE(sizes.end(), std::find(sizes.begin(), sizes.end(), size)) << size;
}

TEST(IconsAndCursors, AnimatedCursorHasTenFramesAtEverySize) {
    for (int size : {16, 20, 24, 32}) {
        SCOPED_TRACE(size);
        const std::string sized = "P" + std::to_string(IDR_LOADING_ANI) + "_" + std::to_string(size);
        LPCSTR name = size == 16 ? MAKEINTRESOURCEA(IDR_LOADING_ANI) : sized.c_str();
        std::vector<BYTE> raw = RawResource(MAKEINTRESOURCEA(21), name);  // RT_ANICURSOR
        ASSERT_GE(raw.size(), 12u + 8 + 36);
        EXPECT_EQ(0, std::memcmp(raw.data(), "RIFF", 4));
        EXPECT_EQ(0, std::memcmp(raw.data() + 8, "ACON", 4));
        ASSERT_EQ(0, std::memcmp(raw.data() + 12, "anih", 4));
        DWORD frames, steps;
        std::memcpy(&frames, raw.data() + 20 + 4, 4);
        std::memcpy(&steps, raw.data() + 20 + 8, 4);
        EXPECT_EQ(10u, frames);
        EXPECT_EQ(10u, steps);

        HCURSOR cursor = static_cast<HCURSOR>(LoadImageA(Module(), name, IMAGE_CURSOR, size, size, 0));
        ASSERT_NE(nullptr, cursor);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(cursor, &info));
        BITMAP mask{};
        GetObjectA(info.hbmMask, sizeof(mask), &mask);
        EXPECT_EQ(size, mask.bmWidth) << "drawn at its own size";
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        // The tree draws each frame by its step number into a small-icon place.
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP target = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, target);
        for (UINT step = 0; step < 10; ++step)
            EXPECT_TRUE(DrawIconEx(dc, 0, 0, cursor, size, size, step, nullptr, DI_NORMAL)) << step;
        SelectObject(dc, old);
        DeleteObject(target);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        DestroyCursor(cursor);
    }
}

TEST(Menus, PopupsItemsAndIds) {
    HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_NE(nullptr, menu);
    struct Item {
        UINT id;  // 0: separator
        const char* text;
    };
    const struct {
        const char* title;
        std::vector<Item> items;
    } popups[] = {
        {"_Main_",
         {{ID_MAIN_OPTIONS, "&Options..."},
          {0, ""},
          {ID_HELP, "&Help"},
          {ID_MAIN_ABOUT, "&About Pardwell..."}}},
        {"_Edit_",
         {{ID_EDIT_ADD_FILES, "&Add Files...\tInsert"},
          {ID_EDIT_ADD_FOLDER, "Add &Folder...\tShift+Insert"},
          {ID_EDIT_DELETE, "&Delete\tDel"},
          {ID_EDIT_CLEAR, "&Clear\tShift+Del"},
          {0, ""},
          {ID_EDIT_OPEN, "&Open\tCtrl+O"},
          {ID_EDIT_CHECK, "Chec&k Line Breaks\tCtrl+K"}}},
    };
    ASSERT_EQ(2, GetMenuItemCount(menu));
    for (int p = 0; p < 2; ++p) {
        char title[64] = "";
        GetMenuStringA(menu, p, title, sizeof(title), MF_BYPOSITION);
        EXPECT_STREQ(popups[p].title, title);
        HMENU sub = GetSubMenu(menu, p);
        ASSERT_NE(nullptr, sub);
        ASSERT_EQ(static_cast<int>(popups[p].items.size()), GetMenuItemCount(sub)) << title;
        for (size_t i = 0; i < popups[p].items.size(); ++i) {
            const Item& want = popups[p].items[i];
            MENUITEMINFOA info{};
            char text[128] = "";
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = sizeof(text);
            ASSERT_TRUE(GetMenuItemInfoA(sub, static_cast<UINT>(i), TRUE, &info));
            if (want.id == 0) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << title << " item " << i;
            } else {
                EXPECT_EQ(want.id, info.wID) << title << " item " << i;
                EXPECT_STREQ(want.text, text);
            }
        }
    }
    DestroyMenu(menu);
}

TEST(Accelerators, KeysAndCommands) {
    HACCEL table = LoadAcceleratorsA(Module(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_NE(nullptr, table);
    ACCEL got[32];
    int count = CopyAcceleratorTableA(table, got, 32);
    const ACCEL want[] = {
        {FVIRTKEY | FNOINVERT, VK_INSERT, ID_EDIT_ADD_FILES},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_INSERT, ID_EDIT_ADD_FOLDER},
        {FVIRTKEY | FNOINVERT, VK_ADD, ID_EDIT_ADD_FILES},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_ADD, ID_EDIT_ADD_FOLDER},
        {FVIRTKEY | FNOINVERT, VK_DELETE, ID_EDIT_DELETE},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_DELETE, ID_EDIT_CLEAR},
        {FVIRTKEY | FNOINVERT, VK_SUBTRACT, ID_EDIT_DELETE},
        {FVIRTKEY | FNOINVERT | FSHIFT, VK_SUBTRACT, ID_EDIT_CLEAR},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'O', ID_EDIT_OPEN},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'W', ID_FORMAT_WINDOWS},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'U', ID_FORMAT_MAC},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'M', ID_FORMAT_UNIX},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'P', ID_FORMAT_PROJECT},
        {FVIRTKEY | FNOINVERT | FCONTROL, 'K', ID_EDIT_CHECK},
    };
    ASSERT_EQ(static_cast<int>(std::size(want)), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(want[i].fVirt, got[i].fVirt & ~0x80) << i;  // 0x80 marks the last entry
        EXPECT_EQ(want[i].key, got[i].key) << i;
        EXPECT_EQ(want[i].cmd, got[i].cmd) << i;
    }
    DestroyAcceleratorTable(table);
}

TEST(Toolbar, ButtonsAndBitmap) {
    std::vector<BYTE> raw = RawResource(MAKEINTRESOURCEA(RT_TOOLBAR_LAYOUT), IDR_MAINFRAME);
    ASSERT_GE(raw.size(), 8u);
    WORD fields[4];
    std::memcpy(fields, raw.data(), sizeof(fields));
    EXPECT_EQ(1, fields[0]);   // version
    EXPECT_EQ(16, fields[1]);  // button width
    EXPECT_EQ(16, fields[2]);  // button height
    const WORD want[] = {ID_EDIT_ADD_FILES, ID_EDIT_ADD_FOLDER, ID_EDIT_DELETE,
                         ID_EDIT_CLEAR,     ID_EDIT_OPEN,       0};
    ASSERT_EQ(std::size(want), fields[3]);
    ASSERT_GE(raw.size(), 8u + 2 * std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        WORD id;
        std::memcpy(&id, raw.data() + 8 + 2 * i, 2);
        EXPECT_EQ(want[i], id) << i;
    }
    BitmapInfo bmp;
    ASSERT_TRUE(ReadBitmap(IDR_MAINFRAME, bmp));
    EXPECT_EQ(16 * 5, bmp.width);
}

TEST(Manifest, AsksForCommonControlsSix) {
    std::vector<BYTE> raw = RawResource(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST
    std::string text(raw.begin(), raw.end());
    EXPECT_NE(std::string::npos, text.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, text.find("version=\"6.0.0.0\""));
    // Activated at start: the comctl32 the process loaded is the
    // side-by-side version 6 assembly, not the system folder's copy.
    HMODULE comctl = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(nullptr, comctl);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(comctl, path, MAX_PATH);
    std::string lower(path);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(std::string::npos, lower.find("common-controls_6595b64144ccf1df_6.")) << path;
}

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&init);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
