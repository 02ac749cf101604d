// The job list model on its own: the duplicate test, icons by extension,
// marks, sorting, find-by-name and deletion, natively and under Wine.
#include "app/job_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/folder_walk.h"

namespace {

// A list of files named as given, each in the folder "d" plus its number.
struct Filled {
    JobList list;
    explicit Filled(const std::vector<std::string>& names, JobList::IconLookup icons = JobList::IconLookup())
        : list(std::move(icons)) {
        for (size_t i = 0; i < names.size(); ++i) list.Add("d" + std::to_string(i), names[i], false);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(list.At(i)->Name());
        return names;
    }
};

TEST(JobList, AddRefusesAPathPresentInAnyCase) {
    struct Case {
        const char* folder;
        const char* name;
        int expected;
    };
    const Case cases[] = {
        {"Root", "a.txt", 0},  {"root", "A.TXT", -1}, {"ROOT", "a.txt", -1}, {"Root", "b.txt", 1},
        {"Other", "a.txt", 2}, {"", "a.txt", 3},      {"root", "b.TXT", -1}, {"", "A.txt", -1},
    };
    JobList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "|" + c.name);
        EXPECT_EQ(list.Add(c.folder, c.name, false), c.expected);
        EXPECT_TRUE(list.Contains(JoinPath(c.folder, c.name)));
    }
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Path(1), JoinPath("Root", "b.txt")) << "the first spelling stays";
    EXPECT_STREQ(list.At(1)->Name(), "b.txt");
    EXPECT_EQ(list.At(1)->Folder(), "Root");
    EXPECT_EQ(list.At(3)->Folder(), "");
    EXPECT_EQ(list.Path(4), "") << "a vanished index gives a path that cannot convert";
    EXPECT_EQ(list.At(-1), nullptr);
}

TEST(JobList, IconsAreAskedOncePerExtensionAndFolderKind) {
    struct Case {
        const char* name;
        bool directory;
        int expectedImage;
        int expectedAsked;  // lookups so far
    };
    const Case cases[] = {
        {"a.txt", false, 10, 1}, {"b.TXT", false, 10, 1},    {"c.log", false, 11, 2},
        {"sub", true, 12, 3},    {"other", true, 12, 3},     {"d.no ext", false, 13, 4},  // no extension
        {"e", false, 13, 4},     {"f.unknown", false, 0, 5}, {"g.unknown", false, 0, 6},
    };
    std::vector<std::string> asked;
    auto lookup = [&](const std::string& path, bool directory) {
        asked.push_back(path);
        if (path.find(".unknown") != std::string::npos) return -1;
        return directory                                ? 12
               : path.find(".txt") != std::string::npos ? 10
                                                        : 9 + static_cast<int>(asked.size());
    };
    JobList list(lookup);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int index = list.Add("dir", c.name, c.directory);
        ASSERT_GE(index, 0);
        EXPECT_EQ(list.At(index)->image, c.expectedImage);
        EXPECT_EQ(static_cast<int>(asked.size()), c.expectedAsked);
    }
}

TEST(JobList, MarksKeepTheirReasonAndTheCurrentEntry) {
    struct Step {
        int index;
        EntryMark mark;
        ConvertFailure failure;
        bool changed;
        int current;
        ConvertFailure kept;
    };
    const Step steps[] = {
        {0, EntryMark::Converting, ConvertFailure::None, true, 0, ConvertFailure::None},
        {0, EntryMark::Failed, ConvertFailure::ReadOnly, true, -1, ConvertFailure::ReadOnly},
        {0, EntryMark::Failed, ConvertFailure::CannotOpen, false, -1, ConvertFailure::CannotOpen},
        {1, EntryMark::Converting, ConvertFailure::None, true, 1, ConvertFailure::None},
        {1, EntryMark::Converted, ConvertFailure::ReadOnly, true, -1, ConvertFailure::None},
        {2, EntryMark::LeftAsItWas, ConvertFailure::None, true, -1, ConvertFailure::None},
        {7, EntryMark::Converted, ConvertFailure::None, false, -1, ConvertFailure::None},
    };
    Filled f({"a", "b", "c", "d"});
    int previous = -1;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.index);
        bool told = false;
        EXPECT_EQ(f.list.Mark(s.index, s.mark, s.failure,
                              [&] {
                                  told = true;
                                  EXPECT_EQ(f.list.At(s.index)->mark, s.mark) << "the mark is set";
                                  EXPECT_EQ(f.list.Current(), previous) << "the current follows later";
                              }),
                  s.changed);
        EXPECT_EQ(told, s.changed);
        previous = s.current;
        EXPECT_EQ(f.list.Current(), s.current);
        if (const JobItem* entry = f.list.At(s.index)) {
            EXPECT_EQ(entry->mark, s.mark);
            EXPECT_EQ(entry->failure, s.kept);
        }
    }
    f.list.Mark(3, EntryMark::Converting, ConvertFailure::None);
    std::vector<int> cleared;
    f.list.ClearMarks(3, [&](int i) { cleared.push_back(i); });
    EXPECT_EQ(cleared, (std::vector<int>{0, 1, 2})) << "only entries that had a mark";
    EXPECT_EQ(f.list.Current(), -1);
    EXPECT_EQ(f.list.At(0)->failure, ConvertFailure::None);
    EXPECT_EQ(f.list.At(3)->mark, EntryMark::Converting) << "beyond the count: left alone";
    cleared.clear();
    f.list.ClearMarks(100, [&](int i) { cleared.push_back(i); });
    EXPECT_EQ(cleared, (std::vector<int>{3}));

    ContentReport content;
    EXPECT_FALSE(f.list.Content(0, &content)) << "never read";
    content.lf = 3;
    EXPECT_TRUE(f.list.KeepContent(0, content, true, "LF"));
    EXPECT_FALSE(f.list.KeepContent(9, content, true, "LF"));
    ContentReport read;
    ASSERT_TRUE(f.list.Content(0, &read));
    EXPECT_EQ(read.lf, 3u);
    EXPECT_TRUE(f.list.At(0)->checked);
    EXPECT_EQ(f.list.At(0)->breaksText, "LF");

    // A run after the project's rules keeps each entry's rule; the next
    // run's clearing forgets it, whatever that run follows.
    ProjectRule rule;
    rule.verdict = ProjectVerdict::Binary;
    EXPECT_TRUE(f.list.KeepRule(1, rule));
    EXPECT_FALSE(f.list.KeepRule(9, rule));
    EXPECT_TRUE(f.list.At(1)->ruleKnown);
    EXPECT_EQ(f.list.At(1)->rule.verdict, ProjectVerdict::Binary);
    EXPECT_FALSE(f.list.At(0)->ruleKnown);
    f.list.ClearMarks(2, nullptr);
    EXPECT_FALSE(f.list.At(1)->ruleKnown);
}

TEST(JobList, SortIsStableInBothDirectionsAndReportsTheOldPositions) {
    struct Case {
        int column;
        int direction;
        std::vector<std::string> names;
        std::vector<size_t> order;
    };
    // Names and folders: "b" twice (folders d0, d3) keeps its order either way.
    const std::vector<std::string> names = {"b", "a", "C", "b", "c"};
    const Case cases[] = {
        {0, 1, {"C", "a", "b", "b", "c"}, {2, 1, 0, 3, 4}},
        {0, 2, {"c", "b", "b", "a", "C"}, {4, 0, 3, 1, 2}},
        {0, 0, names, {0, 1, 2, 3, 4}},
        {1, 2, {"c", "b", "C", "a", "b"}, {4, 3, 2, 1, 0}},
        {2, 1, names, {0, 1, 2, 3, 4}},  // no breaks text yet: all equal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.column) + "/" + std::to_string(c.direction));
        Filled f(names);
        EXPECT_EQ(f.list.Sort(c.column, c.direction), c.order);
        EXPECT_EQ(f.Names(), c.names);
        for (int i = 0; i < f.list.Count(); ++i)
            EXPECT_TRUE(f.list.Contains(f.list.Path(i))) << "the index follows its entries";
    }
    Filled f(names);
    f.list.KeepContent(0, ContentReport(), false, "LF");
    f.list.KeepContent(2, ContentReport(), false, "CR LF");
    f.list.Sort(2, 1);
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"a", "b", "c", "C", "b"})) << "empty texts first";
}

TEST(JobList, FindByNameFromTheStartWithAndWithoutWrapping) {
    struct Case {
        const char* wanted;
        int start;
        bool wrap;
        bool partial;
        int expected;
    };
    const Case cases[] = {
        {"rea", 0, false, true, 1},      {"REA", 0, false, true, 1},
        {"rea", 2, false, true, 3},      {"rea", 4, false, true, -1},
        {"rea", 4, true, true, 1},       {"readme.txt", 0, false, false, 1},
        {"readme", 0, false, false, -1}, {"readme.txt2", 0, false, true, -1},
        {"", 0, true, true, -1},         {"x", 0, true, true, -1},
        {"a", 99, false, true, 0},       {"Z", -3, true, false, 4},
    };
    Filled f({"a.txt", "README.txt", "b.txt", "reader.c", "z"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wanted + std::string(" from ") + std::to_string(c.start));
        EXPECT_EQ(f.list.FindByName(c.wanted, c.start, c.wrap, c.partial), c.expected);
    }
    EXPECT_EQ(JobList().FindByName("a", 0, true, true), -1) << "an empty list";
}

TEST(JobList, DeleteKeepsTheIndexRight) {
    struct Case {
        std::vector<int> doomed;
        int first;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {{1, 3}, 1, {"a", "c", "e"}},
        {{4, 0, 4}, 0, {"b", "c", "d"}},
        {{}, -1, {"a", "b", "c", "d", "e"}},
        {{9, -1}, -1, {"a", "b", "c", "d", "e"}},
        {{0, 1, 2, 3, 4}, 0, {}},
    };
    const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        Filled f(names);
        EXPECT_EQ(f.list.Delete(c.doomed), c.first);
        EXPECT_EQ(f.Names(), c.left);
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string path = JoinPath("d" + std::to_string(i), names[i]);
            const bool kept = std::find(c.left.begin(), c.left.end(), names[i]) != c.left.end();
            EXPECT_EQ(f.list.Contains(path), kept) << path;
            // A deleted path may come back; a kept one is still refused.
            EXPECT_EQ(f.list.Add("d" + std::to_string(i), names[i], false) >= 0, !kept) << path;
        }
    }
    Filled f(names);
    f.list.Clear();
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_FALSE(f.list.Contains(JoinPath("d0", "a")));
    EXPECT_EQ(f.list.Add("d0", "a", false), 0);
}

}  // namespace
