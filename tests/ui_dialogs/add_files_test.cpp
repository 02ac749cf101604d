// The Add Files command and CFileDialogEx, driven through the real system
// file dialog: names typed into its file-name field or selected in its list,
// then OK or Cancel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "tests/ui_dialogs/file_dialog_driver.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/file_dialog_ex.h"

namespace {

const DWORD kAddFilesFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ALLOWMULTISELECT;

class AddFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
        dlg = std::make_unique<TestMainDlg>(-1, nullptr);
        ASSERT_TRUE(dlg->Create());
        ShowWindow(dlg->m_hwnd, SW_SHOW);
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) dlg->DestroyWindow();
    }
    // Runs the command as the menu, the toolbar and Insert do, with the
    // action carried out in the dialog it opens.
    FileDialogView AddFiles(std::function<void(HWND)> action) {
        FileDialogDriver driver(std::move(action));
        SendMessageA(dlg->m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FILES, 0), 0);
        return driver.Finish();
    }
    std::vector<std::string> Listed() {
        std::vector<std::string> paths;
        for (int i = 0; i < dlg->Jobs().Control().GetItemCount(); ++i)
            paths.push_back(dlg->Jobs().Model().Path(i));
        return paths;
    }
    std::string Status() { return ItemText(dlg->m_hwnd, IDC_STATUS); }
    CAppSettings& Settings() { return TestApp::Get().Settings(); }

    TempFolder temp;
    std::unique_ptr<TestMainDlg> dlg;
};

TEST_F(AddFilesTest, TypedNamesAreAddedInTheDialogsOrderAndTheLastIsRemembered) {
    const std::string a = temp.Write("a.txt", "a"), b = temp.Write("b.txt", "b"),
                      c = temp.Write("c.txt", "c");
    struct Case {
        std::string typed;
        std::vector<std::string> expected;
    } cases[] = {
        {QuotedNames({"a.txt", "b.txt", "c.txt"}), {a, b, c}},
        {QuotedNames({"c.txt", "a.txt", "b.txt"}), {c, a, b}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        dlg->Jobs().Clear();
        Settings().Last().file = b;
        FileDialogView view = AddFiles([&](HWND d) {
            FileDialogDriver::TypeFileName(d, k.typed);
            FileDialogDriver::Press(d, IDOK);
        });
        ASSERT_TRUE(view.found);
        EXPECT_STRCASEEQ(temp.Path().c_str(), view.folder.c_str()) << "opens where the last file was";
        EXPECT_EQ(0, view.filterIndex);
        EXPECT_EQ(29, view.filterCount);
        EXPECT_EQ("All Files (*.*)", view.filterText);
        EXPECT_EQ(k.expected, Listed());
        EXPECT_EQ("3 file(s) added", Status());
        EXPECT_EQ(k.expected.back(), Settings().Last().file);
    }
    // Adding the same files again skips every one of them.
    AddFiles([&](HWND d) {
        FileDialogDriver::TypeFileName(d, QuotedNames({"b.txt", "a.txt"}));
        FileDialogDriver::Press(d, IDOK);
    });
    EXPECT_EQ(3, dlg->Jobs().Control().GetItemCount());
}

// The program's code page is UTF-8, so the narrow dialog hands back names no
// legacy code page holds, whole.
TEST_F(AddFilesTest, NamesInNoLegacyCodePageComeBackWhole) {
    const std::string kanji = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", cafe = "caf\xC3\xA9.txt",
                      emoji = "smile\xF0\x9F\x98\x80.txt";
    const std::vector<std::string> expected = {temp.Write(kanji, "a"), temp.Write(cafe, "b"),
                                               temp.Write(emoji, "c")};
    Settings().Last().file = expected[1];
    FileDialogView view = AddFiles([&](HWND d) {
        FileDialogDriver::TypeFileName(d, QuotedNames({kanji, cafe, emoji}));
        FileDialogDriver::Press(d, IDOK);
    });
    ASSERT_TRUE(view.found);
    EXPECT_STRCASEEQ(temp.Path().c_str(), view.folder.c_str());
    EXPECT_EQ(expected, Listed());
    EXPECT_EQ(expected.back(), Settings().Last().file);
}

TEST_F(AddFilesTest, FirstUseLeavesTheFolderToTheSystemAndCancelAddsNothing) {
    const std::string a = temp.Write("a.txt", "a");
    struct Case {
        const char* name;
        std::string lastFile;
        std::string typed;
    } cases[] = {
        {"first use, cancelled", "", ""},
        {"cancelled with names typed", a, QuotedNames({"a.txt"})},
        {"last file gone, cancelled", temp.Path() + "\\gone.txt", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Settings().Last().file = k.lastFile;
        FileDialogView view = AddFiles([&](HWND d) {
            if (!k.typed.empty()) FileDialogDriver::TypeFileName(d, k.typed);
            FileDialogDriver::Press(d, IDCANCEL);
        });
        ASSERT_TRUE(view.found);
        EXPECT_FALSE(view.folder.empty());
        EXPECT_EQ("All Files (*.*)", view.filterText);
        EXPECT_EQ(0, dlg->Jobs().Control().GetItemCount());
        EXPECT_EQ("Drag and Drop files or folders to begin!", Status());
        EXPECT_EQ(k.lastFile, Settings().Last().file);
    }
}

TEST_F(AddFilesTest, OneFileComesBackAsItsFullPath) {
    TempFolder other;
    const std::string elsewhere = other.Write("far away.txt", "x");
    const std::string inFolder = temp.Write("near.txt", "x");
    struct Case {
        std::string typed;
        std::string expected;
    } cases[] = {
        {elsewhere, elsewhere},  // a full path from elsewhere
        {"near.txt", inFolder},  // a name in the dialog's folder
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed);
        dlg->Jobs().Clear();
        Settings().Last().file = inFolder;
        AddFiles([&](HWND d) {
            FileDialogDriver::TypeFileName(d, k.typed);
            FileDialogDriver::Press(d, IDOK);
        });
        EXPECT_EQ(std::vector<std::string>{k.expected}, Listed());
        EXPECT_EQ(k.expected, Settings().Last().file);
        EXPECT_EQ("1 file(s) added", Status());
    }
}

TEST_F(AddFilesTest, ADriveRootIsJoinedWithoutADoubledSeparator) {
    char name[2][MAX_PATH];
    for (int i = 0; i < 2; ++i) {
        std::snprintf(name[i], MAX_PATH, "pwroot%lu_%d.txt", GetCurrentProcessId(), i);
        FILE* f = std::fopen((std::string("C:\\") + name[i]).c_str(), "wb");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    Settings().Last().file = std::string("C:\\") + name[0];
    FileDialogView view = AddFiles([&](HWND d) {
        FileDialogDriver::TypeFileName(d, QuotedNames({name[0], name[1]}));
        FileDialogDriver::Press(d, IDOK);
    });
    EXPECT_STRCASEEQ("C:\\", view.folder.c_str());
    const std::vector<std::string> expected = {std::string("C:\\") + name[0], std::string("C:\\") + name[1]};
    EXPECT_EQ(expected, Listed());
    EXPECT_EQ(expected[1], Settings().Last().file);
    for (auto& n : name) DeleteFileA((std::string("C:\\") + n).c_str());
}

// More names than 8,192 characters hold: the buffer grows with the
// selection, whether the names are typed or selected in the list.
TEST_F(AddFilesTest, ASelectionFarBeyondTheStartBufferIsAddedWhole) {
    std::vector<std::string> files;
    std::string typed;
    for (int i = 0; i < 150; ++i) {
        char name[160];
        std::snprintf(name, sizeof(name), "%03d_%s.txt", i, std::string(110, 'n').c_str());
        files.push_back(temp.Write(name, "x"));
        typed += (typed.empty() ? "\"" : " \"") + std::string(name) + "\"";
    }
    ASSERT_GT(typed.size(), 2u * CFileDialogEx::kSelectionSize);
    for (bool byList : {false, true}) {
        SCOPED_TRACE(byList ? "selected in the list" : "typed");
        dlg->Jobs().Clear();
        Settings().Last().file = files[0];
        AddFiles([&](HWND d) {
            if (byList)
                ASSERT_TRUE(FileDialogDriver::SelectAllListed(d));
            else
                FileDialogDriver::TypeFileName(d, typed);
            FileDialogDriver::Press(d, IDOK);
        });
        std::vector<std::string> listed = Listed();
        if (byList) std::sort(listed.begin(), listed.end());  // the list's own order
        EXPECT_EQ(files, listed);
        EXPECT_EQ("150 file(s) added", Status());
        if (!byList) {
            EXPECT_EQ(files.back(), Settings().Last().file);
        }
    }
}

// The dialog itself with both parameter-block sizes the system versions
// call for: each opens, and a multiple selection comes back as full paths.
TEST(FileDialogEx, BothParameterBlockSizesRunTheSystemDialog) {
    TestApp::Get();
    TempFolder temp;
    const std::string x = temp.Write("x.log", "x"), y = temp.Write("y.log", "y");
    const DWORD sizes[] = {CFileDialogEx::StructSizeFor(VER_PLATFORM_WIN32_NT, 5),
                           CFileDialogEx::StructSizeFor(VER_PLATFORM_WIN32_NT, 4),
                           CFileDialogEx::StructSizeFor(VER_PLATFORM_WIN32_WINDOWS, 4)};
    EXPECT_EQ(sizeof(OPENFILENAMEA), sizes[0]);
    EXPECT_EQ(static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A), sizes[1]);
    EXPECT_EQ(sizes[1], sizes[2]);
    for (DWORD size : sizes) {
        SCOPED_TRACE(size);
        CFileDialogEx dialog(true, nullptr, nullptr, kAddFilesFlags, "Logs|*.log|All Files (*.*)|*.*||",
                             nullptr, size);
        EXPECT_EQ(size, dialog.m_ofn.lStructSize);
        dialog.m_ofn.lpstrInitialDir = x.c_str();
        FileDialogDriver driver([&](HWND d) {
            FileDialogDriver::TypeFileName(d, QuotedNames({"y.log", "x.log"}));
            FileDialogDriver::Press(d, IDOK);
        });
        ASSERT_EQ(IDOK, dialog.DoModal());
        EXPECT_EQ("Logs", driver.Finish().filterText);
        EXPECT_EQ((std::vector<std::string>{y, x}), dialog.GetPathNames());
        EXPECT_STRCASEEQ(temp.Path().c_str(), dialog.GetPathName().c_str());
    }
}

TEST(FileDialogEx, SelectionBuffersSplitIntoFullPaths) {
    using S = std::string;
    struct Case {
        const char* name;
        S buffer;
        size_t fileOffset;
        std::vector<S> expected;
    } cases[] = {
        {"single path", S("C:\\d\\a.txt\0", 11), 5, {"C:\\d\\a.txt"}},
        {"single path over an older, longer content", S("C:\\a.txt\0old\0er\0\0", 17), 3, {"C:\\a.txt"}},
        {"folder and names", S("C:\\d\0a.txt\0b.txt\0\0", 18), 5, {"C:\\d\\a.txt", "C:\\d\\b.txt"}},
        {"drive root", S("C:\\\0a\0b\0\0", 9), 4, {"C:\\a", "C:\\b"}},
        {"folder ending in a slash", S("D:/x/\0a\0\0", 9), 6, {"D:/x/a"}},
        {"names without the closing empty string", S("C:\\d\0a\0b", 8), 5, {}},
        {"a name cut at the end", S("C:\\d\0a\0bbb", 10), 5, {}},
        {"path without its end", S("C:\\abc", 6), 3, {}},
        {"empty", S("\0\0", 2), 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, CFileDialogEx::SplitSelection(c.buffer.data(), c.buffer.size(), c.fileOffset))
            << c.name;
}

}  // namespace
