#pragma once
// Building the main program's command line and path inside the fixed buffers
// the extension works with. Nothing is ever written past `outSize`; a text
// that would not fit is refused as a whole rather than cut short, because a
// shortened path would name a different file.

#include <cstddef>

// The longest command line a program can be started with, in UTF-16 units,
// its zero included (CreateProcess's limit).
constexpr size_t kCommandLineUnits = 32767;
// Room for the command text in UTF-8. No UTF-16 unit takes more than three
// bytes, so every text that can fit a command line fits here; whether it
// does is told in UTF-16 units once it is built (FitsCommandLine).
constexpr size_t kCommandTextSize = 3 * (kCommandLineUnits + 1);
constexpr size_t kProgramPathSize = 1024;
extern const char kProgramFileName[];  // "Pardwell.exe"

// Bytes the command text for these paths needs, terminating zero included.
size_t CommandTextLength(const char* formatSwitch, const char* const* paths, size_t count);

// `formatSwitch` then, per path, a space and the path in double quotes. A
// trailing backslash (a drive root such as C:\) is doubled inside the quotes
// so that the runtime's argument splitting does not read it as an escaped
// quote. False, with `out` set to "" when there is room for it, when the
// whole text does not fit in `outSize` bytes.
bool BuildCommandText(const char* formatSwitch, const char* const* paths, size_t count, char* out,
                      size_t outSize);

// Whether the program's path in quotes, a blank and the command text (their
// UTF-16 units, zeros not counted) make one command line.
bool FitsCommandLine(size_t programUnits, size_t textUnits);

// `folder` (its first `folderLen` bytes) + "\" + "Pardwell.exe". False, with
// `out` set to "" when there is room for it, when that does not fit.
bool BuildProgramPath(const char* folder, size_t folderLen, char* out, size_t outSize);
