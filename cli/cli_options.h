#pragma once
// pardwell-cli's command line: a command, options, and the paths to work on.

#include <string>
#include <vector>

#include "core/converter.h"

enum class CliCommand { Check, Convert, Info, EditorConfig };

struct CliOptions {
    CliCommand command = CliCommand::Check;
    std::vector<std::string> paths;
    bool hasTarget = false;  // --to given; check without it fails mixed files only
    // The window's first-run defaults; format is --to's.
    ConvertOptions convert;
    bool recurse = true;
    std::string include;  // empty: every file
    std::string exclude;  // empty: none
    bool json = false;
    bool quiet = false;
    int jobs = 0;  // 0: one per processor
    // editorconfig: -f's name of the files read; -b's version is taken and
    // changes nothing.
    std::string configName = ".editorconfig";
    bool configOptions = false;  // -f or -b given
};

enum class CliParse { Run, Help, Version, UsageError };

// args without the program's name. On UsageError *error says why.
CliParse ParseCliArguments(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// What --help prints.
std::string CliHelpText();
// "pardwell-cli <version>".
std::string CliVersionText();
