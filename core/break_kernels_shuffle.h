#pragma once
// The converting pass over bytes by shuffles from tables, for processors
// with SSSE3 or later but without AVX-512 VBMI's permute and VBMI2's
// compress.
// Include only from a source compiled for such a processor (each keeps its
// own copy, as with break_kernels.h).
#include <immintrin.h>

#include <cstring>

#include "core/break_kernels.h"

namespace {

// Byte shuffles by mask of eight, made at compile time. squeeze[m]: the
// places of m's set bits in order, then nothing (0x80). breaks[m]: each of
// eight bytes in order, but a CR LF (bytes 8 and 9 of the lane) for each
// set bit.
struct ShuffleTables {
    unsigned char squeeze[256][8];
    unsigned char breaks[256][16];
};

constexpr ShuffleTables MakeShuffleTables() {
    ShuffleTables t{};
    for (unsigned m = 0; m < 256; ++m) {
        unsigned s = 0, b = 0;
        for (unsigned j = 0; j < 8; ++j) {
            if (m >> j & 1) {
                t.squeeze[m][s++] = static_cast<unsigned char>(j);
                t.breaks[m][b++] = 8;
                t.breaks[m][b++] = 9;
            } else {
                t.breaks[m][b++] = static_cast<unsigned char>(j);
            }
        }
        while (s < 8) t.squeeze[m][s++] = 0x80;
        while (b < 16) t.breaks[m][b++] = 0x80;
    }
    return t;
}

alignas(64) constexpr ShuffleTables kShuffles = MakeShuffleTables();

// The converting pass over bytes for the three targets without a loop over
// the breaks, whose count per chunk no branch predicts: each eight bytes
// go through one shuffle chosen by their mask. CR LF replaces every lone
// break whole; for LF or CR every break's byte becomes the target's, and of
// a pair the byte that is not the target's is squeezed out.
template <class Lanes>
size_t ShuffleBytes(const unsigned char* p, size_t n, unsigned char* out, const PassTarget& t,
                    PassTotals* totals, bool stopAtNul, TargetKind kind) {
    const __m128i pairBytes = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, kUnitCR, kUnitLF, 0, 0, 0, 0, 0, 0);
    const __m128i highHalf = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8);
    const __m128i from = _mm_set1_epi8(static_cast<char>(kind == TargetKind::Lf ? kUnitCR : kUnitLF));
    const __m128i to = _mm_set1_epi8(static_cast<char>(kind == TargetKind::Lf ? kUnitLF : kUnitCR));
    unsigned char* o = out;
    uint64_t prevCrTop = 0;
    PassTotals sum = *totals;
    for (size_t base = 0; base < n; base += 64) {
        const ChunkBreaks b = ReadChunk<Lanes, 1, false>(p, n, base, prevCrTop, sum);
        if (b.nul && stopAtNul) break;
        const size_t left = n - base;
        const size_t chunk = left < 64 ? left : 64;
        if ((b.pairs & t.pairForeign) | (b.loneCr & t.crForeign) | (b.loneLf & t.lfForeign))
            sum.foreign = true;
        if (kind == TargetKind::CrLf) {
            const uint64_t breaks = b.loneCr | b.loneLf;
            auto group = [&](size_t g, size_t len) {
                const unsigned bits = static_cast<unsigned>(breaks >> (8 * g)) & 0xFF;
                const __m128i lane = _mm_or_si128(
                    _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + base + 8 * g)), pairBytes);
                const __m128i order =
                    _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffles.breaks[bits]));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(lane, order));
                o += len + CountBits(bits);
            };
            if (chunk == 64) {
#pragma GCC unroll 8
                for (size_t g = 0; g < 8; ++g) group(g, 8);
            } else {
                for (size_t g = 0; 8 * g < chunk; ++g) group(g, chunk - 8 * g < 8 ? chunk - 8 * g : 8);
            }
            continue;
        }
        const uint64_t valid = left >= 64 ? ~uint64_t(0) : (uint64_t(1) << left) - 1;
        const uint64_t keep = valid & ~(kind == TargetKind::Lf ? b.pairs : b.lf & b.crPrev);
        // The output never outruns the input, so it may be the region
        // itself: each sixteen bytes are loaded before their output is
        // stored, which reaches no further than their end. A short last
        // chunk is put together aside, as its stores would pass the
        // region's end.
        unsigned char aside[64 + 16];
        unsigned char* w = left >= 64 ? o : aside;
#pragma GCC unroll 4
        for (size_t h = 0; h < 64; h += 16) {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + base + h));
            const __m128i lane = _mm_blendv_epi8(raw, to, _mm_cmpeq_epi8(raw, from));
            const unsigned low = static_cast<unsigned>(keep >> h) & 0xFF;
            const unsigned high = static_cast<unsigned>(keep >> (h + 8)) & 0xFF;
            const __m128i order =
                _mm_add_epi8(_mm_unpacklo_epi64(
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kShuffles.squeeze[low])),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kShuffles.squeeze[high]))),
                             highHalf);
            const __m128i squeezed = _mm_shuffle_epi8(lane, order);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(w), squeezed);
            w += CountBits(low);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(w), _mm_unpackhi_epi64(squeezed, squeezed));
            w += CountBits(high);
        }
        if (left >= 64) {
            o = w;
        } else {
            std::memcpy(o, aside, static_cast<size_t>(w - aside));
            o += w - aside;
        }
    }
    *totals = sum;
    return static_cast<size_t>(o - out);
}

// Converting bytes to LF or CR may be done over the region itself.
bool ShuffleInPlace(const PassTarget& t, unsigned unit, bool bigEndian) {
    const TargetKind kind = unit == 1 ? KindOf(t, unit, bigEndian) : TargetKind::Generic;
    return kind == TargetKind::Lf || kind == TargetKind::Cr;
}

}  // namespace
