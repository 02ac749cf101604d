// The folder selection dialog: its layout and menu, the file types, the
// preselection step by step (and closing during it), and the Add Folder
// command end to end.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/file_types.h"
#include "res/resource.h"
#include "tests/ui_tree/tree_host.h"
#include "ui/dialogs/select_folder_dlg.h"

namespace {

// Drives a modal folder dialog from inside its own loop: step runs on a
// timer until it says it is done.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(CSelectFolderDlg&)> step) {
        s_step = std::move(step);
        m_timer = SetTimer(nullptr, 0, 40, &ModalDriver::OnTimer);
    }
    ~ModalDriver() {
        KillTimer(nullptr, m_timer);
        s_step = nullptr;
    }

private:
    static BOOL CALLBACK Visit(HWND wnd, LPARAM param) {
        auto* dialog = dynamic_cast<CSelectFolderDlg*>(CWnd::FromHandle(wnd));
        if (dialog && IsWindowVisible(wnd)) {
            *reinterpret_cast<CSelectFolderDlg**>(param) = dialog;
            return FALSE;
        }
        return TRUE;
    }
    static CSelectFolderDlg* Find() {
        CSelectFolderDlg* found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &ModalDriver::Visit, (LPARAM)&found);
        return found;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        CSelectFolderDlg* dialog = Find();
        if (dialog && s_step && s_step(*dialog)) s_step = nullptr;
    }
    static std::function<bool(CSelectFolderDlg&)> s_step;
    UINT_PTR m_timer;
};
std::function<bool(CSelectFolderDlg&)> ModalDriver::s_step;

RECT ChildRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Lower(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

HTREEITEM ComputerNode(CFolderTreeCtrl& tree) {
    CItemIdList drives;
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(&desktop);
    SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, drives.Out());
    for (HTREEITEM c = tree.GetChildItem(tree.GetRootItem()); c; c = tree.GetNextSiblingItem(c)) {
        ShellItemData* data = tree.ItemDataOf(c);
        if (data && HRESULT_CODE(desktop->CompareIDs(0, data->idList.Get(), drives.Get())) == 0) return c;
    }
    return nullptr;
}

std::string EditText(CSelectFolderDlg& dialog) {
    char text[512] = "";
    GetWindowTextA(dialog.FileTypes().GetEditCtrl(), text, sizeof(text));
    return text;
}

// The dialog with a look at each preselection step as it arrives, and a
// close request posted by the user at the first one.
class WatchedSelectFolderDlg : public CSelectFolderDlg {
public:
    int steps = 0;
    bool hiddenAtAStep = false;
    bool closeAtFirstStep = false;

protected:
    bool SelectStep(bool first) override {
        ++steps;
        if (!::IsWindowVisible(m_hwnd)) hiddenAtAStep = true;
        if (closeAtFirstStep && steps == 1) PostMessage(WM_COMMAND, IDCANCEL, 0);
        return CSelectFolderDlg::SelectStep(first);
    }
};

class SelectFolderTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp::Get(); }
    // A modeless dialog, shown, as the modal loop would show it.
    std::unique_ptr<CSelectFolderDlg> Open(const std::string& initial = std::string()) {
        auto dialog = std::make_unique<CSelectFolderDlg>();
        dialog->m_filters = GetFileTypeFilters();
        dialog->m_initialFolder = initial;
        EXPECT_TRUE(dialog->Create());
        ShowWindow(dialog->m_hwnd, SW_SHOW);
        return dialog;
    }
    TempFolder temp;
};

TEST_F(SelectFolderTest, LayoutKeepsItsMarginsFromTheMinimumUp) {
    auto dialog = Open();
    HWND wnd = dialog->m_hwnd;
    HWND grip = GetDlgItem(wnd, IDC_SIZE_GRIP);
    ASSERT_NE(nullptr, grip);
    EXPECT_TRUE(GetWindowLongPtrA(grip, GWL_STYLE) & SBS_SIZEGRIP);
    EXPECT_TRUE(GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

    RECT previousTree{};
    for (SIZE size : {SIZE{100, 100}, SIZE{640, 520}}) {
        SetWindowPos(wnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT window, client;
        GetWindowRect(wnd, &window);
        GetClientRect(wnd, &client);
        EXPECT_EQ(std::max<LONG>(size.cx, 320), window.right - window.left);
        EXPECT_EQ(std::max<LONG>(size.cy, 280), window.bottom - window.top);

        const RECT ok = ChildRect(wnd, IDOK), cancel = ChildRect(wnd, IDCANCEL);
        const RECT combo = ChildRect(wnd, IDC_FILE_TYPES), tree = ChildRect(wnd, IDC_FOLDER_TREE);
        const RECT prompt = ChildRect(wnd, IDC_FOLDER_PROMPT), check = ChildRect(wnd, IDC_INCLUDE_SUBFOLDERS);
        const RECT label = ChildRect(wnd, IDC_FILE_TYPES_LABEL), gripRect = ChildRect(wnd, IDC_SIZE_GRIP);
        EXPECT_EQ(client.right - 9, cancel.right);
        EXPECT_EQ(client.bottom - 12, cancel.bottom);
        EXPECT_EQ(cancel.left - 4, ok.right);
        EXPECT_EQ(cancel.top, ok.top);
        EXPECT_EQ(cancel.right - cancel.left, ok.right - ok.left);
        EXPECT_EQ(ok.top - 6, combo.bottom) << "the combo row ends 6 above the buttons";
        EXPECT_EQ(combo.top - 6, tree.bottom) << "the tree ends 6 above the combo row";
        EXPECT_EQ(client.right - 9, combo.right);
        EXPECT_EQ(client.right - 9, tree.right);
        EXPECT_EQ(client.right - 9, prompt.right);
        EXPECT_EQ(combo.top + (combo.bottom - combo.top - (label.bottom - label.top)) / 2, label.top);
        EXPECT_EQ(ok.top + (ok.bottom - ok.top - (check.bottom - check.top)) / 2, check.top);
        EXPECT_EQ(client.right, gripRect.right);
        EXPECT_EQ(client.bottom, gripRect.bottom);
        EXPECT_GE(tree.right - tree.left, previousTree.right - previousTree.left);
        EXPECT_GE(tree.bottom - tree.top, previousTree.bottom - previousTree.top);
        previousTree = tree;
    }
}

TEST_F(SelectFolderTest, TheSystemMenuOffersMoveSizeAndCloseOnly) {
    auto dialog = Open();
    HMENU menu = GetSystemMenu(dialog->m_hwnd, FALSE);
    ASSERT_NE(nullptr, menu);
    for (UINT kept : {SC_MOVE, SC_SIZE, SC_CLOSE})
        EXPECT_NE(static_cast<UINT>(-1), GetMenuState(menu, kept, MF_BYCOMMAND)) << kept;
    for (UINT cut : {SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE})
        EXPECT_EQ(static_cast<UINT>(-1), GetMenuState(menu, cut, MF_BYCOMMAND)) << cut;
}

TEST_F(SelectFolderTest, FileTypesFromTheTableOrAsTyped) {
    const std::string table = GetFileTypeFilters();
    int textRow = -1;
    for (int row = 0; row < FileTypeRowCount(table); ++row)
        if (FileTypeDescription(table, row) == "Text Files (*.txt;*.diz)") textRow = row;
    ASSERT_GE(textRow, 0);

    struct Case {
        const char* name;
        int row;             // chosen in the list, -1 none
        const char* typed;   // typed afterwards, null for nothing
        const char* result;  // what OK returns
    } cases[] = {
        {"a row's pattern list", textRow, nullptr, "*.txt;*.diz"},
        {"typed after choosing", textRow, "*.log;notes*", "*.log;notes*"},
        {"cleared", -1, "", "*.*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dialog = Open();
        CAutoWidthComboBoxEx& combo = dialog->FileTypes();
        EXPECT_EQ(FileTypeRowCount(table), combo.GetCount());
        EXPECT_EQ("*.*", EditText(*dialog)) << "the edit field starts with the pattern list given";
        if (c.row >= 0) {
            // As a user's choice arrives: the inner list tells the extended
            // combo box, which tells the dialog.
            HWND inner = combo.GetComboBoxCtrl();
            SendMessageA(inner, CB_SETCURSEL, c.row, 0);
            SendMessageA(combo.m_hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(inner), CBN_SELCHANGE),
                         (LPARAM)inner);
            PumpFor(50);
            EXPECT_EQ("*.txt;*.diz", EditText(*dialog));
        }
        if (c.typed) SetWindowTextA(combo.GetEditCtrl(), c.typed);
        SendMessageA(dialog->m_hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog->m_hwnd, IDOK));
        EXPECT_EQ(IDOK, dialog->GetResult());
        EXPECT_EQ(c.result, dialog->GetFileTypes());
    }
}

TEST_F(SelectFolderTest, AnExistingFolderIsPreselectedStepByStepWhileTheDialogIsShown) {
    temp.MakeFolder("src");
    const std::string folder = temp.MakeFolder("src\\app");
    std::string shouting = folder;
    CharUpperA(&shouting[0]);

    std::string selected;
    bool expanded = false;
    WatchedSelectFolderDlg dialog;
    dialog.m_initialFolder = shouting;
    {
        ModalDriver driver([&](CSelectFolderDlg& d) {
            if (d.IsPreselecting()) return false;
            selected = d.Tree().GetSelectedPath();
            expanded = d.Tree().GetItemState(d.Tree().GetSelectedItem(), TVIS_EXPANDED) & TVIS_EXPANDED;
            d.EndDialog(IDCANCEL);
            return true;
        });
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
    }
    EXPECT_GE(dialog.steps, 5) << "begin, then the computer, C:, ... one level per step";
    EXPECT_FALSE(dialog.hiddenAtAStep) << "the dialog is shown before the tree expands";
    EXPECT_EQ(Lower(folder), Lower(selected));
    EXPECT_TRUE(expanded);
    EXPECT_NE(shouting, dialog.m_initialFolder) << "a path in capitals is made lower case";
    EXPECT_EQ(Lower(folder), Lower(dialog.m_initialFolder));
}

TEST_F(SelectFolderTest, ThePreselectionNeedsNoThread) {
    const std::string folder = temp.MakeFolder("here");
    // No thread at all: the indicator of the desktop's load goes on without
    // one, and the preselection's steps are tasks of the dialog's thread.
    CThread::FailNextCreates(2);
    auto dialog = Open(folder);
    ASSERT_TRUE(PumpUntil([&] { return !dialog->IsPreselecting(); }));
    CThread::FailNextCreates(0);
    EXPECT_EQ(Lower(folder), Lower(dialog->Tree().GetSelectedPath()));
}

TEST_F(SelectFolderTest, AMissingFolderSelectsNothing) {
    auto dialog = Open(temp.Path() + "\\gone");
    EXPECT_FALSE(dialog->IsPreselecting());
    PumpFor(300);
    HTREEITEM computer = ComputerNode(dialog->Tree());
    ASSERT_NE(nullptr, computer);
    EXPECT_EQ(0u, dialog->Tree().GetItemState(computer, TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ("", dialog->Tree().GetSelectedPath());
}

TEST_F(SelectFolderTest, OkOnTheComputerReturnsNoFolder) {
    CSelectFolderDlg dialog;
    dialog.m_folder = "stale";
    ModalDriver driver([&](CSelectFolderDlg& d) {
        d.Tree().SelectItem(ComputerNode(d.Tree()));
        PostMessageA(d.m_hwnd, WM_COMMAND, IDOK, 0);
        return true;
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("", dialog.GetFolder());
}

TEST_F(SelectFolderTest, ClosingDuringThePreselectionIsSafe) {
    std::string deep = temp.Path();
    for (const char* part : {"a", "b", "c", "d", "e"}) {
        deep += std::string("\\") + part;
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    // Closed by the user at once, while the next step waits.
    for (int i = 0; i < 3; ++i) {
        WatchedSelectFolderDlg dialog;
        dialog.m_initialFolder = deep;
        dialog.closeAtFirstStep = true;
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        // The whole path takes a dozen steps; the queued close comes after
        // the steps already sent, and none after it.
        EXPECT_LT(dialog.steps, 8);
        EXPECT_FALSE(dialog.IsPreselecting()) << "the steps have ended with the window";
    }
    // The dialog object goes while its next step waits.
    for (int i = 0; i < 3; ++i) {
        auto dialog = Open(deep);
        EXPECT_TRUE(dialog->IsPreselecting());
        PumpFor(i * 100);
        dialog.reset();
    }
    PumpFor(200);
    auto after = Open(deep);
    ASSERT_TRUE(PumpUntil([&] { return !after->IsPreselecting(); }));
    EXPECT_EQ(Lower(deep), Lower(after->Tree().GetSelectedPath()));
}

class AddFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        dlg = std::make_unique<TestMainDlg>(-1, nullptr);
        ASSERT_TRUE(dlg->Create());
        ShowWindow(dlg->m_hwnd, SW_SHOW);
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) dlg->DestroyWindow();
    }
    std::vector<std::string> Listed() {
        std::vector<std::string> paths;
        for (int i = 0; i < dlg->Jobs().Control().GetItemCount(); ++i)
            paths.push_back(Lower(dlg->Jobs().Model().Path(i)));
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    CAppSettings& Settings() { return TestApp::Get().Settings(); }
    TempFolder temp;
    std::unique_ptr<TestMainDlg> dlg;
};

// A folder whose name no legacy code page holds is preselected from the last
// folder, returned whole, expanded with its subfolders and remembered.
TEST_F(AddFolderTest, AFolderNamedInNoLegacyCodePageComesBackWhole) {
    const std::string folder = temp.MakeFolder("\xCE\xA9mega");
    const std::string a = temp.Write(
        "\xCE\xA9mega\\\xC3\xBCn\xC3\xAF"
        "code.txt",
        "a");
    temp.MakeFolder("\xCE\xA9mega\\\xE6\x97\xA5\xE6\x9C\xAC");
    const std::string b =
        temp.Write("\xCE\xA9mega\\\xE6\x97\xA5\xE6\x9C\xAC\\smile\xF0\x9F\x98\x80.txt", "b");
    Settings().Last().folder = folder;
    Settings().Options().defaultFilter = "*.txt";
    std::string selected;
    ModalDriver driver([&](CSelectFolderDlg& d) {
        if (d.IsPreselecting()) return false;
        selected = d.Tree().GetSelectedPath();
        SendDlgItemMessageA(d.m_hwnd, IDC_INCLUDE_SUBFOLDERS, BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(d.m_hwnd, WM_COMMAND, IDOK, 0);
        return true;
    });
    SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FOLDER, 0), 0);
    EXPECT_EQ(Lower(folder), Lower(selected));
    std::vector<std::string> expected = {Lower(a), Lower(b)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Listed());
    EXPECT_EQ(Lower(folder), Lower(Settings().Last().folder));
}

TEST_F(AddFolderTest, TheChosenFolderIsExpandedIntoTheListAndRemembered) {
    const std::string folder = temp.MakeFolder("project");
    const std::string a = temp.Write("project\\a.txt", "a");
    temp.Write("project\\b.doc", "b");
    temp.MakeFolder("project\\sub");
    const std::string c = temp.Write("project\\sub\\c.txt", "c");
    const std::string other = temp.MakeFolder("other");

    struct Case {
        bool subfolders;
        std::vector<std::string> listed;
    } cases[] = {{false, {Lower(a)}}, {true, {Lower(a), Lower(c)}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.subfolders);
        dlg->Jobs().Clear();
        Settings().Last().folder = other;
        Settings().Options().defaultFilter = "*.txt";
        std::string title, prompt, types;
        int checked = -1, row = -2;
        ModalDriver driver([&](CSelectFolderDlg& d) {
            if (title.empty()) {
                char text[256];
                GetWindowTextA(d.m_hwnd, text, sizeof(text));
                title = text;
                GetDlgItemTextA(d.m_hwnd, IDC_FOLDER_PROMPT, text, sizeof(text));
                prompt = text;
                types = EditText(d);
                checked = static_cast<int>(
                    SendDlgItemMessageA(d.m_hwnd, IDC_INCLUDE_SUBFOLDERS, BM_GETCHECK, 0, 0));
                row = d.FileTypes().GetCurSel();
            }
            if (d.IsPreselecting()) return false;
            d.Tree().SelectPath(folder.c_str());
            SendDlgItemMessageA(d.m_hwnd, IDC_INCLUDE_SUBFOLDERS, BM_SETCHECK, k.subfolders, 0);
            PostMessageA(d.m_hwnd, WM_COMMAND, IDOK, 0);
            return true;
        });
        SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FOLDER, 0), 0);
        EXPECT_EQ("Add a Folder", title);
        EXPECT_EQ("Select a folder to convert", prompt);
        EXPECT_EQ("*.txt", types) << "the default filter";
        EXPECT_EQ(BST_UNCHECKED, checked);
        EXPECT_EQ(-1, row);
        EXPECT_EQ(k.listed, Listed());
        EXPECT_EQ(Lower(folder), Lower(Settings().Last().folder));
    }

    // Cancel changes nothing; OK on the computer adds nothing and keeps the
    // last folder.
    for (bool ok : {false, true}) {
        dlg->Jobs().Clear();
        Settings().Last().folder = folder;
        ModalDriver driver([&](CSelectFolderDlg& d) {
            if (d.IsPreselecting()) return false;
            d.Tree().SelectItem(ComputerNode(d.Tree()));
            PostMessageA(d.m_hwnd, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
            return true;
        });
        SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FOLDER, 0), 0);
        EXPECT_TRUE(Listed().empty());
        EXPECT_EQ(folder, Settings().Last().folder);
    }
}

}  // namespace
