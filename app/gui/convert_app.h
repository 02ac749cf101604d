#pragma once
// The application object: one per process, owning the settings and the
// shared display resources. The program runs the main dialog from
// InitInstance and ends when it closes; settings are written at destruction,
// and only if they were loaded first.

#include <string>

#include "app/gui/shell_resources.h"
#include "app/registry_store.h"
#include "app/settings.h"

class CConvertApp {
public:
    CConvertApp();
    ~CConvertApp();
    CConvertApp(const CConvertApp&) = delete;
    CConvertApp& operator=(const CConvertApp&) = delete;

    // Start-up to the end of the main dialog. Always false, so that no
    // message loop follows.
    bool InitInstance(const char* commandLine);

    CAppSettings& Settings() { return m_settings; }
    ShellResources& Resources() { return m_resources; }
    IProfileStore& Profile() { return m_store; }
    // "Software\Quillfen\<application title>"
    const std::string& RegistryKey() const { return m_registryKey; }
    // Exit code for the process: 0 after a normal run, 1 when start-up failed.
    int ExitCode() const { return m_exitCode; }

    // Loads the settings from the registry (start-up does this once).
    void LoadSettings();
    bool SettingsLoaded() const { return m_loaded; }

private:
    std::string m_registryKey;
    CRegistryProfileStore m_store;
    ShellResources m_resources;
    // Declared last: destroyed (and saved) first, while the store exists.
    CAppSettings m_settings;
    bool m_loaded = false;
    int m_exitCode = 0;
};

// The process's application object.
CConvertApp& App();
