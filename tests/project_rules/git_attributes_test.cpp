// .gitattributes against Git itself: generated trees of attribute files
// (every folder level, .git/info/attributes, macros where Git takes them
// and where it does not, quoted and negative patterns, invalid names), and
// every file's attributes compared with what "git check-attr" says.

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/git_attributes.h"
#include "tests/cli/run_program.h"
#include "tests/project_rules/tree_files.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* const kFolders[] = {"", "a/", "a/b/", "c/", "a/b/d/"};
const char* const kNames[] = {"f.txt", "g.c", "a.c",      "Makefile", "read me.md", "x.bin",
                              "b.txt", "foo", "data.dat", "[x].txt",  "h.H"};
const char* const kPatterns[] = {
    "*",
    "*.txt",
    "*.c",
    "f*",
    "?.c",
    "[a-g].c",
    "[!a]*",
    "[^g]*.c",
    "a/*",
    "a/**",
    "**/b.txt",
    "a/**/g.c",
    "/g.c",
    "b/*.c",
    "**/d/*",
    "*.[ch]",
    "foo",
    "Makefile",
    "\"read me.md\"",
    "x.*",
    "a/b/",
    "**",
    "[[:alpha:]]*.txt",
    "\\[x\\].txt",
    "!*.c",
    "*/b.txt",
    "d/**",
    "a/b/d/*.txt",
    "*.[[:upper:]]",
    "\"\\146oo\"",
    "\"f*",
    "\"b\\q\"",
    "**/*.dat",
    "b",
    "*.TXT",
    "a*/g.c",
    "**/a/**/f.txt",
    "a**/g.c",
    "/a**",
};
const char* const kTokens[] = {"text", "-text",  "!text",   "text=auto", "eol=lf", "eol=crlf",   "-eol",
                               "!eol", "binary", "-binary", "diff",      "-diff",  "merge=ours", "m1",
                               "-m1",  "m2",     "foo=bar", "m3",        "!m2",    "eol=cr",     "bad@name"};
const char* const kMacros[] = {"[attr]m1 -text eol=crlf", "[attr]m1 text eol=lf",    "[attr]m2 m1 diff",
                               "[attr]m2 -m1 foo=baz",    "[attr]binary text -diff", "[attr]m3 binary eol=lf",
                               "[attr]m3 !text"};
const std::vector<std::string> kAttributes = {"text", "eol", "binary", "diff", "merge",
                                              "m1",   "m2",  "m3",     "foo"};

template <size_t N>
const char* Pick(std::mt19937& rng, const char* const (&pool)[N]) {
    return pool[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

std::string AttributesFile(std::mt19937& rng, bool macros) {
    std::string text;
    const int lines = std::uniform_int_distribution<int>(2, 9)(rng);
    for (int i = 0; i < lines; ++i) {
        if (macros || rng() % 4 == 0) {
            if (rng() % 3 == 0) text += std::string(Pick(rng, kMacros)) + "\n";
        }
        if (rng() % 8 == 0) text += "# a comment\n";
        text += std::string(rng() % 5 == 0 ? "  " : "") + Pick(rng, kPatterns);
        const int tokens = std::uniform_int_distribution<int>(1, 3)(rng);
        for (int t = 0; t < tokens; ++t) text += std::string(rng() % 2 ? " " : "\t") + Pick(rng, kTokens);
        text += rng() % 4 == 0 ? "\r\n" : "\n";
    }
    return text;
}

std::string GitWords(const GitAttrValue& v) {
    switch (v.state) {
        case GitAttrState::Set:
            return "set";
        case GitAttrState::Unset:
            return "unset";
        case GitAttrState::Value:
            return v.value;
        default:
            return "unspecified";
    }
}

// Git as found on PATH, which RunProgram does not search; empty if none.
std::string GitProgram() {
    const char* path = getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/git";
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::string();
}

class GitAttributesDiff : public ::testing::Test {
protected:
    void SetUp() override {
        // Only the tree's own files: no system or global attributes.
        setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
        setenv("HOME", m_home.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", m_home.path().c_str(), 1);
        m_git = GitProgram();
        if (m_git.empty()) GTEST_SKIP() << "no git on PATH";
    }
    std::string m_git;
    ScratchDir m_home{"pardwell-githome-"};
};

TEST_F(GitAttributesDiff, GeneratedTreesMatchGitCheckAttr) {
    std::mt19937 rng(20261209);
    size_t compared = 0;
    for (int tree = 0; tree < 40; ++tree) {
        SCOPED_TRACE("tree " + std::to_string(tree));
        ScratchDir scratch("pardwell-gitattr-");
        const std::string root = scratch.path();
        ASSERT_EQ(RunProgram({m_git, "init", "-q", root}).status, 0);
        TreeFiles layout;
        std::vector<std::string> files;
        std::string listing;
        for (const char* folder : kFolders) {
            if (*folder == '\0' || rng() % 5 != 0) {
                const bool atRoot = *folder == '\0';
                layout.push_back({std::string(folder) + ".gitattributes", AttributesFile(rng, atRoot)});
            }
            for (const char* name : kNames) {
                if (rng() % 3 == 0) continue;
                files.push_back(std::string(folder) + name);
                layout.push_back({files.back(), "x\n"});
            }
        }
        if (rng() % 4 != 0) layout.push_back({".git/info/attributes", AttributesFile(rng, true)});
        ASSERT_TRUE(MakeTree(root, layout));

        std::vector<std::string> args = {m_git, "check-attr", "-z"};
        args.insert(args.end(), kAttributes.begin(), kAttributes.end());
        args.push_back("--");
        args.insert(args.end(), files.begin(), files.end());
        const ProgramRun run = RunProgram(args, root);
        ASSERT_EQ(run.status, 0) << run.err;
        // "path NUL attribute NUL value NUL" for every pair.
        std::map<std::string, std::map<std::string, std::string>> git;
        std::vector<std::string> fields;
        for (size_t start = 0, end; (end = run.out.find('\0', start)) != std::string::npos; start = end + 1)
            fields.push_back(run.out.substr(start, end - start));
        ASSERT_EQ(fields.size(), files.size() * kAttributes.size() * 3);
        for (size_t i = 0; i + 2 < fields.size(); i += 3) git[fields[i]][fields[i + 1]] = fields[i + 2];

        CGitAttributes attributes(NativeFileSystem());
        for (const std::string& file : files) {
            const std::vector<GitAttrValue> ours = attributes.Lookup(TreePath(root, file), kAttributes);
            for (size_t k = 0; k < kAttributes.size(); ++k) {
                EXPECT_EQ(GitWords(ours[k]), git[file][kAttributes[k]])
                    << file << " " << kAttributes[k] << "\n"
                    << [&] {
                           std::string all;
                           for (const auto& entry : layout)
                               if (entry.first.find("attributes") != std::string::npos)
                                   all += "--- " + entry.first + "\n" + entry.second;
                           return all;
                       }();
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 4000u);
}

}  // namespace
