#pragma once
// The inner loop of the pass over a file's content, written once and built
// for each instruction set by the source that includes this header. Only
// plain data crosses between those sources; the code below sits in an
// unnamed namespace so that each source keeps its own copy, compiled for its
// own processor, and the linker never swaps one for another.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/text_units.h"

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
// SSE4.2 with POPCNT: converts bytes by shuffles, as AVX2 does.
const PassKernels* Sse42PassKernels();
const PassKernels* Avx2PassKernels();
const PassKernels* Avx512PassKernels();
// AVX-512BW with VBMI, VBMI2 and BMI2: converts by compress and permute.
const PassKernels* Vbmi2PassKernels();

namespace {

// Control units that text holds: BS, TAB, LF, FF, CR and ESC.
constexpr uint32_t kTextControls = (1u << kUnitBS) | (1u << kUnitTab) | (1u << kUnitLF) | (1u << kUnitFF) |
                                   (1u << kUnitCR) | (1u << kUnitEsc);

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
    return (u <= kLastLowControl && !((kTextControls >> u) & 1)) || u == kUnitDel;
}

inline unsigned CountBits(uint64_t x) {
    return static_cast<unsigned>(__builtin_popcountll(x));
}

// The portable classifier, and the reference the vector ones must match.
struct ScalarLanes {
    template <unsigned U, bool BigEndian>
    [[gnu::always_inline]] static ChunkMasks Classify(const unsigned char* p) {
        ChunkMasks m{0, 0, 0, 0};
        for (unsigned i = 0; i < 64; i += U) {
            const unsigned u = UnitAt<U, BigEndian>(p + i);
            const uint64_t bit = uint64_t(1) << i;
            if (u == kUnitCR) m.cr |= bit;
            if (u == kUnitLF) m.lf |= bit;
            if (IsBinaryControl(u)) m.controls |= bit;
            if (U == 1 && u == kUnitNul) m.nul |= bit;
        }
        return m;
    }
};

// The classifier on vector registers; V gives the register width and the
// few operations it needs, for one instruction set.
template <class V>
struct VectorLanes {
    template <unsigned U, bool BigEndian>
    [[gnu::always_inline]] static ChunkMasks Classify(const unsigned char* p) {
        using Reg = typename V::Reg;
        ChunkMasks m{0, 0, 0, 0};
#pragma GCC unroll 4
        for (unsigned k = 0; k < 64; k += V::kWidth) {
            Reg v = V::Load(p + k);
            if (U == 2 && BigEndian) v = V::Swap16(v);
            auto eq = [&](int c) { return U == 1 ? V::Eq8(v, c) : V::Eq16(v, c); };
            const Reg cr = eq(kUnitCR), lf = eq(kUnitLF);
            const Reg low = U == 1 ? V::AtMost8(v, kLastLowControl) : V::AtMost16(v, kLastLowControl);
            // Text has no low units but TAB and the breaks: the rarer text
            // controls (and a NUL, itself a control) are only looked for
            // when something else is there.
            Reg controls = V::Or(V::AndNot(V::Or(V::Or(cr, lf), eq(kUnitTab)), low), eq(kUnitDel));
            uint32_t odd = V::Mask(controls);
            uint32_t nul = 0;
            if (odd) {
                controls = V::AndNot(V::Or(V::Or(eq(kUnitBS), eq(kUnitFF)), eq(kUnitEsc)), controls);
                odd = V::Mask(controls);
                if (U == 1) nul = V::Mask(V::Eq8(v, 0));
            }
            // A 16-bit match sets both its bytes; keep the first.
            const uint64_t keep = U == 1 ? 0xFFFFFFFFu : 0x55555555u;
            m.cr |= (uint64_t(V::Mask(cr)) & keep) << k;
            m.lf |= (uint64_t(V::Mask(lf)) & keep) << k;
            m.controls |= (uint64_t(odd) & keep) << k;
            m.nul |= (uint64_t(nul) & keep) << k;
        }
        return m;
    }
};

inline void Copy64(unsigned char* d, const unsigned char* s) {
    std::memcpy(d, s, 64);
}

// The masks of the chunk at base of region [p, p + n), nothing past the
// region's end.
template <class Lanes, unsigned U, bool BigEndian>
[[gnu::always_inline]] inline ChunkMasks ClassifyIn(const unsigned char* p, size_t n, size_t base) {
    ChunkMasks m = Lanes::template Classify<U, BigEndian>(p + base);
    if (n - base < 64) {
        const uint64_t valid = (uint64_t(1) << (n - base)) - 1;
        m.cr &= valid;
        m.lf &= valid;
        m.controls &= valid;
        m.nul &= valid;
    }
    return m;
}

// One chunk's breaks told apart: a CR LF (at its CR), a lone CR, a lone
// LF, and where a CR comes just before; plus its LFs and whether it holds
// a NUL. Limited to the region.
struct ChunkBreaks {
    uint64_t pairs;
    uint64_t loneCr;
    uint64_t loneLf;
    uint64_t crPrev;
    uint64_t lf;
    bool nul;
};

// Classifies the chunk at base of region [p, p + n) and adds its counts
// to sum. prevCrTop carries a CR on the last unit from chunk to chunk.
template <class Lanes, unsigned U, bool BigEndian>
[[gnu::always_inline]] inline ChunkBreaks ReadChunk(const unsigned char* p, size_t n, size_t base,
                                                    uint64_t& prevCrTop, PassTotals& sum) {
    const ChunkMasks m = ClassifyIn<Lanes, U, BigEndian>(p, n, base);
    const size_t left = n - base;
    // Pairs across the chunk's edges: the unit after it, the one before.
    const uint64_t nextLf =
        left > 64 && UnitAt<U, BigEndian>(p + base + 64) == kUnitLF ? uint64_t(1) << (64 - U) : 0;
    const uint64_t lfNext = (m.lf >> U) | nextLf;
    ChunkBreaks b;
    b.crPrev = (m.cr << U) | prevCrTop;
    prevCrTop = m.cr >> (64 - U);
    b.pairs = m.cr & lfNext;
    b.loneCr = m.cr & ~lfNext;
    b.loneLf = m.lf & ~b.crPrev;
    b.lf = m.lf;
    b.nul = m.nul != 0;
    sum.crlf += CountBits(b.pairs);
    sum.cr += CountBits(b.loneCr);
    sum.lf += CountBits(b.loneLf);
    if (m.controls) sum.controls += CountBits(m.controls);
    if (b.nul) sum.nul = true;
    return b;
}

template <class Lanes, unsigned U, bool BigEndian>
size_t PassRegion(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                  PassTotals* totals, bool stopAtNul) {
    unsigned char* o = out;
    size_t copied = 0;  // input before this is in the output
    uint64_t prevCrTop = 0;
    PassTotals sum = *totals;
    for (size_t base = 0; base < n; base += 64) {
        const ChunkBreaks b = ReadChunk<Lanes, U, BigEndian>(p, n, base, prevCrTop, sum);
        if (b.nul && stopAtNul) break;
        const size_t chunk = n - base < 64 ? n - base : 64;
        const uint64_t pairs = b.pairs;
        uint64_t events = (pairs & t.pairForeign) | (b.loneCr & t.crForeign) | (b.loneLf & t.lfForeign);
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

// A counting pass's counts before the lone breaks are told apart.
struct ScanCounts {
    uint64_t crs = 0, lfs = 0, pairs = 0, controls = 0;
    bool nul = false;
};

// Counts region [p, p + n) into c. Each CR LF takes one CR and one LF, so
// the lone ones are the differences; a pair split across chunks is seen
// from the CR's side.
template <class Lanes, unsigned U, bool BigEndian>
void CountRegion(const unsigned char* p, size_t n, ScanCounts& c, bool stopAtNul) {
    uint64_t prevCrTop = 0;
    for (size_t base = 0; base < n; base += 64) {
        const ChunkMasks m = ClassifyIn<Lanes, U, BigEndian>(p, n, base);
        c.pairs += CountBits(m.cr & (m.lf >> U)) + (prevCrTop & m.lf);
        prevCrTop = m.cr >> (64 - U);
        c.crs += CountBits(m.cr);
        c.lfs += CountBits(m.lf);
        if (m.controls) c.controls += CountBits(m.controls);
        if (m.nul) {
            c.nul = true;
            if (stopAtNul) break;
        }
    }
}

// The pass without output, for a file that may need no change at all: only
// counts, so the usual run of text costs a few compares and three counts per
// chunk.
template <class Lanes, unsigned U, bool BigEndian>
void ScanRegion(const unsigned char* p, size_t n, const PassTarget& t, PassTotals* totals, bool stopAtNul) {
    ScanCounts c;
    CountRegion<Lanes, U, BigEndian>(p, n, c, stopAtNul);
    AddScanCounts(c.crs, c.lfs, c.pairs, c.controls, c.nul, t, totals);
}

// The counting pass over bytes for the vector set V, with the counts in
// vector byte counters, so no mask leaves the registers for the usual run
// of text: 64 bytes a step, with one test of the whole step for anything
// unusual. A CR LF is a CR whose next byte (a second load one byte on) is a
// LF. The last 64 bytes or fewer, whose end needs masks, go through the
// chunk classifier.
template <class V>
void ScanBytesInCounters(const unsigned char* p, size_t n, const PassTarget& t, PassTotals* totals,
                         bool stopAtNul) {
    using Reg = typename V::Reg;
    constexpr unsigned kSteps = 64 / V::kWidth;
    Reg crCounts = V::Zero(), lfCounts = V::Zero(), pairCounts = V::Zero();
    ScanCounts c;
    unsigned pending = 0;  // steps since the counters were drained
    auto drain = [&]() {
        c.crs += V::SumBytes(crCounts);
        c.lfs += V::SumBytes(lfCounts);
        c.pairs += V::SumBytes(pairCounts);
        crCounts = lfCounts = pairCounts = V::Zero();
        pending = 0;
    };
    const size_t whole = n > 64 ? (n - 1) & ~size_t(63) : 0;
    size_t base = 0;
    // Low bytes but TAB and the breaks, and DEL: none in the usual text.
    auto unusual = [](Reg v, Reg cr, Reg lf, Reg low) {
        return V::Or(V::AndNot(V::Or(V::Or(cr, lf), V::Eq8(v, kUnitTab)), low), V::Eq8(v, kUnitDel));
    };
    for (; base < whole; base += 64) {
        Reg any = V::Zero();
#pragma GCC unroll 4
        for (unsigned k = 0; k < kSteps; ++k) {
            const unsigned char* q = p + base + k * V::kWidth;
            const Reg v = V::Load(q);
            const Reg cr = V::Eq8(v, kUnitCR), lf = V::Eq8(v, kUnitLF);
            // A match is all ones, so subtracting it counts one.
            crCounts = V::Sub8(crCounts, cr);
            lfCounts = V::Sub8(lfCounts, lf);
            pairCounts = V::Sub8(pairCounts, V::And(cr, V::Eq8(V::Load(q + 1), kUnitLF)));
            any = V::Or(any, unusual(v, cr, lf, V::AtMost8(v, kLastLowControl)));
        }
        if (V::Any(any)) {
            // Rare, so the step is classified again rather than kept in registers.
            for (unsigned k = 0; k < kSteps; ++k) {
                const Reg v = V::Load(p + base + k * V::kWidth);
                const Reg low = V::AtMost8(v, kLastLowControl);
                const Reg odd = unusual(v, V::Eq8(v, kUnitCR), V::Eq8(v, kUnitLF), low);
                const Reg rare = V::Or(V::Or(V::Eq8(v, kUnitBS), V::Eq8(v, kUnitFF)), V::Eq8(v, kUnitEsc));
                c.controls += CountBits(V::Mask(V::AndNot(rare, odd)));
                if (V::Mask(V::And(V::Eq8(v, 0), low))) c.nul = true;
            }
            if (c.nul && stopAtNul) break;
        }
        // A byte counter holds at most 255.
        if (++pending == 255 / kSteps) drain();
    }
    drain();
    if (!(c.nul && stopAtNul)) CountRegion<VectorLanes<V>, 1, false>(p + base, n - base, c, stopAtNul);
    AddScanCounts(c.crs, c.lfs, c.pairs, c.controls, c.nul, t, totals);
}

template <class Lanes, unsigned U, bool BigEndian>
size_t PassOrScanRegion(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                        PassTotals* totals, bool stopAtNul) {
    if (out) return PassRegion<Lanes, U, BigEndian>(p, n, out, t, totals, stopAtNul);
    ScanRegion<Lanes, U, BigEndian>(p, n, t, totals, stopAtNul);
    return 0;
}

// The three targets the pass makes; anything else goes the general way.
enum class TargetKind { Generic, Lf, Cr, CrLf };

// Whether t's break is the given units (as bytes or as 16-bit units in the
// given order).
inline bool IsBreak(const PassTarget& t, const char* units, unsigned count, unsigned unit, bool bigEndian) {
    if (t.brkLen != count * unit) return false;
    for (unsigned i = 0; i < count; ++i)
        for (unsigned b = 0; b < unit; ++b) {
            const bool low = unit == 1 || b == (bigEndian ? 1u : 0u);
            if (t.brk[i * unit + b] != (low ? static_cast<unsigned char>(units[i]) : 0)) return false;
        }
    return true;
}

// Which of them t is, for units of unit bytes in the given order.
inline TargetKind KindOf(const PassTarget& t, unsigned unit, bool bigEndian) {
    const uint64_t all = ~uint64_t(0);
    if (IsBreak(t, "\r\n", 2, unit, bigEndian) && t.pairForeign == 0 && t.crForeign == all &&
        t.lfForeign == all)
        return TargetKind::CrLf;
    if (IsBreak(t, "\n", 1, unit, bigEndian) && t.pairForeign == all && t.crForeign == all &&
        t.lfForeign == 0)
        return TargetKind::Lf;
    if (IsBreak(t, "\r", 1, unit, bigEndian) && t.pairForeign == all && t.crForeign == 0 &&
        t.lfForeign == all)
        return TargetKind::Cr;
    return TargetKind::Generic;
}

// A kernel set's entry for bytes: Scan counts, Convert makes the three
// targets, and anything else goes the general way.
template <class Lanes, void (*Scan)(const unsigned char*, size_t, const PassTarget&, PassTotals*, bool),
          size_t (*Convert)(const unsigned char*, size_t, unsigned char*, const PassTarget&, PassTotals*,
                            bool, TargetKind)>
size_t DispatchBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                     PassTotals* totals, bool stopAtNul) {
    if (!out) {
        Scan(p, n, t, totals, stopAtNul);
        return 0;
    }
    const TargetKind kind = KindOf(t, 1, false);
    if (kind == TargetKind::Generic) return PassRegion<Lanes, 1, false>(p, n, out, t, totals, stopAtNul);
    return Convert(p, n, out, t, totals, stopAtNul, kind);
}

template <class Lanes>
constexpr PassKernels MakePassKernels() {
    return PassKernels{PassOrScanRegion<Lanes, 1, false>, PassOrScanRegion<Lanes, 2, false>,
                       PassOrScanRegion<Lanes, 2, true>, nullptr};
}

}  // namespace
