#include "app/batch_run.h"

#include <memory>

#include "core/converter.h"

namespace {

class CFileConverter : public IConverter {
public:
    ConvertResult Convert(const std::string& path, const ConvertOptions& options) override {
        return ConvertFile(NativeFileSystem(), path.c_str(), options);
    }
};

// Whether the file holds more than its byte-order mark; asked only of a file
// without a single break, so rarely.
bool HoldsText(const std::string& path, ByteOrderMark bom) {
    FileInfo info;
    if (!NativeFileSystem().GetInfo(path.c_str(), &info)) return false;
    const uint64_t mark = bom == ByteOrderMark::Utf8 ? 3 : bom == ByteOrderMark::None ? 0 : 2;
    return info.size > mark;
}

class CCheckConverter : public IConverter {
public:
    ConvertResult Convert(const std::string& path, const ConvertOptions& options) override {
        ConvertResult result;
        ScanFile(NativeFileSystem(), path.c_str(), &result.content, &result.failure, options.stop);
        const ContentReport& c = result.content;
        const bool hasText =
            c.crlf + c.lf + c.cr > 0 || (options.insertFinalNewline && HoldsText(path, c.bom));
        result.content.outcome =
            result.ok() && ConversionChanges(c, options.format, options.insertFinalNewline,
                                             options.skipBinary, hasText)
                ? ConvertOutcome::WouldConvert
                : ConvertOutcome::AlreadyInFormat;
        return result;
    }
    bool IsCheck() const override { return true; }
};

}  // namespace

IConverter& FileConverter() {
    static CFileConverter converter;
    return converter;
}

IConverter& CheckConverter() {
    static CCheckConverter converter;
    return converter;
}

bool ConversionChanges(const ContentReport& content, LineEndingFormat target, bool insertFinalNewline,
                       bool skipBinary, bool hasText) {
    if (content.binary && skipBinary) return false;
    bool foreign;
    switch (target) {
        case LineEndingFormat::Windows:
            foreign = content.lf > 0 || content.cr > 0;
            break;
        case LineEndingFormat::Macintosh:
            foreign = content.crlf > 0 || content.lf > 0;
            break;
        case LineEndingFormat::Unix:
            foreign = content.crlf > 0 || content.cr > 0;
            break;
        default:
            return false;
    }
    return foreign || (insertFinalNewline && !content.binary && !content.finalBreak && hasText);
}

ConvertResult ConvertItem(const std::string& path, LineEndingFormat format, const CAppSettings& settings,
                          IConverter& converter, StopToken* stop, const ProjectRule& rule) {
    ConvertResult result;
    const bool project = format == LineEndingFormat::Project;
    if (!project && LineEndingFormatLabel(format) == nullptr) {
        result.failure = ConvertFailure::InvalidFormat;
    } else if (path.empty()) {
        // The entry vanished from the list.
        result.failure = ConvertFailure::CannotOpen;
    } else if (project && rule.verdict != ProjectVerdict::Target) {
        result.content.outcome = rule.verdict == ProjectVerdict::Binary ? ConvertOutcome::MarkedBinary
                                                                        : ConvertOutcome::NoProjectRule;
    } else {
        ConvertOptions options = settings.ConversionOptions();
        options.format = project ? rule.target : format;
        if (project) options.insertFinalNewline = rule.insertFinalNewline;
        options.stop = stop;
        result = converter.Convert(path, options);
    }
    return result;
}

BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, StopToken& stop, LineEndingFormat format,
                     const CAppSettings& settings, BatchCounts* counts, IConverter& converter,
                     ProjectRuleSource rules) {
    BatchCounts local;
    BatchCounts& live = counts != nullptr ? *counts : local;
    live = BatchCounts();

    const bool project = format == LineEndingFormat::Project;
    const bool check = converter.IsCheck();
    // Read afresh for each run, so edits to the rule files between runs count.
    std::unique_ptr<CProjectRules> ownRules;
    if (project && !rules) {
        ownRules.reset(new CProjectRules(NativeFileSystem()));
        rules = [&ownRules](const std::string& path) { return ownRules->RuleFor(path); };
    }

    sink.OnRunStart();
    const int n = source.GetItemCount();
    sink.OnProgress(ProgressKind::Range, n);
    source.ClearMarks(n);

    for (int i = 0; i < n && !stop.Requested(); ++i) {
        source.MarkEntry(i, EntryMark::Converting, ConvertFailure::None);
        const std::string path = source.GetItemPath(i);
        ProjectRule rule;
        if (project && !path.empty()) {
            rule = rules(path);
            source.KeepRule(i, rule);
        }
        const ConvertResult result = ConvertItem(path, format, settings, converter, &stop, rule);
        const ContentReport& content = result.content;
        const bool leftForRule = content.outcome == ConvertOutcome::NoProjectRule ||
                                 content.outcome == ConvertOutcome::MarkedBinary;
        if (result.ok() && !leftForRule) source.KeepContent(i, content);
        if (result.failure == ConvertFailure::Stopped) {
            source.MarkEntry(i, EntryMark::None, ConvertFailure::None);
        } else if (!result.ok()) {
            source.MarkEntry(i, EntryMark::Failed, result.failure);
            ++live.failed;
        } else if (content.outcome == ConvertOutcome::Converted) {
            source.MarkEntry(i, EntryMark::Converted, ConvertFailure::None);
            ++live.succeeded;
        } else if (leftForRule) {
            // A check marks only what a run would change; it read nothing here.
            source.MarkEntry(i, check ? EntryMark::None : EntryMark::LeftAsItWas, ConvertFailure::None);
            if (!check) ++live.skipped;
        } else if (project && check) {
            const bool changes = content.outcome == ConvertOutcome::WouldConvert;
            source.MarkEntry(i, changes ? EntryMark::WouldChange : EntryMark::None, ConvertFailure::None);
            ++live.succeeded;
        } else {
            source.MarkEntry(i, EntryMark::LeftAsItWas, ConvertFailure::None);
            if (content.outcome == ConvertOutcome::SkippedBinary)
                ++live.skipped;
            else
                ++live.succeeded;
        }
        sink.OnProgress(ProgressKind::ItemDone, i);
    }
    BatchCounts done = live;
    sink.OnRunEnd();
    return done;
}
