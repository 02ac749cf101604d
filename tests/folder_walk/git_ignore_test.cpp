// Git's own answers against ours: generated working trees and ignore files,
// every path asked of `git check-ignore` and of CGitIgnore, and every walk
// compared with the files Git does not ignore.
#include "core/git_ignore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "core/folder_walk.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

using Paths = std::set<std::string>;

// Names chosen to meet the patterns below: escapes, classes, spaces at the
// end, '!' and '#' at the start, names that are folders in one place and
// files in another.
// clang-format off
const std::vector<std::string> kFileNames = {
    "a.c", "keep.c", "b.h", "c.h", "x.txt", "x.TXT", "foo", "Foo", "log.1", "log.12", "tail ", "tail", "#hash",
    "!bang", "*star", "[x].txt", "deep", "ab", "a-b", "root-only", "9lives", "q?", "abc", "b"};
const std::vector<std::string> kFolderNames = {"a", "b", "build", "doc", "sub", "deep", "x", "foo", "c d", "[br]"};

// Every rule: negation, folders only, anchoring by a leading or inner '/',
// "**" at the start, middle and end (and "**" elsewhere, a plain '*'),
// classes and ranges, escapes, trailing spaces, comments, malformed sets.
const std::vector<std::string> kPatterns = {
    "*.c", "!keep.c", "build/", "/root-only", "doc/*.txt", "**/deep", "a/**/b", "x/**", "a**b", "[a-c]*.h",
    "[!a]*.h", "[[:digit:]]*", "log.[0-9]", "log.??", "\\#hash", "#hash", "\\!bang", "!bang", "tail\\ ", "tail ",
    "foo/", "\\*star", "sub/", "!sub/keep.c", "!sub/", "*/x.txt", "Foo", "[^x]*.txt", "[]x]*", "[a-]*", "ab[",
    "[[:bogus:]]*", "/a/deep", "deep/**", "**/b/*.h", "!*.h", "*", "!*/", "!foo", "b", "/sub/*", "**/", "doc/",
    "!doc/x.txt", "c d/", "\\[br]/", "[[]x].txt", "q\\?", "x.txt", "*.TXT", "a/b/", "**/a/**", "a?c", "!/build/",
    "[[:alpha:]][[:punct:]]*", "[a-c-e]*", "*.[ch]", "**/x/**/b", "deep/", "!deep", "/*", "a/", "**", "x", "  ",
    "ab\\", "[:]x", "[[:space:]]*", "*.??", "*[0-9]", "*\\*star", "?[!.]?", "\\[x].txt", "a**/b", "/b**",
    "a/**\\/b"};
// clang-format on

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

struct Tree {
    std::vector<std::string> files;    // relative, '/'-separated
    std::vector<std::string> folders;  // relative, without the top
};

std::string Pick(std::mt19937& random, const std::vector<std::string>& pool) {
    return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(random)];
}

std::string IgnoreText(std::mt19937& random, int lines) {
    // A byte-order mark and CR LF breaks now and then, as editors write them.
    const bool crlf = random() % 4 == 0;
    std::string text = random() % 5 == 0 ? "\xEF\xBB\xBF" : "";
    for (int i = 0; i < lines; ++i) text += Pick(random, kPatterns) + (crlf ? "\r\n" : "\n");
    return text;
}

void MakeFolder(std::mt19937& random, const std::string& top, const std::string& relative, int depth,
                Tree* tree) {
    const std::string here = relative.empty() ? top : top + "/" + relative;
    std::set<std::string> used;
    const int files = 2 + static_cast<int>(random() % 4);
    for (int i = 0; i < files; ++i) {
        const std::string name = Pick(random, kFileNames);
        if (!used.insert(name).second) continue;
        WriteWholeFile(here + "/" + name, "x\n");
        tree->files.push_back(relative.empty() ? name : relative + "/" + name);
    }
    if (random() % 2 == 0) {
        WriteWholeFile(here + "/.gitignore", IgnoreText(random, 2 + random() % 6));
        tree->files.push_back(relative.empty() ? ".gitignore" : relative + "/.gitignore");
    }
    if (depth == 3) return;
    const int folders = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < folders; ++i) {
        const std::string name = Pick(random, kFolderNames);
        if (!used.insert(name).second) continue;
        const std::string sub = relative.empty() ? name : relative + "/" + name;
        mkdir((top + "/" + sub).c_str(), 0755);
        tree->folders.push_back(sub);
        MakeFolder(random, top, sub, depth + 1, tree);
    }
}

// What `git check-ignore` says of each path.
Paths GitIgnored(const std::string& repo, const std::string& scratch, const Tree& tree) {
    std::string input;
    for (const auto* list : {&tree.files, &tree.folders})
        for (const std::string& path : *list) input += path + '\0';
    const std::string in = scratch + "/paths.in";
    const std::string out = scratch + "/paths.out";
    WriteWholeFile(in, input);
    // Status 1 only says that nothing was ignored.
    std::system(("git -C " + Quoted(repo) + " check-ignore --no-index -z --stdin < " + Quoted(in) + " > " +
                 Quoted(out))
                    .c_str());
    Paths ignored;
    const std::string output = ReadWholeFile(out);
    for (size_t at = 0; at < output.size();) {
        const size_t end = output.find('\0', at);
        ignored.insert(output.substr(at, end - at));
        at = end + 1;
    }
    return ignored;
}

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (m_had) m_old = old;
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(GitIgnore, AgreesWithGitOnGeneratedTrees) {
    ASSERT_TRUE(Shell("git --version > /dev/null")) << "git is needed: tools/bootstrap installs it";
    int compared = 0;
    int ignoredSeen = 0;
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        ScratchDir scratch("pw-gitignore");
        const std::string home = scratch.Path("home");
        const std::string repo = scratch.Path("repo");
        mkdir(home.c_str(), 0755);
        ASSERT_TRUE(Shell("git init -q " + Quoted(repo)));
        // The user's excludes file: named in ~/.gitconfig, at XDG_CONFIG_HOME's
        // default place, or in a folder XDG_CONFIG_HOME names.
        GitUserPlaces places{home, ""};
        std::string globalFile;
        switch (seed % 3) {
            case 0:
                WriteWholeFile(home + "/.gitconfig",
                               "[user]\n\tname = x\n[core]\n\texcludesFile = ~/my ignores\n");
                globalFile = home + "/my ignores";
                break;
            case 1:
                mkdir((home + "/.config").c_str(), 0755);
                mkdir((home + "/.config/git").c_str(), 0755);
                globalFile = home + "/.config/git/ignore";
                break;
            default:
                places.xdgConfigHome = scratch.Path("xdg");
                mkdir(places.xdgConfigHome.c_str(), 0755);
                mkdir((places.xdgConfigHome + "/git").c_str(), 0755);
                globalFile = places.xdgConfigHome + "/git/ignore";
                break;
        }
        WriteWholeFile(globalFile, IgnoreText(random, static_cast<int>(random() % 4)));
        WriteWholeFile(repo + "/.git/info/exclude", IgnoreText(random, static_cast<int>(random() % 4)));
        // Every fourth repository folds case, as Git sets one up on Windows.
        if (seed % 4 == 0) {
            ASSERT_TRUE(Shell("git -C " + Quoted(repo) + " config core.ignoreCase true"));
        }
        Tree tree;
        MakeFolder(random, repo, "", 0, &tree);

        ScopedEnvironment homeVariable("HOME", home);
        ScopedEnvironment xdgVariable("XDG_CONFIG_HOME", places.xdgConfigHome);
        ScopedEnvironment noSystem("GIT_CONFIG_NOSYSTEM", "1");
        const Paths git = GitIgnored(repo, scratch.path(), tree);
        ignoredSeen += static_cast<int>(git.size());

        CGitIgnore ours(NativeFileSystem(), places);
        for (const auto* list : {&tree.files, &tree.folders})
            for (const std::string& path : *list) {
                const bool folder = list == &tree.folders;
                EXPECT_EQ(ours.IsIgnored(repo + "/" + path, folder), git.count(path) == 1)
                    << path << (folder ? "/" : "") << "\n.gitignore files and excludes:\n"
                    << ReadWholeFile(repo + "/.gitignore") << "--\n"
                    << ReadWholeFile(repo + "/.git/info/exclude") << "--\n"
                    << ReadWholeFile(globalFile);
                ++compared;
            }

        // The walk, from the top and from each folder, lists exactly the
        // files Git does not ignore below it.
        std::vector<std::string> starts = tree.folders;
        starts.push_back("");
        for (const std::string& start : starts) {
            const std::string from = start.empty() ? repo : repo + "/" + start;
            Paths expected;
            for (const std::string& file : tree.files)
                if (!git.count(file) &&
                    (start.empty() || file.compare(0, start.size() + 1, start + "/") == 0))
                    expected.insert(file);
            Paths walked;
            CGitIgnore rules(NativeFileSystem(), places);
            WalkFolder(
                NativeFileSystem(), from.c_str(), CFileFilter("*"), true,
                [&](const std::string& path) { return walked.insert(path.substr(repo.size() + 1)).second; },
                &rules);
            EXPECT_EQ(walked, expected) << "walked from " << (start.empty() ? "the top" : start);
        }
    }
    // The trees must have exercised both answers.
    EXPECT_GT(compared, 1000);
    EXPECT_GT(ignoredSeen, compared / 5);
    EXPECT_LT(ignoredSeen, compared * 4 / 5);
}

}  // namespace

namespace {

// Where core.excludesFile comes from, Git's answer against ours: the user's
// two config files, the repository's, sections, quotes, comments, escapes.
TEST(GitIgnore, FindsTheExcludesFileWhereGitDoes) {
    struct Case {
        const char* name;
        const char* xdgConfig;   // $XDG_CONFIG_HOME/git/config
        const char* userConfig;  // ~/.gitconfig
        const char* repoConfig;  // appended to .git/config
        const char* ignored;     // the one file Git ignores
    };
    const Case cases[] = {
        {"plain", "", "[core]\n\texcludesFile = ~/one\n", "", "one.txt"},
        {"quoted, comment, key case", "", "[core]\n  ExcludesFile = \"~/two\" ; said\n", "", "two.txt"},
        {"a subsection is another section", "", "[core \"x\"]\n\texcludesfile = ~/one\n", "", "default.txt"},
        {"~/.gitconfig over the XDG one", "[core]\nexcludesfile=~/one\n", "[core]\nexcludesfile=~/two\n", "",
         "two.txt"},
        {"the repository's over the user's", "", "[core]\n\texcludesfile = ~/one\n",
         "[core]\n\texcludesfile = ~/two\n", "two.txt"},
        {"a line joined by '\\'", "", "[core]\n\texcludesfile = ~/o\\\nne\n", "", "one.txt"},
        {"section case, comment after quotes", "", "[Core]\n\texcludesFile = \"~/one\" # c\n", "", "one.txt"},
        {"the last of two", "", "[core]\n\texcludesfile = ~/one\n\texcludesfile = ~/two\n", "", "two.txt"},
        {"commented out", "", "# [core]\n; excludesfile = ~/one\n", "", "default.txt"},
        {"the XDG one alone", "[core]\n\texcludesfile = ~/one\n", "", "", "one.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch("pw-gitconfig");
        const std::string home = scratch.Path("home");
        const std::string xdg = scratch.Path("xdg");
        const std::string repo = scratch.Path("repo");
        ASSERT_TRUE(Shell("git init -q " + Quoted(repo)));
        for (const std::string& folder : {home, xdg, xdg + "/git"}) mkdir(folder.c_str(), 0755);
        WriteWholeFile(home + "/one", "one.txt\n");
        WriteWholeFile(home + "/two", "two.txt\n");
        WriteWholeFile(xdg + "/git/ignore", "default.txt\n");
        if (*c.xdgConfig) WriteWholeFile(xdg + "/git/config", c.xdgConfig);
        if (*c.userConfig) WriteWholeFile(home + "/.gitconfig", c.userConfig);
        WriteWholeFile(repo + "/.git/config", ReadWholeFile(repo + "/.git/config") + c.repoConfig);
        Tree tree;
        for (const char* file : {"one.txt", "two.txt", "default.txt"}) {
            WriteWholeFile(repo + "/" + file, "x\n");
            tree.files.push_back(file);
        }
        ScopedEnvironment homeVariable("HOME", home);
        ScopedEnvironment xdgVariable("XDG_CONFIG_HOME", xdg);
        ScopedEnvironment noSystem("GIT_CONFIG_NOSYSTEM", "1");
        const Paths git = GitIgnored(repo, scratch.path(), tree);
        EXPECT_EQ(git, Paths{c.ignored}) << "Git itself";
        CGitIgnore ours(NativeFileSystem(), GitUserPlaces{home, xdg});
        Paths ignored;
        for (const std::string& file : tree.files)
            if (ours.IsIgnored(repo + "/" + file, false)) ignored.insert(file);
        EXPECT_EQ(ignored, git);
    }
}

}  // namespace
