#include "tests/cli/json_line.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Reader {
    const std::string& s;
    size_t i = 0;

    void Space() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    }
    bool Eat(char c) {
        Space();
        if (i >= s.size() || s[i] != c) return false;
        ++i;
        return true;
    }
    bool Hex4(uint32_t* value) {
        if (i + 4 > s.size()) return false;
        char* end = nullptr;
        const std::string digits = s.substr(i, 4);
        *value = static_cast<uint32_t>(std::strtoul(digits.c_str(), &end, 16));
        if (end != digits.c_str() + 4) return false;
        i += 4;
        return true;
    }
    static void Utf8(uint32_t code, std::string* out) {
        if (code < 0x80) {
            *out += static_cast<char>(code);
        } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | (code >> 18));
            *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool String(std::string* out) {
        if (!Eat('"')) return false;
        while (i < s.size()) {
            const unsigned char c = static_cast<unsigned char>(s[i++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                *out += static_cast<char>(c);
                continue;
            }
            if (i >= s.size()) return false;
            const char e = s[i++];
            const char* simple = "\"\\/bfnrt";
            const char* value = "\"\\/\b\f\n\r\t";
            bool found = false;
            for (int k = 0; simple[k]; ++k)
                if (e == simple[k]) {
                    *out += value[k];
                    found = true;
                }
            if (found) continue;
            uint32_t code;
            if (e != 'u' || !Hex4(&code)) return false;
            if (code >= 0xD800 && code < 0xDC00) {
                uint32_t low;
                if (s.compare(i, 2, "\\u") != 0) return false;
                i += 2;
                if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return false;
            }
            Utf8(code, out);
        }
        return false;
    }
    bool Value(std::string* out) {
        Space();
        if (i < s.size() && s[i] == '"') return String(out);
        for (const char* word : {"true", "false", "null"})
            if (s.compare(i, std::string(word).size(), word) == 0) {
                *out = word;
                i += out->size();
                return true;
            }
        const size_t start = i;
        if (i < s.size() && s[i] == '-') ++i;
        while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.' || s[i] == 'e' || s[i] == 'E' ||
                                s[i] == '+' || s[i] == '-'))
            ++i;
        *out = s.substr(start, i - start);
        return i > start;
    }
};

}  // namespace

bool ParseJsonObject(const std::string& text, std::map<std::string, std::string>* object) {
    Reader r{text};
    object->clear();
    if (!r.Eat('{')) return false;
    if (!r.Eat('}')) {
        do {
            std::string key, value;
            if (!r.String(&key) || !r.Eat(':') || !r.Value(&value)) return false;
            if (!object->emplace(key, value).second) return false;
        } while (r.Eat(','));
        if (!r.Eat('}')) return false;
    }
    r.Space();
    return r.i == text.size();
}
