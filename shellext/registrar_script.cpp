#include "shellext/registrar_script.h"

#include <cctype>
#include <cstdlib>

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

bool Tokenize(const std::string& s, std::vector<Token>& out, std::string& error) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        Token t;
        if (c == '\'') {
            t.quoted = true;
            ++i;
            for (;;) {
                if (i >= s.size()) {
                    error = "unterminated quoted text";
                    return false;
                }
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') {
                        t.text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i++];
            }
        } else {
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) t.text += s[i++];
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool Substitute(std::string& text, const std::map<std::string, std::string>& replacements,
                std::string& error) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        const size_t end = text.find('%', i + 1);
        if (end == std::string::npos) {
            error = "unpaired % in '" + text + "'";
            return false;
        }
        if (end == i + 1) {
            result += '%';
        } else {
            const auto found = replacements.find(text.substr(i + 1, end - i - 1));
            if (found == replacements.end()) {
                error = "unknown variable in '" + text + "'";
                return false;
            }
            result += found->second;
        }
        i = end;
    }
    text = std::move(result);
    return true;
}

bool IsWord(const Token& t, const char* word) {
    if (t.quoted) return false;
    size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= t.text.size() || std::tolower(static_cast<unsigned char>(t.text[i])) !=
                                      std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return i == t.text.size();
}

class Parser {
public:
    Parser(std::vector<Token>& tokens, std::string& error) : m_tokens(tokens), m_error(error) {}

    bool Script(std::vector<RegScriptRoot>& roots) {
        while (m_pos < m_tokens.size()) {
            RegScriptRoot root;
            root.name = m_tokens[m_pos++].text;
            if (!Expect("{") || !KeyList(root.keys)) return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

private:
    bool AtBrace(const char* brace) const {
        return m_pos < m_tokens.size() && !m_tokens[m_pos].quoted && m_tokens[m_pos].text == brace;
    }

    bool Expect(const char* what) {
        if (!AtBrace(what)) {
            m_error = std::string("expected '") + what + "'";
            return false;
        }
        ++m_pos;
        return true;
    }

    bool Value(RegScriptValue& v) {
        if (m_pos + 1 >= m_tokens.size()) {
            m_error = "value expected";
            return false;
        }
        const Token& type = m_tokens[m_pos++];
        const Token& data = m_tokens[m_pos++];
        if (IsWord(type, "s")) {
            v.type = 's';
            v.text = data.text;
            return true;
        }
        if (IsWord(type, "d")) {
            char* end = nullptr;
            v.type = 'd';
            v.number = std::strtoul(data.text.c_str(), &end, 0);
            if (data.text.empty() || *end != '\0') {
                m_error = "bad number '" + data.text + "'";
                return false;
            }
            return true;
        }
        m_error = "unsupported value type '" + type.text + "'";
        return false;
    }

    bool KeyList(std::vector<RegScriptKey>& keys) {
        for (;;) {
            if (m_pos >= m_tokens.size()) {
                m_error = "missing '}'";
                return false;
            }
            if (AtBrace("}")) {
                ++m_pos;
                return true;
            }
            if (IsWord(m_tokens[m_pos], "val")) {
                // A root has no key of its own for a named value to go to.
                m_error = "'val' outside a key";
                return false;
            }
            RegScriptKey key;
            if (!Key(key)) return false;
            keys.push_back(std::move(key));
        }
    }

    bool Key(RegScriptKey& key) {
        if (IsWord(m_tokens[m_pos], "ForceRemove"))
            key.flag = RegScriptKey::kForceRemove, ++m_pos;
        else if (IsWord(m_tokens[m_pos], "NoRemove"))
            key.flag = RegScriptKey::kNoRemove, ++m_pos;
        else if (IsWord(m_tokens[m_pos], "Delete"))
            key.flag = RegScriptKey::kDelete, ++m_pos;
        if (m_pos >= m_tokens.size() ||
            (!m_tokens[m_pos].quoted && (m_tokens[m_pos].text == "{" || m_tokens[m_pos].text == "}"))) {
            m_error = "key name expected";
            return false;
        }
        key.name = m_tokens[m_pos++].text;
        if (key.name.empty()) {
            // An empty name would make removal act on the parent itself.
            m_error = "empty key name";
            return false;
        }
        if (AtBrace("=")) {
            ++m_pos;
            key.hasDefault = true;
            if (!Value(key.defaultValue)) return false;
        }
        if (!AtBrace("{")) return true;
        ++m_pos;
        for (;;) {
            if (m_pos >= m_tokens.size()) {
                m_error = "missing '}'";
                return false;
            }
            if (AtBrace("}")) {
                ++m_pos;
                return true;
            }
            if (IsWord(m_tokens[m_pos], "val")) {
                ++m_pos;
                RegScriptValue v;
                if (m_pos >= m_tokens.size()) {
                    m_error = "value name expected";
                    return false;
                }
                v.name = m_tokens[m_pos++].text;
                if (v.name.empty()) {
                    m_error = "empty value name";
                    return false;
                }
                if (!Expect("=") || !Value(v)) return false;
                key.values.push_back(std::move(v));
                continue;
            }
            RegScriptKey child;
            if (!Key(child)) return false;
            key.children.push_back(std::move(child));
        }
    }

    std::vector<Token>& m_tokens;
    std::string& m_error;
    size_t m_pos = 0;
};

}  // namespace

bool ParseRegistrarScript(const std::string& text, const std::map<std::string, std::string>& replacements,
                          std::vector<RegScriptRoot>& roots, std::string& error) {
    roots.clear();
    std::vector<Token> tokens;
    if (!Tokenize(text, tokens, error)) return false;
    for (Token& t : tokens) {
        if (t.text.find('%') == std::string::npos) continue;
        if (!Substitute(t.text, replacements, error)) return false;
        // Substituted text is data, never a brace or keyword.
        t.quoted = true;
    }
    Parser parser(tokens, error);
    if (!parser.Script(roots)) {
        roots.clear();
        return false;
    }
    return true;
}
