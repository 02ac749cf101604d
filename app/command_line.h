#pragma once
// The program's command line: a format switch ("/w", "/u", "/m" and their
// alternatives, "/p" for each file's project rules), the usage switch, and paths.

#include <string>
#include <vector>

class CConvertCommandLineInfo {
public:
    enum { kModeNone = 0, kModeUsage = 1, kModeFormat = 2 };

    int m_mode = kModeNone;
    int m_format = -1;  // LineEndingFormat chosen by a switch, -1 if none
    std::vector<std::string> m_files;

    // One argument: a switch without its "-" or "/", or a path.
    void ParseParam(const char* text, bool isSwitch);
    // argv[0], the program, is skipped.
    void ParseArguments(int argc, const char* const* argv);
    // A whole command line, program name first, split as the C runtime does.
    void ParseCommandLine(const char* commandLine);
#ifdef _WIN32
    // The process's own arguments, split as the runtime splits them.
    void ParseProcessCommandLine();
#endif
};

// Splits a command line by the Microsoft C runtime's rules: the program name
// ends at white space outside quotes, with no escapes; in later arguments 2n
// backslashes before a quote give n and the quote groups, 2n+1 give n and a
// literal quote, other backslashes are literal, and "" inside quotes is a
// literal quote. Element 0 is the program name (when there is one).
std::vector<std::string> SplitCommandLine(const char* commandLine);
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);
