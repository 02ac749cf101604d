#include "cli/console.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include "app/command_line.h"
#include "core/platform/win32_text.h"
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The last characters of text that fit in width columns, one column a
// character, cut between two UTF-8 sequences.
std::string TailThatFits(const std::string& text, int width) {
    if (width <= 0) return std::string();
    size_t start = text.size();
    int columns = 0;
    while (start > 0) {
        size_t previous = start - 1;
        while (previous > 0 && (static_cast<unsigned char>(text[previous]) & 0xC0) == 0x80) --previous;
        if (++columns > width) break;
        start = previous;
    }
    return text.substr(start);
}

#ifdef _WIN32
// A console gets UTF-16 through WriteConsoleW, which shows every character
// whatever its code page; anything else gets UTF-8 bytes.
void WriteTo(DWORD which, const std::string& text) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    const bool console = GetConsoleMode(handle, &mode) != FALSE;
    std::wstring wide;
    if (console || GetACP() != CP_UTF8) {
        const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        wide.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    }
    DWORD written = 0;
    if (console) {
        for (size_t at = 0; at < wide.size();) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - at, 16384));
            if (!WriteConsoleW(handle, wide.data() + at, chunk, &written, nullptr) || written == 0) return;
            at += written;
        }
        return;
    }
    std::string bytes = text;
    if (GetACP() != CP_UTF8) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
        bytes.resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], n, nullptr,
                            nullptr);
    }
    for (size_t at = 0; at < bytes.size();) {
        if (!WriteFile(handle, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr) ||
            written == 0)
            return;
        at += written;
    }
}

bool IsTerminal(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != FALSE;
}

int TerminalWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}
#else
void WriteTo(FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int TerminalWidth() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}
#endif

}  // namespace

#ifdef _WIN32
std::vector<std::string> ProgramArguments(int, char**, std::string* unusable) {
    // From the UTF-16 line the system keeps: the runtime's narrow copy may
    // hold "?" or a look-alike for a character the code page lacks.
    std::vector<std::string> args;
    const std::vector<std::wstring> wide = SplitCommandLine(GetCommandLineW());
    for (size_t i = 1; i < wide.size(); ++i) {
        std::string narrow;
        if (NarrowName(wide[i].c_str(), &narrow))
            args.push_back(narrow);
        else if (unusable != nullptr && unusable->empty())
            *unusable = ShownText(wide[i].c_str());
    }
    return args;
}

bool NamesAreUtf8() {
    return GetACP() == CP_UTF8;
}

uint64_t FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void WriteStdout(const std::string& text) {
    WriteTo(STD_OUTPUT_HANDLE, text);
}
void WriteStderr(const std::string& text) {
    WriteTo(STD_ERROR_HANDLE, text);
}

CConsoleOutput::CConsoleOutput() : m_terminal(IsTerminal(STD_ERROR_HANDLE)), m_startMs(NowMs()) {}
#else
std::vector<std::string> ProgramArguments(int argc, char** argv, std::string*) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool NamesAreUtf8() {
    return true;
}

uint64_t FileSizeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

void WriteStdout(const std::string& text) {
    WriteTo(stdout, text);
}
void WriteStderr(const std::string& text) {
    WriteTo(stderr, text);
}

CConsoleOutput::CConsoleOutput() : m_terminal(isatty(STDERR_FILENO) != 0), m_startMs(NowMs()) {}
#endif

void CConsoleOutput::Write(const std::string& text) {
    Clear();
    WriteStdout(text);
}

void CConsoleOutput::ShowProgress(size_t done, size_t found, uint64_t bytes, const std::string& current) {
    const int64_t now = NowMs();
    // A run shorter than a second shows none; a longer one about ten a second.
    if (!m_terminal || now - m_startMs < 1000 || (m_shown && now - m_lastMs < 100)) return;
    if (!m_shown) m_width = TerminalWidth();
    m_lastMs = now;
    char head[96];
    std::snprintf(head, sizeof(head), "%zu/%zu files, %.1f MiB ", done, found,
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    const int room = m_width - 1 - static_cast<int>(std::string(head).size());
    std::string line = std::string("\r") + head + TailThatFits(current, room);
    const int pad = m_width - 1 - static_cast<int>(line.size()) + 1;
    if (pad > 0) line.append(static_cast<size_t>(pad), ' ');
    WriteStderr(line);
    m_shown = true;
}

void CConsoleOutput::Clear() {
    if (!m_shown) return;
    WriteStderr("\r" + std::string(static_cast<size_t>(m_width > 1 ? m_width - 1 : 0), ' ') + "\r");
    m_shown = false;
}

void CConsoleOutput::EndProgress() {
    Clear();
}
