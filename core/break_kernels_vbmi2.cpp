// The converting pass over bytes with no loop over the breaks, for
// processors with AVX-512 VBMI2 and BMI2: each chunk's breaks are rewritten
// in the register, then the bytes a break loses are squeezed out (compress)
// or the bytes it gains let in (expand), and the chunk is stored whole.
// Chosen at run time; UTF-16 and counting are as with AVX-512BW.
#include "core/break_kernels.h"

// 64-bit only: the 32-bit instruction set has no 64-bit deposit and extract.
#if defined(__x86_64__) && defined(__AVX512VBMI2__) && defined(__BMI2__)
#include "core/break_kernels_avx512.h"

namespace {

enum class Target { Generic, Lf, Cr, CrLf };

// The three targets the pass makes; anything else goes the general way.
Target KindOf(const PassTarget& t) {
    const uint64_t all = ~uint64_t(0);
    if (t.brkLen == 2 && t.brk[0] == kUnitCR && t.brk[1] == kUnitLF && t.pairForeign == 0 &&
        t.crForeign == all && t.lfForeign == all)
        return Target::CrLf;
    if (t.brkLen == 1 && t.brk[0] == kUnitLF && t.pairForeign == all && t.crForeign == all &&
        t.lfForeign == 0)
        return Target::Lf;
    if (t.brkLen == 1 && t.brk[0] == kUnitCR && t.pairForeign == all && t.crForeign == 0 &&
        t.lfForeign == all)
        return Target::Cr;
    return Target::Generic;
}

// Writes count bytes of half (at most 32), each break among them (a bit of
// breaks) followed by an inserted LF. Slot 2j stands for byte j and slot
// 2j+1 for the LF after it; the bytes' places among the slots in use are
// the expand mask.
inline unsigned char* ExpandHalf(unsigned char* o, __m512i half, uint32_t breaks, size_t count) {
    const uint64_t used = 0x5555555555555555ULL | _pdep_u64(breaks, 0xAAAAAAAAAAAAAAAAULL);
    const uint64_t places = _pext_u64(0x5555555555555555ULL, used);
    _mm512_storeu_si512(o, _mm512_mask_expand_epi8(_mm512_set1_epi8(kUnitLF), places, half));
    return o + count + CountBits(breaks);
}

// The counts are kept as in ScanBytes; a CR LF is a CR whose next byte (a
// second load one byte on) is a LF.
size_t ConvertBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                    PassTotals* totals, bool stopAtNul, Target kind) {
    const __m512i crs = _mm512_set1_epi8(kUnitCR), lfs = _mm512_set1_epi8(kUnitLF);
    const __m512i single = _mm512_set1_epi8(static_cast<char>(t.brk[0]));
    ByteCounts counts;
    bool nul = false, foreign = false;
    uint64_t prevCrTop = 0;
    unsigned char* o = out;
    for (size_t base = 0; base < n; base += 64) {
        const __m512i v = _mm512_loadu_si512(p + base);
        const __m512i next = _mm512_loadu_si512(p + base + 1);
        const size_t left = n - base;
        const size_t chunk = left < 64 ? left : 64;
        // Nothing past the region counts, and a CR on its last byte has no LF after it here.
        const uint64_t valid = left >= 64 ? ~uint64_t(0) : (uint64_t(1) << left) - 1;
        const uint64_t pairValid = left > 64 ? ~uint64_t(0) : valid >> 1;
        const __mmask64 cr = _mm512_mask_cmpeq_epi8_mask(valid, v, crs);
        const __mmask64 lf = _mm512_mask_cmpeq_epi8_mask(valid, v, lfs);
        const __mmask64 pair = _mm512_mask_cmpeq_epi8_mask(cr & pairValid, next, lfs);
        const __mmask64 low = _mm512_mask_cmple_epu8_mask(valid, v, _mm512_set1_epi8(0x1F));
        const __mmask64 del = _mm512_mask_cmpeq_epi8_mask(valid, v, _mm512_set1_epi8(0x7F));
        if (!counts.Add(v, cr, lf, pair, low, del)) {
            nul = true;
            if (stopAtNul) break;
        }
        const uint64_t crPrev = (uint64_t(cr) << 1) | prevCrTop;
        prevCrTop = uint64_t(cr) >> 63;
        if (kind == Target::CrLf) {
            const uint64_t loneLf = lf & ~crPrev;
            const uint64_t breaks = (cr & ~pair) | loneLf;
            if (!breaks) {
                _mm512_storeu_si512(o, v);
                o += chunk;
                continue;
            }
            foreign = true;
            // Each lone break becomes a CR followed by an inserted LF.
            o = ExpandHalf(o, _mm512_mask_mov_epi8(v, loneLf, crs), static_cast<uint32_t>(breaks),
                           chunk < 32 ? chunk : 32);
            if (chunk > 32) {
                const __m512i upper =
                    _mm512_mask_mov_epi8(_mm512_loadu_si512(p + base + 32), loneLf >> 32, crs);
                o = ExpandHalf(o, upper, static_cast<uint32_t>(breaks >> 32), chunk - 32);
            }
            continue;
        }
        // Every CR and LF becomes the target; of a pair, the byte that is
        // not the target goes (an LF whose CR ended the last chunk too).
        // Any break that is not the target's byte is itself foreign or in
        // a foreign pair.
        const uint64_t changed = kind == Target::Lf ? cr : lf;
        if (!changed) {
            _mm512_storeu_si512(o, v);
            o += chunk;
            continue;
        }
        foreign = true;
        const uint64_t keep = valid & ~(kind == Target::Lf ? uint64_t(pair) : lf & crPrev);
        _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, _mm512_mask_mov_epi8(v, changed, single)));
        o += CountBits(keep);
    }
    counts.Flush();
    AddScanCounts(counts.crs, counts.lfs, counts.pairs, counts.controls, nul, t, totals);
    if (foreign) totals->foreign = true;
    return static_cast<size_t>(o - out);
}

size_t PassBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                 PassTotals* totals, bool stopAtNul) {
    if (!out) {
        ScanBytes(p, n, t, totals, stopAtNul);
        return 0;
    }
    const Target kind = KindOf(t);
    if (kind == Target::Generic) return PassRegion<Avx512Lanes, 1, false>(p, n, out, t, totals, stopAtNul);
    return ConvertBytes(p, n, out, t, totals, stopAtNul, kind);
}

constexpr PassKernels kVbmi2 = {PassBytes, MakePassKernels<Avx512Lanes>().utf16le,
                                MakePassKernels<Avx512Lanes>().utf16be};

}  // namespace

const PassKernels* Vbmi2PassKernels() {
    return &kVbmi2;
}
#else
const PassKernels* Vbmi2PassKernels() {
    return nullptr;
}
#endif
