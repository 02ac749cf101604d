#pragma once
// Helpers for driving Gorsemere the way the file manager does.

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

// Z:\... form of a Linux path as Wine's programs see it.
std::string WindowsPath(const char* unixPath);
std::string FolderOf(const std::string& path);

std::string GorsemerePath();
std::string StandinPath();

// Runs "regsvr32.exe <args> "<path>"" of the prefix and gives its exit code.
DWORD RunRegsvr32(const char* args, const std::string& path);
// Registers the build's library once per process (asserting it worked).
void EnsureRegistered();

// `view` may name a registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0);
// Value `name` ("" = default) of the key, or "<missing>".
std::string ReadString(HKEY root, const std::string& path, const char* name);
bool WriteString(HKEY root, const std::string& path, const char* name, const std::string& value);
bool DeleteValue(HKEY root, const std::string& path, const char* name);

// Sets HKCU\Software\Quillfen\Pardwell "InstallDir" for the life of the
// object (absent when `value` is null) and restores the old state after.
class ScopedInstallDir {
public:
    explicit ScopedInstallDir(const char* value);
    ~ScopedInstallDir();
    void Set(const char* value);

private:
    bool m_hadValue = false;
    std::string m_oldValue;
};

// A data object with CF_HDROP only, as the file manager gives one.
IDataObject* CreateHDropDataObject(const std::vector<std::string>& paths);
// The same with a UTF-16 file list, as the file manager gives it.
IDataObject* CreateWideHDropDataObject(const std::vector<std::wstring>& paths);
// A data object that offers no file list at all.
IDataObject* CreateEmptyDataObject();

// Waits for the stand-in's record of its command line; false on timeout.
bool WaitForRecord(const std::string& recordPath, std::string& commandLine, DWORD timeoutMs);

extern const char kClsidText[];
extern const char kLibidText[];
