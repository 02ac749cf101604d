#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "core/platform/win32_text.h"
#endif

namespace {

using Strings = std::vector<std::string>;

TEST(CommandLine, Grammar) {
    struct Case {
        const char* line;
        int mode;
        int format;
        Strings files;
    } cases[] = {
        {"Pardwell.exe", 0, -1, {}},
        {"Pardwell.exe /w a.txt b.txt", 2, 0, {"a.txt", "b.txt"}},
        {"Pardwell.exe -d a.txt", 2, 0, {"a.txt"}},
        {"Pardwell.exe /w /u x.txt", 2, 2, {"x.txt"}},  // the last format wins
        {"Pardwell.exe -l x.txt", 2, 2, {"x.txt"}},
        {"Pardwell.exe /m x.txt", 2, 1, {"x.txt"}},
        {"Pardwell.exe /p x.txt", 2, 3, {"x.txt"}},
        {"Pardwell.exe /u /p x.txt", 2, 3, {"x.txt"}},
        {"Pardwell.exe /P x.txt", 0, -1, {"x.txt"}},
        {"Pardwell.exe /W x.txt", 0, -1, {"x.txt"}},  // switches are case-sensitive
        {"Pardwell.exe /wu x.txt", 0, -1, {"x.txt"}},
        {"Pardwell.exe /? ", 1, -1, {}},
        {"Pardwell.exe -h", 1, -1, {}},
        {"Pardwell.exe /? /m x.txt", 2, 1, {"x.txt"}},
        {"Pardwell.exe /m /? x.txt", 2, 1, {"x.txt"}},
        {"Pardwell.exe x.txt /u", 2, 2, {"x.txt"}},  // paths before the switch count too
        {"Pardwell.exe a.txt", 0, -1, {"a.txt"}},
        {"Pardwell.exe / - /x y", 0, -1, {"y"}},
        {"Pardwell.exe /m", 2, 1, {}},
        {"\"C:\\Program Files\\Pardwell\\Pardwell.exe\" /u \"C:\\My Docs\\a b.txt\" \"C:\\c.txt\"",
         2,
         2,
         {"C:\\My Docs\\a b.txt", "C:\\c.txt"}},
        {"Pardwell.exe /u \"C:\\dir with space\\\"", 2, 2, {"C:\\dir with space\""}},
    };
    for (const Case& c : cases) {
        CConvertCommandLineInfo info;
        info.ParseCommandLine(c.line);
        EXPECT_EQ(info.m_mode, c.mode) << c.line;
        EXPECT_EQ(info.m_format, c.format) << c.line;
        EXPECT_EQ(info.m_files, c.files) << c.line;
    }
}

TEST(CommandLine, ParseParamOneAtATime) {
    CConvertCommandLineInfo info;
    info.ParseParam("?", true);
    EXPECT_EQ(info.m_mode, 1);
    info.ParseParam("a.txt", false);
    EXPECT_EQ(info.m_mode, 1);
    info.ParseParam("m", true);
    EXPECT_EQ(info.m_mode, 2);
    info.ParseParam("?", true);  // a given format keeps mode 2
    EXPECT_EQ(info.m_mode, 2);
    info.ParseParam("w", false);  // a path that looks like a switch text
    EXPECT_EQ(info.m_format, 1);
    EXPECT_EQ(info.m_files, (Strings{"a.txt", "w"}));
}

TEST(CommandLine, SplitsAsTheCRuntimeDoes) {
    struct Case {
        const char* line;
        Strings args;
    } cases[] = {
        {"", {}},
        {"prog", {"prog"}},
        {"prog  a\tb  ", {"prog", "a", "b"}},
        {"\"C:\\a dir\\prog.exe\" x", {"C:\\a dir\\prog.exe", "x"}},
        {"C:\\dir\\prog.exe\\ x", {"C:\\dir\\prog.exe\\", "x"}},  // no escapes in the program name
        {"prog \"a b\" c", {"prog", "a b", "c"}},
        {"prog a\"b c\"d", {"prog", "ab cd"}},
        {"prog \"\"", {"prog", ""}},
        {"prog a\\\\b", {"prog", "a\\\\b"}},        // backslashes not before a quote stay
        {"prog a\\\"b", {"prog", "a\"b"}},          // \" is a quote
        {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},  // \\" is a backslash and a grouping quote
        {"prog a\\\\\\\"b", {"prog", "a\\\"b"}},    // \\\" is a backslash and a quote
        {"prog \"C:\\dir\\\\\" x", {"prog", "C:\\dir\\", "x"}},
        {"prog \"a\"\"b\" c", {"prog", "a\"b", "c"}},  // "" inside quotes is a quote
        {"prog \"unterminated arg", {"prog", "unterminated arg"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
    EXPECT_TRUE(SplitCommandLine(static_cast<const char*>(nullptr)).empty());
    // The UTF-16 line the system keeps splits by the same rules.
    for (const Case& c : cases) {
        const std::string line = c.line;
        std::vector<std::wstring> wide = SplitCommandLine(std::wstring(line.begin(), line.end()).c_str());
        Strings narrowed;
        for (const std::wstring& w : wide) narrowed.emplace_back(w.begin(), w.end());
        EXPECT_EQ(narrowed, c.args) << c.line;
    }
    EXPECT_EQ(SplitCommandLine(L"p \"\u65e5\u672c \u8a9e.txt\" x"),
              (std::vector<std::wstring>{L"p", L"\u65e5\u672c \u8a9e.txt", L"x"}));
}

#ifdef _WIN32
std::string g_self;

// Starts this program with a command line and reads back the arguments the
// runtime gave it, one per line.
bool RunChild(const std::string& tail, Strings* args) {
    char out[MAX_PATH];
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    if (GetTempFileNameA(dir, "arg", 0, out) == 0) return false;
    std::string line = "\"" + g_self + "\" --print-args " + out + " " + tail;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    FILE* f = std::fopen(out, "rb");
    if (f == nullptr) return false;
    args->clear();
    std::string current;
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c == '\n') {
            args->push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(c);
        }
    }
    std::fclose(f);
    DeleteFileA(out);
    return true;
}

// The child's parsed paths, one per line (mode --print-parsed).
bool RunParsingChild(const std::wstring& tail, Strings* paths) {
    wchar_t out[MAX_PATH];
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    if (GetTempFileNameW(dir, L"arg", 0, out) == 0) return false;
    std::wstring self(g_self.begin(), g_self.end());
    std::wstring line = L"\"" + self + L"\" --print-parsed \"" + out + L"\" " + tail;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    HANDLE file = CreateFileW(out, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text(65536, '\0');
    DWORD got = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(file);
    DeleteFileW(out);
    text.resize(got);
    paths->clear();
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        paths->push_back(text.substr(start, end - start));
    return true;
}

// Names from the UTF-16 command line arrive spelt exactly or not at all,
// whatever this test program's code page: never with "?" or a look-alike in
// place of a character, so every path that arrives opens its own file.
TEST(CommandLine, ProcessArgumentsKeepEveryNameTheCodePageCanSpell) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"pwargs" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring names[] = {L"plain.txt",      L"caf\u00e9.txt",       L"\u65e5\u672c\u8a9e.txt",
                                  L"\u03a9mega.txt", L"smile\U0001F600.txt", L"\u0100.txt"};
    std::wstring tail = L"/u";
    for (const std::wstring& name : names) {
        const std::wstring path = dir + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
        tail += L" \"" + path + L"\"";
    }
    // A look-alike the legacy code page would make of U+0100.
    const std::wstring decoy = dir + L"\\A.txt";
    CloseHandle(CreateFileW(decoy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));

    Strings parsed;
    ASSERT_TRUE(RunParsingChild(tail, &parsed));
    ASSERT_FALSE(parsed.empty());
    EXPECT_NE(parsed[0].find("plain.txt"), std::string::npos);
    if (GetACP() == CP_UTF8) {
        EXPECT_EQ(parsed.size(), std::size(names));
    }
    for (const std::string& path : parsed) {
        EXPECT_EQ(path.find('?'), std::string::npos) << path;
        EXPECT_EQ(path.find("\\A.txt"), std::string::npos) << "a look-alike name: " << path;
        EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    }
    for (const std::wstring& name : names) DeleteFileW((dir + L"\\" + name).c_str());
    DeleteFileW(decoy.c_str());
    RemoveDirectoryW(dir.c_str());
}

TEST(CommandLine, PortableSplitAgreesWithTheProcessArguments) {
    const char* tails[] = {
        "/u \"C:\\My Docs\\a b.txt\" \"C:\\c.txt\"",
        "/w a.txt   b.txt",
        "a\\\\b \"x\\\"y\" \"C:\\dir\\\\\"",
        "-l \"\" end",
        "\"a\"\"b c\" d",
    };
    for (const char* tail : tails) {
        Strings actual;
        ASSERT_TRUE(RunChild(tail, &actual)) << tail;
        Strings expected = SplitCommandLine(("prog --print-args file " + std::string(tail)).c_str());
        expected.erase(expected.begin(), expected.begin() + 3);
        EXPECT_EQ(actual, expected) << tail;
    }
}

// Texts cut to a buffer (list cells, infotips) end between characters, in
// UTF-8 and in a double-byte code page, where a trail byte may be a backslash.
TEST(CommandLine, TextsAreCutBetweenCharacters) {
    const std::string utf8 = "ab\xC3\xA9\xE6\x97\xA5x";  // a b é 日 x
    const size_t utf8Cuts[][2] = {{99, 8}, {8, 8}, {7, 7}, {6, 4}, {5, 4}, {4, 4}, {3, 2}, {2, 2}, {0, 0}};
    for (const auto& c : utf8Cuts)
        EXPECT_EQ(TextPrefixLength(utf8.c_str(), utf8.size(), c[0], CP_UTF8), c[1]) << "room " << c[0];
    const std::string sjis = "a\x95\x5C\x5C\x83\x41";  // a 表 \ ア
    const size_t sjisCuts[][2] = {{6, 6}, {5, 4}, {4, 4}, {3, 3}, {2, 1}, {1, 1}};
    for (const auto& c : sjisCuts)
        EXPECT_EQ(TextPrefixLength(sjis.c_str(), sjis.size(), c[0], 932), c[1]) << "room " << c[0];
}

// A name converts exactly, both ways, or not at all, in a legacy code page
// and in UTF-8; a text for display converts whatever it holds.
TEST(Win32Text, NamesConvertExactlyAndShownTextsAlways) {
    struct Case {
        const wchar_t* wide;
        UINT codePage;
        const char* name;   // nullptr: refused
        const char* shown;  // nullptr: not checked (the system's stand-in)
    };
    const Case cases[] = {
        {L"", CP_UTF8, "", ""},
        {L"a\u00e9\u65e5", CP_UTF8, "a\xC3\xA9\xE6\x97\xA5", "a\xC3\xA9\xE6\x97\xA5"},
        {L"\U0001F600", CP_UTF8, "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {L"a\xD800z", CP_UTF8, nullptr, nullptr},  // a lone surrogate
        {L"a\u00e9", 1252, "a\xE9", "a\xE9"},
        {L"a\u4e00", 1252, nullptr, "a?"},
    };
    for (const Case& c : cases) {
        std::string narrow = "stale";
        EXPECT_EQ(NarrowName(c.wide, &narrow, c.codePage), c.name != nullptr) << c.codePage;
        EXPECT_EQ(narrow, c.name ? c.name : "") << c.codePage;
        if (c.shown) {
            EXPECT_EQ(ShownText(c.wide, c.codePage), c.shown) << c.codePage;
        }
        if (!c.name) continue;
        std::wstring back = L"stale";
        EXPECT_TRUE(WidenName(c.name, &back, c.codePage)) << c.codePage;
        EXPECT_EQ(back, c.wide) << c.codePage;
    }
    // Bytes that are no UTF-8 name nothing.
    for (const char* broken : {"a\xC3", "\xFF", "\xED\xA0\x80"}) {
        std::wstring wide = L"stale";
        EXPECT_FALSE(WidenName(broken, &wide, CP_UTF8)) << broken;
        EXPECT_TRUE(wide.empty());
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    if (argc >= 3 && std::strcmp(argv[1], "--print-args") == 0) {
        FILE* f = std::fopen(argv[2], "wb");
        if (f == nullptr) return 1;
        for (int i = 3; i < argc; ++i) std::fprintf(f, "%s\n", argv[i]);
        std::fclose(f);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--print-parsed") == 0) {
        CConvertCommandLineInfo info;
        info.ParseProcessCommandLine();
        FILE* f = std::fopen(argv[2], "wb");
        if (f == nullptr) return 1;
        for (const std::string& path : info.m_files)
            if (path != argv[2]) std::fprintf(f, "%s\n", path.c_str());
        std::fclose(f);
        return 0;
    }
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_self = self;
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
