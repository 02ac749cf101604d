// Times ConvertFile against a plain buffered copy of the same file and
// against the byte-at-a-time loop, on a generated text with mixed breaks.
// usage: pardwell_bench [FOLDER] [MIB]   (defaults: the temp folder, 64)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/converter.h"

namespace {

using Clock = std::chrono::steady_clock;

bool WriteText(const std::string& path, size_t bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    std::string line;
    size_t written = 0;
    while (written < bytes) {
        line.clear();
        size_t len = (next() >> 8) % 100;
        for (size_t i = 0; i < len; ++i) line += static_cast<char>(' ' + (next() >> 8) % 95);
        switch ((next() >> 8) % 3) {
            case 0:
                line += "\r\n";
                break;
            case 1:
                line += "\n";
                break;
            default:
                line += "\r";
                break;
        }
        if (std::fwrite(line.data(), 1, line.size(), f) != line.size()) break;
        written += line.size();
    }
    return std::fclose(f) == 0 && written >= bytes;
}

bool PlainCopy(const std::string& from, const std::string& to) {
    std::remove(to.c_str());
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    bool ok = in && out;
    std::vector<char> buf(64 * 1024);
    while (ok) {
        size_t n = std::fread(buf.data(), 1, buf.size(), in);
        if (n == 0) break;
        ok = std::fwrite(buf.data(), 1, n, out) == n;
    }
    if (in) std::fclose(in);
    if (out && std::fclose(out) != 0) ok = false;
    return ok;
}

// The reference loop: one fgetc and one fputc per byte, CR LF target.
bool ByteLoop(const std::string& from, const std::string& to) {
    std::remove(to.c_str());
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    if (!in || !out) return false;
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c != '\r' && c != '\n') {
            std::fputc(c, out);
            continue;
        }
        std::fputc('\r', out);
        std::fputc('\n', out);
        if (c == '\r') {
            c = std::fgetc(in);
            if (c == EOF) break;
            if (c != '\n') std::ungetc(c, in);
        }
    }
    std::fclose(in);
    return std::fclose(out) == 0;
}

bool SameContent(const std::string& a, const std::string& b) {
    FILE* fa = std::fopen(a.c_str(), "rb");
    FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    std::vector<char> x(64 * 1024), y(64 * 1024);
    while (same) {
        size_t na = std::fread(x.data(), 1, x.size(), fa);
        size_t nb = std::fread(y.data(), 1, y.size(), fb);
        same = na == nb && std::memcmp(x.data(), y.data(), na) == 0;
        if (na == 0) break;
    }
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path(ec);
    const size_t mib = argc > 2 ? static_cast<size_t>(std::atoi(argv[2])) : 64;
    const double mb = static_cast<double>(mib);
    const std::string src = (folder / "pardwell-bench-src.txt").string();
    const std::string copy = (folder / "pardwell-bench-copy.txt").string();
    const std::string bytes = (folder / "pardwell-bench-byte.txt").string();
    const std::string work = (folder / "pardwell-bench-work.txt").string();

    if (!WriteText(src, mib * 1024 * 1024)) {
        std::fprintf(stderr, "cannot write %s\n", src.c_str());
        return 1;
    }
    std::printf("%zu MiB of text with mixed CR LF, LF and CR breaks in %s\n", mib, folder.string().c_str());

    // Rounds interleave every contender, so load from elsewhere on the
    // machine falls on all of them alike; the best round of each counts.
    // The byte loop is slow enough to run once.
    IFileSystem& fsys = NativeFileSystem();
    auto timed = [](const std::function<bool()>& run) {
        auto t0 = Clock::now();
        if (!run()) return -1.0;
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    auto best = [](double& slot, double t) {
        if (t < 0) return false;
        if (slot <= 0 || t < slot) slot = t;
        return true;
    };
    double tCopy = 0, tByte = 0, tLoop = 0, tFormat[kLineEndingFormatCount] = {0, 0, 0};
    if (!best(tByte, timed([&] { return ByteLoop(src, bytes); }))) {
        std::fprintf(stderr, "byte loop failed\n");
        return 1;
    }
    int status = 0;
    for (int round = 0; round < 5; ++round) {
        if (!best(tCopy, timed([&] { return PlainCopy(src, copy); }))) return 1;
        // The copy loop alone, without the renames and deletes around it.
        if (!best(tLoop, timed([&] {
                      std::remove(work.c_str());
                      CreateResult created;
                      auto in = fsys.OpenRead(src.c_str());
                      auto out = fsys.CreateNew(work.c_str(), &created);
                      return in && out && CopyToCrlf(*in, *out) == 0 && out->Close();
                  })))
            return 1;
        for (int format = 0; format < kLineEndingFormatCount; ++format) {
            if (!PlainCopy(src, work)) return 1;
            if (!best(tFormat[format], timed([&] {
                          return ConvertFile(work.c_str(), format, true, true, true, false) == 0;
                      }))) {
                std::fprintf(stderr, "ConvertFile failed for format %d\n", format);
                return 1;
            }
            if (format == 0 && round == 0 && !SameContent(work, bytes)) {
                std::printf("MISMATCH: ConvertFile and the byte loop disagree\n");
                status = 1;
            }
        }
    }

    auto row = [&](const char* name, double t) {
        std::printf("%-32s %8.3f %8.1f %8.2f %9.1f\n", name, t, mb / t, t / tCopy, tByte / t);
    };
    std::printf("%-32s %8s %8s %8s %9s\n", "", "seconds", "MiB/s", "x copy", "byte/this");
    row("plain buffered copy", tCopy);
    row("byte loop (to CR LF)", tByte);
    row("CopyToCrlf loop alone", tLoop);
    for (int format = 0; format < kLineEndingFormatCount; ++format) {
        std::string name = std::string("ConvertFile ") + LineEndingFormatLabel(format);
        row(name.c_str(), tFormat[format]);
    }
    for (const std::string& p : {src, copy, bytes, work}) std::remove(p.c_str());
    return status;
}
