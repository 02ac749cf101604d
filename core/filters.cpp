#include "core/filters.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace {

unsigned char Lower(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

enum class TokenKind { End, Fail, Literal, Any, Star, DotRun, Not, Class };

struct ClassRange {
    unsigned char low;
    unsigned char high;
};

// One step of the pattern. Every token has exactly one successor (the next in
// the vector), which is what lets the match run row by row.
struct Token {
    TokenKind kind = TokenKind::End;
    unsigned char literal = 0;  // lowered
    bool negated = false;
    size_t firstRange = 0;
    size_t rangeCount = 0;
};

// Parses one class starting after "[". Returns false when it is not closed.
bool ParseClass(const char*& p, Token& token, std::vector<ClassRange>& ranges) {
    token.kind = TokenKind::Class;
    token.firstRange = ranges.size();
    if (*p == '!') {
        token.negated = true;
        ++p;
    }
    for (;;) {
        if (*p == '\0') return false;
        if (*p == ']') {
            ++p;
            break;
        }
        if (*p == '`') {
            ++p;
            if (*p == '\0') return false;
        }
        ClassRange range{Lower(*p), Lower(*p)};
        ++p;
        if (*p == '-') {
            ++p;
            if (*p == '`') ++p;
            if (*p == '\0') return false;
            range.high = Lower(*p);
            ++p;
        }
        ranges.push_back(range);
    }
    token.rangeCount = ranges.size() - token.firstRange;
    return true;
}

void Tokenize(const char* p, std::vector<Token>& tokens, std::vector<ClassRange>& ranges) {
    for (;;) {
        Token token;
        switch (*p) {
            case '\0':
                tokens.push_back(token);
                return;
            case '*':
                token.kind = TokenKind::Star;
                ++p;
                break;
            case '?':
                token.kind = TokenKind::Any;
                ++p;
                break;
            case '\x1A':
                token.kind = TokenKind::DotRun;
                ++p;
                break;
            case '!':
                ++p;
                // A "!" that ends the pattern fails instead of negating the end.
                token.kind = *p == '\0' ? TokenKind::Fail : TokenKind::Not;
                break;
            case '`':
                ++p;
                if (*p == '\0') {
                    token.kind = TokenKind::Fail;
                    break;
                }
                token.kind = TokenKind::Literal;
                token.literal = Lower(*p++);
                break;
            case '[':
                ++p;
                if (!ParseClass(p, token, ranges)) {
                    token = Token{};
                    token.kind = TokenKind::Fail;
                }
                break;
            default:
                token.kind = TokenKind::Literal;
                token.literal = Lower(*p++);
                break;
        }
        tokens.push_back(token);
        if (token.kind == TokenKind::Fail) return;  // nothing after it is ever reached
    }
}

bool InClass(const Token& token, const std::vector<ClassRange>& ranges, unsigned char c, size_t& steps) {
    bool in = false;
    for (size_t r = token.firstRange; r < token.firstRange + token.rangeCount && !in; ++r) {
        ++steps;
        in = ranges[r].low <= c && c <= ranges[r].high;
    }
    return token.negated ? !in : in;
}

// Where the character at `j` ends: the next byte, or in UTF-8 past a lead
// byte's continuation bytes (at most three).
size_t CharEnd(const unsigned char* text, size_t n, size_t j, bool utf8) {
    size_t end = j + 1;
    if (utf8 && text[j] >= 0xC0)
        while (end < n && end < j + 4 && (text[end] & 0xC0) == 0x80) ++end;
    return end;
}

}  // namespace

bool MatchWildcardCounted(const char* pattern, const char* text, size_t* steps, bool utf8) {
    if (pattern == nullptr || text == nullptr) return false;
    size_t localSteps = 0;
    std::vector<Token> tokens;
    std::vector<ClassRange> ranges;
    Tokenize(pattern, tokens, ranges);

    const size_t n = std::strlen(text);
    std::vector<unsigned char> lowered(n);
    for (size_t j = 0; j < n; ++j) lowered[j] = Lower(text[j]);
    // "?", "*" and the dot run step over whole characters.
    std::vector<size_t> charEnd(n);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t j = 0; j < n; ++j) charEnd[j] = CharEnd(bytes, n, j, utf8);

    // next[j]: does the pattern from the following token match text[j..]?
    // Filled from the last token backwards; row[j] is the current token's.
    std::vector<char> next(n + 1), row(n + 1);
    for (size_t r = tokens.size(); r-- > 0;) {
        const Token& token = tokens[r];
        for (size_t j = n + 1; j-- > 0;) {
            ++localSteps;
            bool m = false;
            switch (token.kind) {
                case TokenKind::End:
                    m = j == n;
                    break;
                case TokenKind::Fail:
                    m = false;
                    break;
                case TokenKind::Literal:
                    m = j < n && lowered[j] == token.literal && next[j + 1];
                    break;
                case TokenKind::Any:
                    m = j < n && next[charEnd[j]];
                    break;
                case TokenKind::Class:
                    m = j < n && next[j + 1] && InClass(token, ranges, lowered[j], localSteps);
                    break;
                case TokenKind::Star:
                    m = next[j] || (j < n && row[charEnd[j]]);
                    break;
                case TokenKind::DotRun:
                    m = next[j] || (j < n && text[j] != '.' && row[charEnd[j]]);
                    break;
                case TokenKind::Not:
                    m = !next[j];
                    break;
            }
            row[j] = m;
        }
        row.swap(next);
    }
    if (steps != nullptr) *steps += localSteps;
    return next[0] != 0;
}

bool MatchWildcard(const char* pattern, const char* text, bool utf8) {
    return MatchWildcardCounted(pattern, text, nullptr, utf8);
}

CFileFilter::CFileFilter(const char* patterns, bool utf8)
    : m_patterns(patterns != nullptr ? patterns : ""), m_utf8(utf8) {}

bool CFileFilter::Matches(const char* text) const {
    if (text == nullptr) return false;
    if (m_patterns.empty() || m_patterns == "*.*" || m_patterns == "*") return true;
    size_t start = 0;
    while (start < m_patterns.size()) {
        size_t end = m_patterns.find(';', start);
        if (end == std::string::npos) end = m_patterns.size();
        if (end > start && MatchWildcard(m_patterns.substr(start, end - start).c_str(), text, m_utf8))
            return true;
        start = end + 1;
    }
    return false;
}
