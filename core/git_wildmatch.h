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

// For a pattern without '*': the length of every text it matches (one byte
// for each plain or quoted character, '?' and class); -1 when it matches
// nothing at all.
int GitWildFixedLength(const char* pattern);
