#include "app/batch_run.h"

#include "core/converter.h"

bool ConvertItem(const std::string& path, int format, const CAppSettings& settings,
                 const ConvertFunction& convert) {
    if (path.empty() || format < 0 || format >= kLineEndingFormatCount) return false;
    // Read now, not at the start of the run: the Options dialog may change
    // them while a run is under way.
    const bool keepTimestamp = settings.KeepTimestamp != 0;
    const bool keepAttributes = settings.KeepAttributes != 0;
    const bool ignoreReadOnly = settings.IgnoreReadOnly != 0;
    const bool backupFile = settings.BackupFile != 0;
    const int result =
        convert
            ? convert(path.c_str(), format, keepTimestamp, keepAttributes, ignoreReadOnly, backupFile)
            : ConvertFile(path.c_str(), format, keepTimestamp, keepAttributes, ignoreReadOnly, backupFile);
    return result == 0;
}

BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, const std::atomic<int>& stopRequest, int format,
                     const CAppSettings& settings, BatchCounts* counts, const ConvertFunction& convert) {
    BatchCounts local;
    BatchCounts& live = counts != nullptr ? *counts : local;
    live = BatchCounts();

    sink.OnRunStart();
    const int n = source.GetItemCount();
    sink.OnProgress(kProgressRange, n);
    for (int i = 0; i < n; ++i) source.MarkEntry(i, kMarkClear);

    for (int i = 0; i < n && stopRequest.load() == 0; ++i) {
        source.MarkEntry(i, kMarkConverting);
        const std::string path = source.GetItemPath(i);
        if (ConvertItem(path, format, settings, convert)) {
            source.MarkEntry(i, kMarkConverted);
            ++live.succeeded;
        } else {
            source.MarkEntry(i, kMarkFailed);
            ++live.failed;
        }
        sink.OnProgress(kProgressItemDone, i);
    }
    BatchCounts result = live;
    sink.OnRunEnd();
    return result;
}
