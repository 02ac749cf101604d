// Shows Gorsemere's menu, its submenu open, as a context menu of one file,
// for screenshots: tools/screenshot OUT.png menu_preview.exe [FILE]. The
// library is loaded from the build, not registered, and asked for its menu
// the way the file manager asks: Initialize with the shell folder's own data
// object, then QueryContextMenu.
#include <windows.h>
#include <shlobj.h>

#include "gorsemere_idl.h"
#include "shell_selection.h"

namespace {

// Opens the first item's submenu once the menu is up.
void CALLBACK OpenSubmenu(HWND owner, UINT, UINT_PTR id, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    if (!menu) return;
    KillTimer(owner, id);
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RIGHT, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CoInitialize(nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* file = __argc > 1 ? __argv[1] : self;

    // The build names the library by its Linux path, which Wine maps to Z:.
    char dll[MAX_PATH] = "Z:";
    lstrcpynA(dll + 2, GORSEMERE_DLL, MAX_PATH - 2);
    for (char* p = dll; *p; ++p)
        if (*p == '/') *p = '\\';
    HMODULE library = LoadLibraryA(dll);
    auto getClassObject = library ? reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
                                        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")))
                                  : nullptr;
    IClassFactory* factory = nullptr;
    IContextMenu* menu = nullptr;
    IShellExtInit* init = nullptr;
    IDataObject* data = ShellSelectionOf(file);
    if (!getClassObject || !data ||
        FAILED(getClassObject(CLSID_GorsemereContextMenu, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu))) ||
        FAILED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init))) ||
        FAILED(init->Initialize(nullptr, data, nullptr)))
        return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "GorsemereMenuPreview";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowA("GorsemereMenuPreview", "Gorsemere menu", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                               0, 480, 260, nullptr, nullptr, instance, nullptr);
    SetForegroundWindow(owner);
    HMENU popup = CreatePopupMenu();
    if (FAILED(menu->QueryContextMenu(popup, 0, 1, 100, CMF_NORMAL))) return 1;
    SetTimer(owner, 1, 500, OpenSubmenu);
    POINT at = {40, 60};
    ClientToScreen(owner, &at);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, owner, nullptr);
    return 0;
}
