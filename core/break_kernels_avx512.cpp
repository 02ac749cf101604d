// The pass's inner loop a whole 64-byte chunk at a time, for processors
// with AVX-512BW: compares give the chunk's bit masks directly. Chosen at
// run time.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__AVX512BW__)
#include <immintrin.h>

namespace {

struct Avx512Lanes {
    template <unsigned U, bool BigEndian>
    static ChunkMasks Classify(const unsigned char* p) {
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
        m.cr = eq(0x0D) & unit;
        m.lf = eq(0x0A) & unit;
        const uint64_t low = _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(0x1F));
        // Text has no low bytes but TAB and the breaks: the rarer text
        // controls are only looked for when something else is there.
        uint64_t odd = low & ~(eq(0x09) | m.cr | m.lf);
        if (odd) odd &= ~(eq(0x08) | eq(0x0C) | eq(0x1B));
        m.controls = (odd | eq(0x7F)) & unit;
        m.nul = U == 1 ? zero : 0;
        return m;
    }
};

constexpr PassKernels kAvx512 = MakePassKernels<Avx512Lanes>();

}  // namespace

const PassKernels* Avx512PassKernels() {
    return &kAvx512;
}
#else
const PassKernels* Avx512PassKernels() {
    return nullptr;
}
#endif
