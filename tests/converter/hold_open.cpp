// Test helper: opens a path for reading with the given share mode ("read",
// the default, lets others read it; "none" lets no one open it), signals
// readiness by creating a file, and holds the handle for N milliseconds.
// Share modes only apply between handles of one wineserver, so a native
// Linux open could not stand in for this.
// usage: converter_hold_open PATH MILLISECONDS READYFILE [read|none]

#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) return 2;
    const DWORD share = argc == 5 && std::strcmp(argv[4], "none") == 0 ? 0 : FILE_SHARE_READ;
    HANDLE h = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(ready);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    CloseHandle(h);
    return 0;
}
