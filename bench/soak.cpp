// A soak run: many files of every kind (empty to a few MiB, each break kind
// and mixed, binary, UTF-16 in both byte orders) through one whole run to
// CR LF, some of them held open by another process, some read-only, a few
// removed while the run goes on. Then every file is checked against what it
// must be: converted, left as it was, or failed for its reason, no byte lost
// and no side file left. On Windows the run goes through the real window of
// Pardwell.exe (the folder on its command line, Convert pressed); natively,
// where there is no window, through RunBatch. Its time is set against a
// plain ConvertFile loop over an identical copy of the files.
// usage: soak [--files N] [--held N] [--read-only N] [--removed N]
//             [--folder DIR] [--keep] [--exe PARDWELL.EXE]
// Exit code 0 when every file is as it must be, 1 otherwise.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "core/converter.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"

#ifndef _WIN32
#include <unistd.h>

#include "app/batch_run.h"
#include "app/settings.h"
#endif

namespace {

struct Args {
    int files = 100000;
    int held = -1;      // 1% unless given
    int readOnly = -1;  // 1% unless given
    int removed = 20;
    std::string folder;
    bool keep = false;
    std::string exe;
};

enum class Role { Plain, Held, ReadOnly, Removed };

// The break of each line of a file, by the file's kind.
const char* const kBreakOf[] = {"\r\n", "\n", "\r"};

// File i's content, the same from run to run and on every platform (the
// engine's output is fixed by the standard; no distribution is used).
std::string Content(int i) {
    std::mt19937 rng(static_cast<uint32_t>(i) * 2654435761u + 1);
    const unsigned kind = rng() % 10;
    if (kind == 0) return std::string();
    // Mostly small, as real jobs come; one in 500 of 1 to 3 MiB.
    const size_t size = i % 500 == 7 ? (1 + rng() % 3) << 20 : rng() % 9000;
    std::string text;
    text.reserve(size + 100);
    while (text.size() < size) {
        const unsigned length = rng() % 80;
        for (unsigned k = 0; k < length; ++k) text += static_cast<char>(k % 7 == 6 ? ' ' : 'a' + rng() % 26);
        // Kinds 1-3 one break each, 4-5 mixed, 6 binary, 7-8 UTF-16, 9 no break.
        if (kind <= 3)
            text += kBreakOf[kind - 1];
        else if (kind != 9)
            text += kBreakOf[rng() % 3];
    }
    if (kind == 6) text[text.size() / 2] = '\0';
    if (kind == 7 || kind == 8) {
        const bool bigEndian = kind == 8;
        std::string wide = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char c : text) {
            wide += bigEndian ? '\0' : c;
            wide += bigEndian ? c : '\0';
        }
        return wide;
    }
    return text;
}

// What file i must hold once converted to CR LF, binary files skipped.
std::string Expected(const std::string& original) {
    const OracleContent o = OracleRead(original, "\r\n");
    return o.binary ? original : o.converted;
}

std::string Name(int i) {
    char name[32];
    std::snprintf(name, sizeof(name), "s%06d.txt", i);
    return name;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder + kPathSeparator + name;
}

std::vector<Role> PlanRoles(const Args& a) {
    std::vector<Role> roles(a.files, Role::Plain);
    auto spread = [&](int count, int offset, Role role) {
        for (int k = 0; k < count; ++k) {
            const int i = static_cast<int>((static_cast<int64_t>(k) * a.files) / count + offset) % a.files;
            if (roles[i] == Role::Plain) roles[i] = role;
        }
    };
    spread(a.held, 1, Role::Held);
    spread(a.readOnly, 2, Role::ReadOnly);
    // The last names, which a run in name order reaches last.
    for (int i = a.files - 1, left = a.removed; i >= 0 && left > 0; --i)
        if (roles[i] == Role::Plain) {
            roles[i] = Role::Removed;
            --left;
        }
    return roles;
}

void MakeFiles(const std::string& folder, const std::vector<Role>& roles) {
    MakeFolder(folder);
    for (size_t i = 0; i < roles.size(); ++i) {
        const std::string path = Join(folder, Name(static_cast<int>(i)));
        WriteWholeFile(path, Content(static_cast<int>(i)));
        if (roles[i] == Role::ReadOnly) NativeFileSystem().SetAttributes(path.c_str(), kAttrReadOnly);
    }
}

void RemoveFolder(const std::string& folder) {
    IFileSystem& fs = NativeFileSystem();
    std::vector<std::string> names;
    fs.Enumerate(folder.c_str(), [&](const DirEntry& e) {
        names.push_back(e.name);
        return true;
    });
    for (const std::string& name : names) {
        const std::string path = Join(folder, name);
        fs.SetAttributes(path.c_str(), 0);
        fs.Remove(path.c_str());
    }
#ifdef _WIN32
    RemoveDirectoryA(folder.c_str());
#else
    rmdir(folder.c_str());
#endif
}

// Removes the files planned for it while the run goes on, one every 20 ms
// from start on; remembers which went.
class Remover {
public:
    Remover(const std::string& folder, const std::vector<Role>& roles) : m_gone(roles.size(), false) {
        for (size_t i = 0; i < roles.size(); ++i)
            if (roles[i] == Role::Removed) m_planned.push_back(static_cast<int>(i));
        m_folder = folder;
    }
    void Start() {
        m_thread = std::thread([this] {
            for (int i : m_planned) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                m_gone[i] = NativeFileSystem().Remove(Join(m_folder, Name(i)).c_str());
            }
        });
    }
    void Wait() {
        if (m_thread.joinable()) m_thread.join();
    }
    bool Gone(int i) const { return m_gone[i]; }

private:
    std::string m_folder;
    std::vector<int> m_planned;
    std::vector<bool> m_gone;
    std::thread m_thread;
};

// A file's state after the run, as its content shows it.
enum class Found { Converted, AsItWas, Unchanged, Missing, Corrupt };

struct Outcomes {
    int converted = 0;  // now as the reference converts it
    int asItWas = 0;    // in the format already, or binary: the same either way
    int failedHeld = 0, failedReadOnly = 0, failedOther = 0;
    int removed = 0;  // gone, as planned
    int wrong = 0;    // not as it must be
    uint64_t bytesLost = 0;
    int sideFiles = 0;
    std::vector<std::string> notes;
};

void Note(Outcomes& o, const std::string& text) {
    if (o.notes.size() < 12) o.notes.push_back(text);
}

Found Inspect(const std::string& path, const std::string& original, const std::string& expected) {
    static const std::string kMissing = "\x01<missing>\x02";
    const std::string now = ReadWholeFile(path, kMissing);
    if (now == kMissing) return Found::Missing;
    if (now == expected) return expected == original ? Found::AsItWas : Found::Converted;
    if (now == original) return Found::Unchanged;
    return Found::Corrupt;
}

// Checks every file of folder against its role; heldBlocks: the platform
// has share modes, so a held file cannot be replaced.
Outcomes Check(const std::string& folder, const std::vector<Role>& roles, const Remover* remover,
               bool heldBlocks) {
    Outcomes o;
    for (size_t i = 0; i < roles.size(); ++i) {
        const int n = static_cast<int>(i);
        const std::string original = Content(n), expected = Expected(original);
        const Found found = Inspect(Join(folder, Name(n)), original, expected);
        const Role role = roles[i];
        const bool gone = remover && role == Role::Removed && remover->Gone(n);
        switch (found) {
            case Found::Converted:
                if (role == Role::ReadOnly || (role == Role::Held && heldBlocks)) {
                    ++o.wrong;
                    Note(o, Name(n) + ": converted although it should have failed");
                }
                ++o.converted;
                break;
            case Found::AsItWas:
                // A read-only file fails before it is read, whatever it holds.
                ++(role == Role::ReadOnly ? o.failedReadOnly : o.asItWas);
                break;
            case Found::Unchanged:
                if (role == Role::ReadOnly) {
                    ++o.failedReadOnly;
                } else if (role == Role::Held && heldBlocks) {
                    ++o.failedHeld;
                } else {
                    ++o.failedOther;
                    ++o.wrong;
                    Note(o, Name(n) + ": left unconverted");
                }
                break;
            case Found::Missing:
                if (gone) {
                    ++o.removed;
                } else {
                    ++o.wrong;
                    o.bytesLost += original.size();
                    Note(o, Name(n) + ": missing");
                }
                break;
            case Found::Corrupt:
                ++o.wrong;
                o.bytesLost += original.size();
                Note(o, Name(n) + ": content is neither the original nor its conversion");
                break;
        }
    }
    NativeFileSystem().Enumerate(folder.c_str(), [&](const DirEntry& e) {
        if (e.name.size() != 11 || e.name[0] != 's' || e.name.compare(7, 4, ".txt") != 0) {
            ++o.sideFiles;
            Note(o, "left behind: " + e.name);
        }
        return true;
    });
    return o;
}

void Print(const char* what, const Outcomes& o) {
    std::printf("%s:\n", what);
    std::printf("  converted %d, left as it was %d, failed: held %d, read-only %d, other %d; removed %d\n",
                o.converted, o.asItWas, o.failedHeld, o.failedReadOnly, o.failedOther, o.removed);
    std::printf("  not as they must be %d, side files left %d, bytes lost %llu\n", o.wrong, o.sideFiles,
                static_cast<unsigned long long>(o.bytesLost));
    for (const std::string& note : o.notes) std::printf("    %s\n", note.c_str());
}

ConvertOptions SoakOptions() {
    ConvertOptions options;
    options.format = LineEndingFormat::Windows;
    options.allowReadOnly = false;  // read-only files fail, with their reason
    options.skipBinary = true;
    return options;
}

// The plain loop the run is measured against.
double ConvertLoop(const std::string& folder, int files) {
    const ConvertOptions options = SoakOptions();
    const auto start = Clock::now();
    for (int i = 0; i < files; ++i) ConvertFile(NativeFileSystem(), Join(folder, Name(i)).c_str(), options);
    return Seconds(start);
}

#ifdef _WIN32
// The child that holds files: opens each path listed in its file with a
// share mode that denies writing and deleting, says so through the event
// "<name>.held" and keeps them until "<name>.release" or its parent ends.
int Hold(const std::string& list, const std::string& name, DWORD parent) {
    std::vector<HANDLE> handles;
    const std::string paths = ReadWholeFile(list);
    for (size_t at = 0, end; at < paths.size(); at = end + 1) {
        end = paths.find('\n', at);
        if (end == std::string::npos) end = paths.size();
        const std::string path = paths.substr(at, end - at);
        if (path.empty()) continue;
        HANDLE h =
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) handles.push_back(h);
    }
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + ".held").c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, (name + ".release").c_str());
    HANDLE owner = OpenProcess(SYNCHRONIZE, FALSE, parent);
    if (!held || !release || !owner) return 1;
    SetEvent(held);
    const HANDLE waits[] = {release, owner};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    for (HANDLE h : handles) CloseHandle(h);
    return 0;
}

// Starts this program again as the holder of the held files; they stay
// held until this object goes.
class Holder {
public:
    Holder(const std::string& folder, const std::vector<Role>& roles) {
        std::string list;
        for (size_t i = 0; i < roles.size(); ++i)
            if (roles[i] == Role::Held) list += Join(folder, Name(static_cast<int>(i))) + "\n";
        m_list = folder + ".held-list";
        WriteWholeFile(m_list, list);
        const std::string name = "PardwellSoak" + std::to_string(GetCurrentProcessId());
        m_held = CreateEventA(nullptr, TRUE, FALSE, (name + ".held").c_str());
        m_release = CreateEventA(nullptr, TRUE, FALSE, (name + ".release").c_str());
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof(self));
        std::string line = "\"" + std::string(self) + "\" --hold \"" + m_list + "\" " + name + " " +
                           std::to_string(GetCurrentProcessId());
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process))
            m_ready = WaitForSingleObject(m_held, 120000) == WAIT_OBJECT_0;
    }
    ~Holder() {
        SetEvent(m_release);
        if (m_process.hProcess) {
            WaitForSingleObject(m_process.hProcess, 30000);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
        }
        CloseHandle(m_held);
        CloseHandle(m_release);
        DeleteFileA(m_list.c_str());
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool Ready() const { return m_ready; }

private:
    std::string m_list;
    HANDLE m_held = nullptr;
    HANDLE m_release = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_ready = false;
};

// The run through the real window; the seconds from Convert to the
// summary, or -1. *summary gets the status line's last words.
double WindowRun(const Args& a, const std::string& folder, Remover& remover, std::string* summary) {
    // Read-only files fail as such; the rest as a first run has them.
    RegistryOptions options({{"KeepTimestamp", 1},
                             {"KeepAttributes", 1},
                             {"IgnoreReadOnly", 0},
                             {"BackupFile", 0},
                             {"SkipBinary", 1},
                             {"AutoStart", 1},
                             {"AutoClose", 0},
                             {"AlwaysOnTop", 0}});
    Window window(WindowsPath(a.exe), "/w", folder, a.files);
    if (!window.Ready()) return -1;
    const auto pressed = Clock::now();
    window.Press(kConvertId);
    remover.Start();
    const double run = window.WaitStatus("Converted:", pressed, 24 * 3600);
    *summary = window.Status();
    return run;
}
#else
// The run through RunBatch, with each file's mark and reason kept.
class SoakList : public IJobSource, public IProgressSink {
public:
    SoakList(const std::string& folder, int files) : m_folder(folder), m_marks(files), m_failures(files) {}
    int GetItemCount() override { return static_cast<int>(m_marks.size()); }
    std::string GetItemPath(int index) override { return Join(m_folder, Name(index)); }
    void MarkEntry(int index, EntryMark mark, ConvertFailure failure) override {
        m_marks[index] = mark;
        m_failures[index] = failure;
    }
    void OnRunStart() override {}
    void OnRunEnd() override {}
    void SetStatusText(const char*) override {}
    void OnProgress(ProgressKind, int) override {}
    EntryMark Mark(int i) const { return m_marks[i]; }
    ConvertFailure Failure(int i) const { return m_failures[i]; }

private:
    std::string m_folder;
    std::vector<EntryMark> m_marks;
    std::vector<ConvertFailure> m_failures;
};

// Each mark and reason against the file's role and what its content shows.
int CheckMarks(const SoakList& list, const std::vector<Role>& roles, const Remover& remover, Outcomes& o) {
    int mismatches = 0;
    for (size_t i = 0; i < roles.size(); ++i) {
        const int n = static_cast<int>(i);
        const EntryMark mark = list.Mark(n);
        const ConvertFailure failure = list.Failure(n);
        bool ok = mark == EntryMark::Converted || mark == EntryMark::LeftAsItWas;
        // Removed before the run came to it, or while it was converted.
        if (roles[i] == Role::Removed && remover.Gone(n))
            ok = ok || (mark == EntryMark::Failed &&
                        (failure == ConvertFailure::CannotOpen || failure == ConvertFailure::Changed));
        if (roles[i] == Role::ReadOnly) ok = mark == EntryMark::Failed && failure == ConvertFailure::ReadOnly;
        if (!ok) {
            ++mismatches;
            Note(o, Name(n) + ": marked " + std::to_string(static_cast<int>(mark)) + ", reason " +
                        std::to_string(static_cast<int>(failure)));
        }
    }
    return mismatches;
}
#endif

bool ParseArgs(int argc, char** argv, Args* a) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--files" && hasValue)
            a->files = std::atoi(argv[++i]);
        else if (arg == "--held" && hasValue)
            a->held = std::atoi(argv[++i]);
        else if (arg == "--read-only" && hasValue)
            a->readOnly = std::atoi(argv[++i]);
        else if (arg == "--removed" && hasValue)
            a->removed = std::atoi(argv[++i]);
        else if (arg == "--folder" && hasValue)
            a->folder = argv[++i];
        else if (arg == "--exe" && hasValue)
            a->exe = argv[++i];
        else if (arg == "--keep")
            a->keep = true;
        else
            return false;
    }
    if (a->held < 0) a->held = a->files / 100;
    if (a->readOnly < 0) a->readOnly = a->files / 100;
    return a->files > 0 && a->held >= 0 && a->readOnly >= 0 && a->removed >= 0 &&
           a->held + a->readOnly + a->removed <= a->files;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0)
        return Hold(argv[2], argv[3], static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)));
#endif
    Args a;
    if (!ParseArgs(argc, argv, &a)) {
        std::fprintf(
            stderr,
            "usage: soak [--files N] [--held N] [--read-only N] [--removed N] [--folder DIR] [--keep]"
            " [--exe PARDWELL.EXE]\n");
        return 2;
    }
#ifdef _WIN32
    if (a.exe.empty()) a.exe = PARDWELL_EXE;
#endif
    const std::string base = a.folder.empty() ? TempFolder() + "pardwell_soak" : a.folder;
    const std::string runFolder = base + "_run", loopFolder = base + "_loop";
    const std::vector<Role> roles = PlanRoles(a);
    auto start = Clock::now();
    MakeFiles(runFolder, roles);
    MakeFiles(loopFolder, roles);
    uint64_t bytes = 0;
    for (int i = 0; i < a.files; ++i) bytes += Content(i).size();
    std::printf(
        "%d files, %.1f MiB, each twice, made in %.1f s: %d held, %d read-only, %d removed during "
        "the run\n",
        a.files, static_cast<double>(bytes) / (1 << 20), Seconds(start), a.held, a.readOnly, a.removed);

    // The plain loop first: it warms the caches for the run as much as the
    // run would warm them for the loop.
    const double loop = ConvertLoop(loopFolder, a.files);
    const Outcomes loopOutcomes = Check(loopFolder, roles, nullptr, false);

    Remover remover(runFolder, roles);
    double run = -1;
    int failures = 0;
    Outcomes runOutcomes;
#ifdef _WIN32
    std::string summary;
    {
        Holder holder(runFolder, roles);
        if (!holder.Ready()) std::printf("the held files could not be held\n");
        run = WindowRun(a, runFolder, remover, &summary);
        remover.Wait();
    }
    runOutcomes = Check(runFolder, roles, &remover, true);
    std::printf("run through the window of %s: %s\n", a.exe.c_str(), summary.c_str());
    int succeeded = -1, failedCount = -1, skipped = 0;
    if (std::sscanf(summary.c_str(), "Converted: %d success, %d fail, %d skipped", &succeeded, &failedCount,
                    &skipped) < 2) {
        std::printf("  the run did not end with its summary\n");
        ++failures;
    } else {
        // Held and read-only files fail; a removed one fails if the run came
        // to it after it went.
        const int least = runOutcomes.failedHeld + runOutcomes.failedReadOnly + runOutcomes.failedOther;
        const int most = least + runOutcomes.removed;
        const int done = succeeded + failedCount + skipped;
        if (failedCount < least || failedCount > most || done != a.files) {
            std::printf("  the summary does not agree with the files: %d to %d failures expected of %d\n",
                        least, most, a.files);
            ++failures;
        }
    }
#else
    std::printf("natively there are no share modes: held files are read and converted like the rest\n");
    SoakList list(runFolder, a.files);
    CAppSettings settings;
    settings.SetConversionOptions(SoakOptions());
    StopToken stop;
    start = Clock::now();
    remover.Start();
    const BatchCounts counts = RunBatch(list, list, stop, LineEndingFormat::Windows, settings);
    run = Seconds(start);
    remover.Wait();
    runOutcomes = Check(runFolder, roles, &remover, false);
    std::printf("run through RunBatch: %d success, %d fail, %d skipped\n", counts.succeeded, counts.failed,
                counts.skipped);
    failures += CheckMarks(list, roles, remover, runOutcomes);
#endif
    Print("the run", runOutcomes);
    Print("the ConvertFile loop over the copy", loopOutcomes);
    failures += runOutcomes.wrong + runOutcomes.sideFiles + loopOutcomes.wrong + loopOutcomes.sideFiles;
    std::printf("bytes lost: %llu\n",
                static_cast<unsigned long long>(runOutcomes.bytesLost + loopOutcomes.bytesLost));
    std::printf("the run %.2f s, the ConvertFile loop %.2f s: %.2fx\n", run, loop,
                run > 0 ? run / loop : -1.0);

    if (!a.keep) {
        RemoveFolder(runFolder);
        RemoveFolder(loopFolder);
    }
    std::printf("%s\n", failures == 0 ? "every file is as it must be" : "SOME FILES ARE NOT AS THEY MUST BE");
    return failures == 0 ? 0 : 1;
}
