#include "app/shell_integration.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>

#include "core/platform/win32_handles.h"

namespace {

const char kStarHandlers[] = "*\\ShellEx\\ContextMenuHandlers";
const char kFolderHandlers[] = "Folder\\ShellEx\\ContextMenuHandlers";
const char kHandlerName[] = "Pardwell";
const char kInstallDirValue[] = "InstallDir";

CKeyHandle OpenKey(HKEY parent, const char* subkey, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, subkey, 0, access, &key) != ERROR_SUCCESS) return CKeyHandle();
    return CKeyHandle(key);
}

// The user's own classes, where the menu is registered: HKEY_CLASSES_ROOT
// shows them merged with the machine's on Windows, but not on every system
// the program meets, so both places are looked at.
const char kUserClasses[] = "Software\\Classes\\";

std::string HandlerKey(const char* handlers) {
    return std::string(handlers) + "\\" + kHandlerName;
}

bool HandlerKeyExists(const char* handlers) {
    const std::string path = HandlerKey(handlers);
    return OpenKey(HKEY_CLASSES_ROOT, path.c_str(), KEY_READ).IsValid() ||
           OpenKey(HKEY_CURRENT_USER, (kUserClasses + path).c_str(), KEY_READ).IsValid();
}

// True when a handler key was deleted in either place.
bool DeleteHandlerKey(const char* handlers) {
    bool deleted = false;
    CKeyHandle user = OpenKey(HKEY_CURRENT_USER, (kUserClasses + std::string(handlers)).c_str(), KEY_WRITE);
    if (user) deleted = RegDeleteKeyA(user.Get(), kHandlerName) == ERROR_SUCCESS;
    CKeyHandle merged = OpenKey(HKEY_CLASSES_ROOT, handlers, KEY_WRITE);
    if (merged && RegDeleteKeyA(merged.Get(), kHandlerName) == ERROR_SUCCESS) deleted = true;
    return deleted;
}

}  // namespace

std::string FolderOfModulePath(const char* modulePath) {
    char folder[MAX_PATH];
    if (lstrlenA(modulePath) >= MAX_PATH) return std::string();
    lstrcpynA(folder, modulePath, MAX_PATH);
    PathRemoveFileSpecA(folder);
    return folder;
}

std::string GetInstallDir(IProfileStore& profile) {
    std::string folder = profile.GetString("", kInstallDirValue, "");
    if (!folder.empty()) return folder;
    // A generous buffer, so a long path is detected rather than overrun.
    char module[1024];
    const DWORD length = GetModuleFileNameA(nullptr, module, 1023);
    if (length == 0 || length >= 1023 || length >= MAX_PATH) return std::string();
    folder = FolderOfModulePath(module);
    if (!folder.empty()) profile.WriteString("", kInstallDirValue, folder.c_str());
    return folder;
}

int CShellIntegration::IsEnabled() {
    return (HandlerKeyExists(kStarHandlers) ? 1 : 0) + (HandlerKeyExists(kFolderHandlers) ? 1 : 0);
}

void CShellIntegration::Switch(int enable) {
    if (enable)
        Enable();
    else
        Disable();
}

bool CShellIntegration::Enable() {
    const std::string folder = GetInstallDir(m_profile);
    if (folder.empty()) return false;
    char path[1024];
    const int length = std::snprintf(path, sizeof path, "%s\\%s", folder.c_str(), m_moduleName.c_str());
    if (length < 0 || static_cast<size_t>(length) >= sizeof path || !PathFileExistsA(path)) return false;
    // Registered for this user alone (the library's DllInstall "user"),
    // which needs no administrator rights, as the setup program does it.
    const std::string parameters = std::string("/s /n /i:user \"") + path + "\"";
    const HINSTANCE started =
        ShellExecuteA(nullptr, nullptr, "regsvr32.exe", parameters.c_str(), nullptr, SW_HIDE);
    // Values up to 32 are the documented failure codes.
    return reinterpret_cast<INT_PTR>(started) > 32;
}

bool CShellIntegration::Disable() {
    const bool star = DeleteHandlerKey(kStarHandlers);
    const bool folder = DeleteHandlerKey(kFolderHandlers);
    return star && folder;
}
