// Runs from the main dialog against real files: marks, counts, progress,
// stop, close during a run, a second run, the close-after-run rules, list
// edits refused while running, and a worker that cannot be created.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "framework/thread.h"
#include "tests/batch_run/slow_converter.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"
#include "tests/support/long_path.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui_main/ui_test_support.h"

namespace {

constexpr EntryMark kNone = EntryMark::None;
constexpr EntryMark kBusy = EntryMark::Converting;
constexpr EntryMark kDone = EntryMark::Converted;
constexpr EntryMark kFail = EntryMark::Failed;
constexpr EntryMark kLeft = EntryMark::LeftAsItWas;

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) {
            PumpUntil([&] { return !dlg->Run().HasWorker(); });
            dlg->DestroyWindow();
        }
    }
    // n files with CR LF breaks; the dialog opened without a command line.
    void OpenWith(int n, const std::vector<std::string>* commandLine = nullptr, int format = 2) {
        for (int i = 0; i < n; ++i)
            files.push_back(temp.Write("f" + std::to_string(i) + ".txt", "one\r\ntwo\r\n"));
        dlg = std::make_unique<TestMainDlg>(format, commandLine);
        ASSERT_TRUE(dlg->Create());
        if (!commandLine)
            for (const auto& f : files) dlg->Jobs().AddFile(f.c_str());
    }
    HWND Wnd() const { return dlg->m_hwnd; }
    std::string Status() { return ItemText(Wnd(), IDC_STATUS); }
    void Click(int id) {
        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(Wnd(), id));
    }
    void Check(int id, bool on) {
        SendMessageA(GetDlgItem(Wnd(), id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool WaitIdle() {
        return PumpUntil(
            [&] { return !IsWindow(Wnd()) || (!dlg->Run().IsRunning() && !dlg->Run().HasWorker()); });
    }
    // The style bit: the dialog itself is never shown in these tests.
    bool Visible(int id) { return (GetWindowLongA(GetDlgItem(Wnd(), id), GWL_STYLE) & WS_VISIBLE) != 0; }
    std::vector<EntryMark> Marks() {
        std::vector<EntryMark> marks;
        for (int i = 0; i < dlg->Jobs().Control().GetItemCount(); ++i)
            marks.push_back(StateImage(dlg->Jobs().Control(), i));
        return marks;
    }

    TempFolder temp;
    std::vector<std::string> files;
    std::unique_ptr<TestMainDlg> dlg;
};

TEST_F(RunTest, CompletedRunMarksCountsAndConvertsEveryFile) {
    OpenWith(4);
    // One entry whose file has gone fails and is counted.
    DeleteFileA(files[2].c_str());
    Click(IDC_CONVERT);
    EXPECT_TRUE(dlg->Run().IsRunning());
    EXPECT_TRUE(Visible(IDC_STOP));
    EXPECT_FALSE(Visible(IDC_CONVERT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Wnd(), IDC_FORMAT)));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kDone, kFail, kDone}));
    EXPECT_EQ(dlg->Jobs().Model().At(2)->failure, ConvertFailure::CannotOpen);
    EXPECT_EQ(Status(), "Converted: 3 success, 1 fail");
    EXPECT_EQ(dlg->Run().Counts().succeeded, 3);
    EXPECT_EQ(dlg->Run().Counts().failed, 1);
    EXPECT_EQ(dlg->Jobs().Model().Current(), -1);
    EXPECT_FALSE(Visible(IDC_PROGRESS));
    EXPECT_TRUE(Visible(IDC_CONVERT));
    EXPECT_FALSE(Visible(IDC_STOP));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Wnd(), IDC_FORMAT)));
    for (int i : {0, 1, 3}) EXPECT_EQ(TempFolder::Read(files[i]), "one\ntwo\n");
    EXPECT_TRUE(IsWindow(Wnd())) << "close-when-done is clear";
}

// Every name is on disk in UTF-16. The manifest's UTF-8 code page lets names
// in no legacy code page arrive from each way in, and a run converts them in
// place under the same names; a path longer than 259 bytes (far below 259
// characters) among them.
TEST_F(RunTest, NamesInNoLegacyCodePageArriveFromEveryWayInAndConvertInPlace) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    const std::string kanji = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";  // 日本語.txt
    const std::string cafe = "caf\xC3\xA9.txt";
    const std::string omega = "\xCE\xA9mega";
    const std::string umlauts =
        "\xC3\xBCn\xC3\xAF"
        "code.txt";
    const std::string emoji = "smile\xF0\x9F\x98\x80.txt";
    // Two components of 40 characters, 120 bytes each: a file system's own
    // limit on one component is 255 bytes.
    std::string word;
    for (int i = 0; i < 40; ++i) word += "\xE8\xAA\x9E";
    const std::string tooLong = word + "\\" + word + ".txt";

    const std::string crlf = "one\r\ntwo\r\n";
    std::vector<std::string> paths = {temp.Write(kanji, crlf), temp.Write(cafe, crlf)};
    temp.MakeFolder(omega);
    paths.push_back(temp.Write(omega + "\\" + umlauts, crlf));
    paths.push_back(temp.Write(emoji, crlf));
    temp.MakeFolder(word);
    const std::string longPath = temp.Write(tooLong, crlf);
    ASSERT_GT(longPath.size(), 259u);
    ASSERT_EQ(TempFolder::Read(longPath), crlf);

    TestApp::Get().Settings().Options().defaultFilter = "*.txt";
    TestApp::Get().Settings().Options().autoStart = 0;  // the run starts from the button, after every intake
    const std::vector<std::string> commandLine = {paths[0]};
    dlg = std::make_unique<TestMainDlg>(2, &commandLine);
    ASSERT_TRUE(dlg->Create());
    SendMessageA(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop({paths[1], longPath})), 0);
    SendMessageA(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop({temp.Path() + "\\" + omega})),
                 0);
    dlg->Jobs().AddFile(paths[3].c_str());
    // The same name in other case is the same file.
    EXPECT_EQ(dlg->Jobs().AddFile((temp.Path() + "\\CAF\xC3\x89.TXT").c_str()), -1);

    // In the order they came: the long one with the second drop's first.
    paths.insert(paths.begin() + 2, longPath);
    CSortListCtrl& list = dlg->Jobs().Control();
    ASSERT_EQ(list.GetItemCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(dlg->Jobs().Model().Path(i), paths[i]);
    EXPECT_EQ(list.GetItemText(0, 0), kanji);
    EXPECT_EQ(list.GetItemText(3, 1), temp.Path() + "\\" + omega);

    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kDone, kDone, kDone, kDone}));
    for (const std::string& path : paths) EXPECT_EQ(TempFolder::Read(path), "one\ntwo\n") << path;

    // Nothing beside them was left or renamed.
    std::vector<std::wstring> onDisk;
    WIN32_FIND_DATAW found;
    const std::wstring mask = std::wstring(temp.Path().begin(), temp.Path().end()) + L"\\*";
    HANDLE find = FindFirstFileW(mask.c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        if (found.cFileName[0] != L'.') onDisk.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(onDisk.begin(), onDisk.end());
    std::vector<std::wstring> expected = {L"caf\u00e9.txt", L"smile\U0001F600.txt", L"\u03a9mega",
                                          L"\u65e5\u672c\u8a9e.txt", std::wstring(40, L'\u8a9e')};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(onDisk, expected);
}

// Paths of more than 600 characters in three scripts, from each way in the
// window has: a dropped file, a dropped folder (Ctrl: with its subfolders)
// and Add Folder's expansion. Each is listed and shown whole and converted
// in place; Open says plainly that the program cannot take it.
TEST_F(RunTest, DeepPathsInAnyScriptArriveFromEveryWayInAndConvert) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    ScratchDir scratch("pwdeep");
    const std::string deep = MakeDeepFolder(scratch.path(), 600);
    ASSERT_FALSE(deep.empty());
    const std::string file = deep + "\\f.txt";
    TestApp::Get().Settings().Options().defaultFilter = "*.txt";
    TestApp::Get().Settings().Options().program = "";
    struct Case {
        const char* what;
        std::function<void()> bring;
    } const cases[] = {
        {"dropped file",
         [&] { SendMessageA(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop({file})), 0); }},
        {"dropped folder",
         [&] {
             SetKey(VK_CONTROL, true);
             SendMessageA(Wnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop({scratch.path()})), 0);
             SetKey(VK_CONTROL, false);
         }},
        {"Add Folder", [&] { dlg->Jobs().ExpandFolder(scratch.path().c_str(), "*.txt", true); }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(file, "one\r\ntwo\r\n")) << c.what;
        dlg = std::make_unique<TestMainDlg>(2, nullptr);
        ASSERT_TRUE(dlg->Create());
        c.bring();
        CSortListCtrl& list = dlg->Jobs().Control();
        ASSERT_EQ(list.GetItemCount(), 1) << c.what;
        EXPECT_EQ(dlg->Jobs().Model().Path(0), file) << c.what;
        EXPECT_EQ(list.GetItemText(0, 0), "f.txt") << c.what;
        // The control shows what fits its own buffer of the folder.
        const std::string shown = list.GetItemText(0, 1);
        EXPECT_GT(shown.size(), 200u) << c.what;
        EXPECT_EQ(deep.compare(0, shown.size(), shown), 0) << c.what;

        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(ID_EDIT_OPEN, 0), 0);
        ASSERT_EQ(dlg->messages.size(), 1u) << c.what;
        EXPECT_NE(dlg->messages[0].find(file), std::string::npos) << c.what;
        EXPECT_NE(dlg->messages[0].find("too long"), std::string::npos) << c.what;

        Click(IDC_CONVERT);
        ASSERT_TRUE(WaitIdle()) << c.what;
        EXPECT_EQ(Marks(), std::vector<EntryMark>{kDone}) << c.what;
        EXPECT_EQ(ReadWholeFile(file), "one\ntwo\n") << c.what;
        dlg->DestroyWindow();
    }
}

// A file already in format and a binary one keep their bytes and get the
// fourth mark; the summary counts the skipped one only when there is one.
TEST_F(RunTest, FilesLeftAsTheyWereGetTheFourthMarkAndTheSummaryCountsSkipped) {
    const std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    struct Case {
        int skipBinary;
        std::vector<EntryMark> marks;
        const char* status;
        std::string imageAfter;
    } const cases[] = {
        {1, {kDone, kLeft, kLeft}, "Converted: 2 success, 0 fail, 1 skipped", image},
        {0, {kDone, kLeft, kDone}, "Converted: 3 success, 0 fail", OracleConvert(image, "\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skipBinary);
        TempFolder folder;
        const std::vector<std::string> paths = {folder.Write("mixed.txt", "a\r\nb\r"),
                                                folder.Write("unix.txt", "a\nb\n"),
                                                folder.Write("image.png", image)};
        ChangeConversionFlags([&](ConvertOptions& o) { o.skipBinary = c.skipBinary; });
        dlg = std::make_unique<TestMainDlg>(2, nullptr);
        ASSERT_TRUE(dlg->Create());
        for (const auto& p : paths) dlg->Jobs().AddFile(p.c_str());
        Click(IDC_CONVERT);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Marks(), c.marks);
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(dlg->Run().Counts().skipped, c.skipBinary ? 1 : 0);
        EXPECT_EQ(TempFolder::Read(paths[0]), "a\nb\n");
        EXPECT_EQ(TempFolder::Read(paths[1]), "a\nb\n");
        EXPECT_EQ(TempFolder::Read(paths[2]), c.imageAfter);
        // Each entry keeps what its file had before the run.
        ContentReport content;
        ASSERT_TRUE(dlg->Jobs().Model().Content(0, &content));
        EXPECT_EQ(content.crlf, 1u);
        EXPECT_EQ(content.cr, 1u);
        ASSERT_TRUE(dlg->Jobs().Model().Content(2, &content));
        EXPECT_TRUE(content.binary);
        dlg->DestroyWindow();
    }
}

TEST_F(RunTest, ProgressAndTextAfterTheSecondItemAndTheBoldCurrentEntry) {
    OpenWith(5);
    std::string statusAtThird;
    int posAtThird = -1, currentWhileConverting = -2;
    dlg->onMark = [&](TestMainDlg& d, int item, EntryMark mark) {
        if (item == 2 && mark == EntryMark::Converting) {
            statusAtThird = ItemText(d.m_hwnd, IDC_STATUS);
            posAtThird = static_cast<int>(SendMessageA(GetDlgItem(d.m_hwnd, IDC_PROGRESS), PBM_GETPOS, 0, 0));
        }
        if (item == 3 && mark == EntryMark::Converted) currentWhileConverting = d.Jobs().Model().Current();
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(statusAtThird, "Converting: 2 / 5");
    EXPECT_EQ(posAtThird, 1);
    EXPECT_EQ(currentWhileConverting, 3) << "entry 3 is current until its result comes";
    EXPECT_EQ(dlg->Jobs().Model().Current(), -1);
}

TEST_F(RunTest, StopDuringTheThirdFileFinishesItAndLeavesTheRestUnmarked) {
    OpenWith(5);
    Check(IDC_CLOSE_WHEN_DONE, true);
    dlg->onConvert = [&](TestMainDlg& d, const std::string& path) {
        if (path == files[2]) SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(IsWindow(Wnd())) << "a stopped run never closes the dialog";
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kDone, kDone, kNone, kNone}));
    EXPECT_EQ(Status(), "Aborted: 3 success, 0 fail");
    EXPECT_EQ(TempFolder::Read(files[2]), "one\ntwo\n");
    EXPECT_EQ(TempFolder::Read(files[3]), "one\r\ntwo\r\n");
}

TEST_F(RunTest, CloseDuringARunWaitsForTheCurrentFileThenCloses) {
    OpenWith(5);
    bool openAfterCancel = false;
    dlg->onConvert = [&](TestMainDlg& d, const std::string& path) {
        if (path == files[1]) {
            SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            openAfterCancel = IsWindow(d.m_hwnd) != FALSE;
        }
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(Wnd()); }));
    EXPECT_TRUE(openAfterCancel);
    EXPECT_EQ(dlg->GetResult(), IDCANCEL);
    EXPECT_EQ(TempFolder::Read(files[1]), "one\ntwo\n");
    EXPECT_EQ(TempFolder::Read(files[2]), "one\r\ntwo\r\n");
}

// Stop or Close in the middle of a file that takes seconds, through the
// window and its controller: the run ends within half a second (asserted
// with a margin for Wine's message round trips on a loaded machine), and
// the file is left exactly as it was, unmarked, with nothing beside it.
TEST_F(RunTest, StopOrCloseInTheMiddleOfAHugeFileEndsTheRunAtOnce) {
    const std::string huge = HugeText(24, "\r\n");
    struct Case {
        const char* what;
        UINT command;  // the run's, then the one that ends it
        UINT stop;
    } const cases[] = {
        {"Stop", IDC_CONVERT, IDC_STOP},
        {"Close", IDC_CONVERT, IDCANCEL},
        {"Stop a check", ID_EDIT_CHECK, IDC_STOP},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string first = temp.Write("first.txt", "one\r\ntwo\r\n");
        const std::string big = temp.Write("huge.txt", huge);
        const std::string last = temp.Write("last.txt", "one\r\ntwo\r\n");
        dlg = std::make_unique<TestMainDlg>(2, nullptr);
        ASSERT_TRUE(dlg->Create());
        for (const std::string& f : {first, big, last}) dlg->Jobs().AddFile(f.c_str());
        const bool check = c.command == ID_EDIT_CHECK;
        SlowConverter converter(25, check);
        dlg->converter = &converter;
        dlg->onConvert = [](TestMainDlg&, const std::string&) {};
        const HWND wnd = Wnd();
        converter.ActAfter(big, 200,
                           [&] { SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(c.stop, BN_CLICKED), 0); });
        SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(c.command, BN_CLICKED), 0);
        const bool closing = c.stop == IDCANCEL;
        ASSERT_TRUE(PumpUntil([&] { return closing ? !IsWindow(wnd) : !dlg->Run().IsRunning(); }));
        const auto ended = std::chrono::steady_clock::now();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - converter.ActedAt()).count();
        EXPECT_LT(ms, 750);
        EXPECT_EQ(TempFolder::Read(big), huge);
        EXPECT_EQ(TempFolder::Read(first), check ? "one\r\ntwo\r\n" : "one\ntwo\n");
        EXPECT_EQ(TempFolder::Read(last), "one\r\ntwo\r\n");
        EXPECT_EQ(GetFileAttributesA((big + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
        if (closing) {
            EXPECT_EQ(dlg->GetResult(), IDCANCEL);
        } else {
            EXPECT_EQ(Marks(), (std::vector<EntryMark>{check ? kLeft : kDone, kNone, kNone}));
            EXPECT_EQ(Status(), check ? "Aborted: 1 read, 0 fail" : "Aborted: 1 success, 0 fail");
            ASSERT_TRUE(WaitIdle());
            dlg->DestroyWindow();
        }
        dlg.reset();
    }
}

TEST_F(RunTest, SecondRunResetsMarksAndCounts) {
    OpenWith(3);
    DeleteFileA(files[0].c_str());
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kFail, kDone, kDone}));
    temp.Write("f0.txt", "x\ry");
    std::vector<EntryMark> marksAtStart;
    dlg->onMark = [&](TestMainDlg& d, int item, EntryMark mark) {
        if (item == 0 && mark == EntryMark::Converting)
            for (int i = 0; i < 3; ++i) marksAtStart.push_back(StateImage(d.Jobs().Control(), i));
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(marksAtStart, (std::vector<EntryMark>{kBusy, kNone, kNone}));
    // The two converted by the first run are in format now: left as they are.
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kLeft, kLeft}));
    EXPECT_EQ(dlg->Jobs().Model().At(0)->failure, ConvertFailure::None) << "the first run's reason is gone";
    EXPECT_EQ(Status(), "Converted: 3 success, 0 fail");
    EXPECT_EQ(TempFolder::Read(files[0]), "x\ny");
}

// Pressing Stop while the marks of the previous run are being cleared ends
// the run before any file is touched.
TEST_F(RunTest, StopWhileTheMarksAreClearedConvertsNothing) {
    OpenWith(20);
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    for (const auto& f : files) temp.Write(f.substr(temp.Path().size() + 1), "a\r\nb\r\n");
    bool stopped = false, converting = false;
    dlg->onMark = [&](TestMainDlg& d, int, EntryMark mark) {
        if (mark == EntryMark::None && !stopped) {
            stopped = true;
            SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_STOP, BN_CLICKED), 0);
        }
        if (mark == EntryMark::Converting) converting = true;
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(converting);
    EXPECT_EQ(Marks(), std::vector<EntryMark>(20, kNone));
    EXPECT_EQ(Status(), "Aborted: 0 success, 0 fail");
    for (const auto& f : files) EXPECT_EQ(TempFolder::Read(f), "a\r\nb\r\n");
}

// A run of thousands of small files: every mark and count right, the current
// entry followed while it runs and the last one shown at the end.
TEST_F(RunTest, ThousandsOfEntriesEndWithEveryMarkAndTheSummaryRight) {
    const int n = 2000;
    OpenWith(n);
    int currentAt1500 = -1;
    dlg->onMark = [&](TestMainDlg& d, int item, EntryMark mark) {
        if (item == 1500 && mark == EntryMark::Converted) currentAt1500 = d.Jobs().Model().Current();
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpUntil([&] { return !dlg->Run().IsRunning() && !dlg->Run().HasWorker(); }, 600000));
    EXPECT_EQ(currentAt1500, 1500) << "the bold entry until its result comes";
    EXPECT_EQ(Marks(), std::vector<EntryMark>(n, kDone));
    EXPECT_EQ(Status(), "Converted: 2000 success, 0 fail");
    EXPECT_EQ(dlg->Run().Counts().succeeded, n);
    EXPECT_EQ(dlg->Jobs().Model().Current(), -1);
    const int top = static_cast<int>(dlg->Jobs().Control().SendMessage(LVM_GETTOPINDEX));
    const int page = static_cast<int>(dlg->Jobs().Control().SendMessage(LVM_GETCOUNTPERPAGE));
    EXPECT_GE(top + page, n - 1) << "the list has caught up with the last entry";
    EXPECT_EQ(TempFolder::Read(files[0]), "one\ntwo\n");
    EXPECT_EQ(TempFolder::Read(files[n - 1]), "one\ntwo\n");
}

TEST_F(RunTest, CloseDuringALongRunClosesAfterTheCurrentFile) {
    OpenWith(2000);
    dlg->onConvert = [&](TestMainDlg& d, const std::string& path) {
        if (path == files[700]) SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(Wnd()); }, 600000));
    EXPECT_EQ(dlg->GetResult(), IDCANCEL);
    EXPECT_EQ(TempFolder::Read(files[700]), "one\ntwo\n") << "the current file is finished";
    EXPECT_EQ(TempFolder::Read(files[701]), "one\r\ntwo\r\n");
    EXPECT_EQ(TempFolder::Read(files[1999]), "one\r\ntwo\r\n");
}

// Each entry keeps the reason of its own result: a read-only file while
// read-only files are not to be converted, a vanished one, and none for
// the converted entries between them.
TEST_F(RunTest, FailedEntriesKeepTheirReasons) {
    OpenWith(4);
    ChangeConversionFlags([](ConvertOptions& o) { o.allowReadOnly = false; });
    ASSERT_TRUE(SetFileAttributesA(files[1].c_str(), FILE_ATTRIBUTE_READONLY));
    DeleteFileA(files[3].c_str());
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    SetFileAttributesA(files[1].c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kFail, kDone, kFail}));
    const std::vector<ConvertFailure> expected = {ConvertFailure::None, ConvertFailure::ReadOnly,
                                                  ConvertFailure::None, ConvertFailure::CannotOpen};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dlg->Jobs().Model().At(i)->failure, expected[i]) << i;
    EXPECT_EQ(TempFolder::Read(files[1]), "one\r\ntwo\r\n");
    // A sort moves the reasons with their entries.
    dlg->Jobs().Control().OnHeaderClick(0);
    dlg->Jobs().Control().OnHeaderClick(0);
    for (int i = 0; i < 4; ++i) {
        const std::string path = dlg->Jobs().Model().Path(i);
        const ConvertFailure want = path == files[1]   ? ConvertFailure::ReadOnly
                                    : path == files[3] ? ConvertFailure::CannotOpen
                                                       : ConvertFailure::None;
        EXPECT_EQ(dlg->Jobs().Model().At(i)->failure, want) << path;
    }
}

TEST_F(RunTest, CloseAfterRunRules) {
    struct Case {
        const char* name;
        bool closeWhenDone;
        bool oneFails;
        bool commandLine;
        int autoStart;
        bool expectClosed;
    };
    const Case cases[] = {
        {"plain run", false, false, false, 1, false},
        {"close when done, clean", true, false, false, 1, true},
        {"close when done, one failure", true, true, false, 1, false},
        {"command line, auto-start, failure", false, true, true, 1, true},
        {"command line, auto-start off", false, false, true, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder own;
        std::vector<std::string> paths = {own.Write("a.txt", "1\n2"), own.Write("b.txt", "1\n2")};
        TestApp::Get().Settings().Options().autoStart = c.autoStart;
        TestApp::Get().Settings().Options().autoClose = c.closeWhenDone;
        TestMainDlg d(0, c.commandLine ? &paths : nullptr);
        if (c.oneFails) {
            // Read-only files fail when they may not be converted.
            ChangeConversionFlags([](ConvertOptions& o) { o.allowReadOnly = false; });
            SetFileAttributesA(paths[1].c_str(), FILE_ATTRIBUTE_READONLY);
        }
        ASSERT_TRUE(d.Create());
        if (!c.commandLine) {
            for (auto& p : paths) d.Jobs().AddFile(p.c_str());
            SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        } else if (!c.autoStart) {
            SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
        }
        ASSERT_TRUE(
            PumpUntil([&] { return !IsWindow(d.m_hwnd) || (!d.Run().IsRunning() && !d.Run().HasWorker()); }));
        PumpFor(100);  // a posted close arrives after the run's end
        EXPECT_EQ(!IsWindow(d.m_hwnd), c.expectClosed);
        if (d.m_hwnd) d.DestroyWindow();
        SetFileAttributesA(paths[1].c_str(), FILE_ATTRIBUTE_NORMAL);
        ResetSettings();
    }
}

TEST_F(RunTest, EmptyAutoStartedRunFromTheCommandLineClosesTheDialog) {
    std::vector<std::string> none;
    OpenWith(0, &none);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(Wnd()); }));
}

TEST_F(RunTest, EntriesAreNeitherRemovedNorReorderedWhileRunning) {
    OpenWith(4);
    std::string extra = temp.Write("late.txt", "a\r\n");
    struct Seen {
        bool deleteEnabled = true, clearEnabled = true, formatEnabled = true, openEnabled = false;
        bool addFilesEnabled = false, addFolderEnabled = false, optionsEnabled = false, aboutEnabled = false;
        int countAfterEdits = -1;
        int selectorAfterCtrlW = -1;
    } seen;
    dlg->onMark = [&](TestMainDlg& d, int item, EntryMark mark) {
        if (item != 1 || mark != EntryMark::Converting) return;
        CSortListCtrl& list = d.Jobs().Control();
        list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
        seen.deleteEnabled = d.CanRun(ID_EDIT_DELETE);
        seen.clearEnabled = d.CanRun(ID_EDIT_CLEAR);
        seen.formatEnabled = d.CanRun(ID_FORMAT_WINDOWS);
        seen.openEnabled = d.CanRun(ID_EDIT_OPEN);
        seen.addFilesEnabled = d.CanRun(ID_EDIT_ADD_FILES);
        seen.addFolderEnabled = d.CanRun(ID_EDIT_ADD_FOLDER);
        seen.optionsEnabled = d.CanRun(ID_MAIN_OPTIONS);
        seen.aboutEnabled = d.CanRun(ID_MAIN_ABOUT);
        // What the user can still try: the accelerators, a header click, a drop.
        SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_DELETE, 1), 0);
        SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_CLEAR, 1), 0);
        SendMessageA(d.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_FORMAT_WINDOWS, 1), 0);
        d.Jobs().Control().OnHeaderClick(0);
        d.Jobs().Control().OnHeaderClick(0);
        SendMessageA(d.m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({extra})), 0);
        seen.countAfterEdits = list.GetItemCount();
        seen.selectorAfterCtrlW =
            static_cast<int>(SendMessageA(GetDlgItem(d.m_hwnd, IDC_FORMAT), CB_GETCURSEL, 0, 0));
    };
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(seen.deleteEnabled);
    EXPECT_FALSE(seen.clearEnabled);
    EXPECT_FALSE(seen.formatEnabled);
    EXPECT_TRUE(seen.openEnabled);
    // Adding and the two dialogs go on working; changed flags reach the next file.
    EXPECT_TRUE(seen.addFilesEnabled);
    EXPECT_TRUE(seen.addFolderEnabled);
    EXPECT_TRUE(seen.optionsEnabled);
    EXPECT_TRUE(seen.aboutEnabled);
    EXPECT_EQ(seen.countAfterEdits, 5) << "nothing removed; the drop was added at the end";
    EXPECT_EQ(seen.selectorAfterCtrlW, 2);
    // Every entry the run took is marked as its own file's outcome; the late
    // one was not part of the run.
    EXPECT_EQ(Marks(), (std::vector<EntryMark>{kDone, kDone, kDone, kDone, kNone}));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dlg->Jobs().Model().Path(i), files[i]);
        EXPECT_EQ(TempFolder::Read(files[i]), "one\ntwo\n");
    }
    EXPECT_EQ(TempFolder::Read(extra), "a\r\n");
    // After the run, the same edits work again.
    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(ID_EDIT_CLEAR, 1), 0);
    EXPECT_EQ(dlg->Jobs().Control().GetItemCount(), 0);
}

TEST_F(RunTest, AWorkerThatCannotBeCreatedLeavesTheDialogIdle) {
    OpenWith(2);
    CThread::FailNextCreates(1);
    Click(IDC_CONVERT);
    EXPECT_FALSE(dlg->Run().IsRunning());
    EXPECT_FALSE(dlg->Run().HasWorker());
    EXPECT_TRUE(Visible(IDC_CONVERT));
    EXPECT_FALSE(Visible(IDC_STOP));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Wnd(), IDC_FORMAT)));
    EXPECT_EQ(Status(), "Aborted: 0 success, 0 fail");
    EXPECT_EQ(TempFolder::Read(files[0]), "one\r\ntwo\r\n");
    // Close works at once, and the next attempt runs normally.
    Click(IDC_CONVERT);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(TempFolder::Read(files[0]), "one\ntwo\n");
    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(Wnd()));
}

}  // namespace
