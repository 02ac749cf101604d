#pragma once
// The words of a run in one portable place: what a file's line breaks are
// (the job list's "Line breaks" column) and the summary at a run's end. The
// window hands in the texts of its string table; the command line, which has
// none, takes the defaults, the same words.

#include <string>

#include "app/batch_run.h"
#include "res/run_words.h"

struct LineBreakWords {
    std::string crlf = PARDWELL_WORD_BREAKS_CRLF;
    std::string lf = PARDWELL_WORD_BREAKS_LF;
    std::string cr = PARDWELL_WORD_BREAKS_CR;
    std::string none = PARDWELL_WORD_BREAKS_NONE;
    std::string mixed = PARDWELL_WORD_BREAKS_MIXED;
    std::string binary = PARDWELL_WORD_BREAKS_BINARY;
    std::string utf16le = PARDWELL_WORD_BREAKS_UTF16LE;
    std::string utf16be = PARDWELL_WORD_BREAKS_UTF16BE;
    std::string projectTarget = PARDWELL_FORMAT_PROJECT_TARGET;
};

// "CR LF", "LF", "CR", "None", "Mixed" with the counts of each kind, or
// "Binary"; UTF-16 files name their byte order first.
std::string DescribeLineBreaks(const ContentReport& content, const LineBreakWords& words = LineBreakWords());

// "CR LF", "LF" or "CR": the word for a target format.
const std::string& TargetBreakWord(LineEndingFormat target, const LineBreakWords& words = LineBreakWords());

// DescribeLineBreaks, and where the file holds breaks other than its
// project's target, that target beside them: "CR LF, project: LF".
std::string DescribeAgainstRule(const ContentReport& content, const ProjectRule& rule,
                                const LineBreakWords& words = LineBreakWords());

// The printf formats take the word first, then the counts.
struct RunSummaryWords {
    std::string converted = PARDWELL_WORD_CONVERTED;
    std::string checked = PARDWELL_WORD_CHECKED;
    std::string aborted = PARDWELL_WORD_ABORTED;
    std::string summary = PARDWELL_FORMAT_SUMMARY;
    std::string summarySkipped = PARDWELL_FORMAT_SUMMARY_SKIPPED;
    std::string checkSummary = PARDWELL_FORMAT_CHECK_SUMMARY;
};

// "Converted: 3 success, 1 fail", with the skipped count only when there is
// one; a check counts the files read and those that could not be.
std::string RunSummaryText(const BatchCounts& counts, bool check, bool stopped,
                           const RunSummaryWords& words = RunSummaryWords());
