// pardwell-cli: check, convert or describe the line breaks of files from a
// script or a CI job.
#include <string>
#include <vector>

#include "cli/cli_editorconfig.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/console.h"

int main(int argc, char** argv) {
    std::string unusable;
    const std::vector<std::string> args = ProgramArguments(argc, argv, &unusable);
    if (!unusable.empty()) {
        WriteStderr("pardwell-cli: '" + unusable + "' cannot be spelt in this system's code page\n");
        return 2;
    }
    CliOptions options;
    std::string error;
    switch (ParseCliArguments(args, &options, &error)) {
        case CliParse::Help:
            WriteStdout(CliHelpText());
            return 0;
        case CliParse::Version:
            WriteStdout(CliVersionText());
            return 0;
        case CliParse::UsageError:
            WriteStderr("pardwell-cli: " + error + "\nTry 'pardwell-cli --help'.\n");
            return 2;
        default:
            break;
    }
    CConsoleOutput output;
    if (options.command == CliCommand::EditorConfig)
        return RunEditorConfig(options, output, NativeFileSystem());
    return RunCli(options, output, NativeFileSystem(), FileSizeOf);
}
