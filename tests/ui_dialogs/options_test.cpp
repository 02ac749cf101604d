// The Options dialog on real windows: what it shows, what OK and Cancel
// store, Browse through the real file dialog, and the integration switch
// against the prefix's registry and its registration tool.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/shell_integration.h"
#include "core/platform/win32_handles.h"
#include "tests/ui_dialogs/file_dialog_driver.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/options_dlg.h"

namespace {

const char* const kHandlerKeys[] = {"*\\ShellEx\\ContextMenuHandlers\\Pardwell",
                                    "Folder\\ShellEx\\ContextMenuHandlers\\Pardwell"};

bool HandlerKey(int which) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kHandlerKeys[which], 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    CKeyHandle owned(key);
    return true;
}

// A key may be in the user's classes, the machine's, or both (earlier tests
// and the registration tool write either): the merged view shows whichever is
// there, so both go before the wanted one is made.
void SetHandlerKeys(bool star, bool folder) {
    const bool wanted[] = {star, folder};
    for (int i = 0; i < 2; ++i) {
        SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + kHandlerKeys[i]).c_str());
        SHDeleteKeyA(HKEY_CLASSES_ROOT, kHandlerKeys[i]);
        HKEY key = nullptr;
        if (wanted[i] && RegCreateKeyExA(HKEY_CLASSES_ROOT, kHandlerKeys[i], 0, nullptr, 0, KEY_WRITE,
                                         nullptr, &key, nullptr) == ERROR_SUCCESS)
            CKeyHandle owned(key);
    }
}

// The five conversion flags in the dialog's order, each "1" or "0".
std::string Flags(const ConvertOptions& o) {
    std::string flags;
    for (bool flag : {o.keepTimestamp, o.keepAttributes, o.allowReadOnly, o.backup, o.skipBinary})
        flags += flag ? '1' : '0';
    return flags;
}

std::string WindowsPath(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
        store.WriteString("", "InstallDir", install.Path().c_str());
        ASSERT_TRUE(CopyFileA(WindowsPath(GORSEMERE_DLL).c_str(),
                              (install.Path() + "\\Gorsemere.dll").c_str(), FALSE));
        SetHandlerKeys(false, false);
        store.m_log.clear();
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) dlg->DestroyWindow();
    }
    void Open() {
        dlg = std::make_unique<COptionsDlg>(Settings(), store);
        ASSERT_TRUE(dlg->Create());
        ShowWindow(dlg->m_hwnd, SW_SHOW);
    }
    CAppSettings& Settings() { return TestApp::Get().Settings(); }
    HWND Item(int id) { return GetDlgItem(dlg->m_hwnd, id); }
    bool Checked(int id) { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    HWND FilterEdit() {
        return reinterpret_cast<HWND>(SendMessageA(Item(IDC_DEFAULT_FILTER), CBEM_GETEDITCONTROL, 0, 0));
    }
    std::string FilterText() {
        char text[512] = "";
        GetWindowTextA(FilterEdit(), text, sizeof(text));
        return text;
    }
    int FilterRow() { return static_cast<int>(SendMessageA(Item(IDC_DEFAULT_FILTER), CB_GETCURSEL, 0, 0)); }
    std::string Row(int index) {
        CAutoWidthComboBoxEx box;
        box.Attach(Item(IDC_DEFAULT_FILTER));
        return box.GetItemText(index);
    }
    void Press(int id) {
        SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    }
    // How often the switch was asked to enable: each Enable reads the
    // install folder once.
    int EnableCalls() {
        return static_cast<int>(std::count(store.m_log.begin(), store.m_log.end(), "get:\\InstallDir"));
    }
    int WaitForKeys(int wanted) {
        int state = CShellIntegration(store).IsEnabled();
        for (DWORD start = GetTickCount(); state != wanted && GetTickCount() - start < 30000; Sleep(200))
            state = CShellIntegration(store).IsEnabled();
        return state;
    }

    TempFolder install;
    CMemoryProfileStore store;
    std::unique_ptr<COptionsDlg> dlg;
};

TEST_F(OptionsTest, OpensWithTheSettingsAndTheFileTypesWithNoRowSelected) {
    struct Case {
        int keepTimestamp, keepAttributes, ignoreReadOnly, backupFile, skipBinary;
        const char* filter;
        const char* program;
    } cases[] = {
        {1, 1, 1, 0, 1, "*.txt", ""},
        {0, 0, 0, 1, 0, "*.c;*.h", "C:\\Tools\\edit.exe"},
        {1, 0, 1, 0, 1, "", "notes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        ChangeConversionFlags([&](ConvertOptions& o) {
            o.keepTimestamp = c.keepTimestamp;
            o.keepAttributes = c.keepAttributes;
            o.allowReadOnly = c.ignoreReadOnly;
            o.backup = c.backupFile;
            o.skipBinary = c.skipBinary;
        });
        Settings().Options().defaultFilter = c.filter;
        Settings().Options().program = c.program;
        Open();
        EXPECT_EQ(c.keepTimestamp != 0, Checked(IDC_KEEP_TIMESTAMP));
        EXPECT_EQ(c.keepAttributes != 0, Checked(IDC_KEEP_ATTRIBUTES));
        EXPECT_EQ(c.ignoreReadOnly != 0, Checked(IDC_IGNORE_READ_ONLY));
        EXPECT_EQ(c.backupFile != 0, Checked(IDC_BACKUP_FILE));
        EXPECT_EQ(c.skipBinary != 0, Checked(IDC_SKIP_BINARY));
        EXPECT_EQ(c.filter, FilterText());
        EXPECT_EQ(-1, FilterRow());
        EXPECT_EQ(c.program, ItemText(dlg->m_hwnd, IDC_PROGRAM));
        EXPECT_EQ(29, SendMessageA(Item(IDC_DEFAULT_FILTER), CB_GETCOUNT, 0, 0));
        EXPECT_EQ("All Files (*.*)", Row(0));
        EXPECT_EQ("XML Files (*.xml)", Row(28));
        dlg->DestroyWindow();
    }
}

TEST_F(OptionsTest, ChoosingAFileTypeWritesItsPatternListIntoTheField) {
    Settings().Options().defaultFilter = "*.txt";
    Open();
    // A row's description starts with its name; its pattern list.
    const std::pair<const char*, const char*> cases[] = {
        {"C/C++ Files", "*.c;*.cc;*.cpp;*.cxx;*.h;*.hpp;*.hxx;*.hm;*.inl;*.rh;*.tlh;*.tli;*.xs"},
        {"All Files (*.*)", "*.*"},
        {"XML Files (*.xml)", "*.xml"},
    };
    HWND combo = Item(IDC_DEFAULT_FILTER);
    for (bool byKey : {true, false})
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.first << (byKey ? " by key" : " by notification"));
            int row = 0;
            while (row < 29 && Row(row).rfind(c.first, 0) != 0) ++row;
            ASSERT_LT(row, 29);
            if (byKey) {
                // Down (Up for the first row) in the field moves to the row;
                // the box writes into its own field too.
                SendMessageA(combo, CB_SETCURSEL, row > 0 ? row - 1 : 1, 0);
                SetFocus(FilterEdit());
                SendMessageA(FilterEdit(), WM_KEYDOWN, row > 0 ? VK_DOWN : VK_UP, 0);
            } else {
                // A pick from the list, as the box reports it to its parent.
                SendMessageA(combo, CB_SETCURSEL, row, 0);
                SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_DEFAULT_FILTER, CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(combo));
            }
            PumpFor(200);
            EXPECT_EQ(row, FilterRow());
            EXPECT_EQ(c.second, FilterText());
        }
    // Typing afterwards changes the field only, and the field is the value.
    SetWindowTextA(FilterEdit(), "*.xml;*.mine");
    EXPECT_EQ("*.xml;*.mine", FilterText());
    Press(IDOK);
    EXPECT_EQ("*.xml;*.mine", Settings().Options().defaultFilter);
}

TEST_F(OptionsTest, CancelStoresNothingAndLeavesTheIntegrationAlone) {
    Settings().Options().defaultFilter = "*.txt";
    Settings().Options().program = "C:\\a.exe";
    Open();
    for (int id : {IDC_KEEP_TIMESTAMP, IDC_KEEP_ATTRIBUTES, IDC_IGNORE_READ_ONLY, IDC_BACKUP_FILE,
                   IDC_SKIP_BINARY, IDC_SKIP_IGNORED, IDC_INTEGRATION})
        Click(id);
    SetWindowTextA(FilterEdit(), "*.log");
    SetDlgItemTextA(dlg->m_hwnd, IDC_PROGRAM, "C:\\b.exe");
    Press(IDCANCEL);
    EXPECT_FALSE(IsWindow(dlg->m_hwnd));
    EXPECT_EQ(Flags(ConvertOptions()), Flags(Settings().ConversionOptions()));
    EXPECT_EQ("*.txt", Settings().Options().defaultFilter);
    EXPECT_EQ("C:\\a.exe", Settings().Options().program);
    EXPECT_TRUE(Settings().Options().skipIgnored);
    EXPECT_EQ(0, EnableCalls());
    Sleep(1500);
    EXPECT_EQ(0, CShellIntegration(store).IsEnabled());
}

TEST_F(OptionsTest, OkStoresTheFlagsTheFilterAndTheProgramAsShown) {
    struct Case {
        bool clickAll;
        const char* filter;
        const char* program;
    } cases[] = {
        {true, "*.c;*.h", "C:\\Tools\\my editor.exe"},
        {false, "", ""},  // empty texts are allowed and kept
        {true, "  odd ;; text ", "not a path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        ResetSettings();
        Open();
        if (c.clickAll)
            for (int id : {IDC_KEEP_TIMESTAMP, IDC_KEEP_ATTRIBUTES, IDC_IGNORE_READ_ONLY, IDC_BACKUP_FILE,
                           IDC_SKIP_BINARY, IDC_SKIP_IGNORED})
                Click(id);
        SetWindowTextA(FilterEdit(), c.filter);
        SetDlgItemTextA(dlg->m_hwnd, IDC_PROGRAM, c.program);
        Press(IDOK);
        EXPECT_FALSE(IsWindow(dlg->m_hwnd));
        EXPECT_EQ(c.clickAll ? "00010" : "11101", Flags(Settings().ConversionOptions()));
        EXPECT_EQ(!c.clickAll, Settings().Options().skipIgnored);
        EXPECT_EQ(c.filter, Settings().Options().defaultFilter);
        EXPECT_EQ(c.program, Settings().Options().program);
        EXPECT_EQ(0, EnableCalls());
    }
}

// A flag stored as any nonzero value is set for the run; the dialog shows it
// so and keeps it set when OK is pressed without touching it.
TEST_F(OptionsTest, AFlagStoredAsAnyNonzeroValueShowsSetAndStaysSet) {
    CMemoryProfileStore odd;
    const std::pair<const char*, int> stored[] = {{"KeepTimestamp", 7},
                                                  {"KeepAttributes", 2},
                                                  {"IgnoreReadOnly", -1},
                                                  {"BackupFile", 5},
                                                  {"SkipBinary", 3}};
    for (const auto& v : stored) odd.WriteInt("Settings", v.first, v.second);
    CAppSettings loaded;
    loaded.Load(odd);
    Settings().SetConversionOptions(loaded.ConversionOptions());
    Open();
    for (int id :
         {IDC_KEEP_TIMESTAMP, IDC_KEEP_ATTRIBUTES, IDC_IGNORE_READ_ONLY, IDC_BACKUP_FILE, IDC_SKIP_BINARY})
        EXPECT_TRUE(Checked(id)) << id;
    Press(IDOK);
    EXPECT_EQ("11111", Flags(Settings().ConversionOptions()));
}

// The boxes sit among the conversion flags in tab order, and every control
// lies inside the dialog without covering another (a group box holds its
// own check box).
TEST_F(OptionsTest, SkipBinaryBoxAmongTheFlagsAndNothingOverlaps) {
    Open();
    EXPECT_EQ("Skip &binary files", ItemText(dlg->m_hwnd, IDC_SKIP_BINARY));
    EXPECT_EQ(Item(IDC_SKIP_BINARY), GetNextDlgTabItem(dlg->m_hwnd, Item(IDC_BACKUP_FILE), FALSE));
    EXPECT_EQ("Skip files that &Git ignores", ItemText(dlg->m_hwnd, IDC_SKIP_IGNORED));
    EXPECT_EQ(Item(IDC_SKIP_IGNORED), GetNextDlgTabItem(dlg->m_hwnd, Item(IDC_SKIP_BINARY), FALSE));
    EXPECT_TRUE(Checked(IDC_SKIP_IGNORED)) << "on by default";
    RECT client;
    GetClientRect(dlg->m_hwnd, &client);
    std::vector<std::pair<HWND, RECT>> controls;
    for (HWND c = GetWindow(dlg->m_hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, dlg->m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                    r.bottom <= client.bottom)
            << GetDlgCtrlID(c);
        controls.emplace_back(c, r);
    }
    auto isGroup = [](HWND w) { return (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX; };
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            RECT both;
            // The combo box's rectangle includes its closed drop-down list.
            const int a = GetDlgCtrlID(controls[i].first), b = GetDlgCtrlID(controls[j].first);
            if (a == IDC_DEFAULT_FILTER || b == IDC_DEFAULT_FILTER) continue;
            if (isGroup(controls[i].first) || isGroup(controls[j].first)) continue;
            EXPECT_FALSE(IntersectRect(&both, &controls[i].second, &controls[j].second)) << a << " and " << b;
        }
}

TEST_F(OptionsTest, BrowsePutsTheChosenProgramOrFolderIntoTheField) {
    TempFolder tools;
    const std::string one = tools.Write("one.exe", "MZ"), two = tools.Write("two.exe", "MZ");
    struct Case {
        const char* name;
        std::string typed;
        int button;
        std::string expected;
    } cases[] = {
        {"one file", "two.exe", IDOK, two},
        {"two files: their folder", QuotedNames({"one.exe", "two.exe"}), IDOK, tools.Path()},
        {"cancelled", "two.exe", IDCANCEL, one},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings().Options().program = one;
        Open();
        FileDialogDriver driver([&](HWND d) {
            FileDialogDriver::TypeFileName(d, c.typed);
            FileDialogDriver::Press(d, c.button);
        });
        Press(IDC_BROWSE);
        const FileDialogView& view = driver.Finish();
        ASSERT_TRUE(view.found);
        EXPECT_STRCASEEQ(tools.Path().c_str(), view.folder.c_str()) << "opens where the program is";
        EXPECT_EQ("one.exe", view.fileName);
        EXPECT_EQ("Executable Files (*.exe)", view.filterText);
        EXPECT_EQ(2, view.filterCount);
        EXPECT_STRCASEEQ(c.expected.c_str(), ItemText(dlg->m_hwnd, IDC_PROGRAM).c_str());
        EXPECT_EQ(one, Settings().Options().program) << "nothing is stored before OK";
        dlg->DestroyWindow();
    }
}

TEST_F(OptionsTest, TheCheckBoxShowsEitherHandlerKeyAndOkWithoutAChangeSwitchesNothing) {
    struct Case {
        bool star, folder, shown;
    } cases[] = {
        {true, true, true},
        {false, true, true},
        {true, false, true},
        {false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.star << c.folder);
        SetHandlerKeys(c.star, c.folder);
        Open();
        EXPECT_EQ(c.shown, Checked(IDC_INTEGRATION));
        EXPECT_EQ(c.shown ? 1 : 0, dlg->IntegrationWasEnabled());
        // On then off again equals the state found: nothing to switch.
        Click(IDC_INTEGRATION);
        Click(IDC_INTEGRATION);
        Press(IDOK);
        Sleep(c.shown ? 0 : 1500);
        EXPECT_EQ(c.star, HandlerKey(0));
        EXPECT_EQ(c.folder, HandlerKey(1));
        EXPECT_EQ(0, EnableCalls());
    }
}

TEST_F(OptionsTest, SwitchingOnRegistersOnceAndSwitchingOffRemovesBothKeys) {
    Open();
    ASSERT_FALSE(Checked(IDC_INTEGRATION));
    Click(IDC_INTEGRATION);
    Press(IDOK);
    EXPECT_EQ(1, EnableCalls());
    EXPECT_EQ(2, WaitForKeys(2)) << "the registration tool of the prefix wrote both keys";

    Open();
    EXPECT_TRUE(Checked(IDC_INTEGRATION));
    Click(IDC_INTEGRATION);
    Press(IDOK);
    EXPECT_FALSE(HandlerKey(0));
    EXPECT_FALSE(HandlerKey(1));
    EXPECT_EQ(1, EnableCalls());

    // Leave the build's own library registered for whoever runs next.
    std::string line = "regsvr32.exe /s \"" + WindowsPath(GORSEMERE_DLL) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CKernelHandle thread(process.hThread), owned(process.hProcess);
        WaitForSingleObject(owned, 60000);
    }
    SetHandlerKeys(false, false);
}

}  // namespace
