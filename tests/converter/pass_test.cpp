// The pass over a file's content against the unit-at-a-time reference: its
// counts, the binary rule, byte-order marks, UTF-16 in both byte orders, and
// whether anything is written at all; reads split at every position.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/break_kernels.h"
#include "core/break_pass.h"
#include "tests/converter/test_support.h"

// Names a kernel set in GoogleTest's reports (found by lookup in its namespace).
void PrintTo(const PassKernelSet& set, std::ostream* os) {
    *os << set.name;
}

namespace {

const std::string kBreaks[kLineEndingFormatCount] = {"\r\n", "\r", "\n"};

struct PassRun {
    PassResult result;
    ContentReport report;
    std::string written;
    int begun;
};

PassRun RunOne(const std::string& input, int format, bool skipBinary, std::vector<size_t> chunks) {
    MemoryReader in(input, std::move(chunks));
    MemoryOutput out(input);
    PassOptions options;
    options.format = static_cast<LineEndingFormat>(format);
    options.stopAtBinary = skipBinary;
    PassRun run;
    run.result = RunPass(in, options, &out, &run.report);
    run.written = out.m_writer.data();
    run.begun = out.m_begun;
    return run;
}

// Checks one input against the reference for every format, both binary
// settings and the given read sizes.
void ExpectLikeOracle(const std::string& input, const std::vector<size_t>& chunks, const std::string& what) {
    for (int format = 0; format < kLineEndingFormatCount; ++format)
        for (bool skipBinary : {false, true})
            ASSERT_EQ(PassMismatch(input, format, skipBinary, chunks), "")
                << what << " format " << format << " skip " << skipBinary;
}

std::string Utf16(const std::u16string& text, bool bigEndian, bool bom = true) {
    std::string out;
    auto put = [&](char16_t u) {
        out += static_cast<char>(bigEndian ? u >> 8 : u & 0xFF);
        out += static_cast<char>(bigEndian ? u & 0xFF : u >> 8);
    };
    if (bom) put(0xFEFF);
    for (char16_t u : text) put(u);
    return out;
}

TEST(Pass, CountsBomsAndTheBinaryRule) {
    struct Case {
        const char* what;
        std::string input;
        uint64_t crlf, lf, cr;
        bool finalBreak;
        ByteOrderMark bom;
        bool binary;
    } const cases[] = {
        {"empty", "", 0, 0, 0, false, ByteOrderMark::None, false},
        {"mixed", "a\r\nb\nc\rd\r\r\n", 2, 1, 2, true, ByteOrderMark::None, false},
        {"no final break", "a\nb", 0, 1, 0, false, ByteOrderMark::None, false},
        {"LF CR is two", "\n\r", 0, 1, 1, true, ByteOrderMark::None, false},
        {"UTF-8 BOM", "\xEF\xBB\xBFx\r\n", 1, 0, 0, true, ByteOrderMark::Utf8, false},
        {"NUL at the first byte", std::string("\0abc\n", 5), 0, 1, 0, true, ByteOrderMark::None, true},
        {"NUL at the end", std::string(5000, 'a') + '\0', 0, 0, 0, false, ByteOrderMark::None, true},
        {"PNG signature", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 1, 1, 1, false,
         ByteOrderMark::None, true},
        // 1 control in 128 bytes is text, 2 are binary.
        {"1 in 128", std::string(127, 'a') + '\x01', 0, 0, 0, false, ByteOrderMark::None, false},
        {"2 in 128", std::string(126, 'a') + "\x01\x02", 0, 0, 0, false, ByteOrderMark::None, true},
        {"1 in 127", std::string(126, 'a') + '\x7F', 0, 0, 0, false, ByteOrderMark::None, true},
        {"final ^Z does not count", "a\r\n\x1a", 1, 0, 0, false, ByteOrderMark::None, false},
        {"^Z inside counts", "a\x1a\r\n", 1, 0, 0, true, ByteOrderMark::None, true},
        {"TAB FF BS ESC are text", "\t\f\b\x1b\n", 0, 1, 0, true, ByteOrderMark::None, false},
        {"UTF-16 LE", Utf16(u"a\r\nb\nc\r", false), 1, 1, 1, true, ByteOrderMark::Utf16Le, false},
        {"UTF-16 BE", Utf16(u"a\r\nb\nc\r", true), 1, 1, 1, true, ByteOrderMark::Utf16Be, false},
        // U+0D0A is one unit, neither CR nor LF.
        {"UTF-16 unit 0D0A", Utf16(u"\u0D0A\u0A0D", false), 0, 0, 0, false, ByteOrderMark::Utf16Le, false},
        {"UTF-16 without BOM", Utf16(u"a\r\nb", false, false), 0, 1, 1, false, ByteOrderMark::None, true},
        {"UTF-16 odd length", Utf16(u"ab\n", false) + "x", 0, 1, 0, true, ByteOrderMark::Utf16Le, true},
        {"UTF-16 NUL unit", Utf16(std::u16string(u"a\0b", 3), false), 0, 0, 0, false, ByteOrderMark::Utf16Le,
         true},
    };
    for (const Case& c : cases) {
        for (std::vector<size_t> chunks :
             {std::vector<size_t>{}, std::vector<size_t>{1}, std::vector<size_t>{3}}) {
            SCOPED_TRACE(std::string(c.what) + " chunks " + std::to_string(chunks.empty() ? 0 : chunks[0]));
            MemoryReader in(c.input, chunks);
            ContentReport r;
            r.crlf = 99;  // overwritten
            ASSERT_EQ(RunPass(in, PassOptions(), nullptr, &r), PassResult::Done);
            EXPECT_EQ(r.crlf, c.crlf);
            EXPECT_EQ(r.lf, c.lf);
            EXPECT_EQ(r.cr, c.cr);
            EXPECT_EQ(r.finalBreak, c.finalBreak);
            EXPECT_EQ(r.bom, c.bom);
            EXPECT_EQ(r.binary, c.binary);
            // The reference agrees with the table.
            const OracleContent o = OracleRead(c.input, "\n");
            EXPECT_EQ(o.binary, c.binary);
            EXPECT_EQ(o.crlf, c.crlf);
        }
    }
}

TEST(Pass, Utf16ConvertsInUnitsInBothByteOrders) {
    struct Case {
        std::u16string text;
        int format;
        std::u16string expected;
    } const cases[] = {
        {u"a\r\nb\nc\rd", 2, u"a\nb\nc\nd"},
        {u"a\r\nb\nc\rd", 1, u"a\rb\rc\rd"},
        {u"a\r\nb\nc\rd", 0, u"a\r\nb\r\nc\r\nd"},
        {u"\u0D0A\n\u0A0D", 0, u"\u0D0A\r\n\u0A0D"},  // only whole units are breaks
        {u"\u0A00\r\u000D", 2, u"\u0A00\n\n"},
    };
    for (const Case& c : cases) {
        for (bool bigEndian : {false, true}) {
            const std::string input = Utf16(c.text, bigEndian);
            const PassRun run = RunOne(input, c.format, true, {});
            EXPECT_EQ(run.report.outcome, ConvertOutcome::Converted);
            EXPECT_EQ(run.written, Utf16(c.expected, bigEndian))
                << "format " << c.format << " be " << bigEndian;
        }
    }
}

TEST(Pass, FileAlreadyInFormatIsNeverWritten) {
    const std::string inputs[kLineEndingFormatCount] = {"a\r\nb\r\n", "a\rb\r", "a\nb\n"};
    for (int format = 0; format < kLineEndingFormatCount; ++format) {
        for (int other = 0; other < kLineEndingFormatCount; ++other) {
            const PassRun run = RunOne(inputs[other], format, true, {});
            EXPECT_EQ(run.begun, format == other ? 0 : 1) << format << other;
            EXPECT_EQ(run.report.outcome,
                      format == other ? ConvertOutcome::AlreadyInFormat : ConvertOutcome::Converted);
        }
    }
}

// A last line without a break gets the target break, whether or not the
// rest needs a change, at every read split; the other ends are kept.
TEST(Pass, FinalBreakAddedToTextOnly) {
    const std::string utf16 = Utf16(u"a\nb", false);
    const std::string binary = "a\n" + std::string(600, '\x01');
    struct Case {
        const char* what;
        std::string input;
        int format;
        std::string expected;
        ConvertOutcome outcome;
    } const cases[] = {
        {"only the end wants a break", "a\r\nb", 0, "a\r\nb\r\n", ConvertOutcome::Converted},
        {"end and breaks change", "a\r\nb", 2, "a\nb\n", ConvertOutcome::Converted},
        {"CR target", "a\rb", 1, "a\rb\r", ConvertOutcome::Converted},
        {"one line, no break", "abc", 2, "abc\n", ConvertOutcome::Converted},
        {"a last lone CR is a break", "a\r", 0, "a\r\n", ConvertOutcome::Converted},
        {"already ends in a break", "a\nb\n", 2, "a\nb\n", ConvertOutcome::AlreadyInFormat},
        {"empty", "", 0, "", ConvertOutcome::AlreadyInFormat},
        {"UTF-8 mark alone is empty", "\xEF\xBB\xBF", 0, "", ConvertOutcome::AlreadyInFormat},
        {"UTF-16 mark alone is empty", Utf16(u"", false), 2, "", ConvertOutcome::AlreadyInFormat},
        {"UTF-8 mark and text",
         "\xEF\xBB\xBF"
         "a",
         0,
         "\xEF\xBB\xBF"
         "a\r\n",
         ConvertOutcome::Converted},
        {"UTF-16 in units", utf16, 0, Utf16(u"a\r\nb\r\n", false), ConvertOutcome::Converted},
        {"ends in ^Z", "a\nb\x1A", 2, "a\nb\x1A", ConvertOutcome::AlreadyInFormat},
        {"binary by a NUL", std::string("a\0b", 3), 2, std::string("a\0b", 3), ConvertOutcome::SkippedBinary},
        {"binary by its controls", binary, 2, binary, ConvertOutcome::SkippedBinary},
    };
    for (const Case& c : cases) {
        for (size_t chunk : {size_t(0), size_t(1), size_t(2)}) {
            SCOPED_TRACE(std::string(c.what) + " chunk " + std::to_string(chunk));
            MemoryReader in(c.input, chunk ? std::vector<size_t>{chunk} : std::vector<size_t>{});
            MemoryOutput out(c.input);
            PassOptions options;
            options.format = static_cast<LineEndingFormat>(c.format);
            options.stopAtBinary = true;
            options.finalBreak = true;
            ContentReport report;
            ASSERT_EQ(RunPass(in, options, &out, &report), PassResult::Done);
            EXPECT_EQ(report.outcome, c.outcome);
            if (c.outcome == ConvertOutcome::Converted) {
                EXPECT_EQ(out.m_writer.data(), c.expected);
            } else if (c.outcome == ConvertOutcome::AlreadyInFormat) {
                EXPECT_EQ(out.m_begun, 0);
            }
        }
    }
}

// Text, controls, NULs, breaks and (for UTF-16) units whose bytes look like
// CR or LF, in long and short runs.
std::string RandomUnits(std::mt19937& rng, size_t units, bool wide, bool allowNul) {
    std::string s;
    auto put = [&](unsigned u) {
        s += static_cast<char>(u & 0xFF);
        if (wide) s += static_cast<char>(u >> 8);
    };
    while (s.size() < units * (wide ? 2 : 1)) {
        const unsigned pick = rng() % 100;
        if (pick < 6) {
            static const unsigned runs[] = {0x0D, 0x0A, 'a', 0x0D0A};
            unsigned u = runs[rng() % 4];
            for (unsigned k = 1 + rng() % 200; k > 0; --k) put(wide ? u : u & 0xFF);
        } else if (pick < 24) {
            put(0x0D);
        } else if (pick < 42) {
            put(0x0A);
        } else if (pick < 44) {
            put(allowNul ? 0 : 'z');
        } else if (pick < 46) {
            put(1 + rng() % 31);
        } else if (pick < 52 && wide) {
            put(0x0D00 | (rng() % 2 ? 0x0A : 0x0D));
        } else {
            put('a' + rng() % 26);
        }
    }
    return s;
}

TEST(Pass, RandomInputsMatchReference) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 rng(seed);
        const int kind = seed % 4;  // bytes, bytes with NULs, UTF-16 LE, UTF-16 BE
        std::string input = RandomUnits(rng, rng() % 3000, kind >= 2, kind == 1);
        if (kind == 2) input = "\xFF\xFE" + input;
        if (kind == 3) {
            for (size_t i = 0; i + 1 < input.size(); i += 2) std::swap(input[i], input[i + 1]);
            input = "\xFE\xFF" + input;
        }
        std::vector<size_t> chunks;
        for (int i = 0; i < 5; ++i) chunks.push_back(1 + rng() % 101);
        ExpectLikeOracle(input, chunks, "seed " + std::to_string(seed));
        if (HasFatalFailure()) return;
    }
}

// Every short input over {CR, LF, x} as bytes and as UTF-16 units in both
// byte orders, split into two reads at every byte: each pair and each unit
// straddles a read boundary somewhere.
TEST(Pass, EveryShortInputAtEverySplit) {
    const unsigned alphabet[] = {0x0D, 0x0A, 'x'};
    for (size_t len = 0; len <= 5; ++len) {
        size_t combos = 1;
        for (size_t i = 0; i < len; ++i) combos *= 3;
        for (size_t code = 0; code < combos; ++code) {
            std::u16string text;
            for (size_t i = 0, v = code; i < len; ++i, v /= 3) text += static_cast<char16_t>(alphabet[v % 3]);
            const std::string bytes(text.begin(), text.end());
            for (const std::string& input : {bytes, Utf16(text, false), Utf16(text, true)}) {
                for (size_t split = 1; split <= input.size(); ++split) {
                    ExpectLikeOracle(input, {split, input.size()}, "code " + std::to_string(code));
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

// The pass's own read sizes set boundaries (after its small first read and
// its first large one), and reads one byte short of them put the next
// boundary inside a unit: put breaks, pairs and single units across both at
// every offset.
TEST(Pass, OwnBlockBoundary) {
    // The second boundary's file is five times longer: fewer offsets and
    // only the reads that cut a unit there keep the test quick.
    struct Boundary {
        size_t at;
        size_t before, after;
        std::vector<std::vector<size_t>> reads;
    };
    const Boundary boundaries[] = {
        {kPassFirstBlock, 5, 3, {{}, {kPassFirstBlock - 1}}},
        {kPassFirstBlock + kPassBlockSize, 3, 1, {{kPassFirstBlock, kPassBlockSize - 1}}}};
    const std::u16string pieces[] = {u"\r\n", u"\r\r", u"\n\r", u"\r\r\n", u"\x0D0A"};
    static const char16_t kUnits[] = {u'a', u'b', 0x0D, 0x0A, 0x0D0A, 0x0A0D};
    for (const Boundary& boundary : boundaries) {
        std::mt19937 rng(5);
        const std::string fillBytes = RandomUnits(rng, boundary.at + 64, false, false);
        std::u16string fillUnits;
        for (size_t i = 0; i < boundary.at / 2 + 64; ++i) fillUnits += kUnits[rng() % 6];
        for (const std::u16string& piece : pieces) {
            for (size_t at = boundary.at - boundary.before; at <= boundary.at + boundary.after; ++at) {
                std::string bytes = fillBytes;
                for (size_t i = 0; i < piece.size(); ++i) bytes[at + i] = static_cast<char>(piece[i]);
                for (const std::vector<size_t>& chunks : boundary.reads) {
                    ExpectLikeOracle(bytes, chunks, "bytes at " + std::to_string(at));
                    if (at % 2) continue;
                    std::u16string units = fillUnits;
                    units.replace(at / 2 - 1, piece.size(), piece);  // the BOM is the first unit
                    for (bool bigEndian : {false, true})
                        ExpectLikeOracle(Utf16(units, bigEndian), chunks, "utf-16 at " + std::to_string(at));
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

// A small file is read whole by the first read and learns its end from an
// empty one, in small buffers; only a file that fills the first read goes
// on in the larger blocks.
TEST(Pass, OnlyAFileThatFillsTheFirstReadGoesOnInLargerBlocks) {
    struct Case {
        size_t size;
        std::vector<size_t> asked;
    } const cases[] = {
        {100, {kPassFirstBlock, kPassFirstBlock}},
        {kPassFirstBlock - 1, {kPassFirstBlock, kPassFirstBlock}},
        {kPassFirstBlock, {kPassFirstBlock, kPassBlockSize}},
        {kPassFirstBlock + 10, {kPassFirstBlock, kPassBlockSize, kPassBlockSize}},
    };
    for (const Case& c : cases) {
        for (bool converting : {false, true}) {
            // A LF at the end is converted to CR LF; a file without breaks is left alone.
            const std::string input = std::string(c.size - 1, 'a') + (converting ? '\n' : 'a');
            MemoryReader in(input, {});
            MemoryOutput out(input);
            ASSERT_EQ(RunPass(in, PassOptions(), &out, nullptr), PassResult::Done);
            EXPECT_EQ(out.m_begun, converting ? 1 : 0);
            EXPECT_EQ(in.asked, c.asked) << c.size << (converting ? " converting" : " counting");
        }
    }
}

TEST(Pass, ReadAndWriteErrorsAreReported) {
    std::mt19937 rng(3);
    const std::string input =
        RandomUnits(rng, kPassFirstBlock + 3 * kPassBlockSize, false, false);  // four reads
    for (int failRead : {1, 2, 4}) {
        MemoryReader in(input, {}, failRead);
        MemoryOutput out(input);
        EXPECT_EQ(RunPass(in, PassOptions(), &out, nullptr), PassResult::ReadFailed) << failRead;
    }
    struct NoOutput : IPassOutput {
        IFile* Begin(uint64_t) override { return nullptr; }
    } none;
    MemoryReader in(input, {});
    EXPECT_EQ(RunPass(in, PassOptions(), &none, nullptr), PassResult::OutputFailed);
}

// Passes keep their buffers for the next one. What a long pass leaves in
// them (breaks everywhere, in the input past every later region and in the
// output) must not reach a later, shorter file: regions ending at the
// buffers' edges and in a CR that stale LFs follow.
TEST(Pass, BuffersKeptBetweenPassesCarryNothingOver) {
    const std::string stale(kPassFirstBlock + 2 * kPassBlockSize + 100, '\n');
    std::mt19937 rng(11);
    const size_t first = kPassFirstBlock;
    const size_t sizes[] = {1, 63, 64, 65, 200, first - 1, first, first + 1, first + 3000};
    for (size_t size : sizes) {
        for (char last : {'\r', 'x'}) {
            std::string input = RandomUnits(rng, size, false, false);
            input.back() = last;
            for (int format = 0; format < kLineEndingFormatCount; ++format) {
                ASSERT_EQ(RunOne(stale, 0, true, {}).result, PassResult::Done);
                ASSERT_EQ(PassMismatch(input, format, true, {}), "") << size << " format " << format;
            }
        }
    }
}

// Passes may run on several threads at once: each must have buffers of its
// own.
TEST(Pass, PassesAtOnceKeepToTheirOwnBuffers) {
    std::string inputs[2];
    for (int i = 0; i < 2; ++i) {
        std::mt19937 rng(20 + i);
        inputs[i] = RandomUnits(rng, kPassFirstBlock + kPassBlockSize + 5000, false, false);
    }
    std::string failures[2];
    auto passes = [&](int i) {
        for (int round = 0; round < 40 && failures[i].empty(); ++round)
            failures[i] =
                PassMismatch(inputs[i], round % kLineEndingFormatCount, true, {1000, kPassFirstBlock});
    };
    std::thread other(passes, 1);
    passes(0);
    other.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
}

// Each vector kernel against the portable one, on regions of every length
// up to a few chunks, for bytes and both UTF-16 orders and every target:
// converting, counting only, and giving up at a NUL (whose counts and
// output so far must agree too); and, where a kernel may, converting in
// place.
// One instance per vector kernel set, as the pass's own dispatch lists
// them, so that a set this processor lacks shows as skipped by name.
class KernelSet : public ::testing::TestWithParam<PassKernelSet> {
protected:
    void SetUp() override {
        const PassKernelSet& set = GetParam();
        if (!set.kernels) GTEST_SKIP() << set.name << " kernels: this build has none";
        if (!set.runs) GTEST_SKIP() << set.name << " kernels: this processor lacks " << set.needs;
    }
};

INSTANTIATE_TEST_SUITE_P(PassKernels, KernelSet, ::testing::ValuesIn(PassKernelSets()),
                         [](const ::testing::TestParamInfo<PassKernelSet>& info) {
                             return std::string(info.param.isaName);
                         });
// Off x86 there is no vector set to instantiate.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(KernelSet);

PassRegionFn ForMode(const PassKernels& set, int mode) {
    return mode == 0 ? set.bytes : mode == 1 ? set.utf16le : set.utf16be;
}

TEST_P(KernelSet, VectorKernelsMatchPortable) {
    const PassKernels portable = MakePassKernels<ScalarLanes>();
    const PassKernels* const v = GetParam().kernels;
    std::mt19937 rng(9);
    std::vector<unsigned char> in(512 + 64), outA(1200), outB(1200);
    for (int round = 0; round < 600; ++round) {
        const int mode = round % 3;
        const bool stopAtNul = round % 4 == 3;
        const std::string data = RandomUnits(rng, 256, mode > 0, round % 5 != 0).substr(0, 512);
        std::memcpy(in.data(), data.data(), data.size());
        size_t n = 1 + rng() % 256;
        if (mode > 0) n &= ~size_t(1);
        for (int format = 0; format < kLineEndingFormatCount; ++format) {
            const PassTarget t = KernelTarget(format, mode);
            const PassRegionFn a = ForMode(portable, mode);
            const PassRegionFn b = ForMode(*v, mode);
            for (bool counting : {false, true}) {
                PassTotals ta, tb;
                const size_t la = a(in.data(), n, counting ? nullptr : outA.data(), t, &ta, stopAtNul);
                const size_t lb = b(in.data(), n, counting ? nullptr : outB.data(), t, &tb, stopAtNul);
                const std::string what = "round " + std::to_string(round) + " format " +
                                         std::to_string(format) + (counting ? " counting" : "");
                EXPECT_EQ(ta.nul, tb.nul) << what;
                // After a NUL stop only the stop itself is promised.
                if (stopAtNul && ta.nul) continue;
                EXPECT_EQ(ta.foreign, tb.foreign) << what;
                ASSERT_EQ(la, lb) << what;
                EXPECT_EQ(0, std::memcmp(outA.data(), outB.data(), la)) << what;
                EXPECT_EQ(ta.crlf, tb.crlf) << what;
                EXPECT_EQ(ta.lf, tb.lf) << what;
                EXPECT_EQ(ta.cr, tb.cr) << what;
                EXPECT_EQ(ta.controls, tb.controls) << what;
            }
            // Written over its own region, where the kernel allows it:
            // the same output, and nothing past the region touched.
            if (v->inPlace && v->inPlace(t, mode > 0 ? 2 : 1, mode == 2)) {
                std::vector<unsigned char> region(in);
                PassTotals tc;
                const size_t lc = b(region.data(), n, region.data(), t, &tc, stopAtNul);
                const std::string what =
                    "in place, round " + std::to_string(round) + " format " + std::to_string(format);
                EXPECT_TRUE(std::equal(in.begin() + n, in.end(), region.begin() + n)) << what;
                if (stopAtNul && tc.nul) continue;
                PassTotals ta;
                const size_t la = a(in.data(), n, outA.data(), t, &ta, stopAtNul);
                ASSERT_EQ(la, lc) << what;
                EXPECT_EQ(0, std::memcmp(outA.data(), region.data(), la)) << what;
                EXPECT_EQ(ta.foreign, tc.foreign) << what;
                EXPECT_EQ(ta.crlf, tc.crlf) << what;
            }
        }
    }
}

// A region ends in a CR only where the file does, and past it lies
// whatever the buffer held: a LF there must not pair with that CR. Every
// length, as each kernel takes its last chunk apart, and whole chunks
// most of all.
TEST_P(KernelSet, ACrEndingTheRegionPairsWithNothingPastIt) {
    const PassKernels portable = MakePassKernels<ScalarLanes>();
    const PassKernels* const v = GetParam().kernels;
    std::mt19937 rng(13);
    std::vector<unsigned char> in(512 + 64), outA(1200), outB(1200);
    for (int mode = 0; mode < 3; ++mode) {
        const size_t unit = mode > 0 ? 2 : 1;
        for (size_t n = unit; n <= 320; n += unit) {
            const std::string data = RandomUnits(rng, 320, mode > 0, false).substr(0, 512);
            std::memcpy(in.data(), data.data(), data.size());
            // The CR unit ends the region and a LF unit follows it.
            auto put = [&](size_t at, unsigned char c) {
                in[at + (mode == 2 ? 1 : 0)] = c;
                if (mode > 0) in[at + (mode == 2 ? 0 : 1)] = 0;
            };
            put(n - unit, '\r');
            put(n, '\n');
            for (int format = 0; format < kLineEndingFormatCount; ++format) {
                const PassTarget t = KernelTarget(format, mode);
                for (bool counting : {false, true}) {
                    PassTotals ta, tb;
                    const size_t la = ForMode(portable, mode)(in.data(), n, counting ? nullptr : outA.data(),
                                                              t, &ta, false);
                    const size_t lb =
                        ForMode(*v, mode)(in.data(), n, counting ? nullptr : outB.data(), t, &tb, false);
                    const std::string what = "mode " + std::to_string(mode) + " length " + std::to_string(n) +
                                             " format " + std::to_string(format) +
                                             (counting ? " counting" : "");
                    ASSERT_EQ(ta.cr, tb.cr) << what;
                    ASSERT_EQ(ta.crlf, tb.crlf) << what;
                    ASSERT_EQ(ta.foreign, tb.foreign) << what;
                    ASSERT_EQ(la, lb) << what;
                    ASSERT_EQ(0, std::memcmp(outA.data(), outB.data(), la)) << what;
                }
            }
        }
    }
}

}  // namespace
