#include "cli/cli_options.h"

#include <cstdlib>

#include "product_version.h"

namespace {

bool ParseTarget(const std::string& text, LineEndingFormat* format) {
    if (text == "lf")
        *format = LineEndingFormat::Unix;
    else if (text == "crlf")
        *format = LineEndingFormat::Windows;
    else if (text == "cr")
        *format = LineEndingFormat::Macintosh;
    else if (text == "project")
        *format = LineEndingFormat::Project;  // each file's own, from .editorconfig and .gitattributes
    else
        return false;
    return true;
}

bool ParseJobs(const std::string& text, int* jobs) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *jobs = std::atoi(text.c_str());
    return *jobs > 0;
}

}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
    *options = CliOptions();
    bool haveCommand = false;
    bool onlyPaths = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            if (haveCommand) {
                options->paths.push_back(arg);
                continue;
            }
            if (arg == "check")
                options->command = CliCommand::Check;
            else if (arg == "convert")
                options->command = CliCommand::Convert;
            else if (arg == "info")
                options->command = CliCommand::Info;
            else if (arg == "editorconfig")
                options->command = CliCommand::EditorConfig;
            else {
                *error = "unknown command '" + arg + "'";
                return CliParse::UsageError;
            }
            haveCommand = true;
            continue;
        }
        if (arg == "--") {
            onlyPaths = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") return CliParse::Help;
        if (arg == "--version") return CliParse::Version;

        // "--name=value", "--name value", "-jN" and "-j N" all work.
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {
            name = "-j";
            value = arg.substr(2);
            hasValue = true;
        }
        const bool takesValue = name == "--to" || name == "--include" || name == "--exclude" ||
                                name == "-j" || name == "--jobs" || name == "-f" || name == "-b";
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) {
                *error = "option '" + name + "' needs a value";
                return CliParse::UsageError;
            }
            value = args[++i];
            hasValue = true;
        }
        if (!takesValue && hasValue) {
            *error = "option '" + name + "' takes no value";
            return CliParse::UsageError;
        }

        if (name == "--to") {
            if (!ParseTarget(value, &options->convert.format)) {
                *error = "--to takes lf, crlf, cr or project, not '" + value + "'";
                return CliParse::UsageError;
            }
            options->hasTarget = true;
        } else if (name == "--include") {
            options->include = value;
        } else if (name == "--exclude") {
            options->exclude = value;
        } else if (name == "-j" || name == "--jobs") {
            if (!ParseJobs(value, &options->jobs)) {
                *error = "-j takes a count of files at a time (1 or more), not '" + value + "'";
                return CliParse::UsageError;
            }
        } else if (name == "-f" || name == "-b") {
            // EditorConfig's own command-line shape; every version is read
            // as the current one.
            if (name == "-f") options->configName = value;
            if (value.empty() || (name == "-f" && value.find_first_of("/\\") != std::string::npos)) {
                *error = "option '" + name + "' needs a " + (name == "-f" ? "file name" : "version");
                return CliParse::UsageError;
            }
            options->configOptions = true;
        } else if (name == "--no-recurse") {
            options->recurse = false;
        } else if (name == "--no-ignore") {
            options->skipIgnored = false;
        } else if (name == "--backup") {
            options->convert.backup = true;
        } else if (name == "--no-keep-time") {
            options->convert.keepTimestamp = false;
        } else if (name == "--skip-read-only") {
            options->convert.allowReadOnly = false;
        } else if (name == "--convert-binary") {
            options->convert.skipBinary = false;
        } else if (name == "--json") {
            options->json = true;
        } else if (name == "-q" || name == "--quiet") {
            options->quiet = true;
        } else {
            *error = "unknown option '" + arg + "'";
            return CliParse::UsageError;
        }
    }
    if (!haveCommand) {
        *error = "no command: check, convert, info or editorconfig";
        return CliParse::UsageError;
    }
    if (options->paths.empty()) {
        *error = "no file or folder given";
        return CliParse::UsageError;
    }
    if (options->configOptions && options->command != CliCommand::EditorConfig) {
        *error = "-f and -b go with the editorconfig command";
        return CliParse::UsageError;
    }
    if (options->command == CliCommand::Convert && !options->hasTarget) {
        *error = "convert needs --to lf, crlf, cr or project";
        return CliParse::UsageError;
    }
    return CliParse::Run;
}

std::string CliVersionText() {
    return std::string("pardwell-cli ") + PARDWELL_VERSION_TEXT + "\n";
}

std::string CliHelpText() {
    return R"(Usage: pardwell-cli check   [options] PATH...
       pardwell-cli convert --to lf|crlf|cr|project [options] PATH...
       pardwell-cli info    [options] PATH...
       pardwell-cli editorconfig [-f NAME] [-b VERSION] FILE...

Commands:
  check     report files whose line breaks are not the expected ones: of
            another kind than --to, or without --to mixed; changes nothing
  convert   convert the files in place to --to, as Pardwell's window does
  info      print what each file holds, changing nothing
  editorconfig
            print every .editorconfig property that applies to each FILE as
            name=value lines, each file's after a [FILE] line when there are
            several; -f NAME reads files of that name instead, -b VERSION is
            taken and changes nothing
              pardwell-cli editorconfig src/main.c

PATH is a file or a folder; folders are walked with their subfolders, never
into .git, .hg or .svn, and inside a Git working tree without the files and
folders Git ignores (.gitignore, .git/info/exclude, core.excludesFile).

Options:
  --to lf|crlf|cr       the line break expected (check) or wanted (convert)
                          pardwell-cli check --to lf src
  --to project          each file's own line break, as its project's
                        .editorconfig (end_of_line, insert_final_newline) and
                        .gitattributes (eol, binary, -text; these win) say;
                        files without a rule, or marked binary, are skipped
                          pardwell-cli check --to project .
  --include PATTERNS    only files matching one of the ";"-separated patterns
                        ("*", "?", "[a-z]"; case ignored; matched against the
                        whole path, so "*.c" takes every C file)
                          pardwell-cli check --include "*.c;*.h" src
  --exclude PATTERNS    leave out files matching one of the patterns
                          pardwell-cli convert --to lf --exclude "*/vendor/*" .
  --no-recurse          a folder's own files only, not its subfolders
                          pardwell-cli info --no-recurse docs
  --no-ignore           take the files Git ignores too
                          pardwell-cli check --to lf --no-ignore .
  --backup              keep each original beside it as NAME.bak
                          pardwell-cli convert --to crlf --backup notes.txt
  --no-keep-time        converted files get the time of the conversion
                        instead of keeping their time stamps
                          pardwell-cli convert --to lf --no-keep-time src
  --skip-read-only      leave read-only files as they are (they are converted
                        by default) and report them as skipped
                          pardwell-cli convert --to lf --skip-read-only .
  --convert-binary      treat binary files as text (they are skipped by
                        default)
                          pardwell-cli convert --to lf --convert-binary data
  --json                one JSON object per line for each file, then one for
                        the summary
                          pardwell-cli check --json --to lf src
  -q, --quiet           print only the files that are not as expected or
                        failed, and no summary
                          pardwell-cli check -q --to lf .
  -j N, --jobs N        N files at a time (default: one per processor), a
                        conversion one folder's files at a time each; the
                        results are printed in the order the files were found
                          pardwell-cli check -j 1 src
  -h, --help            this text
  --version             the version

Exit status: 0 when every file is as expected (check), converted or left as
it was (convert), or read (info); 1 when a file is not as expected or could
not be read or converted; 2 for a usage error.
)";
}
