#pragma once
// The AVX-512BW classifier and counting pass, shared by the sources built
// for AVX-512 (each keeps its own copy, as with break_kernels.h). Include
// only from a source compiled with AVX-512BW.
#include <immintrin.h>

#include "core/break_kernels.h"

namespace {

struct Avx512Lanes {
    template <unsigned U, bool BigEndian>
    [[gnu::always_inline]] static ChunkMasks Classify(const unsigned char* p) {
        __m512i v = _mm512_loadu_si512(p);
        if (U == 2 && BigEndian) v = _mm512_or_si512(_mm512_slli_epi16(v, 8), _mm512_srli_epi16(v, 8));
        auto eq = [&](int c) -> uint64_t {
            return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(c)));
        };
        const uint64_t zero = _mm512_testn_epi8_mask(v, v);
        // A unit matches by its low byte when its high byte is zero; its bit
        // stays on the unit's first byte.
        const uint64_t unit = U == 1 ? ~uint64_t(0) : (zero >> 1) & 0x5555555555555555ULL;
        ChunkMasks m;
        m.cr = eq(kUnitCR) & unit;
        m.lf = eq(kUnitLF) & unit;
        const uint64_t low = _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(kLastLowControl));
        // Text has no low bytes but TAB and the breaks: the rarer text
        // controls are only looked for when something else is there.
        uint64_t odd = low & ~(eq(kUnitTab) | m.cr | m.lf);
        if (odd) odd &= ~(eq(kUnitBS) | eq(kUnitFF) | eq(kUnitEsc));
        m.controls = (odd | eq(kUnitDel)) & unit;
        m.nul = U == 1 ? zero : 0;
        return m;
    }
};

// Adds the byte counters into the running totals; a byte counter holds at
// most 255, so this runs at least every 255 chunks.
uint64_t Drain(__m512i& counters) {
    alignas(64) uint64_t sums[8];
    _mm512_store_si512(sums, _mm512_sad_epu8(counters, _mm512_setzero_si512()));
    counters = _mm512_setzero_si512();
    return sums[0] + sums[1] + sums[2] + sums[3] + sums[4] + sums[5] + sums[6] + sums[7];
}

// The counts of a pass over bytes, kept in vector byte counters: no mask
// leaves the registers for the usual chunk of text.
struct ByteCounts {
    __m512i crCounts = _mm512_setzero_si512();
    __m512i lfCounts = _mm512_setzero_si512();
    __m512i pairCounts = _mm512_setzero_si512();
    uint64_t crs = 0, lfs = 0, pairs = 0, controls = 0;
    unsigned pending = 0;

    // Counts chunk v from its masks (pair: a CR whose next byte is a LF;
    // low: bytes up to 0x1F; del: 0x7F), all limited to the region. False
    // if the chunk holds a NUL.
    bool Add(__m512i v, __mmask64 cr, __mmask64 lf, __mmask64 pair, __mmask64 low, __mmask64 del) {
        const __m512i one = _mm512_set1_epi8(1);
        crCounts = _mm512_mask_add_epi8(crCounts, cr, crCounts, one);
        lfCounts = _mm512_mask_add_epi8(lfCounts, lf, lfCounts, one);
        pairCounts = _mm512_mask_add_epi8(pairCounts, pair, pairCounts, one);
        bool clean = true;
        const __mmask64 odd =
            (low & ~(cr | lf | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitTab)))) | del;
        if (odd) {
            const __mmask64 rare = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitBS)) |
                                   _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitFF)) |
                                   _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitEsc));
            controls += static_cast<uint64_t>(__builtin_popcountll(odd & ~rare));
            clean = !(_mm512_testn_epi8_mask(v, v) & low);
        }
        if (++pending == 255) Flush();
        return clean;
    }
    void Flush() {
        crs += Drain(crCounts);
        lfs += Drain(lfCounts);
        pairs += Drain(pairCounts);
        pending = 0;
    }
};

// The counting pass over bytes. A CR LF is a CR whose next byte is a LF,
// read with a second load one byte on.
void ScanBytes(const unsigned char* p, size_t n, const PassTarget& t, PassTotals* totals, bool stopAtNul) {
    ByteCounts counts;
    bool nul = false;
    for (size_t base = 0; base < n; base += 64) {
        const __m512i v = _mm512_loadu_si512(p + base);
        const __m512i next = _mm512_loadu_si512(p + base + 1);
        __mmask64 cr = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitCR));
        __mmask64 lf = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitLF));
        __mmask64 pair = cr & _mm512_cmpeq_epi8_mask(next, _mm512_set1_epi8(kUnitLF));
        __mmask64 low = _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(kLastLowControl));
        __mmask64 del = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(kUnitDel));
        const size_t left = n - base;
        if (left <= 64) {
            // The last chunk: nothing past the region counts, and a CR on
            // its last byte has no LF after it here.
            const uint64_t valid = left == 64 ? ~uint64_t(0) : (uint64_t(1) << left) - 1;
            cr &= valid;
            lf &= valid;
            pair &= valid >> 1;
            low &= valid;
            del &= valid;
        }
        if (!counts.Add(v, cr, lf, pair, low, del)) {
            nul = true;
            if (stopAtNul) break;
        }
    }
    counts.Flush();
    AddScanCounts(counts.crs, counts.lfs, counts.pairs, counts.controls, nul, t, totals);
}

}  // namespace
