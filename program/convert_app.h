#pragma once
// The application object: one per process, the top of the program. It owns
// the settings, their store and the shared display resources, and hands them
// to the main dialog it runs from InitInstance; the program ends when that
// dialog closes. Settings are written at destruction, and only if they were
// loaded first.

#include "app/registry_store.h"
#include "app/settings.h"
#include "ui/shell_resources.h"

class CConvertApp {
public:
    CConvertApp() = default;
    CConvertApp(const CConvertApp&) = delete;
    CConvertApp& operator=(const CConvertApp&) = delete;

    // Start-up to the end of the main dialog. Always false, so that no
    // message loop follows.
    bool InitInstance(const char* commandLine);

    // Exit code for the process: 0 after a normal run, 1 when start-up failed.
    int ExitCode() const { return m_exitCode; }

private:
    CRegistryProfileStore m_store{kProductRegistryKey};
    ShellResources m_resources;
    // Declared last: destroyed (and saved) first, while the store exists.
    CAppSettings m_settings;
    int m_exitCode = 0;
};
