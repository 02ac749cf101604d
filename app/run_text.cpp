#include "app/run_text.h"

#include <cstdint>
#include <cstdio>
#include <vector>

std::string DescribeLineBreaks(const ContentReport& content, const LineBreakWords& words) {
    if (content.binary) return words.binary;
    const struct {
        uint64_t count;
        const std::string& word;
    } kinds[] = {{content.crlf, words.crlf}, {content.lf, words.lf}, {content.cr, words.cr}};
    std::string text;
    std::string counts;
    int present = 0;
    for (const auto& kind : kinds) {
        if (kind.count == 0) continue;
        ++present;
        text = kind.word;
        if (!counts.empty()) counts += ", ";
        counts += std::to_string(kind.count) + " " + kind.word;
    }
    if (present == 0) text = words.none;
    if (present > 1) text = words.mixed + " (" + counts + ")";
    if (content.bom == ByteOrderMark::Utf16Le) return words.utf16le + ", " + text;
    if (content.bom == ByteOrderMark::Utf16Be) return words.utf16be + ", " + text;
    return text;
}

const std::string& TargetBreakWord(LineEndingFormat target, const LineBreakWords& words) {
    switch (target) {
        case LineEndingFormat::Unix:
            return words.lf;
        case LineEndingFormat::Macintosh:
            return words.cr;
        default:
            return words.crlf;
    }
}

std::string DescribeAgainstRule(const ContentReport& content, const ProjectRule& rule,
                                const LineBreakWords& words) {
    const std::string text = DescribeLineBreaks(content, words);
    if (rule.verdict != ProjectVerdict::Target ||
        !ConversionChanges(content, rule.target, false, true, false))
        return text;
    const std::string& target = TargetBreakWord(rule.target, words);
    std::vector<char> out(words.projectTarget.size() + text.size() + target.size() + 1);
    std::snprintf(out.data(), out.size(), words.projectTarget.c_str(), text.c_str(), target.c_str());
    return out.data();
}

std::string RunSummaryText(const BatchCounts& counts, bool check, bool stopped,
                           const RunSummaryWords& words) {
    const std::string& word = stopped ? words.aborted : check ? words.checked : words.converted;
    char text[512];
    if (check)
        std::snprintf(text, sizeof(text), words.checkSummary.c_str(), word.c_str(), counts.succeeded,
                      counts.failed);
    else if (counts.skipped > 0)
        std::snprintf(text, sizeof(text), words.summarySkipped.c_str(), word.c_str(), counts.succeeded,
                      counts.failed, counts.skipped);
    else
        std::snprintf(text, sizeof(text), words.summary.c_str(), word.c_str(), counts.succeeded,
                      counts.failed);
    return text;
}
