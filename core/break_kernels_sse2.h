#pragma once
// The SSE2 register operations the vector classifier and counting pass
// need. Include only from a source compiled with SSE2 (each keeps its own
// copy, as with break_kernels.h).
#include <emmintrin.h>

#include "core/break_kernels.h"

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

}  // namespace
