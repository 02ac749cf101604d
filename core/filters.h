#pragma once
// Wildcard matching of file names and the ";"-separated pattern lists built
// from it. Matching ignores case (runtime tolower on unsigned bytes).

#include <cstddef>
#include <string>

// True if the whole text matches the whole pattern; false if either is null.
// Rules: "*" any run, "?" one character, "[...]" a class with ranges, "!"
// negation and backquote escapes, a backquote outside a class takes the next
// character literally, "!" outside a class negates the rest of the match, and
// the byte 0x1A matches any run that does not cross a ".".
// A character is a byte, or with `utf8` a whole UTF-8 sequence for "?", "*"
// and 0x1A, so that "caf?.txt" finds "café.txt"; literals and classes
// compare bytes either way.
// Runs in O(pattern length x text length): each (pattern token, text
// position) state is decided once.
bool MatchWildcard(const char* pattern, const char* text, bool utf8 = false);

// The same, counting the elementary steps taken into *steps (added to it), so
// tests can bound the work without a timer.
bool MatchWildcardCounted(const char* pattern, const char* text, size_t* steps, bool utf8 = false);

// A pattern list such as "*.txt;*.diz". "", "*.*" and "*" (the whole list,
// compared exactly) pass everything. Otherwise the list is split at ";" (runs
// of separators count as one, nothing is trimmed) and a text passes if any
// pattern matches it. Lists longer than the 1023 bytes the dialogs allow are
// still used whole: cutting them would silently change which files pass.
class CFileFilter {
public:
    // `utf8`: the names are UTF-8 (see MatchWildcard).
    explicit CFileFilter(const char* patterns = "*.*", bool utf8 = false);
    virtual ~CFileFilter() = default;

    virtual bool Matches(const char* text) const;

    const std::string& Patterns() const { return m_patterns; }

private:
    std::string m_patterns;
    bool m_utf8;
};
