#include "ui/main/entry_texts.h"

#include "framework/resource_text.h"
#include "res/resource.h"

std::string LineBreaksText(const ContentReport& content) {
    if (content.binary) return LoadResourceText(IDS_BREAKS_BINARY);
    const struct {
        uint64_t count;
        UINT text;
    } kinds[] = {{content.crlf, IDS_BREAKS_CRLF}, {content.lf, IDS_BREAKS_LF}, {content.cr, IDS_BREAKS_CR}};
    std::string text;
    int present = 0;
    std::string counts;
    for (const auto& kind : kinds) {
        if (kind.count == 0) continue;
        ++present;
        text = LoadResourceText(kind.text);
        if (!counts.empty()) counts += ", ";
        counts += std::to_string(kind.count) + " " + text;
    }
    if (present == 0) text = LoadResourceText(IDS_BREAKS_NONE);
    if (present > 1) text = LoadResourceText(IDS_BREAKS_MIXED) + " (" + counts + ")";
    if (content.bom == ByteOrderMark::Utf16Le) return LoadResourceText(IDS_BREAKS_UTF16LE) + ", " + text;
    if (content.bom == ByteOrderMark::Utf16Be) return LoadResourceText(IDS_BREAKS_UTF16BE) + ", " + text;
    return text;
}

std::string EntryReasonText(EntryMark mark, ConvertFailure failure, const ContentReport& content,
                            bool checked) {
    switch (mark) {
        case EntryMark::Converted:
            return LoadResourceText(IDS_REASON_CONVERTED);
        case EntryMark::LeftAsItWas:
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
