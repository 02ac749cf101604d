#pragma once
// Git's glob, as .gitignore and .gitattributes lines use it: '*' and '?'
// (never a '/' in pathname mode), "**" between slashes or at an end
// matching any number of folders, [...] classes with '!' or '^', ranges and
// [:name:], and '\' quoting the next character. A class without its ']' or
// naming an unknown [:name:] makes the pattern match nothing.

enum GitWildFlags : unsigned {
    kWildPathname = 1,  // '/' only matches itself or a "**"
    kWildCaseFold = 2,  // ASCII letters match either case
};

bool GitWildMatch(const char* pattern, const char* text, unsigned flags);

// A rule's pattern with a '/' against a path, as Git matches one: its plain
// beginning (up to the first '*', '?', '[' or '\') compared on its own, the
// rest as a glob of its own in pathname mode, so that a "**" right after that
// beginning counts as at the start: "a**/b" matches "ax/y/b".
bool GitPathPatternMatch(const char* pattern, const char* path, bool caseFold);

// For a pattern without '*': the length of every text it matches (one byte
// for each plain or quoted character, '?' and class); -1 when it matches
// nothing at all.
int GitWildFixedLength(const char* pattern);
