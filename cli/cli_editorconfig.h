#pragma once
// pardwell-cli editorconfig: the .editorconfig properties of each file, in
// the shape EditorConfig's own program prints them.

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "core/platform/file_system.h"

// Writes each path's properties to output; the exit status, 0.
int RunEditorConfig(const CliOptions& options, ICliOutput& output, IFileSystem& fs);
