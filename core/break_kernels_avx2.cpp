// The pass's inner loop thirty-two bytes at a time, for processors with
// AVX2; chosen at run time.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__AVX2__)
#include <immintrin.h>

#include "core/break_kernels_shuffle.h"

namespace {

struct Avx2 {
    using Reg = __m256i;
    static constexpr unsigned kWidth = 32;
    static Reg Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const Reg*>(p)); }
    static Reg Zero() { return _mm256_setzero_si256(); }
    static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static Reg AndNot(Reg a, Reg b) { return _mm256_andnot_si256(a, b); }
    static Reg Eq8(Reg v, int c) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(c))); }
    static Reg Eq16(Reg v, int c) { return _mm256_cmpeq_epi16(v, _mm256_set1_epi16(static_cast<short>(c))); }
    static Reg AtMost8(Reg v, int c) {
        return _mm256_cmpeq_epi8(_mm256_min_epu8(v, _mm256_set1_epi8(static_cast<char>(c))), v);
    }
    static Reg AtMost16(Reg v, int c) {
        return _mm256_cmpeq_epi16(_mm256_subs_epu16(v, _mm256_set1_epi16(static_cast<short>(c))), Zero());
    }
    static Reg Swap16(Reg v) { return _mm256_or_si256(_mm256_slli_epi16(v, 8), _mm256_srli_epi16(v, 8)); }
    static uint32_t Mask(Reg v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
};

// Adds the byte counters into a running total; a byte counter holds at
// most 255, so this runs at least every 255 steps.
uint64_t Drain(__m256i& counters) {
    alignas(32) uint64_t sums[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), _mm256_sad_epu8(counters, _mm256_setzero_si256()));
    counters = _mm256_setzero_si256();
    return sums[0] + sums[1] + sums[2] + sums[3];
}

// The counting pass over bytes with the counts in vector byte counters, so
// no mask leaves the registers for the usual run of text. A CR LF is a CR
// whose next byte (a second load one byte on) is a LF.
void ScanBytes(const unsigned char* p, size_t n, const PassTarget& t, PassTotals* totals, bool stopAtNul) {
    const __m256i crs = _mm256_set1_epi8(kUnitCR), lfs = _mm256_set1_epi8(kUnitLF);
    const __m256i places = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18,
                                            19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    __m256i crCounts = _mm256_setzero_si256(), lfCounts = crCounts, pairCounts = crCounts;
    uint64_t crCount = 0, lfCount = 0, pairCount = 0, controls = 0;
    unsigned pending = 0;
    bool nul = false;
    auto drain = [&]() {
        crCount += Drain(crCounts);
        lfCount += Drain(lfCounts);
        pairCount += Drain(pairCounts);
        pending = 0;
    };
    // A match is all ones, so subtracting it counts one.
    auto count = [&](__m256i cr, __m256i lf, __m256i pair) {
        crCounts = _mm256_sub_epi8(crCounts, cr);
        lfCounts = _mm256_sub_epi8(lfCounts, lf);
        pairCounts = _mm256_sub_epi8(pairCounts, pair);
    };
    // Low bytes but TAB and the breaks, and DEL: none in the usual text.
    auto unusual = [](__m256i v, __m256i cr, __m256i lf, __m256i low, __m256i del) {
        return Avx2::Or(Avx2::AndNot(Avx2::Or(Avx2::Or(cr, lf), Avx2::Eq8(v, 0x09)), low), del);
    };
    // Counts the controls among odd (dropping the rarer text ones); true if
    // there is a NUL.
    auto controlsIn = [&](__m256i v, __m256i odd, __m256i low) {
        const __m256i rare = Avx2::Or(Avx2::Or(Avx2::Eq8(v, 0x08), Avx2::Eq8(v, 0x0C)), Avx2::Eq8(v, 0x1B));
        controls += CountBits(Avx2::Mask(Avx2::AndNot(rare, odd)));
        return Avx2::Mask(_mm256_and_si256(Avx2::Eq8(v, 0), low)) != 0;
    };

    // Sixty-four bytes a step, with one test of both halves for anything
    // unusual, up to the last 64 bytes or fewer, whose end needs masks.
    const size_t whole = n > 64 ? (n - 1) & ~size_t(63) : 0;
    size_t base = 0;
    for (; base < whole; base += 64) {
        // One half's counts; sets its low bytes and unusual ones.
        auto half = [&](const unsigned char* q, __m256i& low, __m256i& odd) {
            const __m256i v = Avx2::Load(q);
            const __m256i cr = _mm256_cmpeq_epi8(v, crs);
            const __m256i lf = _mm256_cmpeq_epi8(v, lfs);
            count(cr, lf, _mm256_and_si256(cr, _mm256_cmpeq_epi8(Avx2::Load(q + 1), lfs)));
            low = Avx2::AtMost8(v, 0x1F);
            odd = unusual(v, cr, lf, low, Avx2::Eq8(v, 0x7F));
            return v;
        };
        __m256i low0, odd0, low1, odd1;
        const __m256i v0 = half(p + base, low0, odd0);
        const __m256i v1 = half(p + base + 32, low1, odd1);
        const __m256i either = Avx2::Or(odd0, odd1);
        if (!_mm256_testz_si256(either, either)) {
            const bool nul0 = controlsIn(v0, odd0, low0);
            const bool nul1 = controlsIn(v1, odd1, low1);
            if (nul0 || nul1) {
                nul = true;
                if (stopAtNul) break;
            }
        }
        if ((pending += 2) >= 254) drain();
    }
    for (; base < n && !(nul && stopAtNul); base += 32) {
        const __m256i v = Avx2::Load(p + base);
        __m256i cr = _mm256_cmpeq_epi8(v, crs);
        __m256i lf = _mm256_cmpeq_epi8(v, lfs);
        __m256i pair = _mm256_and_si256(cr, _mm256_cmpeq_epi8(Avx2::Load(p + base + 1), lfs));
        __m256i low = Avx2::AtMost8(v, 0x1F);
        __m256i del = Avx2::Eq8(v, 0x7F);
        const size_t left = n - base;
        if (left <= 32) {
            // The last step: nothing past the region counts, and a CR on
            // its last byte has no LF after it here.
            const __m256i valid = _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(left)), places);
            const __m256i pairValid =
                _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(left - 1)), places);
            cr = _mm256_and_si256(cr, valid);
            lf = _mm256_and_si256(lf, valid);
            pair = _mm256_and_si256(pair, pairValid);
            low = _mm256_and_si256(low, valid);
            del = _mm256_and_si256(del, valid);
        }
        count(cr, lf, pair);
        const __m256i odd = unusual(v, cr, lf, low, del);
        if (!_mm256_testz_si256(odd, odd) && controlsIn(v, odd, low)) nul = true;
        if (++pending == 255) drain();
    }
    drain();
    AddScanCounts(crCount, lfCount, pairCount, controls, nul, t, totals);
}

constexpr PassKernels kAvx2 = {DispatchBytes<VectorLanes<Avx2>, ScanBytes, ShuffleBytes<VectorLanes<Avx2>>>,
                               MakePassKernels<VectorLanes<Avx2>>().utf16le,
                               MakePassKernels<VectorLanes<Avx2>>().utf16be, nullptr};

}  // namespace

const PassKernels* Avx2PassKernels() {
    return &kAvx2;
}
#else
const PassKernels* Avx2PassKernels() {
    return nullptr;
}
#endif
