// A batch of many small files, the way real jobs come: ConvertFile over N
// files against the bare safe rewrite of each (read, write a temporary file,
// replace), and on Windows the whole run through the real main window,
// started as its own process and driven from outside as a user would:
// list the folder, press Convert, wait for the summary; then the time from
// Convert to the first file touched, and from Stop or Close to the end.
// usage: batch_bench [N] [FOLDER] [PARDWELL.EXE]   (default 2000, the temp
// folder, the Pardwell.exe of this build)

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/converter.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const char kContent[] = "abc\r\nd\r\n";  // 8 bytes, two breaks

#ifdef _WIN32
const char kSeparator = '\\';

bool WriteWhole(const std::string& path, const std::string& data, DWORD disposition) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
              written == data.size();
    return CloseHandle(h) && ok;
}

// Read the file, write it to a new temporary file beside it, replace it.
bool BareRewrite(const std::string& path) {
    HANDLE in = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD got = 0;
    bool ok = ReadFile(in, buffer, sizeof(buffer), &got, nullptr) != FALSE;
    CloseHandle(in);
    const std::string temp = path + ".tmp";
    ok = ok && WriteWhole(temp, std::string(buffer, got), CREATE_NEW);
    return ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
#else
const char kSeparator = '/';

bool WriteWhole(const std::string& path, const std::string& data, int flags) {
    int fd = open(path.c_str(), O_WRONLY | flags, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    return close(fd) == 0 && ok;
}

bool BareRewrite(const std::string& path) {
    int in = open(path.c_str(), O_RDONLY);
    if (in < 0) return false;
    char buffer[65536];
    ssize_t got = read(in, buffer, sizeof(buffer));
    close(in);
    const std::string temp = path + ".tmp";
    bool ok = got >= 0 && WriteWhole(temp, std::string(buffer, got), O_CREAT | O_EXCL);
    return ok && rename(temp.c_str(), path.c_str()) == 0;
}
#endif

std::vector<std::string> MakeFiles(const std::string& folder, int count) {
    std::vector<std::string> files;
    MakeFolder(folder);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "f%05d.txt", i);
        files.push_back(folder + kSeparator + name);
#ifdef _WIN32
        WriteWhole(files.back(), kContent, CREATE_ALWAYS);
#else
        WriteWhole(files.back(), kContent, O_CREAT | O_TRUNC);
#endif
    }
    return files;
}

struct Target {
    const char* what;
    double value;
    double limit;
    const char* unit;
};

void Report(const std::vector<Target>& targets) {
    bool all = true;
    for (const Target& t : targets) {
        // A negative figure is a measurement that could not be taken.
        const bool met = t.value >= 0 && t.value <= t.limit;
        all = all && met;
        std::printf("  %-46s %8.3f%-2s (target <= %.2f%s) %s\n", t.what, t.value, t.unit, t.limit, t.unit,
                    met ? "met" : "NOT MET");
    }
    std::printf("%s\n", all ? "all targets met" : "some targets not met");
}

#ifdef _WIN32
// Signalled when the first file of the folder is touched (a temporary file
// appears beside it).
class FirstTouch {
public:
    explicit FirstTouch(const std::string& folder)
        : m_change(FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME)) {}
    ~FirstTouch() {
        if (m_change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_change);
    }
    double Wait(Clock::time_point from) const {
        if (m_change == INVALID_HANDLE_VALUE) return -1;
        return WaitForSingleObject(m_change, 600000) == WAIT_OBJECT_0 ? Seconds(from) : -1;
    }

private:
    HANDLE m_change;
};

#endif

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string folder =
        argc > 2 ? argv[2] : TempFolder() + "pardwell_batch_bench_" + std::to_string(count);
    if (count <= 0) {
        std::fprintf(stderr, "usage: batch_bench [N] [FOLDER] [PARDWELL.EXE]\n");
        return 2;
    }
    std::vector<std::string> files = MakeFiles(folder, count);
    std::printf("%d files of %zu bytes in %s\n", count, std::strlen(kContent), folder.c_str());

    // Warm the caches for both measurements alike.
    for (const std::string& f : files) BareRewrite(f);
    auto start = Clock::now();
    int failures = 0;
    for (const std::string& f : files) failures += BareRewrite(f) ? 0 : 1;
    const double bare = Seconds(start);

    // Keep times and attributes, no backup: the default options, binary
    // files converted. Each pass changes every file, so nothing is skipped
    // as already converted.
    ConvertOptions toLf;
    toLf.format = LineEndingFormat::Unix;
    toLf.skipBinary = false;
    start = Clock::now();
    for (const std::string& f : files)
        failures += ConvertFile(NativeFileSystem(), f.c_str(), toLf).ok() ? 0 : 1;
    const double convert = Seconds(start);
    std::printf("bare safe rewrite     %8.3f s  (%.3f ms a file)\n", bare, bare * 1000 / count);
    std::printf("ConvertFile           %8.3f s  (%.3f ms a file)\n", convert, convert * 1000 / count);
    if (failures) std::printf("%d operations failed\n", failures);
    std::vector<Target> targets = {{"ConvertFile / bare rewrite", convert / bare, 2.0, "x"}};

#ifdef _WIN32
    const std::string exe = WindowsPath(argc > 3 ? argv[3] : PARDWELL_EXE);
    const double perFile = convert / count;
    // The options a run reads, as the defaults have them.
    RegistryOptions options({{"KeepTimestamp", 1},
                             {"KeepAttributes", 1},
                             {"IgnoreReadOnly", 1},
                             {"BackupFile", 0},
                             {"AutoStart", 1},
                             {"AutoClose", 0},
                             {"AlwaysOnTop", 0}});
    double run = -1, first = -1, stop = -1, close = -1, exited = -1;
    {
        // The files are LF now: to CR LF, every one of them.
        Window window(exe, "/w", folder, count);
        FirstTouch touch(folder);
        if (window.Ready()) {
            const auto pressed = Clock::now();
            window.Press(kConvertId);
            first = touch.Wait(pressed);
            run = window.WaitStatus("Converted:", pressed);
        }
    }
    {
        Window window(exe, "/u", folder, count);
        FirstTouch touch(folder);
        if (window.Ready()) {
            window.Press(kConvertId);
            touch.Wait(Clock::now());
            Sleep(300);  // well into the run
            const auto pressed = Clock::now();
            window.Press(kStopId);
            stop = window.WaitStatus("Aborted:", pressed);
        }
    }
    {
        Window window(exe, "/w", folder, count);
        FirstTouch touch(folder);
        if (window.Ready()) {
            window.Press(kConvertId);
            touch.Wait(Clock::now());
            Sleep(300);
            const auto pressed = Clock::now();
            window.Close();
            close = window.WaitHidden(pressed);
            exited = window.WaitExit(pressed);
        }
    }
    std::printf("run through the window %7.3f s\n", run);
    std::printf("Convert to first file %8.3f s\n", first);
    std::printf("Stop to end of run    %8.3f s\n", stop);
    std::printf("Close to closed window %7.3f s\n", close);
    // Under Wine without a window manager, unmapping a window waits up to
    // two seconds for a manager that never answers; Windows does not.
    std::printf("Close to process end  %8.3f s\n", exited);
    if (run < 0 || first < 0 || stop < 0 || close < 0)
        std::printf("the window could not be driven (%s)\n", exe.c_str());
    targets.push_back({"run through the window / ConvertFile", run / convert, 1.3, "x"});
    targets.push_back({"Convert to first file", first, 0.5, "s"});
    targets.push_back({"Stop to end, less one file", stop - perFile, 0.5, "s"});
    targets.push_back({"Close to closed window, less one file", close - perFile, 0.5, "s"});
#endif
    Report(targets);
    return 0;
}
