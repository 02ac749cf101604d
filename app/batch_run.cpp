#include "app/batch_run.h"

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
        result.content.outcome = ConvertOutcome::AlreadyInFormat;
        return result;
    }
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

ConvertResult ConvertItem(const std::string& path, LineEndingFormat format, const CAppSettings& settings,
                          IConverter& converter, StopToken* stop) {
    ConvertResult result;
    if (LineEndingFormatLabel(format) == nullptr) {
        result.failure = ConvertFailure::InvalidFormat;
    } else if (path.empty()) {
        // The entry vanished from the list.
        result.failure = ConvertFailure::CannotOpen;
    } else {
        ConvertOptions options = settings.ConversionOptions();
        options.format = format;
        options.stop = stop;
        result = converter.Convert(path, options);
    }
    return result;
}

BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, StopToken& stop, LineEndingFormat format,
                     const CAppSettings& settings, BatchCounts* counts, IConverter& converter) {
    BatchCounts local;
    BatchCounts& live = counts != nullptr ? *counts : local;
    live = BatchCounts();

    sink.OnRunStart();
    const int n = source.GetItemCount();
    sink.OnProgress(ProgressKind::Range, n);
    source.ClearMarks(n);

    for (int i = 0; i < n && !stop.Requested(); ++i) {
        source.MarkEntry(i, EntryMark::Converting, ConvertFailure::None);
        const std::string path = source.GetItemPath(i);
        const ConvertResult result = ConvertItem(path, format, settings, converter, &stop);
        const ContentReport& content = result.content;
        if (result.ok()) source.KeepContent(i, content);
        if (result.failure == ConvertFailure::Stopped) {
            source.MarkEntry(i, EntryMark::None, ConvertFailure::None);
        } else if (!result.ok()) {
            source.MarkEntry(i, EntryMark::Failed, result.failure);
            ++live.failed;
        } else if (content.outcome == ConvertOutcome::Converted) {
            source.MarkEntry(i, EntryMark::Converted, ConvertFailure::None);
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
