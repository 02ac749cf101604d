#include "core/converter.h"

#include <cstdint>
#include <memory>
#include <string>

#include "core/break_pass.h"
#include "core/write_behind.h"

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

const char* FormatChoiceLabel(int choice) {
    return choice == static_cast<int>(LineEndingFormat::Project) ? "As the project says"
                                                                 : LineEndingFormatLabel(choice);
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

// How a try of a file-system step ended. Held: the file is held by another
// program (after the last wait, for Persist). Refused: the step gave up for
// a reason of its own, which it keeps.
enum class Try { Done, Held, Failed, Refused, Stopped };

// Whether the call that just failed on subject failed because another
// program holds it. Access denied counts unless a read-only attribute or a
// folder explains it; read before anything else can overwrite the error.
Try Tried(bool ok, IFileSystem& fs, const char* subject) {
    if (ok) return Try::Done;
    const FileError error = fs.LastError();
    if (error == FileError::InUse) return Try::Held;
    if (error != FileError::AccessDenied) return Try::Failed;
    const uint32_t attributes = fs.GetAttributes(subject);
    const bool explained =
        attributes == kInvalidAttributes || (attributes & (kAttrReadOnly | kAttrDirectory)) != 0;
    return explained ? Try::Failed : Try::Held;
}

// Tries a step again, after each of kInUseWaitsMs, while the file is held.
template <class Step>
Try Persist(StopToken& stop, Step step) {
    for (size_t i = 0;; ++i) {
        const Try tried = step();
        if (tried != Try::Held || i == sizeof(kInUseWaitsMs) / sizeof(kInUseWaitsMs[0])) return tried;
        if (stop.Wait(kInUseWaitsMs[i])) return Try::Stopped;
    }
}

ConvertFailure Reason(Try tried, ConvertFailure refused, ConvertFailure failed) {
    switch (tried) {
        case Try::Done:
            return ConvertFailure::None;
        case Try::Held:
            return ConvertFailure::InUse;
        case Try::Stopped:
            return ConvertFailure::Stopped;
        case Try::Refused:
            return refused;
        default:
            return failed;
    }
}

Try OpenForReading(IFileSystem& fs, const char* path, StopToken& stop, std::unique_ptr<IFile>* in) {
    return Persist(stop, [&] {
        *in = fs.OpenRead(path);
        return Tried(*in != nullptr, fs, path);
    });
}

// Whether path is still the file that was read: the same size and write
// time, to the platform's precision. A file gone is changed too: a copy of
// what it was must not bring it back.
ConvertFailure CheckUnchanged(IFileSystem& fs, const char* path, const FileInfo& read) {
    FileInfo now;
    if (!fs.GetInfo(path, &now))
        return fs.LastError() == FileError::NotFound ? ConvertFailure::Changed : ConvertFailure::CannotOpen;
    return now.size == read.size && now.writeStamp == read.writeStamp ? ConvertFailure::None
                                                                      : ConvertFailure::Changed;
}

// The temporary file beside the original, created only when the pass meets
// its first change. The unchanged bytes before that point come from a
// second read of the original, which costs nothing when the change is in
// the first block, as it mostly is.
class TempOutput : public IPassOutput {
public:
    TempOutput(IFileSystem& fs, const char* path, std::string& tempName, StopToken& stop, bool writeBehind)
        : m_fs(fs), m_path(path), m_tempName(tempName), m_stop(stop), m_writeBehind(writeBehind) {}

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
        if (m_writeBehind) m_out = WriteBehind(std::move(m_out));
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
        std::unique_ptr<IFile> again;
        const Try opened = OpenForReading(m_fs, m_path, m_stop, &again);
        if (opened != Try::Done) {
            m_failure = Reason(opened, ConvertFailure::CannotOpen, ConvertFailure::CannotOpen);
            return false;
        }
        std::unique_ptr<char[]> block(new char[kCopyBlock]);
        while (size > 0) {
            // The first change of a huge file may come late.
            if (m_stop.GraceOver()) {
                m_failure = ConvertFailure::Stopped;
                return false;
            }
            const size_t want = size < kCopyBlock ? static_cast<size_t>(size) : kCopyBlock;
            const long got = again->Read(block.get(), want);
            // A file that shrank under us is a read error too.
            if (got <= 0 || !m_out->Write(block.get(), static_cast<size_t>(got))) {
                m_failure = ConvertFailure::ReadWrite;
                return false;
            }
            size -= static_cast<uint64_t>(got);
        }
        return true;
    }

    static constexpr size_t kCopyBlock = 64 * 1024;
    IFileSystem& m_fs;
    const char* m_path;
    std::string& m_tempName;
    StopToken& m_stop;
    bool m_writeBehind;
    std::unique_ptr<IFile> m_out;
    bool m_created = false;
    ConvertFailure m_failure = ConvertFailure::None;
};

// Puts the finished copy in place of path, or leaves path as it is. Each
// try first makes sure path is still the file that was read: a program that
// saved it in between keeps its save.
ConvertFailure PutInPlace(IFileSystem& fs, const char* path, const std::string& tempName,
                          std::string& backupName, const FileInfo& original, bool backup, StopToken& stop) {
    ConvertFailure changed = ConvertFailure::None;
    if (backup) {
        // The original goes aside as the backup, its attributes untouched,
        // so the content is never held by the temporary file alone. The name
        // may have been taken since it was chosen.
        if (MakeSideName(fs, path, ".bak", 1, &backupName) != 0) return ConvertFailure::PathTooLong;
        const Try aside = Persist(stop, [&] {
            changed = CheckUnchanged(fs, path, original);
            if (changed != ConvertFailure::None) return Try::Refused;
            return Tried(fs.Rename(path, backupName.c_str()), fs, path);
        });
        if (aside != Try::Done) return Reason(aside, changed, ConvertFailure::RenameFailed);
        const Try placed =
            Persist(stop, [&] { return Tried(fs.Rename(tempName.c_str(), path), fs, tempName.c_str()); });
        if (placed != Try::Done) {
            fs.Rename(backupName.c_str(), path);
            return Reason(placed, ConvertFailure::RenameFailed, ConvertFailure::RenameFailed);
        }
        return ConvertFailure::None;
    }

    // One replacing move: the name holds the original or the copy at every
    // moment. Windows refuses to replace a read-only file (and hidden or
    // system may stand in the way too), so only such a file is cleared
    // first, and gets its attributes back if the move fails.
    const bool clear = (original.attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) != 0;
    const Try replaced = Persist(stop, [&] {
        changed = CheckUnchanged(fs, path, original);
        if (changed != ConvertFailure::None) return Try::Refused;
        if (clear) fs.SetAttributes(path, 0);
        const Try tried = Tried(fs.Replace(tempName.c_str(), path), fs, path);
        if (tried != Try::Done && clear) fs.SetAttributes(path, original.attributes);
        return tried;
    });
    return Reason(replaced, changed, ConvertFailure::RenameFailed);
}

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

    StopToken never;
    StopToken& stop = options.stop ? *options.stop : never;
    std::unique_ptr<IFile> in;
    const Try opened = OpenForReading(fs, path, stop, &in);
    if (opened == Try::Held) return ConvertFailure::InUse;
    if (opened == Try::Stopped) return ConvertFailure::Stopped;
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
    // Attributes, times and size in one query of the open file, taken before
    // our own read, which would otherwise count as an access.
    FileInfo original;
    if (!in->GetInfo(&original) || (original.attributes & kAttrDirectory)) return ConvertFailure::CannotOpen;
    if ((original.attributes & kAttrReadOnly) && !options.allowReadOnly) return ConvertFailure::ReadOnly;

    // A large file is written on a second thread while the pass goes on.
    const bool writeBehind = original.size >= kWriteBehindFrom && fs.ConcurrentFiles();
    TempOutput temp(fs, path, tempName, stop, writeBehind);
    PassOptions pass;
    pass.format = options.format;
    pass.stopAtBinary = options.skipBinary;
    pass.finalBreak = options.insertFinalNewline;
    pass.stop = &stop;
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
        if (passed == PassResult::Stopped) return ConvertFailure::Stopped;
        return passed == PassResult::OutputFailed ? temp.failure() : ConvertFailure::ReadWrite;
    }
    if (!temp.Finish(options.keepTimestamp ? &original.times : nullptr,
                     options.keepAttributes ? original.attributes : 0)) {
        temp.Discard();
        return ConvertFailure::ReadWrite;
    }
    const ConvertFailure placed = PutInPlace(fs, path, tempName, backupName, original, options.backup, stop);
    if (placed != ConvertFailure::None) temp.Discard();
    return placed;
}

}  // namespace

ConvertResult ConvertFile(IFileSystem& fs, const char* path, const ConvertOptions& options) {
    ConvertResult result;
    result.failure = Convert(fs, path, options, result.content);
    return result;
}

int ScanFile(IFileSystem& fs, const char* path, ContentReport* report, ConvertFailure* failure,
             StopToken* stop) {
    StopToken never;
    StopToken& token = stop ? *stop : never;
    ConvertFailure why = ConvertFailure::None;
    // OpenRead refuses a folder itself: no query by name first.
    std::unique_ptr<IFile> in;
    const Try opened = !path || !*path ? Try::Failed : OpenForReading(fs, path, token, &in);
    if (opened != Try::Done) {
        why = Reason(opened, ConvertFailure::CannotOpen, ConvertFailure::CannotOpen);
    } else {
        PassOptions options;
        options.stop = &token;
        const PassResult passed = RunPass(*in, options, nullptr, report);
        if (passed != PassResult::Done)
            why = passed == PassResult::Stopped ? ConvertFailure::Stopped : ConvertFailure::ReadWrite;
    }
    if (failure) *failure = why;
    return why == ConvertFailure::None ? 0 : -1;
}
