#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

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

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    ASSERT_EQ(S_OK, menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    IDataObject* data = CreateHDropDataObject(paths);
    ASSERT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    HMENU host = CreatePopupMenu();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), menu->QueryContextMenu(host, 0, 1, 100, CMF_NORMAL));
    HMENU popup = GetSubMenu(host, 0);
    char text[64] = {};
    GetMenuStringA(popup, 2, text, sizeof text, MF_BYPOSITION);
    ASSERT_STREQ("&Unix/Linux", text);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(GetMenuItemID(popup, 2) - 1);
    info.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, menu->InvokeCommand(&info));
    DestroyMenu(host);
    init->Release();
    menu->Release();

    // The program shows up, converts and closes on its own.
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
    for (int i = 0; i < 3; ++i) {
        std::string expected = contents[i];
        for (size_t p; (p = expected.find("\r\n")) != std::string::npos;) expected.erase(p, 1);
        EXPECT_EQ(expected, ReadAll(paths[i])) << paths[i];
        DeleteFileA(paths[i].c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
