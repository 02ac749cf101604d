#include "core/folder_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/converter/fault_file_system.h"
#include "tests/support/file_io.h"
#include "tests/support/long_path.h"
#include "tests/support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#endif

namespace {

using Strings = std::vector<std::string>;

// A file system made of a table of folders, so order and failures are ours
// to choose. Folders listed under two names with one id behave as a link.
class TableFileSystem : public IFileSystem {
public:
    struct Folder {
        uint64_t id;
        std::vector<DirEntry> entries;
    };
    std::map<std::string, Folder> folders;
    bool idsKnown = true;
    int enumerations = 0;

    uint32_t GetAttributes(const char*) override { return kInvalidAttributes; }
    bool SetAttributes(const char*, uint32_t) override { return false; }
    bool Exists(const char*) override { return false; }
    std::unique_ptr<IFile> OpenRead(const char*) override { return nullptr; }
    std::unique_ptr<IFile> CreateNew(const char*, CreateResult* r) override {
        *r = CreateResult::Failed;
        return nullptr;
    }
    bool GetTimes(const char*, FileTimes*) override { return false; }
    bool GetInfo(const char*, FileInfo*) override { return false; }
    bool SetTimes(const char*, const FileTimes&) override { return false; }
    bool Rename(const char*, const char*) override { return false; }
    bool Replace(const char*, const char*) override { return false; }
    bool Remove(const char*) override { return false; }
    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        auto it = Find(folder);
        if (it == folders.end()) return false;
        ++enumerations;
        for (const DirEntry& e : it->second.entries)
            if (!visit(e)) break;
        return true;
    }
    FileError LastError() override { return FileError::Other; }
    bool GetFolderId(const char* folder, FolderId* id) override {
        auto it = Find(folder);
        if (!idsKnown || it == folders.end()) return false;
        id->volume = 1;
        id->index = it->second.id;
        return true;
    }

private:
    // A path resolves through its longest listed prefix that is a link, which
    // lets "R/sub/loop/sub" reach "R/sub" again.
    std::map<std::string, Folder>::iterator Find(std::string path) {
        for (bool changed = true; changed;) {
            changed = false;
            for (const auto& alias : aliases)
                if (path.compare(0, alias.first.size(), alias.first) == 0 &&
                    (path.size() == alias.first.size() || path[alias.first.size()] == kPathSeparator)) {
                    path = alias.second + path.substr(alias.first.size());
                    changed = true;
                }
        }
        return folders.find(path);
    }

public:
    std::map<std::string, std::string> aliases;  // link path -> target path
};

std::string P(std::initializer_list<const char*> parts) {
    std::string path;
    for (const char* part : parts) path = path.empty() ? part : JoinPath(path, part);
    return path;
}

DirEntry File(const char* name) {
    return DirEntry{name, kAttrArchive};
}
DirEntry Dir(const char* name) {
    return DirEntry{name, kAttrDirectory};
}
DirEntry Link(const char* name) {
    return DirEntry{name, kAttrDirectory | kAttrReparsePoint};
}

TableFileSystem SampleTree() {
    TableFileSystem fs;
    fs.folders[P({"R"})] = {1, {File("a.txt"), Dir("sub"), File("b.doc"), File("z.txt"), Dir("hid")}};
    fs.folders[P({"R", "sub"})] = {2, {File("c.txt"), Link("loop"), File("c2.TXT")}};
    fs.folders[P({"R", "hid"})] = {3, {DirEntry{"h.txt", kAttrHidden | kAttrSystem | kAttrReadOnly}}};
    fs.aliases[P({"R", "sub", "loop"})] = P({"R"});
    return fs;
}

Strings Walk(IFileSystem& fs, const std::string& folder, const char* patterns, bool subfolders, int* count,
             const std::set<std::string>& refuse = {}) {
    Strings seen;
    CFileFilter filter(patterns);
    *count = WalkFolder(fs, folder.c_str(), filter, subfolders, [&](const std::string& path) {
        seen.push_back(path);
        return refuse.count(path) == 0;
    });
    return seen;
}

TEST(FolderWalk, DepthFirstInEnumerationOrder) {
    TableFileSystem fs = SampleTree();
    struct Case {
        const char* patterns;
        bool subfolders;
        Strings expected;
    } cases[] = {
        {"*.txt", false, {P({"R", "a.txt"}), P({"R", "z.txt"})}},
        {"*.txt",
         true,
         {P({"R", "a.txt"}), P({"R", "sub", "c.txt"}), P({"R", "sub", "c2.TXT"}), P({"R", "z.txt"}),
          P({"R", "hid", "h.txt"})}},
        {"*.doc;*2.txt", true, {P({"R", "sub", "c2.TXT"}), P({"R", "b.doc"})}},
        {"a*", true, {}},  // the full path is tested, and it starts with the folder
        {"*", false, {P({"R", "a.txt"}), P({"R", "b.doc"}), P({"R", "z.txt"})}},
    };
    for (const Case& c : cases) {
        int count = -1;
        EXPECT_EQ(Walk(fs, "R", c.patterns, c.subfolders, &count), c.expected) << c.patterns << c.subfolders;
        EXPECT_EQ(count, static_cast<int>(c.expected.size()));
    }
}

TEST(FolderWalk, CountsOnlyWhatTheVisitorAdded) {
    TableFileSystem fs = SampleTree();
    int count = -1;
    Strings seen = Walk(fs, "R", "*.txt", true, &count, {P({"R", "a.txt"}), P({"R", "z.txt"})});
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(count, 3);
}

TEST(FolderWalk, LinkLoopsEndAndEveryFileIsSeenOnce) {
    TableFileSystem fs = SampleTree();
    fs.folders[P({"R", "sub", "deeper"})] = {4, {File("d.txt"), Link("up")}};
    fs.folders[P({"R", "sub"})].entries.push_back(Dir("deeper"));
    fs.aliases[P({"R", "sub", "deeper", "up"})] = P({"R", "sub"});
    int count = -1;
    Strings seen = Walk(fs, "R", "*.txt", true, &count);
    EXPECT_EQ(count, 6);
    std::set<std::string> unique(seen.begin(), seen.end());
    EXPECT_EQ(unique.size(), seen.size());
    EXPECT_LE(fs.enumerations, 8);
}

TEST(FolderWalk, WithoutFolderIdsThePathLimitStillEndsALoop) {
    TableFileSystem fs = SampleTree();
    fs.idsKnown = false;
    // The loop's link has a long name, so the limit is reached within a few
    // hundred levels whichever platform's it is. Counted, not kept.
    const std::string link(200, 'l');
    fs.folders[P({"R", "sub"})].entries = {File("c.txt"), Link(link.c_str()), File("c2.TXT")};
    fs.aliases = {{P({"R", "sub", link.c_str()}), P({"R"})}};
    size_t longest = 0;
    CFileFilter filter("*.txt");
    const int count = WalkFolder(fs, "R", filter, true, [&](const std::string& path) {
        longest = std::max(longest, path.size());
        return true;
    });
    EXPECT_TRUE(FitsPathLimit(std::string(longest, 'x').c_str()));
    EXPECT_GT(count, 5);  // loops are walked, but not forever
    EXPECT_LT(fs.enumerations, static_cast<int>(kMaxPathLength));
}

TEST(FolderWalk, UnreadableOrEmptyFoldersAddNothing) {
    TableFileSystem fs = SampleTree();
    fs.folders[P({"E"})] = {9, {}};
    int count = -1;
    EXPECT_TRUE(Walk(fs, "missing", "*.*", true, &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Walk(fs, "E", "*.*", true, &count).empty());
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Walk(fs, "", "*.*", true, &count).empty());
    EXPECT_EQ(count, 0);
}

TEST(FolderWalk, OverlongPathsAreSkippedNotTruncated) {
    // A whole path, so its length is the one the system calls see; Windows
    // counts the "\\?\" those calls are given.
#ifdef _WIN32
    const std::string root = "C:\\R";
    const size_t prefix = 4;
#else
    const std::string root = "/R";
    const size_t prefix = 0;
#endif
    const std::string longest(kMaxPathLength - prefix - root.size() - 1, 'n');
    TableFileSystem fs;
    fs.folders[root] = {1, {File("short.txt"), DirEntry{longest + "x", 0}, DirEntry{longest, 0}}};
    int count = -1;
    EXPECT_EQ(Walk(fs, root, "*", false, &count),
              (Strings{JoinPath(root, "short.txt"), JoinPath(root, longest)}));
}

// A tree past MAX_PATH in three scripts: each file is found, its path whole.
TEST(FolderWalk, DeepTreeInAnyScriptIsWalkedWhole) {
#ifdef _WIN32
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page";
#endif
    ScratchDir scratch("pardwell-deep-");
    const std::string deep = MakeDeepFolder(scratch.path(), 600);
    ASSERT_FALSE(deep.empty());
    const std::string middle = deep.substr(0, deep.find(kPathSeparator, deep.size() / 2));
    const std::set<std::string> files = {JoinPath(deep, "bottom.txt"), JoinPath(middle, "middle.txt")};
    for (const std::string& file : files) ASSERT_TRUE(WriteWholeFile(file, "x"));
    int count = -1;
    const Strings seen = Walk(NativeFileSystem(), scratch.path(), "*.txt", true, &count);
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()), files);
    EXPECT_EQ(count, 2);
}

TEST(FolderWalk, JoinPath) {
    std::string sep(1, kPathSeparator);
    struct Case {
        std::string folder, name, expected;
    } cases[] = {
        {"C:" + sep, "x.txt", "C:" + sep + "x.txt"},
        {"C:" + sep + "dir", "x.txt", "C:" + sep + "dir" + sep + "x.txt"},
        {"C:" + sep + "dir" + sep, "x.txt", "C:" + sep + "dir" + sep + "x.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(JoinPath(c.folder, c.name), c.expected);
}

#ifdef _WIN32
// The linked tree is made by make_tree.sh beside this program.
std::string TreeRoot() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of('\\')) + "\\walk_tree";
}
#else
std::string TreeRoot() {
    static const ScratchDir dir("pardwell_walk_");
    static std::string root;
    if (root.empty()) {
        if (dir.path().empty()) return std::string();
        root = dir.path();
        std::string command = "sh '" SOURCE_DIR "/make_tree.sh' '" + root + "'";
        if (std::system(command.c_str()) != 0) root.clear();
    }
    return root;
}
#endif

TEST(FolderWalk, RealTreeWithLinkLoops) {
    const std::string root = TreeRoot();
    ASSERT_FALSE(root.empty());
    ASSERT_NE(NativeFileSystem().GetAttributes(JoinPath(root, "a.txt").c_str()), kInvalidAttributes)
        << "tree missing at " << root;
    IFileSystem& fs = NativeFileSystem();
    auto rel = [&](Strings seen) {
        std::set<std::string> out;
        for (std::string& s : seen) {
            std::string r = s.substr(root.size() + 1);
            std::replace(r.begin(), r.end(), '\\', '/');
            out.insert(r);
        }
        return out;
    };
    int count = -1;
    EXPECT_EQ(rel(Walk(fs, root, "*.txt", false, &count)), (std::set<std::string>{"a.txt", "link.txt"}));
    EXPECT_EQ(count, 2);
    // "self", "sub/loop" and "sub/deeper/up" lead back to folders being walked.
    Strings seen = Walk(fs, root, "*.txt", true, &count);
    EXPECT_EQ(rel(seen), (std::set<std::string>{"a.txt", "link.txt", "sub/c.txt", "sub/.hidden.txt",
                                                "sub/deeper/d.TXT"}));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(Walk(fs, JoinPath(root, "empty"), "*.*", true, &count).size(), 0u);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Walk(fs, JoinPath(root, "nonexistent"), "*.*", true, &count).size(), 0u);
}

}  // namespace

// A working tree made by hand, with a repository nested in it and a folder
// beside it that is in no working tree.
TEST(FolderWalk, LeavesOutWhatGitIgnoresAndNeverEntersVersionControlFolders) {
    ScratchDir scratch("pw-walk-ignore");
    const std::string top = scratch.path();
    for (const char* folder :
         {"plain", "plain/.hg", "plain/.svn", "plain/.git-not", "repo", "repo/.git", "repo/.git/info",
          "repo/build", "repo/.hg", "repo/inner", "repo/inner/.git", "repo/inner/sub", "home"}) {
        std::string path = JoinPath(top, folder);
        std::replace(path.begin(), path.end(), '/', kPathSeparator);
#ifdef _WIN32
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
#else
        ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
#endif
    }
    const std::pair<const char*, const char*> files[] = {
        {"plain/.gitignore", "*.txt\n"},  // no working tree: no rules
        {"plain/a.txt", "a"},
        {"plain/.hg/h.txt", "h"},
        {"plain/.svn/s.txt", "s"},
        {"plain/.git-not/n.txt", "n"},
        {"repo/.git/info/exclude", "*.ex\n"},
        {"repo/.gitignore", "*.log\nbuild/\n!keep.log\n"},
        {"repo/a.txt", "a"},
        {"repo/b.log", "b"},
        {"repo/keep.log", "k"},
        {"repo/c.ex", "c"},
        {"repo/build/x.txt", "x"},
        {"repo/.hg/h.txt", "h"},
        {"repo/inner/.gitignore", "*.txt\n"},  // its own rules, not the outer ones
        {"repo/inner/d.txt", "d"},
        {"repo/inner/e.log", "e"},
        {"repo/inner/sub/f.txt", "f"},
        {"repo/inner/sub/g.log", "g"},
    };
    for (const auto& file : files) {
        std::string path = JoinPath(top, file.first);
        std::replace(path.begin(), path.end(), '/', kPathSeparator);
        ASSERT_TRUE(WriteWholeFile(path, file.second)) << path;
    }
    const Strings listedWithRules = {"plain/.git-not/n.txt", "plain/.gitignore",     "plain/a.txt",
                                     "repo/.gitignore",      "repo/a.txt",           "repo/inner/.gitignore",
                                     "repo/inner/e.log",     "repo/inner/sub/g.log", "repo/keep.log"};
    const Strings listedWithout = {"plain/.git-not/n.txt", "plain/.gitignore", "plain/a.txt",
                                   "repo/.gitignore",      "repo/a.txt",       "repo/b.log",
                                   "repo/build/x.txt",     "repo/c.ex",        "repo/inner/.gitignore",
                                   "repo/inner/d.txt",     "repo/inner/e.log", "repo/inner/sub/f.txt",
                                   "repo/inner/sub/g.log", "repo/keep.log"};
    struct Case {
        const char* from;
        bool rules;
        Strings expected;
    };
    auto below = [](const Strings& all, const std::string& folder) {
        Strings some;
        for (const std::string& path : all)
            if (path.compare(0, folder.size() + 1, folder + "/") == 0) some.push_back(path);
        return some;
    };
    const Case cases[] = {
        {"", true, listedWithRules},
        {"", false, listedWithout},
        {"repo/inner/sub", true, below(listedWithRules, "repo/inner/sub")},
        {"repo/build", true, {}},  // ignored as a whole
        {"repo/build", false, {"repo/build/x.txt"}},
        {"repo/.git", true, {}},
    };
    for (const Case& c : cases) {
        std::string from = *c.from ? JoinPath(top, c.from) : top;
        std::replace(from.begin(), from.end(), '/', kPathSeparator);
        CGitIgnore rules(NativeFileSystem(), GitUserPlaces{JoinPath(top, "home"), ""});
        Strings walked;
        WalkFolder(
            NativeFileSystem(), from.c_str(), CFileFilter("*"), true,
            [&](const std::string& path) {
                std::string relative = path.substr(top.size() + 1);
                std::replace(relative.begin(), relative.end(), kPathSeparator, '/');
                walked.push_back(relative);
                return true;
            },
            c.rules ? &rules : nullptr);
        std::sort(walked.begin(), walked.end());
        EXPECT_EQ(walked, c.expected) << "from " << c.from << (c.rules ? " with rules" : " without");
    }
}

// Each folder's rules are read once however many walks and questions come:
// paths given one by one (pardwell-cli a b), a folder and its parent.
TEST(FolderWalk, ReadsEachFoldersRulesOnce) {
    class CountingFileSystem : public FaultFileSystem {
    public:
        using FaultFileSystem::FaultFileSystem;
        std::map<std::string, int> opened;
        std::unique_ptr<IFile> OpenRead(const char* path) override {
            ++opened[path];
            return FaultFileSystem::OpenRead(path);
        }
    };
    ScratchDir scratch("pw-walk-once");
    const std::string top = scratch.path();
    auto at = [&](std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', kPathSeparator);
        return JoinPath(top, relative);
    };
    for (const char* folder : {".git", ".git/info", "a", "b", "home"}) {
#ifdef _WIN32
        ASSERT_TRUE(CreateDirectoryA(at(folder).c_str(), nullptr));
#else
        ASSERT_EQ(mkdir(at(folder).c_str(), 0755), 0);
#endif
    }
    for (const char* file : {".gitignore", ".git/info/exclude", "a/.gitignore", "b/.gitignore", "a/x", "b/y"})
        ASSERT_TRUE(WriteWholeFile(at(file), "z\n"));
    CountingFileSystem fs(NativeFileSystem());
    CGitIgnore rules(fs, GitUserPlaces{at("home"), ""});
    int listed = 0;
    for (const char* folder : {"a", "b", ""})
        listed += WalkFolder(
            fs, *folder ? at(folder).c_str() : top.c_str(), CFileFilter("*"), true,
            [](const std::string&) { return true; }, &rules);
    EXPECT_FALSE(rules.IsIgnored(at("a/x"), false));
    EXPECT_EQ(listed, 2 + 2 + 5);  // each walk lists the .gitignore files too
    for (const char* file : {".gitignore", ".git/info/exclude", "a/.gitignore", "b/.gitignore"})
        EXPECT_EQ(fs.opened[at(file)], 1) << file;
}
