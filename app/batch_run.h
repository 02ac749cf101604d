#pragma once
// The run protocol of a batch conversion, written against three seams: where
// the items come from, where progress goes, and a stop request. The main
// dialog implements the seams with synchronous messages to its controls.

#include <atomic>
#include <functional>
#include <string>

#include "app/settings.h"

// How a run reports; the four operations keep this slot order. Not deleted
// through this interface, hence no virtual destructor.
class IProgressSink {
public:
    virtual void OnRunStart() = 0;
    virtual void OnRunEnd() = 0;
    virtual void SetStatusText(const char* text) = 0;
    // Kind 0: the run has `value` items. Kind 1: item `value` is done.
    virtual void OnProgress(int kind, int value) = 0;

protected:
    ~IProgressSink() = default;
};

enum { kProgressRange = 0, kProgressItemDone = 1 };

// Mark values for MarkEntry.
enum { kMarkClear = -1, kMarkConverting = 0, kMarkConverted = 1, kMarkFailed = 2 };

// The job list as the run sees it. The list may change under a running
// batch: GetItemPath of an index that no longer exists returns "" and
// MarkEntry of such an index does nothing.
class IJobSource {
public:
    virtual int GetItemCount() = 0;
    virtual std::string GetItemPath(int index) = 0;
    virtual void MarkEntry(int index, int mark) = 0;

protected:
    ~IJobSource() = default;
};

struct BatchCounts {
    int succeeded = 0;
    int failed = 0;
};

// Same contract as ConvertFile: 0 on success, -1 on failure.
using ConvertFunction = std::function<int(const char* path, int format, bool keepTimestamp,
                                          bool keepAttributes, bool ignoreReadOnly, bool backupFile)>;

// Converts one file with the four flags as the settings hold them now. An
// empty path or a format outside 0..2 fails without touching anything.
// An empty convert function means ConvertFile.
bool ConvertItem(const std::string& path, int format, const CAppSettings& settings,
                 const ConvertFunction& convert = ConvertFunction());

// The worker's body. Converts items 0..n-1 (n read once) until the stop
// request is nonzero; the stop request is only seen between items. *counts,
// when given, is reset at the start and kept current, so the sink can show
// it from OnRunEnd. Returns the final counts.
BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, const std::atomic<int>& stopRequest, int format,
                     const CAppSettings& settings, BatchCounts* counts = nullptr,
                     const ConvertFunction& convert = ConvertFunction());
