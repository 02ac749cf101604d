// The pass sixteen bytes at a time for processors with SSE4.2 and POPCNT
// but not AVX2: bytes converted by shuffles from tables (SSSE3's pshufb,
// SSE4.1's blend) as on AVX2. Chosen at run time.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__SSE4_2__) && defined(__POPCNT__)
#include "core/break_kernels_shuffle.h"
#include "core/break_kernels_sse2.h"

namespace {

constexpr PassKernels kSse42 = {
    DispatchBytes<VectorLanes<Sse2>, ScanBytesInCounters<Sse2>, ShuffleBytes<VectorLanes<Sse2>>>,
    MakePassKernels<VectorLanes<Sse2>>().utf16le, MakePassKernels<VectorLanes<Sse2>>().utf16be,
    ShuffleInPlace};

}  // namespace

const PassKernels* Sse42PassKernels() {
    return &kSse42;
}
#else
const PassKernels* Sse42PassKernels() {
    return nullptr;
}
#endif
