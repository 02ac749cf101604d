// The block copy loops against the byte-at-a-time reference loop.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/break_pass.h"
#include "core/converter.h"
#include "tests/converter/test_support.h"

namespace {

using CopyFn = int (*)(IFile&, IFile&);

struct Target {
    const char* name;
    CopyFn copy;
    std::string brk;
};

const Target kTargets[] = {
    {"Crlf", CopyToCrlf, "\r\n"},
    {"Cr", CopyToCr, "\r"},
    {"Lf", CopyToLf, "\n"},
};

std::string RunCopy(CopyFn copy, const std::string& input, std::vector<size_t> chunks, int* rc = nullptr) {
    MemoryReader in(input, std::move(chunks));
    MemoryWriter out;
    int result = copy(in, out);
    if (rc) *rc = result;
    return out.data();
}

TEST(CopyLoop, ByteSequences) {
    std::vector<BreakCase> cases = SharedBreakCases();
    cases.insert(cases.end(), {
                                  {"\r\n", 1, "\r"},
                                  {"a\nb\n", 1, "a\rb\r"},
                                  {"a\r\n\nb", 1, "a\r\rb"},
                                  {"a\r\n\r\n", 2, "a\n\n"},
                                  {"no break", 0, "no break"},
                                  {std::string("\0\x80\xff\r\n", 5), 2, std::string("\0\x80\xff\n", 4)},
                                  // UTF-16LE "a" CR LF "b": its 0x0D and 0x0A bytes are bytes like any other.
                                  {std::string("a\0\r\0\n\0b\0", 8), 2, std::string("a\0\n\0\n\0b\0", 8)},
                                  {"\n\n\r\r", 0, "\r\n\r\n\r\n\r\n"},
                              });
    for (const BreakCase& c : cases) {
        for (std::vector<size_t> chunks : {std::vector<size_t>{}, std::vector<size_t>{1}}) {
            int rc = -1;
            std::string got = RunCopy(kTargets[c.format].copy, c.input, chunks, &rc);
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(got, c.expected) << "format " << c.format << ", chunks " << chunks.size();
        }
    }
}

// Every input over {CR, LF, 'x'} up to 7 bytes, split into two reads at every
// position: each CR/LF pair straddling a boundary is met.
TEST(CopyLoop, EveryShortInputAtEverySplit) {
    const char alphabet[] = {'\r', '\n', 'x'};
    for (size_t len = 0; len <= 7; ++len) {
        size_t combos = 1;
        for (size_t i = 0; i < len; ++i) combos *= 3;
        for (size_t code = 0; code < combos; ++code) {
            std::string input;
            for (size_t i = 0, v = code; i < len; ++i, v /= 3) input += alphabet[v % 3];
            for (const Target& t : kTargets) {
                const std::string expected = OracleConvert(input, t.brk);
                for (size_t split = 1; split <= len; ++split) {
                    ASSERT_EQ(RunCopy(t.copy, input, {split, len}), expected)
                        << t.name << " len " << len << " code " << code << " split " << split;
                }
            }
        }
    }
}

// Breaks at every offset of the 8- and 16-byte words the loop moves text in,
// and texts of every length around those word sizes.
TEST(CopyLoop, BreaksAtEveryWordOffset) {
    const char* const breaks[] = {"\r\n", "\r", "\n", "\r\r", "\n\r", "\r\n\n"};
    for (size_t length = 0; length <= 48; ++length) {
        for (size_t at = 0; at <= length; ++at) {
            for (const char* b : breaks) {
                std::string input(length, 'q');
                input.insert(at, b);
                for (const Target& t : kTargets) {
                    ASSERT_EQ(RunCopy(t.copy, input, {}), OracleConvert(input, t.brk))
                        << t.name << " length " << length << " at " << at;
                }
            }
        }
    }
}

std::string RandomText(std::mt19937& rng, size_t size) {
    std::string s;
    while (s.size() < size) {
        unsigned pick = rng() % 100;
        if (pick < 8) {
            // Long runs of one byte, breaks included.
            static const char runBytes[] = {'\r', '\n', 'a', '\0'};
            s.append(1 + rng() % 300, runBytes[rng() % 4]);
        } else if (pick < 25) {
            s += '\r';
        } else if (pick < 42) {
            s += '\n';
        } else if (pick < 47) {
            s += '\0';
        } else if (pick < 57) {
            s += static_cast<char>(0x80 + rng() % 128);
        } else {
            s += static_cast<char>('a' + rng() % 26);
        }
    }
    s.resize(size);
    return s;
}

TEST(CopyLoop, RandomInputsMatchReferenceLoop) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const std::string input = RandomText(rng, rng() % 5000);
        std::vector<size_t> chunks;
        for (int i = 0; i < 7; ++i) chunks.push_back(1 + rng() % 97);
        for (const Target& t : kTargets) {
            int rc = -1;
            ASSERT_EQ(RunCopy(t.copy, input, chunks, &rc), OracleConvert(input, t.brk))
                << t.name << " seed " << seed;
            ASSERT_EQ(rc, 0);
        }
    }
}

// With reads as large as asked for, the loop's own read sizes set the
// boundaries (its small first read, then larger ones): put CR LF and CR CR
// across them and around them.
TEST(CopyLoop, OwnBlockBoundary) {
    std::mt19937 rng(7);
    const std::string filler = RandomText(rng, kPassFirstBlock + 2 * kPassBlockSize + 16);
    const char* const pairs[] = {"\r\n", "\r\r", "\n\r", "\r\r\n"};
    for (size_t boundary : {kPassFirstBlock, kPassFirstBlock + kPassBlockSize}) {
        for (size_t at = boundary - 3; at <= boundary + 1; ++at) {
            for (const char* pair : pairs) {
                std::string input = filler;
                input.replace(at, std::strlen(pair), pair);
                for (const Target& t : kTargets) {
                    ASSERT_EQ(RunCopy(t.copy, input, {}), OracleConvert(input, t.brk))
                        << t.name << " at " << at;
                }
            }
        }
    }
}

TEST(CopyLoop, ReadAndWriteErrorsAreReported) {
    std::mt19937 rng(11);
    const std::string input = RandomText(rng, kPassFirstBlock + 3 * kPassBlockSize);  // four reads
    for (const Target& t : kTargets) {
        for (int failRead : {1, 2, 4}) {
            MemoryReader in(input, {}, failRead);
            MemoryWriter out;
            EXPECT_EQ(t.copy(in, out), -1) << t.name << " read " << failRead;
        }
        for (size_t capacity : {size_t(0), size_t(1000), size_t(150000)}) {
            MemoryReader in(input, {});
            MemoryWriter out(capacity);
            EXPECT_EQ(t.copy(in, out), -1) << t.name << " capacity " << capacity;
        }
    }
}

TEST(LineEndingFormat, LabelsAndValues) {
    EXPECT_STREQ(LineEndingFormatLabel(LineEndingFormat::Windows), "Windows/Dos (CRLF)");
    EXPECT_STREQ(LineEndingFormatLabel(LineEndingFormat::Macintosh), "Macintosh (CR)");
    EXPECT_STREQ(LineEndingFormatLabel(LineEndingFormat::Unix), "Unix/Linux (LF)");
    EXPECT_EQ(static_cast<int>(LineEndingFormat::Macintosh), 1);
    EXPECT_EQ(static_cast<int>(LineEndingFormat::Unix), 2);
    for (int bad : {-1, 3, 1000}) EXPECT_EQ(LineEndingFormatLabel(bad), nullptr) << bad;
}

}  // namespace
