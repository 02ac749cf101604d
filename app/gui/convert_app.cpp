#include "app/gui/convert_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/command_line.h"
#include "res/resource.h"
#include "ui/main/main_dlg.h"

namespace {
CConvertApp* g_app = nullptr;

std::string AppTitle() {
    char title[256];
    int n = LoadStringA(GetModuleHandleA(nullptr), IDS_APP_TITLE, title, sizeof(title));
    return n > 0 ? std::string(title, n) : std::string("Pardwell");
}
}  // namespace

CConvertApp& App() { return *g_app; }

CConvertApp::CConvertApp() : m_registryKey("Software\\Quillfen\\" + AppTitle()), m_store(m_registryKey.c_str()) {
    g_app = this;
}

CConvertApp::~CConvertApp() {
    // m_settings saves itself as it goes (first, being declared last), and
    // only if it was loaded: an early exit keeps the stored values.
    if (g_app == this) g_app = nullptr;
}

void CConvertApp::LoadSettings() {
    m_settings.Load(m_store);
    m_loaded = true;
}

bool CConvertApp::InitInstance(const char* commandLine) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_USEREX_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    if (!m_resources.Init()) {
        m_exitCode = 1;
        return false;
    }
    LoadSettings();

    CConvertCommandLineInfo info;
    if (commandLine)
        info.ParseCommandLine(commandLine);
    else
        info.ParseProcessCommandLine();

    if (info.m_mode == CConvertCommandLineInfo::kModeUsage) {
        char usage[512] = {};
        LoadStringA(GetModuleHandleA(nullptr), IDS_USAGE, usage, sizeof(usage));
        MessageBoxA(nullptr, usage, AppTitle().c_str(), MB_ICONEXCLAMATION | MB_OK);
        return false;
    }

    // Shell calls (open, help, links) want COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        bool withFormat = info.m_mode == CConvertCommandLineInfo::kModeFormat;
        CMainDlg dialog(withFormat ? info.m_format : -1, withFormat ? &info.m_files : nullptr);
        if (dialog.DoModal() == -1) m_exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return false;
}
