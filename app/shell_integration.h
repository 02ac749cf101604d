#pragma once
// Switching the file manager's "Convert EOL to" menu on and off, and the
// program's recorded install folder ("InstallDir") that the menu extension
// uses to find the program. Windows only.

#include "app/profile_store.h"

#include <string>

class CShellIntegration {
public:
    explicit CShellIntegration(IProfileStore& profile) : m_profile(profile) {}
    virtual ~CShellIntegration() = default;

    // How many of the two context-menu handler keys exist (0, 1 or 2), in
    // the user's or the machine's classes.
    int IsEnabled();
    // Enable when `enable` is nonzero, otherwise Disable; the outcome shows
    // in the next IsEnabled.
    void Switch(int enable);
    // Starts the registration tool on the extension in the install folder,
    // for the current user (HKCU\Software\Classes), hidden and without waiting. False when the library is not
    // there or the tool could not be started.
    bool Enable();
    // Deletes both handler keys from the user's and the machine's classes;
    // true only when each of the two was deleted somewhere.
    bool Disable();

    std::string m_moduleName = "Gorsemere.dll";

private:
    IProfileStore& m_profile;
};

// "InstallDir" from the application key; when missing or empty, the folder of
// this program's executable, which is then recorded. A recorded value is
// never refreshed.
std::string GetInstallDir(IProfileStore& profile);

// The folder part of an executable's path, as the path utilities remove a
// file name: "C:\Tools\Pardwell.exe" gives "C:\Tools", "C:\Pardwell.exe"
// gives "C:\" (a root keeps its backslash), a bare name gives "".
std::string FolderOfModulePath(const char* modulePath);
