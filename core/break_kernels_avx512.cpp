// The pass's inner loop a whole 64-byte chunk at a time, for processors
// with AVX-512BW: compares give the chunk's bit masks directly. Chosen at
// run time.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__AVX512BW__)
#include "core/break_kernels_avx512.h"

namespace {

size_t PassBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                 PassTotals* totals, bool stopAtNul) {
    if (out) return PassRegion<Avx512Lanes, 1, false>(p, n, out, t, totals, stopAtNul);
    ScanBytes(p, n, t, totals, stopAtNul);
    return 0;
}

constexpr PassKernels kAvx512 = {PassBytes, MakePassKernels<Avx512Lanes>().utf16le,
                                 MakePassKernels<Avx512Lanes>().utf16be, nullptr};

}  // namespace

const PassKernels* Avx512PassKernels() {
    return &kAvx512;
}
#else
const PassKernels* Avx512PassKernels() {
    return nullptr;
}
#endif
