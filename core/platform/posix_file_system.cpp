// POSIX implementation of IFileSystem. The read-only attribute maps to the
// write permission bits; hidden and system have no counterpart and read as 0.

#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // renameat2
#endif

#include "core/platform/file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

uint32_t AttributesFromMode(mode_t mode) {
    uint32_t attributes = 0;
    if (S_ISDIR(mode)) attributes |= kAttrDirectory;
    if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= kAttrReadOnly;
    // A file with no attribute at all reads as "normal", as on Windows.
    return attributes == 0 ? kAttrNormal : attributes;
}

// The permission bits of a file of mode that is given attributes.
mode_t ModeWithAttributes(mode_t mode, uint32_t attributes) {
    mode &= 07777;
    if (attributes & kAttrReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        // Leaving read-only gives back write to the owner only: we cannot
        // know which group or other write bits the file once had.
        mode |= S_IWUSR;
    }
    return mode;
}

void TimesFromStat(const struct stat& st, FileTimes* times) {
    times->accessTime = static_cast<int64_t>(st.st_atim.tv_sec);
    times->accessNanos = static_cast<uint32_t>(st.st_atim.tv_nsec);
    times->modifyTime = static_cast<int64_t>(st.st_mtim.tv_sec);
    times->modifyNanos = static_cast<uint32_t>(st.st_mtim.tv_nsec);
}

// For futimens and utimensat.
void StampsFromTimes(const FileTimes& times, struct timespec ts[2]) {
    ts[0].tv_sec = static_cast<time_t>(times.accessTime);
    ts[0].tv_nsec = static_cast<long>(times.accessNanos);
    ts[1].tv_sec = static_cast<time_t>(times.modifyTime);
    ts[1].tv_nsec = static_cast<long>(times.modifyNanos);
}

void FillInfo(const struct stat& st, FileInfo* info) {
    info->attributes = AttributesFromMode(st.st_mode);
    TimesFromStat(st, &info->times);
    info->size = static_cast<uint64_t>(st.st_size);
    info->writeStamp = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

class PosixFile : public IFile {
public:
    explicit PosixFile(int fd) : m_fd(fd) {}
    ~PosixFile() override { Close(); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    long Read(void* buffer, size_t size) override {
        if (m_fd < 0) return -1;
        for (;;) {
            ssize_t n = ::read(m_fd, buffer, size);
            if (n >= 0) return static_cast<long>(n);
            if (errno != EINTR) return -1;
        }
    }

    bool Write(const void* data, size_t size) override {
        if (m_fd < 0) return false;
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t n = ::write(m_fd, p, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (n == 0) return false;
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    bool GetInfo(FileInfo* info) override {
        struct stat st;
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return false;
        FillInfo(st, info);
        return true;
    }

    bool SetInfo(const FileTimes* times, uint32_t attributes) override {
        if (m_fd < 0) return false;
        if (times) {
            struct timespec ts[2];
            StampsFromTimes(*times, ts);
            if (::futimens(m_fd, ts) != 0) return false;
        }
        if (attributes) {
            struct stat st;
            if (::fstat(m_fd, &st) != 0) return false;
            const mode_t mode = ModeWithAttributes(st.st_mode, attributes);
            if (mode != (st.st_mode & 07777) && ::fchmod(m_fd, mode) != 0) return false;
        }
        return true;
    }

    bool Close() override {
        if (m_fd < 0) return m_closedOk;
        // NFS and some others report a lost write only here.
        m_closedOk = ::close(m_fd) == 0;
        m_fd = -1;
        return m_closedOk;
    }

private:
    int m_fd;
    bool m_closedOk = true;
};

class PosixFileSystem : public IFileSystem {
public:
    uint32_t GetAttributes(const char* path) override {
        struct stat st;
        if (::stat(path, &st) != 0) return kInvalidAttributes;
        return AttributesFromMode(st.st_mode);
    }

    bool SetAttributes(const char* path, uint32_t attributes) override {
        struct stat st;
        if (::stat(path, &st) != 0) return false;
        const mode_t mode = ModeWithAttributes(st.st_mode, attributes);
        if (mode == (st.st_mode & 07777)) return true;
        return ::chmod(path, mode) == 0;
    }

    bool Exists(const char* path) override {
        struct stat st;
        // lstat: a dangling link still occupies the name.
        return ::lstat(path, &st) == 0;
    }

    std::unique_ptr<IFile> OpenRead(const char* path) override {
        // Without O_NONBLOCK the open of a FIFO waits for a writer, and a walk
        // that meets one would hang; only regular files are read. The flag
        // changes nothing for a regular file.
        int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return nullptr;
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (result) *result = errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
            return nullptr;
        }
        if (result) *result = CreateResult::Created;
        return std::make_unique<PosixFile>(fd);
    }

    bool GetTimes(const char* path, FileTimes* times) override {
        struct stat st;
        if (::stat(path, &st) != 0) return false;
        TimesFromStat(st, times);
        return true;
    }

    bool GetInfo(const char* path, FileInfo* info) override {
        struct stat st;
        if (::stat(path, &st) != 0) return false;
        FillInfo(st, info);
        return true;
    }

    bool SetTimes(const char* path, const FileTimes& times) override {
        struct timespec ts[2];
        StampsFromTimes(times, ts);
        return ::utimensat(AT_FDCWD, path, ts, 0) == 0;
    }

    bool Rename(const char* from, const char* to) override {
        if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
        // File systems without RENAME_NOREPLACE: link() refuses an existing
        // target just the same; only plain files go this way.
        if (::link(from, to) != 0) return false;
        if (::unlink(from) != 0) {
            int saved = errno;
            ::unlink(to);
            errno = saved;
            return false;
        }
        return true;
    }

    bool Replace(const char* from, const char* to) override { return ::rename(from, to) == 0; }

    bool Remove(const char* path) override { return ::unlink(path) == 0; }

    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        DIR* dir = ::opendir(folder);
        if (!dir) return false;
        std::string base(folder);
        if (!base.empty() && base.back() != '/') base += '/';
        bool keepGoing = true;
        while (keepGoing) {
            errno = 0;
            struct dirent* d = ::readdir(dir);
            if (!d) break;
            const char* name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            DirEntry entry;
            entry.name = name;
            // Most file systems say a plain file or folder in the listing: a
            // stat per name would double the cost of a walk.
            if (d->d_type == DT_REG || d->d_type == DT_DIR) {
                entry.attributes = d->d_type == DT_DIR ? kAttrDirectory : kAttrNormal;
                keepGoing = visit(entry);
                continue;
            }
            std::string full = base + name;
            struct stat st;
            if (::lstat(full.c_str(), &st) != 0) continue;
            if (S_ISLNK(st.st_mode)) {
                // Dangling links are not listed; a link to a folder reads as
                // a reparse point so a walk can refuse to follow it.
                struct stat target;
                if (::stat(full.c_str(), &target) != 0) continue;
                entry.attributes = AttributesFromMode(target.st_mode);
                if (S_ISDIR(target.st_mode)) entry.attributes |= kAttrReparsePoint;
            } else {
                entry.attributes = AttributesFromMode(st.st_mode);
            }
            keepGoing = visit(entry);
        }
        ::closedir(dir);
        return true;
    }

    bool GetFolderId(const char* folder, FolderId* id) override {
        struct stat st;
        if (::stat(folder, &st) != 0) return false;
        id->volume = static_cast<uint64_t>(st.st_dev);
        id->index = static_cast<uint64_t>(st.st_ino);
        return true;
    }

    bool ConcurrentFiles() const override { return true; }

    FileError LastError() override {
        switch (errno) {
            case 0:
                return FileError::None;
            case ENOENT:
                return FileError::NotFound;
            case EEXIST:
                return FileError::Exists;
            case EBUSY:
            case ETXTBSY:
                return FileError::InUse;
            case EACCES:
            case EPERM:
                return FileError::AccessDenied;
            default:
                return FileError::Other;
        }
    }
};

}  // namespace

#ifdef PATH_MAX
static_assert(kMaxPathLength == PATH_MAX - 1, "the longest path the system calls take");
#endif

bool FitsPathLimit(const char* path) {
    return path && std::strlen(path) <= kMaxPathLength;
}

IFileSystem& NativeFileSystem() {
    static PosixFileSystem instance;
    return instance;
}
