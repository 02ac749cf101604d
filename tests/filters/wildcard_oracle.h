#pragma once
// Shared by the matcher's tests and its fuzz target.

#include <cctype>
#include <cstddef>
#include <cstring>

// The matching rules written the obvious, exponential way; the fast matcher
// must agree with it everywhere.
inline int OracleLow(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}

inline bool WildcardOracle(const char* p, const char* t) {
    switch (*p) {
        case '\0':
            return *t == '\0';
        case '*':
            for (size_t k = std::strlen(t) + 1; k-- > 0;)
                if (WildcardOracle(p + 1, t + k)) return true;
            return false;
        case '?':
            return *t != '\0' && WildcardOracle(p + 1, t + 1);
        case '\x1A': {
            size_t dot = std::strcspn(t, ".");
            for (size_t k = dot + 1; k-- > 0;)
                if (WildcardOracle(p + 1, t + k)) return true;
            return false;
        }
        case '!':
            return p[1] != '\0' && !WildcardOracle(p + 1, t);
        case '`':
            return p[1] != '\0' && *t != '\0' && OracleLow(p[1]) == OracleLow(*t) &&
                   WildcardOracle(p + 2, t + 1);
        case '[': {
            const char* q = p + 1;
            bool negated = *q == '!';
            if (negated) ++q;
            bool in = false;
            while (*q != ']') {
                if (*q == '\0') return false;
                if (*q == '`' && *++q == '\0') return false;
                int low = OracleLow(*q++), high = low;
                if (*q == '-') {
                    ++q;
                    if (*q == '`') ++q;
                    if (*q == '\0') return false;
                    high = OracleLow(*q++);
                }
                if (*t != '\0' && low <= OracleLow(*t) && OracleLow(*t) <= high) in = true;
            }
            if (*t == '\0' || in == negated) return false;
            return WildcardOracle(q + 1, t + 1);
        }
        default:
            return *t != '\0' && OracleLow(*p) == OracleLow(*t) && WildcardOracle(p + 1, t + 1);
    }
}
