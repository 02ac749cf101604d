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
