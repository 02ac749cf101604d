// Each file's rule from its project: .editorconfig's end_of_line and
// insert_final_newline, .gitattributes' eol, binary and -text, and which
// wins where both speak.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/project_rules.h"
#include "tests/project_rules/tree_files.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(ProjectRules, EachFileGetsItsProjectsRule) {
    ScratchDir scratch("pardwell-rules-");
    ASSERT_FALSE(scratch.path().empty());
    ASSERT_TRUE(MakeTree(
        scratch.path(),
        {
            {"other/.editorconfig", "root = true\n"},
            {"repo/.git/info/attributes", "*.bat eol=crlf\n"},
            {"repo/.editorconfig",
             "root = true\n[*]\nend_of_line = lf\ninsert_final_newline = true\n"
             "[*.cr]\nend_of_line = cr\n[*.none]\nend_of_line = unset\n"
             "[*.odd]\nend_of_line = native\n[*.keep]\ninsert_final_newline = false\n"},
            {"repo/.gitattributes",
             "*.sh eol=lf\n*.bat eol=lf\n*.png binary\n*.dat -text\n*.auto text=auto\n"
             "*.crlf text eol=crlf\n*.cr text\n*.none eol=cr\n[attr]flat -text\n*.flat flat\n"},
            {"repo/sub/.gitattributes", "*.txt -text\n[attr]mine -text\n*.m mine\n*.dat text eol=crlf\n"},
        }));
    struct Case {
        const char* file;
        ProjectVerdict verdict;
        LineEndingFormat target;
        bool finalNewline;
    } const cases[] = {
        {"repo/a.txt", ProjectVerdict::Target, LineEndingFormat::Unix, true},      // .editorconfig alone
        {"repo/w.crlf", ProjectVerdict::Target, LineEndingFormat::Windows, true},  // .gitattributes wins
        {"repo/x.bat", ProjectVerdict::Target, LineEndingFormat::Windows, true},   // info/attributes wins
        {"repo/p.png", ProjectVerdict::Binary, LineEndingFormat::Unix, false},
        {"repo/d.dat", ProjectVerdict::Binary, LineEndingFormat::Unix, false},
        {"repo/f.flat", ProjectVerdict::Binary, LineEndingFormat::Unix, false},    // a macro setting -text
        {"repo/t.auto", ProjectVerdict::Target, LineEndingFormat::Unix, true},     // text=auto: no target
        {"repo/m.cr", ProjectVerdict::Target, LineEndingFormat::Macintosh, true},  // text: no target
        {"repo/n.none", ProjectVerdict::NoRule, LineEndingFormat::Unix, false},    // eol=cr is no Git value
        {"repo/o.odd", ProjectVerdict::NoRule, LineEndingFormat::Unix, false},
        {"repo/k.keep", ProjectVerdict::Target, LineEndingFormat::Unix, false},
        {"repo/sub/a.txt", ProjectVerdict::Binary, LineEndingFormat::Unix, false},  // deeper file wins
        {"repo/sub/d.dat", ProjectVerdict::Target, LineEndingFormat::Windows, true},
        {"repo/sub/x.m", ProjectVerdict::Target, LineEndingFormat::Unix, true},  // macro only at the root
        {"other/a.txt", ProjectVerdict::NoRule, LineEndingFormat::Unix, false},
    };
    CProjectRules rules(NativeFileSystem());
    auto check = [&](const Case& c) {
        const ProjectRule rule = rules.RuleFor(TreePath(scratch.path(), c.file));
        EXPECT_EQ(rule.verdict, c.verdict) << c.file;
        EXPECT_EQ(rule.target, c.target) << c.file;
        EXPECT_EQ(rule.insertFinalNewline, c.finalNewline) << c.file;
    };
    for (const Case& c : cases) check(c);
    // Asked again from several threads at once, with the files kept.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (const Case& c : cases) check(c);
        });
    for (std::thread& t : threads) t.join();
}

}  // namespace
