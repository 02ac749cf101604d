#pragma once
// The run protocol of a batch conversion, written against three seams: where
// the items come from, where progress goes, and a stop request. The main
// dialog implements the seams with synchronous messages to its controls.

#include <atomic>
#include <functional>
#include <string>

#include "app/settings.h"
#include "core/converter.h"
#include "core/project_rules.h"
#include "core/stop_token.h"

// What progress a sink is told of.
enum class ProgressKind {
    Range,     // the run has `value` items
    ItemDone,  // item `value` is done
};

// How a run reports; the four operations keep this slot order. Not deleted
// through this interface, hence no virtual destructor.
class IProgressSink {
public:
    virtual void OnRunStart() = 0;
    virtual void OnRunEnd() = 0;
    virtual void SetStatusText(const char* text) = 0;
    virtual void OnProgress(ProgressKind kind, int value) = 0;

protected:
    ~IProgressSink() = default;
};

// An entry's mark; the values up to LeftAsItWas are the list's state image
// indices. LeftAsItWas: already in the target format, or skipped as binary
// or for its project's rules. WouldChange: a check after the project's rules
// found that a run would convert it.
enum class EntryMark : unsigned {
    None = 0,
    Converting = 1,
    Converted = 2,
    Failed = 3,
    LeftAsItWas = 4,
    WouldChange = 5,
};

// Why a run was asked to end: it ends within half a second, a file that
// finishes within the stop token's grace included.
enum class RunStop {
    None,
    Stop,   // the Stop button: the dialog stays open
    Close,  // the dialog is closing: it ends once the run has
};

// The job list as the run sees it. The list may change under a running
// batch: GetItemPath of an index that no longer exists returns "" and
// MarkEntry of such an index does nothing. failure is the reason of an
// EntryMark::Failed mark and ConvertFailure::None with any other. Before an
// entry's mark after its conversion, KeepContent hands over what the read
// learnt of the file; a source that shows none of it may ignore it.
class IJobSource {
public:
    virtual int GetItemCount() = 0;
    virtual std::string GetItemPath(int index) = 0;
    virtual void MarkEntry(int index, EntryMark mark, ConvertFailure failure) = 0;
    // Clears the marks of entries 0..count-1 before a run. A list that can
    // do it in one step should: a run of thousands of entries waits for it.
    virtual void ClearMarks(int count) {
        for (int i = 0; i < count; ++i) MarkEntry(i, EntryMark::None, ConvertFailure::None);
    }
    virtual void KeepContent(int /*index*/, const ContentReport& /*content*/) {}
    // In a run after the project's rules, the entry's rule, before its
    // content and its mark.
    virtual void KeepRule(int /*index*/, const ProjectRule& /*rule*/) {}

protected:
    ~IJobSource() = default;
};

// A file already in the target format counts as a success; one skipped as
// binary counts as skipped, neither success nor failure.
struct BatchCounts {
    int succeeded = 0;
    int failed = 0;
    int skipped = 0;
};

// What the worker runs on each file.
class IConverter {
public:
    virtual ConvertResult Convert(const std::string& path, const ConvertOptions& options) = 0;
    // A check reads and changes nothing.
    virtual bool IsCheck() const { return false; }

protected:
    ~IConverter() = default;
};

// ConvertFile on the native file system.
IConverter& FileConverter();
// A check: reads each file, learning its content, and leaves it as it was;
// the outcome is WouldConvert where a conversion with the options given
// would change the file, else AlreadyInFormat.
IConverter& CheckConverter();

// Whether converting a file of this content to target changes it: breaks of
// another kind, or with insertFinalNewline a last line without a break
// (endTakesBreak: see EndTakesBreak). A binary file that is skipped never
// changes.
bool ConversionChanges(const ContentReport& content, LineEndingFormat target, bool insertFinalNewline,
                       bool skipBinary, bool endTakesBreak);

// Whether the converter would add a break after the file's last line: it
// holds more than its byte-order mark and does not end in the old
// end-of-file mark ^Z. Reads the whole file; asked only of a file whose
// last line has no break when one is wished.
bool EndTakesBreak(IFileSystem& fs, const std::string& path, ByteOrderMark bom);

// Each file's rule in a run after the project's rules.
using ProjectRuleSource = std::function<ProjectRule(const std::string& path)>;

// Converts one file with one copy of the settings' conversion options, taken
// now: the Options dialog may change them while a run is under way. An
// empty path or a format outside the four fails without touching anything.
// With LineEndingFormat::Project the file goes to rule's target (with its
// final-newline wish); one without a target is left untouched, its outcome
// NoProjectRule or MarkedBinary.
ConvertResult ConvertItem(const std::string& path, LineEndingFormat format, const CAppSettings& settings,
                          IConverter& converter = FileConverter(), StopToken* stop = nullptr,
                          const ProjectRule& rule = ProjectRule());

// The worker's body. Converts items 0..n-1 (n read once) until a stop is
// requested. The file being converted when it comes finishes if it can
// within the token's grace; one stopped half-way is left as it was, with no
// mark and in no count. *counts, when given, is reset at the start and kept
// current, so the sink can show it from OnRunEnd. Returns the final counts.
// With LineEndingFormat::Project each file's rule comes from rules, or when
// none is given from the native file system's rule files, read afresh for
// each run; a file left for its rule counts as skipped. A check in that mode
// marks exactly the files a conversion would change (WouldChange).
BatchCounts RunBatch(IJobSource& source, IProgressSink& sink, StopToken& stop, LineEndingFormat format,
                     const CAppSettings& settings, BatchCounts* counts = nullptr,
                     IConverter& converter = FileConverter(), ProjectRuleSource rules = ProjectRuleSource());
