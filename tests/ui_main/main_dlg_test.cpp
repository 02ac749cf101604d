// The main dialog driven with the messages a user's actions produce: drops,
// button clicks, accelerators through the dialog's own pre-translation,
// header clicks, context menus; asserted on the real controls.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <memory>

#include "core/folder_walk.h"
#include "tests/ui_main/accessible_probe.h"
#include "tests/ui_main/ui_test_support.h"

namespace {

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) dlg->DestroyWindow();
        SetKey(VK_CONTROL, false);
        SetKey(VK_SHIFT, false);
    }
    void Open(int format = -1, const std::vector<std::string>* paths = nullptr) {
        dlg = std::make_unique<TestMainDlg>(format, paths);
        ASSERT_TRUE(dlg->Create());
    }
    HWND Wnd() const { return dlg->m_hwnd; }
    CSortListCtrl& List() { return dlg->Jobs().Control(); }
    std::string Status() { return ItemText(Wnd(), IDC_STATUS); }
    void Drop(const std::vector<std::string>& paths, bool ctrl) {
        SetKey(VK_CONTROL, ctrl);
        SendMessageA(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
        SetKey(VK_CONTROL, false);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int i = 0; i < List().GetItemCount(); ++i) names.push_back(List().GetItemText(i, 0));
        return names;
    }
    // A key press as the modal loop would see it: offered to the dialog's
    // pre-translation (accelerators) first.
    void Key(UINT vk, bool ctrl, bool shift = false) {
        SetKey(VK_CONTROL, ctrl);
        SetKey(VK_SHIFT, shift);
        MSG msg{List().m_hwnd, WM_KEYDOWN, vk, 1, GetTickCount(), {0, 0}};
        if (!dlg->Translate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SetKey(VK_CONTROL, false);
        SetKey(VK_SHIFT, false);
    }
    void HeaderClick(int column) {
        HWND header = List().GetHeader();
        NMHEADERA nm{};
        nm.hdr.hwndFrom = header;
        nm.hdr.idFrom = GetDlgCtrlID(header);
        nm.hdr.code = HDN_ITEMCLICKA;
        nm.iItem = column;
        SendMessageA(List().m_hwnd, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    int HeaderFormat(int column, int* image) {
        HDITEMA item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageA(List().GetHeader(), HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item));
        *image = item.iImage;
        return item.fmt;
    }
    bool ToolbarEnabled(UINT id) {
        return SendMessageA(GetDlgItem(Wnd(), ID_TOOLBAR_CTRL), TB_ISBUTTONENABLED, id, 0) != 0;
    }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Wnd(), id)) != FALSE; }
    void Idle() { SendMessageA(Wnd(), kWmKickIdle, 0, 0); }

    TempFolder temp;
    std::unique_ptr<TestMainDlg> dlg;
};

TEST_F(MainDlgTest, DuplicatesAreRefusedWhateverTheCaseAndTheStatusShowsTheTotal) {
    Open();
    std::string a = temp.Write("a.txt", "x");
    std::string b = temp.Write("b.txt", "x");
    std::string upper = a;
    CharUpperA(&upper[0]);
    struct Step {
        std::string path;
        int expected;
        const char* status;
    };
    const Step steps[] = {
        {a, 0, "1 file(s) added"},
        {a, -1, "1 file(s) added"},
        {upper, -1, "1 file(s) added"},
        {b, 1, "2 file(s) added"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(dlg->Jobs().AddFile(s.path.c_str()), s.expected) << s.path;
        EXPECT_EQ(Status(), s.status) << s.path;
    }
    EXPECT_EQ(dlg->Jobs().Model().Path(0), a);
    EXPECT_EQ(List().GetItemText(0, 1), temp.Path());
    EXPECT_TRUE(dlg->Jobs().Model().Contains(upper.c_str()));
    EXPECT_EQ(dlg->Jobs().Model().Path(7), "") << "a vanished index gives a path that cannot convert";
    // Only the newest entry is selected and focused.
    EXPECT_EQ(List().GetSelectedCount(), 1);
    EXPECT_EQ(List().GetFirstSelected(), 1);
}

TEST_F(MainDlgTest, RelativePathsAreListedAsTheFileTheyName) {
    Open();
    temp.Write("rel.txt", "x");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    SetCurrentDirectoryA(temp.Path().c_str());
    int index = dlg->Jobs().AddFile("rel.txt");
    SetCurrentDirectoryA(cwd);
    ASSERT_EQ(index, 0);
    EXPECT_EQ(dlg->Jobs().Model().Path(0), temp.Path() + "\\rel.txt");
}

TEST_F(MainDlgTest, DroppedFoldersExpandWithSubfoldersOnlyWhenCtrlIsHeld) {
    Open();
    TestApp::Get().Settings().Options().defaultFilter = "*.txt";
    std::string tree = temp.MakeFolder("tree");
    temp.Write("tree\\a.txt", "x");
    temp.Write("tree\\b.doc", "x");
    temp.MakeFolder("tree\\sub");
    temp.Write("tree\\sub\\c.txt", "x");
    std::string loose = temp.Write("loose.doc", "x");

    struct Case {
        bool ctrl;
        std::vector<std::string> expected;
    };
    const Case cases[] = {{false, {"a.txt", "loose.doc"}}, {true, {"a.txt", "c.txt", "loose.doc"}}};
    for (const Case& c : cases) {
        dlg->Jobs().Clear();
        Drop({tree, loose}, c.ctrl);
        std::vector<std::string> names = Names();
        EXPECT_EQ(names, c.expected) << "ctrl " << c.ctrl;
        EXPECT_EQ(Status(), std::to_string(c.expected.size()) + " file(s) added");
    }
    // Dropping the same things again adds nothing.
    Drop({tree, loose}, true);
    EXPECT_EQ(List().GetItemCount(), 3);
}

// make_repo.sh makes it beside this program with Git itself.
std::string RepositoryRoot() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self, n);
    return path.substr(0, path.find_last_of('\\')) + "\\git_repo";
}

TEST_F(MainDlgTest, DroppedRepositoryLeavesOutWhatGitIgnoresUnlessTheOptionIsOff) {
    const std::string repo = RepositoryRoot();
    ASSERT_NE(GetFileAttributesA((repo + "\\.git").c_str()), INVALID_FILE_ATTRIBUTES)
        << "no repository at " << repo;
    Open();
    struct Case {
        bool skipIgnored;
        std::vector<std::string> expected;  // in walk order; never what .hg holds
    };
    const Case cases[] = {
        {true, {".gitignore", "a.txt", "keep.log", ".gitignore", "s.txt"}},
        {false,
         {".gitignore", "a.txt", "b.log", "c.tmp", "keep.log", "x.txt", ".gitignore", "o.txt", "s.txt"}},
    };
    for (const Case& c : cases) {
        TestApp::Get().Settings().Options().skipIgnored = c.skipIgnored;
        dlg->Jobs().Clear();
        Drop({repo}, true);
        std::vector<std::string> names = Names();
        std::vector<std::string> expected = c.expected;
        // The list keeps the walk's order; the walk, the file system's.
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << "skip ignored " << c.skipIgnored;
    }
}

TEST_F(MainDlgTest, HeaderClicksSortByColumnIdentityAndMoveTheArrow) {
    Open();
    std::string one = temp.MakeFolder("one");
    std::string two = temp.MakeFolder("two");
    dlg->Jobs().AddFile(temp.Write("two\\a.txt", "x").c_str());
    dlg->Jobs().AddFile(temp.Write("one\\b.txt", "x").c_str());
    // Not beside b.txt: the file system, like the list, ignores case.
    dlg->Jobs().AddFile(temp.Write("two\\B.txt", "x").c_str());
    struct Click {
        int column;
        std::vector<std::string> order;
        int arrowImage;  // on the clicked column
    };
    const Click clicks[] = {
        {1, {"b.txt", "a.txt", "B.txt"}, 0},  // ascending by folder: one, two, two
        {1, {"a.txt", "B.txt", "b.txt"}, 1},  // descending by folder: two, two, one
        {0, {"b.txt", "a.txt", "B.txt"}, 1},  // another column keeps the direction: descending by name
        {0, {"B.txt", "a.txt", "b.txt"}, 0},  // ascending: upper case first
    };
    int previous = -1;
    for (const Click& c : clicks) {
        HeaderClick(c.column);
        std::vector<std::string> names = Names();
        if (c.column == 1) {
            // Equal folder keys may come in either order: compare folders.
            std::vector<std::string> folders;
            for (int i = 0; i < 3; ++i) folders.push_back(List().GetItemText(i, 1));
            std::vector<std::string> expected;
            for (const std::string& n : c.order) expected.push_back(n == "b.txt" ? one : two);
            EXPECT_EQ(folders, expected);
        } else {
            EXPECT_EQ(names, c.order);
        }
        int image = -1;
        int fmt = HeaderFormat(c.column, &image);
        EXPECT_TRUE(fmt & HDF_IMAGE);
        EXPECT_TRUE(fmt & HDF_BITMAP_ON_RIGHT);
        EXPECT_EQ(image, c.arrowImage);
        if (previous >= 0 && previous != c.column) {
            EXPECT_FALSE(HeaderFormat(previous, &image) & HDF_IMAGE) << "arrow left the old column";
        }
        previous = c.column;
    }
    // Sorting moved the entries together with their paths.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dlg->Jobs().Model().Path(i), JoinPath(List().GetItemText(i, 1), List().GetItemText(i, 0)));
}

// The list keeps only selection and focus per row; everything else is the
// entry's own, so sorting and deleting must carry both to the right rows.
TEST_F(MainDlgTest, SortingAndDeletingCarrySelectionFocusAndMarksWithTheirEntries) {
    Open();
    for (const char* n : {"c.txt", "a.txt", "b.txt", "d.txt"})
        dlg->Jobs().AddFile(temp.Write(n, "x").c_str());
    dlg->Jobs().MarkEntry(0, EntryMark::Failed, ConvertFailure::ReadOnly);
    dlg->Jobs().MarkEntry(3, EntryMark::Converted, ConvertFailure::None);
    List().SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    List().SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    List().SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    auto selected = [&] {
        std::vector<std::string> names;
        for (int i = List().GetFirstSelected(); i >= 0; i = List().GetNextItem(i, LVNI_SELECTED))
            names.push_back(List().GetItemText(i, 0));
        return names;
    };
    auto focused = [&] { return List().GetItemText(List().GetNextItem(-1, LVNI_FOCUSED), 0); };

    HeaderClick(0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(selected(), (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_EQ(focused(), "b.txt");
    EXPECT_EQ(StateImage(List(), 2), EntryMark::Failed);
    EXPECT_EQ(dlg->Jobs().Model().At(2)->failure, ConvertFailure::ReadOnly);
    EXPECT_EQ(StateImage(List(), 3), EntryMark::Converted);
    EXPECT_EQ(StateImage(List(), 0), EntryMark::None);

    SendMessageA(Wnd(), WM_COMMAND, ID_EDIT_DELETE, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "d.txt"}));
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(focused(), "d.txt") << "focus goes to the entry that took the first deleted one's place";
    EXPECT_EQ(StateImage(List(), 1), EntryMark::Converted);
    EXPECT_EQ(dlg->Jobs().Model().Path(1), temp.Path() + "\\d.txt");
}

// What the list asks for as it paints, in either text width, cut to the
// room it gives; and typing a name's first letters finds the entry.
TEST_F(MainDlgTest, TheVirtualListAnswersForTextsAndFindsTypedNames) {
    Open();
    for (const char* n : {"apple.txt", "banana.txt", "Berry.txt", "cherry.txt"})
        dlg->Jobs().AddFile(temp.Write(n, "x").c_str());
    auto ask = [&](UINT code, int item, int column, void* buffer, int room) {
        NMLVDISPINFOA info{};
        info.hdr.hwndFrom = List().m_hwnd;
        info.hdr.idFrom = IDC_JOB_LIST;
        info.hdr.code = code;
        info.item.mask = LVIF_TEXT;
        info.item.iItem = item;
        info.item.iSubItem = column;
        info.item.pszText = static_cast<char*>(buffer);
        info.item.cchTextMax = room;
        SendMessageA(Wnd(), WM_NOTIFY, IDC_JOB_LIST, reinterpret_cast<LPARAM>(&info));
    };
    wchar_t wide[64];
    ask(LVN_GETDISPINFOW, 1, 0, wide, 64);
    EXPECT_EQ(std::wstring(wide), L"banana.txt");
    ask(LVN_GETDISPINFOW, 1, 0, wide, 4);
    EXPECT_EQ(std::wstring(wide), L"ban");
    char narrow[64];
    ask(LVN_GETDISPINFOA, 2, 1, narrow, 64);
    EXPECT_EQ(std::string(narrow), temp.Path());
    ask(LVN_GETDISPINFOA, 2, 0, narrow, 3);
    EXPECT_EQ(std::string(narrow), "Be");

    auto find = [&](UINT code, const void* text, UINT flags, int start) {
        NMLVFINDITEMA nm{};
        nm.hdr.hwndFrom = List().m_hwnd;
        nm.hdr.idFrom = IDC_JOB_LIST;
        nm.hdr.code = code;
        nm.iStart = start;
        nm.lvfi.flags = flags;
        nm.lvfi.psz = static_cast<const char*>(text);
        return static_cast<int>(SendMessageA(Wnd(), WM_NOTIFY, IDC_JOB_LIST, reinterpret_cast<LPARAM>(&nm)));
    };
    EXPECT_EQ(find(LVN_ODFINDITEMA, "b", LVFI_PARTIAL, 0), 1);
    EXPECT_EQ(find(LVN_ODFINDITEMA, "b", LVFI_PARTIAL, 2), 2);
    EXPECT_EQ(find(LVN_ODFINDITEMW, L"BER", LVFI_PARTIAL, 0), 2) << "whatever the case";
    EXPECT_EQ(find(LVN_ODFINDITEMA, "a", LVFI_PARTIAL, 1), -1) << "no wrap asked";
    EXPECT_EQ(find(LVN_ODFINDITEMA, "a", LVFI_PARTIAL | LVFI_WRAP, 1), 0);
    EXPECT_EQ(find(LVN_ODFINDITEMA, "cherry", LVFI_STRING, 0), -1) << "a whole name is asked for";
    EXPECT_EQ(find(LVN_ODFINDITEMA, "CHERRY.TXT", LVFI_STRING, 0), 3);

    // The list's own type-ahead goes through the same answer.
    ::SetFocus(List().m_hwnd);
    SendMessageA(List().m_hwnd, WM_CHAR, 'c', 1);
    EXPECT_EQ(List().GetNextItem(-1, LVNI_FOCUSED), 3);
}

TEST_F(MainDlgTest, DeleteAndClearKeepTheIndexInStep) {
    Open();
    std::vector<std::string> paths;
    for (const char* n : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) paths.push_back(temp.Write(n, "x"));
    for (const auto& p : paths) dlg->Jobs().AddFile(p.c_str());
    for (int i : {0, 2, 4}) List().SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
    List().SetItemState(3, 0, LVIS_SELECTED);
    SendMessageA(Wnd(), WM_COMMAND, ID_EDIT_DELETE, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"2.txt", "4.txt"}));
    EXPECT_EQ(Status(), "2 file(s) added");
    // A deleted file can come back; a listed one still cannot.
    EXPECT_EQ(dlg->Jobs().AddFile(paths[0].c_str()), 2);
    EXPECT_EQ(dlg->Jobs().AddFile(paths[1].c_str()), -1);

    SendMessageA(Wnd(), WM_COMMAND, ID_EDIT_CLEAR, 0);
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(Status(), "0 file(s) added");
    EXPECT_EQ(dlg->Jobs().AddFile(paths[1].c_str()), 0) << "clear empties the index too";
    dlg->Jobs().Clear();
    SetDlgItemTextA(Wnd(), IDC_STATUS, "something else");
    dlg->Jobs().Clear();
    EXPECT_EQ(Status(), "0 file(s) added") << "clearing an empty list still rewrites the status";
}

TEST_F(MainDlgTest, EnablingRulesForButtonsToolbarAndCommands) {
    Open();
    std::string a = temp.Write("a.txt", "x");
    struct State {
        const char* name;
        bool add;
        bool select;
        bool convert, del, clear, open;
    };
    const State states[] = {
        {"empty", false, false, false, false, false, false},
        {"listed, none selected", true, false, true, false, true, false},
        {"listed and selected", true, true, true, true, true, true},
    };
    for (const State& s : states) {
        dlg->Jobs().Clear();
        if (s.add) dlg->Jobs().AddFile(a.c_str());
        if (!s.select) List().SetItemState(-1, 0, LVIS_SELECTED);
        Idle();
        EXPECT_EQ(Enabled(IDC_CONVERT), s.convert) << s.name;
        EXPECT_EQ(ToolbarEnabled(ID_EDIT_DELETE), s.del) << s.name;
        EXPECT_EQ(ToolbarEnabled(ID_EDIT_CLEAR), s.clear) << s.name;
        EXPECT_EQ(ToolbarEnabled(ID_EDIT_OPEN), s.open) << s.name;
        // Add Files and Add Folder can always run.
        EXPECT_TRUE(ToolbarEnabled(ID_EDIT_ADD_FILES)) << s.name;
        EXPECT_TRUE(ToolbarEnabled(ID_EDIT_ADD_FOLDER)) << s.name;
        EXPECT_TRUE(Enabled(IDCANCEL));
        EXPECT_TRUE(Enabled(IDC_KEEP_ON_TOP));
    }
    // Delete by accelerator with nothing selected does nothing.
    List().SetItemState(-1, 0, LVIS_SELECTED);
    Key(VK_DELETE, false);
    EXPECT_EQ(List().GetItemCount(), 1);
    // Shift+Del clears; Enter with an empty list does not close the dialog.
    Key(VK_DELETE, false, true);
    EXPECT_EQ(List().GetItemCount(), 0);
    SendMessageA(Wnd(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(Wnd()));
}

TEST_F(MainDlgTest, CtrlWUMSelectEntriesZeroOneTwo) {
    TestApp::Get().Settings().Last().format = 1;
    Open();
    HWND selector = GetDlgItem(Wnd(), IDC_FORMAT);
    struct Case {
        UINT key;
        int entry;
    };
    for (const Case& c : {Case{'M', 2}, Case{'U', 1}, Case{'W', 0}, Case{'M', 2}}) {
        Key(c.key, true);
        EXPECT_EQ(SendMessageA(selector, CB_GETCURSEL, 0, 0), c.entry) << char(c.key);
    }
    // Without Ctrl the letters are no commands.
    Key('W', false);
    EXPECT_EQ(SendMessageA(selector, CB_GETCURSEL, 0, 0), 2);
    // What the dialog keeps as the format changes only when a run starts:
    // the closing dialog writes back the one it opened with.
    dlg->DestroyWindow();
    EXPECT_EQ(TestApp::Get().Settings().Last().format, 1);
}

TEST_F(MainDlgTest, FormatSelectorStartsFromCommandLineOrLastFormat) {
    struct Case {
        int lastFormat;
        int commandLine;
        int expected;
    };
    // A stored format no selector entry stands for (a hand-edited or damaged
    // registry) starts from Windows/Dos: with nothing selected, every file of
    // a run would fail.
    for (const Case& c : {Case{2, -1, 2}, Case{2, 1, 1}, Case{0, -1, 0}, Case{3, -1, 3}, Case{1, 3, 3},
                          Case{4, -1, 0}, Case{7, -1, 0}, Case{-3, -1, 0}}) {
        TestApp::Get().Settings().Last().format = c.lastFormat;
        Open(c.commandLine);
        EXPECT_EQ(SendMessageA(GetDlgItem(Wnd(), IDC_FORMAT), CB_GETCURSEL, 0, 0), c.expected);
        char text[64] = {};
        GetWindowTextA(GetDlgItem(Wnd(), IDC_FORMAT), text, sizeof(text));
        dlg->DestroyWindow();
    }
}

// True if a comes before b in the top-level z-order.
bool Above(HWND a, HWND b) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == a) return true;
        if (w == b) return false;
    }
    return false;
}

TEST_F(MainDlgTest, KeepOnTopFollowsTheCheckBox) {
    Open();
    ShowWindow(Wnd(), SW_SHOWNOACTIVATE);
    HWND other =
        CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(other, SW_SHOWNOACTIVATE);
    // Wine 8 refuses HWND_TOPMOST for a window that owns a topmost popup
    // (the links' and toolbar's tooltips); Windows makes both topmost.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
        DestroyWindow(other);
        GTEST_SKIP() << "Wine refuses HWND_TOPMOST for an owner of tooltips; checked on Windows only";
    }
    HWND box = GetDlgItem(Wnd(), IDC_KEEP_ON_TOP);
    for (bool expected : {true, false, true}) {
        SendMessageA(box, BM_CLICK, 0, 0);
        // Another window brought to the top stays below a topmost dialog.
        SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        EXPECT_EQ(Above(Wnd(), other), expected);
    }
    DestroyWindow(other);
}

TEST_F(MainDlgTest, SettingsAreWrittenBackAtCloseFromWhatTheDialogHolds) {
    TestApp::Get().Settings().Last().format = 1;
    Open();
    SendMessageA(GetDlgItem(Wnd(), IDC_CLOSE_WHEN_DONE), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(Wnd(), IDC_KEEP_ON_TOP), BM_CLICK, 0, 0);
    // Chosen but never used for a run: not remembered.
    SendMessageA(GetDlgItem(Wnd(), IDC_FORMAT), CB_SETCURSEL, 2, 0);
    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(Wnd()));
    EXPECT_EQ(TestApp::Get().Settings().Last().format, 1);
    EXPECT_EQ(TestApp::Get().Settings().Options().autoClose, 1);
    EXPECT_EQ(TestApp::Get().Settings().Options().alwaysOnTop, 1);
}

TEST_F(MainDlgTest, CommandLineIntakeAddsFilesAndFoldersAndStartsOnlyWithoutFolders) {
    TestApp::Get().Settings().Options().defaultFilter = "*.txt";
    std::string f1 = temp.Write("f1.txt", "a\r\nb");
    std::string f2 = temp.Write("f2.txt", "a\r\nb");
    std::string folder = temp.MakeFolder("dir");
    temp.Write("dir\\in.txt", "a\r\nb");
    temp.MakeFolder("dir\\deeper");
    temp.Write("dir\\deeper\\deep.txt", "a\r\nb");
    struct Case {
        std::vector<std::string> paths;
        bool ctrl;
        int listed;
        bool runs;
    };
    const Case cases[] = {
        {{f1, folder, temp.Path() + "\\missing.txt"}, false, 2, false},
        {{f1, folder}, true, 3, false},  // Ctrl held while the dialog starts: subfolders too
        {{f1, f2}, false, 2, true},
    };
    for (const Case& c : cases) {
        SetKey(VK_CONTROL, c.ctrl);
        Open(2, &c.paths);
        SetKey(VK_CONTROL, false);
        EXPECT_EQ(List().GetItemCount(), c.listed);
        EXPECT_EQ(dlg->Run().IsRunning(), c.runs);
        if (c.runs) {
            // AutoStart from the command line closes the dialog after the run.
            EXPECT_TRUE(PumpUntil([&] { return !IsWindow(Wnd()); }));
            EXPECT_EQ(TempFolder::Read(f1), "a\nb");
            EXPECT_EQ(TempFolder::Read(f2), "a\nb");
        } else {
            EXPECT_EQ(TempFolder::Read(f1), "a\r\nb") << "nothing converted when a folder was given";
            dlg->DestroyWindow();
        }
    }
}

// Reads the states of the popup that TrackPopupMenu shows, then closes it.
struct MenuProbe {
    static MenuProbe* current;
    std::vector<std::pair<UINT, bool>> items;  // id, greyed
    bool seen = false;
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
        HWND menuWnd = FindWindowA("#32768", nullptr);
        if (!menuWnd || !current) return;
        auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
        if (!menu) return;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            UINT itemId = GetMenuItemID(menu, i);
            if (itemId == 0 || itemId == UINT(-1)) continue;
            current->items.push_back({itemId, (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0});
        }
        current->seen = true;
        KillTimer(nullptr, id);
        EndMenu();
    }
    bool Greyed(UINT id) const {
        for (auto& p : items)
            if (p.first == id) return p.second;
        return false;
    }
    bool Has(UINT id) const {
        for (auto& p : items)
            if (p.first == id) return true;
        return false;
    }
};
MenuProbe* MenuProbe::current = nullptr;

TEST_F(MainDlgTest, ContextMenusGreyWhatCannotRun) {
    Open();
    ShowWindow(Wnd(), SW_SHOW);
    std::string a = temp.Write("a.txt", "x");
    struct Case {
        bool listed, selected, onList;
        bool delGrey, clearGrey, openGrey;
    };
    const Case cases[] = {
        {false, false, true, true, true, true},
        {true, false, true, true, false, true},
        {true, true, true, false, false, false},
        {true, true, false, false, false, false},
    };
    for (const Case& c : cases) {
        dlg->Jobs().Clear();
        if (c.listed) dlg->Jobs().AddFile(a.c_str());
        if (!c.selected) List().SetItemState(-1, 0, LVIS_SELECTED);
        MenuProbe probe;
        MenuProbe::current = &probe;
        SetTimer(nullptr, 0, 100, &MenuProbe::OnTimer);
        HWND target = c.onList ? List().m_hwnd : GetDlgItem(Wnd(), IDC_STATUS);
        SendMessageA(Wnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), MAKELPARAM(-1, -1));
        MenuProbe::current = nullptr;
        ASSERT_TRUE(probe.seen);
        if (c.onList) {
            EXPECT_EQ(probe.Greyed(ID_EDIT_DELETE), c.delGrey);
            EXPECT_EQ(probe.Greyed(ID_EDIT_CLEAR), c.clearGrey);
            EXPECT_EQ(probe.Greyed(ID_EDIT_OPEN), c.openGrey);
            EXPECT_FALSE(probe.Greyed(ID_EDIT_ADD_FILES));
            EXPECT_FALSE(probe.Greyed(ID_EDIT_ADD_FOLDER));
        } else {
            EXPECT_TRUE(probe.Has(ID_MAIN_OPTIONS));
            EXPECT_TRUE(probe.Has(ID_HELP));
            EXPECT_TRUE(probe.Has(ID_MAIN_ABOUT));
            EXPECT_FALSE(probe.Has(ID_EDIT_DELETE));
        }
    }
}

// Options and About can be reached from a menu (or accelerator), the system
// menu and, for Options, the banner link (clicked, Enter on it, or its
// accessible default action). Each entry point is the same
// command: it passes the one rule, is greyed by the same passes, and reaches
// the same handler case, or nothing at all.
TEST_F(MainDlgTest, EveryEntryPointOfACommandFollowsItsRule) {
    Open();
    ShowWindow(Wnd(), SW_SHOW);
    HWND link = GetDlgItem(Wnd(), IDC_OPTIONS_LINK);
    HMENU system = GetSystemMenu(Wnd(), FALSE);
    ASSERT_TRUE(link && system);
    for (bool enabled : {true, false, true}) {
        SCOPED_TRACE(enabled ? "enabled" : "disabled");
        dlg->ruleOverrides = {{ID_MAIN_OPTIONS, enabled}, {ID_MAIN_ABOUT, enabled}};
        dlg->recordOnly = {ID_MAIN_OPTIONS, ID_MAIN_ABOUT};
        SendMessageA(Wnd(), kWmKickIdle, 0, 0);
        dlg->handled.clear();
        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(ID_MAIN_OPTIONS, 0), 0);
        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(IDC_OPTIONS_LINK, STN_CLICKED),
                     reinterpret_cast<LPARAM>(link));
        SetFocus(link);
        MSG enter{link, WM_KEYDOWN, VK_RETURN, 1, GetTickCount(), {0, 0}};
        if (!dlg->Translate(&enter)) DispatchMessageA(&enter);
        AccessibleProbe::OfWindow(link).DoDefaultAction();
        PumpFor(50);  // the default action is posted
        SendMessageA(Wnd(), WM_SYSCOMMAND, IDM_SYS_OPTIONS, 0);
        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(ID_MAIN_ABOUT, 0), 0);
        SendMessageA(Wnd(), WM_SYSCOMMAND, IDM_SYS_ABOUT, 0);
        const auto count = [&](UINT id) { return std::count(dlg->handled.begin(), dlg->handled.end(), id); };
        EXPECT_EQ(count(ID_MAIN_OPTIONS), enabled ? 5 : 0);
        EXPECT_EQ(count(ID_MAIN_ABOUT), enabled ? 2 : 0);
        EXPECT_EQ(count(IDC_OPTIONS_LINK), 0) << "the link's click arrives as the Options command";

        // The idle pass greys the link; the system menu is greyed as it opens.
        SendMessageA(Wnd(), kWmKickIdle, 0, 0);
        EXPECT_EQ(IsWindowEnabled(link) != FALSE, enabled);
        SendMessageA(Wnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system), MAKELPARAM(0, TRUE));
        EXPECT_EQ((GetMenuState(system, IDM_SYS_OPTIONS, MF_BYCOMMAND) & MF_GRAYED) == 0, enabled);
        EXPECT_EQ((GetMenuState(system, IDM_SYS_ABOUT, MF_BYCOMMAND) & MF_GRAYED) == 0, enabled);
        EXPECT_EQ(GetMenuState(system, IDM_SYS_HELP, MF_BYCOMMAND) & MF_GRAYED, 0u) << "Help can always run";

        // The context menu of the window takes its greying from the same rule.
        MenuProbe probe;
        MenuProbe::current = &probe;
        SetTimer(nullptr, 0, 100, &MenuProbe::OnTimer);
        SendMessageA(Wnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(Wnd(), IDC_STATUS)),
                     MAKELPARAM(-1, -1));
        MenuProbe::current = nullptr;
        ASSERT_TRUE(probe.seen);
        EXPECT_EQ(probe.Greyed(ID_MAIN_OPTIONS), !enabled);
        EXPECT_EQ(probe.Greyed(ID_MAIN_ABOUT), !enabled);
    }
}

// Add Files is one command from Insert, keypad +, the toolbar's first button
// and the menu; it runs during a run too. Shift with either key is Add Folder.
TEST_F(MainDlgTest, AddFilesArrivesFromItsKeysAndTheToolbar) {
    Open();
    ShowWindow(Wnd(), SW_SHOW);
    dlg->recordOnly = {ID_EDIT_ADD_FILES, ID_EDIT_ADD_FOLDER};
    Key(VK_INSERT, false);
    Key(VK_ADD, false);
    Key(VK_INSERT, false, true);
    Key(VK_ADD, false, true);
    HWND bar = GetDlgItem(Wnd(), ID_TOOLBAR_CTRL);
    TBBUTTON first{};
    ASSERT_TRUE(SendMessageA(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&first)));
    EXPECT_EQ(first.idCommand, ID_EDIT_ADD_FILES);
    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(first.idCommand, BN_CLICKED), reinterpret_cast<LPARAM>(bar));
    const std::vector<UINT> expected = {ID_EDIT_ADD_FILES, ID_EDIT_ADD_FILES, ID_EDIT_ADD_FOLDER,
                                        ID_EDIT_ADD_FOLDER, ID_EDIT_ADD_FILES};
    EXPECT_EQ(dlg->handled, expected);
    SendMessageA(Wnd(), kWmKickIdle, 0, 0);
    EXPECT_TRUE(ToolbarEnabled(ID_EDIT_ADD_FILES));
    EXPECT_TRUE(ToolbarEnabled(ID_EDIT_ADD_FOLDER));
}

TEST_F(MainDlgTest, SystemMenuIsEdited) {
    Open();
    HMENU menu = GetSystemMenu(Wnd(), FALSE);
    EXPECT_EQ(GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND), UINT(-1));
    EXPECT_EQ(GetMenuState(menu, SC_SIZE, MF_BYCOMMAND), UINT(-1));
    EXPECT_NE(GetMenuState(menu, IDM_SYS_OPTIONS, MF_BYCOMMAND), UINT(-1));
    EXPECT_NE(GetMenuState(menu, IDM_SYS_HELP, MF_BYCOMMAND), UINT(-1));
    EXPECT_NE(GetMenuState(menu, IDM_SYS_ABOUT, MF_BYCOMMAND), UINT(-1));
}

}  // namespace
