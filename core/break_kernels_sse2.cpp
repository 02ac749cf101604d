// The pass's inner loop sixteen bytes at a time. Built with SSE2 even in a
// 32-bit build, and chosen only on a processor that has it.
#include "core/break_kernels.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__SSE2__)
#include "core/break_kernels_sse2.h"

namespace {

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
