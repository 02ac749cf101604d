// A working tree's top and its repository's common folder, on real folders:
// a ".git" folder, a ".git" file naming the repository in either form, and
// a linked working tree whose "commondir" leads on to the shared one.
#include "core/git_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "core/folder_walk.h"
#include "tests/project_rules/tree_files.h"
#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

namespace {

// "<root>" in a file's content stands for the scratch folder's path.
std::string WithRoot(std::string text, const std::string& root) {
    const std::string mark = "<root>";
    for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, mark.size(), root);
    return text;
}

TEST(GitTree, FindsTheCommonFolderAsGitDoes) {
    struct Case {
        const char* name;
        TreeFiles tree;      // the working tree is "w"; each repository folder holds a "which" file
        const char* common;  // the "which" of the folder found; empty: none
    };
    const Case cases[] = {
        {"a .git folder", {{"w/.git/which", "w"}}, "w"},
        {"a .git file, relative", {{"w/.git", "gitdir: ../r/.git\n"}, {"r/.git/which", "r"}}, "r"},
        {"a .git file with CR LF", {{"w/.git", "gitdir: ../r/.git\r\n"}, {"r/.git/which", "r"}}, "r"},
        {"a .git file, absolute", {{"w/.git", "gitdir: <root>/r/.git"}, {"r/.git/which", "r"}}, "r"},
        {"a linked working tree",
         {{"w/.git", "gitdir: ../r/.git/worktrees/w\n"},
          {"r/.git/worktrees/w/commondir", "../..\n"},
          {"r/.git/worktrees/w/which", "w only"},
          {"r/.git/which", "r"}},
         "r"},
        {"commondir absolute",
         {{"w/.git", "gitdir: ../r/.git/worktrees/w\n"},
          {"r/.git/worktrees/w/commondir", "<root>/r/.git\n"},
          {"r/.git/which", "r"}},
         "r"},
        {"no \"gitdir: \" as Git wants it", {{"w/.git", "gitdir:../r/.git\n"}, {"r/.git/which", "r"}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch("pardwell-gittree-");
        TreeFiles tree;
        for (const auto& entry : c.tree)
            tree.push_back({entry.first, WithRoot(entry.second, scratch.path())});
        ASSERT_TRUE(MakeTree(scratch.path(), tree));
        const std::string top = TreePath(scratch.path(), "w");
        EXPECT_TRUE(IsGitTreeTop(NativeFileSystem(), top));
        const std::string common = GitCommonDir(NativeFileSystem(), top);
        EXPECT_EQ(ReadWholeFile(JoinPath(common, "which")), c.common) << common;
    }
    ScratchDir scratch("pardwell-gittree-");
    ASSERT_TRUE(MakeTree(scratch.path(), {{"w/git/x", ""}, {"w/.gitignore", ""}}));
    EXPECT_FALSE(IsGitTreeTop(NativeFileSystem(), TreePath(scratch.path(), "w")));
}

}  // namespace
