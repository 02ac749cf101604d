#pragma once
// Shared by the converter tests: the byte-at-a-time loop the block copy must
// match, and in-memory files that read in chosen chunk sizes or fail on cue.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/break_kernels.h"
#include "core/break_pass.h"
#include "core/converter.h"
#include "core/platform/file_system.h"
#include "core/stop_token.h"

// A kernel's target for format in the region's encoding: bytes (widen 0)
// or UTF-16 LE (1) or BE (2).
inline PassTarget KernelTarget(int format, int widen) {
    static const unsigned char kBreakUnits[3][2] = {{'\r', '\n'}, {'\r', 0}, {'\n', 0}};
    const unsigned unit = widen == 1 || widen == 2 ? 2 : 1;
    PassTarget t{};
    // At most two units of at most two bytes: the four of brk.
    const unsigned units = format == 0 ? 2 : 1;
    for (unsigned i = 0; i < units; ++i) t.brk[i * unit + (widen == 2 ? 1 : 0)] = kBreakUnits[format][i];
    t.brkLen = static_cast<unsigned>(units * unit);
    t.pairForeign = format == 0 ? 0 : ~uint64_t(0);
    t.crForeign = format == 1 ? 0 : ~uint64_t(0);
    t.lfForeign = format == 2 ? 0 : ~uint64_t(0);
    return t;
}

// A file with every kind of break, doubled and lone ones, a NUL and a
// byte above 127.
const std::string kMixed = std::string("one\r\ntwo\nthree\rfour\r\r\nfive\n\r\0\xe9", 30);

// Break sequences whose conversion every layer must agree on, by format
// number: CRs before a CR LF, a LF before a CR, a last lone CR.
struct BreakCase {
    std::string input;
    int format;
    std::string expected;
};
inline std::vector<BreakCase> SharedBreakCases() {
    return {
        {"", 0, ""},       {"a\r\r\nb", 0, "a\r\n\r\nb"}, {"a\n\rb", 2, "a\n\nb"}, {"x\r", 0, "x\r\n"},
        {"x\r", 2, "x\n"},
    };
}

// The reference loop, one byte at a time: CR LF, lone CR and lone LF each
// become one break; everything else passes through.
inline std::string OracleConvert(const std::string& input, const std::string& brk) {
    std::string out;
    size_t i = 0;
    const size_t n = input.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(input[i++]);
        if (c != 0x0D && c != 0x0A) {
            out += static_cast<char>(c);
            continue;
        }
        out += brk;
        if (c == 0x0D) {
            if (i >= n) break;
            if (input[i] == 0x0A) ++i;
        }
    }
    return out;
}

// Reads input in chunks whose sizes cycle through chunkSizes, so a block
// boundary can be put at any position; optionally fails the k-th read.
class MemoryReader : public IFile {
public:
    MemoryReader(std::string data, std::vector<size_t> chunkSizes, int failRead = 0)
        : m_data(std::move(data)), m_chunks(std::move(chunkSizes)), m_failRead(failRead) {}
    long Read(void* buffer, size_t size) override {
        asked.push_back(size);
        if (++m_reads == m_failRead) return -1;
        size_t want = m_chunks.empty() ? size : m_chunks[(m_reads - 1) % m_chunks.size()];
        if (want > size) want = size;
        if (want > m_data.size() - m_pos) want = m_data.size() - m_pos;
        std::memcpy(buffer, m_data.data() + m_pos, want);
        m_pos += want;
        return static_cast<long>(want);
    }
    bool Write(const void*, size_t) override { return false; }
    bool Close() override { return true; }
    bool GetInfo(FileInfo*) override { return false; }
    bool SetInfo(const FileTimes*, uint32_t) override { return false; }
    // The size each read asked for, in order.
    std::vector<size_t> asked;

private:
    std::string m_data;
    std::vector<size_t> m_chunks;
    int m_failRead;
    int m_reads = 0;
    size_t m_pos = 0;
};

// Collects what is written; optionally fails once more than capacity bytes
// would be held (a full disk).
class MemoryWriter : public IFile {
public:
    explicit MemoryWriter(size_t capacity = SIZE_MAX) : m_capacity(capacity) {}
    long Read(void*, size_t) override { return -1; }
    bool Write(const void* data, size_t size) override {
        if (size > m_capacity - m_data.size()) return false;
        m_data.append(static_cast<const char*>(data), size);
        return true;
    }
    bool Close() override { return true; }
    bool GetInfo(FileInfo*) override { return false; }
    bool SetInfo(const FileTimes*, uint32_t) override { return false; }
    const std::string& data() const { return m_data; }

private:
    size_t m_capacity;
    std::string m_data;
};

// The reference reading of a file's content, one unit at a time: bytes, or
// 16-bit units in the byte order of a UTF-16 byte-order mark.
struct OracleContent {
    uint64_t crlf = 0, lf = 0, cr = 0;
    bool finalBreak = false;
    int bom = 0;  // 0 none, 1 UTF-8, 2 UTF-16 LE, 3 UTF-16 BE
    bool binary = false;
    std::string converted;  // with every break as the target break
};

inline OracleContent OracleRead(const std::string& input, const std::string& brk) {
    OracleContent r;
    const size_t n = input.size();
    auto byte = [&](size_t i) { return static_cast<unsigned char>(input[i]); };
    if (n >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) r.bom = 1;
    if (n >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) r.bom = 2;
    if (n >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) r.bom = 3;
    const size_t size = r.bom >= 2 ? 2 : 1;
    std::vector<unsigned> units;
    for (size_t i = 0; i + size <= n; i += size)
        units.push_back(size == 1    ? byte(i)
                        : r.bom == 3 ? byte(i) << 8 | byte(i + 1)
                                     : byte(i + 1) << 8 | byte(i));
    auto put = [&](unsigned u) {
        if (size == 1) {
            r.converted += static_cast<char>(u);
        } else {
            r.converted += static_cast<char>(r.bom == 3 ? u >> 8 : u & 0xFF);
            r.converted += static_cast<char>(r.bom == 3 ? u & 0xFF : u >> 8);
        }
    };
    uint64_t controls = 0;
    bool nul = false;
    for (size_t i = 0; i < units.size();) {
        const unsigned u = units[i++];
        if (u == 0 && size == 1) nul = true;
        const bool textControl = u == 8 || u == 9 || u == 10 || u == 12 || u == 13 || u == 27;
        if ((u < 0x20 && !textControl) || u == 0x7F) ++controls;
        if (u != 0x0D && u != 0x0A) {
            put(u);
            continue;
        }
        for (char c : brk) put(static_cast<unsigned char>(c));
        if (u == 0x0A) {
            ++r.lf;
        } else if (i < units.size() && units[i] == 0x0A) {
            ++r.crlf;
            ++i;
        } else {
            ++r.cr;
        }
    }
    const bool odd = units.size() * size != n;
    if (odd) r.converted += input.back();
    if (!units.empty()) {
        r.finalBreak = units.back() == 0x0D || units.back() == 0x0A;
        if (units.back() == 0x1A) --controls;
    }
    r.binary = nul || controls * 128 > units.size() || odd;
    return r;
}

// Begins where the pass asks, with the unchanged bytes taken from the input.
class MemoryOutput : public IPassOutput {
public:
    explicit MemoryOutput(const std::string& input) : m_input(input) {}
    IFile* Begin(uint64_t unchanged) override {
        ++m_begun;
        m_writer.Write(m_input.data(), static_cast<size_t>(unchanged));
        return &m_writer;
    }
    int m_begun = 0;
    MemoryWriter m_writer;

private:
    const std::string& m_input;
};

// Runs the pass over input, read in chunks of the given sizes, towards one
// of the three formats, and compares all it says and writes with the
// reference. Returns "" if they agree, else the first difference.
inline std::string PassMismatch(const std::string& input, int format, bool skipBinary,
                                const std::vector<size_t>& chunks) {
    static const char* const kBreaks[] = {"\r\n", "\r", "\n"};
    const OracleContent o = OracleRead(input, kBreaks[format]);
    MemoryReader in(input, chunks);
    MemoryOutput out(input);
    PassOptions options;
    options.format = static_cast<LineEndingFormat>(format);
    options.stopAtBinary = skipBinary;
    ContentReport r;
    if (RunPass(in, options, &out, &r) != PassResult::Done) return "the pass failed";
    if (static_cast<int>(r.bom) != o.bom) return "byte-order mark";
    if (r.binary != o.binary) return "binary";
    if (skipBinary && o.binary)  // the counts may stop at a NUL
        return r.outcome == ConvertOutcome::SkippedBinary ? "" : "not skipped as binary";
    if (r.crlf != o.crlf || r.lf != o.lf || r.cr != o.cr) return "counts";
    if (r.finalBreak != o.finalBreak) return "final break";
    if (o.converted == input) {
        if (r.outcome != ConvertOutcome::AlreadyInFormat) return "not left as already in format";
        return out.m_begun == 0 ? "" : "wrote a file already in format";
    }
    if (r.outcome != ConvertOutcome::Converted || out.m_begun != 1) return "not converted once";
    return out.m_writer.data() == o.converted ? "" : "converted content";
}

// A conversion's options in the order the tests' tables give them. Binary
// files are converted like any other unless skipBinary.
inline ConvertOptions Options(int format, bool keepTimestamp, bool keepAttributes, bool allowReadOnly,
                              bool backup, bool skipBinary = false) {
    ConvertOptions options;
    options.format = static_cast<LineEndingFormat>(format);
    options.keepTimestamp = keepTimestamp;
    options.keepAttributes = keepAttributes;
    options.allowReadOnly = allowReadOnly;
    options.backup = backup;
    options.skipBinary = skipBinary;
    return options;
}

// Records the waits asked of it, waiting only with realWaits, and requests
// a stop in the stopAt-th (0: never).
class RecordingStop : public StopToken {
public:
    explicit RecordingStop(size_t stopAt = 0, bool realWaits = false) : m_stopAt(stopAt), m_real(realWaits) {}
    bool Wait(unsigned ms) override {
        waits.push_back(ms);
        if (waits.size() == m_stopAt) Request();
        return m_real ? StopToken::Wait(ms) : Requested();
    }
    std::vector<unsigned> waits;

private:
    size_t m_stopAt;
    bool m_real;
};

// The first count waits of the schedule for a held file.
inline std::vector<unsigned> InUseWaits(size_t count) {
    return std::vector<unsigned>(kInUseWaitsMs, kInUseWaitsMs + count);
}
