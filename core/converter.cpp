#include "core/converter.h"

#include <cstdint>
#include <memory>
#include <string>

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

// The n-th name of path's side-file chain: suffix, then suffix2, suffix3, ...
std::string FormatSideName(const char* path, const char* suffix, unsigned n) {
    std::string name(path);
    name += suffix;
    if (n != 1) name += std::to_string(n);
    return name;
}

// The first name of the chain from number first on that fs has no file of.
// Returns 0, or -1 (*name empty) when that name would pass the path limit.
int MakeSideName(IFileSystem& fs, const char* path, const char* suffix, unsigned first, std::string* name) {
    for (unsigned n = first; n != 0; ++n) {
        *name = FormatSideName(path, suffix, n);
        if (!FitsPathLimit(name->c_str())) break;
        if (!fs.Exists(name->c_str())) return 0;
    }
    name->clear();
    return -1;
}

}  // namespace

const char* LineEndingFormatLabel(int format) {
    if (format < 0 || format >= kLineEndingFormatCount) return nullptr;
    return kLabels[format];
}

int MakeTempName(IFileSystem& fs, const char* path, std::string* name) {
    return MakeSideName(fs, path, ".tmp", 1, name);
}

int MakeBackupName(IFileSystem& fs, const char* path, std::string* name) {
    return MakeSideName(fs, path, ".bak", 1, name);
}

int MakeTempName(const char* path, std::string* name) {
    return MakeTempName(NativeFileSystem(), path, name);
}

int MakeBackupName(const char* path, std::string* name) {
    return MakeBackupName(NativeFileSystem(), path, name);
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
    TempOutput(IFileSystem& fs, const char* path, std::string& tempName)
        : m_fs(fs), m_path(path), m_tempName(tempName) {}

    IFile* Begin(uint64_t unchanged) override {
        // Only a create-new open proves a name free, so no existence check
        // comes first: a taken name, or a link planted there, is refused and
        // the next name of the chain tried.
        for (unsigned n = 1;;) {
            CreateResult created = CreateResult::Failed;
            m_out = m_fs.CreateNew(m_tempName.c_str(), &created);
            if (m_out) break;
            if (created != CreateResult::Exists) return Fail(ConvertFailure::CannotCreateTemp);
            if (++n == 0) return Fail(ConvertFailure::PathTooLong);
            m_tempName = FormatSideName(m_path, ".tmp", n);
            if (!FitsPathLimit(m_tempName.c_str())) return Fail(ConvertFailure::PathTooLong);
        }
        m_created = true;
        if (unchanged > 0 && !CopyUnchanged(unchanged)) return nullptr;
        return m_out.get();
    }

    ConvertFailure failure() const { return m_failure; }

    // Gives the copy its times and attributes (none or 0: left as they are)
    // through its own handle, then closes it. True if that worked and all
    // written reached the file; false too if there is no copy.
    bool Finish(const FileTimes* times, uint32_t attributes) {
        if (!m_out) return false;
        const bool set = (!times && !attributes) || m_out->SetInfo(times, attributes);
        // A failed close can be the only sign that data never reached the disk.
        const bool closed = m_out->Close();
        m_out.reset();
        return set && closed;
    }

    // Removes the copy, whatever became of it. Windows refuses to remove a
    // read-only file, and the copy may have been given the original's
    // read-only attribute already.
    void Discard() {
        m_out.reset();
        if (m_created && !m_fs.Remove(m_tempName.c_str())) {
            m_fs.SetAttributes(m_tempName.c_str(), 0);
            m_fs.Remove(m_tempName.c_str());
        }
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
    std::string& m_tempName;
    std::unique_ptr<IFile> m_out;
    bool m_created = false;
    ConvertFailure m_failure = ConvertFailure::None;
};

ConvertFailure Convert(IFileSystem& fs, const char* path, const ConvertOptions& options,
                       ContentReport& content) {
    if (LineEndingFormatLabel(options.format) == nullptr) return ConvertFailure::InvalidFormat;
    if (!path || !*path) return ConvertFailure::CannotOpen;

    // The side names must fit the platform's path limit; find out before
    // anything is created or changed. A taken temporary name is found by
    // the create-new open itself.
    std::string tempName = FormatSideName(path, ".tmp", 1);
    if (!FitsPathLimit(tempName.c_str())) return ConvertFailure::PathTooLong;
    std::string backupName;
    if (options.backup && MakeSideName(fs, path, ".bak", 1, &backupName) != 0)
        return ConvertFailure::PathTooLong;

    std::unique_ptr<IFile> in = fs.OpenRead(path);
    if (!in) {
        // A read-only file to be refused is refused as such, readable or not.
        if (!options.allowReadOnly) {
            const uint32_t attributes = fs.GetAttributes(path);
            if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly) &&
                !(attributes & kAttrDirectory))
                return ConvertFailure::ReadOnly;
        }
        return ConvertFailure::CannotOpen;
    }
    // Attributes and times in one query of the open file, taken before our
    // own read, which would otherwise count as an access.
    FileInfo original;
    if (!in->GetInfo(&original) || (original.attributes & kAttrDirectory)) return ConvertFailure::CannotOpen;
    if ((original.attributes & kAttrReadOnly) && !options.allowReadOnly) return ConvertFailure::ReadOnly;

    TempOutput temp(fs, path, tempName);
    PassOptions pass;
    pass.format = options.format;
    pass.stopAtBinary = options.skipBinary;
    const PassResult passed = RunPass(*in, pass, &temp, &content);
    // Closed before the replace: an open file cannot be replaced.
    in->Close();
    in.reset();
    if (passed == PassResult::Done && content.outcome != ConvertOutcome::Converted) {
        // Left as it was: a temporary file begun before a late binary
        // decision goes, and nothing else is touched.
        temp.Discard();
        return ConvertFailure::None;
    }
    if (passed != PassResult::Done) {
        temp.Discard();
        return passed == PassResult::OutputFailed ? temp.failure() : ConvertFailure::ReadWrite;
    }
    if (!temp.Finish(options.keepTimestamp ? &original.times : nullptr,
                     options.keepAttributes ? original.attributes : 0)) {
        temp.Discard();
        return ConvertFailure::ReadWrite;
    }

    if (options.backup) {
        // The original goes aside as the backup, its attributes untouched,
        // so the content is never held by the temporary file alone. The name
        // may have been taken since it was chosen.
        const bool backupFits = MakeSideName(fs, path, ".bak", 1, &backupName) == 0;
        if (!backupFits || !fs.Rename(path, backupName.c_str())) {
            temp.Discard();
            return backupFits ? ConvertFailure::RenameFailed : ConvertFailure::PathTooLong;
        }
        if (!fs.Rename(tempName.c_str(), path)) {
            fs.Rename(backupName.c_str(), path);
            temp.Discard();
            return ConvertFailure::RenameFailed;
        }
        return ConvertFailure::None;
    }

    // One replacing move: the name holds the original or the copy at every
    // moment. Windows refuses to replace a read-only file (and hidden or
    // system may stand in the way too), so only such a file is cleared
    // first, and gets its attributes back if the move fails.
    const bool cleared = (original.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) != 0;
    if (cleared) fs.SetAttributes(path, 0);
    if (!fs.Replace(tempName.c_str(), path)) {
        if (cleared) fs.SetAttributes(path, original.attributes);
        temp.Discard();
        return ConvertFailure::RenameFailed;
    }
    return ConvertFailure::None;
}

}  // namespace

ConvertResult ConvertFile(IFileSystem& fs, const char* path, const ConvertOptions& options) {
    ConvertResult result;
    result.failure = Convert(fs, path, options, result.content);
    return result;
}

int ScanFile(IFileSystem& fs, const char* path, ContentReport* report, ConvertFailure* failure) {
    ConvertFailure why = ConvertFailure::None;
    // OpenRead refuses a folder itself: no query by name first.
    std::unique_ptr<IFile> in;
    if (!path || !*path || !(in = fs.OpenRead(path))) {
        why = ConvertFailure::CannotOpen;
    } else if (RunPass(*in, PassOptions(), nullptr, report) != PassResult::Done) {
        why = ConvertFailure::ReadWrite;
    }
    if (failure) *failure = why;
    return why == ConvertFailure::None ? 0 : -1;
}
