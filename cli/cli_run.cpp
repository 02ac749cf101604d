#include "cli/cli_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/run_text.h"
#include "cli/console.h"
#include "core/folder_walk.h"

namespace {

// The file system's own calls, with entries sorted by name, so the output of
// a run is the same on every file system and every run.
class CWalkFileSystem : public IFileSystem {
public:
    explicit CWalkFileSystem(IFileSystem& fs) : m_fs(fs) {}
    uint32_t GetAttributes(const char* path) override { return m_fs.GetAttributes(path); }
    bool SetAttributes(const char* path, uint32_t attributes) override {
        return m_fs.SetAttributes(path, attributes);
    }
    bool Exists(const char* path) override { return m_fs.Exists(path); }
    std::unique_ptr<IFile> OpenRead(const char* path) override { return m_fs.OpenRead(path); }
    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        return m_fs.CreateNew(path, result);
    }
    bool GetTimes(const char* path, FileTimes* times) override { return m_fs.GetTimes(path, times); }
    bool GetInfo(const char* path, FileInfo* info) override { return m_fs.GetInfo(path, info); }
    bool SetTimes(const char* path, const FileTimes& times) override { return m_fs.SetTimes(path, times); }
    bool Rename(const char* from, const char* to) override { return m_fs.Rename(from, to); }
    bool Replace(const char* from, const char* to) override { return m_fs.Replace(from, to); }
    bool Remove(const char* path) override { return m_fs.Remove(path); }
    bool GetFolderId(const char* folder, FolderId* id) override { return m_fs.GetFolderId(folder, id); }
    FileError LastError() override { return m_fs.LastError(); }

    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        std::vector<DirEntry> entries;
        const bool read = m_fs.Enumerate(folder, [&](const DirEntry& entry) {
            entries.push_back(entry);
            return true;
        });
        std::sort(entries.begin(), entries.end(),
                  [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
        for (const DirEntry& entry : entries)
            if (!visit(entry)) break;
        return read;
    }

private:
    IFileSystem& m_fs;
};

enum class Verdict { Fine, Offending, Converted, Unchanged, Skipped, Failed };

struct Slot {
    std::string path;
    // With --to project: the file's own rule; otherwise a target of --to.
    ProjectRule rule;
    ConvertResult result;
    Verdict verdict = Verdict::Fine;
    bool done = false;
};

const char* FailureText(ConvertFailure failure) {
    switch (failure) {
        case ConvertFailure::ReadOnly:
            return "the file is read-only";
        case ConvertFailure::CannotOpen:
            return "the file cannot be opened or read";
        case ConvertFailure::CannotCreateTemp:
            return "no temporary file can be created beside it";
        case ConvertFailure::ReadWrite:
            return "a read or write error, or the disk is full";
        case ConvertFailure::RenameFailed:
            return "the file could not be renamed";
        case ConvertFailure::PathTooLong:
            return "the path is too long";
        case ConvertFailure::Changed:
            return "the file was changed while it was being converted";
        case ConvertFailure::InUse:
            return "the file was in use by another program";
        case ConvertFailure::Stopped:
            return "stopped: left as it was";
        default:
            return "the file could not be converted";
    }
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Offending:
            return "offending";
        case Verdict::Converted:
            return "converted";
        case Verdict::Unchanged:
            return "unchanged";
        case Verdict::Skipped:
            return "skipped";
        case Verdict::Failed:
            return "failed";
        default:
            return "ok";
    }
}

const char* BomName(ByteOrderMark bom) {
    switch (bom) {
        case ByteOrderMark::Utf8:
            return "utf-8";
        case ByteOrderMark::Utf16Le:
            return "utf-16le";
        case ByteOrderMark::Utf16Be:
            return "utf-16be";
        default:
            return "none";
    }
}

const char* CommandName(CliCommand command) {
    switch (command) {
        case CliCommand::Convert:
            return "convert";
        case CliCommand::Info:
            return "info";
        default:
            return "check";
    }
}

bool LeftForRule(const Slot& slot) {
    return slot.result.content.outcome == ConvertOutcome::NoProjectRule ||
           slot.result.content.outcome == ConvertOutcome::MarkedBinary;
}

// Whether a file read by check holds only the breaks expected of it, and
// with the project's insert_final_newline a break after its last line.
bool AsExpected(const CliOptions& options, IFileSystem& fs, const Slot& slot) {
    const ContentReport& content = slot.result.content;
    const int kinds = (content.crlf > 0) + (content.lf > 0) + (content.cr > 0);
    if (!options.hasTarget) return kinds <= 1;
    const bool finalNewline = slot.rule.insertFinalNewline;
    const bool endTakesBreak =
        finalNewline && !content.finalBreak && !content.binary && EndTakesBreak(fs, slot.path, content.bom);
    return !ConversionChanges(content, slot.rule.target, finalNewline, false, endTakesBreak);
}

void Process(const CliOptions& options, IFileSystem& fs, CProjectRules* rules, Slot* slot) {
    ConvertResult& result = slot->result;
    ConvertOptions convert = options.convert;
    if (options.hasTarget) {
        if (rules) {
            slot->rule = rules->RuleFor(slot->path);
        } else {
            slot->rule.verdict = ProjectVerdict::Target;
            slot->rule.target = options.convert.format;
        }
        if (slot->rule.verdict != ProjectVerdict::Target && options.command != CliCommand::Info) {
            result.content.outcome = slot->rule.verdict == ProjectVerdict::Binary
                                         ? ConvertOutcome::MarkedBinary
                                         : ConvertOutcome::NoProjectRule;
            slot->verdict = Verdict::Skipped;
            return;
        }
        convert.format = slot->rule.target;
        if (rules) convert.insertFinalNewline = slot->rule.insertFinalNewline;
    }
    if (options.command == CliCommand::Convert) {
        result = ConvertFile(fs, slot->path.c_str(), convert);
        if (!result.ok())
            slot->verdict = result.failure == ConvertFailure::ReadOnly && !options.convert.allowReadOnly
                                ? Verdict::Skipped
                                : Verdict::Failed;
        else if (result.content.outcome == ConvertOutcome::Converted)
            slot->verdict = Verdict::Converted;
        else if (result.content.outcome == ConvertOutcome::SkippedBinary)
            slot->verdict = Verdict::Skipped;
        else
            slot->verdict = Verdict::Unchanged;
        return;
    }
    if (ScanFile(fs, slot->path.c_str(), &result.content, &result.failure) != 0) {
        if (result.failure == ConvertFailure::None) result.failure = ConvertFailure::CannotOpen;
        slot->verdict = Verdict::Failed;
    } else if (options.command == CliCommand::Info) {
        slot->verdict = Verdict::Fine;
    } else if (result.content.binary && options.convert.skipBinary) {
        slot->verdict = Verdict::Skipped;
    } else {
        slot->verdict = AsExpected(options, fs, *slot) ? Verdict::Fine : Verdict::Offending;
    }
}

const char* RuleReason(const Slot& slot) {
    return slot.result.content.outcome == ConvertOutcome::MarkedBinary ? PARDWELL_REASON_MARKED_BINARY
                                                                       : PARDWELL_REASON_NO_RULE;
}

std::string TextLine(const CliOptions& options, const Slot& slot) {
    const ContentReport& content = slot.result.content;
    std::string line = slot.path + ": ";
    if (LeftForRule(slot))
        return line + RuleReason(slot) + (options.command == CliCommand::Convert ? ", skipped\n" : "\n");
    switch (slot.verdict) {
        case Verdict::Failed:
            return line + "failed: " + FailureText(slot.result.failure) + "\n";
        case Verdict::Converted:
            return line + DescribeLineBreaks(content) + " -> " + TargetBreakWord(slot.rule.target) + "\n";
        case Verdict::Unchanged:
            return line + DescribeLineBreaks(content) + ", left as it was\n";
        case Verdict::Skipped:
            if (slot.result.failure == ConvertFailure::ReadOnly) return line + "read-only, skipped\n";
            if (options.command != CliCommand::Convert) return line + DescribeLineBreaks(content) + "\n";
            return line + DescribeLineBreaks(content) + ", skipped\n";
        case Verdict::Offending:
            line += DescribeLineBreaks(content);
            if (options.hasTarget) {
                line += " (expected " + TargetBreakWord(slot.rule.target);
                if (slot.rule.insertFinalNewline && !content.finalBreak && !content.binary)
                    line += ", ending with a break";
                line += ")";
            }
            return line + "\n";
        default:
            return line + DescribeLineBreaks(content) + "\n";
    }
}

std::string JsonLine(const Slot& slot) {
    const ContentReport& content = slot.result.content;
    std::string line =
        "{\"path\":" + JsonString(slot.path) + ",\"status\":\"" + VerdictName(slot.verdict) + "\"";
    if (slot.verdict == Verdict::Failed || slot.result.failure != ConvertFailure::None) {
        line += ",\"error\":" + JsonString(FailureText(slot.result.failure));
    } else if (LeftForRule(slot)) {
        line += std::string(",\"reason\":") + JsonString(RuleReason(slot));
    } else {
        line += ",\"breaks\":" + JsonString(DescribeLineBreaks(content)) +
                ",\"crlf\":" + std::to_string(content.crlf) + ",\"lf\":" + std::to_string(content.lf) +
                ",\"cr\":" + std::to_string(content.cr) + ",\"bom\":\"" + BomName(content.bom) +
                "\",\"binary\":" + (content.binary ? "true" : "false");
    }
    return line + "}\n";
}

bool Reported(const Slot& slot) {
    return slot.verdict == Verdict::Offending || slot.verdict == Verdict::Failed;
}

// Finds the files under the paths given, in order, handing each on.
void FindFiles(const CliOptions& options, IFileSystem& fs,
               const std::function<void(const std::string&)>& found) {
    CWalkFileSystem walkFs(fs);
    const bool utf8 = NamesAreUtf8();
    const CFileFilter include(options.include.c_str(), utf8);
    const CFileFilter exclude(options.exclude.c_str(), utf8);
    const bool excluding = !options.exclude.empty();
    const auto take = [&](const std::string& path) {
        if (!include.Matches(path.c_str()) || (excluding && exclude.Matches(path.c_str()))) return false;
        found(path);
        return true;
    };
    // One set of rules for the whole run: a folder's are read once however
    // many paths lie in it.
    CGitIgnore ignore(fs);
    for (const std::string& path : options.paths) {
        const uint32_t attributes = fs.GetAttributes(path.c_str());
        if (attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0)
            WalkFolder(walkFs, path.c_str(), CFileFilter(), options.recurse, take,
                       options.skipIgnored ? &ignore : nullptr);
        else if (attributes == kInvalidAttributes)
            found(path);  // fails on its own line: named, so it must be there
        else
            take(path);
    }
}

}  // namespace

std::string JsonString(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A whole, shortest-form UTF-8 sequence of a scalar value passes as it is.
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = length > 0 && c <= 0xF4 && i + length <= n;
        uint32_t code = valid ? (c & (0x7F >> length)) : 0;
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && !(length == 3 && code < 0x800) &&
                !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) && !(code >= 0xD800 && code <= 0xDFFF);
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}

int RunCli(const CliOptions& options, ICliOutput& output, IFileSystem& fs,
           uint64_t (*sizeOf)(const std::string&)) {
    const bool progress = output.WantsProgress();
    int jobs = options.jobs;
    if (jobs <= 0) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable allDone;
    std::deque<Slot> slots;  // a slot keeps its address while later ones are added
    // A check hands out one file at a time. A conversion hands out runs, one
    // folder's files each: two workers creating and renaming in one folder
    // queue on its lock (and spin on it) instead of working side by side.
    size_t nextSlot = 0;
    std::vector<size_t> runStarts;
    std::string lastFolder;
    const bool runPerFolder = options.command == CliCommand::Convert;
    size_t nextRun = 0;
    size_t finished = 0;
    bool walkDone = false;
    uint64_t bytes = 0;
    std::string current;
    // One reader for every worker: each folder's rule files are read once.
    std::unique_ptr<CProjectRules> rules;
    if (options.hasTarget && options.convert.format == LineEndingFormat::Project)
        rules.reset(new CProjectRules(fs));

    std::thread walker([&] {
        FindFiles(options, fs, [&](const std::string& path) {
            // The folder's part of the path, compared without copying it.
            const size_t folderSize = runPerFolder ? path.rfind(kPathSeparator) + 1 : 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (runPerFolder && (runStarts.empty() ||
                                     lastFolder.compare(0, std::string::npos, path, 0, folderSize) != 0)) {
                    runStarts.push_back(slots.size());
                    lastFolder.assign(path, 0, folderSize);
                }
                slots.emplace_back();
                slots.back().path = path;
            }
            // With runs of a folder a worker may be waiting for the next file
            // of its own run, so all must look; one file to a run needs one.
            if (runPerFolder)
                workReady.notify_all();
            else
                workReady.notify_one();
        });
        {
            std::lock_guard<std::mutex> lock(mutex);
            walkDone = true;
        }
        workReady.notify_all();
        allDone.notify_all();
    });

    // Where a folder's run ends as far as it is known: the next run's start,
    // or the slots found so far while it is the last.
    auto runEnd = [&](size_t run) { return run + 1 < runStarts.size() ? runStarts[run + 1] : slots.size(); };
    // Called with the lock held, which it gives up while the file is worked on.
    auto work = [&](std::unique_lock<std::mutex>& lock, Slot* slot) {
        lock.unlock();
        Process(options, fs, rules.get(), slot);
        const uint64_t size = progress && sizeOf ? sizeOf(slot->path) : 0;
        lock.lock();
        slot->done = true;
        bytes += size;
        if (progress) current = slot->path;
        // The printer polls; it is woken only for the end.
        if (++finished == slots.size() && walkDone) allDone.notify_all();
    };
    std::vector<std::thread> workers;
    for (int w = 0; w < jobs; ++w) {
        workers.emplace_back([&] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!runPerFolder) {
                for (;;) {
                    workReady.wait(lock, [&] { return nextSlot < slots.size() || walkDone; });
                    if (nextSlot >= slots.size()) return;
                    work(lock, &slots[nextSlot++]);
                }
            }
            for (;;) {
                workReady.wait(lock, [&] { return nextRun < runStarts.size() || walkDone; });
                if (nextRun >= runStarts.size()) return;
                const size_t run = nextRun++;
                for (size_t i = runStarts[run];; ++i) {
                    workReady.wait(lock,
                                   [&] { return i < runEnd(run) || run + 1 < runStarts.size() || walkDone; });
                    if (i >= runEnd(run)) break;
                    work(lock, &slots[i]);
                }
            }
        });
    }

    // The printer: results in the order found, whichever thread finished first.
    BatchCounts counts;
    int offending = 0;
    size_t printed = 0;
    std::string text;
    for (;;) {
        std::vector<Slot> ready;
        bool over = false;
        size_t found = 0, done = 0;
        uint64_t doneBytes = 0;
        std::string now;
        {
            std::unique_lock<std::mutex> lock(mutex);
            allDone.wait_for(lock, std::chrono::milliseconds(50),
                             [&] { return walkDone && finished == slots.size(); });
            while (printed < slots.size() && slots[printed].done) {
                ready.push_back(std::move(slots[printed]));
                ++printed;
            }
            over = walkDone && printed == slots.size();
            found = slots.size();
            done = finished;
            doneBytes = bytes;
            now = current;
        }
        for (const Slot& slot : ready) {
            switch (slot.verdict) {
                case Verdict::Failed:
                    ++counts.failed;
                    break;
                case Verdict::Skipped:
                    if (options.command == CliCommand::Convert)
                        ++counts.skipped;
                    else if (!LeftForRule(slot))  // a check reads no file its rule leaves alone
                        ++counts.succeeded;
                    break;
                case Verdict::Offending:
                    ++offending;
                    ++counts.succeeded;
                    break;
                default:
                    ++counts.succeeded;
            }
            if (options.quiet && !Reported(slot)) continue;
            text += options.json ? JsonLine(slot) : TextLine(options, slot);
        }
        if (!text.empty() && (text.size() > 60000 || over || progress)) {
            output.Write(text);
            text.clear();
        }
        if (over) break;
        if (progress) output.ShowProgress(done, found, doneBytes, now);
    }
    walker.join();
    for (std::thread& worker : workers) worker.join();
    output.EndProgress();

    const int status = counts.failed > 0 || offending > 0 ? 1 : 0;
    if (!options.quiet) {
        const bool check = options.command != CliCommand::Convert;
        std::string summary = RunSummaryText(counts, check, false);
        if (options.command == CliCommand::Check && offending > 0)
            summary += ", " + std::to_string(offending) + " not as expected";
        if (options.json)
            output.Write("{\"summary\":" + JsonString(summary) + ",\"command\":\"" +
                         CommandName(options.command) + "\",\"files\":" + std::to_string(printed) +
                         ",\"succeeded\":" + std::to_string(counts.succeeded) + ",\"failed\":" +
                         std::to_string(counts.failed) + ",\"skipped\":" + std::to_string(counts.skipped) +
                         ",\"offending\":" + std::to_string(offending) +
                         ",\"exit\":" + std::to_string(status) + "}\n");
        else
            output.Write(summary + "\n");
    }
    return status;
}
