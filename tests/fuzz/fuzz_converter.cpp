// libFuzzer target: the pass over a file's content against the reference
// reading, for every format, with and without skipping binary files, read
// in chunks of a size the input chooses; and the byte copy loops against
// the byte-at-a-time loop. Input: one byte of options (format: the byte
// modulo 3; bits 2-3: 1 or 2 widen the content to UTF-16 LE or BE with a
// mark, so text seeds reach the 16-bit path; bit 7: skip binary files), one
// byte of chunk size (0: as much as asked), then the content. The pass
// uses the fastest kernel the processor has; every kernel it can run is
// also compared with the portable one on the content as one region.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/break_kernels.h"
#include "core/break_pass.h"
#include "core/converter.h"
#include "tests/converter/test_support.h"

namespace {

void CompareKernels(const std::string& content, int format, int widen) {
    static const PassKernels portable = MakePassKernels<ScalarLanes>();
    const size_t unit = widen == 1 || widen == 2 ? 2 : 1;
    const size_t n = content.size() - content.size() % unit;
    std::vector<unsigned char> in(n + 64), outA(2 * n + 68), outB(2 * n + 68);
    std::memcpy(in.data(), content.data(), n);
    const PassTarget t = KernelTarget(format, widen == 1 || widen == 2 ? widen : 0);
    auto pick = [&](const PassKernels& k) {
        return unit == 1 ? k.bytes : widen == 1 ? k.utf16le : k.utf16be;
    };
    PassTotals ta;
    const size_t la = pick(portable)(in.data(), n, outA.data(), t, &ta, false);
    for (const PassKernelSet& set : PassKernelSets()) {
        if (!set.runs) continue;
        const PassKernels* const v = set.kernels;
        PassTotals tb;
        const size_t lb = pick(*v)(in.data(), n, outB.data(), t, &tb, false);
        if (la != lb || std::memcmp(outA.data(), outB.data(), la) != 0 || ta.crlf != tb.crlf ||
            ta.lf != tb.lf || ta.cr != tb.cr || ta.controls != tb.controls || ta.nul != tb.nul ||
            ta.foreign != tb.foreign) {
            std::fprintf(stderr, "a vector kernel and the portable one differ\n");
            std::abort();
        }
        if (v->inPlace && v->inPlace(t, static_cast<unsigned>(unit), widen == 2)) {
            std::vector<unsigned char> region(in);
            PassTotals tc;
            const size_t lc = pick(*v)(region.data(), n, region.data(), t, &tc, false);
            if (lc != la || std::memcmp(outA.data(), region.data(), la) != 0 ||
                !std::equal(in.begin() + n, in.end(), region.begin() + n)) {
                std::fprintf(stderr, "a kernel converting in place differs\n");
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int format = data[0] % kLineEndingFormatCount;
    const bool skipBinary = (data[0] & 0x80) != 0;
    std::vector<size_t> chunks;
    if (data[1]) chunks.push_back(data[1]);
    std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const int widen = (data[0] >> 2) & 3;
    CompareKernels(input, format, widen);
    if (widen == 1 || widen == 2) {
        std::string wide = widen == 1 ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : input) {
            wide += widen == 1 ? c : '\0';
            wide += widen == 1 ? '\0' : c;
        }
        input.swap(wide);
    }

    const std::string mismatch = PassMismatch(input, format, skipBinary, chunks);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "pass and reference differ: %s (format %d, skip %d, chunk %u)\n",
                     mismatch.c_str(), format, skipBinary, data[1]);
        std::abort();
    }
    static const char* const kBreaks[] = {"\r\n", "\r", "\n"};
    static int (*const kCopies[])(IFile&, IFile&) = {CopyToCrlf, CopyToCr, CopyToLf};
    MemoryReader in(input, chunks);
    MemoryWriter out;
    if (kCopies[format](in, out) != 0 || out.data() != OracleConvert(input, kBreaks[format])) {
        std::fprintf(stderr, "copy loop %d and the byte loop differ\n", format);
        std::abort();
    }
    return 0;
}
