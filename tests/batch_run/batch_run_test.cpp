#include "app/batch_run.h"
#include "app/run_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/batch_run/slow_converter.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

using Strings = std::vector<std::string>;
using Marks = std::vector<EntryMark>;
using Failures = std::vector<ConvertFailure>;

const char* MarkName(EntryMark mark) {
    switch (mark) {
        case EntryMark::None:
            return "none";
        case EntryMark::Converting:
            return "converting";
        case EntryMark::Converted:
            return "converted";
        case EntryMark::Failed:
            return "failed";
        case EntryMark::LeftAsItWas:
            return "left";
        case EntryMark::WouldChange:
            return "would change";
    }
    return "?";
}

// A mark the run never set.
constexpr EntryMark kUntouched = static_cast<EntryMark>(99);

// Job list and progress display in one, recording every call in order.
struct Recorder : IJobSource, IProgressSink {
    Strings m_paths;
    Marks m_marks;        // current mark of each item
    Failures m_failures;  // the reason handed over with each item's last mark
    Strings m_events;
    const BatchCounts* m_counts = nullptr;

    explicit Recorder(Strings p)
        : m_paths(std::move(p)),
          m_marks(m_paths.size(), kUntouched),
          m_failures(m_paths.size(), ConvertFailure::None) {}

    int GetItemCount() override { return static_cast<int>(m_paths.size()); }
    std::string GetItemPath(int index) override {
        return index >= 0 && index < static_cast<int>(m_paths.size()) ? m_paths[index] : std::string();
    }
    void MarkEntry(int index, EntryMark mark, ConvertFailure failure) override {
        m_events.push_back("mark " + std::to_string(index) + " " + MarkName(mark));
        if (mark != EntryMark::Failed && failure != ConvertFailure::None)
            m_events.push_back("reason without failure");
        if (index >= 0 && index < static_cast<int>(m_marks.size())) {
            m_marks[index] = mark;
            m_failures[index] = failure;
        }
    }
    void OnRunStart() override { m_events.push_back("start"); }
    void KeepContent(int index, const ContentReport& content) override {
        m_events.push_back("content " + std::to_string(index) + " " + std::to_string(content.crlf));
    }
    void KeepRule(int index, const ProjectRule& rule) override {
        m_events.push_back("rule " + std::to_string(index) + " " +
                           std::to_string(static_cast<int>(rule.verdict)));
    }
    void OnRunEnd() override {
        m_events.push_back(m_counts ? "end " + std::to_string(m_counts->succeeded) + "/" +
                                          std::to_string(m_counts->failed) +
                                          (m_counts->skipped ? "/" + std::to_string(m_counts->skipped) : "")
                                    : "end");
    }
    void SetStatusText(const char* text) override { m_events.push_back(std::string("status ") + text); }
    void OnProgress(ProgressKind kind, int value) override {
        m_events.push_back(std::string(kind == ProgressKind::Range ? "range " : "done ") +
                           std::to_string(value));
    }
};

// Converts by name: paths containing "bad" fail as read-only, "full" as a
// write error; "binary" is skipped as binary when skipping is asked for,
// "same" is already in format. The content's CR LF count is the path's
// length.
struct FakeConverter : IConverter {
    Strings m_calls;
    std::function<void(const std::string&)> m_during;
    ConvertResult Convert(const std::string& path, const ConvertOptions& o) override {
        std::ostringstream call;
        call << path << " " << static_cast<int>(o.format) << " " << o.keepTimestamp << o.keepAttributes
             << o.allowReadOnly << o.backup << o.skipBinary;
        m_calls.push_back(call.str());
        if (m_during) m_during(path);
        ConvertResult result;
        result.failure = path.find("bad") != std::string::npos    ? ConvertFailure::ReadOnly
                         : path.find("full") != std::string::npos ? ConvertFailure::ReadWrite
                                                                  : ConvertFailure::None;
        result.content.crlf = path.size();
        if (path.find("binary") != std::string::npos && o.skipBinary)
            result.content.outcome = ConvertOutcome::SkippedBinary;
        if (path.find("same") != std::string::npos) result.content.outcome = ConvertOutcome::AlreadyInFormat;
        return result;
    }
};

// The settings with their conversion flags changed as the Options dialog
// changes them.
void SetFlags(CAppSettings& settings, const std::function<void(ConvertOptions&)>& change) {
    ConvertOptions options = settings.ConversionOptions();
    change(options);
    settings.SetConversionOptions(options);
}

TEST(BatchRun, ProtocolOfARunWithOneFailure) {
    Recorder list({"C:\\a.txt", "C:\\bad.txt", "C:\\c.txt"});
    FakeConverter converter;
    CAppSettings settings;
    StopToken stop;
    BatchCounts counts;
    list.m_counts = &counts;
    BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Unix, settings, &counts, converter);
    EXPECT_EQ(list.m_events, (Strings{"start", "range 3", "mark 0 none", "mark 1 none", "mark 2 none",
                                      "mark 0 converting", "content 0 8", "mark 0 converted", "done 0",
                                      "mark 1 converting", "mark 1 failed", "done 1", "mark 2 converting",
                                      "content 2 8", "mark 2 converted", "done 2", "end 2/1"}));
    EXPECT_EQ(result.succeeded, 2);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.skipped, 0);
    EXPECT_EQ(converter.m_calls, (Strings{"C:\\a.txt 2 11101", "C:\\bad.txt 2 11101", "C:\\c.txt 2 11101"}));
}

TEST(BatchRun, AStopDuringTheClearingEndsTheRunBeforeAnyFile) {
    // A list that clears in one step, during which the user presses Stop.
    struct OneStepList : Recorder {
        using Recorder::Recorder;
        StopToken* stop = nullptr;
        void ClearMarks(int count) override {
            m_events.push_back("clear " + std::to_string(count));
            stop->Request();
        }
    } list({"C:\a.txt", "C:\b.txt"});
    StopToken stop;
    list.stop = &stop;
    FakeConverter converter;
    CAppSettings settings;
    BatchCounts counts = RunBatch(list, list, stop, LineEndingFormat::Unix, settings, nullptr, converter);
    EXPECT_EQ(list.m_events, (Strings{"start", "range 2", "clear 2", "end"}));
    EXPECT_TRUE(converter.m_calls.empty());
    EXPECT_EQ(counts.succeeded + counts.failed, 0);
}

TEST(BatchRun, EachFailedEntryIsHandedItsOwnReason) {
    struct Case {
        const char* what;
        LineEndingFormat format;
        Strings paths;
        Failures expected;
        size_t converted;  // calls that reach the converter
    } const cases[] = {
        {"mixed",
         LineEndingFormat::Unix,
         {"a", "bad", "full", "b"},
         {ConvertFailure::None, ConvertFailure::ReadOnly, ConvertFailure::ReadWrite, ConvertFailure::None},
         4},
        {"format out of range",
         static_cast<LineEndingFormat>(7),
         {"a", "b"},
         {ConvertFailure::InvalidFormat, ConvertFailure::InvalidFormat},
         0},
    };
    for (const Case& c : cases) {
        Recorder list(c.paths);
        FakeConverter converter;
        CAppSettings settings;
        StopToken stop;
        RunBatch(list, list, stop, c.format, settings, nullptr, converter);
        EXPECT_EQ(list.m_failures, c.expected) << c.what;
        for (size_t i = 0; i < c.paths.size(); ++i)
            EXPECT_EQ(list.m_marks[i],
                      c.expected[i] == ConvertFailure::None ? EntryMark::Converted : EntryMark::Failed)
                << c.what << " " << i;
        EXPECT_EQ(converter.m_calls.size(), c.converted) << c.what;
        EXPECT_EQ(std::count(list.m_events.begin(), list.m_events.end(), "reason without failure"), 0)
            << c.what;
    }
    // A second run clears the reason of an entry that now converts.
    Recorder list({"bad"});
    FakeConverter converter;
    CAppSettings settings;
    StopToken stop;
    RunBatch(list, list, stop, LineEndingFormat::Unix, settings, nullptr, converter);
    ASSERT_EQ(list.m_failures[0], ConvertFailure::ReadOnly);
    list.m_paths[0] = "good";
    RunBatch(list, list, stop, LineEndingFormat::Unix, settings, nullptr, converter);
    EXPECT_EQ(list.m_failures[0], ConvertFailure::None);
}

// Files left as they were get the fourth mark: one already in format counts
// as a success, one skipped as binary as skipped; with skipping off the
// binary file converts.
TEST(BatchRun, FilesLeftAsTheyWereAreMarkedAndCounted) {
    struct Case {
        int skipBinary;
        Marks marks;
        int succeeded, failed, skipped;
        const char* end;
    } const cases[] = {
        {1,
         {EntryMark::Converted, EntryMark::LeftAsItWas, EntryMark::LeftAsItWas, EntryMark::Failed},
         2,
         1,
         1,
         "end 2/1/1"},
        {0,
         {EntryMark::Converted, EntryMark::LeftAsItWas, EntryMark::Converted, EntryMark::Failed},
         3,
         1,
         0,
         "end 3/1"},
    };
    for (const Case& c : cases) {
        Recorder list({"a", "same", "binary", "bad"});
        FakeConverter converter;
        CAppSettings settings;
        SetFlags(settings, [&](ConvertOptions& o) { o.skipBinary = c.skipBinary; });
        StopToken stop;
        BatchCounts counts;
        list.m_counts = &counts;
        BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Unix, settings, &counts, converter);
        EXPECT_EQ(list.m_marks, c.marks) << c.skipBinary;
        EXPECT_EQ(result.succeeded, c.succeeded);
        EXPECT_EQ(result.failed, c.failed);
        EXPECT_EQ(result.skipped, c.skipped);
        EXPECT_EQ(list.m_events.back(), c.end);
        // What each read learnt is handed over before its mark; a failed file has none.
        EXPECT_EQ(std::count(list.m_events.begin(), list.m_events.end(), "content 2 6"), 1);
        EXPECT_EQ(std::count(list.m_events.begin(), list.m_events.end(), "content 3 3"), 0);
    }
}

// A converter that ignores the token stands for a file that finishes within
// the grace: the run ends after it.
// Rules by name: ".lf" and ".crlf" give that target (".lf" with a final
// newline wanted), ".bin" is marked binary, anything else has no rule.
ProjectRule RuleByName(const std::string& path) {
    ProjectRule rule;
    auto ends = [&](const char* tail) {
        const std::string t = tail;
        return path.size() >= t.size() && path.compare(path.size() - t.size(), t.size(), t) == 0;
    };
    if (ends(".lf")) {
        rule.verdict = ProjectVerdict::Target;
        rule.target = LineEndingFormat::Unix;
        rule.insertFinalNewline = true;
    } else if (ends(".crlf")) {
        rule.verdict = ProjectVerdict::Target;
        rule.target = LineEndingFormat::Windows;
    } else if (ends(".bin")) {
        rule.verdict = ProjectVerdict::Binary;
    }
    return rule;
}

// The converter's view of a run after the project's rules: each file with
// its own target and final-newline wish, or not at all; and what a check
// marks. "same" files are in their target already; a check's converter
// finds the others would change.
TEST(BatchRun, AsTheProjectSaysEachFileTakesItsOwnRule) {
    struct CheckingConverter : FakeConverter {
        ConvertResult Convert(const std::string& path, const ConvertOptions& o) override {
            ConvertResult result = FakeConverter::Convert(path, o);
            if (result.ok())
                result.content.outcome = path.find("same") != std::string::npos
                                             ? ConvertOutcome::AlreadyInFormat
                                             : ConvertOutcome::WouldConvert;
            return result;
        }
        bool IsCheck() const override { return true; }
    };
    const Strings paths = {"a.lf", "b.crlf", "c.txt", "d.bin", "same.lf", "bad.lf"};
    struct Case {
        bool check;
        Marks marks;
        int succeeded, failed, skipped;
    } const cases[] = {
        {false,
         {EntryMark::Converted, EntryMark::Converted, EntryMark::LeftAsItWas, EntryMark::LeftAsItWas,
          EntryMark::LeftAsItWas, EntryMark::Failed},
         3,
         1,
         2},
        {true,
         {EntryMark::WouldChange, EntryMark::WouldChange, EntryMark::None, EntryMark::None, EntryMark::None,
          EntryMark::Failed},
         3,
         1,
         0},
    };
    for (const Case& c : cases) {
        Recorder list(paths);
        FakeConverter fileConverter;
        CheckingConverter checkConverter;
        FakeConverter& converter = c.check ? checkConverter : fileConverter;
        std::vector<bool> finalNewline;
        converter.m_during = [&](const std::string&) {};
        struct Spy : IConverter {
            IConverter* inner;
            std::vector<bool>* wishes;
            ConvertResult Convert(const std::string& path, const ConvertOptions& o) override {
                wishes->push_back(o.insertFinalNewline);
                return inner->Convert(path, o);
            }
            bool IsCheck() const override { return inner->IsCheck(); }
        } spy;
        spy.inner = &converter;
        spy.wishes = &finalNewline;
        CAppSettings settings;
        StopToken stop;
        const BatchCounts counts =
            RunBatch(list, list, stop, LineEndingFormat::Project, settings, nullptr, spy, RuleByName);
        EXPECT_EQ(list.m_marks, c.marks) << c.check;
        EXPECT_EQ(counts.succeeded, c.succeeded) << c.check;
        EXPECT_EQ(counts.failed, c.failed) << c.check;
        EXPECT_EQ(counts.skipped, c.skipped) << c.check;
        EXPECT_EQ(converter.m_calls,
                  (Strings{"a.lf 2 11101", "b.crlf 0 11101", "same.lf 2 11101", "bad.lf 2 11101"}))
            << c.check;
        EXPECT_EQ(finalNewline, (std::vector<bool>{true, false, true, true})) << c.check;
        // Every entry hears its rule before its mark; the files left for
        // their rule hand over no content.
        EXPECT_EQ(std::count_if(list.m_events.begin(), list.m_events.end(),
                                [](const std::string& e) { return e.compare(0, 5, "rule ") == 0; }),
                  6);
        EXPECT_EQ(std::count(list.m_events.begin(), list.m_events.end(), "content 2 5"), 0);
        EXPECT_EQ(std::count(list.m_events.begin(), list.m_events.end(), "content 3 5"), 0);
    }
    // No other format hands out rules.
    Recorder list(paths);
    FakeConverter converter;
    CAppSettings settings;
    StopToken stop;
    RunBatch(list, list, stop, LineEndingFormat::Unix, settings, nullptr, converter, RuleByName);
    EXPECT_EQ(std::count_if(list.m_events.begin(), list.m_events.end(),
                            [](const std::string& e) { return e.compare(0, 5, "rule ") == 0; }),
              0);
    EXPECT_EQ(converter.m_calls.size(), paths.size());
}

TEST(ConversionChanges, ForeignBreaksAndAMissingFinalBreak) {
    struct Case {
        const char* what;
        uint64_t crlf, lf, cr;
        bool finalBreak, binary;
        LineEndingFormat target;
        bool finalNewline, skipBinary, hasText;
        bool changes;
    } const cases[] = {
        {"LF to LF", 0, 3, 0, true, false, LineEndingFormat::Unix, false, true, true, false},
        {"CR LF to LF", 2, 0, 0, true, false, LineEndingFormat::Unix, false, true, true, true},
        {"CR to LF", 0, 0, 1, true, false, LineEndingFormat::Unix, false, true, true, true},
        {"LF to CR LF", 0, 1, 0, true, false, LineEndingFormat::Windows, false, true, true, true},
        {"CR LF to CR LF", 4, 0, 0, true, false, LineEndingFormat::Windows, false, true, true, false},
        {"CR LF to CR", 1, 0, 0, true, false, LineEndingFormat::Macintosh, false, true, true, true},
        {"CR to CR", 0, 0, 2, true, false, LineEndingFormat::Macintosh, false, true, true, false},
        {"no final break, not wanted", 0, 2, 0, false, false, LineEndingFormat::Unix, false, true, true,
         false},
        {"no final break, wanted", 0, 2, 0, false, false, LineEndingFormat::Unix, true, true, true, true},
        {"one line without a break, wanted", 0, 0, 0, false, false, LineEndingFormat::Unix, true, true, true,
         true},
        {"empty, wanted", 0, 0, 0, false, false, LineEndingFormat::Unix, true, true, false, false},
        {"binary, skipped", 3, 0, 0, false, true, LineEndingFormat::Unix, true, true, true, false},
        {"binary, converted", 3, 0, 0, false, true, LineEndingFormat::Unix, false, false, true, true},
        {"binary, converted, no final break added", 0, 3, 0, false, true, LineEndingFormat::Unix, true, false,
         true, false},
        {"no target", 3, 3, 3, false, false, LineEndingFormat::Project, true, true, true, false},
    };
    for (const Case& c : cases) {
        ContentReport content;
        content.crlf = c.crlf;
        content.lf = c.lf;
        content.cr = c.cr;
        content.finalBreak = c.finalBreak;
        content.binary = c.binary;
        EXPECT_EQ(ConversionChanges(content, c.target, c.finalNewline, c.skipBinary, c.hasText), c.changes)
            << c.what;
    }
}

// The real check reads each file and says whether a conversion to its
// target, with or without a final newline wished, would change it.
TEST(ConvertItem, TheRealCheckTellsWhatAConversionWouldChange) {
    ScratchDir dir;
    struct Case {
        const char* name;
        std::string content;
        LineEndingFormat target;
        bool finalNewline;
        ConvertOutcome outcome;
    } const cases[] = {
        {"in-format.txt", "a\nb\n", LineEndingFormat::Unix, true, ConvertOutcome::AlreadyInFormat},
        {"foreign.txt", "a\r\nb\r\n", LineEndingFormat::Unix, false, ConvertOutcome::WouldConvert},
        {"no-final.txt", "a\nb", LineEndingFormat::Unix, true, ConvertOutcome::WouldConvert},
        {"no-final-unwished.txt", "a\nb", LineEndingFormat::Unix, false, ConvertOutcome::AlreadyInFormat},
        {"one-line.txt", "abc", LineEndingFormat::Windows, true, ConvertOutcome::WouldConvert},
        {"empty.txt", "", LineEndingFormat::Windows, true, ConvertOutcome::AlreadyInFormat},
        {"bom-only.txt", "\xEF\xBB\xBF", LineEndingFormat::Windows, true, ConvertOutcome::AlreadyInFormat},
        {"bom-text.txt", "\xEF\xBB\xBFx", LineEndingFormat::Windows, true, ConvertOutcome::WouldConvert},
        // The old end-of-file mark ends the file: the converter adds nothing after it.
        {"eof-mark.txt", "a\nb\x1A", LineEndingFormat::Unix, true, ConvertOutcome::AlreadyInFormat},
        {"eof-mark-16.txt", std::string("\xFF\xFEx\0\x1A\0", 6), LineEndingFormat::Unix, true,
         ConvertOutcome::AlreadyInFormat},
        {"unit-16.txt", std::string("\xFF\xFEx\0y\0", 6), LineEndingFormat::Unix, true,
         ConvertOutcome::WouldConvert},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path(c.name);
        WriteWholeFile(path, c.content);
        ProjectRule rule;
        rule.verdict = ProjectVerdict::Target;
        rule.target = c.target;
        rule.insertFinalNewline = c.finalNewline;
        CAppSettings settings;
        const ConvertResult result =
            ConvertItem(path, LineEndingFormat::Project, settings, CheckConverter(), nullptr, rule);
        EXPECT_TRUE(result.ok()) << c.name;
        EXPECT_EQ(result.content.outcome, c.outcome) << c.name;
        EXPECT_EQ(ReadWholeFile(path), c.content) << c.name;
        // A conversion changes exactly the files the check said it would.
        const ConvertResult converted =
            ConvertItem(path, LineEndingFormat::Project, settings, FileConverter(), nullptr, rule);
        EXPECT_EQ(converted.content.outcome == ConvertOutcome::Converted,
                  c.outcome == ConvertOutcome::WouldConvert)
            << c.name;
        EXPECT_EQ(ReadWholeFile(path) != c.content, c.outcome == ConvertOutcome::WouldConvert) << c.name;
    }
}

TEST(RunText, TheProjectsTargetStandsBesideBreaksOfAnotherKind) {
    struct Case {
        uint64_t crlf, lf, cr;
        bool binary;
        ProjectVerdict verdict;
        LineEndingFormat target;
        const char* text;
    } const cases[] = {
        {2, 0, 0, false, ProjectVerdict::Target, LineEndingFormat::Unix, "CR LF, project: LF"},
        {0, 2, 0, false, ProjectVerdict::Target, LineEndingFormat::Unix, "LF"},
        {1, 1, 0, false, ProjectVerdict::Target, LineEndingFormat::Macintosh,
         "Mixed (1 CR LF, 1 LF), project: CR"},
        {0, 1, 0, false, ProjectVerdict::Target, LineEndingFormat::Windows, "LF, project: CR LF"},
        {0, 0, 0, false, ProjectVerdict::Target, LineEndingFormat::Windows, "None"},
        {2, 0, 0, false, ProjectVerdict::NoRule, LineEndingFormat::Unix, "CR LF"},
        {2, 0, 0, false, ProjectVerdict::Binary, LineEndingFormat::Unix, "CR LF"},
        {2, 0, 0, true, ProjectVerdict::Target, LineEndingFormat::Unix, "Binary"},
    };
    for (const Case& c : cases) {
        ContentReport content;
        content.crlf = c.crlf;
        content.lf = c.lf;
        content.cr = c.cr;
        content.binary = c.binary;
        ProjectRule rule;
        rule.verdict = c.verdict;
        rule.target = c.target;
        EXPECT_EQ(DescribeAgainstRule(content, rule), c.text);
    }
}

TEST(BatchRun, StopEndsTheRunAfterAFileThatFinishes) {
    constexpr EntryMark kDone = EntryMark::Converted;
    constexpr EntryMark kNone = EntryMark::None;
    struct Case {
        int stopDuringItem;  // -1: before the run
        int succeeded;
        Marks marks;
    } cases[] = {
        {2, 3, {kDone, kDone, kDone, kNone, kNone}},  // during the third of five
        {0, 1, {kDone, kNone, kNone, kNone, kNone}},
        {4, 5, {kDone, kDone, kDone, kDone, kDone}},
        {-1, 0, {kNone, kNone, kNone, kNone, kNone}},
    };
    for (const Case& c : cases) {
        Recorder list({"1", "2", "3", "4", "5"});
        FakeConverter converter;
        StopToken stop;
        if (c.stopDuringItem < 0) stop.Request();
        converter.m_during = [&](const std::string& path) {
            if (path == std::to_string(c.stopDuringItem + 1)) stop.Request();
        };
        CAppSettings settings;
        BatchCounts result =
            RunBatch(list, list, stop, LineEndingFormat::Windows, settings, nullptr, converter);
        EXPECT_EQ(result.succeeded, c.succeeded) << c.stopDuringItem;
        EXPECT_EQ(result.failed, 0);
        EXPECT_EQ(list.m_marks, c.marks) << c.stopDuringItem;
        EXPECT_EQ(list.m_events.front(), "start");
        EXPECT_EQ(list.m_events.back(), "end");
    }
}

TEST(BatchRun, SecondRunResetsMarksAndCounts) {
    Recorder list({"ok1", "bad2"});
    FakeConverter converter;
    CAppSettings settings;
    StopToken stop;
    BatchCounts counts{40, 2};
    RunBatch(list, list, stop, LineEndingFormat::Macintosh, settings, &counts, converter);
    EXPECT_EQ(counts.succeeded, 1);
    EXPECT_EQ(counts.failed, 1);
    list.m_paths[1] = "ok2";
    list.m_events.clear();
    list.m_counts = &counts;
    RunBatch(list, list, stop, LineEndingFormat::Macintosh, settings, &counts, converter);
    EXPECT_EQ(counts.succeeded, 2);
    EXPECT_EQ(counts.failed, 0);
    EXPECT_EQ(Strings(list.m_events.begin() + 2, list.m_events.begin() + 4),
              (Strings{"mark 0 none", "mark 1 none"}));
    EXPECT_EQ(list.m_events.back(), "end 2/0");
}

TEST(BatchRun, ItemsThatVanishDuringTheRunFailWithoutConverting) {
    Recorder list({"a", "b", "c", "d"});
    FakeConverter converter;
    // The user deletes the last two items while the first is converted.
    converter.m_during = [&](const std::string& path) {
        if (path == "a") list.m_paths.resize(2);
    };
    CAppSettings settings;
    StopToken stop;
    BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Windows, settings, nullptr, converter);
    EXPECT_EQ(result.succeeded, 2);
    EXPECT_EQ(result.failed, 2);
    EXPECT_EQ(list.m_failures[2], ConvertFailure::CannotOpen);
    EXPECT_EQ(converter.m_calls.size(), 2u);
    EXPECT_EQ(list.m_events.back(), "end");
}

TEST(BatchRun, EmptyListStillReportsStartAndEnd) {
    Recorder list({});
    CAppSettings settings;
    StopToken stop;
    BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Windows, settings);
    EXPECT_EQ(list.m_events, (Strings{"start", "range 0", "end"}));
    EXPECT_EQ(result.succeeded + result.failed, 0);
}

TEST(ConvertItem, FlagsAreReadForEveryFileInTheirOrder) {
    Recorder list({"f1", "f2", "f3"});
    FakeConverter converter;
    CAppSettings settings;
    SetFlags(settings, [](ConvertOptions& o) {
        o.keepTimestamp = false;
        o.allowReadOnly = false;
        o.backup = true;
    });
    converter.m_during = [&](const std::string& path) {
        if (path == "f1") {  // the Options dialog changes them mid-run
            SetFlags(settings, [](ConvertOptions& o) {
                o.keepTimestamp = true;
                o.backup = false;
            });
        }
        if (path == "f2") SetFlags(settings, [](ConvertOptions& o) { o.skipBinary = false; });
    };
    StopToken stop;
    RunBatch(list, list, stop, LineEndingFormat::Macintosh, settings, nullptr, converter);
    EXPECT_EQ(converter.m_calls, (Strings{"f1 1 01011", "f2 1 11001", "f3 1 11000"}));
}

// The Options dialog may store new flags on the UI thread at any moment of a
// run: each file is converted with one consistent set, old or new, never a
// mix of both. Under ThreadSanitizer an unguarded read is reported as well.
TEST(ConvertItem, OptionsChangedDuringARunReachEachFileWhole) {
    constexpr int kItems = 2000;
    Strings paths;
    for (int i = 0; i < kItems; ++i) paths.push_back("f" + std::to_string(i));
    Recorder list(paths);
    FakeConverter converter;
    CAppSettings settings;
    auto setAll = [&](bool on) {
        SetFlags(settings, [&](ConvertOptions& o) {
            o.keepTimestamp = o.keepAttributes = o.allowReadOnly = o.backup = o.skipBinary = on;
        });
    };
    setAll(true);
    std::atomic<bool> running{true};
    std::thread options([&] {
        for (bool flip = false; running.load(); flip = !flip) {
            setAll(flip);
            std::this_thread::yield();
        }
    });
    StopToken stop;
    RunBatch(list, list, stop, LineEndingFormat::Unix, settings, nullptr, converter);
    running = false;
    options.join();
    ASSERT_EQ(converter.m_calls.size(), static_cast<size_t>(kItems));
    for (const std::string& call : converter.m_calls) {
        const std::string flags = call.substr(call.size() - 5);
        EXPECT_TRUE(flags == "00000" || flags == "11111") << call;
    }
}

TEST(ConvertItem, RefusesBadInputWithoutCallingTheConverter) {
    FakeConverter converter;
    CAppSettings settings;
    struct Case {
        const char* path;
        int format;
        ConvertFailure expected;
    } cases[] = {
        {"x", 0, ConvertFailure::None},          {"x", 2, ConvertFailure::None},
        {"x", 4, ConvertFailure::InvalidFormat}, {"x", -1, ConvertFailure::InvalidFormat},
        {"x", 3, ConvertFailure::None},  // as the project says, which gives it no rule: left alone
        {"", 0, ConvertFailure::CannotOpen},     {"bad", 1, ConvertFailure::ReadOnly},
    };
    for (const Case& c : cases) {
        const ConvertResult result =
            ConvertItem(c.path, static_cast<LineEndingFormat>(c.format), settings, converter);
        EXPECT_EQ(result.failure, c.expected) << c.path << c.format;
    }
    EXPECT_EQ(converter.m_calls.size(), 3u);
}

std::string TempPath(const char* name) {
#ifdef _WIN32
    const char* dir = std::getenv("TEMP");
    return std::string(dir ? dir : ".") + "\\" + name;
#else
    return std::string(::testing::TempDir()) + name;
#endif
}

std::string ReadAll(const std::string& path) {
    return ReadWholeFile(path);
}

TEST(ConvertItem, ConvertsARealFileThroughTheConverter) {
    const std::string path = TempPath("pardwell_batch_item.txt");
    const std::string missing = TempPath("pardwell_batch_missing.txt");
    std::remove(missing.c_str());
    WriteWholeFile(path, "one\r\ntwo\rthree\n");
    Recorder list({path, missing});
    CAppSettings settings;
    StopToken stop;
    BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Unix, settings);
    EXPECT_EQ(result.succeeded, 1);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(ReadAll(path), "one\ntwo\nthree\n");
    EXPECT_EQ(list.m_marks, (Marks{EntryMark::Converted, EntryMark::Failed}));
    EXPECT_EQ(list.m_failures, (Failures{ConvertFailure::None, ConvertFailure::CannotOpen}));
    std::remove(path.c_str());
}

// The real converter with the settings' default: a binary file and a file
// already in format are left as they were.
TEST(ConvertItem, RealFilesLeftAsTheyWere) {
    const std::string binary = TempPath("pardwell_batch_binary.dat");
    const std::string same = TempPath("pardwell_batch_same.txt");
    const std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    WriteWholeFile(binary, image);
    WriteWholeFile(same, "a\nb\n");
    Recorder list({binary, same});
    CAppSettings settings;
    StopToken stop;
    BatchCounts result = RunBatch(list, list, stop, LineEndingFormat::Unix, settings);
    EXPECT_EQ(result.succeeded, 1);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(ReadAll(binary), image);
    EXPECT_EQ(ReadAll(same), "a\nb\n");
    EXPECT_EQ(list.m_marks, (Marks{EntryMark::LeftAsItWas, EntryMark::LeftAsItWas}));
    std::remove(binary.c_str());
    std::remove(same.c_str());
}

std::map<std::string, std::string> Listing(const std::string& folder) {
    std::map<std::string, std::string> out;
    NativeFileSystem().Enumerate(folder.c_str(), [&](const DirEntry& e) {
        out[e.name] = ReadAll(folder + kPathSeparator + e.name);
        return true;
    });
    return out;
}

// Stop in the middle of a file that takes seconds ends the run within half
// a second and leaves that file exactly as it was, unmarked, with nothing
// beside it; a file that ends within the grace still ends. A check stops
// the same way.
TEST(BatchRun, StopInTheMiddleOfAHugeFileEndsTheRunAtOnce) {
    const std::string small = "one\ntwo\n";
    const std::string huge = HugeText(24, "\n");
    struct Case {
        const char* what;
        bool check;
        const std::string& content;
        unsigned stopAfterMs;  // from the start of the second file
        EntryMark mark;        // of the second file
    } const cases[] = {
        {"huge file", false, huge, 200, EntryMark::None},
        {"huge file checked", true, huge, 200, EntryMark::None},
        {"small file within the grace", false, small, 0, EntryMark::Converted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir("pardwell-stop-");
        ASSERT_FALSE(dir.path().empty());
        const Strings names = {"a.txt", "b.txt", "c.txt"};
        const Strings contents = {small, c.content, small};
        Strings paths;
        for (size_t i = 0; i < names.size(); ++i) {
            paths.push_back(dir.Path(names[i]));
            ASSERT_TRUE(WriteWholeFile(paths[i], contents[i]));
        }
        Recorder list(paths);
        StopToken stop;
        SlowConverter converter(25, c.check);
        converter.ActAfter(paths[1], c.stopAfterMs, [&] { stop.Request(); });
        CAppSettings settings;
        const BatchCounts counts =
            RunBatch(list, list, stop, LineEndingFormat::Windows, settings, nullptr, converter);
        const auto ended = std::chrono::steady_clock::now();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - converter.ActedAt()).count();
        // The pass gives up at the first block after the grace (250 ms),
        // each read taking 25 ms here.
        EXPECT_LT(ms, 500);
        const EntryMark done = c.check ? EntryMark::LeftAsItWas : EntryMark::Converted;
        EXPECT_EQ(list.m_marks, (Marks{done, c.mark, EntryMark::None}));
        EXPECT_EQ(counts.succeeded, c.mark == EntryMark::None ? 1 : 2);
        EXPECT_EQ(counts.failed, 0);
        const bool second = c.mark != EntryMark::None && !c.check;
        const std::string converted = c.check ? small : "one\r\ntwo\r\n";
        EXPECT_EQ(
            Listing(dir.path()),
            (std::map<std::string, std::string>{
                {"a.txt", converted}, {"b.txt", second ? "one\r\ntwo\r\n" : c.content}, {"c.txt", small}}));
    }
}

// The real converters hand the run's token to the pass: once the grace of
// a request is over, a file of more than one block is left as it was.
TEST(ConvertItem, TheRealConvertersGiveUpOnceTheGraceIsOver) {
    ScratchDir dir("pardwell-grace-");
    ASSERT_FALSE(dir.path().empty());
    const std::string path = dir.Path("long.txt");
    std::string content;
    while (content.size() < 2u << 20) content += "a line\n";
    ASSERT_TRUE(WriteWholeFile(path, content));
    StopToken stop;
    stop.Request();
    std::this_thread::sleep_for(std::chrono::milliseconds(StopToken::kGraceMs + 20));
    CAppSettings settings;
    for (IConverter* converter : {&FileConverter(), &CheckConverter()}) {
        const ConvertResult result =
            ConvertItem(path, LineEndingFormat::Windows, settings, *converter, &stop);
        EXPECT_EQ(result.failure, ConvertFailure::Stopped);
        EXPECT_EQ(Listing(dir.path()), (std::map<std::string, std::string>{{"long.txt", content}}));
    }
}

}  // namespace
