#include "app/command_line.h"

#include <cstring>

#ifdef _WIN32
#include <stdlib.h>
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
    ParseArguments(__argc, __argv);
}
#endif

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> args;
    if (commandLine == nullptr) return args;
    const char* p = commandLine;

    if (*p != '\0') {
        std::string program;
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
        std::string arg;
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
