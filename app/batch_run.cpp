#include "app/batch_run.h"

#include <memory>
#include <vector>

#include "core/converter.h"

namespace {

class CFileConverter : public IConverter {
public:
    ConvertResult Convert(const std::string& path, const ConvertOptions& options) override {
        return ConvertFile(NativeFileSystem(), path.c_str(), options);
    }
};

class CCheckConverter : public IConverter {
public:
    ConvertResult Convert(const std::string& path, const ConvertOptions& options) override {
        ConvertResult result;
        ScanFile(NativeFileSystem(), path.c_str(), &result.content, &result.failure, options.stop);
        const ContentReport& c = result.content;
        const bool asked = result.ok() && options.insertFinalNewline && !c.finalBreak && !c.binary;
        const bool endTakesBreak = asked && EndTakesBreak(NativeFileSystem(), path, c.bom);
        result.content.outcome =
            result.ok() && ConversionChanges(c, options.format, options.insertFinalNewline,
                                             options.skipBinary, endTakesBreak)
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

bool EndTakesBreak(IFileSystem& fs, const std::string& path, ByteOrderMark bom) {
    std::unique_ptr<IFile> file = fs.OpenRead(path.c_str());
    if (!file) return false;
    uint64_t size = 0;
    unsigned char last[2] = {0, 0};
    std::vector<char> buffer(65536);
    for (long n; (n = file->Read(buffer.data(), buffer.size())) > 0; size += static_cast<uint64_t>(n)) {
        last[0] = n >= 2 ? static_cast<unsigned char>(buffer[n - 2]) : last[1];
        last[1] = static_cast<unsigned char>(buffer[n - 1]);
    }
    const uint64_t markBytes = bom == ByteOrderMark::Utf8 ? 3 : bom == ByteOrderMark::None ? 0 : 2;
    const bool eofMark = bom == ByteOrderMark::Utf16Le   ? last[0] == 0x1A && last[1] == 0
                         : bom == ByteOrderMark::Utf16Be ? last[0] == 0 && last[1] == 0x1A
                                                         : last[1] == 0x1A;
    return size > markBytes && !eofMark;
}

bool ConversionChanges(const ContentReport& content, LineEndingFormat target, bool insertFinalNewline,
                       bool skipBinary, bool endTakesBreak) {
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
    return foreign || (insertFinalNewline && !content.binary && !content.finalBreak && endTakesBreak);
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
