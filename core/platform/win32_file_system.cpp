// Win32 implementation of IFileSystem over the ANSI kernel calls.

#include "core/platform/file_system.h"

#include <windows.h>

#include <string>

namespace {

// FILETIME counts 100 ns units since 1601; we carry whole seconds since 1970.
constexpr int64_t kEpochDifference = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

int64_t SecondsFromFileTime(const FILETIME& ft) {
    int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    int64_t t = ticks - kEpochDifference;
    // Floor, so a time just before 1970 does not round up to a later second.
    return t >= 0 ? t / kTicksPerSecond : -((-t + kTicksPerSecond - 1) / kTicksPerSecond);
}

FILETIME FileTimeFromSeconds(int64_t seconds) {
    uint64_t ticks = static_cast<uint64_t>(seconds * kTicksPerSecond + kEpochDifference);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

class Win32File : public IFile {
public:
    explicit Win32File(HANDLE h) : m_handle(h) {}
    ~Win32File() override { Close(); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    long Read(void* buffer, size_t size) override {
        if (m_handle == INVALID_HANDLE_VALUE) return -1;
        DWORD got = 0;
        if (!ReadFile(m_handle, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
        return static_cast<long>(got);
    }

    bool Write(const void* data, size_t size) override {
        if (m_handle == INVALID_HANDLE_VALUE) return false;
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD put = 0;
            if (!WriteFile(m_handle, p, static_cast<DWORD>(size), &put, nullptr) || put == 0) return false;
            p += put;
            size -= put;
        }
        return true;
    }

    bool Close() override {
        if (m_handle == INVALID_HANDLE_VALUE) return m_closedOk;
        m_closedOk = CloseHandle(m_handle) != 0;
        m_handle = INVALID_HANDLE_VALUE;
        return m_closedOk;
    }

private:
    HANDLE m_handle;
    bool m_closedOk = true;
};

// A handle for reading or writing metadata only; works on files and folders.
HANDLE OpenForMetadata(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

class Win32FileSystem : public IFileSystem {
public:
    uint32_t GetAttributes(const char* path) override { return GetFileAttributesA(path); }

    bool SetAttributes(const char* path, uint32_t attributes) override {
        return SetFileAttributesA(path, attributes) != 0;
    }

    bool Exists(const char* path) override { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

    std::unique_ptr<IFile> OpenRead(const char* path) override {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) return nullptr;
        return std::make_unique<Win32File>(h);
    }

    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        // CREATE_NEW is the only open that proves the name was free: it
        // refuses a dangling link that GetFileAttributesA calls missing.
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (result) {
                *result = (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                              ? CreateResult::Exists
                              : CreateResult::Failed;
            }
            return nullptr;
        }
        if (result) *result = CreateResult::Created;
        return std::make_unique<Win32File>(h);
    }

    bool GetTimes(const char* path, FileTimes* times) override {
        HANDLE h = OpenForMetadata(path, FILE_READ_ATTRIBUTES);
        if (h == INVALID_HANDLE_VALUE) return false;
        FILETIME access, write;
        BOOL ok = GetFileTime(h, nullptr, &access, &write);
        CloseHandle(h);
        if (!ok) return false;
        times->accessTime = SecondsFromFileTime(access);
        times->modifyTime = SecondsFromFileTime(write);
        return true;
    }

    bool SetTimes(const char* path, const FileTimes& times) override {
        HANDLE h = OpenForMetadata(path, FILE_WRITE_ATTRIBUTES);
        if (h == INVALID_HANDLE_VALUE) return false;
        FILETIME access = FileTimeFromSeconds(times.accessTime);
        FILETIME write = FileTimeFromSeconds(times.modifyTime);
        BOOL ok = SetFileTime(h, nullptr, &access, &write);
        BOOL closed = CloseHandle(h);
        return ok && closed;
    }

    bool Rename(const char* from, const char* to) override { return MoveFileA(from, to) != 0; }

    bool Remove(const char* path) override { return DeleteFileA(path) != 0; }

    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        std::string mask(folder);
        if (!mask.empty() && mask.back() != '\\' && mask.back() != '/') mask += '\\';
        mask += '*';
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(mask.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            // The root of an empty drive has no "." entry: readable but empty.
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        bool keepGoing = true;
        do {
            const char* name = data.cFileName;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            DirEntry entry;
            entry.name = name;
            entry.attributes = data.dwFileAttributes;
            keepGoing = visit(entry);
        } while (keepGoing && FindNextFileA(find, &data));
        FindClose(find);
        return true;
    }

    bool GetFolderId(const char* folder, FolderId* id) override {
        HANDLE h = OpenForMetadata(folder, 0);
        if (h == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info;
        BOOL ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        if (!ok) return false;
        id->volume = info.dwVolumeSerialNumber;
        id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        return true;
    }
};

}  // namespace

IFileSystem& NativeFileSystem() {
    static Win32FileSystem instance;
    return instance;
}
