// Opens one of the dialogs for a screenshot (tools/screenshot):
// "options" the Options dialog, "addfiles" the Add Files dialog.
#include <windows.h>

#include <cstring>

#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/options_dlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    TestApp& app = TestApp::Get();
    ResetSettings();
    if (std::strstr(commandLine, "options")) {
        app.Settings().DefaultFilter = "*.txt";
        app.Settings().Program = "C:\\windows\\notepad.exe";
        COptionsDlg(app.Settings(), app.Store()).DoModal();
        return 0;
    }
    TempFolder temp;
    for (const char* name : {"readme.txt", "notes.txt", "main.c", "main.h"}) temp.Write(name, "x");
    app.Settings().LastFile = temp.Path() + "\\readme.txt";
    TestMainDlg dialog(-1, nullptr);
    if (!dialog.Create()) return 1;
    SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FILES, 0), 0);
    return 0;
}
