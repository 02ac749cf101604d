// Shows the About box alone, as the program would, for a screenshot.
#include <windows.h>
#include <commctrl.h>

#include "ui/dialogs/about_dlg.h"
#include "ui/shell_resources.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ShellResources resources;
    if (!resources.Init()) return 1;
    CAboutDlg about(resources);
    about.DoModal();
    return 0;
}
