#include "app/shell_integration.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const char kStarHandler[] = "*\\ShellEx\\ContextMenuHandlers\\Pardwell";
const char kFolderHandler[] = "Folder\\ShellEx\\ContextMenuHandlers\\Pardwell";
const char kClsid[] = "{652C06C2-4FC0-42E0-9792-36126E42C712}";

class CMemoryProfile : public IProfileStore {
public:
    std::string GetString(const char* section, const char* name, const char* defaultValue) override {
        const auto found = values.find(Key(section, name));
        return found == values.end() ? defaultValue : found->second;
    }
    int GetInt(const char*, const char*, int defaultValue) override { return defaultValue; }
    bool WriteString(const char* section, const char* name, const char* value) override {
        ++writes;
        values[Key(section, name)] = value;
        return true;
    }
    bool WriteInt(const char*, const char*, int) override { return false; }

    static std::string Key(const char* section, const char* name) {
        return std::string(section) + "|" + name;
    }
    std::map<std::string, std::string> values;
    int writes = 0;
};

std::string Unix2Win(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool UserKeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Classes\\" + path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool MachineKeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Present in the machine's classes, or absent from those and the user's.
void SetHandlerKey(const char* path, bool present) {
    SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + path).c_str());
    if (!present) {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, path);
        return;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kClsid), sizeof kClsid);
    RegCloseKey(key);
}

// The server of the user's own registration.
std::string InprocServer() {
    char value[MAX_PATH] = {};
    LONG size = sizeof value;
    const std::string key = std::string("Software\\Classes\\CLSID\\") + kClsid + "\\InprocServer32";
    if (RegQueryValueA(HKEY_CURRENT_USER, key.c_str(), value, &size) != ERROR_SUCCESS) return "<missing>";
    return value;
}

// Waits for the registration tool, which the switch does not wait for.
int WaitForEnabled(CShellIntegration& integration, int wanted) {
    int state = integration.IsEnabled();
    for (DWORD start = GetTickCount(); state != wanted && GetTickCount() - start < 30000; Sleep(200))
        state = integration.IsEnabled();
    return state;
}

class TempFolder {
public:
    explicit TempFolder(const char* name) {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + name + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~TempFolder() {
        DeleteFileA((path + "\\Gorsemere.dll").c_str());
        RemoveDirectoryA(path.c_str());
    }
    std::string path;
};

TEST(IntegrationSwitch, DetectionCountsEachHandlerKeyAndDisableDeletesBoth) {
    CMemoryProfile profile;
    struct Case {
        bool star;
        bool folder;
        int detected;
        bool disabled;
    } cases[] = {
        {true, true, 2, true},
        {false, true, 1, false},  // the missing one makes Disable report false
        {true, false, 1, false},
        {false, false, 0, false},
    };
    for (const Case& c : cases) {
        SetHandlerKey(kStarHandler, c.star);
        SetHandlerKey(kFolderHandler, c.folder);
        CShellIntegration integration(profile);
        EXPECT_EQ(c.detected, integration.IsEnabled()) << c.star << c.folder;
        EXPECT_EQ(c.disabled, integration.Disable()) << c.star << c.folder;
        EXPECT_FALSE(KeyExists(kStarHandler));
        EXPECT_FALSE(KeyExists(kFolderHandler));
        EXPECT_EQ(0, integration.IsEnabled());
        // Only the handler keys go; their parents stay for other programs.
        EXPECT_TRUE(KeyExists("*\\ShellEx\\ContextMenuHandlers"));
        EXPECT_TRUE(KeyExists("Folder\\ShellEx\\ContextMenuHandlers"));
    }
    // Switch(0) is Disable.
    SetHandlerKey(kStarHandler, true);
    SetHandlerKey(kFolderHandler, true);
    CShellIntegration(profile).Switch(0);
    EXPECT_EQ(0, CShellIntegration(profile).IsEnabled());
    EXPECT_EQ(0, profile.writes);
}

TEST(IntegrationSwitch, EnableNeedsTheLibraryBesideTheProgram) {
    TempFolder empty("switch-empty-");
    CMemoryProfile profile;
    profile.values[CMemoryProfile::Key("", "InstallDir")] = empty.path;
    SetHandlerKey(kStarHandler, false);
    SetHandlerKey(kFolderHandler, false);
    CShellIntegration integration(profile);
    EXPECT_FALSE(integration.Enable());
    integration.Switch(1);
    Sleep(1500);
    EXPECT_EQ(0, integration.IsEnabled());
    EXPECT_EQ(0, profile.writes);
}

TEST(IntegrationSwitch, EnableRunsTheRegistrationToolOnTheInstalledCopy) {
    TempFolder installed("switch-installed ");
    const std::string copy = installed.path + "\\Gorsemere.dll";
    ASSERT_TRUE(CopyFileA(Unix2Win(GORSEMERE_DLL).c_str(), copy.c_str(), FALSE));
    CMemoryProfile profile;
    profile.values[CMemoryProfile::Key("", "InstallDir")] = installed.path;
    SetHandlerKey(kStarHandler, false);
    SetHandlerKey(kFolderHandler, false);

    CShellIntegration integration(profile);
    EXPECT_TRUE(integration.Enable());
    EXPECT_EQ(2, WaitForEnabled(integration, 2));
    EXPECT_STRCASEEQ(copy.c_str(), InprocServer().c_str());
    EXPECT_EQ(0, profile.writes) << "a recorded folder is never rewritten";
    // For this user alone: a user without administrator rights cannot write
    // the machine's classes, so nothing may depend on them. (Windows merges
    // the user's classes into what COM and the file manager read; Wine 8
    // does not, so the class is not created here.)
    EXPECT_TRUE(UserKeyExists(kStarHandler));
    EXPECT_TRUE(UserKeyExists(kFolderHandler));
    EXPECT_FALSE(MachineKeyExists(kStarHandler));
    EXPECT_FALSE(MachineKeyExists(kFolderHandler));

    // Off, then on again through Switch: the full registration comes back.
    EXPECT_TRUE(integration.Disable());
    EXPECT_EQ(0, integration.IsEnabled());
    EXPECT_FALSE(UserKeyExists(kStarHandler));
    EXPECT_TRUE(UserKeyExists(std::string("CLSID\\") + kClsid)) << "the class registration stays";
    integration.Switch(1);
    EXPECT_EQ(2, WaitForEnabled(integration, 2));
}

TEST(IntegrationSwitch, EnableFromADriveRootUsesTheDoubledSeparator) {
    // The prefix's C:\ is ours to write; the copy is removed afterwards.
    const std::string copy = "C:\\Gorsemere.dll";
    ASSERT_TRUE(CopyFileA(Unix2Win(GORSEMERE_DLL).c_str(), copy.c_str(), FALSE));
    CMemoryProfile profile;
    profile.values[CMemoryProfile::Key("", "InstallDir")] = "C:\\";
    SetHandlerKey(kStarHandler, false);
    SetHandlerKey(kFolderHandler, false);
    CShellIntegration integration(profile);
    EXPECT_TRUE(integration.Enable());
    EXPECT_EQ(2, WaitForEnabled(integration, 2));
    EXPECT_STRCASEEQ("C:\\Gorsemere.dll", InprocServer().c_str());
    // Leave the build's library registered for whoever runs next.
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = "regsvr32.exe /s \"" + Unix2Win(GORSEMERE_DLL) + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    DeleteFileA(copy.c_str());
}

TEST(InstallDir, RecordedOnceFromTheProgramsFolderAndNeverRefreshed) {
    char module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    *strrchr(module, '\\') = '\0';

    CMemoryProfile profile;
    EXPECT_EQ(module, GetInstallDir(profile));
    EXPECT_EQ(1, profile.writes);
    EXPECT_EQ(module, profile.values[CMemoryProfile::Key("", "InstallDir")]);
    EXPECT_EQ(module, GetInstallDir(profile));
    EXPECT_EQ(1, profile.writes);

    // An old folder stays even though the program is elsewhere now; an
    // empty one counts as missing.
    CMemoryProfile moved;
    moved.values[CMemoryProfile::Key("", "InstallDir")] = "D:\\Old Place";
    EXPECT_EQ("D:\\Old Place", GetInstallDir(moved));
    EXPECT_EQ(0, moved.writes);
    CMemoryProfile empty;
    empty.values[CMemoryProfile::Key("", "InstallDir")] = "";
    EXPECT_EQ(module, GetInstallDir(empty));
    EXPECT_EQ(1, empty.writes);
}

TEST(InstallDir, FolderOfTheExecutableKeepsARootsBackslash) {
    struct Case {
        const char* module;
        const char* folder;
    } cases[] = {
        {"C:\\Tools\\Pardwell.exe", "C:\\Tools"},
        {"C:\\Pardwell.exe", "C:\\"},
        {"D:\\a b\\c\\Pardwell.exe", "D:\\a b\\c"},
        {"Pardwell.exe", ""},
        {"\\\\server\\share\\Pardwell.exe", "\\\\server\\share"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.folder, FolderOfModulePath(c.module)) << c.module;
    EXPECT_EQ("", FolderOfModulePath(("C:\\" + std::string(300, 'x')).c_str())) << "too long for MAX_PATH";
}

}  // namespace
