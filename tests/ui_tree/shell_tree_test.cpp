// The folder tree on the real shell namespace of the prefix: the desktop as
// its root, drives, folders only in the shell's order, paths both ways, and
// the shell's context menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui_tree/tree_host.h"
#include "ui/dialogs/folder_tree_ctrl.h"

namespace {

class TestFolderTree : public CFolderTreeCtrl {
public:
    bool realMenu = false;
    int menusShown = 0;
    std::vector<std::string> verbs;  // of the last menu, by position
    UINT propertiesId = 0;

    std::vector<HTREEITEM> Children(HTREEITEM item) const {
        std::vector<HTREEITEM> children;
        for (HTREEITEM c = GetChildItem(item); c; c = GetNextSiblingItem(c)) children.push_back(c);
        return children;
    }
    std::vector<std::string> ChildTexts(HTREEITEM item) const {
        std::vector<std::string> texts;
        for (HTREEITEM c : Children(item)) texts.push_back(GetItemText(c));
        return texts;
    }
    HTREEITEM ChildByText(HTREEITEM item, const std::string& text) const {
        for (HTREEITEM c : Children(item))
            if (GetItemText(c) == text) return c;
        return nullptr;
    }
    // The desktop child standing for a special folder such as the computer.
    HTREEITEM SpecialChild(int csidl) const {
        CItemIdList wanted;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, wanted.Out()))) return nullptr;
        return FindChild(GetRootItem(), wanted.Get());
    }

protected:
    void TrackMenu(HMENU menu, POINT at) override {
        ++menusShown;
        verbs.clear();
        propertiesId = 0;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            const UINT id = GetMenuItemID(menu, i);
            char verb[128] = "";
            if (id >= ContextMenu().FirstId() && id <= ContextMenu().LastId())
                ContextMenu().GetContextMenu()->GetCommandString(id - ContextMenu().FirstId(), GCS_VERBA,
                                                                 nullptr, verb, sizeof(verb));
            verbs.push_back(verb);
            if (std::strcmp(verb, "properties") == 0) propertiesId = id;
        }
        if (realMenu) CFolderTreeCtrl::TrackMenu(menu, at);
    }
};

class ShellTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, host->Tree());
        root = tree.FillRoot();
        ASSERT_NE(nullptr, root);
        tree.Expand(root);
    }
    std::string Folder(const std::string& relative) { return temp.Path() + "\\" + relative; }

    TempFolder temp;
    TestFolderTree tree;
    std::unique_ptr<TreeHost> host = std::make_unique<TreeHost>(tree);
    HTREEITEM root = nullptr;
};

std::string Lower(std::string text) {
    CharLowerA(&text[0]);
    return text;
}

TEST_F(ShellTreeTest, TheDesktopIsTheRootAndTheComputerListsTheDrives) {
    EXPECT_EQ(nullptr, tree.GetNextSiblingItem(root)) << "one root";
    char desktop[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(Lower(desktop), Lower(tree.GetTreeItemPath(root)));

    HTREEITEM computer = tree.SpecialChild(CSIDL_DRIVES);
    ASSERT_NE(nullptr, computer);
    EXPECT_EQ("", tree.GetTreeItemPath(computer));
    ASSERT_TRUE(tree.SelectItem(computer));
    EXPECT_EQ("", tree.GetSelectedPath()) << "the computer has no file-system path";

    tree.Expand(computer);
    std::vector<std::string> drives;
    for (HTREEITEM drive : tree.Children(computer)) drives.push_back(tree.GetTreeItemPath(drive));
    char logical[256] = "";
    GetLogicalDriveStringsA(sizeof(logical), logical);
    for (const char* d = logical; *d; d += std::strlen(d) + 1)
        EXPECT_NE(drives.end(), std::find(drives.begin(), drives.end(), std::string(d))) << d;
    HTREEITEM c = nullptr;
    for (HTREEITEM drive : tree.Children(computer))
        if (tree.GetTreeItemPath(drive) == "C:\\") c = drive;
    ASSERT_NE(nullptr, c);
    tree.SelectItem(c);
    EXPECT_EQ("C:\\", tree.GetSelectedPath());
}

TEST_F(ShellTreeTest, AFolderListsItsFoldersOnlyInTheShellsOrder) {
    for (const char* name : {"zeta", "Alpha", "empty", "beta", "Gamma", "secret", "Gamma\\inner"})
        temp.MakeFolder(name);
    SetFileAttributesA(Folder("secret").c_str(), FILE_ATTRIBUTE_HIDDEN);
    temp.Write("a.txt", "a");
    temp.Write("Beta.txt", "b");

    ASSERT_TRUE(tree.SelectPath(temp.Path().c_str()));
    HTREEITEM folder = tree.GetSelectedItem();
    EXPECT_EQ(Lower(temp.Path()), Lower(tree.GetSelectedPath()));
    EXPECT_NE(0u, tree.GetItemState(folder, TVIS_EXPANDED) & TVIS_EXPANDED)
        << "the selected folder is expanded";
    EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "empty", "Gamma", "zeta"}), tree.ChildTexts(folder))
        << "no files, no hidden folder, sorted by name";
    EXPECT_EQ(Lower(Folder("zeta")), Lower(tree.GetTreeItemPath(tree.ChildByText(folder, "zeta"))));

    HTREEITEM empty = tree.ChildByText(folder, "empty");
    tree.Expand(empty);
    EXPECT_EQ(0, tree.GetChildrenFlag(empty)) << "an empty folder on a fixed drive loses its button";
    HTREEITEM gamma = tree.ChildByText(folder, "Gamma");
    tree.Expand(gamma);
    EXPECT_EQ(std::vector<std::string>{"inner"}, tree.ChildTexts(gamma));
    EXPECT_EQ(1, tree.GetChildrenFlag(gamma));
}

TEST_F(ShellTreeTest, SelectPathTakesEitherSeparatorAndTrailingOnes) {
    temp.MakeFolder("work");
    const std::string wanted = Lower(Folder("work"));
    std::string forward = Lower(Folder("work"));
    for (char& ch : forward)
        if (ch == '\\') ch = '/';
    for (const std::string& path : {forward + "/", Folder("work"), Folder("work") + "\\\\", forward}) {
        SCOPED_TRACE(path);
        tree.SelectItem(root);
        EXPECT_TRUE(tree.SelectPath(path.c_str()));
        EXPECT_EQ(wanted, Lower(tree.GetSelectedPath()));
    }
    EXPECT_TRUE(tree.SelectPath("c:/"));
    EXPECT_EQ("C:\\", tree.GetSelectedPath());

    tree.SelectItem(root);
    EXPECT_FALSE(tree.SelectPath(Folder("work\\missing").c_str()));
    EXPECT_EQ(root, tree.GetSelectedItem()) << "a missing path selects nothing";
    EXPECT_FALSE(tree.SelectPath(""));
}

// A shown window of this process whose title names the folder "menu".
BOOL CALLBACK FindSheet(HWND wnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    char title[256] = "";
    GetWindowTextA(wnd, title, sizeof(title));
    if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && std::strstr(title, "menu")) {
        *reinterpret_cast<HWND*>(param) = wnd;
        return FALSE;
    }
    return TRUE;
}

TEST_F(ShellTreeTest, TheContextMenuIsTheSelectedItemsAndItsPropertiesReachTheShell) {
    temp.MakeFolder("menu");
    temp.MakeFolder("other");
    ASSERT_TRUE(tree.SelectPath(Folder("menu").c_str()));

    // A right-click anywhere shows the selected item's menu, once.
    NMHDR click{tree.m_hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(tree.m_hwnd)), static_cast<UINT>(NM_RCLICK)};
    EXPECT_EQ(1, SendMessageA(host->m_hwnd, WM_NOTIFY, click.idFrom, (LPARAM)&click));
    EXPECT_EQ(1, tree.menusShown);
    SendMessageA(tree.m_hwnd, WM_CONTEXTMENU, (WPARAM)tree.m_hwnd, MAKELPARAM(-1, -1));
    EXPECT_EQ(2, tree.menusShown);
    EXPECT_FALSE(tree.verbs.empty());
    ASSERT_NE(0u, tree.propertiesId) << "the shell's menu has its properties command";
    EXPECT_EQ(nullptr, tree.ContextMenu().Attached()) << "attached only while tracking";

    // The shell shows its property sheet for the folder; close it from
    // outside, as a user would.
    std::atomic<bool> done{false}, found{false};
    std::string sheetTitle;  // read once the closer has ended
    std::thread closer([&] {
        for (int i = 0; i < 300 && !done; ++i) {
            Sleep(50);
            HWND sheet = nullptr;
            EnumWindows(&FindSheet, (LPARAM)&sheet);
            if (sheet) {
                char title[256] = "";
                GetWindowTextA(sheet, title, sizeof(title));
                sheetTitle = title;
                found = true;
                PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
                PostMessageA(sheet, WM_CLOSE, 0, 0);
                return;
            }
        }
    });
    SendMessageA(tree.m_hwnd, WM_COMMAND, tree.propertiesId, 0);
    PumpUntil([&] { return found.load(); }, 15000);
    done = true;
    closer.join();
    PumpFor(200);
    EXPECT_NE(std::string::npos, sheetTitle.find("menu")) << "the property sheet of the selected folder";

    // Nothing selected or an item without shell data: no menu.
    tree.SelectItem(nullptr);
    POINT at{0, 0};
    EXPECT_FALSE(tree.ShowContextMenu(at));
}

std::atomic<bool> g_menuSeen{false};
void CALLBACK EndTrackedMenu(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND menu = FindWindowA("#32768", nullptr))
        if (IsWindowVisible(menu)) g_menuSeen = true;
    EndMenu();
}

TEST_F(ShellTreeTest, TheRealMenuIsTrackedAtThePointer) {
    ASSERT_TRUE(tree.SelectPath(temp.Path().c_str()));
    tree.realMenu = true;
    g_menuSeen = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 150, &EndTrackedMenu);
    SendMessageA(tree.m_hwnd, WM_CONTEXTMENU, (WPARAM)tree.m_hwnd, MAKELPARAM(-1, -1));
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_menuSeen);
    EXPECT_EQ(1, tree.menusShown);
}

TEST_F(ShellTreeTest, EveryItemsDataIsFreedWithTheTree) {
    temp.MakeFolder("x");
    temp.MakeFolder("x\\y");
    ASSERT_TRUE(tree.SelectPath(Folder("x\\y").c_str()));
    EXPECT_GT(CShellTreeCtrl::LiveItemCount(), 5);
    host.reset();
    EXPECT_EQ(0, CShellTreeCtrl::LiveItemCount());
}

// An IContextMenu2 that records what reaches it, as a shell extension with
// owner-drawn items would see it.
class FakeMenu : public IContextMenu2 {
public:
    explicit FakeMenu(bool withMenu2) : m_withMenu2(withMenu2) {}
    std::vector<UINT> handled;
    std::vector<UINT_PTR> invoked;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IContextMenu || (m_withMenu2 && iid == IID_IContextMenu2)) {
            *out = static_cast<IContextMenu2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
        InsertMenuA(menu, index, MF_BYPOSITION, first, "One");
        InsertMenuA(menu, index + 1, MF_BYPOSITION, first + 1, "Two");
        SetMenuDefaultItem(menu, first + 1, FALSE);
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2);
    }
    HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override {
        invoked.push_back(reinterpret_cast<UINT_PTR>(info->lpVerb));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE HandleMenuMsg(UINT msg, WPARAM, LPARAM) override {
        handled.push_back(msg);
        return S_OK;
    }
    ULONG Refs() const { return m_refs; }

private:
    bool m_withMenu2;
    ULONG m_refs = 1;
};

TEST(ShellContextMenu, OwnerDrawnMenusAndCommandsReachTheHandler) {
    FakeMenu fake(true);
    {
        CShellContextMenu menu;
        menu.SetContextMenu(&fake);
        HMENU popup = CreatePopupMenu();
        ASSERT_TRUE(menu.QueryMenu(popup, 0, 0xE00, 0xFFF, CMF_EXPLORE | CMF_NODEFAULT));
        EXPECT_EQ(0xE01u, menu.LastId());
        EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(popup, FALSE, 0)) << "no default wanted";
        DestroyMenu(popup);

        // Through the window it is attached to while a menu is tracked.
        HWND wnd =
            CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        const LONG_PTR original = GetWindowLongPtrA(wnd, GWLP_WNDPROC);
        menu.Attach(wnd);
        EXPECT_EQ(0, SendMessageA(wnd, WM_INITMENUPOPUP, 0, 0));
        DRAWITEMSTRUCT draw{};
        draw.CtlType = ODT_MENU;
        EXPECT_EQ(1, SendMessageA(wnd, WM_DRAWITEM, 0, (LPARAM)&draw));
        MEASUREITEMSTRUCT measure{};
        measure.CtlType = ODT_MENU;
        EXPECT_EQ(1, SendMessageA(wnd, WM_MEASUREITEM, 0, (LPARAM)&measure));
        draw.CtlType = ODT_BUTTON;
        SendMessageA(wnd, WM_DRAWITEM, 0, (LPARAM)&draw);
        SendMessageA(wnd, WM_MENUSELECT, 0, 0);
        EXPECT_EQ((std::vector<UINT>{WM_INITMENUPOPUP, WM_DRAWITEM, WM_MEASUREITEM}), fake.handled);
        menu.Detach();
        EXPECT_EQ(original, GetWindowLongPtrA(wnd, GWLP_WNDPROC));
        EXPECT_EQ(nullptr, GetPropA(wnd, "ShellContextMenu"));
        DestroyWindow(wnd);

        EXPECT_TRUE(menu.InvokeMenuCommand(0xE01));
        EXPECT_FALSE(menu.InvokeMenuCommand(0xE02)) << "past the handler's commands";
        EXPECT_FALSE(menu.InvokeMenuCommand(0xDFF));
        EXPECT_EQ(std::vector<UINT_PTR>{1}, fake.invoked);
    }
    EXPECT_EQ(1u, fake.Refs()) << "every reference taken was given back";

    // A handler without IContextMenu2 draws nothing itself.
    FakeMenu plain(false);
    CShellContextMenu menu;
    menu.SetContextMenu(&plain);
    LRESULT result = 0;
    EXPECT_FALSE(menu.HandleMenuMessage(WM_INITMENUPOPUP, 0, 0, result));
    EXPECT_TRUE(plain.handled.empty());
}

}  // namespace
