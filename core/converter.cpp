#include "core/converter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/break_pass.h"

namespace {

const char* const kLabels[kLineEndingFormatCount] = {"Windows/Dos (CRLF)", "Macintosh (CR)",
                                                     "Unix/Linux (LF)"};

// The copy loops write every byte, whatever it holds.
class EagerOutput : public IPassOutput {
public:
    explicit EagerOutput(IFile& out) : m_out(out) {}
    IFile* Begin(uint64_t) override { return &m_out; }

private:
    IFile& m_out;
};

int CopyAsBytes(IFile& in, IFile& out, LineEndingFormat format) {
    PassOptions options;
    options.format = format;
    options.readBom = false;
    options.eager = true;
    EagerOutput output(out);
    return RunPass(in, options, &output, nullptr) == PassResult::Done ? 0 : -1;
}

// Appends suffix, then suffix2, suffix3, ... to path until fs has no such
// name. Returns 0, or -1 when the name would not fit the buffer.
int MakeSideName(IFileSystem& fs, const char* path, const char* suffix, unsigned first, char* buffer,
                 unsigned* number) {
    for (unsigned n = first; n != 0; ++n) {
        int len = n == 1 ? std::snprintf(buffer, kSideNameBufferSize, "%s%s", path, suffix)
                         : std::snprintf(buffer, kSideNameBufferSize, "%s%s%u", path, suffix, n);
        if (len < 0 || static_cast<size_t>(len) >= kSideNameBufferSize) {
            buffer[0] = 0;
            return -1;
        }
        if (!fs.Exists(buffer)) {
            if (number) *number = n;
            return 0;
        }
    }
    buffer[0] = 0;
    return -1;
}

bool FitsPathLimit(const char* name) {
    return std::strlen(name) <= kMaxPathLength;
}

}  // namespace

const char* LineEndingFormatLabel(int format) {
    if (format < 0 || format >= kLineEndingFormatCount) return nullptr;
    return kLabels[format];
}

int MakeTempName(IFileSystem& fs, const char* path, char* buffer) {
    return MakeSideName(fs, path, ".tmp", 1, buffer, nullptr);
}

int MakeBackupName(IFileSystem& fs, const char* path, char* buffer) {
    return MakeSideName(fs, path, ".bak", 1, buffer, nullptr);
}

int MakeTempName(const char* path, char* buffer) {
    return MakeTempName(NativeFileSystem(), path, buffer);
}

int MakeBackupName(const char* path, char* buffer) {
    return MakeBackupName(NativeFileSystem(), path, buffer);
}

int CopyToCrlf(IFile& in, IFile& out) {
    return CopyAsBytes(in, out, LineEndingFormat::Windows);
}

int CopyToCr(IFile& in, IFile& out) {
    return CopyAsBytes(in, out, LineEndingFormat::Macintosh);
}

int CopyToLf(IFile& in, IFile& out) {
    return CopyAsBytes(in, out, LineEndingFormat::Unix);
}

namespace {

// The temporary file beside the original, created only when the pass meets
// its first change. The unchanged bytes before that point come from a
// second read of the original, which costs nothing when the change is in
// the first block, as it mostly is.
class TempOutput : public IPassOutput {
public:
    TempOutput(IFileSystem& fs, const char* path, char* tempName, unsigned tempNumber)
        : m_fs(fs), m_path(path), m_tempName(tempName), m_tempNumber(tempNumber) {}

    IFile* Begin(uint64_t unchanged) override {
        // Only a create-new open proves a name free: a link planted after the
        // existence check must never be written through, so skip to the next.
        for (;;) {
            CreateResult created = CreateResult::Failed;
            m_out = m_fs.CreateNew(m_tempName, &created);
            if (m_out) break;
            if (created != CreateResult::Exists) return Fail(ConvertFailure::CannotCreateTemp);
            if (MakeSideName(m_fs, m_path, ".tmp", m_tempNumber + 1, m_tempName, &m_tempNumber) != 0 ||
                !FitsPathLimit(m_tempName))
                return Fail(ConvertFailure::PathTooLong);
        }
        m_created = true;
        if (unchanged > 0 && !CopyUnchanged(unchanged)) return nullptr;
        return m_out.get();
    }

    ConvertFailure failure() const { return m_failure; }

    // True if all written reached the file (or nothing was).
    bool Close() {
        const bool ok = !m_out || m_out->Close();
        m_out.reset();
        return ok;
    }

    void Discard() {
        m_out.reset();
        if (m_created) m_fs.Remove(m_tempName);
        m_created = false;
    }

private:
    IFile* Fail(ConvertFailure why) {
        m_failure = why;
        return nullptr;
    }

    bool CopyUnchanged(uint64_t size) {
        std::unique_ptr<IFile> again = m_fs.OpenRead(m_path);
        if (!again) return Fail(ConvertFailure::CannotOpen) != nullptr;
        m_failure = ConvertFailure::ReadWrite;
        std::unique_ptr<char[]> block(new char[kCopyBlock]);
        while (size > 0) {
            const size_t want = size < kCopyBlock ? static_cast<size_t>(size) : kCopyBlock;
            const long got = again->Read(block.get(), want);
            // A file that shrank under us is a read error too.
            if (got <= 0 || !m_out->Write(block.get(), static_cast<size_t>(got))) return false;
            size -= static_cast<uint64_t>(got);
        }
        m_failure = ConvertFailure::None;
        return true;
    }

    static constexpr size_t kCopyBlock = 64 * 1024;
    IFileSystem& m_fs;
    const char* m_path;
    char* m_tempName;
    unsigned m_tempNumber;
    std::unique_ptr<IFile> m_out;
    bool m_created = false;
    ConvertFailure m_failure = ConvertFailure::None;
};

ConvertFailure Convert(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                       bool keepAttributes, bool ignoreReadOnly, bool backupFile, bool skipBinary,
                       ContentReport& content) {
    if (LineEndingFormatLabel(format) == nullptr) return ConvertFailure::InvalidFormat;
    if (!path || !*path) return ConvertFailure::CannotOpen;

    // Both side names must fit the platform's path limit; find out before
    // anything is created, renamed or changed.
    char tempName[kSideNameBufferSize];
    char sideName[kSideNameBufferSize];
    unsigned tempNumber = 0;
    if (MakeSideName(fs, path, ".tmp", 1, tempName, &tempNumber) != 0 || !FitsPathLimit(tempName))
        return ConvertFailure::PathTooLong;
    if (MakeSideName(fs, path, ".bak", 1, sideName, nullptr) != 0 || !FitsPathLimit(sideName))
        return ConvertFailure::PathTooLong;

    const uint32_t attributes = fs.GetAttributes(path);
    if (attributes == kInvalidAttributes || (attributes & kAttrDirectory)) return ConvertFailure::CannotOpen;
    if ((attributes & kAttrReadOnly) && !ignoreReadOnly) return ConvertFailure::ReadOnly;

    // Taken before our own read, which would otherwise count as an access.
    FileTimes times;
    if (keepTimestamp && !fs.GetTimes(path, &times)) return ConvertFailure::CannotOpen;

    std::unique_ptr<IFile> in = fs.OpenRead(path);
    if (!in) return ConvertFailure::CannotOpen;

    TempOutput temp(fs, path, tempName, tempNumber);
    PassOptions options;
    options.format = format;
    options.stopAtBinary = skipBinary;
    const PassResult passed = RunPass(*in, options, &temp, &content);
    in->Close();
    in.reset();
    if (passed == PassResult::Done && content.outcome != ConvertOutcome::Converted) {
        // Left as it was: a temporary file begun before a late binary
        // decision goes, and nothing else is touched.
        temp.Discard();
        return ConvertFailure::None;
    }
    // A failed close can be the only sign that data never reached the disk.
    const bool closed = temp.Close();
    if (passed != PassResult::Done || !closed) {
        temp.Discard();
        return passed == PassResult::OutputFailed ? temp.failure() : ConvertFailure::ReadWrite;
    }

    if (keepTimestamp) {
        if (!fs.SetTimes(tempName, times)) {
            fs.Remove(tempName);
            return ConvertFailure::ReadWrite;
        }
    }

    // Read-only, hidden or system would stop the original being moved or
    // deleted. From here on every failure puts the attributes back.
    fs.SetAttributes(path, 0);

    // The original goes aside first, so its name is free for the converted
    // copy and the content is never held by the temporary file alone. The
    // name may have been taken since it was chosen.
    const bool sideNameFits =
        MakeSideName(fs, path, ".bak", 1, sideName, nullptr) == 0 && FitsPathLimit(sideName);
    if (!sideNameFits || !fs.Rename(path, sideName)) {
        fs.SetAttributes(path, attributes);
        fs.Remove(tempName);
        return sideNameFits ? ConvertFailure::RenameFailed : ConvertFailure::PathTooLong;
    }

    if (!fs.Rename(tempName, path)) {
        if (fs.Rename(sideName, path)) fs.SetAttributes(path, attributes);
        fs.Remove(tempName);
        return ConvertFailure::RenameFailed;
    }

    ConvertFailure failure = ConvertFailure::None;
    if (backupFile) {
        // The backup is the original: it keeps the original's attributes.
        if (!fs.SetAttributes(sideName, attributes)) failure = ConvertFailure::AttributesNotRestored;
    } else if (!fs.Remove(sideName)) {
        // The original stays as a backup; say so rather than claim success.
        fs.SetAttributes(sideName, attributes);
        failure = ConvertFailure::OriginalNotRemoved;
    }

    if (keepAttributes && !fs.SetAttributes(path, attributes) && failure == ConvertFailure::None)
        failure = ConvertFailure::AttributesNotRestored;
    return failure;
}

}  // namespace

int ConvertFile(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                bool keepAttributes, bool ignoreReadOnly, bool backupFile, bool skipBinary,
                ConvertFailure* failure, ContentReport* report) {
    ContentReport content;
    const ConvertFailure why = Convert(fs, path, format, keepTimestamp, keepAttributes, ignoreReadOnly,
                                       backupFile, skipBinary, content);
    if (failure) *failure = why;
    if (report) *report = content;
    return why == ConvertFailure::None ? 0 : -1;
}

int ConvertFile(const char* path, LineEndingFormat format, bool keepTimestamp, bool keepAttributes,
                bool ignoreReadOnly, bool backupFile, bool skipBinary, ConvertFailure* failure,
                ContentReport* report) {
    return ConvertFile(NativeFileSystem(), path, format, keepTimestamp, keepAttributes, ignoreReadOnly,
                       backupFile, skipBinary, failure, report);
}

int ConvertFile(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                bool keepAttributes, bool ignoreReadOnly, bool backupFile, ConvertFailure* failure) {
    return ConvertFile(fs, path, format, keepTimestamp, keepAttributes, ignoreReadOnly, backupFile, false,
                       failure, nullptr);
}

int ConvertFile(const char* path, LineEndingFormat format, bool keepTimestamp, bool keepAttributes,
                bool ignoreReadOnly, bool backupFile, ConvertFailure* failure) {
    return ConvertFile(NativeFileSystem(), path, format, keepTimestamp, keepAttributes, ignoreReadOnly,
                       backupFile, false, failure, nullptr);
}

int ScanFile(IFileSystem& fs, const char* path, ContentReport* report, ConvertFailure* failure) {
    ConvertFailure why = ConvertFailure::None;
    std::unique_ptr<IFile> in;
    const uint32_t attributes = path && *path ? fs.GetAttributes(path) : kInvalidAttributes;
    if (attributes == kInvalidAttributes || (attributes & kAttrDirectory) || !(in = fs.OpenRead(path))) {
        why = ConvertFailure::CannotOpen;
    } else if (RunPass(*in, PassOptions(), nullptr, report) != PassResult::Done) {
        why = ConvertFailure::ReadWrite;
    }
    if (failure) *failure = why;
    return why == ConvertFailure::None ? 0 : -1;
}
