#include "core/converter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char kCR = 0x0D;
constexpr unsigned char kLF = 0x0A;

// Read-ahead size; the output buffer is twice as large because every byte
// of a block can become a two-byte break.
constexpr size_t kBlockSize = 64 * 1024;

const char* const kLabels[kLineEndingFormatCount] = {"Windows/Dos (CRLF)", "Macintosh (CR)",
                                                     "Unix/Linux (LF)"};

// A word with a bit set at the top of each byte equal to CR or LF. Below
// the first match the test is exact, so its lowest set bit finds that byte.
inline uint64_t BreakBytes(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighs = 0x8080808080808080ULL;
    const uint64_t cr = w ^ (kOnes * kCR);
    const uint64_t lf = w ^ (kOnes * kLF);
    return (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighs;
}

inline unsigned FirstMarkedByte(uint64_t mask) {
    return static_cast<unsigned>(__builtin_ctzll(mask)) >> 3;
}

// Copies text up to the next CR or LF (or to within 8 bytes of the end)
// from *p to *o in whole words, advancing both. May write up to 15 bytes
// beyond what it advances *o by.
inline void SkipTextWords(const unsigned char** p, const unsigned char* end, unsigned char** o) {
    const unsigned char* s = *p;
    unsigned char* d = *o;
    while (end - s >= 8) {
        uint64_t w;
        std::memcpy(&w, s, 8);
        const uint64_t mask = BreakBytes(w);
        std::memcpy(d, &w, 8);
        if (mask) {
            const unsigned n = FirstMarkedByte(mask);
            s += n;
            d += n;
            break;
        }
        s += 8;
        d += 8;
    }
    *p = s;
    *o = d;
}

// PARDWELL_WORDS_ONLY builds the portable path alone, so tests can cover it.
#if (defined(__i386__) || defined(__x86_64__)) && !defined(PARDWELL_WORDS_ONLY)
#define PARDWELL_HAVE_SSE2_PATH 1
// Sixteen bytes at a time; compiled for SSE2 even in a 32-bit build and
// chosen only when the processor has it.
__attribute__((target("sse2"))) void SkipTextSse2(const unsigned char** p, const unsigned char* end,
                                                  unsigned char** o) {
    const __m128i crs = _mm_set1_epi8(static_cast<char>(kCR));
    const __m128i lfs = _mm_set1_epi8(static_cast<char>(kLF));
    const unsigned char* s = *p;
    unsigned char* d = *o;
    while (end - s >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, crs), _mm_cmpeq_epi8(v, lfs))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v);
        if (mask) {
            const unsigned n = static_cast<unsigned>(__builtin_ctz(mask));
            *p = s + n;
            *o = d + n;
            return;
        }
        s += 16;
        d += 16;
    }
    *p = s;
    *o = d;
    SkipTextWords(p, end, o);  // the last 8 to 15 bytes
}

bool ProcessorHasSse2() {
#ifdef __x86_64__
    return true;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#endif
}
#endif

using SkipText = void (*)(const unsigned char**, const unsigned char*, unsigned char**);

// Every CR LF, lone CR and lone LF becomes one break; a CR that ends one
// block keeps its claim on an LF that starts the next. Text between breaks
// is moved by Skip in whole words.
template <unsigned char B0, unsigned char B1, size_t BrkLen, SkipText Skip>
int CopyBlocks(IFile& in, IFile& out) {
    // Slack: a whole-word copy may write up to 15 bytes past the output.
    std::unique_ptr<unsigned char[]> inBuf(new unsigned char[kBlockSize]);
    std::unique_ptr<unsigned char[]> outBuf(new unsigned char[2 * kBlockSize + 32]);
    bool pendingCR = false;
    for (;;) {
        long got = in.Read(inBuf.get(), kBlockSize);
        if (got < 0) return -1;
        if (got == 0) return 0;
        const unsigned char* p = inBuf.get();
        const unsigned char* const end = p + got;
        unsigned char* o = outBuf.get();
        if (pendingCR) {
            pendingCR = false;
            if (*p == kLF) ++p;
        }
        while (p < end) {
            Skip(&p, end, &o);
            if (p == end) break;
            const unsigned char c = *p++;
            const bool cr = c == kCR;
            if (!cr & (c != kLF)) {
                *o++ = c;
                continue;
            }
            *o++ = B0;
            if (BrkLen == 2) *o++ = B1;
            if (p == end) {
                pendingCR = cr;
                break;
            }
            // Whether a break is CR, LF or CR LF follows no pattern in real
            // text; deciding it without a branch keeps the loop fast.
            p += cr & (*p == kLF);
        }
        if (!out.Write(outBuf.get(), static_cast<size_t>(o - outBuf.get()))) return -1;
    }
}

template <unsigned char B0, unsigned char B1, size_t BrkLen>
int CopyWithBreak(IFile& in, IFile& out) {
#ifdef PARDWELL_HAVE_SSE2_PATH
    static const bool sse2 = ProcessorHasSse2();
    if (sse2) return CopyBlocks<B0, B1, BrkLen, SkipTextSse2>(in, out);
#endif
    return CopyBlocks<B0, B1, BrkLen, SkipTextWords>(in, out);
}

// Appends suffix, then suffix2, suffix3, ... to path until fs has no such
// name. Returns 0, or -1 when the name would not fit the buffer.
int MakeSideName(IFileSystem& fs, const char* path, const char* suffix, unsigned first, char* buffer,
                 unsigned* number) {
    for (unsigned n = first; n != 0; ++n) {
        int len = n == 1 ? std::snprintf(buffer, kSideNameBufferSize, "%s%s", path, suffix)
                         : std::snprintf(buffer, kSideNameBufferSize, "%s%s%u", path, suffix, n);
        if (len < 0 || static_cast<size_t>(len) >= kSideNameBufferSize) {
            buffer[0] = 0;
            return -1;
        }
        if (!fs.Exists(buffer)) {
            if (number) *number = n;
            return 0;
        }
    }
    buffer[0] = 0;
    return -1;
}

bool FitsPathLimit(const char* name) {
    return std::strlen(name) <= kMaxPathLength;
}

}  // namespace

const char* LineEndingFormatLabel(int format) {
    if (format < 0 || format >= kLineEndingFormatCount) return nullptr;
    return kLabels[format];
}

int MakeTempName(IFileSystem& fs, const char* path, char* buffer) {
    return MakeSideName(fs, path, ".tmp", 1, buffer, nullptr);
}

int MakeBackupName(IFileSystem& fs, const char* path, char* buffer) {
    return MakeSideName(fs, path, ".bak", 1, buffer, nullptr);
}

int MakeTempName(const char* path, char* buffer) {
    return MakeTempName(NativeFileSystem(), path, buffer);
}

int MakeBackupName(const char* path, char* buffer) {
    return MakeBackupName(NativeFileSystem(), path, buffer);
}

int CopyToCrlf(IFile& in, IFile& out) {
    return CopyWithBreak<kCR, kLF, 2>(in, out);
}

int CopyToCr(IFile& in, IFile& out) {
    return CopyWithBreak<kCR, 0, 1>(in, out);
}

int CopyToLf(IFile& in, IFile& out) {
    return CopyWithBreak<kLF, 0, 1>(in, out);
}

namespace {

ConvertFailure Convert(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                       bool keepAttributes, bool ignoreReadOnly, bool backupFile) {
    if (LineEndingFormatLabel(format) == nullptr) return ConvertFailure::InvalidFormat;
    if (!path || !*path) return ConvertFailure::CannotOpen;

    // Both side names must fit the platform's path limit; find out before
    // anything is created, renamed or changed.
    char tempName[kSideNameBufferSize];
    char sideName[kSideNameBufferSize];
    unsigned tempNumber = 0;
    if (MakeSideName(fs, path, ".tmp", 1, tempName, &tempNumber) != 0 || !FitsPathLimit(tempName))
        return ConvertFailure::PathTooLong;
    if (MakeSideName(fs, path, ".bak", 1, sideName, nullptr) != 0 || !FitsPathLimit(sideName))
        return ConvertFailure::PathTooLong;

    const uint32_t attributes = fs.GetAttributes(path);
    if (attributes == kInvalidAttributes || (attributes & kAttrDirectory)) return ConvertFailure::CannotOpen;
    if ((attributes & kAttrReadOnly) && !ignoreReadOnly) return ConvertFailure::ReadOnly;

    // Taken before our own read, which would otherwise count as an access.
    FileTimes times;
    if (keepTimestamp && !fs.GetTimes(path, &times)) return ConvertFailure::CannotOpen;

    std::unique_ptr<IFile> in = fs.OpenRead(path);
    if (!in) return ConvertFailure::CannotOpen;

    // Only a create-new open proves a name free: a link planted after the
    // existence check must never be written through, so skip to the next.
    std::unique_ptr<IFile> out;
    for (;;) {
        CreateResult created = CreateResult::Failed;
        out = fs.CreateNew(tempName, &created);
        if (out) break;
        if (created != CreateResult::Exists) return ConvertFailure::CannotCreateTemp;
        if (MakeSideName(fs, path, ".tmp", tempNumber + 1, tempName, &tempNumber) != 0 ||
            !FitsPathLimit(tempName))
            return ConvertFailure::PathTooLong;
    }

    int result;
    switch (format) {
        case LineEndingFormat::Windows:
            result = CopyToCrlf(*in, *out);
            break;
        case LineEndingFormat::Macintosh:
            result = CopyToCr(*in, *out);
            break;
        default:
            result = CopyToLf(*in, *out);
            break;
    }
    in->Close();
    // A failed close can be the only sign that data never reached the disk.
    if (!out->Close()) result = -1;
    in.reset();
    out.reset();
    if (result != 0) {
        fs.Remove(tempName);
        return ConvertFailure::ReadWrite;
    }

    if (keepTimestamp) {
        if (!fs.SetTimes(tempName, times)) {
            fs.Remove(tempName);
            return ConvertFailure::ReadWrite;
        }
    }

    // Read-only, hidden or system would stop the original being moved or
    // deleted. From here on every failure puts the attributes back.
    fs.SetAttributes(path, 0);

    // The original goes aside first, so its name is free for the converted
    // copy and the content is never held by the temporary file alone. The
    // name may have been taken since it was chosen.
    const bool sideNameFits =
        MakeSideName(fs, path, ".bak", 1, sideName, nullptr) == 0 && FitsPathLimit(sideName);
    if (!sideNameFits || !fs.Rename(path, sideName)) {
        fs.SetAttributes(path, attributes);
        fs.Remove(tempName);
        return sideNameFits ? ConvertFailure::RenameFailed : ConvertFailure::PathTooLong;
    }

    if (!fs.Rename(tempName, path)) {
        if (fs.Rename(sideName, path)) fs.SetAttributes(path, attributes);
        fs.Remove(tempName);
        return ConvertFailure::RenameFailed;
    }

    ConvertFailure failure = ConvertFailure::None;
    if (backupFile) {
        // The backup is the original: it keeps the original's attributes.
        if (!fs.SetAttributes(sideName, attributes)) failure = ConvertFailure::AttributesNotRestored;
    } else if (!fs.Remove(sideName)) {
        // The original stays as a backup; say so rather than claim success.
        fs.SetAttributes(sideName, attributes);
        failure = ConvertFailure::OriginalNotRemoved;
    }

    if (keepAttributes && !fs.SetAttributes(path, attributes) && failure == ConvertFailure::None)
        failure = ConvertFailure::AttributesNotRestored;
    return failure;
}

}  // namespace

int ConvertFile(IFileSystem& fs, const char* path, LineEndingFormat format, bool keepTimestamp,
                bool keepAttributes, bool ignoreReadOnly, bool backupFile, ConvertFailure* failure) {
    const ConvertFailure why =
        Convert(fs, path, format, keepTimestamp, keepAttributes, ignoreReadOnly, backupFile);
    if (failure) *failure = why;
    return why == ConvertFailure::None ? 0 : -1;
}

int ConvertFile(const char* path, LineEndingFormat format, bool keepTimestamp, bool keepAttributes,
                bool ignoreReadOnly, bool backupFile, ConvertFailure* failure) {
    return ConvertFile(NativeFileSystem(), path, format, keepTimestamp, keepAttributes, ignoreReadOnly,
                       backupFile, failure);
}
