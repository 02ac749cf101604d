// libFuzzer target: the pass over a file's content against the reference
// reading, for every format, with and without skipping binary files, read
// in chunks of a size the input chooses; and the byte copy loops against
// the byte-at-a-time loop. Input: one byte of options (format: the byte
// modulo 3; bits 2-3: 1 or 2 widen the content to UTF-16 LE or BE with a
// mark, so text seeds reach the 16-bit path; bit 7: skip binary files), one
// byte of chunk size (0: as much as asked), then the content.
#include <cstdio>
#include <cstdlib>

#include "core/converter.h"
#include "tests/converter/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int format = data[0] % kLineEndingFormatCount;
    const bool skipBinary = (data[0] & 0x80) != 0;
    std::vector<size_t> chunks;
    if (data[1]) chunks.push_back(data[1]);
    std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    const int widen = (data[0] >> 2) & 3;
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
