#pragma once
// The console side of pardwell-cli: its arguments, its output streams and a
// progress line on a terminal. On Windows the arguments come from the UTF-16
// command line and text reaches a console through its wide output; natively
// they are bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_run.h"

// The program's arguments without its name, in the file system's encoding.
// On Windows an argument that encoding cannot spell is returned in
// *unusable and left out.
std::vector<std::string> ProgramArguments(int argc, char** argv, std::string* unusable);

// Whether names are UTF-8 to the pattern matcher.
bool NamesAreUtf8();

// A file's size in bytes, 0 when it cannot be asked.
uint64_t FileSizeOf(const std::string& path);

// Writes text (in the file system's encoding) to stdout or stderr.
void WriteStdout(const std::string& text);
void WriteStderr(const std::string& text);

// Results on stdout; a progress line on stderr when stderr is a terminal and
// the run has lasted a second.
class CConsoleOutput : public ICliOutput {
public:
    CConsoleOutput();
    void Write(const std::string& text) override;
    bool WantsProgress() override { return m_terminal; }
    void ShowProgress(size_t done, size_t found, uint64_t bytes, const std::string& current) override;
    void EndProgress() override;

private:
    void Clear();
    bool m_terminal = false;
    bool m_shown = false;
    int m_width = 80;
    int64_t m_startMs = 0;
    int64_t m_lastMs = 0;
};
