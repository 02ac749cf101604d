#include "app/batch_run.h"

#include "core/converter.h"

bool ConvertItem(const std::string& path, LineEndingFormat format, const CAppSettings& settings,
                 const ConvertFunction& convert, ConvertFailure* failure, ContentReport* content) {
    ConvertFailure why = ConvertFailure::None;
    ContentReport read;
    bool converted = false;
    if (LineEndingFormatLabel(format) == nullptr) {
        why = ConvertFailure::InvalidFormat;
    } else if (path.empty()) {
        // The entry vanished from the list.
        why = ConvertFailure::CannotOpen;
    } else {
        // Read now, not at the start of the run: the Options dialog may
        // change them while a run is under way.
        const bool keepTimestamp = settings.KeepTimestamp != 0;
        const bool keepAttributes = settings.KeepAttributes != 0;
        const bool ignoreReadOnly = settings.IgnoreReadOnly != 0;
        const bool backupFile = settings.BackupFile != 0;
        const bool skipBinary = settings.SkipBinary != 0;
        const int result = convert ? convert(path.c_str(), format, keepTimestamp, keepAttributes,
                                             ignoreReadOnly, backupFile, skipBinary, &why, &read)
                                   : ConvertFile(path.c_str(), format, keepTimestamp, keepAttributes,
                                                 ignoreReadOnly, backupFile, skipBinary, &why, &read);
        // The result decides; a reason beside a success is ignored.
        converted = result == 0;
        if (converted) why = ConvertFailure::None;
    }
    if (failure) *failure = why;
    if (content) *content = read;
    return converted;
}

BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, const std::atomic<RunStop>& stopRequest,
                     LineEndingFormat format, const CAppSettings& settings, BatchCounts* counts,
                     const ConvertFunction& convert) {
    BatchCounts local;
    BatchCounts& live = counts != nullptr ? *counts : local;
    live = BatchCounts();

    sink.OnRunStart();
    const int n = source.GetItemCount();
    sink.OnProgress(ProgressKind::Range, n);
    source.ClearMarks(n);

    for (int i = 0; i < n && stopRequest.load() == RunStop::None; ++i) {
        source.MarkEntry(i, EntryMark::Converting, ConvertFailure::None);
        const std::string path = source.GetItemPath(i);
        ConvertFailure failure = ConvertFailure::None;
        ContentReport content;
        const bool converted = ConvertItem(path, format, settings, convert, &failure, &content);
        if (converted) source.KeepContent(i, content);
        if (!converted) {
            source.MarkEntry(i, EntryMark::Failed, failure);
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
    BatchCounts result = live;
    sink.OnRunEnd();
    return result;
}
