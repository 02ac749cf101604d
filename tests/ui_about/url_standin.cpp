// Stand-in for the shell's handler of web and mail links: writes the command
// line it was given to the file named by PARDWELL_URL_RECORD, and ends.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char record[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("PARDWELL_URL_RECORD", record, sizeof(record));
    if (n == 0 || n >= sizeof(record)) return 1;
    // Written beside and then renamed, so a reader never sees half a line.
    char partial[MAX_PATH + 8];
    std::snprintf(partial, sizeof(partial), "%s.part", record);
    FILE* f = std::fopen(partial, "wb");
    if (!f) return 1;
    std::fputs(GetCommandLineA(), f);
    std::fclose(f);
    return MoveFileExA(partial, record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
