// Git's wildmatch on the cases that the generated trees of the ignore and
// attributes tests cannot reach with file names: each rule of the glob in
// both modes, with and without case folding, how a rule with a '/' meets a
// path, and the fixed length that the ignore rules precompute.
#include "core/git_wildmatch.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kPath = kWildPathname;
constexpr unsigned kFold = kWildCaseFold;
constexpr unsigned kPathFold = kWildPathname | kWildCaseFold;
constexpr unsigned kRule = 0x100;  // through GitPathPatternMatch, as a rule with a '/' meets a path

bool Matches(const char* pattern, const char* text, unsigned flags) {
    if (flags & kRule) return GitPathPatternMatch(pattern, text, (flags & kWildCaseFold) != 0);
    return GitWildMatch(pattern, text, flags);
}

TEST(GitWildMatch, Table) {
    struct Case {
        const char* pattern;
        const char* text;
        unsigned flags;
        bool matches;
    } const cases[] = {
        // "**" between slashes or at an end spans folders, elsewhere it is one '*'.
        {"a/**/b", "a/b", kPath, true},
        {"a/**/b", "a/x/y/b", kPath, true},
        {"a/**b", "a/x/yb", kPath, false},
        {"**/b", "b", kPath, true},
        {"**/b", "x/y/b", kPath, true},
        {"a/**", "a/x/y", kPath, true},
        {"x/**/", "x/y/", kPath, true},
        {"**.c", "x/y.c", kPath, false},
        {"a**b", "axyb", kPath, true},
        {"a**b", "ax/b", kPath, false},
        {"a/**\\/b", "a/x/y/b", kPath, true},  // a quoted '/' after "**" counts, as Git has it
        {"a/**\\/b", "a/x/b", kPath, true},
        // '*', '?' and classes stay within one name in pathname mode only.
        {"a/*", "a/x/y", kPath, false},
        {"*.c", "x/y.c", kPath, false},
        {"*/b", "a/b", kPath, true},
        {"*/b", "b", kPath, false},
        {"a*c", "ab/c", kPath, false},
        {"a?b", "a/b", kPath, false},
        {"a[/]b", "a/b", kPath, false},
        {"a[!x]b", "a/b", kPath, false},
        {"a*c", "ab/c", 0, true},
        {"a?b", "a/b", 0, true},
        {"a[/]b", "a/b", 0, true},
        {"a**b", "ax/b", 0, true},
        // '*' before a plain character, found again further on.
        {"*.txt", "a.txt.txt", kPath, true},
        {"*x*y", "axbxcy", kPath, true},
        {"*x*y", "axbxcz", kPath, false},
        {"a*b/c", "axxbyb/c", kPath, true},
        {"**/*.cpp", "src/a/b.cpp", kPath, true},
        {"**/*.cpp", "src/a.cpp/b.h", kPath, false},
        // Classes: '!' and '^', ']' first, '-' at either end, ranges after
        // ranges, [:name:] and a "[:" without ":]", quoting inside.
        {"[]a]", "]", kPath, true},
        {"[!]a]", "b", kPath, true},
        {"[^a]", "a", kPath, false},
        {"[a-]", "-", kPath, true},
        {"[-a]", "-", kPath, true},
        {"[a-c-e]", "d", kPath, false},
        {"[a-c-e]", "-", kPath, true},
        {"[[:digit:]x]", "5", kPath, true},
        {"[[:digit:]x]", "x", kPath, true},
        {"[[:alpha:]][[:punct:]]", "a.", kPath, true},
        {"[[:space:]]", "\t", kPath, true},
        {"[[:x]", ":", kPath, true},
        {"[[:x]", "[", kPath, true},
        {"[\\]]", "]", kPath, true},
        {"[a\\-c]", "b", kPath, false},
        // Malformed: an unknown class, a set never closed, a '\' at the end.
        {"[[:nope:]]", "n", kPath, false},
        {"[a-c", "a", kPath, false},
        {"*[a-c", "xa", kPath, false},
        {"[]", "]", kPath, false},
        {"ab\\", "ab\\", kPath, false},
        // Quoting.
        {"\\*", "*", kPath, true},
        {"\\*", "x", kPath, false},
        {"\\[x]", "[x]", kPath, true},
        {"q\\?", "qx", kPath, false},
        // Case folding: letters either way, ranges and the case classes too.
        {"ABC", "abc", kPath, false},
        {"ABC", "abc", kPathFold, true},
        {"*.TXT", "x.txt", kPathFold, true},
        {"*X*Y", "axbxcy", kPathFold, true},
        {"[a-z]", "Q", kPath, false},
        {"[a-z]", "Q", kPathFold, true},
        {"[A-Z]", "q", kPathFold, true},
        {"[[:lower:]]", "A", kPath, false},
        {"[[:lower:]]", "A", kPathFold, true},
        {"[[:upper:]]", "a", kFold, true},
        {"[!a-c]", "B", kPathFold, false},
        // A rule's plain beginning is compared first, the rest is a glob of
        // its own: Git's answers, check-ignore and check-attr alike.
        {"a**/b", "ax/y/b", kRule, true},
        {"a**/b", "a/b", kRule, true},
        {"x/a**/b", "x/ab/c/b", kRule, true},
        {"q/r**", "q/rs/t/u", kRule, true},
        {"a*/b", "ax/y/b", kRule, false},
        {"a**b", "ax/b", kRule, false},
        {"a/**/b", "a/x/y/b", kRule, true},
        {"a/b", "a/bc", kRule, false},
        {"A/**", "a/x", kRule, false},
        {"A/**", "a/x", kRule | kFold, true},
        {"[a]/B", "a/b", kRule | kFold, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Matches(c.pattern, c.text, c.flags), c.matches)
            << c.pattern << " on " << c.text << " with flags " << c.flags;
}

TEST(GitWildMatch, FixedLength) {
    struct Case {
        const char* pattern;
        int length;
    } const cases[] = {
        {"", 0},      {"abc", 3},  {"a?[bc]", 3}, {"\\*x", 2},         {"[[:digit:]]x", 2},
        {"[]a]-", 2}, {"[a-", -1}, {"ab\\", -1},  {"[[:bogus:]]", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(GitWildFixedLength(c.pattern), c.length) << c.pattern;
}

}  // namespace
