#include "core/git_wildmatch.h"

#include <cctype>
#include <cstring>

namespace {

// kAbortAll: no later start of any '*' can match either; kAbortToStarStar:
// no later start of a '*' that stays within one name can, a "**" may.
enum WildResult { kMatch, kNoMatch, kAbortAll, kAbortToStarStar };

unsigned char Fold(unsigned char c, bool fold) {
    return fold && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool IsGlobSpecial(unsigned char c) {
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

bool Is(const char* name, size_t length, const char* known) {
    return std::strlen(known) == length && std::memcmp(name, known, length) == 0;
}

// Whether c is in the class "[:name:]": 1 or 0; -1 for a name Git does not know.
int InNamedClass(const char* name, size_t length, unsigned char c, bool fold) {
    if (Is(name, length, "alnum")) return std::isalnum(c) != 0;
    if (Is(name, length, "alpha")) return std::isalpha(c) != 0;
    if (Is(name, length, "blank")) return c == ' ' || c == '\t';
    if (Is(name, length, "cntrl")) return std::iscntrl(c) != 0;
    if (Is(name, length, "digit")) return std::isdigit(c) != 0;
    if (Is(name, length, "graph")) return std::isgraph(c) != 0;
    if (Is(name, length, "lower")) return std::islower(c) != 0 || (fold && std::isupper(c) != 0);
    if (Is(name, length, "print")) return std::isprint(c) != 0;
    if (Is(name, length, "punct")) return std::ispunct(c) != 0;
    if (Is(name, length, "space")) return std::isspace(c) != 0;
    if (Is(name, length, "upper")) return std::isupper(c) != 0 || (fold && std::islower(c) != 0);
    if (Is(name, length, "xdigit")) return std::isxdigit(c) != 0;
    return -1;
}

bool InRange(unsigned char low, unsigned char high, unsigned char c, bool fold) {
    if (c >= low && c <= high) return true;
    if (!fold || !std::isalpha(c)) return false;
    const auto other = static_cast<unsigned char>(std::islower(c) ? std::toupper(c) : std::tolower(c));
    return other >= low && other <= high;
}

// A class from p just past its '[' against t; leaves p at its ']'. Whether
// it matches depends on t, whether it is well formed never does.
WildResult MatchClass(const unsigned char*& p, unsigned char t, bool fold) {
    unsigned char pc = *p;
    const bool negated = pc == '!' || pc == '^';
    if (negated) pc = *++p;
    const unsigned char tf = Fold(t, fold);
    bool matched = false;
    unsigned char prev = 0;  // a range may start from it
    do {
        if (pc == '\0') return kAbortAll;
        if (pc == '\\') {
            pc = *++p;
            if (pc == '\0') return kAbortAll;
            matched = matched || Fold(pc, fold) == tf;
        } else if (pc == '-' && prev != 0 && p[1] != '\0' && p[1] != ']') {
            pc = *++p;
            if (pc == '\\') {
                pc = *++p;
                if (pc == '\0') return kAbortAll;
            }
            matched = matched || InRange(prev, pc, t, fold);
            pc = 0;  // a range is no start of another
        } else if (pc == '[' && p[1] == ':') {
            const unsigned char* name = p + 2;
            const unsigned char* close = name;
            while (*close != '\0' && *close != ']') ++close;
            if (*close == '\0') return kAbortAll;
            if (close == name || close[-1] != ':') {
                // No ":]": the '[' stands for itself.
                matched = matched || t == '[';
            } else {
                const int in = InNamedClass(reinterpret_cast<const char*>(name),
                                            static_cast<size_t>(close - 1 - name), t, fold);
                if (in < 0) return kAbortAll;
                matched = matched || in == 1;
                p = close;
                pc = 0;
            }
        } else {
            matched = matched || Fold(pc, fold) == tf;
        }
        prev = pc;
        pc = *++p;
    } while (pc != ']');
    return matched != negated ? kMatch : kNoMatch;
}

WildResult DoWild(const unsigned char* p, const unsigned char* text, const unsigned char* start,
                  bool pathname, bool fold) {
    for (unsigned char pc; (pc = *p) != '\0'; ++text, ++p) {
        const unsigned char t = *text;
        if (t == '\0' && pc != '*') return kAbortAll;
        switch (pc) {
            case '?':
                if (pathname && t == '/') return kNoMatch;
                break;
            case '[': {
                ++p;
                const WildResult r = MatchClass(p, t, fold);
                if (r != kMatch) return r;
                if (pathname && t == '/') return kNoMatch;
                break;
            }
            case '*': {
                bool matchSlash = !pathname;
                if (*++p == '*') {
                    const unsigned char* first = p - 1;
                    while (*++p == '*') {
                    }
                    if (pathname && (first == start || first[-1] == '/') &&
                        (*p == '\0' || *p == '/' || (p[0] == '\\' && p[1] == '/'))) {
                        // "**/" also matches no folder at all.
                        if (p[0] == '/' && DoWild(p + 1, text, start, pathname, fold) == kMatch)
                            return kMatch;
                        matchSlash = true;
                    }
                }
                if (*p == '\0') {
                    if (!matchSlash && std::strchr(reinterpret_cast<const char*>(text), '/'))
                        return kAbortToStarStar;
                    return kMatch;
                }
                if (!matchSlash && *p == '/') {
                    // One '*' before a '/' takes the rest of this name.
                    const char* slash = std::strchr(reinterpret_cast<const char*>(text), '/');
                    if (slash == nullptr) return kAbortAll;
                    text = reinterpret_cast<const unsigned char*>(slash);
                    break;
                }
                // A plain character after the '*': what comes before its
                // next occurrence belongs to the '*'.
                const bool literal = !IsGlobSpecial(*p);
                const unsigned char next = Fold(*p, fold);
                for (;; ++text) {
                    if (literal) {
                        while (*text != '\0' && (matchSlash || *text != '/') && Fold(*text, fold) != next)
                            ++text;
                    }
                    if (*text == '\0') return kAbortAll;
                    const WildResult r = DoWild(p, text, start, pathname, fold);
                    if (r != kNoMatch) {
                        if (!matchSlash || r != kAbortToStarStar) return r;
                    } else if (!matchSlash && *text == '/') {
                        return kAbortToStarStar;
                    }
                }
            }
            case '\\':
                pc = *++p;
                if (pc == '\0') return kNoMatch;  // a pattern ending in '\' matches nothing
                if (Fold(pc, fold) != Fold(t, fold)) return kNoMatch;
                break;
            default:
                if (Fold(pc, fold) != Fold(t, fold)) return kNoMatch;
                break;
        }
    }
    return *text != '\0' ? kNoMatch : kMatch;
}

}  // namespace

bool GitWildMatch(const char* pattern, const char* text, unsigned flags) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    return DoWild(p, reinterpret_cast<const unsigned char*>(text), p, (flags & kWildPathname) != 0,
                  (flags & kWildCaseFold) != 0) == kMatch;
}

bool GitPathPatternMatch(const char* pattern, const char* path, bool caseFold) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const unsigned char* glob = p + std::strcspn(pattern, "*?[\\");
    return DoWild(p, reinterpret_cast<const unsigned char*>(path), glob, true, caseFold) == kMatch;
}

int GitWildFixedLength(const char* pattern) {
    int length = 0;
    for (const auto* p = reinterpret_cast<const unsigned char*>(pattern); *p != '\0'; ++p, ++length) {
        if (*p == '\\') {
            if (*++p == '\0') return -1;
        } else if (*p == '[') {
            ++p;
            if (MatchClass(p, 'a', false) == kAbortAll) return -1;
        }
    }
    return length;
}
