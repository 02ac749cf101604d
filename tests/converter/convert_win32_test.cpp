// The whole conversion through the real Win32 calls under Wine: attributes,
// times, side-file chains, refusals and a destination held open by another
// process. The ConvertWin32Faults cases need a prepared disk and are run by
// run_fault_tests.sh, which sets PARDWELL_FULL_DIR and PARDWELL_LINK_DIR.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "core/converter.h"
#include "core/write_behind.h"
#include "tests/converter/deep_path_cases.h"
#include "tests/converter/fault_file_system.h"
#include "tests/converter/large_file_cases.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr DWORD kRHS = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::string ReadAll(const std::string& path) {
    return ReadWholeFile(path, "<missing>");
}

// Name -> content of every file in folder.
std::map<std::string, std::string> Listing(const std::string& folder) {
    std::map<std::string, std::string> out;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::string n = d.cFileName;
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out[n] = ReadAll(folder + "\\" + n);
    } while (FindNextFileA(h, &d));
    FindClose(h);
    return out;
}

int64_t WriteSeconds(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return -1;
    ULARGE_INTEGER t;
    t.LowPart = a.ftLastWriteTime.dwLowDateTime;
    t.HighPart = a.ftLastWriteTime.dwHighDateTime;
    return static_cast<int64_t>(t.QuadPart / 10000000ULL);
}

class ConvertWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = m_scratch.path();
        ASSERT_FALSE(m_dir.empty());
    }
    std::string P(const std::string& name) const { return m_dir + "\\" + name; }
    static void Write(const std::string& path, const std::string& data) { WriteWholeFile(path, data); }
    void Clear() {
        for (auto& kv : Listing(m_dir)) {
            SetFileAttributesA(P(kv.first).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(P(kv.first).c_str());
        }
    }
    ScratchDir m_scratch{"pardwell-conv-"};
    std::string m_dir;
};

TEST_F(ConvertWin32, ContentOfEveryFormat) {
    std::vector<BreakCase> cases = SharedBreakCases();
    cases.insert(cases.end(), {
                                  {"\r\n\n", 1, "\r\r"},
                                  {kMixed, 0, OracleConvert(kMixed, "\r\n")},
                                  {kMixed, 1, OracleConvert(kMixed, "\r")},
                                  {kMixed, 2, OracleConvert(kMixed, "\n")},
                              });
    for (const BreakCase& c : cases) {
        Clear();
        Write(P("x.txt"), c.input);
        ASSERT_TRUE(
            ConvertFile(NativeFileSystem(), P("x.txt").c_str(), Options(c.format, true, true, true, false))
                .ok());
        EXPECT_EQ(Listing(m_dir), (std::map<std::string, std::string>{{"x.txt", c.expected}}))
            << "format " << c.format;
    }
}

TEST_F(ConvertWin32, AttributesKeptOrDroppedAsTheFlagsSay) {
    const DWORD sets[] = {0, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, kRHS};
    for (DWORD attrs : sets) {
        for (bool keep : {true, false}) {
            for (bool backup : {false, true}) {
                Clear();
                Write(P("a.txt"), kMixed);
                ASSERT_TRUE(SetFileAttributesA(P("a.txt").c_str(), attrs ? attrs : FILE_ATTRIBUTE_NORMAL));
                ASSERT_TRUE(
                    ConvertFile(NativeFileSystem(), P("a.txt").c_str(), Options(2, true, keep, true, backup))
                        .ok())
                    << attrs << keep << backup;
                EXPECT_EQ(GetFileAttributesA(P("a.txt").c_str()) & kRHS, keep ? attrs : 0u)
                    << "attrs " << attrs << " keep " << keep << " backup " << backup;
                EXPECT_EQ(ReadAll(P("a.txt")), OracleConvert(kMixed, "\n"));
                if (backup) {
                    EXPECT_EQ(ReadAll(P("a.txt.bak")), kMixed);
                    EXPECT_EQ(GetFileAttributesA(P("a.txt.bak").c_str()) & kRHS, attrs) << "backup " << attrs;
                }
                EXPECT_EQ(Listing(m_dir).size(), backup ? 2u : 1u);
            }
        }
    }
}

TEST_F(ConvertWin32, ModificationTimeKeptToTheSecond) {
    for (bool keep : {true, false}) {
        Clear();
        Write(P("t.txt"), "a\nb\n");
        HANDLE h =
            CreateFileA(P("t.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ULARGE_INTEGER t;
        t.QuadPart = 126000000000000000ULL + 7000000ULL;  // 2000-04-13, plus 0.7 s
        FILETIME ft{t.LowPart, t.HighPart};
        ASSERT_TRUE(SetFileTime(h, nullptr, &ft, &ft));
        CloseHandle(h);
        const int64_t before = WriteSeconds(P("t.txt"));
        ASSERT_TRUE(
            ConvertFile(NativeFileSystem(), P("t.txt").c_str(), Options(0, keep, true, true, false)).ok());
        if (keep) {
            EXPECT_EQ(WriteSeconds(P("t.txt")), before);
        } else {
            EXPECT_GT(WriteSeconds(P("t.txt")), before + 3600LL * 24 * 365);
        }
    }
}

TEST_F(ConvertWin32, SideFileChains) {
    struct Case {
        std::vector<std::string> present;
        bool backup;
        std::string expectedTemp, expectedBackup;
    } const cases[] = {
        {{}, false, "x.txt.tmp", ""},
        {{"x.txt.tmp"}, false, "x.txt.tmp2", ""},
        {{"x.txt.tmp", "x.txt.tmp2"}, false, "x.txt.tmp3", ""},
        {{"x.txt.bak"}, true, "x.txt.tmp", "x.txt.bak2"},
        {{"x.txt.bak", "x.txt.bak2"}, true, "x.txt.tmp", "x.txt.bak3"},
    };
    for (const Case& c : cases) {
        Clear();
        Write(P("x.txt"), kMixed);
        for (const std::string& n : c.present) Write(P(n), "keep " + n);
        FaultFileSystem fs(NativeFileSystem());
        ASSERT_TRUE(ConvertFile(fs, P("x.txt").c_str(), Options(0, true, true, true, c.backup)).ok());
        EXPECT_EQ(fs.createdNames(), std::vector<std::string>{P(c.expectedTemp)});
        std::map<std::string, std::string> expected{{"x.txt", OracleConvert(kMixed, "\r\n")}};
        for (const std::string& n : c.present) expected[n] = "keep " + n;
        if (!c.expectedBackup.empty()) expected[c.expectedBackup] = kMixed;
        EXPECT_EQ(Listing(m_dir), expected);
    }
    // A second backup run on the same file moves up the chain again.
    ASSERT_TRUE(ConvertFile(NativeFileSystem(), P("x.txt").c_str(), Options(2, true, true, true, true)).ok());
    EXPECT_EQ(ReadAll(P("x.txt.bak4")), OracleConvert(kMixed, "\r\n"));
}

TEST_F(ConvertWin32, RefusalsTouchNothing) {
    struct Case {
        const char* what;
        DWORD attrs;
        int format;
        bool ignoreReadOnly;
        ConvertFailure expected;
    } const cases[] = {
        {"read-only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 0, false, ConvertFailure::ReadOnly},
        {"format 3", FILE_ATTRIBUTE_NORMAL, 3, true, ConvertFailure::InvalidFormat},
        {"format -1", FILE_ATTRIBUTE_NORMAL, -1, true, ConvertFailure::InvalidFormat},
    };
    for (const Case& c : cases) {
        Clear();
        Write(P("r.txt"), kMixed);
        SetFileAttributesA(P("r.txt").c_str(), c.attrs);
        const int64_t mtime = WriteSeconds(P("r.txt"));
        EXPECT_EQ(ConvertFile(NativeFileSystem(), P("r.txt").c_str(),
                              Options(c.format, true, true, c.ignoreReadOnly, true))
                      .failure,
                  c.expected)
            << c.what;
        EXPECT_EQ(Listing(m_dir), (std::map<std::string, std::string>{{"r.txt", kMixed}})) << c.what;
        EXPECT_EQ(GetFileAttributesA(P("r.txt").c_str()) & kRHS, c.attrs & kRHS) << c.what;
        EXPECT_EQ(WriteSeconds(P("r.txt")), mtime) << c.what;
    }
    for (const std::string& path : {P("absent.txt"), m_dir}) {
        EXPECT_EQ(ConvertFile(NativeFileSystem(), path.c_str(), Options(0, true, true, true, false)).failure,
                  ConvertFailure::CannotOpen)
            << path;
    }
}

// Past MAX_PATH in three scripts, under the manifest's UTF-8 code page.
TEST_F(ConvertWin32, DeepPathInAnyScriptConvertsWithItsSideFiles) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    const std::string folder = MakeDeepFolder(m_dir, 600);
    ASSERT_FALSE(folder.empty());
    ExpectDeepPathConversions(folder, '\\');
}

// Large enough to be written on a second thread: the same result, times
// and attributes as a small file gets.
TEST_F(ConvertWin32, LargeFileWrittenBehindConvertsWhole) {
    ExpectLargeFileConversions(m_dir, '\\');
}

// The limit is the "\\?\" form's 32,767 UTF-16 units, side name included,
// counted in units, not bytes: a path past it is refused before anything is
// touched, one at it is tried (and is missing here). Wine cannot hold such a
// path on its Linux file system, so only the check itself is seen.
TEST_F(ConvertWin32, SideNamesUpToTheWidePathLimit) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    const std::string e = "\xC3\xA9";  // é: two bytes, one unit
    struct Case {
        size_t past;  // units of "\\?\" + path + ".tmp" past the limit
        ConvertFailure expected;
    } const cases[] = {{0, ConvertFailure::CannotOpen}, {1, ConvertFailure::PathTooLong}};
    for (const Case& c : cases) {
        const size_t units = kMaxPathLength - 4 - 4 + c.past;
        std::string path = "C:";
        size_t have = 2;
        for (; units - have > 101 + 10; have += 101) {
            path += "\\";
            for (int i = 0; i < 100; ++i) path += e;
        }
        path += "\\" + std::string(units - have - 1, 'x');
        FaultFileSystem fs(NativeFileSystem());
        EXPECT_EQ(ConvertFile(fs, path.c_str(), Options(0, true, true, true, true)).failure, c.expected)
            << c.past;
        EXPECT_TRUE(fs.createdNames().empty()) << c.past;
    }
}

// Another program: one of the helpers built beside this test, started with
// args and ended (if still running) when this goes.
class Helper {
public:
    Helper(const char* exe, const std::string& args) {
        char self[MAX_PATH];
        std::string path(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
        path = path.substr(0, path.find_last_of("\\/") + 1) + exe;
        std::string cmd = "\"" + path + "\" " + args;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        m_started = CreateProcessA(path.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                   &m_pi) != 0;
    }
    ~Helper() {
        if (!m_started) return;
        TerminateProcess(m_pi.hProcess, 0);
        WaitForSingleObject(m_pi.hProcess, 10000);
        CloseHandle(m_pi.hProcess);
        CloseHandle(m_pi.hThread);
    }
    bool started() const { return m_started; }
    // Its exit code once it has ended, or -1.
    int Finish() {
        DWORD code = 0;
        if (!m_started || WaitForSingleObject(m_pi.hProcess, 30000) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_pi.hProcess, &code))
            return -1;
        return static_cast<int>(code);
    }

private:
    PROCESS_INFORMATION m_pi{};
    bool m_started = false;
};

// Starts a helper that holds path open for ms with share ("read" or "none")
// and returns once it holds it.
std::unique_ptr<Helper> HoldOpen(const std::string& path, int ms, const char* share) {
    const std::string ready = path + "-ready";
    DeleteFileA(ready.c_str());
    auto helper = std::make_unique<Helper>(
        "converter_hold_open.exe", "\"" + path + "\" " + std::to_string(ms) + " \"" + ready + "\" " + share);
    for (int i = 0;
         i < 2000 && helper->started() && GetFileAttributesA(ready.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(10);
    const bool holds = GetFileAttributesA(ready.c_str()) != INVALID_FILE_ATTRIBUTES;
    DeleteFileA(ready.c_str());
    return holds ? std::move(helper) : nullptr;
}

// Another program holds the original: without read sharing our open waits,
// without delete sharing the move aside or the replace. A hold of a moment
// is waited out; a longer one fails with its reason and leaves the file
// exactly as it was, and once released the file converts. Stop during the
// waiting ends it at once.
TEST_F(ConvertWin32, HeldOriginalIsWaitedForOrLeftAsItWas) {
    struct Case {
        const char* what;
        int holdMs;
        const char* share;
        bool backup;
        int stopAfterMs;  // 0: no stop
        ConvertFailure expected;
    } const cases[] = {
        {"a moment, the replace waits", 300, "read", false, 0, ConvertFailure::None},
        {"a moment, the move aside waits", 300, "read", true, 0, ConvertFailure::None},
        {"a moment, the open waits", 300, "none", false, 0, ConvertFailure::None},
        {"held on, replace", 5000, "read", false, 0, ConvertFailure::InUse},
        {"held on, move aside", 5000, "read", true, 0, ConvertFailure::InUse},
        {"held on, open", 5000, "none", true, 0, ConvertFailure::InUse},
        {"held on, Stop while waiting", 5000, "read", false, 200, ConvertFailure::Stopped},
    };
    const DWORD attrs = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear();
        Write(P("h.txt"), kMixed);
        SetFileAttributesA(P("h.txt").c_str(), attrs);
        std::unique_ptr<Helper> holder = HoldOpen(P("h.txt"), c.holdMs, c.share);
        ASSERT_TRUE(holder) << "the helper did not start";
        RecordingStop stop(0, true);
        ConvertOptions options = Options(0, true, true, true, c.backup);
        options.stop = &stop;
        DWORD requested = 0;
        std::thread stopper([&] {
            if (!c.stopAfterMs) return;
            Sleep(c.stopAfterMs);
            requested = GetTickCount();
            stop.Request();
        });
        const ConvertFailure failure = ConvertFile(NativeFileSystem(), P("h.txt").c_str(), options).failure;
        const DWORD ended = GetTickCount();
        stopper.join();
        EXPECT_EQ(failure, c.expected);
        EXPECT_FALSE(stop.waits.empty()) << "converted without waiting: the hold proves nothing";
        if (c.stopAfterMs) {
            EXPECT_LT(ended - requested, 500u) << "Stop ends the waiting at once";
        } else if (c.expected == ConvertFailure::InUse) {
            EXPECT_EQ(stop.waits, InUseWaits(std::size(kInUseWaitsMs)));
        }
        // Ended, so that a file held without read sharing can be read.
        holder.reset();
        std::map<std::string, std::string> expected{{"h.txt", kMixed}};
        if (c.expected == ConvertFailure::None) {
            expected["h.txt"] = OracleConvert(kMixed, "\r\n");
            if (c.backup) expected["h.txt.bak"] = kMixed;
        }
        EXPECT_EQ(Listing(m_dir), expected);
        EXPECT_EQ(GetFileAttributesA(P("h.txt").c_str()) & kRHS, attrs);
        if (c.expected == ConvertFailure::None) continue;
        // Released, the same file converts.
        EXPECT_TRUE(
            ConvertFile(NativeFileSystem(), P("h.txt").c_str(), Options(0, true, true, true, c.backup)).ok());
        EXPECT_EQ(ReadAll(P("h.txt")), OracleConvert(kMixed, "\r\n"));
    }
}

// Another program saves the file after our read: the replace, or the move
// aside, would put back the older content. Its save stays and nothing of
// ours is left.
TEST_F(ConvertWin32, FileSavedByAnotherProgramDuringTheConversionKeepsTheSave) {
    const std::string saved = "saved by another program";
    for (bool backup : {false, true}) {
        SCOPED_TRACE(backup ? "backup" : "replace");
        Clear();
        Write(P("s.txt"), kMixed);
        FaultFileSystem fs(NativeFileSystem());
        int savedBy = -2;
        fs.After("CloseRead", [&] {
            savedBy = Helper("converter_save_file.exe", "\"" + P("s.txt") + "\" \"" + saved + "\"").Finish();
        });
        EXPECT_EQ(ConvertFile(fs, P("s.txt").c_str(), Options(0, true, true, true, backup)).failure,
                  ConvertFailure::Changed);
        EXPECT_EQ(savedBy, 0) << "the helper did not save";
        EXPECT_EQ(Listing(m_dir), (std::map<std::string, std::string>{{"s.txt", saved}}));
    }
}

void SetWriteTime(const std::string& path, uint64_t fileTime) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ULARGE_INTEGER t;
    t.QuadPart = fileTime;
    FILETIME ft{t.LowPart, t.HighPart};
    EXPECT_TRUE(SetFileTime(h, nullptr, &ft, &ft));
    CloseHandle(h);
}

std::string Lines(int count, const char* brk) {
    std::string s;
    for (int i = 0; i < count; ++i) s += "line " + std::to_string(i) + brk;
    return s;
}

// Files left as they were through the real calls: an unchanged file and
// a binary one, found at once or only in a later block, keep their bytes,
// write time (even when times are not to be kept) and attributes; no backup
// is made even when asked for, and no temporary file is ever created, or
// none is left. A UTF-16 file converts in its units.
TEST_F(ConvertWin32, FilesLeftAsTheyWere) {
    const std::string crlf = Lines(30000, "\r\n");  // several blocks
    const std::string lateNul = "a\n" + crlf + std::string("\0", 1);
    const std::string utf16 = std::string("\xFF\xFEo\0n\0e\0\n\0t\0w\0o\0\r\0", 18);
    struct Case {
        const char* what;
        std::string content;
        ConvertOutcome outcome;
        std::string expected;
        size_t tempFiles;  // made on the way
    } const cases[] = {
        {"already CR LF", crlf, ConvertOutcome::AlreadyInFormat, crlf, 0},
        {"no breaks", "abc", ConvertOutcome::AlreadyInFormat, "abc", 0},
        {"binary at the first byte", std::string("\0\n", 2), ConvertOutcome::SkippedBinary,
         std::string("\0\n", 2), 0},
        {"binary in a later block", lateNul, ConvertOutcome::SkippedBinary, lateNul, 1},
        {"UTF-16 without a mark", std::string("a\0\n\0", 4), ConvertOutcome::SkippedBinary,
         std::string("a\0\n\0", 4), 0},
        {"UTF-16 with a mark", utf16, ConvertOutcome::Converted,
         std::string("\xFF\xFEo\0n\0e\0\r\0\n\0t\0w\0o\0\r\0\n\0", 22), 1},
    };
    const uint64_t kOld = 126000000000000000ULL;  // 2000-04-13
    for (const Case& c : cases) {
        for (DWORD attrs : {DWORD(FILE_ATTRIBUTE_NORMAL), kRHS}) {
            for (bool backup : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.what << " attrs " << attrs << " backup " << backup);
                Clear();
                Write(P("f.txt"), c.content);
                SetWriteTime(P("f.txt"), kOld);
                ASSERT_TRUE(SetFileAttributesA(P("f.txt").c_str(), attrs));
                const int64_t before = WriteSeconds(P("f.txt"));
                FaultFileSystem fs(NativeFileSystem());
                const ConvertResult result =
                    ConvertFile(fs, P("f.txt").c_str(), Options(0, false, true, true, backup, true));
                ASSERT_TRUE(result.ok());
                const ContentReport& report = result.content;
                EXPECT_EQ(report.outcome, c.outcome);
                EXPECT_EQ(fs.createdNames().size(), c.tempFiles);
                std::map<std::string, std::string> expected{{"f.txt", c.expected}};
                if (backup && c.outcome == ConvertOutcome::Converted) expected["f.txt.bak"] = c.content;
                EXPECT_EQ(Listing(m_dir), expected);
                if (c.outcome != ConvertOutcome::Converted) {
                    EXPECT_EQ(WriteSeconds(P("f.txt")), before);
                    EXPECT_EQ(GetFileAttributesA(P("f.txt").c_str()) & kRHS, attrs & kRHS);
                }
            }
        }
    }
}

std::string EnvDir(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// A 7 MiB disk holding two files the converted copies cannot fit beside: one
// written on a second thread, one not.
TEST(ConvertWin32Faults, FullDiskLeavesOriginalAlone) {
    const std::string dir = EnvDir("PARDWELL_FULL_DIR");
    if (dir.empty()) GTEST_SKIP() << "PARDWELL_FULL_DIR not set: run_fault_tests.sh runs this case";
    const std::map<std::string, std::string> before = Listing(dir);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_GE(before.at("big.txt").size(), kWriteBehindFrom);
    EXPECT_LT(before.at("mid.txt").size(), kWriteBehindFrom);
    EXPECT_GT(before.at("mid.txt").size(), 1000000u);
    for (const auto& file : before) {
        const std::string path = dir + "\\" + file.first;
        for (bool backup : {false, true}) {
            for (DWORD attrs : {DWORD(FILE_ATTRIBUTE_NORMAL), kRHS}) {
                ASSERT_TRUE(SetFileAttributesA(path.c_str(), attrs));
                EXPECT_EQ(ConvertFile(NativeFileSystem(), path.c_str(), Options(0, true, true, true, backup))
                              .failure,
                          ConvertFailure::ReadWrite)
                    << file.first << ": a full disk is a write error";
                EXPECT_TRUE(Listing(dir) == before) << file.first;
                EXPECT_EQ(GetFileAttributesA(path.c_str()) & kRHS, attrs & kRHS);
            }
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// a.txt.tmp is a dangling link to ../victim: existence checks call the name
// free, but the converter must not write through it.
TEST(ConvertWin32Faults, PlantedLinkAtTempName) {
    const std::string dir = EnvDir("PARDWELL_LINK_DIR");
    if (dir.empty()) GTEST_SKIP() << "PARDWELL_LINK_DIR not set: run_fault_tests.sh runs this case";
    ASSERT_EQ(GetFileAttributesA((dir + "\\a.txt.tmp").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the planted link should look absent";
    FaultFileSystem fs(NativeFileSystem());
    ASSERT_TRUE(ConvertFile(fs, (dir + "\\a.txt").c_str(), Options(0, true, true, true, false)).ok());
    EXPECT_EQ(fs.createdNames(), std::vector<std::string>{dir + "\\a.txt.tmp2"});
    EXPECT_EQ(ReadAll(dir + "\\a.txt"), "a\r\nb\r\n");
    EXPECT_EQ(GetFileAttributesA((dir + "\\..\\victim").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Listing(dir).count("a.txt.tmp2"), 0u);
}

}  // namespace
