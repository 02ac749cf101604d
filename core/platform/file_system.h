#pragma once
// The handful of file-system operations the portable core needs, behind one
// interface with a Win32 and a POSIX implementation. Tests wrap it to inject
// failures at any single operation.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Windows attribute bits; the POSIX implementation maps read-only to the
// write permission bits and reports directories, nothing else.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kAttrReparsePoint = 0x400;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Longest path the platform's file calls take: on Windows in UTF-16 units
// of its "\\?\" form (the wide calls' limit, whatever the system's long-path
// setting), on POSIX in bytes (PATH_MAX less the NUL).
#ifdef _WIN32
constexpr size_t kMaxPathLength = 32767;
#else
constexpr size_t kMaxPathLength = 4095;
#endif

// Whether path, as the file calls would see it, is within kMaxPathLength.
bool FitsPathLimit(const char* path);

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

enum class CreateResult { Created, Exists, Failed };

// Seconds since 1970-01-01 UTC, and the part of a second in nanoseconds
// (0 to 999,999,999; whole 100 ns on Windows): a kept time stays exact, and
// tools that compare times finer than a second see the file as it was.
struct FileTimes {
    int64_t accessTime = 0;
    int64_t modifyTime = 0;
    uint32_t accessNanos = 0;
    uint32_t modifyNanos = 0;
};

// What one query of a file tells of it.
struct FileInfo {
    uint32_t attributes = 0;
    FileTimes times;
    uint64_t size = 0;
    // The last write in the platform's own unit (100 ns ticks on Windows,
    // nanoseconds on POSIX): whole seconds cannot tell a save made in the
    // same second.
    int64_t writeStamp = 0;
};

// Why a call failed, as far as a caller can act on it. InUse: a sharing or
// lock violation, another program holding the file.
enum class FileError { None, NotFound, Exists, InUse, AccessDenied, Other };

// An open file. Read returns the byte count, 0 at the end, -1 on error; it
// may return fewer bytes than asked for before the end.
// Write writes everything or fails. Close reports whether all data reached
// the file; a file is closed by its destructor if Close was not called.
// GetInfo and SetInfo work through the open file, saving an open by name:
// SetInfo leaves the times when given none and the attributes when given 0.
class IFile {
public:
    virtual ~IFile() = default;
    virtual long Read(void* buffer, size_t size) = 0;
    virtual bool Write(const void* data, size_t size) = 0;
    virtual bool Close() = 0;
    virtual bool GetInfo(FileInfo* info) = 0;
    virtual bool SetInfo(const FileTimes* times, uint32_t attributes) = 0;
};

// attributes: the folder and reparse-point bits always; the others only
// where the listing gives them without a query of each name (not on POSIX).
struct DirEntry {
    std::string name;
    uint32_t attributes = 0;
};

// Identity of a folder, stable while it exists; equal ids are the same folder
// whatever path (link, junction) reached it.
struct FolderId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FolderId& o) const { return volume == o.volume && index == o.index; }
    bool operator<(const FolderId& o) const {
        return volume != o.volume ? volume < o.volume : index < o.index;
    }
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    virtual uint32_t GetAttributes(const char* path) = 0;  // kInvalidAttributes if missing
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    virtual bool Exists(const char* path) = 0;  // existence only, no permission test

    virtual std::unique_ptr<IFile> OpenRead(const char* path) = 0;  // nullptr for a folder too
    // Creates a file that did not exist (never writes through an existing
    // name or link). *result says which; nullptr unless Created.
    virtual std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) = 0;

    virtual bool GetTimes(const char* path, FileTimes* times) = 0;
    // As IFile::GetInfo, by name; works on a file another program holds.
    virtual bool GetInfo(const char* path, FileInfo* info) = 0;
    virtual bool SetTimes(const char* path, const FileTimes& times) = 0;

    // Never replaces an existing target.
    virtual bool Rename(const char* from, const char* to) = 0;
    // Replaces an existing file at to in one step; fails if to is read-only
    // on Windows, or open there (under Wine: open at all).
    virtual bool Replace(const char* from, const char* to) = 0;
    virtual bool Remove(const char* path) = 0;

    // Calls visit for each entry but "." and ".."; visit returns false to stop.
    // Returns false if the folder could not be read at all.
    virtual bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) = 0;
    virtual bool GetFolderId(const char* folder, FolderId* id) = 0;

    // Why this thread's last failed call failed; asked at once after it.
    virtual FileError LastError() = 0;

    // Whether two of its open files may be used on two threads at once.
    virtual bool ConcurrentFiles() const { return false; }
};

// The platform's own file system.
IFileSystem& NativeFileSystem();
