// What the job list tells of each file's line breaks: the "Line breaks"
// column, Check (Ctrl+K) filling it without changing a byte, sorting by it,
// and the infotip that says why an entry is marked as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "tests/support/file_io.h"
#include "tests/support/project_repo.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui_main/accessible_probe.h"
#include "tests/ui_main/ui_test_support.h"
#include "ui/main/entry_texts.h"

namespace {

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : text) {
        out += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        out += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
    }
    return out;
}

// Counts of a file past 4 GiB, shown whole in both builds.
TEST(LineBreaksText, CountsPastFourBillion) {
    const uint64_t kFourGiB = uint64_t(1) << 32;
    struct Case {
        uint64_t crlf, lf, cr;
        ByteOrderMark bom;
        const char* text;
    } const cases[] = {
        {kFourGiB + 1, 0, 0, ByteOrderMark::None, "CR LF"},
        {kFourGiB + 1, 5, 0, ByteOrderMark::None, "Mixed (4294967297 CR LF, 5 LF)"},
        {0, 1, 2 * kFourGiB, ByteOrderMark::Utf16Le, "UTF-16 LE, Mixed (1 LF, 8589934592 CR)"},
        {~uint64_t(0), 0, 1, ByteOrderMark::None, "Mixed (18446744073709551615 CR LF, 1 CR)"},
    };
    for (const Case& c : cases) {
        ContentReport content;
        content.crlf = c.crlf;
        content.lf = c.lf;
        content.cr = c.cr;
        content.bom = c.bom;
        EXPECT_EQ(LineBreaksText(content), c.text);
    }
}

class BreaksViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp::Get();
        ResetSettings();
        dlg = std::make_unique<TestMainDlg>(0, nullptr);
        ASSERT_TRUE(dlg->Create());
    }
    void TearDown() override {
        if (dlg && dlg->m_hwnd) {
            PumpUntil([&] { return !dlg->Run().HasWorker(); });
            dlg->DestroyWindow();
        }
    }
    HWND Wnd() const { return dlg->m_hwnd; }
    CSortListCtrl& List() { return dlg->Jobs().Control(); }
    std::string Status() { return ItemText(Wnd(), IDC_STATUS); }
    bool WaitIdle() {
        return PumpUntil([&] { return !dlg->Run().IsRunning() && !dlg->Run().HasWorker(); });
    }
    void Command(UINT id) { SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // The infotip the list would show for an entry, asked as the list asks.
    std::string InfoTip(int item, const std::string& folded = "") {
        char text[INFOTIPSIZE] = "";
        std::strcpy(text, folded.c_str());
        NMLVGETINFOTIPA tip{};
        tip.hdr.hwndFrom = List().m_hwnd;
        tip.hdr.idFrom = IDC_JOB_LIST;
        tip.hdr.code = LVN_GETINFOTIPA;
        tip.dwFlags = folded.empty() ? LVGIT_UNFOLDED : 0;
        tip.pszText = text;
        tip.cchTextMax = sizeof(text);
        tip.iItem = item;
        SendMessageA(Wnd(), WM_NOTIFY, IDC_JOB_LIST, reinterpret_cast<LPARAM>(&tip));
        return text;
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int i = 0; i < List().GetItemCount(); ++i) texts.push_back(List().GetItemText(i, column));
        return texts;
    }

    TempFolder temp;
    std::unique_ptr<TestMainDlg> dlg;
};

TEST_F(BreaksViewTest, CheckFillsTheColumnAndChangesNothing) {
    const struct {
        const char* name;
        std::string content;
        const char* text;
    } files[] = {
        {"crlf.txt", "a\r\nb\r\n", "CR LF"},
        {"lf.txt", "a\nb", "LF"},
        {"cr.txt", "a\rb\r", "CR"},
        {"none.txt", "abc", "None"},
        {"empty.txt", "", "None"},
        {"mixed.txt", "a\r\nb\r\nc\nd\re\n", "Mixed (2 CR LF, 2 LF, 1 CR)"},
        {"image.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "Binary"},
        {"le.reg", Utf16(u"a\r\nb\r\n", false), "UTF-16 LE, CR LF"},
        {"be.txt", Utf16(u"a\nb\rc", true), "UTF-16 BE, Mixed (1 LF, 1 CR)"},
    };
    std::vector<std::string> paths;
    for (const auto& f : files) {
        paths.push_back(temp.Write(f.name, f.content));
        dlg->Jobs().AddFile(paths.back().c_str());
    }
    EXPECT_EQ("Line breaks", [&] {
        char title[64] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = sizeof(title);
        SendMessageA(List().m_hwnd, LVM_GETCOLUMNA, 2, reinterpret_cast<LPARAM>(&column));
        return std::string(title);
    }());
    EXPECT_EQ(Column(2), std::vector<std::string>(std::size(files), "")) << "nothing read yet";
    // A missing file fails the check and keeps an empty column.
    const std::string gone = temp.Write("gone.txt", "x\n");
    dlg->Jobs().AddFile(gone.c_str());
    DeleteFileA(gone.c_str());

    std::string statusDuring;
    dlg->onMark = [&](TestMainDlg& d, int item, EntryMark mark) {
        if (item == 1 && mark == EntryMark::Converting) statusDuring = ItemText(d.m_hwnd, IDC_STATUS);
    };
    Command(ID_EDIT_CHECK);
    EXPECT_TRUE(dlg->Run().IsRunning());
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(dlg->Run().IsCheck());
    EXPECT_EQ(statusDuring, "Checking: 1 / 10");
    EXPECT_EQ(Status(), "Checked: 9 read, 1 fail");
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i].name);
        EXPECT_EQ(List().GetItemText(static_cast<int>(i), 2), files[i].text);
        EXPECT_EQ(TempFolder::Read(paths[i]), files[i].content);
        EXPECT_EQ(StateImage(List(), static_cast<int>(i)), EntryMark::LeftAsItWas);
        EXPECT_EQ(InfoTip(static_cast<int>(i)), "Line breaks read; nothing changed");
    }
    EXPECT_EQ(List().GetItemText(9, 2), "");
    EXPECT_EQ(StateImage(List(), 9), EntryMark::Failed);
    EXPECT_EQ(InfoTip(9), "Failed: the file cannot be opened or read");
    EXPECT_TRUE(IsWindow(Wnd())) << "a check never closes the dialog";

    // Sorting by the column orders the entries by its text, and back.
    SendMessageA(List().m_hwnd, WM_NOTIFY, 0, [&] {
        static NMHEADERA nm{};
        nm.hdr.hwndFrom = List().GetHeader();
        nm.hdr.code = HDN_ITEMCLICKA;
        nm.iItem = 2;
        return reinterpret_cast<LPARAM>(&nm);
    }());
    std::vector<std::string> sorted = Column(2);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end())) << sorted[1] << " " << sorted[2];
    EXPECT_EQ(sorted.front(), "");
    EXPECT_EQ(sorted.back(), "UTF-16 LE, CR LF");
}

// After a conversion the column shows what each file had before it; the
// infotip gives each mark's reason.
TEST_F(BreaksViewTest, AfterARunTheColumnAndInfotipTellWhatHappened) {
    ChangeConversionFlags([](ConvertOptions& o) { o.allowReadOnly = false; });
    const std::string mixed = temp.Write("mixed.txt", "a\r\nb\n");
    const std::string same = temp.Write("same.txt", "a\r\nb\r\n");
    const std::string image = temp.Write("image.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    const std::string locked = temp.Write("locked.txt", "a\n");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    for (const std::string& p : {mixed, same, image, locked}) dlg->Jobs().AddFile(p.c_str());
    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    Command(ID_EDIT_CHECK);  // refused: a run is under way
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(dlg->Run().IsCheck());
    EXPECT_EQ(Status(), "Converted: 2 success, 1 fail, 1 skipped");
    EXPECT_EQ(Column(2), (std::vector<std::string>{"Mixed (1 CR LF, 1 LF)", "CR LF", "Binary", ""}));
    EXPECT_EQ(TempFolder::Read(mixed), "a\r\nb\r\n");
    const std::vector<std::string> reasons = {"Converted", "Already in the target format: left as it was",
                                              "Skipped as binary: left as it was",
                                              "Failed: the file is read-only"};
    AccessibleProbe rows = AccessibleProbe::OfWindow(List());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(InfoTip(i), reasons[i]) << i;
        // A screen reader hears the same words in the row's description.
        EXPECT_EQ(rows.Child(i + 1).Description(), reasons[i]) << i;
    }
    // A tip folded over a cut-off text keeps that text first.
    EXPECT_EQ(InfoTip(3, "locked.txt"), "locked.txt\r\nFailed: the file is read-only");
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

    Command(ID_EDIT_CLEAR);
    ASSERT_EQ(List().GetItemCount(), 0);
    Command(ID_EDIT_CHECK);
    EXPECT_FALSE(dlg->Run().IsRunning()) << "nothing to check";
}

// Each failure's reason is its own, those that came after the first
// ones too (their texts do not follow them directly).
TEST_F(BreaksViewTest, EveryFailureHasItsOwnReason) {
    const struct {
        ConvertFailure failure;
        const char* reason;
    } cases[] = {
        {ConvertFailure::InvalidFormat, "Failed: not a target format"},
        {ConvertFailure::Changed, "Failed: the file was changed while it was being converted"},
        {ConvertFailure::InUse, "Failed: the file was in use by another program"},
    };
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        dlg->Jobs().AddFile(temp.Write("f" + std::to_string(i) + ".txt", "x").c_str());
        dlg->Jobs().MarkEntry(i, EntryMark::Failed, cases[i].failure);
        EXPECT_EQ(InfoTip(i), cases[i].reason);
    }
}

// As the project says, in a real Git working tree: a check marks exactly
// the files a run would change and shows their target beside their breaks;
// the run then brings each to its own target and says in the infotip why it
// left the others.
TEST_F(BreaksViewTest, AsTheProjectSaysCheckThenConvert) {
    ScratchDir repo("pwrepo");
    std::string why;
    ASSERT_TRUE(MakeProjectRepo(repo.path(), &why)) << why;
    const std::string noRule = "no line-break rule in .editorconfig or .gitattributes";
    const std::string binary = "marked binary in .gitattributes";
    const struct {
        const char* rel;
        const char* checkedBreaks;  // the column after the check
        EntryMark checkMark;
        const char* checkTip;
        EntryMark runMark;
        std::string runTip;
    } files[] = {
        {".gitignore", "", EntryMark::None, "", EntryMark::LeftAsItWas, noRule},
        {"build.sh", "CR LF, project: LF", EntryMark::WouldChange,
         "A conversion would change it to the project's LF", EntryMark::Converted, "Converted"},
        {"data.dat", "", EntryMark::None, "", EntryMark::LeftAsItWas, binary},
        {"lib.c", "LF", EntryMark::WouldChange, "A conversion would change it to the project's LF",
         EntryMark::Converted, "Converted"},
        {"notes.txt", "LF, project: CR LF", EntryMark::WouldChange,
         "A conversion would change it to the project's CR LF", EntryMark::Converted, "Converted"},
        {"readme.md", "", EntryMark::None, "", EntryMark::LeftAsItWas, noRule},
        {"docs/guide.txt", "CR LF, project: LF", EntryMark::WouldChange,
         "A conversion would change it to the project's LF", EntryMark::Converted, "Converted"},
    };
    // A file already as its project says is read and left unmarked.
    const std::string inFormat = ProjectRepoPath(repo.path(), "docs/fine.txt");
    ASSERT_TRUE(WriteWholeFile(inFormat, "ok\n"));
    for (const auto& f : files) dlg->Jobs().AddFile(ProjectRepoPath(repo.path(), f.rel).c_str());
    dlg->Jobs().AddFile(inFormat.c_str());
    const int fine = static_cast<int>(std::size(files));
    Command(ID_FORMAT_PROJECT);

    Command(ID_EDIT_CHECK);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Status(), "Checked: 5 read, 0 fail");
    for (int i = 0; i < fine; ++i) {
        SCOPED_TRACE(files[i].rel);
        EXPECT_EQ(dlg->Jobs().Model().At(i)->mark, files[i].checkMark);
        EXPECT_EQ(List().GetItemText(i, 2), files[i].checkedBreaks);
        EXPECT_EQ(InfoTip(i), files[i].checkTip);
    }
    EXPECT_EQ(dlg->Jobs().Model().At(fine)->mark, EntryMark::None);
    EXPECT_EQ(List().GetItemText(fine, 2), "LF");
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        EXPECT_EQ(TempFolder::Read(ProjectRepoPath(repo.path(), file.rel)), file.before) << file.rel;

    SendMessageA(Wnd(), WM_COMMAND, MAKEWPARAM(IDC_CONVERT, BN_CLICKED), 0);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Status(), "Converted: 5 success, 0 fail, 3 skipped");
    for (int i = 0; i < fine; ++i) {
        SCOPED_TRACE(files[i].rel);
        EXPECT_EQ(dlg->Jobs().Model().At(i)->mark, files[i].runMark);
        EXPECT_EQ(InfoTip(i), files[i].runTip);
    }
    EXPECT_EQ(dlg->Jobs().Model().At(fine)->mark, EntryMark::LeftAsItWas);
    for (const ProjectRepoFile& file : ProjectRepoFiles()) {
        const bool listed = std::any_of(std::begin(files), std::end(files),
                                        [&](const auto& f) { return file.rel == std::string(f.rel); });
        const std::string& expected = listed ? file.Expected() : file.before;
        EXPECT_EQ(TempFolder::Read(ProjectRepoPath(repo.path(), file.rel)), expected) << file.rel;
    }
    EXPECT_EQ(TempFolder::Read(inFormat), "ok\n");
}

}  // namespace
