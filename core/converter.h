#pragma once
// Converting the line endings of one file in place, through a temporary file
// beside it, and the three copy loops that do the byte work.

#include <cstddef>
#include <cstdint>

#include "core/platform/file_system.h"

// Stored as "LastFormat", used as the format selector's index and chosen by
// the /w, /m and /u switches: the values are fixed.
enum class LineEndingFormat : int { Windows = 0, Macintosh = 1, Unix = 2 };

constexpr int kLineEndingFormatCount = 3;

// "Windows/Dos (CRLF)", "Macintosh (CR)", "Unix/Linux (LF)"; nullptr for any
// other value.
const char* LineEndingFormatLabel(int format);
inline const char* LineEndingFormatLabel(LineEndingFormat format) {
    return LineEndingFormatLabel(static_cast<int>(format));
}

// Side-file names are built in buffers of this size.
constexpr size_t kSideNameBufferSize = 1024;
// Longest path the platform's ANSI calls take (MAX_PATH less the NUL). A
// conversion whose side-file names would be longer fails before it starts.
constexpr size_t kMaxPathLength = 259;

// Fill buffer (kSideNameBufferSize bytes) with the first free name of the
// chain "<path>.tmp", "<path>.tmp2", "<path>.tmp3", ... (".bak" likewise).
// Return 0, or -1 if the name does not fit the buffer.
int MakeTempName(const char* path, char* buffer);
int MakeBackupName(const char* path, char* buffer);
int MakeTempName(IFileSystem& fs, const char* path, char* buffer);
int MakeBackupName(IFileSystem& fs, const char* path, char* buffer);

// Copy in to its end, writing every CR LF, lone CR and lone LF as the target
// break. Return 0, or -1 on a read or write error.
int CopyToCrlf(IFile& in, IFile& out);
int CopyToCr(IFile& in, IFile& out);
int CopyToLf(IFile& in, IFile& out);

// Why a conversion failed. The last two would come after the converted
// content is in place (the file converted, the run reporting it as failed);
// ConvertFile moves the copy in with its times and attributes already set,
// so it no longer gives them, but a run's report still knows them.
enum class ConvertFailure {
    None,
    ReadOnly,          // read-only and not to be ignored
    CannotOpen,        // missing, a folder, or cannot be read or opened
    CannotCreateTemp,  // no temporary file could be created beside it
    ReadWrite,         // a read or write error, a full disk among them
    RenameFailed,      // the original or the converted copy could not be moved
    PathTooLong,       // a side-file name would pass the path limit
    InvalidFormat,     // not a LineEndingFormat value
    AttributesNotRestored,
    OriginalNotRemoved,  // the original is left beside it as a ".bak" file
};

enum class ByteOrderMark { None, Utf8, Utf16Le, Utf16Be };

// What became of a file that did not fail.
enum class ConvertOutcome {
    Converted,        // rewritten in the target format
    AlreadyInFormat,  // nothing to change: not written at all
    SkippedBinary,    // binary, and binary files are skipped: not written at all
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

// Convert path in place to format. Return 0, or -1 on any failure, with
// *failure (when given) saying why; it is ConvertFailure::None after a
// success. A failure leaves the original's content, name and attributes as
// they were.
int ConvertFile(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                bool keepAttributes, bool ignoreReadOnly, bool backupFile, ConvertFailure* failure = nullptr);
int ConvertFile(const char* path, LineEndingFormat format, bool keepTimestamp, bool keepAttributes,
                bool ignoreReadOnly, bool backupFile, ConvertFailure* failure = nullptr);

// The same, learning the file's content in the pass that converts it. A file
// already in format is left as it was: no temporary file, no backup, no
// rename, its times and attributes untouched. With skipBinary a binary file
// is left likewise, however late the pass finds out. Either counts as a
// success; report->outcome tells them from a conversion. Without skipBinary
// (and in the overloads above) a binary file is converted byte by byte.
int ConvertFile(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                bool keepAttributes, bool ignoreReadOnly, bool backupFile, bool skipBinary,
                ConvertFailure* failure, ContentReport* report);
int ConvertFile(const char* path, LineEndingFormat format, bool keepTimestamp, bool keepAttributes,
                bool ignoreReadOnly, bool backupFile, bool skipBinary, ConvertFailure* failure,
                ContentReport* report);

// Reads path to learn its content, changing nothing. 0, or -1 with *failure
// CannotOpen or ReadWrite.
int ScanFile(IFileSystem& fs, const char* path, ContentReport* report, ConvertFailure* failure = nullptr);

// The same with a format number as the registry and the command line hold it.
inline int ConvertFile(IFileSystem& fs, const char* path, int format, bool keepTimestamp, bool keepAttributes,
                       bool ignoreReadOnly, bool backupFile) {
    return ConvertFile(fs, path, static_cast<LineEndingFormat>(format), keepTimestamp, keepAttributes,
                       ignoreReadOnly, backupFile);
}
inline int ConvertFile(const char* path, int format, bool keepTimestamp, bool keepAttributes,
                       bool ignoreReadOnly, bool backupFile) {
    return ConvertFile(path, static_cast<LineEndingFormat>(format), keepTimestamp, keepAttributes,
                       ignoreReadOnly, backupFile);
}
