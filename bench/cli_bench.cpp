// pardwell-cli against dos2unix on the same files, each tool in one process
// for all of them, outputs compared byte for byte; and pardwell-cli check
// against a bare read loop (walk, open, read, close in this process). Prints
// each figure against its target, judged on the median of the rounds' own
// ratios; exit code 1 if a target is missed or an output differs.
// usage: cli_bench [FOLDER] [ROUNDS]   (defaults: the temp folder, 3)

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

namespace fs = std::filesystem;

struct Random {
    uint32_t seed;
    uint32_t Next() { return (seed = seed * 1664525u + 1013904223u) >> 8; }
};

// Printable lines up to 100 bytes, each ended by brk, or by CR LF or LF at
// random when brk is null: no lone CR, which dos2unix leaves as it is.
std::string Text(Random& random, size_t bytes, const char* brk) {
    std::string text;
    text.reserve(bytes + 128);
    while (text.size() < bytes) {
        const size_t length = random.Next() % 100;
        for (size_t i = 0; i < length; ++i) text += static_cast<char>(' ' + random.Next() % 95);
        text += brk ? brk : (random.Next() % 2 ? "\r\n" : "\n");
    }
    return text;
}

double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The processor time of the last program Run ran, user and system.
double g_lastCpu = 0;

// Seconds from start to end of the program, its output thrown away; < 0 if
// it did not run or ended with a status other than allowed. With settled,
// whatever was written before is put on disk first, untimed, as a user's
// files are: replacing a file whose pages are still being flushed waits
// for that flush, which then times the flusher as much as the program.
double Run(const std::vector<std::string>& args, int allowed = 0, bool settled = true) {
    if (settled) sync();
    const double cpuBefore = ChildrenCpu();
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    g_lastCpu = ChildrenCpu() - cpuBefore;
    return WIFEXITED(status) && WEXITSTATUS(status) == allowed ? seconds : -1;
}

// What a plain tool does to check a tree: walk it, open, read, close.
size_t ReadLoop(const std::string& folder, std::vector<char>& buffer) {
    size_t files = 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string path = folder + "/" + entry->d_name;
        if (entry->d_type == DT_DIR) {
            files += ReadLoop(path, buffer);
            continue;
        }
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        while (read(fd, buffer.data(), buffer.size()) > 0) {
        }
        close(fd);
        ++files;
    }
    closedir(dir);
    return files;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

bool g_failed = false;
// An output that differs, or a tool that failed: no figure counts after it.
bool g_broken = false;

// Judged on the median of the rounds' ratios of elapsed time; the ratio of
// processor time beside it shows how much of that the machine's load bent.
void Verdict(const char* what, const std::vector<double>& ratios, const std::vector<double>& cpuRatios,
             bool higherIsBetter, double target, const char* targetText) {
    if (ratios.empty() || g_broken) {
        std::printf("%-58s not measured\n", what);
        g_failed = true;
        return;
    }
    const double ratio = Median(ratios);
    const bool met = higherIsBetter ? ratio >= target : ratio <= target;
    std::printf("%-58s %6.2fx (cpu %6.2fx)  target %-8s %s\n", what, ratio, Median(cpuRatios), targetText,
                met ? "met" : "MISSED");
    if (!met) g_failed = true;
}

// Two copies of the same tree, one for each tool.
std::vector<std::string> MakeFiles(const std::string& root, int count, int perFolder, size_t minSize,
                                   size_t maxSize, const char* brk, uint32_t seed) {
    std::vector<std::string> names;
    Random random{seed};
    for (int i = 0; i < count; ++i) {
        const std::string folder = "d" + std::to_string(i / perFolder);
        if (i % perFolder == 0) fs::create_directories(root + "/" + folder);
        const size_t size = minSize + random.Next() % (maxSize - minSize + 1);
        names.push_back(folder + "/f" + std::to_string(i) + ".txt");
        if (!WriteFileBytes(root + "/" + names.back(), Text(random, size, brk))) return {};
    }
    return names;
}

bool SameFiles(const std::string& a, const std::string& b, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (ReadFileBytes(a + "/" + name) != ReadFileBytes(b + "/" + name)) {
            std::printf("outputs differ: %s\n", name.c_str());
            return false;
        }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string cli = PARDWELL_CLI;
    const std::string base = argc > 1 ? argv[1] : fs::temp_directory_path().string();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string root = base + "/pardwell-cli-bench-" + std::to_string(getpid());
    if (Run({"dos2unix", "--version"}) < 0) {
        std::printf("dos2unix is missing: tools/bootstrap installs it\n");
        return 1;
    }
    std::printf("pardwell-cli against dos2unix and a read loop, %d rounds, in %s\n", rounds, root.c_str());

    // One big mixed text to LF: on a settled disk, and just written, when
    // ext4's replace of a file with unwritten pages costs far less.
    std::vector<double> big[2], bigCpu[2];
    for (int round = 0; round < rounds && !g_broken; ++round) {
        for (const bool settled : {true, false}) {
            fs::remove_all(root);
            fs::create_directories(root + "/ours");
            fs::create_directories(root + "/theirs");
            Random random{7u + static_cast<uint32_t>(round)};
            const std::string text = Text(random, 64u << 20, nullptr);
            WriteFileBytes(root + "/ours/big.txt", text);
            WriteFileBytes(root + "/theirs/big.txt", text);
            const double ours = Run({cli, "convert", "--to", "lf", "-q", root + "/ours/big.txt"}, 0, settled);
            const double oursCpu = g_lastCpu;
            const double theirs = Run({"dos2unix", "-q", root + "/theirs/big.txt"}, 0, settled);
            if (ours < 0 || theirs < 0 || !SameFiles(root + "/ours", root + "/theirs", {"big.txt"}))
                g_broken = true;
            std::printf(
                "  64 MiB mixed to LF, %s: pardwell-cli %.3f s (cpu %.3f), dos2unix %.3f s (cpu %.3f)\n",
                settled ? "settled" : "just written", ours, oursCpu, theirs, g_lastCpu);
            big[settled].push_back(theirs / ours);
            bigCpu[settled].push_back(g_lastCpu / oursCpu);
        }
    }
    Verdict("64 MiB mixed text to LF, throughput against dos2unix", big[1], bigCpu[1], true, 8, ">= 8x");
    Verdict("  the same, the text just written", big[0], bigCpu[0], true, 8, ">= 8x");

    // Many small CR LF files to LF.
    std::vector<double> small, smallCpu;
    for (int round = 0; round < rounds && !g_broken; ++round) {
        fs::remove_all(root);
        const uint32_t seed = 11u + static_cast<uint32_t>(round);
        const std::vector<std::string> names = MakeFiles(root + "/ours", 10000, 500, 512, 8192, "\r\n", seed);
        MakeFiles(root + "/theirs", 10000, 500, 512, 8192, "\r\n", seed);
        std::vector<std::string> args = {"dos2unix", "-q"};
        for (const std::string& name : names) args.push_back(root + "/theirs/" + name);
        const double ours = Run({cli, "convert", "--to", "lf", "-q", root + "/ours"});
        const double oursCpu = g_lastCpu;
        const double theirs = Run(args);
        if (ours < 0 || theirs < 0 || !SameFiles(root + "/ours", root + "/theirs", names)) g_broken = true;
        std::printf(
            "  10,000 CR LF files to LF: pardwell-cli %.3f s (cpu %.3f), dos2unix %.3f s (cpu %.3f)\n", ours,
            oursCpu, theirs, g_lastCpu);
        small.push_back(ours / theirs);
        smallCpu.push_back(oursCpu / g_lastCpu);
    }
    Verdict("10,000 small CR LF files to LF, time against dos2unix", small, smallCpu, false, 0.5, "<= 0.5x");

    // check over files already in the format.
    fs::remove_all(root);
    if (MakeFiles(root + "/tree", 100000, 1000, 256, 4096, "\n", 5).empty()) g_broken = true;
    std::vector<char> buffer(1 << 16);
    ReadLoop(root + "/tree", buffer);  // the page cache holds the tree from here on
    std::vector<double> single, singleCpu, parallel, parallelCpu;
    for (int round = 0; round < rounds && !g_broken; ++round) {
        const Clock::time_point start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        const size_t files = ReadLoop(root + "/tree", buffer);
        const double loop = std::chrono::duration<double>(Clock::now() - start).count();
        const double loopCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const double one = Run({cli, "check", "--to", "lf", "-q", "-j", "1", root + "/tree"});
        const double oneCpu = g_lastCpu;
        const double all = Run({cli, "check", "--to", "lf", "-q", root + "/tree"});
        if (files != 100000 || one < 0 || all < 0) g_broken = true;
        std::printf(
            "  check 100,000 LF files: read loop %.3f s (cpu %.3f), pardwell-cli -j 1 %.3f s (cpu %.3f), "
            "default -j %.3f s (cpu %.3f)\n",
            loop, loopCpu, one, oneCpu, all, g_lastCpu);
        single.push_back(one / loop);
        singleCpu.push_back(oneCpu / loopCpu);
        parallel.push_back(all / loop);
        parallelCpu.push_back(g_lastCpu / loopCpu);
    }
    Verdict("check 100,000 files with -j 1, time against a read loop", single, singleCpu, false, 1.3,
            "<= 1.3x");
    Verdict("check 100,000 files, default -j, time against the loop", parallel, parallelCpu, false, 0.999,
            "< 1x");

    fs::remove_all(root);
    return g_failed ? 1 : 0;
}
