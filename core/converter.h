#pragma once
// Converting the line endings of one file in place, through a temporary file
// beside it, and the three copy loops that do the byte work.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/platform/file_system.h"
#include "core/stop_token.h"

// Stored as "LastFormat", used as the format selector's index and chosen by
// the /w, /m, /u and /p switches: the values are fixed. Project is no target
// of its own: a run with it takes each file's target from its project's
// .editorconfig and .gitattributes, and ConvertFile refuses it.
enum class LineEndingFormat : int { Windows = 0, Macintosh = 1, Unix = 2, Project = 3 };

// The formats a file can be converted to; the selector offers one more.
constexpr int kLineEndingFormatCount = 3;
constexpr int kFormatChoiceCount = 4;

// "Windows/Dos (CRLF)", "Macintosh (CR)", "Unix/Linux (LF)"; nullptr for any
// other value.
const char* LineEndingFormatLabel(int format);
inline const char* LineEndingFormatLabel(LineEndingFormat format) {
    return LineEndingFormatLabel(static_cast<int>(format));
}
// The selector's entries: the three labels, then "As the project says".
const char* FormatChoiceLabel(int choice);

// A conversion whose side-file names would pass the platform's path limit
// (FitsPathLimit) fails before it starts.

// Set *name to the first free name of the chain "<path>.tmp", "<path>.tmp2",
// "<path>.tmp3", ... (".bak" likewise). Return 0, or -1 (*name empty) if
// that name would pass the path limit.
int MakeTempName(const char* path, std::string* name);
int MakeBackupName(const char* path, std::string* name);
int MakeTempName(IFileSystem& fs, const char* path, std::string* name);
int MakeBackupName(IFileSystem& fs, const char* path, std::string* name);

// Copy in to its end, writing every CR LF, lone CR and lone LF as the target
// break. Return 0, or -1 on a read or write error.
int CopyToCrlf(IFile& in, IFile& out);
int CopyToCr(IFile& in, IFile& out);
int CopyToLf(IFile& in, IFile& out);

// Why a conversion failed.
enum class ConvertFailure {
    None,
    ReadOnly,          // read-only and not to be ignored
    CannotOpen,        // missing, a folder, or cannot be read or opened
    CannotCreateTemp,  // no temporary file could be created beside it
    ReadWrite,         // a read or write error, a full disk among them
    RenameFailed,      // the original or the converted copy could not be moved
    PathTooLong,       // a side-file name would pass the path limit
    InvalidFormat,     // not a LineEndingFormat value
    Changed,           // another program wrote or removed it while it was converted
    InUse,             // another program held it for longer than the waits below
    Stopped,           // a stop was requested: nothing was changed
};

// The waits, in milliseconds, between tries of an open, a replace or a
// rename that found the file held by another program (a sharing or lock
// violation, or access denied where no read-only attribute or folder
// explains it). Scanners and indexers hold a file for moments; a stop
// request ends a wait at once.
constexpr unsigned kInUseWaitsMs[] = {50, 100, 200, 400, 500, 750};

enum class ByteOrderMark { None, Utf8, Utf16Le, Utf16Be };

// What became of a file that did not fail.
enum class ConvertOutcome {
    Converted,        // rewritten in the target format
    AlreadyInFormat,  // nothing to change: not written at all
    SkippedBinary,    // binary, and binary files are skipped: not written at all
    // Never from ConvertFile: a run after each file's project rules did not
    // touch it, the rules giving no line-break target or marking it binary.
    NoProjectRule,
    MarkedBinary,
    // Never from ConvertFile: a check found that a conversion would change it.
    WouldConvert,
};

// What one read of a file learnt of it. A file with a byte-order mark for
// UTF-16 is counted in 16-bit units. The counts cover what was read: a file
// skipped as binary may have been read only up to its first NUL byte.
struct ContentReport {
    uint64_t crlf = 0;        // CR LF pairs
    uint64_t lf = 0;          // LFs without a CR before them
    uint64_t cr = 0;          // CRs without an LF after them
    bool finalBreak = false;  // the last line ends with a break
    ByteOrderMark bom = ByteOrderMark::None;
    // A NUL byte outside UTF-16 with a byte-order mark, more than 1 in 128
    // control characters other than TAB LF CR FF BS ESC (a final ^Z aside),
    // or UTF-16 with an odd byte count.
    bool binary = false;
    ConvertOutcome outcome = ConvertOutcome::Converted;
};

// How a file is converted; the defaults are those of a first run.
struct ConvertOptions {
    LineEndingFormat format = LineEndingFormat::Windows;
    bool keepTimestamp = true;   // the converted file keeps the original's times
    bool keepAttributes = true;  // and its attributes
    bool allowReadOnly = true;   // a read-only file is converted like any other
    bool backup = false;         // the original stays beside it as "<path>.bak"
    // A binary file is left as it is; otherwise it is converted byte by byte.
    bool skipBinary = true;
    // A text file whose last line has no break gets one of the target kind.
    bool insertFinalNewline = false;
    // nullptr: never stops. A request ends a wait for a held file at once
    // and the pass over a long file once its grace is over.
    StopToken* stop = nullptr;
};

struct ConvertResult {
    ConvertFailure failure = ConvertFailure::None;
    // What the read learnt, and what became of a file that did not fail.
    ContentReport content;
    bool ok() const { return failure == ConvertFailure::None; }
};

// Converts path in place, learning its content in the same pass. A failure
// leaves the original's content, name and attributes as they were. A file
// already in the format is left as it was: no temporary file, no backup, no
// rename, its times and attributes untouched; with skipBinary a binary file
// is left likewise, however late the pass finds out. Either is a success;
// content.outcome tells them from a conversion. A file whose size or write
// time is no longer what the read found, just before it would be replaced
// or moved aside, is left to the program that changed it.
ConvertResult ConvertFile(IFileSystem& fs, const char* path, const ConvertOptions& options);

// Reads path to learn its content, changing nothing. 0, or -1 with *failure
// CannotOpen, InUse, ReadWrite or Stopped.
int ScanFile(IFileSystem& fs, const char* path, ContentReport* report, ConvertFailure* failure = nullptr,
             StopToken* stop = nullptr);
