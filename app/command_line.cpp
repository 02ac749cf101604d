#include "app/command_line.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "core/platform/win32_text.h"
#endif

void CConvertCommandLineInfo::ParseParam(const char* text, bool isSwitch) {
    if (text == nullptr) return;
    if (isSwitch) {
        // Compared whole and with case: "/W" or "/wx" is no switch of ours.
        if (std::strcmp(text, "w") == 0 || std::strcmp(text, "d") == 0) {
            m_format = 0;
        } else if (std::strcmp(text, "u") == 0 || std::strcmp(text, "l") == 0) {
            m_format = 2;
        } else if (std::strcmp(text, "m") == 0) {
            m_format = 1;
        } else if (std::strcmp(text, "p") == 0) {
            m_format = 3;  // as the project says
        } else if (std::strcmp(text, "?") == 0 || std::strcmp(text, "h") == 0) {
            m_mode = kModeUsage;
        }
    } else {
        m_files.push_back(text);
    }
    // A format switch anywhere wins over the usage switch.
    if (m_format != -1) m_mode = kModeFormat;
}

void CConvertCommandLineInfo::ParseArguments(int argc, const char* const* argv) {
    if (argv == nullptr) return;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg == nullptr) continue;
        bool isSwitch = arg[0] == '-' || arg[0] == '/';
        ParseParam(isSwitch ? arg + 1 : arg, isSwitch);
    }
}

void CConvertCommandLineInfo::ParseCommandLine(const char* commandLine) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    ParseArguments(static_cast<int>(argv.size()), argv.data());
}

#ifdef _WIN32
void CConvertCommandLineInfo::ParseProcessCommandLine() {
    // Split from the UTF-16 line the system keeps, not the runtime's narrow
    // copy, which may hold "?" or a look-alike for a character the code page
    // lacks. Such an argument names nothing this program can open: dropped.
    std::vector<std::string> args;
    for (const std::wstring& wide : SplitCommandLine(GetCommandLineW())) {
        std::string narrow;
        if (NarrowName(wide.c_str(), &narrow))
            args.push_back(narrow);
        else if (args.empty())
            args.emplace_back();  // the program's own name keeps its place
    }
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    ParseArguments(static_cast<int>(argv.size()), argv.data());
}
#endif

namespace {
template <class Char>
bool IsBlank(Char c) {
    return c == ' ' || c == '\t';
}

template <class Char>
std::vector<std::basic_string<Char>> Split(const Char* commandLine) {
    using String = std::basic_string<Char>;
    std::vector<String> args;
    if (commandLine == nullptr) return args;
    const Char* p = commandLine;

    if (*p != '\0') {
        String program;
        bool quoted = false;
        for (; *p != '\0' && (quoted || !IsBlank(*p)); ++p) {
            if (*p == '"')
                quoted = !quoted;
            else
                program += *p;
        }
        args.push_back(program);
    }

    for (;;) {
        while (IsBlank(*p)) ++p;
        if (*p == '\0') break;
        String arg;
        bool quoted = false;
        while (*p != '\0' && (quoted || !IsBlank(*p))) {
            size_t backslashes = 0;
            while (*p == '\\') {
                ++backslashes;
                ++p;
            }
            if (*p == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                    ++p;
                } else if (quoted && p[1] == '"') {
                    arg += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                arg.append(backslashes, '\\');
                if (*p == '\0' || (!quoted && IsBlank(*p))) break;
                arg += *p++;
            }
        }
        args.push_back(arg);
    }
    return args;
}
}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    return Split(commandLine);
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    return Split(commandLine);
}
