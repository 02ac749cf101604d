// The pass over content past 4 GiB, streamed from memory: counts past 2^32,
// the offset where output begins past 2^32, a CR LF split at 2^32 and the
// binary share of a file that long. A count or offset kept in 32 bits
// anywhere (the i686 build's size_t among them) shows here.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/break_pass.h"
#include "tests/converter/big_content.h"

namespace {

using Piece = RepeatedContent::Piece;

// Every kind of break, not starting with a LF nor ending with a CR.
const std::string kTail = "y\r\nz\nw\r.";
constexpr uint64_t kTails = 1000;
constexpr uint64_t kNoOutput = RepeatedChecker::kNone;

std::string WidenLe(const std::string& narrow) {
    std::string out;
    for (char c : narrow) out += {c, '\0'};
    return out;
}

TEST(PassPastFourGiB, CountsOffsetsAndTheSplitPair) {
    const std::string kControlLine = std::string(126, 'a') + "\x01\n";  // 1 control in 128 bytes
    struct Case {
        const char* what;
        std::vector<Piece> pieces;  // as bytes; utf16 widens them and adds the mark
        bool utf16;
        int format;
        uint64_t crlf, lf, cr;
        uint64_t firstChange;  // the offset of the first break to change, or kNoOutput
        bool binary;
        ConvertOutcome outcome;
    } const cases[] = {
        {"LFs up to a CR LF split at 4 GiB, to LF",
         {{"\n", kFourGiB - 1}, {"\r\n", 1}, {kTail, kTails}},
         false,
         2,
         1 + kTails,
         kFourGiB - 1 + kTails,
         kTails,
         kFourGiB - 1,
         false,
         ConvertOutcome::Converted},
        {"CRs up to a CR LF split at 4 GiB, to CR",
         {{"\r", kFourGiB - 1}, {"\r\n", 1}, {kTail, kTails}},
         false,
         1,
         1 + kTails,
         kTails,
         kFourGiB - 1 + kTails,
         kFourGiB - 1,
         false,
         ConvertOutcome::Converted},
        {"CR LFs across 4 GiB, then a lone LF, to CR LF",
         {{"\r\n", kFourGiB / 2 - 1}, {"x\r\n", 1}, {kTail, kTails}},
         false,
         0,
         kFourGiB / 2 + kTails,
         kTails,
         kTails,
         kFourGiB + 5,
         false,
         ConvertOutcome::Converted},
        {"UTF-16 LFs up to a CR LF split at 4 GiB, to LF",
         {{"\n", kFourGiB / 2 - 2}, {"\r\n", 1}, {kTail, kTails}},
         true,
         2,
         1 + kTails,
         kFourGiB / 2 - 2 + kTails,
         kTails,
         kFourGiB - 2,
         false,
         ConvertOutcome::Converted},
        {"one control in 128 bytes past 4 GiB is text",
         {{kControlLine, kFourGiB / 128 + 1}},
         false,
         2,
         0,
         kFourGiB / 128 + 1,
         0,
         kNoOutput,
         false,
         ConvertOutcome::AlreadyInFormat},
        {"one control more is binary",
         {{kControlLine, kFourGiB / 128}, {"\x01\n", 1}},
         false,
         2,
         0,
         kFourGiB / 128 + 1,
         0,
         kNoOutput,
         true,
         ConvertOutcome::SkippedBinary},
    };
    static const char* const kBreaks[] = {"\r\n", "\r", "\n"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Piece> in, out;
        if (c.utf16) {
            in.push_back({"\xFF\xFE", 1});
            out.push_back({"\xFF\xFE", 1});
        }
        for (const Piece& p : c.pieces) {
            const std::string converted = OracleConvert(p.text, kBreaks[c.format]);
            in.push_back({c.utf16 ? WidenLe(p.text) : p.text, p.count});
            out.push_back({c.utf16 ? WidenLe(converted) : converted, p.count});
        }
        const RepeatedContent input(in), expected(out);
        ASSERT_GT(input.size(), kFourGiB);

        struct Output : IPassOutput {
            explicit Output(const RepeatedContent& expected) : checker(expected) {}
            IFile* Begin(uint64_t unchanged) override {
                begunAt = unchanged;
                checker.StartAt(unchanged);
                return &checker;
            }
            RepeatedChecker checker;
            uint64_t begunAt = kNoOutput;
        } output(expected);
        RepeatedReader reader(input);
        PassOptions options;
        options.format = static_cast<LineEndingFormat>(c.format);
        options.stopAtBinary = true;
        ContentReport report;
        ASSERT_EQ(RunPass(reader, options, &output, &report), PassResult::Done);
        EXPECT_EQ(report.crlf, c.crlf);
        EXPECT_EQ(report.lf, c.lf);
        EXPECT_EQ(report.cr, c.cr);
        EXPECT_EQ(report.binary, c.binary);
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.bom, c.utf16 ? ByteOrderMark::Utf16Le : ByteOrderMark::None);
        if (c.firstChange == kNoOutput) {
            EXPECT_EQ(output.begunAt, kNoOutput);
        } else {
            // Output begins with the block that holds the first change.
            EXPECT_LE(output.begunAt, c.firstChange);
            EXPECT_LT(c.firstChange - output.begunAt, kPassBlockSize);
            EXPECT_TRUE(output.checker.Matches())
                << "first difference at " << output.checker.firstDifference() << ", wrote up to "
                << output.checker.offset() << " of " << expected.size();
        }
    }
}

}  // namespace
