#pragma once
// A pardwell-cli run: the files found under the paths, each checked, converted
// or read on a pool of threads, and the results written in the order the
// files were found.

#include <cstdint>
#include <string>

#include "cli/cli_options.h"
#include "core/platform/file_system.h"

// Where a run's output goes.
class ICliOutput {
public:
    // Result lines, in UTF-8 (paths in the file system's own encoding).
    virtual void Write(const std::string& text) = 0;
    // Whether progress is shown at all; asked once, before the run.
    virtual bool WantsProgress() = 0;
    // Called about ten times a second while the run lasts; current may be "".
    virtual void ShowProgress(size_t done, size_t found, uint64_t bytes, const std::string& current) = 0;
    // The run is over: take the progress display away.
    virtual void EndProgress() = 0;

protected:
    ~ICliOutput() = default;
};

// The exit status: 0 when every file is as expected, 1 otherwise.
// fs is where the files are found and read (the native one in the program);
// sizeOf gives a file's size for the progress display.
int RunCli(const CliOptions& options, ICliOutput& output, IFileSystem& fs,
           uint64_t (*sizeOf)(const std::string& path) = nullptr);

// text as a JSON string, quotes included; bytes that are not UTF-8 become
// U+FFFD, so the output always parses.
std::string JsonString(const std::string& text);
