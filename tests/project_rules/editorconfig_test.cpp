// EditorConfig: section globs against relative paths, and the properties a
// chain of .editorconfig files gives each file of a real tree.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/editorconfig.h"
#include "core/project_rules.h"
#include "tests/project_rules/tree_files.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(EditorConfigGlob, SectionsMatchAsEditorConfigSays) {
    struct Case {
        const char* glob;
        const char* path;
        bool matches;
    } const cases[] = {
        // Without "/": the name in any folder below.
        {"*", "a.c", true},
        {"*", "sub/deeper/a.c", true},
        {"*.c", "sub/a.c", true},
        {"*.c", "a.h", false},
        {"a.c", "sub/a.c", true},
        {"a.c", "xa.c", false},
        {"*.C", "a.c", false},
        {"?.c", "a.c", true},
        {"?.c", "ab.c", false},
        {"a?c", "a/c", false},
        // With "/": from the file's folder, a leading "/" or not.
        {"sub/*.c", "sub/a.c", true},
        {"sub/*.c", "sub/x/a.c", false},
        {"sub/*.c", "other/sub/a.c", false},
        {"/sub/*.c", "sub/a.c", true},
        {"/a.c", "sub/a.c", false},
        // "**" at the start, in the middle and at the end.
        {"**.c", "sub/x/a.c", true},
        {"**/a.c", "a.c", true},
        {"**/a.c", "x/y/a.c", true},
        {"sub/**/a.c", "sub/a.c", true},
        {"sub/**/a.c", "sub/x/y/a.c", true},
        {"sub/**/a.c", "subx/a.c", false},
        {"sub/**", "sub/x/y.c", true},
        {"sub/**", "other/x.c", false},
        // Classes.
        {"[abc].c", "b.c", true},
        {"[abc].c", "d.c", false},
        {"[!abc].c", "d.c", true},
        {"[!abc].c", "a.c", false},
        {"[a-c].c", "b.c", true},
        {"[a-c].c", "d.c", false},
        {"[a/b]c", "[a/b]c", true},
        {"[ab", "[ab", true},
        // Braces: lists, nesting, numbers, and the literal cases.
        {"*.{c,h}", "a.h", true},
        {"*.{c,h}", "a.ch", false},
        {"{a,{b,c}d}.c", "cd.c", true},
        {"{a,{b,c}d}.c", "c.c", false},
        {"{a,}x", "x", true},
        {"{1..3}.txt", "2.txt", true},
        {"{1..3}.txt", "4.txt", false},
        {"{-3..-1}.txt", "-2.txt", true},
        {"{-3..-1}.txt", "0.txt", false},
        {"a{1..12}", "a10", true},
        {"a{1..12}", "a13", false},
        {"{single}.c", "{single}.c", true},
        {"{single}.c", "single.c", false},
        {"{a,b", "{a,b", true},
        // Escapes.
        {"\\*.c", "*.c", true},
        {"\\*.c", "a.c", false},
        {"\\{a,b\\}.c", "{a,b}.c", true},
        {"\\{a,b\\}.c", "a.c", false},
        {"a\\#b", "a#b", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EditorConfigSectionMatches(c.glob, c.path), c.matches) << c.glob << " on " << c.path;
}

using Properties = std::vector<std::pair<std::string, std::string>>;

TEST(EditorConfigChain, PrecedenceRootAndUnset) {
    ScratchDir scratch("pardwell-ec-");
    ASSERT_FALSE(scratch.path().empty());
    // The top file is a root, so nothing above the scratch folder counts.
    ASSERT_TRUE(
        MakeTree(scratch.path(),
                 {
                     {".editorconfig",
                      "root = true\n[*]\nend_of_line = crlf\nindent_style = tab\ncharset = utf-8\n"
                      "# a comment\n; another\n[*.md] # not read\ntrim_trailing_whitespace = false\n"},
                     {"a/.editorconfig",
                      "[*]\r\nEND_OF_LINE = LF\r\nCustom_Key = KeepCase\r\n[*.txt]\r\nend_of_line = UNSET\r\n"
                      "[/x/*.c]\r\ninsert_final_newline = TRUE\r\n[*.py]\r\nindent_style = space\r\n"
                      "indent_size = 4\r\n"},
                     {"a/b/.editorconfig", "root = TRUE\n[*.c]\nindent_size = 2\n"},
                     {"a/b/c/.editorconfig", "[*.c]\nend_of_line = cr\n"},
                     {"a/u/.editorconfig", "[*]\nend_of_line = unset\n[*.c]\nend_of_line = crlf\n"},
                 }));
    struct Case {
        const char* file;
        Properties expected;
    } const cases[] = {
        {"f.c",
         {{"end_of_line", "crlf"}, {"indent_style", "tab"}, {"charset", "utf-8"}, {"indent_size", "tab"}}},
        {"r.md",
         {{"end_of_line", "crlf"},
          {"indent_style", "tab"},
          {"charset", "utf-8"},
          {"trim_trailing_whitespace", "false"},
          {"indent_size", "tab"}}},
        // A closer file replaces a value in its place; unset takes it away.
        {"a/f.c",
         {{"end_of_line", "lf"},
          {"indent_style", "tab"},
          {"charset", "utf-8"},
          {"custom_key", "KeepCase"},
          {"indent_size", "tab"}}},
        {"a/f.txt",
         {{"indent_style", "tab"}, {"charset", "utf-8"}, {"custom_key", "KeepCase"}, {"indent_size", "tab"}}},
        {"a/x/g.c",
         {{"end_of_line", "lf"},
          {"indent_style", "tab"},
          {"charset", "utf-8"},
          {"custom_key", "KeepCase"},
          {"insert_final_newline", "true"},
          {"indent_size", "tab"}}},
        {"a/y/x/g.c",
         {{"end_of_line", "lf"},
          {"indent_style", "tab"},
          {"charset", "utf-8"},
          {"custom_key", "KeepCase"},
          {"indent_size", "tab"}}},
        {"a/s.py",
         {{"end_of_line", "lf"},
          {"indent_style", "space"},
          {"charset", "utf-8"},
          {"custom_key", "KeepCase"},
          {"indent_size", "4"},
          {"tab_width", "4"}}},
        // A root in the middle of the chain: nothing above it is read.
        {"a/b/f.c", {{"indent_size", "2"}, {"tab_width", "2"}}},
        {"a/b/f.txt", {}},
        {"a/b/c/f.c", {{"indent_size", "2"}, {"end_of_line", "cr"}, {"tab_width", "2"}}},
        // Set again after unset: back in its first place.
        {"a/u/f.c",
         {{"end_of_line", "crlf"},
          {"indent_style", "tab"},
          {"charset", "utf-8"},
          {"custom_key", "KeepCase"},
          {"indent_size", "tab"}}},
    };
    CEditorConfigReader reader(NativeFileSystem());
    for (const Case& c : cases) {
        const std::string path = TreePath(scratch.path(), c.file);
        EXPECT_EQ(reader.Properties(path), c.expected) << c.file;
        // The same from a fresh read, as pardwell-cli makes it.
        EXPECT_EQ(ReadEditorConfig(NativeFileSystem(), path), c.expected) << c.file;
    }
}

}  // namespace
