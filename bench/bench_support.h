#pragma once
// What the batch benchmarks share: a clock, the temporary folder, and on
// Windows one Pardwell.exe driven from outside as a user would, and options
// set in the registry for the length of a run, then put back.

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>
#endif

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// A whole file written or read through the C library; "<missing>" for a
// file that cannot be read.
inline bool WriteFileBytes(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

inline std::string ReadFileBytes(const std::string& path) {
    std::string data;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
    std::fclose(f);
    return data;
}

#ifdef _WIN32
inline bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

inline std::string TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    return base;
}

// The build hands a Linux path; Wine maps / to Z:.
inline std::string WindowsPath(std::string path) {
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
    Window(const std::string& exe, const std::string& switches, const std::string& folder, int count) {
        std::string line = "\"" + exe + "\" " + switches + " \"" + folder + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
            return;
        WaitForInputIdle(m_process.hProcess, 30000);
        const auto start = Clock::now();
        // Listed: the status line says how many files were added.
        const std::string listed = std::to_string(count) + " file(s) added";
        while (Seconds(start) < 600) {
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
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
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
    // Waits until the status line starts with prefix; seconds since from,
    // or -1 after limit seconds.
    double WaitStatus(const char* prefix, Clock::time_point from, double limit = 600) const {
        while (Seconds(from) < limit) {
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
    PROCESS_INFORMATION m_process{};
    HWND m_dialog = nullptr;
};

// Options a run reads, set for the length of a benchmark; what the user
// had is put back afterwards (a value that was not there is removed).
class RegistryOptions {
public:
    RegistryOptions(std::vector<std::pair<const char*, DWORD>> values) : m_values(std::move(values)) {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillfen\\Pardwell\\Settings", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &m_key, nullptr);
        for (const auto& v : m_values) {
            DWORD value = 0, size = sizeof(value), type = 0;
            const bool had = RegQueryValueExA(m_key, v.first, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                              &size) == ERROR_SUCCESS &&
                             type == REG_DWORD;
            m_saved.push_back({had, value});
            RegSetValueExA(m_key, v.first, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.second),
                           sizeof(DWORD));
        }
    }
    ~RegistryOptions() {
        for (size_t i = 0; i < m_values.size(); ++i) {
            if (m_saved[i].first)
                RegSetValueExA(m_key, m_values[i].first, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&m_saved[i].second), sizeof(DWORD));
            else
                RegDeleteValueA(m_key, m_values[i].first);
        }
        RegCloseKey(m_key);
    }
    RegistryOptions(const RegistryOptions&) = delete;
    RegistryOptions& operator=(const RegistryOptions&) = delete;

private:
    std::vector<std::pair<const char*, DWORD>> m_values;
    HKEY m_key = nullptr;
    std::vector<std::pair<bool, DWORD>> m_saved;
};
#else
inline bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || access(path.c_str(), F_OK) == 0;
}

inline std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/";
}
#endif
