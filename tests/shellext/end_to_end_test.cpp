#include "shell_selection.h"
#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "tests/support/file_io.h"
#include "tests/support/long_path.h"
#include "tests/support/project_repo.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/system_path.h"

#include <fstream>
#include <iterator>

namespace {

int RunningCopies(const char* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exeName) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// The program shows up, converts and closes on its own within a minute.
void ExpectTheProgramStartsAndEndsByItself() {
    const DWORD start = GetTickCount();
    bool seen = false;
    while (GetTickCount() - start < 60000) {
        const int copies = RunningCopies("Pardwell.exe");
        seen = seen || copies > 0;
        if (seen && copies == 0) break;
        Sleep(200);
    }
    EXPECT_TRUE(seen) << "Pardwell.exe was never started";
    EXPECT_EQ(0, RunningCopies("Pardwell.exe")) << "Pardwell.exe did not end by itself within a minute";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Gorsemere's menu for paths, as the file manager builds it, and the command
// at position of its submenu, which must read text, invoked.
void InvokeFromTheMenu(const std::vector<std::string>& paths, int position, const char* text) {
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    ASSERT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    IDataObject* data = CreateHDropDataObject(paths);
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    HMENU host = CreatePopupMenu();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(host, 0, 1, 100, CMF_NORMAL));
    HMENU popup = GetSubMenu(host, 0);
    char shown[64] = {};
    GetMenuStringA(popup, position, shown, sizeof shown, MF_BYPOSITION);
    ASSERT_STREQ(text, shown);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(GetMenuItemID(popup, position) - 1);
    info.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, menu->InvokeCommand(&info));
    DestroyMenu(host);
    init->Release();
    menu->Release();
}

TEST(EndToEnd, UnixCommandConvertsThreeFilesAndTheProgramEndsByItself) {
    EnsureRegistered();
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    const std::string folder = std::string(temp) + "gorsemere e2e " + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string contents[] = {"one\r\ntwo\r\n", "\r\n\r\nthree", "a\r\nb\r\nc\r\n"};
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(folder + "\\file " + std::to_string(i) + ".txt");
        std::ofstream(paths.back(), std::ios::binary) << contents[i];
    }

    ASSERT_EQ(0, RunningCopies("Pardwell.exe"));
    ScopedInstallDir installDir(FolderOf(WindowsPath(PARDWELL_EXE)).c_str());
    ASSERT_NO_FATAL_FAILURE(InvokeFromTheMenu(paths, 2, "&Unix/Linux"));
    ExpectTheProgramStartsAndEndsByItself();
    for (int i = 0; i < 3; ++i) {
        std::string expected = contents[i];
        for (size_t p; (p = expected.find("\r\n")) != std::string::npos;) expected.erase(p, 1);
        EXPECT_EQ(expected, ReadAll(paths[i])) << paths[i];
        DeleteFileA(paths[i].c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

// The fourth command on every file of a real Git working tree: the program
// starts with /p, brings each file to its own target, leaves the rest as
// they were and ends by itself.
TEST(EndToEnd, ProjectCommandConvertsEachFileAsItsProjectSays) {
    EnsureRegistered();
    ScratchDir repo("gorsemere-repo");
    std::string why;
    ASSERT_TRUE(MakeProjectRepo(repo.path(), &why)) << why;
    std::vector<std::string> paths;
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        paths.push_back(ProjectRepoPath(repo.path(), file.rel));

    ASSERT_EQ(0, RunningCopies("Pardwell.exe"));
    ScopedInstallDir installDir(FolderOf(WindowsPath(PARDWELL_EXE)).c_str());
    ASSERT_NO_FATAL_FAILURE(InvokeFromTheMenu(paths, 3, "As the &project says"));
    ExpectTheProgramStartsAndEndsByItself();
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        EXPECT_EQ(file.Expected(), ReadAll(ProjectRepoPath(repo.path(), file.rel))) << file.rel;
}

std::string ReadWide(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[256];
    DWORD got = 0;
    ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(file);
    return std::string(buffer, got);
}

// Names in no single legacy code page, in a folder named in none either,
// with the program installed under such a name too: the file manager's own
// data object in, the real program out, every file converted in place.
TEST(EndToEnd, NamesInNoLegacyCodePageReachTheProgramWhole) {
    EnsureRegistered();
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring root =
        std::wstring(temp) + L"gorsemere \u03a9 " + std::to_wstring(GetCurrentProcessId());
    const std::wstring folder = root + L"\\\u03a9mega";
    const std::wstring program = root + L"\\\u30d7\u30ed\u30b0\u30e9\u30e0";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(program.c_str(), nullptr));
    const std::wstring exe = program + L"\\Pardwell.exe";
    const std::string built = WindowsPath(PARDWELL_EXE);
    ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), exe.c_str(), FALSE));
    const std::vector<std::wstring> names = {L"\u65e5\u672c\u8a9e.txt", L"caf\u00e9.txt",
                                             L"\u00fcn\u00efcode.txt", L"smile\U0001F600.txt"};
    for (const std::wstring& name : names) {
        HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, "one\r\ntwo\r\n", 10, &written, nullptr);
        CloseHandle(file);
    }

    ASSERT_EQ(0, RunningCopies("Pardwell.exe"));
    ScopedInstallDir installDir(nullptr);  // puts back what was there
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillfen\\Pardwell", 0, nullptr,
                                             0, KEY_SET_VALUE, nullptr, &key, nullptr));
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    IDataObject* data = ShellSelection(folder, names);
    ASSERT_NE(nullptr, data) << "the shell folder gave no data object";
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    ASSERT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    HMENU host = CreatePopupMenu();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(host, 0, 1, 100, CMF_NORMAL));
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(2);  // Unix
    info.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, menu->InvokeCommand(&info));
    DestroyMenu(host);
    init->Release();
    menu->Release();

    ExpectTheProgramStartsAndEndsByItself();
    for (const std::wstring& name : names) {
        const std::wstring path = folder + L"\\" + name;
        EXPECT_EQ("one\ntwo\n", ReadWide(path)) << std::string(name.begin(), name.end());
        DeleteFileW(path.c_str());
    }
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(program.c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(root.c_str());
}

// A selection with a path of more than 600 characters in three scripts
// reaches the real program whole, and the file is converted in place.
TEST(EndToEnd, DeepPathsInAnyScriptReachTheProgramWhole) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
    EnsureRegistered();
    ScratchDir scratch("gorsemere-deep-");
    const std::string deep = MakeDeepFolder(scratch.path(), 600);
    ASSERT_FALSE(deep.empty());
    const std::vector<std::string> paths = {deep + "\\deep.txt", scratch.Path("near.txt")};
    std::vector<std::wstring> widePaths;
    for (const std::string& path : paths) {
        ASSERT_TRUE(WriteWholeFile(path, "one\r\ntwo\r\n"));
        widePaths.push_back(SystemPath(path).substr(4));  // as the file manager gives it, unprefixed
    }
    ASSERT_GT(widePaths[0].size(), 600u);

    ASSERT_EQ(0, RunningCopies("Pardwell.exe"));
    ScopedInstallDir installDir(FolderOf(WindowsPath(PARDWELL_EXE)).c_str());
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    ASSERT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    IDataObject* data = CreateWideHDropDataObject(widePaths);
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    HMENU host = CreatePopupMenu();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(host, 0, 1, 100, CMF_NORMAL));
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(2);  // Unix
    info.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, menu->InvokeCommand(&info));
    DestroyMenu(host);
    init->Release();
    menu->Release();

    ExpectTheProgramStartsAndEndsByItself();
    for (const std::string& path : paths) EXPECT_EQ("one\ntwo\n", ReadWholeFile(path)) << path;
}

}  // namespace
