#include "app/batch_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// Job list and progress display in one, recording every call in order.
struct Recorder : IJobSource, IProgressSink {
    Strings paths;
    std::vector<int> marks;  // current mark of each item, -1 when clear, -9 never touched
    Strings events;
    const BatchCounts* counts = nullptr;

    explicit Recorder(Strings p) : paths(std::move(p)), marks(paths.size(), -9) {}

    int GetItemCount() override { return static_cast<int>(paths.size()); }
    std::string GetItemPath(int index) override {
        return index >= 0 && index < static_cast<int>(paths.size()) ? paths[index] : std::string();
    }
    void MarkEntry(int index, int mark) override {
        events.push_back("mark " + std::to_string(index) + " " + std::to_string(mark));
        if (index >= 0 && index < static_cast<int>(marks.size())) marks[index] = mark;
    }
    void OnRunStart() override { events.push_back("start"); }
    void OnRunEnd() override {
        events.push_back(counts ? "end " + std::to_string(counts->succeeded) + "/" +
                                      std::to_string(counts->failed)
                                : "end");
    }
    void SetStatusText(const char* text) override { events.push_back(std::string("status ") + text); }
    void OnProgress(int kind, int value) override {
        events.push_back("progress " + std::to_string(kind) + " " + std::to_string(value));
    }
};

// Converts by name: paths containing "bad" fail.
struct FakeConverter {
    Strings calls;
    std::function<void(const std::string&)> during;
    ConvertFunction Function() {
        return [this](const char* path, int format, bool t, bool a, bool r, bool b) {
            std::ostringstream call;
            call << path << " " << format << " " << t << a << r << b;
            calls.push_back(call.str());
            if (during) during(path);
            return std::string(path).find("bad") == std::string::npos ? 0 : -1;
        };
    }
};

TEST(BatchRun, ProtocolOfARunWithOneFailure) {
    Recorder list({"C:\\a.txt", "C:\\bad.txt", "C:\\c.txt"});
    FakeConverter converter;
    CAppSettings settings;
    std::atomic<int> stop{0};
    BatchCounts counts;
    list.counts = &counts;
    BatchCounts result = RunBatch(list, list, stop, 2, settings, &counts, converter.Function());
    EXPECT_EQ(list.events, (Strings{"start", "progress 0 3", "mark 0 -1", "mark 1 -1", "mark 2 -1",
                                    "mark 0 0", "mark 0 1", "progress 1 0", "mark 1 0", "mark 1 2",
                                    "progress 1 1", "mark 2 0", "mark 2 1", "progress 1 2", "end 2/1"}));
    EXPECT_EQ(result.succeeded, 2);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(converter.calls, (Strings{"C:\\a.txt 2 1110", "C:\\bad.txt 2 1110", "C:\\c.txt 2 1110"}));
}

TEST(BatchRun, StopIsSeenBetweenItemsOnly) {
    struct Case {
        int stopDuringItem;  // -1: before the run
        int stopValue;
        int succeeded;
        std::vector<int> marks;
    } cases[] = {
        {2, 1, 3, {1, 1, 1, -1, -1}},    // Stop during the third of five
        {0, 2, 1, {1, -1, -1, -1, -1}},  // close requested during the first
        {4, 1, 5, {1, 1, 1, 1, 1}},
        {-1, 1, 0, {-1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        Recorder list({"1", "2", "3", "4", "5"});
        FakeConverter converter;
        std::atomic<int> stop{c.stopDuringItem < 0 ? c.stopValue : 0};
        converter.during = [&](const std::string& path) {
            if (path == std::to_string(c.stopDuringItem + 1)) stop = c.stopValue;
        };
        CAppSettings settings;
        BatchCounts result = RunBatch(list, list, stop, 0, settings, nullptr, converter.Function());
        EXPECT_EQ(result.succeeded, c.succeeded) << c.stopDuringItem;
        EXPECT_EQ(result.failed, 0);
        EXPECT_EQ(list.marks, c.marks) << c.stopDuringItem;
        EXPECT_EQ(list.events.front(), "start");
        EXPECT_EQ(list.events.back(), "end");
    }
}

TEST(BatchRun, SecondRunResetsMarksAndCounts) {
    Recorder list({"ok1", "bad2"});
    FakeConverter converter;
    CAppSettings settings;
    std::atomic<int> stop{0};
    BatchCounts counts{40, 2};
    RunBatch(list, list, stop, 1, settings, &counts, converter.Function());
    EXPECT_EQ(counts.succeeded, 1);
    EXPECT_EQ(counts.failed, 1);
    list.paths[1] = "ok2";
    list.events.clear();
    list.counts = &counts;
    RunBatch(list, list, stop, 1, settings, &counts, converter.Function());
    EXPECT_EQ(counts.succeeded, 2);
    EXPECT_EQ(counts.failed, 0);
    EXPECT_EQ(Strings(list.events.begin() + 2, list.events.begin() + 4), (Strings{"mark 0 -1", "mark 1 -1"}));
    EXPECT_EQ(list.events.back(), "end 2/0");
}

TEST(BatchRun, ItemsThatVanishDuringTheRunFailWithoutConverting) {
    Recorder list({"a", "b", "c", "d"});
    FakeConverter converter;
    // The user deletes the last two items while the first is converted.
    converter.during = [&](const std::string& path) {
        if (path == "a") list.paths.resize(2);
    };
    CAppSettings settings;
    std::atomic<int> stop{0};
    BatchCounts result = RunBatch(list, list, stop, 0, settings, nullptr, converter.Function());
    EXPECT_EQ(result.succeeded, 2);
    EXPECT_EQ(result.failed, 2);
    EXPECT_EQ(converter.calls.size(), 2u);
    EXPECT_EQ(list.events.back(), "end");
}

TEST(BatchRun, EmptyListStillReportsStartAndEnd) {
    Recorder list({});
    CAppSettings settings;
    std::atomic<int> stop{0};
    BatchCounts result = RunBatch(list, list, stop, 0, settings);
    EXPECT_EQ(list.events, (Strings{"start", "progress 0 0", "end"}));
    EXPECT_EQ(result.succeeded + result.failed, 0);
}

TEST(ConvertItem, FlagsAreReadForEveryFileInTheirOrder) {
    Recorder list({"f1", "f2", "f3"});
    FakeConverter converter;
    CAppSettings settings;
    settings.KeepTimestamp = 0;
    settings.KeepAttributes = 5;  // any nonzero value is set
    settings.IgnoreReadOnly = 0;
    settings.BackupFile = 1;
    converter.during = [&](const std::string& path) {
        if (path == "f1") {  // the Options dialog changes them mid-run
            settings.KeepTimestamp = 1;
            settings.BackupFile = 0;
        }
    };
    std::atomic<int> stop{0};
    RunBatch(list, list, stop, 1, settings, nullptr, converter.Function());
    EXPECT_EQ(converter.calls, (Strings{"f1 1 0101", "f2 1 1100", "f3 1 1100"}));
}

TEST(ConvertItem, RefusesBadInputWithoutCallingTheConverter) {
    FakeConverter converter;
    CAppSettings settings;
    struct Case {
        const char* path;
        int format;
        bool expected;
    } cases[] = {
        {"x", 0, true}, {"x", 2, true}, {"x", 3, false}, {"x", -1, false}, {"", 0, false}, {"bad", 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertItem(c.path, c.format, settings, converter.Function()), c.expected)
            << c.path << c.format;
    EXPECT_EQ(converter.calls.size(), 3u);
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
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ConvertItem, ConvertsARealFileThroughTheConverter) {
    const std::string path = TempPath("pardwell_batch_item.txt");
    const std::string missing = TempPath("pardwell_batch_missing.txt");
    std::remove(missing.c_str());
    {
        std::ofstream out(path, std::ios::binary);
        out << "one\r\ntwo\rthree\n";
    }
    Recorder list({path, missing});
    CAppSettings settings;
    std::atomic<int> stop{0};
    BatchCounts result = RunBatch(list, list, stop, 2, settings);
    EXPECT_EQ(result.succeeded, 1);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(ReadAll(path), "one\ntwo\nthree\n");
    EXPECT_EQ(list.marks, (std::vector<int>{1, 2}));
    std::remove(path.c_str());
}

}  // namespace
