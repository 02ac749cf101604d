// The pass's inner loop sixteen bytes at a time. Built with SSE2 even in a
// 32-bit build, and chosen only on a processor that has it.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__SSE2__)
#include <emmintrin.h>

namespace {

struct Sse2 {
    using Reg = __m128i;
    static constexpr unsigned kWidth = 16;
    static Reg Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const Reg*>(p)); }
    static Reg Zero() { return _mm_setzero_si128(); }
    static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static Reg AndNot(Reg a, Reg b) { return _mm_andnot_si128(a, b); }
    static Reg Eq8(Reg v, int c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))); }
    static Reg Eq16(Reg v, int c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(c))); }
    static Reg AtMost8(Reg v, int c) {
        return _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(static_cast<char>(c))), v);
    }
    static Reg AtMost16(Reg v, int c) {
        return _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(static_cast<short>(c))), Zero());
    }
    static Reg Swap16(Reg v) { return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)); }
    static uint32_t Mask(Reg v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
    static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg Sub8(Reg a, Reg b) { return _mm_sub_epi8(a, b); }
    static bool Any(Reg v) { return Mask(_mm_cmpeq_epi8(v, Zero())) != 0xFFFF; }
    static uint64_t SumBytes(Reg v) {
        const __m128i sums = _mm_sad_epu8(v, Zero());
        return static_cast<uint64_t>(_mm_cvtsi128_si32(sums)) +
               static_cast<uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
};

// Bytes: converted the general way, counted in vector counters.
size_t PassBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                 PassTotals* totals, bool stopAtNul) {
    if (out) return PassRegion<VectorLanes<Sse2>, 1, false>(p, n, out, t, totals, stopAtNul);
    ScanBytesInCounters<Sse2>(p, n, t, totals, stopAtNul);
    return 0;
}

constexpr PassKernels kSse2 = {PassBytes, MakePassKernels<VectorLanes<Sse2>>().utf16le,
                               MakePassKernels<VectorLanes<Sse2>>().utf16be, nullptr};

}  // namespace

const PassKernels* Sse2PassKernels() {
    return &kSse2;
}
#else
const PassKernels* Sse2PassKernels() {
    return nullptr;
}
#endif
