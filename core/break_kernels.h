#pragma once
// The inner loop of the pass over a file's content, written once and built
// for each instruction set by the source that includes this header. Only
// plain data crosses between those sources; the code below sits in an
// unnamed namespace so that each source keeps its own copy, compiled for its
// own processor, and the linker never swaps one for another.

#include <cstddef>
#include <cstdint>
#include <cstring>

// The target break in the file's own encoding, and which kinds of break
// differ from it: each mask is all ones or zero.
struct PassTarget {
    unsigned char brk[4];
    unsigned brkLen;
    uint64_t pairForeign;  // CR LF
    uint64_t crForeign;    // lone CR
    uint64_t lfForeign;    // lone LF
};

struct PassTotals {
    uint64_t crlf = 0;
    uint64_t lf = 0;
    uint64_t cr = 0;
    uint64_t controls = 0;  // control units other than TAB LF CR FF BS ESC
    bool nul = false;       // a NUL byte (byte regions only)
    bool foreign = false;   // some break differs from the target
};

// Passes over region [p, p + n): n is a whole number of units, and the
// region never ends in a CR unless the file does. 64 bytes past the region
// must be readable, and 68 past the output's end writable. Adds to *totals.
// With out, writes the converted region there and returns its length; with
// stopAtNul, gives up at the first NUL (what it wrote is then incomplete).
using PassRegionFn = size_t (*)(const unsigned char* p, size_t n, unsigned char* out,
                                const PassTarget& target, PassTotals* totals, bool stopAtNul);

struct PassKernels {
    PassRegionFn bytes;
    PassRegionFn utf16le;
    PassRegionFn utf16be;
    // Whether the converting function for unit (1 or 2) and byte order
    // may write its output over its own region (out == p) for target;
    // nullptr where none may.
    bool (*inPlace)(const PassTarget& target, unsigned unit, bool bigEndian);
};

// Present only where the processor family has them; chosen at run time.
const PassKernels* Sse2PassKernels();
const PassKernels* Avx2PassKernels();
const PassKernels* Avx512PassKernels();
// AVX-512BW with VBMI2 and BMI2: converts bytes by compress and expand.
const PassKernels* Vbmi2PassKernels();

namespace {

constexpr unsigned kUnitCR = 0x0D;
constexpr unsigned kUnitLF = 0x0A;
// Control units that text holds: BS, TAB, LF, FF, CR and ESC.
constexpr uint32_t kTextControls = (1u << 8) | (1u << 9) | (1u << 10) | (1u << 12) | (1u << 13) | (1u << 27);

// One bit per unit of a 64-byte chunk, at the unit's first byte.
struct ChunkMasks {
    uint64_t cr;
    uint64_t lf;
    uint64_t controls;
    uint64_t nul;
};

template <unsigned U, bool BigEndian>
inline unsigned UnitAt(const unsigned char* p) {
    if (U == 1) return p[0];
    return BigEndian ? (unsigned(p[0]) << 8) | p[1] : (unsigned(p[1]) << 8) | p[0];
}

inline bool IsBinaryControl(unsigned u) {
    return (u < 0x20 && !((kTextControls >> u) & 1)) || u == 0x7F;
}

inline unsigned CountBits(uint64_t x) {
    return static_cast<unsigned>(__builtin_popcountll(x));
}

// The portable classifier, and the reference the vector ones must match.
struct ScalarLanes {
    template <unsigned U, bool BigEndian>
    static ChunkMasks Classify(const unsigned char* p) {
        ChunkMasks m{0, 0, 0, 0};
        for (unsigned i = 0; i < 64; i += U) {
            const unsigned u = UnitAt<U, BigEndian>(p + i);
            const uint64_t bit = uint64_t(1) << i;
            if (u == kUnitCR) m.cr |= bit;
            if (u == kUnitLF) m.lf |= bit;
            if (IsBinaryControl(u)) m.controls |= bit;
            if (U == 1 && u == 0) m.nul |= bit;
        }
        return m;
    }
};

// The classifier on vector registers; V gives the register width and the
// few operations it needs, for one instruction set.
template <class V>
struct VectorLanes {
    template <unsigned U, bool BigEndian>
    static ChunkMasks Classify(const unsigned char* p) {
        using Reg = typename V::Reg;
        ChunkMasks m{0, 0, 0, 0};
        for (unsigned k = 0; k < 64; k += V::kWidth) {
            Reg v = V::Load(p + k);
            Reg cr, lf, low, ok, del, nul;
            if (U == 1) {
                cr = V::Eq8(v, 0x0D);
                lf = V::Eq8(v, 0x0A);
                low = V::AtMost8(v, 0x1F);
                ok = V::Or(V::Or(V::Eq8(v, 0x09), V::Eq8(v, 0x08)), V::Or(V::Eq8(v, 0x0C), V::Eq8(v, 0x1B)));
                del = V::Eq8(v, 0x7F);
                nul = V::Eq8(v, 0);
            } else {
                if (BigEndian) v = V::Swap16(v);
                cr = V::Eq16(v, 0x0D);
                lf = V::Eq16(v, 0x0A);
                low = V::AtMost16(v, 0x1F);
                ok = V::Or(V::Or(V::Eq16(v, 0x09), V::Eq16(v, 0x08)),
                           V::Or(V::Eq16(v, 0x0C), V::Eq16(v, 0x1B)));
                del = V::Eq16(v, 0x7F);
                nul = V::Zero();
            }
            ok = V::Or(ok, V::Or(cr, lf));
            const Reg controls = V::Or(V::AndNot(ok, low), del);
            // A 16-bit match sets both its bytes; keep the first.
            const uint64_t keep = U == 1 ? 0xFFFFFFFFu : 0x55555555u;
            m.cr |= (uint64_t(V::Mask(cr)) & keep) << k;
            m.lf |= (uint64_t(V::Mask(lf)) & keep) << k;
            m.controls |= (uint64_t(V::Mask(controls)) & keep) << k;
            m.nul |= (uint64_t(V::Mask(nul)) & keep) << k;
        }
        return m;
    }
};

inline void Copy64(unsigned char* d, const unsigned char* s) {
    std::memcpy(d, s, 64);
}

template <class Lanes, unsigned U, bool BigEndian>
size_t PassRegion(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                  PassTotals* totals, bool stopAtNul) {
    unsigned char* o = out;
    size_t copied = 0;  // input before this is in the output
    uint64_t prevCrTop = 0;
    PassTotals sum = *totals;
    for (size_t base = 0; base < n; base += 64) {
        ChunkMasks m = Lanes::template Classify<U, BigEndian>(p + base);
        const size_t left = n - base;
        const size_t chunk = left < 64 ? left : 64;
        if (left < 64) {
            const uint64_t valid = (uint64_t(1) << left) - 1;
            m.cr &= valid;
            m.lf &= valid;
            m.controls &= valid;
            m.nul &= valid;
        }
        // Pairs across the chunk's edges: the unit after it, the one before.
        const uint64_t nextLf =
            left > 64 && UnitAt<U, BigEndian>(p + base + 64) == kUnitLF ? uint64_t(1) << (64 - U) : 0;
        const uint64_t lfNext = (m.lf >> U) | nextLf;
        const uint64_t crPrev = (m.cr << U) | prevCrTop;
        prevCrTop = m.cr >> (64 - U);
        const uint64_t pairs = m.cr & lfNext;
        const uint64_t loneCr = m.cr & ~lfNext;
        const uint64_t loneLf = m.lf & ~crPrev;
        sum.crlf += CountBits(pairs);
        sum.cr += CountBits(loneCr);
        sum.lf += CountBits(loneLf);
        sum.controls += CountBits(m.controls);
        if (m.nul) {
            sum.nul = true;
            if (stopAtNul) break;
        }
        uint64_t events = (pairs & t.pairForeign) | (loneCr & t.crForeign) | (loneLf & t.lfForeign);
        if (events) sum.foreign = true;
        if (!out) continue;
        // Each foreign break is replaced by the target break; the text
        // between is moved in fixed 64-byte copies that later ones overlap.
        while (events) {
            const unsigned bit = static_cast<unsigned>(__builtin_ctzll(events));
            const size_t at = base + bit;
            Copy64(o, p + copied);
            o += at - copied;
            std::memcpy(o, t.brk, 4);
            o += t.brkLen;
            copied = at + (((pairs >> bit) & 1) ? 2 * U : U);
            events &= events - 1;
        }
        const size_t chunkEnd = base + chunk;
        if (copied < chunkEnd) {
            Copy64(o, p + copied);
            o += chunkEnd - copied;
            copied = chunkEnd;
        }
    }
    *totals = sum;
    return static_cast<size_t>(o - out);
}

// A counting pass's region totals: each CR LF takes one CR and one LF, so
// the lone ones are the differences. A CR ending the region waits for the
// next one, so no pair is cut there; after a NUL stop the counts no longer
// matter, but stay sane.
inline void AddScanCounts(uint64_t crs, uint64_t lfs, uint64_t pairs, uint64_t controls, bool nul,
                          const PassTarget& t, PassTotals* totals) {
    const uint64_t loneCr = crs - pairs;
    const uint64_t loneLf = lfs > pairs ? lfs - pairs : 0;
    totals->crlf += pairs;
    totals->cr += loneCr;
    totals->lf += loneLf;
    totals->controls += controls;
    totals->nul = totals->nul || nul;
    if ((pairs & t.pairForeign) || (loneCr & t.crForeign) || (loneLf & t.lfForeign)) totals->foreign = true;
}

// The pass without output, for a file that may need no change at all: only
// counts, so the usual run of text costs a few compares and three counts per
// chunk. Each CR LF takes one CR and one LF, so the lone ones are the
// differences; a pair split across chunks is seen from the CR's side.
template <class Lanes, unsigned U, bool BigEndian>
void ScanRegion(const unsigned char* p, size_t n, const PassTarget& t, PassTotals* totals, bool stopAtNul) {
    uint64_t crs = 0, lfs = 0, pairs = 0, controls = 0;
    uint64_t prevCrTop = 0;
    bool nul = false;
    for (size_t base = 0; base < n; base += 64) {
        ChunkMasks m = Lanes::template Classify<U, BigEndian>(p + base);
        const size_t left = n - base;
        if (left < 64) {
            const uint64_t valid = (uint64_t(1) << left) - 1;
            m.cr &= valid;
            m.lf &= valid;
            m.controls &= valid;
            m.nul &= valid;
        }
        pairs += CountBits(m.cr & (m.lf >> U)) + (prevCrTop & m.lf);
        prevCrTop = m.cr >> (64 - U);
        crs += CountBits(m.cr);
        lfs += CountBits(m.lf);
        if (m.controls) controls += CountBits(m.controls);
        if (m.nul) {
            nul = true;
            if (stopAtNul) break;
        }
    }
    AddScanCounts(crs, lfs, pairs, controls, nul, t, totals);
}

template <class Lanes, unsigned U, bool BigEndian>
size_t PassOrScanRegion(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                        PassTotals* totals, bool stopAtNul) {
    if (out) return PassRegion<Lanes, U, BigEndian>(p, n, out, t, totals, stopAtNul);
    ScanRegion<Lanes, U, BigEndian>(p, n, t, totals, stopAtNul);
    return 0;
}

template <class Lanes>
constexpr PassKernels MakePassKernels() {
    return PassKernels{PassOrScanRegion<Lanes, 1, false>, PassOrScanRegion<Lanes, 2, false>,
                       PassOrScanRegion<Lanes, 2, true>, nullptr};
}

}  // namespace
