// Win32 implementation of IFileSystem over the wide kernel calls, each given
// its path in the "\\?\" form, so a path's length is bounded only by that form.

#include "core/platform/file_system.h"

#include <windows.h>
#include <winternl.h>

#include <string>

#include "core/platform/win32_handles.h"
#include "core/platform/win32_path.h"
#include "core/platform/win32_text.h"

namespace {

// The one way a path reaches a system call. One that has no "\\?\" form
// (not in the code page) fails the call as an invalid name would.
class CallPath {
public:
    explicit CallPath(const char* path) : m_ok(ExtendedPath(path, &m_wide)) {
        if (!m_ok) SetLastError(ERROR_INVALID_NAME);
    }
    explicit operator bool() const { return m_ok; }
    const wchar_t* c_str() const { return m_wide.c_str(); }
    std::wstring& text() { return m_wide; }

private:
    std::wstring m_wide;
    bool m_ok;
};

// FILETIME counts 100 ns units since 1601; we carry seconds since 1970 and
// nanoseconds.
constexpr int64_t kEpochDifference = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

void TimeFromTicks(int64_t ticks, int64_t* seconds, uint32_t* nanos) {
    const int64_t t = ticks - kEpochDifference;
    // Floor, so a time just before 1970 keeps a part of a second that counts up.
    const int64_t whole = t >= 0 ? t / kTicksPerSecond : -((-t + kTicksPerSecond - 1) / kTicksPerSecond);
    *seconds = whole;
    *nanos = static_cast<uint32_t>((t - whole * kTicksPerSecond) * 100);
}

int64_t TicksFromTime(int64_t seconds, uint32_t nanos) {
    return seconds * kTicksPerSecond + nanos / 100 + kEpochDifference;
}

int64_t TicksOf(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FileTimeOf(int64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

LARGE_INTEGER LargeOf(int64_t ticks) {
    LARGE_INTEGER large;
    large.QuadPart = ticks;
    return large;
}

// The attributes a file's basic information may be given; the others (folder,
// compressed, reparse point, ...) are refused or ignored by the file system.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

class Win32File : public IFile {
public:
    explicit Win32File(CKernelHandle h) : m_handle(std::move(h)) {}

    // One call moves at most a DWORD's worth, and Read's count must fit a
    // long (32 bits on Windows): a larger request, cut to 32 bits, would
    // read nothing and look like the end of the file.
    long Read(void* buffer, size_t size) override {
        if (!m_handle) return -1;
        DWORD got = 0;
        if (!ReadFile(m_handle, buffer, IoSize(size), &got, nullptr)) return -1;
        return static_cast<long>(got);
    }

    bool Write(const void* data, size_t size) override {
        if (!m_handle) return false;
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD put = 0;
            if (!WriteFile(m_handle, p, IoSize(size), &put, nullptr) || put == 0) return false;
            p += put;
            size -= put;
        }
        return true;
    }

    // The native call is the one way on every version from XP on to read or
    // set times and attributes together through a handle, in one call each.
    bool GetInfo(FileInfo* info) override {
        if (!m_handle) return false;
        FILE_BASIC_INFORMATION basic;
        IO_STATUS_BLOCK io;
        if (NtQueryInformationFile(m_handle, &io, &basic, sizeof(basic), FileBasicInformation) < 0)
            return false;
        LARGE_INTEGER size;
        if (!GetFileSizeEx(m_handle, &size)) return false;
        info->attributes = basic.FileAttributes;
        TimeFromTicks(basic.LastAccessTime.QuadPart, &info->times.accessTime, &info->times.accessNanos);
        TimeFromTicks(basic.LastWriteTime.QuadPart, &info->times.modifyTime, &info->times.modifyNanos);
        info->size = static_cast<uint64_t>(size.QuadPart);
        info->writeStamp = basic.LastWriteTime.QuadPart;
        return true;
    }

    // Zero in a time or in the attributes leaves that one as it is.
    bool SetInfo(const FileTimes* times, uint32_t attributes) override {
        if (!m_handle) return false;
        FILE_BASIC_INFORMATION basic = {};
        if (times) {
            basic.LastAccessTime = LargeOf(TicksFromTime(times->accessTime, times->accessNanos));
            basic.LastWriteTime = LargeOf(TicksFromTime(times->modifyTime, times->modifyNanos));
        }
        if (attributes) {
            basic.FileAttributes = attributes & kSettableAttributes;
            if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        IO_STATUS_BLOCK io;
        return NtSetInformationFile(m_handle, &io, &basic, sizeof(basic), FileBasicInformation) >= 0;
    }

    // A failed close can lose written data, so its result is kept.
    bool Close() override {
        if (!m_handle) return m_closedOk;
        m_closedOk = CloseHandle(m_handle.Release()) != 0;
        return m_closedOk;
    }

private:
    static DWORD IoSize(size_t size) { return size < kMaxIo ? static_cast<DWORD>(size) : kMaxIo; }
    static constexpr DWORD kMaxIo = 1u << 26;

    CKernelHandle m_handle;
    bool m_closedOk = true;
};

// A handle for reading or writing metadata only; works on files and folders.
CKernelHandle OpenForMetadata(const char* path, DWORD access) {
    const CallPath wide(path);
    if (!wide) return CKernelHandle();
    return CKernelHandle(CreateFileW(wide.c_str(), access,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

class Win32FileSystem : public IFileSystem {
public:
    uint32_t GetAttributes(const char* path) override {
        const CallPath wide(path);
        return wide ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
    }

    bool SetAttributes(const char* path, uint32_t attributes) override {
        const CallPath wide(path);
        return wide && SetFileAttributesW(wide.c_str(), attributes) != 0;
    }

    bool Exists(const char* path) override { return GetAttributes(path) != INVALID_FILE_ATTRIBUTES; }

    std::unique_ptr<IFile> OpenRead(const char* path) override {
        const CallPath wide(path);
        if (!wide) return nullptr;
        CKernelHandle h(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!h) return nullptr;
        return std::make_unique<Win32File>(std::move(h));
    }

    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        // CREATE_NEW is the only open that proves the name was free: it
        // refuses a dangling link that GetFileAttributes calls missing.
        const CallPath wide(path);
        CKernelHandle h;
        if (wide)
            h = CKernelHandle(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!h) {
            DWORD error = GetLastError();
            if (result) {
                *result = (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                              ? CreateResult::Exists
                              : CreateResult::Failed;
            }
            return nullptr;
        }
        if (result) *result = CreateResult::Created;
        return std::make_unique<Win32File>(std::move(h));
    }

    bool GetTimes(const char* path, FileTimes* times) override {
        CKernelHandle h = OpenForMetadata(path, FILE_READ_ATTRIBUTES);
        FILETIME access, write;
        if (!h || !GetFileTime(h, nullptr, &access, &write)) return false;
        TimeFromTicks(TicksOf(access), &times->accessTime, &times->accessNanos);
        TimeFromTicks(TicksOf(write), &times->modifyTime, &times->modifyNanos);
        return true;
    }

    // Attribute access is not subject to share modes: another program's
    // handle does not stand in the way.
    bool GetInfo(const char* path, FileInfo* info) override {
        CKernelHandle h = OpenForMetadata(path, FILE_READ_ATTRIBUTES);
        return h && Win32File(std::move(h)).GetInfo(info);
    }

    bool SetTimes(const char* path, const FileTimes& times) override {
        CKernelHandle h = OpenForMetadata(path, FILE_WRITE_ATTRIBUTES);
        if (!h) return false;
        FILETIME access = FileTimeOf(TicksFromTime(times.accessTime, times.accessNanos));
        FILETIME write = FileTimeOf(TicksFromTime(times.modifyTime, times.modifyNanos));
        BOOL ok = SetFileTime(h, nullptr, &access, &write);
        // The times are written when the handle closes.
        BOOL closed = CloseHandle(h.Release());
        return ok && closed;
    }

    bool Rename(const char* from, const char* to) override {
        const CallPath wideFrom(from), wideTo(to);
        return wideFrom && wideTo && MoveFileW(wideFrom.c_str(), wideTo.c_str()) != 0;
    }

    bool Replace(const char* from, const char* to) override {
        const CallPath wideFrom(from), wideTo(to);
        return wideFrom && wideTo &&
               MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }

    bool Remove(const char* path) override {
        const CallPath wide(path);
        return wide && DeleteFileW(wide.c_str()) != 0;
    }

    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        // Listed as UTF-16: in a legacy code page the narrow call would give
        // look-alikes.
        CallPath mask(folder);
        if (!mask) return false;
        if (mask.text().back() != L'\\') mask.text() += L'\\';
        mask.text() += L'*';
        WIN32_FIND_DATAW data;
        CFindHandle find(FindFirstFileW(mask.c_str(), &data));
        if (!find) {
            // The root of an empty drive has no "." entry: readable but empty.
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        bool keepGoing = true;
        DirEntry entry;
        do {
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
            // A name this program cannot spell is passed over: no narrow call
            // could open it.
            if (!NarrowName(name, &entry.name)) continue;
            entry.attributes = data.dwFileAttributes;
            keepGoing = visit(entry);
        } while (keepGoing && FindNextFileW(find, &data));
        return true;
    }

    bool GetFolderId(const char* folder, FolderId* id) override {
        CKernelHandle h = OpenForMetadata(folder, 0);
        BY_HANDLE_FILE_INFORMATION info;
        if (!h || !GetFileInformationByHandle(h, &info)) return false;
        id->volume = info.dwVolumeSerialNumber;
        id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        return true;
    }

    bool ConcurrentFiles() const override { return true; }

    FileError LastError() override {
        switch (GetLastError()) {
            case ERROR_SUCCESS:
                return FileError::None;
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return FileError::NotFound;
            case ERROR_FILE_EXISTS:
            case ERROR_ALREADY_EXISTS:
                return FileError::Exists;
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
            case ERROR_USER_MAPPED_FILE:
                return FileError::InUse;
            case ERROR_ACCESS_DENIED:
                return FileError::AccessDenied;
            default:
                return FileError::Other;
        }
    }
};

}  // namespace

IFileSystem& NativeFileSystem() {
    static Win32FileSystem instance;
    return instance;
}
