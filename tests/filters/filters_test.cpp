#include "core/filters.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/filters/wildcard_oracle.h"

namespace {

void AllStrings(const std::string& alphabet, size_t maxLength, std::vector<std::string>& out) {
    out.assign(1, std::string());
    for (size_t begin = 0, length = 1; length <= maxLength; ++length) {
        size_t end = out.size();
        for (size_t i = begin; i < end; ++i)
            for (char c : alphabet) out.push_back(out[i] + c);
        begin = end;
    }
}

TEST(MatchWildcard, AgreesWithRecursiveRulesOnEveryShortPattern) {
    std::vector<std::string> patterns, texts;
    AllStrings(std::string("aB*?[]!-`.\x1A", 11), 4, patterns);
    AllStrings("aAb.-]", 3, texts);
    size_t mismatches = 0;
    for (const std::string& p : patterns)
        for (const std::string& t : texts)
            if (MatchWildcard(p.c_str(), t.c_str()) != WildcardOracle(p.c_str(), t.c_str()) &&
                ++mismatches < 10)
                ADD_FAILURE() << "pattern '" << p << "' text '" << t << "'";
    EXPECT_EQ(mismatches, 0u);
}

TEST(MatchWildcard, AgreesWithRecursiveRulesOnRandomLongerInputs) {
    std::mt19937 rng(20261208);
    const std::string patternChars("ab*?[]!-`.\x1A", 11), textChars = "aAbB.-";
    size_t mismatches = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string p, t;
        for (int i = rng() % 9; i > 0; --i) p += patternChars[rng() % patternChars.size()];
        for (int i = rng() % 9; i > 0; --i) t += textChars[rng() % textChars.size()];
        if (MatchWildcard(p.c_str(), t.c_str()) != WildcardOracle(p.c_str(), t.c_str()) && ++mismatches < 10)
            ADD_FAILURE() << "pattern '" << p << "' text '" << t << "'";
    }
    EXPECT_EQ(mismatches, 0u);
}

// UTF-8 names: "?", "*" and the dot run take whole characters, so the
// matcher must still agree with the rules on texts of mixed sequences,
// broken ones included.
TEST(MatchWildcard, Utf8CharactersAgreeWithTheRulesAndCountAsOne) {
    std::mt19937 rng(8122026);
    const std::string patternChars("a*?[]!-`.\x1A", 10);
    const char* pieces[] = {"a", ".", "\xC3\xA9", "\xE8\xAA\x9E", "\xF0\x9F\x98\x80", "\x80", "\xC3"};
    size_t mismatches = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string p, t;
        for (int i = rng() % 7; i > 0; --i)
            p += rng() % 4 ? std::string(1, patternChars[rng() % patternChars.size()]) : pieces[rng() % 7];
        for (int i = rng() % 6; i > 0; --i) t += pieces[rng() % 7];
        if (MatchWildcard(p.c_str(), t.c_str(), true) != WildcardOracle(p.c_str(), t.c_str(), true) &&
            ++mismatches < 10)
            ADD_FAILURE() << "pattern '" << p << "' text '" << t << "'";
    }
    EXPECT_EQ(mismatches, 0u);

    const std::string cafe = "caf\xC3\xA9.txt", kanji = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
    EXPECT_TRUE(MatchWildcard("caf?.txt", cafe.c_str(), true));
    EXPECT_FALSE(MatchWildcard("caf?.txt", cafe.c_str(), false)) << "two bytes are two characters";
    EXPECT_TRUE(MatchWildcard("???.txt", kanji.c_str(), true));
    EXPECT_FALSE(MatchWildcard("????.txt", kanji.c_str(), true));
    EXPECT_TRUE(MatchWildcard("*?.txt", cafe.c_str(), true));
    EXPECT_TRUE(CFileFilter("*.doc;caf?.txt", true).Matches(cafe.c_str()));
    EXPECT_FALSE(CFileFilter("*.doc;caf?.txt").Matches(cafe.c_str()));
}

TEST(MatchWildcard, Rules) {
    struct Case {
        const char* pattern;
        const char* text;
        bool expected;
    } cases[] = {
        {"*.TXT", "readme.txt", true},
        {"read?e.txt", "ReadMe.txt", true},
        {"*", "", true},
        {"?", "", false},
        {"*.*", "Makefile", false},
        {"*\\*", "C:\\dir\\x", true},  // stars cross path separators
        {"[a-c]*", "Beta", true},
        {"[a-c]*", "delta", false},
        {"[!a-c]*", "delta", true},
        {"[!a-c]*", "beta", false},
        {"[!a]", "", false},
        {"[]", "a", false},
        {"[!]", "x", true},
        {"[!]", "", false},
        {"[abc", "a", false},  // unclosed class
        {"[`]]", "]", true},
        {"[`-]", "-", true},
        {"[0-]]", "]", true},  // the character after "-" is always the bound
        {"[0-]]", "A", false},
        {"[a`-c]", "b", false},
        {"[a`-c]", "-", true},
        {"`*", "*", true},
        {"`*", "x", false},
        {"a`", "a", false},  // backquote ends the pattern
        {"!*.bak", "notes.txt", true},
        {"!*.bak", "old.BAK", false},
        {"!", "", false},
        {"*\x1A.txt", "a.b.txt", true},
        {"\x1A.txt", "a.b.txt", false},  // never crosses a dot
        {"\x1A", "name", true},
        {"\x1A", "na.me", false},
        {"\x1A.", "abc.", true},
        {"[\xC0-\xDF]", "\xC9", true},  // bytes above 0x7F compare unsigned
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchWildcard(c.pattern, c.text), c.expected) << c.pattern << " / " << c.text;
    EXPECT_FALSE(MatchWildcard(nullptr, "a"));
    EXPECT_FALSE(MatchWildcard("*", nullptr));
}

TEST(MatchWildcard, WorkStaysPolynomialOnHostilePatterns) {
    std::string starsAndClasses;
    while (starsAndClasses.size() + 6 <= 1023) starsAndClasses += "*[a-z]";
    starsAndClasses.resize(1023, '*');
    std::string negations;
    for (int i = 0; i < 300; ++i) negations += "!*a";
    struct Case {
        std::string pattern;
        std::string text;
        bool expected;
    } cases[] = {
        {starsAndClasses, std::string(259, 'a'), true},   // 170 classes, 259 letters
        {starsAndClasses, std::string(169, 'a'), false},  // one letter short
        {starsAndClasses, std::string(258, 'a') + "1", true},
        {std::string(500, '*') + "b", std::string(259, 'a'), false},
        {"a*a*a*a*a*a*a*a*a*a*a*a*b", std::string(259, 'a'), false},
        {"a*a*a*a*a*a*a*a*a*a*a*a*", std::string(259, 'a'), true},
        // "!*a" is false on any text ending in "a", so 300 of them alternate.
        {negations, std::string(259, 'a'), false},
        {"!" + negations, std::string(259, 'a'), true},
    };
    for (const Case& c : cases) {
        size_t steps = 0;
        EXPECT_EQ(MatchWildcardCounted(c.pattern.c_str(), c.text.c_str(), &steps), c.expected)
            << c.pattern.substr(0, 20);
        // A few steps per (pattern byte, text position); the backtracking
        // transcription needs astronomically many on these.
        EXPECT_LE(steps, 3 * (c.pattern.size() + 1) * (c.text.size() + 1)) << c.pattern.substr(0, 20);
    }
}

TEST(CFileFilter, PatternLists) {
    struct Case {
        const char* list;
        const char* text;
        bool expected;
    } cases[] = {
        {"", "anything", true},
        {"*.*", "Makefile", true},
        {"*", "", true},
        {"*.txt;*.*", "Makefile", false},  // "*.*" inside a list is an ordinary pattern
        {"*.txt;*.*", "C:\\a\\b.doc", true},
        {"*.txt; *.doc", "a.txt", true},
        {"*.txt; *.doc", "a.doc", false},  // the second pattern begins with a space
        {"*.txt; *.doc", "a. doc", false},
        {"*.txt; *.doc", " a.doc", true},
        {";;*.txt;", "a.TXT", true},
        {";;*.txt;", "a.doc", false},
        {";", "a", false},
        {"*.c;*.h", "main.h", true},
        {"readme*", "C:\\dir\\readme.txt", false},
        {"*readme*", "C:\\dir\\readme.txt", true},
    };
    for (const Case& c : cases) {
        CFileFilter filter(c.list);
        EXPECT_EQ(filter.Matches(c.text), c.expected) << "'" << c.list << "' / '" << c.text << "'";
    }
    EXPECT_TRUE(CFileFilter().Matches("no dot"));
    EXPECT_FALSE(CFileFilter("*.txt").Matches(nullptr));
}

TEST(CFileFilter, ListsLongerThanTheDialogLimitAreUsedWhole) {
    std::string list;
    while (list.size() < 1100) list += "*.x" + std::to_string(list.size()) + ";";
    list += "*.last";
    CFileFilter filter(list.c_str());
    EXPECT_TRUE(filter.Matches("file.last"));
    EXPECT_TRUE(filter.Matches("file.x0"));
    EXPECT_FALSE(filter.Matches("file.none"));
}

}  // namespace
