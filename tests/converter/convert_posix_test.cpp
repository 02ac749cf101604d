// The whole conversion through the POSIX layer on real temporary folders,
// including a failure injected at every file operation in turn.

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "core/converter.h"
#include "tests/converter/deep_path_cases.h"
#include "tests/converter/fault_file_system.h"
#include "tests/converter/large_file_cases.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

class ConvertPosix : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = m_scratch.path();
        ASSERT_FALSE(m_dir.empty());
    }

    std::string P(const std::string& name) const { return m_dir + "/" + name; }

    static void Write(const std::string& path, const std::string& data) { WriteWholeFile(path, data); }
    static std::string Read(const std::string& path) { return ReadWholeFile(path); }
    static mode_t Mode(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
    }
    // The folder (the test's own by default) as name -> content, read with
    // plain POSIX calls.
    std::map<std::string, std::string> Listing(const std::string& folder = "") const {
        const std::string dir = folder.empty() ? m_dir : folder;
        std::map<std::string, std::string> out;
        DIR* d = opendir(dir.c_str());
        while (struct dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") out[n] = Read(dir + "/" + n);
        }
        closedir(d);
        return out;
    }
    // A file path of exactly length bytes below the test's folder, in folders
    // of 150 bytes (one name may have 255), which are made. The file is not.
    std::string PathOfLength(size_t length) const {
        std::string folder = m_dir;
        if (length < folder.size() + 6) return std::string();
        while (length - folder.size() > 1 + 200) {
            folder += "/" + std::string(150, 'd');
            mkdir(folder.c_str(), 0755);
        }
        return folder + "/" + std::string(length - folder.size() - 1 - 4, 'n') + ".txt";
    }
    void Clear() {
        for (auto& kv : Listing()) unlink(P(kv.first).c_str());
    }

    ScratchDir m_scratch{"pardwell-conv-"};
    std::string m_dir;
};

TEST_F(ConvertPosix, ContentAndSideFileChains) {
    struct Case {
        const char* what;
        std::vector<std::string> present;  // side names already there
        bool backup;
        std::string expectedTemp;
        std::string expectedBackup;  // "" = none kept
    } const cases[] = {
        {"plain", {}, false, "x.txt.tmp", ""},
        {"tmp taken", {"x.txt.tmp"}, false, "x.txt.tmp2", ""},
        {"tmp, tmp2 taken", {"x.txt.tmp", "x.txt.tmp2"}, false, "x.txt.tmp3", ""},
        {"backup", {}, true, "x.txt.tmp", "x.txt.bak"},
        {"bak taken", {"x.txt.bak"}, true, "x.txt.tmp", "x.txt.bak2"},
        {"bak, bak2 taken", {"x.txt.bak", "x.txt.bak2"}, true, "x.txt.tmp", "x.txt.bak3"},
        {"bak taken, no backup", {"x.txt.bak"}, false, "x.txt.tmp", ""},
    };
    for (const Case& c : cases) {
        Clear();
        Write(P("x.txt"), kMixed);
        for (const std::string& n : c.present) Write(P(n), "keep " + n);
        FaultFileSystem fs(NativeFileSystem());
        ASSERT_TRUE(ConvertFile(fs, P("x.txt").c_str(), Options(2, true, true, true, c.backup)).ok())
            << c.what;
        ASSERT_EQ(fs.createdNames().size(), 1u) << c.what;
        EXPECT_EQ(fs.createdNames()[0], P(c.expectedTemp)) << c.what;
        std::map<std::string, std::string> expected;
        expected["x.txt"] = OracleConvert(kMixed, "\n");
        for (const std::string& n : c.present) expected[n] = "keep " + n;
        if (!c.expectedBackup.empty()) expected[c.expectedBackup] = kMixed;
        EXPECT_EQ(Listing(), expected) << c.what;
    }
}

TEST_F(ConvertPosix, SecondBackupRunTakesNextName) {
    Write(P("x.txt"), "a\nb\n");
    Write(P("x.txt.bak"), "old");
    ASSERT_TRUE(ConvertFile(NativeFileSystem(), P("x.txt").c_str(), Options(0, true, true, true, true)).ok());
    ASSERT_TRUE(ConvertFile(NativeFileSystem(), P("x.txt").c_str(), Options(1, true, true, true, true)).ok());
    EXPECT_EQ(Read(P("x.txt")), "a\rb\r");
    EXPECT_EQ(Read(P("x.txt.bak")), "old");
    EXPECT_EQ(Read(P("x.txt.bak2")), "a\nb\n");
    EXPECT_EQ(Read(P("x.txt.bak3")), "a\r\nb\r\n");
}

TEST_F(ConvertPosix, ReadOnlyHandling) {
    struct Case {
        bool ignoreReadOnly, keepAttributes, backup;
        int result;
        bool converted, readOnlyAfter;
    } const cases[] = {
        {false, true, false, -1, false, true},  // refused, untouched
        {true, true, false, 0, true, true},
        {true, false, false, 0, true, false},
        {true, true, true, 0, true, true},
    };
    for (const Case& c : cases) {
        Clear();
        Write(P("r.txt"), kMixed);
        chmod(P("r.txt").c_str(), 0444);
        EXPECT_EQ(ConvertFile(NativeFileSystem(), P("r.txt").c_str(),
                              Options(0, true, c.keepAttributes, c.ignoreReadOnly, c.backup))
                      .ok(),
                  c.result == 0);
        EXPECT_EQ(Read(P("r.txt")), c.converted ? OracleConvert(kMixed, "\r\n") : kMixed);
        EXPECT_EQ((Mode(P("r.txt")) & 0222) == 0, c.readOnlyAfter);
        if (c.backup) {
            // The backup is the original and keeps its attributes.
            EXPECT_EQ(Read(P("r.txt.bak")), kMixed);
            EXPECT_EQ(Mode(P("r.txt.bak")) & 0222, 0u);
        }
        EXPECT_EQ(Listing().size(), c.backup ? 2u : 1u);
        chmod(P("r.txt").c_str(), 0644);
    }
}

TEST_F(ConvertPosix, ModificationTimeKeptToTheSecond) {
    for (bool keep : {true, false}) {
        Write(P("t.txt"), "a\n");
        struct timeval tv[2] = {{1000000000, 700000}, {1200000000, 900000}};
        ASSERT_EQ(utimes(P("t.txt").c_str(), tv), 0);
        ASSERT_TRUE(
            ConvertFile(NativeFileSystem(), P("t.txt").c_str(), Options(0, keep, true, true, false)).ok());
        struct stat st;
        ASSERT_EQ(stat(P("t.txt").c_str(), &st), 0);
        if (keep) {
            EXPECT_EQ(st.st_mtime, 1200000000);
            EXPECT_EQ(st.st_atime, 1000000000);
        } else {
            EXPECT_GT(st.st_mtime, 1600000000);
        }
    }
}

TEST_F(ConvertPosix, RefusedBeforeAnythingIsTouched) {
    struct Case {
        const char* what;
        int format;
        size_t nameLength;  // length of the whole path
        std::vector<std::string> present;
    } const cases[] = {
        {"format 3", 3, 40, {}},
        {"format -1", -1, 40, {}},
        {"path + .tmp too long", 0, kMaxPathLength - 3, {}},
        {"path + .tmp2 too long", 0, kMaxPathLength - 4, {".tmp"}},
        {"path + .bak2 too long", 0, kMaxPathLength - 4, {".bak"}},
    };
    for (const Case& c : cases) {
        const std::string path = PathOfLength(c.nameLength);
        ASSERT_EQ(path.size(), c.nameLength) << c.what;
        const std::string folder = path.substr(0, path.rfind('/'));
        for (auto& kv : Listing(folder)) unlink((folder + "/" + kv.first).c_str());
        ASSERT_TRUE(WriteWholeFile(path, kMixed)) << c.what;
        for (const std::string& s : c.present) Write(path + s, "side");
        auto before = Listing(folder);
        FaultFileSystem fs(NativeFileSystem());
        EXPECT_FALSE(ConvertFile(fs, path.c_str(), Options(c.format, true, true, true, true)).ok()) << c.what;
        EXPECT_EQ(Listing(folder), before) << c.what;
        EXPECT_TRUE(fs.createdNames().empty()) << c.what;
    }
    // The longest path that still fits is converted.
    const std::string path = PathOfLength(kMaxPathLength - 4);
    for (const char* side : {".tmp", ".bak"}) unlink((path + side).c_str());
    ASSERT_TRUE(WriteWholeFile(path, "a\n"));
    EXPECT_TRUE(ConvertFile(NativeFileSystem(), path.c_str(), Options(0, true, true, true, true)).ok());
    EXPECT_EQ(Read(path), "a\r\n");
}

// A path of 1,100 bytes and more in three scripts, each name well inside
// NAME_MAX: converted whole, side files beside it.
TEST_F(ConvertPosix, DeepPathInAnyScriptConvertsWithItsSideFiles) {
    const std::string folder = MakeDeepFolder(m_dir, 600);
    ASSERT_FALSE(folder.empty());
    ASSERT_GT(folder.size(), 1100u);
    ExpectDeepPathConversions(folder, '/');
}

// Large enough to be written on a second thread: the same result, times
// and attributes as a small file gets.
TEST_F(ConvertPosix, LargeFileWrittenBehindConvertsWhole) {
    ExpectLargeFileConversions(m_dir, '/');
}

TEST_F(ConvertPosix, MissingFileAndFolderFail) {
    for (bool ignoreReadOnly : {false, true}) {
        for (const std::string& path : {P("absent.txt"), m_dir}) {
            EXPECT_EQ(
                ConvertFile(NativeFileSystem(), path.c_str(), Options(0, true, true, ignoreReadOnly, false))
                    .failure,
                ConvertFailure::CannotOpen)
                << path;
        }
    }
    EXPECT_TRUE(Listing().empty());
}

// Each reason arises from its own cause. Where the cause can be made real
// here it is: a read-only or missing file, a name too long for the file
// system, a backup name taken after it was checked (the rename refuses to
// replace it), a path too long. A failing read, write, create or remove is
// injected at the first such operation.
TEST_F(ConvertPosix, EachFailureNamesItsCause) {
    enum class Outcome { Untouched, Converted, Gone };
    struct Case {
        const char* what;
        std::string name;                  // file to convert, in the test folder
        std::vector<std::string> present;  // side files there beforehand
        mode_t mode;
        int format;
        bool ignoreReadOnly;
        std::string failFirst;  // operation to fail, "" for none
        std::string hideFromExists;
        bool backup;
        ConvertFailure expected;
        Outcome outcome;
    };
    // NAME_MAX is 255: the file's own name fits, its ".tmp" name does not. As a
    // relative path all names stay inside the path limit.
    const std::string longName = std::string(249, 'l') + ".txt";
    // One name could not be that long: "./" over and over leads to x.txt.
    const size_t padding = kMaxPathLength - 3 - P("").size() - 5;
    std::string tooLong = "/";
    for (size_t i = 0; i < padding / 2; ++i) tooLong += "./";
    tooLong += std::string(padding % 2, '/') + "x.txt";
    // One row a case: the table reads better than one field a line.
    // clang-format off
    const Case cases[] = {
        {"converted", "x.txt", {}, 0644, 0, false, "", "", false, ConvertFailure::None, Outcome::Converted},
        {"converted with a backup", "x.txt", {}, 0444, 0, true, "", "", true, ConvertFailure::None,
         Outcome::Converted},
        {"read-only refused", "x.txt", {}, 0444, 0, false, "", "", false,
         ConvertFailure::ReadOnly, Outcome::Untouched},
        {"missing file", "", {}, 0644, 0, true, "", "", false, ConvertFailure::CannotOpen, Outcome::Gone},
        {"temp name too long for the file system", longName, {}, 0644, 0, true, "", "", false,
         ConvertFailure::CannotCreateTemp, Outcome::Untouched},
        {"temp file not created", "x.txt", {}, 0644, 0, true, "CreateNew", "", false,
         ConvertFailure::CannotCreateTemp, Outcome::Untouched},
        {"original's times and attributes not read", "x.txt", {}, 0644, 0, true, "GetInfo", "", false,
         ConvertFailure::CannotOpen, Outcome::Untouched},
        {"read error", "x.txt", {}, 0644, 0, true, "Read", "", false,
         ConvertFailure::ReadWrite, Outcome::Untouched},
        {"write error", "x.txt", {}, 0644, 0, true, "Write", "", false,
         ConvertFailure::ReadWrite, Outcome::Untouched},
        {"times and attributes not given to the copy", "x.txt", {}, 0444, 0, true, "SetInfo", "", false,
         ConvertFailure::ReadWrite, Outcome::Untouched},
        {"data lost at close", "x.txt", {}, 0644, 0, true, "CloseWrite", "", false,
         ConvertFailure::ReadWrite, Outcome::Untouched},
        {"copy not moved in", "x.txt", {}, 0644, 0, true, "Replace", "", false,
         ConvertFailure::RenameFailed, Outcome::Untouched},
        {"read-only original not replaced, its attributes back", "x.txt", {}, 0444, 0, true, "Replace", "", false,
         ConvertFailure::RenameFailed, Outcome::Untouched},
        {"backup name taken after the check", "x.txt", {"x.txt.bak"}, 0644, 0, true, "", "x.txt.bak", true,
         ConvertFailure::RenameFailed, Outcome::Untouched},
        {"copy not moved in after the backup, the original back", "x.txt", {}, 0444, 0, true, "Rename", "",
         true, ConvertFailure::RenameFailed, Outcome::Untouched},
        {"path too long", tooLong, {}, 0644, 0, true, "", "", false,
         ConvertFailure::PathTooLong, Outcome::Untouched},
        {"format 3", "x.txt", {}, 0644, 3, true, "", "", false, ConvertFailure::InvalidFormat,
         Outcome::Untouched},
    };
    // clang-format on
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof(here)), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        // Relative to the test folder, so the long-name cases are measured by
        // their names alone.
        ASSERT_EQ(chdir(m_dir.c_str()), 0);
        // A name starting with "/" is converted by its absolute path.
        const bool absolute = c.name[0] == '/';
        const std::string file = c.name.empty() ? "absent.txt" : absolute ? c.name.substr(1) : c.name;
        const std::string path = absolute ? P(file) : file;
        if (!c.name.empty()) {
            Write(path, kMixed);
            chmod(path.c_str(), c.mode);
        }
        for (const std::string& n : c.present) Write(n, "keep " + n);
        FaultFileSystem fs(NativeFileSystem());
        fs.RemoveLikeWindows();
        if (!c.failFirst.empty()) fs.FailFirst(c.failFirst);
        if (!c.hideFromExists.empty()) fs.HideFromExists(c.hideFromExists);
        const ConvertResult result =
            ConvertFile(fs, path.c_str(), Options(c.format, true, true, c.ignoreReadOnly, c.backup));
        const ConvertFailure failure = result.failure;
        const int rc = result.ok() ? 0 : -1;
        ASSERT_EQ(chdir(here), 0);
        EXPECT_EQ(failure, c.expected);
        EXPECT_EQ(rc, c.expected == ConvertFailure::None ? 0 : -1);
        EXPECT_EQ(fs.faultHit(), !c.failFirst.empty()) << "the planned fault never happened";
        std::map<std::string, std::string> expected;
        for (const std::string& n : c.present) expected[n] = "keep " + n;
        const std::string listed = file.substr(file.rfind('/') + 1);
        if (c.outcome == Outcome::Untouched) expected[listed] = kMixed;
        if (c.outcome == Outcome::Converted) expected[listed] = OracleConvert(kMixed, "\r\n");
        if (c.backup && c.outcome == Outcome::Converted) expected[file + ".bak"] = kMixed;
        EXPECT_EQ(Listing(), expected);
        if (c.outcome == Outcome::Untouched) {
            EXPECT_EQ(Mode(P(file)), c.mode);
        }
        if (c.outcome == Outcome::Converted) {
            // Read-only is the one attribute POSIX has to keep.
            EXPECT_EQ((Mode(P(file)) & 0222) == 0, (c.mode & 0222) == 0);
            if (c.backup) {
                EXPECT_EQ(Mode(P(file + ".bak")), c.mode);
            }
        }
    }
}

// A link planted at the temporary name after the existence check: the
// create-new open refuses it and the next name is used; the link's target
// is never written.
TEST_F(ConvertPosix, PlantedLinkAtTempNameIsNotWrittenThrough) {
    Write(P("a.txt"), "a\nb\n");
    ASSERT_EQ(symlink(P("victim").c_str(), P("a.txt.tmp").c_str()), 0);
    FaultFileSystem fs(NativeFileSystem());
    fs.HideFromExists(P("a.txt.tmp"));
    ASSERT_TRUE(ConvertFile(fs, P("a.txt").c_str(), Options(0, true, true, true, false)).ok());
    EXPECT_EQ(fs.createdNames(), std::vector<std::string>{P("a.txt.tmp2")});
    EXPECT_EQ(Read(P("a.txt")), "a\r\nb\r\n");
    EXPECT_EQ(access(P("victim").c_str(), F_OK), -1);
    struct stat st;
    EXPECT_EQ(lstat(P("a.txt.tmp").c_str(), &st), 0);
    EXPECT_FALSE(Listing().count("a.txt.tmp2"));
}

// Fail operation k for k = 1, 2, ... until a run meets no fault. After each
// run nothing may be lost: the file holds the original or the converted
// content, no temporary file is left, a side file is the original, and a
// file still holding the original has its own permissions back.
TEST_F(ConvertPosix, FailureAtEveryOperationLosesNothing) {
    struct Case {
        bool keepTimestamp, keepAttributes, backup, readOnly;
    } const cases[] = {
        {true, true, false, false}, {true, true, true, false}, {false, false, false, false},
        {true, true, false, true},  {true, true, true, true},  {false, true, true, true},
    };
    // Larger than one block so reads and writes happen more than once.
    std::string original;
    for (int i = 0; i < 9000; ++i) original += "line " + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    const std::string converted = OracleConvert(original, "\r");
    // The reason a failed run gives for the operation that failed first.
    const std::map<std::string, ConvertFailure> reasonOf = {
        {"GetAttributes", ConvertFailure::CannotOpen}, {"GetTimes", ConvertFailure::CannotOpen},
        {"OpenRead", ConvertFailure::CannotOpen},      {"CreateNew", ConvertFailure::CannotCreateTemp},
        {"Read", ConvertFailure::ReadWrite},           {"Write", ConvertFailure::ReadWrite},
        {"CloseWrite", ConvertFailure::ReadWrite},     {"SetTimes", ConvertFailure::ReadWrite},
        {"GetInfo", ConvertFailure::CannotOpen},       {"SetInfo", ConvertFailure::ReadWrite},
        {"Rename", ConvertFailure::RenameFailed},      {"Replace", ConvertFailure::RenameFailed},
        {"GetPathInfo", ConvertFailure::CannotOpen},
    };
    for (const Case& c : cases) {
        int failures = 0;
        for (int k = 1;; ++k) {
            ASSERT_LT(k, 500) << "the run never completes";
            Clear();
            Write(P("f.txt"), original);
            const mode_t mode = c.readOnly ? 0444 : 0640;
            chmod(P("f.txt").c_str(), mode);
            FaultFileSystem fs(NativeFileSystem(), k);
            fs.RemoveLikeWindows();
            const ConvertResult result = ConvertFile(
                fs, P("f.txt").c_str(), Options(1, c.keepTimestamp, c.keepAttributes, true, c.backup));
            const ConvertFailure failure = result.failure;
            const int rc = result.ok() ? 0 : -1;
            std::ostringstream where;
            where << "k=" << k << " backup=" << c.backup << " ro=" << c.readOnly << " failed "
                  << fs.failedKind();
            if (rc == 0) {
                EXPECT_EQ(failure, ConvertFailure::None) << where.str();
            } else {
                auto reason = reasonOf.find(fs.failedKind());
                ASSERT_NE(reason, reasonOf.end()) << where.str();
                EXPECT_EQ(failure, reason->second) << where.str();
            }
            auto files = Listing();
            ASSERT_TRUE(files.count("f.txt")) << where.str();
            const std::string& now = files["f.txt"];
            ASSERT_TRUE(now == original || now == converted) << where.str();
            if (now == original) {
                EXPECT_EQ(rc, -1) << where.str();
                EXPECT_EQ(Mode(P("f.txt")), mode) << where.str();
            }
            if (rc == 0 && c.keepAttributes) {
                // A success never hands over a copy without the original's attributes.
                EXPECT_EQ((Mode(P("f.txt")) & 0222) == 0, c.readOnly) << where.str();
            }
            for (auto& kv : files) {
                if (kv.first == "f.txt") continue;
                EXPECT_EQ(kv.first.rfind("f.txt.bak", 0), 0u) << where.str() << " left " << kv.first;
                EXPECT_EQ(kv.second, original) << where.str() << " " << kv.first;
            }
            if (!fs.faultHit()) {
                EXPECT_EQ(rc, 0) << where.str();
                EXPECT_EQ(now, converted);
                EXPECT_EQ(files.size(), c.backup ? 2u : 1u);
                break;
            }
            if (rc == 0) {
                // Only a fault the conversion can shrug off may end in success:
                // clearing the original's attributes (POSIX needs no clearing
                // to rename), a false "taken", closing the input.
                const std::string& kind = fs.failedKind();
                EXPECT_TRUE(kind == "Exists" || kind == "CloseRead" || kind == "ClearAttributes")
                    << where.str() << " success despite failed " << kind;
                EXPECT_EQ(now, converted) << where.str();
                EXPECT_EQ(files.size(), c.backup ? 2u : 1u) << where.str();
            } else {
                ++failures;
            }
        }
        // Fewer for the plainest flags: one replacing move, nothing set.
        EXPECT_GE(failures, 8);
    }
}

}  // namespace

namespace {

std::string Lines(int count, const char* brk) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "line " + std::to_string(i) + brk;
    return s;
}

// Files left as they were: nothing created, renamed, removed or re-stamped,
// whatever the flags; and files whose first change or first sign of being
// binary comes only in a later block.
TEST_F(ConvertPosix, FilesLeftAsTheyWereAndLateDecisions) {
    const std::string crlf = Lines(30000, "\r\n");  // several blocks
    const std::string lateLf = crlf + "tail\n";
    const std::string lateNul = crlf + std::string("\0", 1);
    const std::string utf16 = std::string("\xFF\xFEo\0n\0e\0\r\0\n\0t\0w\0o\0\n\0", 20);
    struct Case {
        const char* what;
        std::string content;
        int format;
        bool skipBinary;
        ConvertOutcome outcome;
        std::string expected;  // the file afterwards
        size_t created;        // temporary files made on the way
    } const cases[] = {
        {"already CR LF", crlf, 0, true, ConvertOutcome::AlreadyInFormat, crlf, 0},
        {"already LF", "a\nb\n", 2, true, ConvertOutcome::AlreadyInFormat, "a\nb\n", 0},
        {"empty", "", 1, true, ConvertOutcome::AlreadyInFormat, "", 0},
        {"no breaks at all", "abc", 0, false, ConvertOutcome::AlreadyInFormat, "abc", 0},
        {"binary at the first byte", std::string("\0\n\r", 3), 0, true, ConvertOutcome::SkippedBinary,
         std::string("\0\n\r", 3), 0},
        {"binary in a later block", "a\n" + lateNul, 0, true, ConvertOutcome::SkippedBinary, "a\n" + lateNul,
         1},
        {"binary by its controls, at the end", "a\n" + std::string(600, '\x01'), 0, true,
         ConvertOutcome::SkippedBinary, "a\n" + std::string(600, '\x01'), 1},
        {"binary converted when not skipped", "a\n" + lateNul, 0, false, ConvertOutcome::Converted,
         OracleConvert("a\n" + lateNul, "\r\n"), 1},
        {"first change in a later block", lateLf, 0, true, ConvertOutcome::Converted, crlf + "tail\r\n", 1},
        {"UTF-16 in units", utf16, 2, true, ConvertOutcome::Converted,
         std::string("\xFF\xFEo\0n\0e\0\n\0t\0w\0o\0\n\0", 18), 1},
    };
    for (const Case& c : cases) {
        for (bool backup : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (backup ? " backup" : ""));
            Clear();
            Write(P("f.txt"), c.content);
            chmod(P("f.txt").c_str(), 0444);
            struct timeval tv[2] = {{1000000000, 0}, {1200000000, 0}};
            ASSERT_EQ(utimes(P("f.txt").c_str(), tv), 0);
            FaultFileSystem fs(NativeFileSystem());
            // Times not kept: an untouched file keeps them all the same.
            const ConvertResult result = ConvertFile(
                fs, P("f.txt").c_str(), Options(c.format, false, true, true, backup, c.skipBinary));
            ASSERT_TRUE(result.ok());
            const ContentReport& report = result.content;
            EXPECT_EQ(report.outcome, c.outcome);
            EXPECT_EQ(fs.createdNames().size(), c.created);
            std::map<std::string, std::string> expected{{"f.txt", c.expected}};
            if (backup && c.outcome == ConvertOutcome::Converted) expected["f.txt.bak"] = c.content;
            EXPECT_EQ(Listing(), expected);
            struct stat st;
            ASSERT_EQ(stat(P("f.txt").c_str(), &st), 0);
            if (c.outcome != ConvertOutcome::Converted) {
                EXPECT_EQ(st.st_mtime, 1200000000);
                EXPECT_EQ(Mode(P("f.txt")), 0444u);
            }
            chmod(P("f.txt").c_str(), 0644);
        }
    }
}

// A final break alone makes a conversion: the whole file is the unchanged
// start, read a second time into the copy, which then gets the break.
TEST_F(ConvertPosix, FinalBreakAloneConvertsThroughACopy) {
    const std::string crlf = Lines(30000, "\r\n");  // several blocks
    struct Case {
        const char* what;
        std::string content;
        ConvertOutcome outcome;
        std::string expected;
    } const cases[] = {
        {"last line without a break", crlf + "tail", ConvertOutcome::Converted, crlf + "tail\r\n"},
        {"ends in a break", crlf, ConvertOutcome::AlreadyInFormat, crlf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        Write(P("f.txt"), c.content);
        ConvertOptions options = Options(0, true, true, true, true);
        options.insertFinalNewline = true;
        const ConvertResult result = ConvertFile(NativeFileSystem(), P("f.txt").c_str(), options);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.content.outcome, c.outcome);
        EXPECT_EQ(result.content.finalBreak, c.outcome != ConvertOutcome::Converted);
        std::map<std::string, std::string> expected{{"f.txt", c.expected}};
        if (c.outcome == ConvertOutcome::Converted) expected["f.txt.bak"] = c.content;
        EXPECT_EQ(Listing(), expected);
    }
}

// The lazy paths under a failure at every operation: a change met only in a
// later block (the unchanged start is read a second time), binary found
// late, and a file already in format. Nothing may be lost or left behind.
TEST_F(ConvertPosix, FailureAtEveryOperationOnTheLazyPaths) {
    const std::string crlf = Lines(20000, "\r\n");
    struct Case {
        const char* what;
        std::string content;
        bool converts;
    } const cases[] = {
        {"late change", crlf + "x\n", true},
        {"late binary", crlf + std::string("\0", 1), false},
        {"in format", crlf, false},
    };
    for (const Case& c : cases) {
        const std::string converted = OracleConvert(c.content, "\r\n");
        for (int k = 1;; ++k) {
            ASSERT_LT(k, 500) << "the run never completes";
            Clear();
            Write(P("f.txt"), c.content);
            FaultFileSystem fs(NativeFileSystem(), k);
            const ConvertResult result =
                ConvertFile(fs, P("f.txt").c_str(), Options(0, true, true, true, false, true));
            const int rc = result.ok() ? 0 : -1;
            const std::string where = std::string(c.what) + " k=" + std::to_string(k) + " " + fs.failedKind();
            auto files = Listing();
            ASSERT_TRUE(files.count("f.txt")) << where;
            const std::string& now = files["f.txt"];
            for (auto& kv : files) {
                if (kv.first == "f.txt") continue;
                // Only the original, kept after a failed remove, may stay beside it.
                EXPECT_EQ(kv.first, "f.txt.bak") << where;
                EXPECT_EQ(kv.second, c.content) << where;
                EXPECT_EQ(rc, -1) << where;
            }
            EXPECT_TRUE(now == c.content || (c.converts && now == converted)) << where;
            if (rc == 0 && c.converts) {
                EXPECT_EQ(now, converted) << where;
            }
            if (!fs.faultHit()) {
                EXPECT_EQ(rc, 0) << where;
                break;
            }
        }
    }
}

}  // namespace

namespace {

// Another program saves the file between our read and the replace (or the
// move aside, with a backup), at once or while a held file is waited for:
// its save stays, nothing of ours is left, and the reason says why. The
// same size within the same second is told by the write time's fraction.
TEST_F(ConvertPosix, AFileChangedDuringItsConversionKeepsTheChange) {
    const std::string original = Lines(300, "\n");
    std::string sameSize = original;
    sameSize[0] = 'L';
    const struct timespec kRead = {1200000000, 300000000};
    auto stamp = [&](const struct timespec& t) {
        const struct timespec times[2] = {t, t};
        ASSERT_EQ(utimensat(AT_FDCWD, P("f.txt").c_str(), times, 0), 0);
    };
    struct Case {
        const char* what;
        std::string saved;  // "" for a file removed
        struct timespec time;
    } const cases[] = {
        {"grown, its time put back", original + "more\n", kRead},
        {"same size, a later second", sameSize, {kRead.tv_sec + 5, kRead.tv_nsec}},
        {"same size, the same second", sameSize, {kRead.tv_sec, 700000000}},
        {"removed", "", {}},
    };
    for (const Case& c : cases) {
        for (bool backup : {false, true}) {
            for (bool heldFirst : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.what << " backup " << backup << " held " << heldFirst);
                Clear();
                Write(P("f.txt"), original);
                stamp(kRead);
                FaultFileSystem fs(NativeFileSystem());
                auto change = [&] {
                    if (c.saved.empty()) {
                        unlink(P("f.txt").c_str());
                        return;
                    }
                    Write(P("f.txt"), c.saved);
                    stamp(c.time);
                };
                const char* step = backup ? "Rename" : "Replace";
                if (heldFirst) {
                    fs.FailFirst(step, 1, FileError::InUse);
                    fs.After(step, change);
                } else {
                    fs.After("CloseRead", change);
                }
                RecordingStop stop;
                ConvertOptions options = Options(0, true, true, true, backup);
                options.stop = &stop;
                EXPECT_EQ(ConvertFile(fs, P("f.txt").c_str(), options).failure, ConvertFailure::Changed);
                std::map<std::string, std::string> expected;
                if (!c.saved.empty()) expected["f.txt"] = c.saved;
                EXPECT_EQ(Listing(), expected);
                EXPECT_EQ(stop.waits, InUseWaits(heldFirst ? 1 : 0));
            }
        }
    }
}

// A file held by another program is tried again after each wait of the
// schedule, and only while it is held: an access denial counts unless a
// read-only attribute explains it. A stop ends the waiting at once.
TEST_F(ConvertPosix, AHeldFileIsTriedAgainOnItsSchedule) {
    constexpr size_t kAll = std::size(kInUseWaitsMs);
    struct Case {
        const char* what;
        const char* step;
        int times;  // tries that fail
        FileError error;
        bool readOnly, backup;
        size_t stopAt;  // the wait that a stop request ends
        ConvertFailure expected;
        size_t waits;
    } const cases[] = {
        {"open held once", "OpenRead", 1, FileError::InUse, false, false, 0, ConvertFailure::None, 1},
        {"open held to the last try", "OpenRead", kAll, FileError::InUse, false, false, 0,
         ConvertFailure::None, kAll},
        {"open held past the last wait", "OpenRead", kAll + 1, FileError::InUse, false, false, 0,
         ConvertFailure::InUse, kAll},
        {"open denied, not read-only", "OpenRead", 2, FileError::AccessDenied, false, false, 0,
         ConvertFailure::None, 2},
        {"open denied, read-only", "OpenRead", 1, FileError::AccessDenied, true, false, 0,
         ConvertFailure::CannotOpen, 0},
        {"open failed otherwise", "OpenRead", 1, FileError::Other, false, false, 0,
         ConvertFailure::CannotOpen, 0},
        {"replace held", "Replace", 3, FileError::InUse, false, false, 0, ConvertFailure::None, 3},
        {"replace denied, read-only cleared first", "Replace", 2, FileError::AccessDenied, true, false, 0,
         ConvertFailure::None, 2},
        {"replace held past the last wait", "Replace", kAll + 1, FileError::InUse, true, false, 0,
         ConvertFailure::InUse, kAll},
        {"move aside held", "Rename", 2, FileError::InUse, false, true, 0, ConvertFailure::None, 2},
        {"move aside held past the last wait", "Rename", kAll + 1, FileError::InUse, false, true, 0,
         ConvertFailure::InUse, kAll},
        {"stop while waiting to open", "OpenRead", kAll + 1, FileError::InUse, false, false, 1,
         ConvertFailure::Stopped, 1},
        {"stop while waiting to replace", "Replace", kAll + 1, FileError::InUse, false, false, 3,
         ConvertFailure::Stopped, 3},
    };
    const std::string original = Lines(100, "\n");
    const std::string converted = OracleConvert(original, "\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        Write(P("f.txt"), original);
        chmod(P("f.txt").c_str(), c.readOnly ? 0444 : 0640);
        FaultFileSystem fs(NativeFileSystem());
        fs.FailFirst(c.step, c.times, c.error);
        RecordingStop stop(c.stopAt);
        ConvertOptions options = Options(0, true, true, true, c.backup);
        options.stop = &stop;
        EXPECT_EQ(ConvertFile(fs, P("f.txt").c_str(), options).failure, c.expected);
        EXPECT_EQ(stop.waits, InUseWaits(c.waits));
        std::map<std::string, std::string> expected{{"f.txt", original}};
        if (c.expected == ConvertFailure::None) {
            expected["f.txt"] = converted;
            if (c.backup) expected["f.txt.bak"] = original;
        }
        EXPECT_EQ(Listing(), expected);
        EXPECT_EQ((Mode(P("f.txt")) & 0222) == 0, c.readOnly);
    }
    // Growing waits of about two seconds in all.
    unsigned total = 0;
    for (size_t i = 0; i < kAll; ++i) {
        if (i > 0) {
            EXPECT_GT(kInUseWaitsMs[i], kInUseWaitsMs[i - 1]);
        }
        total += kInUseWaitsMs[i];
    }
    EXPECT_TRUE(total >= 1500 && total <= 2500) << total;
}

TEST_F(ConvertPosix, ScanReadsWithoutChanging) {
    Write(P("s.txt"), "a\r\nb\nc\r");
    struct timeval tv[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(utimes(P("s.txt").c_str(), tv), 0);
    FaultFileSystem fs(NativeFileSystem());
    ContentReport report;
    ConvertFailure failure = ConvertFailure::ReadOnly;
    ASSERT_EQ(ScanFile(fs, P("s.txt").c_str(), &report, &failure), 0);
    EXPECT_EQ(failure, ConvertFailure::None);
    EXPECT_EQ(report.crlf, 1u);
    EXPECT_EQ(report.lf, 1u);
    EXPECT_EQ(report.cr, 1u);
    EXPECT_TRUE(report.finalBreak);
    EXPECT_TRUE(fs.createdNames().empty());
    EXPECT_EQ(Listing(), (std::map<std::string, std::string>{{"s.txt", "a\r\nb\nc\r"}}));
    struct stat st;
    ASSERT_EQ(stat(P("s.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1200000000);
    for (const std::string& path : {P("absent.txt"), m_dir, std::string()}) {
        EXPECT_EQ(ScanFile(fs, path.c_str(), &report, &failure), -1) << path;
        EXPECT_EQ(failure, ConvertFailure::CannotOpen) << path;
    }
    FaultFileSystem failing(NativeFileSystem());
    failing.FailFirst("Read");
    EXPECT_EQ(ScanFile(failing, P("s.txt").c_str(), &report, &failure), -1);
    EXPECT_EQ(failure, ConvertFailure::ReadWrite);
}

}  // namespace
