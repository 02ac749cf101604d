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

// Bytes in the character starting at t: one, or with utf8 a lead byte and
// its continuation bytes (at most three).
inline size_t OracleCharLength(const char* t, bool utf8) {
    size_t k = 1;
    if (utf8 && static_cast<unsigned char>(*t) >= 0xC0)
        while (k < 4 && (static_cast<unsigned char>(t[k]) & 0xC0) == 0x80) ++k;
    return k;
}

inline bool WildcardOracle(const char* p, const char* t, bool utf8 = false) {
    switch (*p) {
        case '\0':
            return *t == '\0';
        case '*':
            for (size_t k = 0;; k += OracleCharLength(t + k, utf8)) {
                if (WildcardOracle(p + 1, t + k, utf8)) return true;
                if (t[k] == '\0') return false;
            }
        case '?':
            return *t != '\0' && WildcardOracle(p + 1, t + OracleCharLength(t, utf8), utf8);
        case '\x1A':
            for (size_t k = 0;; k += OracleCharLength(t + k, utf8)) {
                if (WildcardOracle(p + 1, t + k, utf8)) return true;
                if (t[k] == '\0' || t[k] == '.') return false;
            }
        case '!':
            return p[1] != '\0' && !WildcardOracle(p + 1, t, utf8);
        case '`':
            return p[1] != '\0' && *t != '\0' && OracleLow(p[1]) == OracleLow(*t) &&
                   WildcardOracle(p + 2, t + 1, utf8);
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
            return WildcardOracle(q + 1, t + 1, utf8);
        }
        default:
            return *t != '\0' && OracleLow(*p) == OracleLow(*t) && WildcardOracle(p + 1, t + 1, utf8);
    }
}
