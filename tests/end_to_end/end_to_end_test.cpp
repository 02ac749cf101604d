// Pardwell.exe as a user starts it: command lines in, files and registry out.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/file_io.h"
#include "tests/ui_main/accessible_probe.h"
#include "tests/support/long_path.h"
#include "tests/support/project_repo.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/system_path.h"

namespace {

const char kSettingsKey[] = "Software\\Quillfen\\Pardwell\\Settings";

// The build gives a Linux path; Wine maps / to Z:.
std::string ExePath() {
    std::string path = PARDWELL_EXE;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}

struct TempDir {
    ScratchDir scratch{"pwe2e"};
    std::string path = scratch.path();
    std::string Write(const std::string& rel, const std::string& content) {
        const std::string p = scratch.Path(rel);
        WriteWholeFile(p, content);
        return p;
    }
};

std::string Read(const std::string& p) {
    return ReadWholeFile(p, "<missing>");
}

class Program {
public:
    explicit Program(const std::string& arguments, const char* currentFolder = nullptr) {
        std::string line = "\"" + ExePath() + "\" " + arguments;
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, currentFolder, &si,
                                 &pi) != FALSE;
    }
    ~Program() {
        if (started) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    bool WaitExit(DWORD ms, DWORD* code = nullptr) {
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0) return false;
        if (code) GetExitCodeProcess(pi.hProcess, code);
        return true;
    }
    // The first visible top-level window of the program, waiting for it.
    HWND WaitWindow(DWORD ms = 30000) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            struct Find {
                DWORD pid;
                HWND found;
            } find{pi.dwProcessId, nullptr};
            for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == find.pid && IsWindowVisible(w)) {
                    find.found = w;
                    break;
                }
            }
            if (find.found) return find.found;
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }
    // A top-level window of the program with this caption, waiting for it.
    HWND WaitWindowTitled(const char* caption, DWORD ms = 30000) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < ms) {
            for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                char text[128] = {};
                GetWindowTextA(w, text, sizeof(text));
                if (pid == pi.dwProcessId && IsWindowVisible(w) && std::strcmp(text, caption) == 0) return w;
            }
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }
    bool started = false;
    PROCESS_INFORMATION pi{};
};

bool WaitUntil(const std::function<bool()>& done, DWORD ms = 30000) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(50))
        if (done()) return true;
    return done();
}

void DeleteSettings() {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quillfen\\Pardwell");
}

std::vector<std::string> SettingNames() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof(name);
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

DWORD SettingInt(const char* name) {
    DWORD value = 0xDEAD, size = sizeof(value);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
}

int ListCount(HWND dialog) {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, 1000), LVM_GETITEMCOUNT, 0, 0));
}

TEST(EndToEnd, FormatSwitchWithFilesConvertsThemAndEndsByItself) {
    DeleteSettings();
    TempDir dir;
    std::string a = dir.Write("a.txt", "1\r\n2\r\n");
    std::string b = dir.Write("b b.txt", "1\r2\r");
    Program p("/u \"" + a + "\" \"" + b + "\"");
    ASSERT_TRUE(p.started);
    DWORD code = 1;
    ASSERT_TRUE(p.WaitExit(60000, &code)) << "the program must close itself after the run";
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Read(a), "1\n2\n");
    EXPECT_EQ(Read(b), "1\n2\n");
    // All fourteen settings are in the registry after exit.
    std::vector<std::string> names = SettingNames();
    EXPECT_EQ(names.size(), 14u);
    for (const char* n : {"LastFile", "LastFolder", "DefaultFilter", "Program", "LastFormat", "KeepTimestamp",
                          "KeepAttributes", "IgnoreReadOnly", "BackupFile", "AutoStart", "AutoClose",
                          "AlwaysOnTop", "SkipBinary", "SkipIgnored"}) {
        bool found = false;
        for (auto& s : names) found = found || s == n;
        EXPECT_TRUE(found) << n;
    }
    EXPECT_EQ(SettingInt("LastFormat"), 2u);
}

int64_t WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &a)) return -1;
    return (static_cast<int64_t>(a.ftLastWriteTime.dwHighDateTime) << 32) | a.ftLastWriteTime.dwLowDateTime;
}

// What a batch tool must not damage: an image and UTF-16 text beside plain
// files, converted to CR LF by the real program.
TEST(EndToEnd, ImageAndUtf16SurviveAConversionToCrLf) {
    DeleteSettings();
    TempDir dir;
    const std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0\x90\x91h6", 33);
    const std::string png = dir.Write("picture.png", image);
    // REGEDIT5 export: UTF-16 LE with a mark, here with LF breaks.
    std::u16string regText =
        u"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"b\"\n";
    std::string reg("\xFF\xFE");
    for (char16_t u : regText) {
        reg += static_cast<char>(u & 0xFF);
        reg += static_cast<char>(u >> 8);
    }
    const std::string regFile = dir.Write("export.reg", reg);
    const std::string lf = dir.Write("lf.txt", "a\nb\n");
    const std::string mixed = dir.Write("mixed.txt", "a\r\nb\nc\rd");
    const std::string crlf = dir.Write("crlf.txt", "a\r\nb\r\n");
    // An old write time shows whether the file was rewritten.
    HANDLE h = CreateFileA(crlf.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME old{0x12345600, 0x01c00000};
    SetFileTime(h, nullptr, nullptr, &old);
    CloseHandle(h);
    const int64_t crlfTime = WriteTime(crlf);

    Program p("/w \"" + png + "\" \"" + regFile + "\" \"" + lf + "\" \"" + mixed + "\" \"" + crlf + "\"");
    ASSERT_TRUE(p.started);
    ASSERT_TRUE(p.WaitExit(60000)) << "the program must close itself after the run";

    EXPECT_EQ(Read(png), image);
    std::string expectedReg("\xFF\xFE");
    for (char16_t u : regText) {
        if (u == u'\n') expectedReg += std::string("\r\0", 2);
        expectedReg += static_cast<char>(u & 0xFF);
        expectedReg += static_cast<char>(u >> 8);
    }
    EXPECT_EQ(Read(regFile), expectedReg);
    EXPECT_EQ(Read(lf), "a\r\nb\r\n");
    EXPECT_EQ(Read(mixed), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(Read(crlf), "a\r\nb\r\n");
    EXPECT_EQ(WriteTime(crlf), crlfTime) << "a file already in format is not rewritten";
    for (const char* side : {"\\picture.png.tmp", "\\crlf.txt.tmp", "\\crlf.txt.bak"})
        EXPECT_EQ(GetFileAttributesA((dir.path + side).c_str()), INVALID_FILE_ATTRIBUTES) << side;
}

TEST(EndToEnd, FormatSwitchWithAFolderListsItsFilesAndDoesNotConvert) {
    TempDir dir;
    CreateDirectoryA((dir.path + "\\docs").c_str(), nullptr);
    std::string a = dir.Write("docs\\a.txt", "1\r\n");
    dir.Write("docs\\b.txt", "1\r\n");
    Program p("/w \"" + dir.path + "\\docs\"");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListCount(dialog), 2);
    Sleep(300);
    EXPECT_EQ(Read(a), "1\r\n");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
    EXPECT_EQ(Read(a), "1\r\n");
}

void SetSettingInt(const char* name, DWORD value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

// As the project says, from the command line: /p with a real Git working
// tree and its subfolder lists both, Convert brings each file to its own
// target, leaves the binary-marked file and those without a rule as they
// were, and the choice is kept as "LastFormat".
TEST(EndToEnd, AsTheProjectSaysConvertsEachFileToItsOwnTarget) {
    DeleteSettings();
    // The window stays open after the run, to be read.
    SetSettingInt("AutoStart", 0);
    SetSettingInt("AutoClose", 0);
    ScratchDir repo("pwe2e-repo");
    std::string why;
    ASSERT_TRUE(MakeProjectRepo(repo.path(), &why)) << why;
    std::string arguments = "/p \"" + repo.path() + "\"";
    for (const std::string& sub : ProjectRepoFolders())
        arguments += " \"" + ProjectRepoPath(repo.path(), sub) + "\"";
    Program p(arguments);
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    // Every file but those Git ignores is listed, once.
    int listed = 0;
    for (const ProjectRepoFile& file : ProjectRepoFiles()) listed += file.ignored ? 0 : 1;
    const int count = ListCount(dialog);
    EXPECT_EQ(count, listed);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, 1004), CB_GETCURSEL, 0, 0), 3) << "the fourth choice";
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        EXPECT_EQ(Read(ProjectRepoPath(repo.path(), file.rel)), file.before) << "a folder never starts a run";

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1006)));
    char status[128] = "";
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowTextA(GetDlgItem(dialog, 1013), status, sizeof status);
        return std::strncmp(status, "Converted:", 10) == 0;
    })) << status;
    int converted = 0;
    for (const ProjectRepoFile& file : ProjectRepoFiles()) converted += file.after.empty() ? 0 : 1;
    EXPECT_EQ(std::string(status), "Converted: " + std::to_string(converted) + " success, 0 fail, " +
                                       std::to_string(count - converted) + " skipped");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.WaitExit(30000));
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        EXPECT_EQ(Read(ProjectRepoPath(repo.path(), file.rel)), file.Expected()) << file.rel;
    EXPECT_EQ(SettingInt("LastFormat"), 3u);
    // The programs started after this one take the first-run settings.
    DeleteSettings();
}

// Paths of more than 600 characters in three scripts on the command line,
// whole or relative to the current folder: a file is converted in place
// with its time kept, with and without a backup; a folder is listed.
TEST(EndToEnd, DeepPathsInAnyScriptFromTheCommandLine) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    TempDir dir;
    const std::string deep = MakeDeepFolder(dir.path, 600);
    ASSERT_FALSE(deep.empty());
    const std::string file = deep + "\\f.txt";
    struct Case {
        const char* what;
        std::string argument;
        DWORD backup;
    } const cases[] = {
        {"whole", file, 0},
        {"whole, with a backup", file, 1},
        {"relative", file.substr(dir.path.size() + 1), 0},
    };
    for (const Case& c : cases) {
        DeleteSettings();
        SetSettingInt("BackupFile", c.backup);
        DeleteFileW(SystemPath(file + ".bak").c_str());
        ASSERT_TRUE(WriteWholeFile(file, "1\r\n2\r\n")) << c.what;
        HANDLE h = CreateFileW(SystemPath(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        const FILETIME old{0x256D4000u, 0x01BF53EBu};  // 2000-01-01
        SetFileTime(h, nullptr, nullptr, &old);
        CloseHandle(h);
        const int64_t before = WriteTime(file);
        ASSERT_GT(before, 0) << c.what;

        Program p("/u \"" + c.argument + "\"", dir.path.c_str());
        ASSERT_TRUE(p.started) << c.what;
        DWORD code = 1;
        ASSERT_TRUE(p.WaitExit(60000, &code)) << c.what;
        EXPECT_EQ(code, 0u) << c.what;
        EXPECT_EQ(Read(file), "1\n2\n") << c.what;
        EXPECT_EQ(WriteTime(file), before) << c.what;
        EXPECT_EQ(Read(file + ".bak"), c.backup ? "1\r\n2\r\n" : "<missing>") << c.what;
        EXPECT_FALSE(PathExists(file + ".tmp")) << c.what;
    }
    Program p("/u \"" + deep + "\"");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListCount(dialog), 1);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
}

TEST(EndToEnd, PathsWithoutASwitchOpenAnEmptyWindow) {
    TempDir dir;
    std::string a = dir.Write("a.txt", "1\r\n");
    Program p("\"" + a + "\"");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ListCount(dialog), 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
    EXPECT_EQ(Read(a), "1\r\n");
}

std::wstring SettingWide(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quillfen\\Pardwell\\Settings", name, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

// Paths kept in the settings are read and written back whole, whatever
// characters they hold.
TEST(EndToEnd, SettingsKeepPathsInNoLegacyCodePage) {
    DeleteSettings();
    const std::wstring folder = L"C:\\\u03a9mega\\\u65e5\u672c\u8a9e\\smile\U0001F600";
    const std::wstring file = folder + L"\\caf\u00e9.txt";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillfen\\Pardwell\\Settings", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& value : {std::make_pair(L"LastFolder", folder), std::make_pair(L"LastFile", file)})
        RegSetValueExW(key, value.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.second.c_str()),
                       static_cast<DWORD>((value.second.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    Program p("");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
    EXPECT_TRUE(SettingWide(L"LastFolder") == folder);
    EXPECT_TRUE(SettingWide(L"LastFile") == file);
    EXPECT_EQ(SettingNames().size(), 14u) << "every value written back at exit";
}

TEST(EndToEnd, UsageSwitchShowsTheUsageBoxAndEnds) {
    Program p("/?");
    ASSERT_TRUE(p.started);
    HWND box = p.WaitWindow();
    ASSERT_TRUE(box);
    char caption[64] = {};
    GetWindowTextA(box, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Pardwell");
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    EXPECT_STREQ(text, "Usage: Pardwell /<w|u|m> <file1> <file2> <file3> ...");
    EXPECT_EQ(GetDlgItem(box, 1000), nullptr) << "no main dialog";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    EXPECT_TRUE(p.WaitExit(30000, &code));
}

// About arrives from the Main menu and from the system menu; each opens the
// About box owned by the main window, which is disabled while it is open.
TEST(EndToEnd, AboutOpensFromEachOfItsEntryPoints) {
    Program p("");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    const struct {
        const char* route;
        UINT msg;
        WPARAM command;
    } routes[] = {{"menu", WM_COMMAND, 32783}, {"system menu", WM_SYSCOMMAND, 16}};
    for (const auto& route : routes) {
        SCOPED_TRACE(route.route);
        PostMessageA(dialog, route.msg, route.command, 0);
        HWND about = p.WaitWindowTitled("About Pardwell");
        ASSERT_TRUE(about);
        EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "modal";
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) && IsWindowEnabled(dialog); }));
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
}

std::string SettingString(const char* name) {
    char value[512] = "<missing>";
    DWORD size = sizeof(value);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return value;
}

// Options arrives from the Main menu, the banner link and the system menu;
// each opens the Options box over the main window. Changes made in the last
// one and confirmed with OK are in the registry once the program has ended.
TEST(EndToEnd, OptionsOpensFromEachOfItsEntryPointsAndItsChangesAreKept) {
    DeleteSettings();
    Program p("");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    HWND link = GetDlgItem(dialog, 1032);
    ASSERT_TRUE(link);
    const struct {
        const char* route;
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    } routes[] = {
        {"menu", WM_COMMAND, 32781, 0},
        {"banner link", WM_COMMAND, MAKEWPARAM(1032, STN_CLICKED), reinterpret_cast<LPARAM>(link)},
        {"system menu", WM_SYSCOMMAND, 32, 0},
    };
    for (const auto& route : routes) {
        SCOPED_TRACE(route.route);
        PostMessageA(dialog, route.msg, route.wp, route.lp);
        HWND options = p.WaitWindowTitled("Options");
        ASSERT_TRUE(options);
        EXPECT_EQ(GetWindow(options, GW_OWNER), dialog);
        EXPECT_FALSE(IsWindowEnabled(dialog)) << "modal";
        const bool last = &route == &routes[2];
        if (last) {
            // A new filter typed into the field and the backup box ticked.
            HWND filter = GetDlgItem(options, 1017);
            HWND edit = reinterpret_cast<HWND>(SendMessageA(filter, CBEM_GETEDITCONTROL, 0, 0));
            ASSERT_TRUE(edit);
            SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("*.md;*.txt"));
            SendMessageA(GetDlgItem(options, 1009), BM_CLICK, 0, 0);
        }
        PostMessageA(options, WM_COMMAND, last ? IDOK : IDCANCEL, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(options) && IsWindowEnabled(dialog); }));
    }
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.WaitExit(30000));
    EXPECT_EQ(SettingString("DefaultFilter"), "*.md;*.txt");
    EXPECT_EQ(SettingInt("BackupFile"), 1u);
    EXPECT_EQ(SettingInt("KeepTimestamp"), 1u) << "untouched options keep their values";
    DeleteSettings();
}

// What a screen reader in another process finds in the window: the links
// with their names and actions, the banner's caption, and a link that can
// be followed from there.
TEST(EndToEnd, AScreenReaderReadsTheBannerAndFollowsItsLinks) {
    DeleteSettings();
    Program p("");
    ASSERT_TRUE(p.started);
    HWND dialog = p.WaitWindow();
    ASSERT_TRUE(dialog);
    const struct {
        int id;
        std::vector<std::string> names;
        std::string actionStart;
    } links[] = {
        {1032, {"Options"}, "Open the Options dialog"},
        {1034, {"Feature Requests?", "Questions?", "Suggestions?"}, "mailto:"},
    };
    for (const auto& link : links) {
        SCOPED_TRACE(link.id);
        AccessibleProbe probe = AccessibleProbe::OfWindow(GetDlgItem(dialog, link.id));
        ASSERT_TRUE(probe);
        EXPECT_EQ(ROLE_SYSTEM_LINK, probe.Role());
        const std::string name = probe.Name();
        EXPECT_NE(std::find(link.names.begin(), link.names.end(), name), link.names.end()) << name;
        EXPECT_EQ(0u, probe.DefaultAction().find(link.actionStart)) << probe.DefaultAction();
        EXPECT_TRUE(probe.State() & STATE_SYSTEM_LINKED);
    }
    AccessibleProbe caption = AccessibleProbe::OfWindow(dialog).ChildWithRole(ROLE_SYSTEM_STATICTEXT);
    EXPECT_EQ("Convert text files to Windows, Unix or Macintosh format", caption.Name());

    EXPECT_EQ(S_OK, AccessibleProbe::OfWindow(GetDlgItem(dialog, 1032)).DoDefaultAction());
    HWND options = p.WaitWindowTitled("Options");
    ASSERT_TRUE(options);
    PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(options) && IsWindowEnabled(dialog); }));
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitExit(30000));
    DeleteSettings();
}

}  // namespace
