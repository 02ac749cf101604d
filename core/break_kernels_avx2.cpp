// The pass's inner loop thirty-two bytes at a time, for processors with
// AVX2; chosen at run time.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__AVX2__)
#include "core/break_kernels_avx2.h"
#include "core/break_kernels_shuffle.h"

namespace {

constexpr PassKernels kAvx2 = {
    DispatchBytes<VectorLanes<Avx2>, ScanBytesInCounters<Avx2>, ShuffleBytes<VectorLanes<Avx2>>>,
    MakePassKernels<VectorLanes<Avx2>>().utf16le, MakePassKernels<VectorLanes<Avx2>>().utf16be,
    ShuffleInPlace};

}  // namespace

const PassKernels* Avx2PassKernels() {
    return &kAvx2;
}
#else
const PassKernels* Avx2PassKernels() {
    return nullptr;
}
#endif
