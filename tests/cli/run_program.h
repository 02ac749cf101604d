#pragma once
// Runs a program to its end with its output caught: natively through fork
// and exec, on Windows through CreateProcessW, so that arguments in any
// script reach it intact.

#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;  // the exit status; -1 if it could not run
    std::string out;  // stdout and stderr, as bytes
    std::string err;
};

// args[0] is the program; cwd "" for this process's own. Strings are UTF-8.
ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& cwd = "");

#ifndef _WIN32
// Where a stream of RunAttached goes: a file, a pipe, or a pseudo-terminal
// shared by the streams sent to it.
enum class Attach { File, Pipe, Terminal };

// Runs a program with stdout and stderr attached as given, stdin from
// /dev/null; what a terminal received comes back in out when stdout went
// to it, else in err. The terminal is columns wide, with the usual line
// settings. Permissions hold for the program even when the test runs as
// root, so that a file without read permission cannot be read.
ProgramRun RunAttached(const std::vector<std::string>& args, Attach out, Attach err, int columns = 80);
#endif
