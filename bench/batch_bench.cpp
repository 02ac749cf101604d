// A batch of many small files, the way real jobs come: ConvertFile over N
// files against the bare safe rewrite of each (read, write a temporary file,
// replace), and on Windows the whole run through the real main window,
// started as its own process and driven from outside as a user would:
// list the folder, press Convert, wait for the summary; then the time from
// Convert to the first file touched, and from Stop or Close to the end.
// usage: batch_bench [N] [FOLDER] [PARDWELL.EXE]   (default 2000, the temp
// folder, the Pardwell.exe of this build)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/converter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

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

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    return base;
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

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || access(path.c_str(), F_OK) == 0;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/";
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
// The build hands a Linux path; Wine maps / to Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}

constexpr int kConvertId = 1006;  // the main dialog's Convert, Stop and status line
constexpr int kStopId = 1011;
constexpr int kStatusId = 1013;

// One Pardwell.exe with a folder on its command line, driven from outside.
class Window {
public:
    Window(const std::string& exe, const std::string& switches, const std::string& folder, int count)
        : m_folder(folder) {
        std::string line = "\"" + exe + "\" " + switches + " \"" + folder + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
            return;
        WaitForInputIdle(m_process.hProcess, 30000);
        const auto start = Clock::now();
        // Listed: the status line says how many files were added.
        const std::string listed = std::to_string(count) + " file(s) added";
        while (Seconds(start) < 120) {
            if (!m_dialog) m_dialog = Find();
            if (m_dialog && Status() == listed) return;
            Sleep(20);
        }
        m_dialog = nullptr;
    }
    ~Window() {
        if (!m_process.hProcess) return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT && m_dialog) {
            PostMessageA(m_dialog, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(m_process.hProcess, 30000) == WAIT_TIMEOUT)
                TerminateProcess(m_process.hProcess, 1);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
    bool Ready() const { return m_dialog != nullptr; }
    std::string Status() const {
        char text[256] = "";
        HWND status = GetDlgItem(m_dialog, kStatusId);
        DWORD_PTR got = 0;
        if (!SendMessageTimeoutA(status, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                                 5000, &got))
            return std::string();
        return text;
    }
    void Press(int id) const { PostMessageA(GetDlgItem(m_dialog, id), BM_CLICK, 0, 0); }
    void Close() const { PostMessageA(m_dialog, WM_CLOSE, 0, 0); }
    // Waits until the status line starts with prefix; seconds since from.
    double WaitStatus(const char* prefix, Clock::time_point from) const {
        while (Seconds(from) < 600) {
            if (Status().rfind(prefix, 0) == 0) return Seconds(from);
            Sleep(5);
        }
        return -1;
    }
    // The window is gone from the screen: the run has ended and the dialog
    // is on its way out.
    double WaitHidden(Clock::time_point from) const {
        while (Seconds(from) < 600) {
            if (!IsWindow(m_dialog) || !IsWindowVisible(m_dialog)) return Seconds(from);
            Sleep(2);
        }
        return -1;
    }
    double WaitExit(Clock::time_point from) const {
        return WaitForSingleObject(m_process.hProcess, 600000) == WAIT_OBJECT_0 ? Seconds(from) : -1;
    }

private:
    HWND Find() const {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == m_process.dwProcessId && IsWindowVisible(w) && GetDlgItem(w, kStatusId)) return w;
        }
        return nullptr;
    }
    std::string m_folder;
    PROCESS_INFORMATION m_process{};
    HWND m_dialog = nullptr;
};

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

// The settings a run reads, as the defaults have them, for the length of
// the benchmark; what the user had is put back afterwards.
class DefaultOptions {
public:
    DefaultOptions() {
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &m_key,
                        nullptr);
        for (const char* name : kNames) {
            DWORD value = 0, size = sizeof(value), type = 0;
            bool had = RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                        &size) == ERROR_SUCCESS &&
                       type == REG_DWORD;
            m_saved.push_back({had, value});
        }
        Set({1, 1, 1, 0, 1, 0, 0});
    }
    ~DefaultOptions() {
        for (size_t i = 0; i < kNames.size(); ++i) {
            if (m_saved[i].first)
                RegSetValueExA(m_key, kNames[i], 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&m_saved[i].second), sizeof(DWORD));
            else
                RegDeleteValueA(m_key, kNames[i]);
        }
        RegCloseKey(m_key);
    }

private:
    void Set(const std::vector<DWORD>& values) {
        for (size_t i = 0; i < kNames.size(); ++i)
            RegSetValueExA(m_key, kNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]),
                           sizeof(DWORD));
    }
    static constexpr const char* kKey = "Software\\Quillfen\\Pardwell\\Settings";
    const std::vector<const char*> kNames = {"KeepTimestamp", "KeepAttributes", "IgnoreReadOnly",
                                             "BackupFile",    "AutoStart",      "AutoClose",
                                             "AlwaysOnTop"};
    HKEY m_key = nullptr;
    std::vector<std::pair<bool, DWORD>> m_saved;
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
    DefaultOptions options;
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
