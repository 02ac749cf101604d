// The tree's setup program, run silently as an administrator deploys it,
// then the installed pair used, then the uninstaller started from the
// Uninstall entry as Windows starts it. Everything is checked where Windows
// and the program look for it: the files, the Start menu, the per-user
// Uninstall entry, the per-user classes and the program's own key.
#include "app/registry_store.h"
#include "app/shell_integration.h"
#include "tests/shellext/shell_selection.h"
#include "tests/support/file_io.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

const char kClsid[] = "{652C06C2-4FC0-42E0-9792-36126E42C712}";
const char kUserClasses[] = "Software\\Classes";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pardwell";
const char kAppKey[] = "Software\\Quillfen\\Pardwell";
const char kMakerKey[] = "Software\\Quillfen";
const CLSID kGorsemereClsid = {0x652C06C2, 0x4FC0, 0x42E0, {0x97, 0x92, 0x36, 0x12, 0x6E, 0x42, 0xC7, 0x12}};

// The per-user classes that the install writes, below kUserClasses.
const char* const kClassKeys[] = {
    "CLSID\\{652C06C2-4FC0-42E0-9792-36126E42C712}",
    "Pardwell.ShellContextMenu",
    "Pardwell.ShellContextMenu.1",
    "*\\ShellEx\\ContextMenuHandlers\\Pardwell",
    "Folder\\ShellEx\\ContextMenuHandlers\\Pardwell",
    "TypeLib\\{B0B1A08D-4DED-4244-B82F-674C87941331}",
    "Interface\\{6BDBC567-D2FC-4D9B-8EBE-4AFF5E8E0B9F}",
};

const char* const kInstalledFiles[] = {"Pardwell.exe", "Gorsemere.dll", "pardwell-cli.exe", "uninstall.exe"};

std::string SetupPath() {
    std::string path = std::string("Z:") + PARDWELL_SETUP;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string UserClass(const std::string& key) {
    return std::string(kUserClasses) + "\\" + key;
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Value `name` ("" = default) of a key, or "<missing>".
std::string ReadString(HKEY root, const std::string& path, const char* name) {
    char buffer[2048];
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, path.c_str(), *name ? name : nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

DWORD ReadDword(HKEY root, const std::string& path, const char* name) {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

bool SamePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "<none>";
    return path;
}

std::string ShortcutPath() {
    return KnownFolder(CSIDL_PROGRAMS) + "\\Pardwell.lnk";
}

// The program a shortcut starts, or "<unreadable>".
std::string ShortcutTarget(const std::string& link) {
    std::string target = "<unreadable>";
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return target;
    IPersistFile* file = nullptr;
    WCHAR wideLink[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wideLink, MAX_PATH);
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wideLink, STGM_READ))) {
        WCHAR wide[MAX_PATH] = {};
        char narrow[MAX_PATH] = {};
        if (SUCCEEDED(shellLink->GetPath(wide, MAX_PATH, nullptr, 0)) &&
            WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, MAX_PATH, nullptr, nullptr))
            target = narrow;
    }
    if (file) file->Release();
    shellLink->Release();
    return target;
}

// Waits up to ms for handle (none: just the time) while this thread's
// windows get their messages: a setup's broadcast waits for each top-level
// window to answer.
bool WaitPumping(HANDLE handle, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        const DWORD count = handle ? 1 : 0;
        const DWORD woke =
            MsgWaitForMultipleObjects(count, handle ? &handle : nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
        if (handle && woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + count) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

// Runs a command line and waits until it and every process it started have
// ended: the uninstaller copies itself to the temporary folder, starts that
// copy and ends at once, and the copy does the work. The exit code is the
// first process's own.
DWORD RunAndWaitForAll(const std::string& commandLine, DWORD timeoutMs = 120000) {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return 0xFFFFFFF0;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    // A program just written by a setup that is still ending may be held
    // for a moment: a start refused then is tried again.
    bool started = false;
    for (int attempt = 0; attempt < 40 && !started; ++attempt) {
        started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                 nullptr, &si, &pi) != FALSE;
        if (!started) Sleep(250);
    }
    if (!started) {
        CloseHandle(job);
        return 0xFFFFFFF1;
    }
    const bool inJob = AssignProcessToJobObject(job, pi.hProcess) != FALSE;
    ResumeThread(pi.hThread);
    DWORD code = 0xFFFFFFF2;
    const DWORD start = GetTickCount();
    if (WaitPumping(pi.hProcess, timeoutMs)) GetExitCodeProcess(pi.hProcess, &code);
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        if (!inJob || !QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                                 nullptr)) {
            code = 0xFFFFFFF3;
            break;
        }
        if (info.ActiveProcesses == 0) break;
        if (GetTickCount() - start > timeoutMs) {
            TerminateJobObject(job, 99);
            code = 0xFFFFFFF4;
            break;
        }
        WaitPumping(nullptr, 100);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(job);
    return code;
}

// Waits for the processes of `exeName` that this process started (the menu
// starts the program without waiting); false if one is still running.
bool WaitForChildren(const char* exeName, DWORD timeoutMs) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    std::vector<HANDLE> children;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiA(entry.szExeFile, exeName) == 0) {
            if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID))
                children.push_back(process);
        }
    }
    CloseHandle(snapshot);
    bool ended = true;
    for (HANDLE process : children) {
        ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0 && ended;
        CloseHandle(process);
    }
    return ended;
}

// The names in a folder, for a failure message.
std::string Listing(const std::string& folder) {
    std::string names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names += std::string(" ") + found.cFileName;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

// HKEY_CLASSES_ROOT of this process seen as the per-user classes alone, the
// half that a user without administrator rights owns and that Explorer and
// the program read merged with the machine's. Wine keeps no merged view, and
// the other tests of this prefix register the build's library in the
// machine's half; redirected, the program's own code reads the installed
// state and nothing else.
class UserClassesAsClassesRoot {
public:
    UserClassesAsClassesRoot() {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kUserClasses, 0, KEY_ALL_ACCESS, &m_key) == ERROR_SUCCESS)
            m_overridden = RegOverridePredefKey(HKEY_CLASSES_ROOT, m_key) == ERROR_SUCCESS;
    }
    ~UserClassesAsClassesRoot() {
        if (m_overridden) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (m_key) RegCloseKey(m_key);
    }
    bool Active() const { return m_overridden; }

private:
    HKEY m_key = nullptr;
    bool m_overridden = false;
};

// Removes whatever an earlier, interrupted run may have left, so that each
// test starts from a prefix without Pardwell installed.
void Scrub(const std::string& folder) {
    for (const char* key : kClassKeys) SHDeleteKeyA(HKEY_CURRENT_USER, UserClass(key).c_str());
    SHDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    SHDeleteKeyA(HKEY_CURRENT_USER, kAppKey);
    DeleteFileA(ShortcutPath().c_str());
    for (const char* name : kInstalledFiles) DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

// Another program's menu handler beside ours.
const std::string kNeighbourHandler = UserClass("*\\ShellEx\\ContextMenuHandlers\\SomeoneElse");

bool OnWow64() {
#ifdef _WIN64
    return false;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

class Setup : public testing::Test {
protected:
    void SetUp() override {
        if (OnWow64()) GTEST_SKIP() << "the 32-bit setup installs on 32-bit Windows only";
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        char base[MAX_PATH];
        // A space in the folder: /D= takes the rest of the line unquoted.
        std::snprintf(base, sizeof base, "%spw setup %lu", temp, GetCurrentProcessId());
        CreateDirectoryA(base, nullptr);
        m_base = base;
        m_folder = m_base + "\\Pardwell";
        Scrub(m_folder);
        Scrub(DefaultFolder());
    }
    void TearDown() override {
        SHDeleteKeyA(HKEY_CURRENT_USER, kNeighbourHandler.c_str());
        Scrub(m_folder);
        Scrub(DefaultFolder());
        DeleteFileA((m_base + "\\text.txt").c_str());
        RemoveDirectoryA(m_base.c_str());
    }

    static std::string DefaultFolder() { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Pardwell"; }

    DWORD Install(const std::string& switches = "") {
        std::string line = "\"" + SetupPath() + "\" /S";
        if (!switches.empty()) line += " " + switches;
        return RunAndWaitForAll(line + " /D=" + m_folder);
    }

    // As Windows' Apps list does: the entry's own silent command.
    DWORD UninstallQuietly(const std::string& switches = "") {
        const std::string command = ReadString(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString");
        if (command == "<missing>") return 0xFFFFFFFE;
        return RunAndWaitForAll(switches.empty() ? command : command + " " + switches);
    }

    void ExpectProgramInstalled(const std::string& folder) {
        for (const char* name : kInstalledFiles) EXPECT_TRUE(FileExists(folder + "\\" + name)) << name;
        EXPECT_TRUE(SamePath(folder + "\\Pardwell.exe", ShortcutTarget(ShortcutPath())))
            << ShortcutTarget(ShortcutPath());
        EXPECT_EQ(folder, ReadString(HKEY_CURRENT_USER, kAppKey, "InstallDir"));

        EXPECT_EQ("Pardwell", ReadString(HKEY_CURRENT_USER, kUninstallKey, "DisplayName"));
        EXPECT_EQ("1.0.0.0", ReadString(HKEY_CURRENT_USER, kUninstallKey, "DisplayVersion"));
        EXPECT_EQ("Quillfen", ReadString(HKEY_CURRENT_USER, kUninstallKey, "Publisher"));
        EXPECT_EQ(folder + "\\Pardwell.exe,0", ReadString(HKEY_CURRENT_USER, kUninstallKey, "DisplayIcon"));
        EXPECT_EQ(folder, ReadString(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation"));
        const std::string uninstaller = "\"" + folder + "\\uninstall.exe\"";
        EXPECT_EQ(uninstaller, ReadString(HKEY_CURRENT_USER, kUninstallKey, "UninstallString"));
        EXPECT_EQ(uninstaller + " /S", ReadString(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString"));
        // In KiB: the files, within a little of what they take.
        DWORD bytes = 0;
        for (const char* name : kInstalledFiles) {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            if (GetFileAttributesExA((folder + "\\" + name).c_str(), GetFileExInfoStandard, &data))
                bytes += data.nFileSizeLow;
        }
        const DWORD size = ReadDword(HKEY_CURRENT_USER, kUninstallKey, "EstimatedSize");
        EXPECT_GE(size, bytes / 1024);
        EXPECT_LE(size, bytes / 1024 + 8);
    }

    void ExpectIntegration(const std::string& folder, bool registered) {
        const std::string server = UserClass(std::string("CLSID\\") + kClsid + "\\InprocServer32");
        const std::string star = UserClass("*\\ShellEx\\ContextMenuHandlers\\Pardwell");
        const std::string dir = UserClass("Folder\\ShellEx\\ContextMenuHandlers\\Pardwell");
        if (!registered) {
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, server));
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, star));
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, dir));
        } else {
            EXPECT_TRUE(SamePath(folder + "\\Gorsemere.dll", ReadString(HKEY_CURRENT_USER, server, "")))
                << ReadString(HKEY_CURRENT_USER, server, "");
            EXPECT_EQ("Apartment", ReadString(HKEY_CURRENT_USER, server, "ThreadingModel"));
            EXPECT_EQ(kClsid, ReadString(HKEY_CURRENT_USER, star, ""));
            EXPECT_EQ(kClsid, ReadString(HKEY_CURRENT_USER, dir, ""));
        }
        // What the Options dialog shows: both handler keys, or none.
        UserClassesAsClassesRoot classes;
        ASSERT_TRUE(classes.Active());
        CRegistryProfileStore store;
        EXPECT_EQ(registered ? 2 : 0, CShellIntegration(store).IsEnabled());
    }

    void ExpectNothingOfOursLeft(const std::string& folder) {
        EXPECT_FALSE(FileExists(folder)) << folder << " holds:" << Listing(folder);
        EXPECT_FALSE(FileExists(ShortcutPath()));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
        EXPECT_EQ("<missing>", ReadString(HKEY_CURRENT_USER, kAppKey, "InstallDir"));
        for (const char* key : kClassKeys) EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClass(key))) << key;
    }

    std::string m_base;
    std::string m_folder;
};

// The class as Explorer gets it: from the per-user registration, a menu
// handler whose "Unix/Linux" command starts the installed program on the
// file. Where the system merges the per-user classes into
// HKEY_CLASSES_ROOT (Windows), COM itself must find it too. The library stays
// loaded, in `library`, as Explorer keeps it.
void ExpectMenuConvertsWithInstalledProgram(const std::string& file, HMODULE& library) {
    IClassFactory* factory = nullptr;
    const std::string server =
        ReadString(HKEY_CURRENT_USER, UserClass(std::string("CLSID\\") + kClsid + "\\InprocServer32"), "");
    library = LoadLibraryA(server.c_str());
    ASSERT_NE(nullptr, library) << server;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    ASSERT_NE(nullptr, getClassObject);
    ASSERT_EQ(S_OK, getClassObject(kGorsemereClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    IShellExtInit* init = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    factory->Release();

    if (SamePath(server,
                 ReadString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsid + "\\InprocServer32", ""))) {
        IUnknown* viaCom = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(kGorsemereClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                         reinterpret_cast<void**>(&viaCom)));
        if (viaCom) viaCom->Release();
    } else {
        std::printf(
            "note: HKEY_CLASSES_ROOT shows no per-user classes here (Wine); COM activation is checked "
            "through the per-user registration itself\n");
    }

    IDataObject* data = ShellSelectionOf(file);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
    data->Release();
    IContextMenu* menu = nullptr;
    ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    init->Release();
    HMENU host = CreatePopupMenu();
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), menu->QueryContextMenu(host, 0, 100, 200, CMF_NORMAL));
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = MAKEINTRESOURCEA(2);  // Unix/Linux
    invoke.nShow = SW_SHOWNORMAL;
    EXPECT_EQ(S_OK, menu->InvokeCommand(&invoke));
    menu->Release();
    DestroyMenu(host);

    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000 && ReadWholeFile(file) != "a\nb\n";)
        Sleep(100);
    EXPECT_EQ("a\nb\n", ReadWholeFile(file)) << "the installed program did not convert " << file;
    EXPECT_TRUE(WaitForChildren("Pardwell.exe", 60000)) << "the program must end by itself after the run";
}

TEST_F(Setup, InstallsForTheUserRunsAndUninstallsWithoutATrace) {
    ASSERT_EQ(0u, Install());
    ExpectProgramInstalled(m_folder);
    ExpectIntegration(m_folder, true);

    // The installed program, started as the shortcut starts it, converts a
    // file and ends by itself.
    const std::string text = m_base + "\\text.txt";
    ASSERT_TRUE(WriteWholeFile(text, "1\r\n2\r\n"));
    EXPECT_EQ(0u, RunAndWaitForAll("\"" + m_folder + "\\Pardwell.exe\" /u \"" + text + "\"", 60000));
    EXPECT_EQ("1\n2\n", ReadWholeFile(text));
    // And through the menu of the installed library.
    ASSERT_TRUE(WriteWholeFile(text, "a\r\nb\r\n"));
    HMODULE library = nullptr;
    ExpectMenuConvertsWithInstalledProgram(text, library);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(kAppKey) + "\\Settings"))
        << "the program writes its settings on exit";

    // Uninstalled while the library is still loaded, as Explorer keeps the
    // library of a menu it showed: the install folder goes all the same.
    EXPECT_EQ(0u, UninstallQuietly());
    if (library) FreeLibrary(library);
    ExpectNothingOfOursLeft(m_folder);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClass("*\\ShellEx\\ContextMenuHandlers")))
        << "emptied parents of our handler go too";
    // The user's settings stay unless asked for.
    EXPECT_EQ("*.*", ReadString(HKEY_CURRENT_USER, std::string(kAppKey) + "\\Settings", "DefaultFilter"));
}

TEST_F(Setup, UninstallRemovesTheSettingsWhenAskedAndSparesANeighbour) {
    const std::string neighbour = kNeighbourHandler;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, neighbour.c_str(), 0, nullptr, 0, KEY_WRITE,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(0u, Install());
    ExpectIntegration(m_folder, true);
    CRegistryProfileStore settings;
    ASSERT_TRUE(settings.WriteString("Settings", "DefaultFilter", "*.txt"));

    EXPECT_EQ(0u, UninstallQuietly("/REMOVESETTINGS"));
    ExpectNothingOfOursLeft(m_folder);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
    // The maker's key goes with it, unless another program of ours is there.
    HKEY maker = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, &maker) == ERROR_SUCCESS) {
        DWORD subkeys = 0, values = 0;
        RegQueryInfoKeyA(maker, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr);
        RegCloseKey(maker);
        EXPECT_GT(subkeys + values, 0u) << "an empty maker's key is left";
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, neighbour)) << "another program's handler stays";
}

TEST_F(Setup, IntegrationIsAChoiceAndTheDefaultFolderIsPerUser) {
    // Into the default folder, without the menu.
    ASSERT_EQ(0u, RunAndWaitForAll("\"" + SetupPath() + "\" /S /NOINTEGRATION"));
    ExpectProgramInstalled(DefaultFolder());
    ExpectIntegration(DefaultFolder(), false);
    EXPECT_EQ(0u, UninstallQuietly());
    ExpectNothingOfOursLeft(DefaultFolder());

    // Installed again with the menu, then once more without: the second
    // install takes the menu of the first away.
    ASSERT_EQ(0u, Install());
    ExpectIntegration(m_folder, true);
    ASSERT_EQ(0u, Install("/NOINTEGRATION"));
    ExpectProgramInstalled(m_folder);
    ExpectIntegration(m_folder, false);
    EXPECT_EQ(0u, UninstallQuietly());
    ExpectNothingOfOursLeft(m_folder);
}

// A menu that cannot be registered leaves the program installed and says so
// in the exit code, rather than passing for a full install.
TEST_F(Setup, AMenuThatCannotBeRegisteredIsReported) {
    // A volatile key takes no lasting subkeys: the registrar's first key
    // cannot be filled in.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, UserClass("Pardwell.ShellContextMenu.1").c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(3u, Install());
    ExpectProgramInstalled(m_folder);
    EXPECT_EQ(0u, UninstallQuietly());
    ExpectNothingOfOursLeft(m_folder);
}

// The user's Path as stored: its text unexpanded and its type (0: none).
struct UserPath {
    std::string text;
    DWORD type = 0;
    bool operator==(const UserPath& o) const { return text == o.text && type == o.type; }
};

std::ostream& operator<<(std::ostream& out, const UserPath& path) {
    return out << "(" << path.type << ") " << path.text;
}

UserPath ReadUserPath() {
    UserPath path;
    std::vector<char> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (RegGetValueA(HKEY_CURRENT_USER, "Environment", "Path",
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &path.type, buffer.data(),
                     &size) == ERROR_SUCCESS)
        path.text = buffer.data();
    else
        path.type = 0;
    return path;
}

void WriteUserPath(const UserPath& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Environment", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (path.type == 0)
        RegDeleteValueA(key, "Path");
    else
        RegSetValueExA(key, "Path", 0, path.type, reinterpret_cast<const BYTE*>(path.text.c_str()),
                       static_cast<DWORD>(path.text.size() + 1));
    RegCloseKey(key);
}

// A hidden top-level window that counts the broadcasts of a changed
// environment, as Explorer hears them.
class EnvironmentListener {
public:
    EnvironmentListener() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PardwellEnvironmentListener";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                               nullptr);
    }
    ~EnvironmentListener() { DestroyWindow(m_hwnd); }
    bool Ready() const { return m_hwnd != nullptr; }
    static int s_changes;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETTINGCHANGE && lParam &&
            lstrcmpA(reinterpret_cast<const char*>(lParam), "Environment") == 0)
            ++s_changes;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};
int EnvironmentListener::s_changes = 0;

// The folder goes into the user's Path once however often the setup runs,
// in the type the Path had, and only that entry goes again: by the
// uninstaller, or by a later install without it.
TEST_F(Setup, AddsItsFolderToTheUserPathOnceAndTakesOutOnlyThat) {
    const UserPath saved = ReadUserPath();
    struct Restore {
        UserPath path;
        ~Restore() { WriteUserPath(path); }
    } restore{saved};
    // Ours always comes after a separator of its own, so that taking it out
    // gives back what was there, a final separator too.
    const struct {
        const char* name;
        const char* text;
        DWORD type;
        const char* separator;
    } cases[] = {
        {"expandable, ending in a separator", "%USERPROFILE%\\bin;;C:\\Tools;", REG_EXPAND_SZ, ";"},
        {"plain", "C:\\Tools", REG_SZ, ";"},
        {"none yet", "", 0, ""},
    };
    EnvironmentListener listener;
    ASSERT_TRUE(listener.Ready());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UserPath before{c.text, c.type};
        WriteUserPath(before);
        ASSERT_EQ(0u, Install("/NOPATH"));
        EXPECT_EQ(ReadUserPath(), before);
        const int heard = EnvironmentListener::s_changes;
        ASSERT_EQ(0u, Install());
        EXPECT_EQ(EnvironmentListener::s_changes, heard + 1) << "the change is broadcast once";
        ASSERT_EQ(0u, Install());
        EXPECT_EQ(EnvironmentListener::s_changes, heard + 1) << "nothing to tell when nothing changed";
        const UserPath with{before.text + c.separator + m_folder, before.type ? before.type : REG_EXPAND_SZ};
        EXPECT_EQ(ReadUserPath(), with);
        ASSERT_EQ(0u, Install("/NOPATH"));
        EXPECT_EQ(ReadUserPath(), before);
        ASSERT_EQ(0u, Install());
        EXPECT_EQ(0u, RunAndWaitForAll("\"" + m_folder + "\\pardwell-cli.exe\" --version"));
        EXPECT_EQ(0u, UninstallQuietly());
        EXPECT_EQ(ReadUserPath(), before);
        ExpectNothingOfOursLeft(m_folder);
    }
    // An entry the user made is the user's: the uninstaller leaves it.
    const UserPath own{"C:\\Tools;" + m_folder + "\\", REG_EXPAND_SZ};
    WriteUserPath(own);
    ASSERT_EQ(0u, Install());
    EXPECT_EQ(ReadUserPath(), own);
    EXPECT_EQ(0u, UninstallQuietly());
    EXPECT_EQ(ReadUserPath(), own);
}

#ifndef _WIN64
// On 64-bit Windows the 32-bit setup sends the user to the 64-bit one: run
// silently it installs nothing and says so in its exit code.
TEST(Setup32, RefusesSilentlyOn64BitWindows) {
    if (!OnWow64()) GTEST_SKIP() << "a 32-bit Windows: the 32-bit setup installs here";
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "pw setup refused";
    EXPECT_EQ(2u, RunAndWaitForAll("\"" + SetupPath() + "\" /S /D=" + folder));
    EXPECT_FALSE(FileExists(folder));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
}
#endif

}  // namespace
