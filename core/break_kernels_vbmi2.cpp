// The converting pass over bytes with no loop over the breaks, for
// processors with AVX-512 VBMI and VBMI2 and BMI2: each chunk's breaks are
// rewritten in the register, then the bytes a break loses are squeezed out
// (compress); where a break gains a byte, each byte is first paired with a
// LF (a two-register permute) and only a break's LF kept. The chunk is
// stored whole. UTF-16 goes the same way in 16-bit units, letting units in
// by expand. Chosen at run time.
#include "core/break_kernels.h"

// 64-bit only: the 32-bit instruction set has no 64-bit deposit and extract.
#if defined(__x86_64__) && defined(__AVX512VBMI__) && defined(__AVX512VBMI2__) && defined(__BMI2__)
#include "core/break_kernels_avx512.h"

namespace {

// Byte j of a half, from first on, takes slot 2j, and slot 2j+1 a LF
// (byte 64 of the two-register table the index reads).
inline __m512i SlotIndex(int first) {
    alignas(64) unsigned char index[64];
    for (int s = 0; s < 64; ++s) index[s] = static_cast<unsigned char>(s % 2 ? 64 : first + s / 2);
    return _mm512_load_si512(index);
}

// Writes count bytes of a half (at most 32), each break among them (a bit
// of breaks) followed by its slot's LF: every byte's slot is kept, and a
// LF's only after a break.
inline unsigned char* InterleaveHalf(unsigned char* o, __m512i v, __m512i slots, uint32_t breaks,
                                     size_t count) {
    const __m512i pairs = _mm512_permutex2var_epi8(v, slots, _mm512_set1_epi8(kUnitLF));
    const uint64_t keep = 0x5555555555555555ULL | _pdep_u64(breaks, 0xAAAAAAAAAAAAAAAAULL);
    _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(keep, pairs));
    return o + count + CountBits(breaks);
}

// The counts are kept as in ScanBytes; a CR LF is a CR whose next byte (a
// second load one byte on) is a LF.
size_t ConvertBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                    PassTotals* totals, bool stopAtNul, TargetKind kind) {
    const __m512i crs = _mm512_set1_epi8(kUnitCR), lfs = _mm512_set1_epi8(kUnitLF);
    const __m512i single = _mm512_set1_epi8(static_cast<char>(t.brk[0]));
    const __m512i lowerSlots = SlotIndex(0), upperSlots = SlotIndex(32);
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
        const __mmask64 low = _mm512_mask_cmple_epu8_mask(valid, v, _mm512_set1_epi8(kLastLowControl));
        const __mmask64 del = _mm512_mask_cmpeq_epi8_mask(valid, v, _mm512_set1_epi8(kUnitDel));
        if (!counts.Add(v, cr, lf, pair, low, del)) {
            nul = true;
            if (stopAtNul) break;
        }
        const uint64_t crPrev = (uint64_t(cr) << 1) | prevCrTop;
        prevCrTop = uint64_t(cr) >> 63;
        // No branch on whether a chunk holds a change: in text with mixed
        // breaks it goes either way about as often, and a wrong guess costs
        // more than rewriting a chunk that needs nothing.
        if (kind == TargetKind::CrLf) {
            const uint64_t loneLf = lf & ~crPrev;
            const uint64_t breaks = (cr & ~pair) | loneLf;
            foreign |= breaks != 0;
            // Each lone break becomes a CR followed by an inserted LF.
            const __m512i marked = _mm512_mask_mov_epi8(v, loneLf, crs);
            o = InterleaveHalf(o, marked, lowerSlots, static_cast<uint32_t>(breaks), chunk < 32 ? chunk : 32);
            if (chunk > 32)
                o = InterleaveHalf(o, marked, upperSlots, static_cast<uint32_t>(breaks >> 32), chunk - 32);
            continue;
        }
        // Every CR and LF becomes the target; of a pair, the byte that is
        // not the target goes (an LF whose CR ended the last chunk too).
        // Any break that is not the target's byte is itself foreign or in
        // a foreign pair. The output never outruns the input, so it may be
        // the region itself: a store then reaches no byte not yet loaded,
        // and the last chunk's store stops at the region's end.
        const uint64_t changed = kind == TargetKind::Lf ? cr : lf;
        foreign |= changed != 0;
        const uint64_t keep = valid & ~(kind == TargetKind::Lf ? uint64_t(pair) : lf & crPrev);
        const unsigned kept = CountBits(keep);
        const __m512i squeezed = _mm512_maskz_compress_epi8(keep, _mm512_mask_mov_epi8(v, changed, single));
        if (left >= 64)
            _mm512_storeu_si512(o, squeezed);
        else
            _mm512_mask_storeu_epi8(o, (uint64_t(1) << kept) - 1, squeezed);
        o += kept;
    }
    counts.Flush();
    AddScanCounts(counts.crs, counts.lfs, counts.pairs, counts.controls, nul, t, totals);
    if (foreign) totals->foreign = true;
    return static_cast<size_t>(o - out);
}

// Writes count bytes (at most 32) of half's units, each break among them
// (a bit of breaks) followed by an inserted fill unit. Slot 2j stands for
// unit j and slot 2j+1 for the unit after it; the units' places among the
// slots in use are the expand mask. (Pairing units by permute, as for
// bytes, measured half as fast.)
inline unsigned char* ExpandUnits(unsigned char* o, __m512i half, uint32_t breaks, size_t count,
                                  __m512i fill) {
    const uint32_t used = 0x55555555u | _pdep_u32(breaks, 0xAAAAAAAAu);
    const uint32_t places = _pext_u32(0x55555555u, used);
    _mm512_storeu_si512(o, _mm512_mask_expand_epi16(fill, places, half));
    return o + count + 2 * CountBits(breaks);
}

// The units of a big-endian file in the processor's order, and back.
template <bool BigEndian>
inline __m512i HostOrder(__m512i v) {
    return BigEndian ? _mm512_shldi_epi16(v, v, 8) : v;
}

// UTF-16 the same way, 32 units a chunk: the breaks are rewritten and the
// units squeezed out or let in by 16-bit compress and expand. Without out it
// only counts. A CR LF is a CR unit whose next unit (a second load one
// unit on) is a LF.
template <bool BigEndian>
size_t PassUnits(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                 PassTotals* totals, bool stopAtNul) {
    const TargetKind kind = out ? KindOf(t, 2, BigEndian) : TargetKind::Generic;
    if (out && kind == TargetKind::Generic)
        return PassRegion<Avx512Lanes, 2, BigEndian>(p, n, out, t, totals, stopAtNul);
    const __m512i crs = _mm512_set1_epi16(kUnitCR), lfs = _mm512_set1_epi16(kUnitLF);
    const __m512i fileCr = HostOrder<BigEndian>(crs), fileLf = HostOrder<BigEndian>(lfs);
    const __m512i single = kind == TargetKind::Lf ? fileLf : fileCr;
    uint64_t crCount = 0, lfCount = 0, pairCount = 0, controls = 0;
    bool foreign = false;
    uint32_t prevCrTop = 0;
    unsigned char* o = out;
    for (size_t base = 0; base < n; base += 64) {
        const __m512i raw = _mm512_loadu_si512(p + base);
        const __m512i v = HostOrder<BigEndian>(raw);
        const __m512i next = HostOrder<BigEndian>(_mm512_loadu_si512(p + base + 2));
        const size_t left = n - base;
        const size_t chunk = left < 64 ? left : 64;
        // Nothing past the region counts, and a CR as its last unit has no LF after it here.
        const uint32_t valid = left >= 64 ? ~0u : (1u << (left / 2)) - 1;
        const uint32_t pairValid = left > 64 ? ~0u : valid >> 1;
        const uint32_t cr = _mm512_mask_cmpeq_epi16_mask(valid, v, crs);
        const uint32_t lf = _mm512_mask_cmpeq_epi16_mask(valid, v, lfs);
        const uint32_t pair = _mm512_mask_cmpeq_epi16_mask(cr & pairValid, next, lfs);
        const uint32_t low = _mm512_mask_cmple_epu16_mask(valid, v, _mm512_set1_epi16(kLastLowControl));
        const uint32_t del = _mm512_mask_cmpeq_epi16_mask(valid, v, _mm512_set1_epi16(kUnitDel));
        crCount += CountBits(cr);
        lfCount += CountBits(lf);
        pairCount += CountBits(pair);
        // Text has no low units but TAB and the breaks: the rarer text
        // controls are only looked for when something else is there.
        const uint32_t odd =
            (low & ~(cr | lf | _mm512_cmpeq_epi16_mask(v, _mm512_set1_epi16(kUnitTab)))) | del;
        if (odd) {
            const uint32_t rare = _mm512_cmpeq_epi16_mask(v, _mm512_set1_epi16(kUnitBS)) |
                                  _mm512_cmpeq_epi16_mask(v, _mm512_set1_epi16(kUnitFF)) |
                                  _mm512_cmpeq_epi16_mask(v, _mm512_set1_epi16(kUnitEsc));
            controls += CountBits(odd & ~rare);
        }
        if (!out) continue;
        const uint32_t crPrev = (cr << 1) | prevCrTop;
        prevCrTop = cr >> 31;
        if (kind == TargetKind::CrLf) {
            const uint32_t loneLf = lf & ~crPrev;
            const uint32_t breaks = (cr & ~pair) | loneLf;
            foreign |= breaks != 0;
            o = ExpandUnits(o, _mm512_mask_mov_epi16(raw, loneLf, fileCr), breaks & 0xFFFF,
                            chunk < 32 ? chunk : 32, fileLf);
            if (chunk > 32) {
                const __m512i upper =
                    _mm512_mask_mov_epi16(_mm512_loadu_si512(p + base + 32), loneLf >> 16, fileCr);
                o = ExpandUnits(o, upper, breaks >> 16, chunk - 32, fileLf);
            }
            continue;
        }
        const uint32_t changed = kind == TargetKind::Lf ? cr : lf;
        foreign |= changed != 0;
        const uint32_t keep = valid & ~(kind == TargetKind::Lf ? pair : lf & crPrev);
        const unsigned kept = CountBits(keep);
        const __m512i squeezed =
            _mm512_maskz_compress_epi16(keep, _mm512_mask_mov_epi16(raw, changed, single));
        if (left >= 64)
            _mm512_storeu_si512(o, squeezed);
        else
            _mm512_mask_storeu_epi16(o, (1u << kept) - 1, squeezed);
        o += 2 * kept;
    }
    AddScanCounts(crCount, lfCount, pairCount, controls, false, t, totals);
    if (foreign) totals->foreign = true;
    return static_cast<size_t>(o - out);
}

// Squeezing never outruns its input; letting units in does.
bool InPlace(const PassTarget& t, unsigned unit, bool bigEndian) {
    const TargetKind kind = KindOf(t, unit, bigEndian);
    return kind == TargetKind::Lf || kind == TargetKind::Cr;
}

constexpr PassKernels kVbmi2 = {DispatchBytes<Avx512Lanes, ScanBytes, ConvertBytes>, PassUnits<false>,
                                PassUnits<true>, InPlace};

}  // namespace

const PassKernels* Vbmi2PassKernels() {
    return &kVbmi2;
}
#else
const PassKernels* Vbmi2PassKernels() {
    return nullptr;
}
#endif
