// Opens one of the dialogs for a screenshot (tools/screenshot):
// "options" the Options dialog, "addfiles" the Add Files dialog, "check"
// the main window after Check Line Breaks over files of every kind.
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
    if (std::strstr(commandLine, "check")) {
        const std::string utf16("\xFF\xFEW\0i\0n\0\r\0\n\0", 12);
        const std::pair<const char*, std::string> files[] = {
            {"readme.txt", "Read me\r\nfirst\r\n"},
            {"main.c", "int main()\n{\n}\n"},
            {"notes.txt", "a\r\nb\nc\r\nd\re\n"},
            {"logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\r", 12)},
            {"settings.reg", utf16},
            {"old.mac", "line\rline\r"},
        };
        TestMainDlg dialog(0, nullptr);
        if (!dialog.Create()) return 1;
        for (const auto& f : files) dialog.AddFileToList(temp.Write(f.first, f.second).c_str());
        // As a user would drag it: the folder column narrowed so all three show.
        SendMessageA(dialog.JobList().m_hWnd, LVM_SETCOLUMNWIDTH, 1, 150);
        SendMessageA(dialog.JobList().m_hWnd, LVM_SETCOLUMNWIDTH, 2, 170);
        ShowWindow(dialog.m_hWnd, SW_SHOW);
        SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_CHECK, 0), 0);
        MSG msg;
        while (IsWindow(dialog.m_hWnd) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return 0;
    }
    for (const char* name : {"readme.txt", "notes.txt", "main.c", "main.h"}) temp.Write(name, "x");
    app.Settings().LastFile = temp.Path() + "\\readme.txt";
    TestMainDlg dialog(-1, nullptr);
    if (!dialog.Create()) return 1;
    SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FILES, 0), 0);
    return 0;
}
