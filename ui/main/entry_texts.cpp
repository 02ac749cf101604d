#include "ui/main/entry_texts.h"

#include <cstdio>
#include <vector>

#include "app/run_text.h"
#include "framework/resource_text.h"
#include "res/resource.h"

namespace {
LineBreakWords ResourceWords() {
    LineBreakWords words;
    words.crlf = LoadResourceText(IDS_BREAKS_CRLF);
    words.lf = LoadResourceText(IDS_BREAKS_LF);
    words.cr = LoadResourceText(IDS_BREAKS_CR);
    words.none = LoadResourceText(IDS_BREAKS_NONE);
    words.mixed = LoadResourceText(IDS_BREAKS_MIXED);
    words.binary = LoadResourceText(IDS_BREAKS_BINARY);
    words.utf16le = LoadResourceText(IDS_BREAKS_UTF16LE);
    words.utf16be = LoadResourceText(IDS_BREAKS_UTF16BE);
    words.projectTarget = LoadResourceText(IDS_BREAKS_PROJECT);
    return words;
}
}  // namespace

std::string LineBreaksText(const ContentReport& content, const ProjectRule* rule) {
    const LineBreakWords words = ResourceWords();
    return rule ? DescribeAgainstRule(content, *rule, words) : DescribeLineBreaks(content, words);
}

std::string EntryReasonText(EntryMark mark, ConvertFailure failure, const ContentReport& content,
                            bool checked, const ProjectRule* rule) {
    const ProjectVerdict verdict = rule ? rule->verdict : ProjectVerdict::Target;
    switch (mark) {
        case EntryMark::Converted:
            return LoadResourceText(IDS_REASON_CONVERTED);
        case EntryMark::WouldChange: {
            const std::string pattern = LoadResourceText(IDS_REASON_WOULD_CHANGE);
            const std::string& target =
                TargetBreakWord(rule ? rule->target : LineEndingFormat::Windows, ResourceWords());
            std::vector<char> text(pattern.size() + target.size() + 1);
            std::snprintf(text.data(), text.size(), pattern.c_str(), target.c_str());
            return text.data();
        }
        case EntryMark::LeftAsItWas:
            if (verdict == ProjectVerdict::NoRule) return LoadResourceText(IDS_REASON_NO_RULE);
            if (verdict == ProjectVerdict::Binary) return LoadResourceText(IDS_REASON_MARKED_BINARY);
            if (checked) return LoadResourceText(IDS_REASON_CHECKED);
            return LoadResourceText(content.outcome == ConvertOutcome::SkippedBinary ? IDS_REASON_BINARY
                                                                                     : IDS_REASON_IN_FORMAT);
        case EntryMark::Failed:
            if (failure == ConvertFailure::None) return std::string();
            if (failure >= ConvertFailure::Changed)
                return LoadResourceText(IDS_REASON_CHANGED + static_cast<UINT>(failure) -
                                        static_cast<UINT>(ConvertFailure::Changed));
            return LoadResourceText(IDS_REASON_FIRST_FAILURE + static_cast<UINT>(failure) - 1);
        default:
            return std::string();
    }
}
