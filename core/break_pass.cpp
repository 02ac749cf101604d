#include "core/break_pass.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "core/break_kernels.h"
#include "core/text_units.h"

namespace {

// Up to 3 bytes of one read (a CR that may pair with what comes next, half
// a UTF-16 unit) wait at the front of the buffer for the next.
constexpr size_t kCarryRoom = 4;
// Kernels read 64 bytes past their region and write 68 past their output.
constexpr size_t kSlack = 128;

const PassKernels kScalarKernels = MakePassKernels<ScalarLanes>();

// One buffer of each size waits between passes. A fresh page costs a fault
// on its first touch, and on some virtual machines (our Wine test machines
// among them) faulting in a large file's buffers took about 1 ms, a tenth
// of reading 64 MiB. A pass takes the spare if it is there, so passes at
// once stay correct: the second simply allocates its own. The spares live
// as long as the process.
class SpareBuffer {
public:
    // Input buffers start zeroed, so the bytes kernels read past a region
    // are never indeterminate; output is only read where written.
    constexpr SpareBuffer(size_t size, bool zeroed) : m_size(size), m_zeroed(zeroed) {}
    unsigned char* Take() {
        if (unsigned char* p = m_spare.exchange(nullptr)) return p;
        return m_zeroed ? new unsigned char[m_size]() : new unsigned char[m_size];
    }
    void GiveBack(unsigned char* p) { delete[] m_spare.exchange(p); }

private:
    const size_t m_size;
    const bool m_zeroed;
    std::atomic<unsigned char*> m_spare{nullptr};
};

SpareBuffer g_firstIn(kCarryRoom + kPassFirstBlock + kSlack, true);
SpareBuffer g_firstOut(2 * (kCarryRoom + kPassFirstBlock) + kSlack, false);
SpareBuffer g_blockIn(kCarryRoom + kPassBlockSize + kSlack, true);
SpareBuffer g_blockOut(2 * (kCarryRoom + kPassBlockSize) + kSlack, false);

// A pass's buffer, given back to its spare slot when done with.
class PassBuffer {
public:
    PassBuffer() = default;
    PassBuffer(const PassBuffer&) = delete;
    PassBuffer& operator=(const PassBuffer&) = delete;
    ~PassBuffer() { Release(); }

    unsigned char* get() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }

    void Take(SpareBuffer& from) {
        Release();
        m_data = from.Take();
        m_from = &from;
    }
    void swap(PassBuffer& other) {
        std::swap(m_data, other.m_data);
        std::swap(m_from, other.m_from);
    }

private:
    void Release() {
        if (m_from) m_from->GiveBack(m_data);
        m_data = nullptr;
        m_from = nullptr;
    }

    unsigned char* m_data = nullptr;
    SpareBuffer* m_from = nullptr;
};

struct KernelChoice {
    const PassKernels* kernels;
    const char* name;
};

#if (defined(__i386__) || defined(__x86_64__)) && !defined(PARDWELL_WORDS_ONLY)
// The highest level PARDWELL_ISA allows (all when it is unset or unknown):
// an index into PassKernelSets, or -1 for the portable kernels alone. It
// sets a ceiling, to compare the kernels on one machine, and never enables
// what the processor lacks.
int KernelCeiling(const std::vector<PassKernelSet>& sets) {
    const int top = static_cast<int>(sets.size()) - 1;
    const char* cap = std::getenv("PARDWELL_ISA");
    if (!cap) return top;
    if (std::strcmp(cap, "portable") == 0) return -1;
    for (int level = 0; level <= top; ++level)
        if (std::strcmp(cap, sets[level].isaName) == 0) return level;
    return top;
}
#endif

// The fastest kernels the processor runs, under the ceiling.
// PARDWELL_WORDS_ONLY builds the portable kernels alone, so tests can
// cover them.
KernelChoice ChooseKernels() {
#if (defined(__i386__) || defined(__x86_64__)) && !defined(PARDWELL_WORDS_ONLY)
    const std::vector<PassKernelSet>& sets = PassKernelSets();
    for (int level = KernelCeiling(sets); level >= 0; --level)
        if (sets[level].runs) return {sets[level].kernels, sets[level].name};
#endif
    return {&kScalarKernels, "portable"};
}

const KernelChoice& Chosen() {
    static const KernelChoice chosen = ChooseKernels();
    return chosen;
}

const PassKernels& Kernels() {
    return *Chosen().kernels;
}

ByteOrderMark ReadBom(const unsigned char* p, size_t n) {
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return ByteOrderMark::Utf8;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return ByteOrderMark::Utf16Le;
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return ByteOrderMark::Utf16Be;
    return ByteOrderMark::None;
}

PassTarget MakeTarget(LineEndingFormat format, unsigned unit, bool bigEndian) {
    PassTarget t{};
    const unsigned char* brk =
        format == LineEndingFormat::Windows     ? reinterpret_cast<const unsigned char*>("\r\n")
        : format == LineEndingFormat::Macintosh ? reinterpret_cast<const unsigned char*>("\r")
                                                : reinterpret_cast<const unsigned char*>("\n");
    const unsigned units = format == LineEndingFormat::Windows ? 2 : 1;
    for (unsigned i = 0; i < units; ++i) {
        unsigned char* u = t.brk + i * unit;
        if (unit == 1) {
            u[0] = brk[i];
        } else {
            u[bigEndian ? 1 : 0] = brk[i];
            u[bigEndian ? 0 : 1] = 0;
        }
    }
    t.brkLen = units * unit;
    const uint64_t all = ~uint64_t(0);
    t.pairForeign = format == LineEndingFormat::Windows ? 0 : all;
    t.crForeign = format == LineEndingFormat::Macintosh ? 0 : all;
    t.lfForeign = format == LineEndingFormat::Unix ? 0 : all;
    return t;
}

}  // namespace

const std::vector<PassKernelSet>& PassKernelSets() {
    static const std::vector<PassKernelSet> sets = [] {
        std::vector<PassKernelSet> v;
#if defined(__i386__) || defined(__x86_64__)
        __builtin_cpu_init();
        const bool avx512bw = __builtin_cpu_supports("avx512bw") != 0;
        const bool vbmi2 = avx512bw && __builtin_cpu_supports("avx512vbmi") &&
                           __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
        v = {
            {"SSE2", "sse2", "SSE2", Sse2PassKernels(), __builtin_cpu_supports("sse2") != 0},
            {"SSE4.2", "sse42", "SSE4.2 and POPCNT", Sse42PassKernels(),
             __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("popcnt")},
            {"AVX2", "avx2", "AVX2", Avx2PassKernels(), __builtin_cpu_supports("avx2") != 0},
            {"AVX-512BW", "avx512bw", "AVX-512BW", Avx512PassKernels(), avx512bw},
            {"AVX-512 VBMI2", "vbmi2", "AVX-512BW, VBMI, VBMI2 and BMI2", Vbmi2PassKernels(), vbmi2},
        };
        // A set this build lacks runs nowhere.
        for (PassKernelSet& set : v) set.runs = set.runs && set.kernels;
#endif
        return v;
    }();
    return sets;
}

const char* PassInstructionSet() {
    return Chosen().name;
}

PassResult RunPass(IFile& in, const PassOptions& options, IPassOutput* output, ContentReport* report) {
    ContentReport local;
    ContentReport& r = report ? *report : local;
    r = ContentReport();

    size_t block = kPassFirstBlock;
    PassBuffer inBuf;
    inBuf.Take(g_firstIn);
    unsigned char* buf = inBuf.get();
    size_t have = 0;
    bool eof = false;
    bool filled = false;  // the last read gave all it was asked for
    auto readMore = [&]() {
        const long got = in.Read(buf + have, block);
        if (got < 0) return false;
        if (got == 0) eof = true;
        filled = static_cast<size_t>(got) == block;
        have += static_cast<size_t>(got);
        return true;
    };
    // Enough for the longest byte-order mark, however the reads fall.
    while (have < 3 && !eof)
        if (!readMore()) return PassResult::ReadFailed;

    r.bom = ReadBom(buf, have);
    const bool units =
        options.readBom && (r.bom == ByteOrderMark::Utf16Le || r.bom == ByteOrderMark::Utf16Be);
    if (!options.readBom) r.bom = ByteOrderMark::None;
    const unsigned unitSize = units ? 2 : 1;
    const bool bigEndian = r.bom == ByteOrderMark::Utf16Be;
    const PassRegionFn pass = !units ? Kernels().bytes : bigEndian ? Kernels().utf16be : Kernels().utf16le;
    const PassTarget target = MakeTarget(options.format, unitSize, bigEndian);
    const bool stopAtNul = options.stopAtBinary && !units;
    auto unitAt = [&](const unsigned char* u) -> unsigned {
        if (unitSize == 1) return u[0];
        return bigEndian ? unsigned(u[0]) << 8 | u[1] : unsigned(u[1]) << 8 | u[0];
    };

    // A conversion that only drops bytes may write over its own input,
    // which halves the memory it touches; anything else needs room to grow.
    const bool inPlace = Kernels().inPlace && Kernels().inPlace(target, unitSize, bigEndian);
    PassBuffer outBuf;
    auto newOutBuf = [&]() { outBuf.Take(block == kPassBlockSize ? g_blockOut : g_firstOut); };
    IFile* out = nullptr;
    auto begin = [&](uint64_t unchanged) {
        out = output->Begin(unchanged);
        if (out && !outBuf && !inPlace) newOutBuf();
        return out != nullptr;
    };
    // A file that filled the first read is read on in the larger blocks; a
    // small one learns its end from an empty read and keeps its small buffers.
    auto grow = [&]() {
        block = kPassBlockSize;
        PassBuffer larger;
        larger.Take(g_blockIn);
        std::memcpy(larger.get(), buf, have);
        inBuf.swap(larger);
        buf = inBuf.get();
        if (outBuf) newOutBuf();
    };
    if (options.eager && output && !begin(0)) return PassResult::OutputFailed;

    PassTotals totals;
    uint64_t offset = 0;  // of buf[0] in the file
    unsigned lastUnit = 0;
    bool anyUnit = false;
    for (;;) {
        size_t n = have - have % unitSize;
        if (!eof && n >= unitSize) {
            if (unitAt(buf + n - unitSize) == kUnitCR) n -= unitSize;
        } else if (!eof) {
            n = 0;
        }
        if (n > 0) {
            // Taken first: an in-place conversion overwrites the region.
            const unsigned regionLast = unitAt(buf + n - unitSize);
            if (!out) {
                const PassTotals before = totals;
                pass(buf, n, nullptr, target, &totals, stopAtNul);
                if (totals.foreign && output && !(stopAtNul && totals.nul)) {
                    totals = before;
                    if (!begin(offset)) return PassResult::OutputFailed;
                }
            }
            if (out) {
                unsigned char* converted = inPlace ? buf : outBuf.get();
                const size_t len = pass(buf, n, converted, target, &totals, stopAtNul);
                if (!(stopAtNul && totals.nul) && !out->Write(converted, len)) return PassResult::WriteFailed;
            }
            if (stopAtNul && totals.nul) break;
            lastUnit = regionLast;
            anyUnit = true;
            offset += n;
            std::memmove(buf, buf + n, have - n);
            have -= n;
        }
        if (eof) break;
        if (options.stop && options.stop->GraceOver()) return PassResult::Stopped;
        if (block < kPassBlockSize && filled) grow();
        if (!readMore()) return PassResult::ReadFailed;
    }

    // Half a unit at the end of UTF-16 is kept as it is, and makes the file binary.
    const bool oddByte = have > 0 && !(stopAtNul && totals.nul);
    if (oddByte && out && !out->Write(buf, have)) return PassResult::WriteFailed;

    r.crlf = totals.crlf;
    r.lf = totals.lf;
    r.cr = totals.cr;
    r.finalBreak = anyUnit && (lastUnit == kUnitCR || lastUnit == kUnitLF);
    uint64_t controls = totals.controls;
    if (anyUnit && lastUnit == kUnitEofMark && controls > 0) --controls;
    const uint64_t count = offset / unitSize;
    r.binary = (!units && totals.nul) || controls * kBinaryControlShare > count || oddByte;
    // Known only now that the whole file has been read: a file otherwise in
    // format begins its output here, with all of it unchanged.
    // A byte-order mark alone is an empty file.
    const uint64_t bomBytes = r.bom == ByteOrderMark::Utf8 ? 3 : r.bom == ByteOrderMark::None ? 0 : 2;
    const bool hasText = offset > bomBytes;
    if (options.finalBreak && output && hasText && !r.binary && !r.finalBreak && lastUnit != kUnitEofMark) {
        if (!out && !begin(offset)) return PassResult::OutputFailed;
        if (!out->Write(target.brk, target.brkLen)) return PassResult::WriteFailed;
    }
    if (r.binary && options.stopAtBinary)
        r.outcome = ConvertOutcome::SkippedBinary;
    else if (!out)
        r.outcome = ConvertOutcome::AlreadyInFormat;
    else
        r.outcome = ConvertOutcome::Converted;
    return PassResult::Done;
}
