#pragma once
// The AVX2 register operations the vector classifier and counting pass
// need. Include only from a source compiled with AVX2 (each keeps its own
// copy, as with break_kernels.h).
#include <immintrin.h>

#include "core/break_kernels.h"

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
    static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    static Reg Sub8(Reg a, Reg b) { return _mm256_sub_epi8(a, b); }
    static bool Any(Reg v) { return !_mm256_testz_si256(v, v); }
    static uint64_t SumBytes(Reg v) {
        alignas(32) uint64_t sums[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(sums), _mm256_sad_epu8(v, Zero()));
        return sums[0] + sums[1] + sums[2] + sums[3];
    }
};

}  // namespace
