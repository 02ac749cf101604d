#include "shellext/registrar_script.h"

#include <cctype>
#include <cstdlib>

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

bool Tokenize(const std::string& s, std::vector<Token>& out, std::string& error)
{
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
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])))
                t.text += s[i++];
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool Substitute(std::string& text, const std::map<std::string, std::string>& replacements, std::string& error)
{
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

bool IsWord(const Token& t, const char* word)
{
    if (t.quoted)
        return false;
    size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= t.text.size() ||
            std::tolower(static_cast<unsigned char>(t.text[i])) != std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return i == t.text.size();
}

class Parser {
public:
    Parser(std::vector<Token>& tokens, std::string& error) : t_(tokens), error_(error) {}

    bool Script(std::vector<RegScriptRoot>& roots)
    {
        while (pos_ < t_.size()) {
            RegScriptRoot root;
            root.name = t_[pos_++].text;
            if (!Expect("{") || !KeyList(root.keys))
                return false;
            roots.push_back(std::move(root));
        }
        return true;
    }

private:
    bool AtBrace(const char* brace) const { return pos_ < t_.size() && !t_[pos_].quoted && t_[pos_].text == brace; }

    bool Expect(const char* what)
    {
        if (!AtBrace(what)) {
            error_ = std::string("expected '") + what + "'";
            return false;
        }
        ++pos_;
        return true;
    }

    bool Value(RegScriptValue& v)
    {
        if (pos_ + 1 >= t_.size()) {
            error_ = "value expected";
            return false;
        }
        const Token& type = t_[pos_++];
        const Token& data = t_[pos_++];
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
                error_ = "bad number '" + data.text + "'";
                return false;
            }
            return true;
        }
        error_ = "unsupported value type '" + type.text + "'";
        return false;
    }

    bool KeyList(std::vector<RegScriptKey>& keys)
    {
        for (;;) {
            if (pos_ >= t_.size()) {
                error_ = "missing '}'";
                return false;
            }
            if (AtBrace("}")) {
                ++pos_;
                return true;
            }
            if (IsWord(t_[pos_], "val")) {
                // A root has no key of its own for a named value to go to.
                error_ = "'val' outside a key";
                return false;
            }
            RegScriptKey key;
            if (!Key(key))
                return false;
            keys.push_back(std::move(key));
        }
    }

    bool Key(RegScriptKey& key)
    {
        if (IsWord(t_[pos_], "ForceRemove"))
            key.flag = RegScriptKey::kForceRemove, ++pos_;
        else if (IsWord(t_[pos_], "NoRemove"))
            key.flag = RegScriptKey::kNoRemove, ++pos_;
        else if (IsWord(t_[pos_], "Delete"))
            key.flag = RegScriptKey::kDelete, ++pos_;
        if (pos_ >= t_.size() || (!t_[pos_].quoted && (t_[pos_].text == "{" || t_[pos_].text == "}"))) {
            error_ = "key name expected";
            return false;
        }
        key.name = t_[pos_++].text;
        if (key.name.empty()) {
            // An empty name would make removal act on the parent itself.
            error_ = "empty key name";
            return false;
        }
        if (AtBrace("=")) {
            ++pos_;
            key.hasDefault = true;
            if (!Value(key.defaultValue))
                return false;
        }
        if (!AtBrace("{"))
            return true;
        ++pos_;
        for (;;) {
            if (pos_ >= t_.size()) {
                error_ = "missing '}'";
                return false;
            }
            if (AtBrace("}")) {
                ++pos_;
                return true;
            }
            if (IsWord(t_[pos_], "val")) {
                ++pos_;
                RegScriptValue v;
                if (pos_ >= t_.size()) {
                    error_ = "value name expected";
                    return false;
                }
                v.name = t_[pos_++].text;
                if (v.name.empty()) {
                    error_ = "empty value name";
                    return false;
                }
                if (!Expect("=") || !Value(v))
                    return false;
                key.values.push_back(std::move(v));
                continue;
            }
            RegScriptKey child;
            if (!Key(child))
                return false;
            key.children.push_back(std::move(child));
        }
    }

    std::vector<Token>& t_;
    std::string& error_;
    size_t pos_ = 0;
};

} // namespace

bool ParseRegistrarScript(const std::string& text, const std::map<std::string, std::string>& replacements,
                          std::vector<RegScriptRoot>& roots, std::string& error)
{
    roots.clear();
    std::vector<Token> tokens;
    if (!Tokenize(text, tokens, error))
        return false;
    for (Token& t : tokens) {
        if (t.text.find('%') == std::string::npos)
            continue;
        if (!Substitute(t.text, replacements, error))
            return false;
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
