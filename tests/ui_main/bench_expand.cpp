// Expanding a large folder into the job list against the bare
// FindFirstFile/FindNextFile walk of the same folder.
// usage: expand_bench [file count] [folder]   (default 100000, a folder in TEMP)
// Prints both times and their ratio against the target of 2; exit code 1 if
// it is missed. Under Wine, creating 100000 files takes many minutes: make
// them once from the host (e.g. `touch` into /dev/shm/x) and pass that folder.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/folder_walk.h"
#include "tests/ui_main/ui_test_support.h"

namespace {
double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

int BareWalk(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int files = 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return files;
}

void Populate(const std::string& folder, int count) {
    CreateDirectoryA(folder.c_str(), nullptr);
    if (BareWalk(folder) >= count) return;
    for (int i = 0; i < count; ++i) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof(name), "%s\\file%06d.txt", folder.c_str(), i);
        HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}
}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        folder = std::string(temp) + "pardwell_expand_bench_" + std::to_string(count);
    }
    Populate(folder, count);
    TestApp::Get();

    BareWalk(folder);  // warm the caches for both measurements
    double t0 = Now();
    int walked = BareWalk(folder);
    double bare = Now() - t0;

    double tw = Now();
    CFileFilter all("*.*");
    int visited =
        WalkFolder(NativeFileSystem(), folder.c_str(), all, false, [](const std::string&) { return true; });
    double walk = Now() - tw;

    TestMainDlg dlg(0, nullptr);
    if (!dlg.Create()) {
        std::printf("could not create the main dialog\n");
        return 2;
    }
    double t1 = Now();
    int added = dlg.Jobs().ExpandFolder(folder.c_str(), "*.*", false);
    double expand = Now() - t1;
    int listed = dlg.Jobs().Control().GetItemCount();
    dlg.DestroyWindow();

    double ratio = bare > 0 ? expand / bare : 0;
    std::printf("files: %d walked, %d added, %d listed\n", walked, added, listed);
    std::printf("bare FindFirstFile/FindNextFile walk: %.3f s\n", bare);
    std::printf("WalkFolder alone (%d files):         %.3f s\n", visited, walk);
    std::printf("ExpandFolder into the job list:      %.3f s\n", expand);
    const bool met = ratio <= 2.0 && added == walked;
    std::printf("ratio: %.2f (target at most 2): %s\n", ratio, met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
