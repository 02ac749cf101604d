// Stand-in for Pardwell.exe: writes the command line it was given (without
// its own name) to "cmdline.txt" beside itself, and ends.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* line = GetCommandLineA();
    // Skip the program's own name, quoted or not, and the blanks after it.
    if (*line == '"') {
        ++line;
        while (*line && *line != '"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;

    char folder[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    *std::strrchr(folder, '\\') = '\0';
    char temp[MAX_PATH + 32];
    char record[MAX_PATH + 32];
    wsprintfA(temp, "%s\\cmdline.tmp", folder);
    wsprintfA(record, "%s\\cmdline.txt", folder);
    // Written under another name first, so a reader never sees half of it.
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
    return MoveFileExA(temp, record, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
