// Times ConvertFile against a plain buffered copy of the same file and
// against the byte-at-a-time loop, on a generated text with mixed breaks.
// usage: pardwell_bench [FOLDER] [MIB]   (defaults: the temp folder, 64)
// Each figure is the best of five runs, to damp noise from other load.

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

double BestOf5(const std::function<bool()>& prepare, const std::function<bool()>& run) {
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        if (prepare && !prepare()) return -1;
        auto t0 = Clock::now();
        if (!run()) return -1;
        double s = std::chrono::duration<double>(Clock::now() - t0).count();
        if (s < best) best = s;
    }
    return best;
}

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
    std::printf("%-26s %9s %9s %8s\n", "", "seconds", "MiB/s", "x copy");

    const double tCopy = BestOf5(nullptr, [&] { return PlainCopy(src, copy); });
    const double tByte = BestOf5(nullptr, [&] { return ByteLoop(src, bytes); });
    if (tCopy <= 0 || tByte <= 0) {
        std::fprintf(stderr, "copy failed\n");
        return 1;
    }
    auto row = [&](const char* name, double t) {
        std::printf("%-26s %9.3f %9.1f %8.2f\n", name, t, mb / t, t / tCopy);
    };
    row("plain buffered copy", tCopy);
    row("byte loop (to CR LF)", tByte);

    // The copy loop alone, without the renames and deletes around it.
    const double tLoop = BestOf5(nullptr, [&] {
        std::remove(work.c_str());
        IFileSystem& fsys = NativeFileSystem();
        CreateResult created;
        auto in = fsys.OpenRead(src.c_str());
        auto out = fsys.CreateNew(work.c_str(), &created);
        return in && out && CopyToCrlf(*in, *out) == 0 && out->Close();
    });
    row("CopyToCrlf loop alone", tLoop);

    int status = 0;
    for (int format = 0; format < kLineEndingFormatCount; ++format) {
        const double t =
            BestOf5([&] { return PlainCopy(src, work); },
                    [&] { return ConvertFile(work.c_str(), format, true, true, true, false) == 0; });
        if (t <= 0) {
            std::fprintf(stderr, "ConvertFile failed for format %d\n", format);
            return 1;
        }
        std::string name = std::string("ConvertFile ") + LineEndingFormatLabel(format);
        row(name.c_str(), t);
        std::printf("%-26s %9s byte loop / ConvertFile = %.1f\n", "", "", tByte / t);
        if (format == 0 && !SameContent(work, bytes)) {
            std::printf("MISMATCH: ConvertFile and the byte loop disagree\n");
            status = 1;
        }
    }
    for (const std::string& p : {src, copy, bytes, work}) std::remove(p.c_str());
    return status;
}
