#include <windows.h>

#include "program/convert_app.h"

// A static object, as the settings are saved when it is destroyed at exit.
static CConvertApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    theApp.InitInstance(nullptr);
    return theApp.ExitCode();
}
