// Test helper: another program saving a file in place, as an editor does:
// it opens the existing file, truncates it and writes TEXT.
// usage: converter_save_file PATH TEXT

#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    HANDLE h = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD put = 0;
    const DWORD size = static_cast<DWORD>(std::strlen(argv[2]));
    const bool ok = WriteFile(h, argv[2], size, &put, nullptr) && put == size;
    return CloseHandle(h) && ok ? 0 : 1;
}
