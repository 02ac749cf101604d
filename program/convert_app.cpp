#include "program/convert_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/command_line.h"
#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/main_dlg.h"

bool CConvertApp::InitInstance(const char* commandLine) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_USEREX_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    if (!m_resources.Init()) {
        m_exitCode = 1;
        return false;
    }
    m_settings.Load(m_store);

    CConvertCommandLineInfo info;
    if (commandLine)
        info.ParseCommandLine(commandLine);
    else
        info.ParseProcessCommandLine();

    if (info.m_mode == CConvertCommandLineInfo::kModeUsage) {
        MessageBoxA(nullptr, LoadResourceText(IDS_USAGE).c_str(), LoadResourceText(IDS_APP_TITLE).c_str(),
                    MB_ICONEXCLAMATION | MB_OK);
        return false;
    }

    // Shell calls (open, help, links) want COM on this thread.
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        bool withFormat = info.m_mode == CConvertCommandLineInfo::kModeFormat;
        CMainDlg dialog(m_settings, m_resources, m_store, withFormat ? info.m_format : -1,
                        withFormat ? &info.m_files : nullptr);
        if (dialog.DoModal() == -1) m_exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return false;
}
