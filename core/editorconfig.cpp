#include "core/editorconfig.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "core/folder_walk.h"

namespace {

// A section's glob, parsed once into a tree the matcher walks.
struct GlobNode;
using GlobSeq = std::vector<GlobNode>;

struct GlobNode {
    enum Kind { Char, One, Star, AnyPath, Folders, Class, Alternatives, Number } kind = Char;
    char c = 0;
    std::string ranges;  // Class: lo, hi pairs
    bool negated = false;
    std::vector<GlobSeq> alternatives;
    long long lo = 0, hi = 0;
};

// The position of the "}" that closes the "{" at open, or npos.
size_t ClosingBrace(const std::string& g, size_t open) {
    int depth = 0;
    for (size_t i = open; i < g.size(); ++i) {
        if (g[i] == '\\') {
            ++i;
        } else if (g[i] == '{') {
            ++depth;
        } else if (g[i] == '}' && --depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

// text split at its commas outside nested braces and escapes.
std::vector<std::string> SplitAlternatives(const std::string& text) {
    std::vector<std::string> parts(1);
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' && depth == 0) {
            parts.emplace_back();
            continue;
        }
        parts.back() += c;
        if (c == '\\' && i + 1 < text.size()) {
            parts.back() += text[++i];
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && depth > 0) {
            --depth;
        }
    }
    return parts;
}

// "{lo..hi}"'s content as two integers, signs allowed.
bool ParseNumberRange(const std::string& text, long long* lo, long long* hi) {
    const size_t dots = text.find("..");
    if (dots == std::string::npos) return false;
    auto number = [](const std::string& s, long long* value) {
        size_t i = s.size() > 0 && (s[0] == '+' || s[0] == '-') ? 1 : 0;
        if (i == s.size() || s.size() > 18 || s.find_first_not_of("0123456789", i) != std::string::npos)
            return false;
        *value = std::strtoll(s.c_str(), nullptr, 10);
        return true;
    };
    return number(text.substr(0, dots), lo) && number(text.substr(dots + 2), hi);
}

GlobSeq ParseGlob(const std::string& g) {
    GlobSeq seq;
    auto literal = [&](char c) {
        GlobNode n;
        n.c = c;
        seq.push_back(n);
    };
    for (size_t i = 0; i < g.size(); ++i) {
        const char c = g[i];
        GlobNode n;
        if (c == '\\' && i + 1 < g.size()) {
            literal(g[++i]);
        } else if (c == '?') {
            n.kind = GlobNode::One;
            seq.push_back(n);
        } else if (c == '*' && i + 1 < g.size() && g[i + 1] == '*') {
            ++i;
            // "/**/" also matches a single "/": no folder between.
            const bool afterSlash = !seq.empty() && seq.back().kind == GlobNode::Char && seq.back().c == '/';
            if (afterSlash && i + 1 < g.size() && g[i + 1] == '/') {
                seq.back().kind = GlobNode::Folders;
                ++i;
            } else {
                n.kind = GlobNode::AnyPath;
                seq.push_back(n);
            }
        } else if (c == '*') {
            n.kind = GlobNode::Star;
            seq.push_back(n);
        } else if (c == '[') {
            // A class holding "/" or never closed is a literal "[".
            size_t j = i + 1;
            n.kind = GlobNode::Class;
            if (j < g.size() && g[j] == '!') {
                n.negated = true;
                ++j;
            }
            std::string chars;
            bool closed = false;
            for (; j < g.size(); ++j) {
                if (g[j] == ']' && !chars.empty()) {
                    closed = true;
                    break;
                }
                if (g[j] == '/') break;
                if (g[j] == '\\' && j + 1 < g.size()) ++j;
                chars += g[j];
            }
            if (!closed) {
                literal('[');
                continue;
            }
            for (size_t k = 0; k < chars.size(); ++k) {
                const bool range = k + 2 < chars.size() && chars[k + 1] == '-';
                n.ranges += chars[k];
                n.ranges += range ? chars[k + 2] : chars[k];
                if (range) k += 2;
            }
            seq.push_back(n);
            i = j;
        } else if (c == '{') {
            const size_t close = ClosingBrace(g, i);
            if (close == std::string::npos) {
                literal('{');
                continue;
            }
            const std::string inside = g.substr(i + 1, close - i - 1);
            const std::vector<std::string> parts = SplitAlternatives(inside);
            if (ParseNumberRange(inside, &n.lo, &n.hi)) {
                n.kind = GlobNode::Number;
                seq.push_back(n);
            } else if (parts.size() > 1) {
                n.kind = GlobNode::Alternatives;
                for (const std::string& part : parts) n.alternatives.push_back(ParseGlob(part));
                seq.push_back(n);
            } else {
                // "{word}" stands for itself, braces and all.
                literal('{');
                for (GlobNode& inner : ParseGlob(inside)) seq.push_back(std::move(inner));
                literal('}');
            }
            i = close;
        } else {
            literal(c);
        }
    }
    return seq;
}

// What is left to match after the sequence in hand: the rest of the
// sequences that hold it, innermost first.
struct GlobRest {
    const GlobSeq* seq;
    size_t i;
    const GlobRest* next;
};

bool MatchFrom(const GlobSeq& seq, size_t i, const std::string& s, size_t p, const GlobRest* rest) {
    if (i == seq.size()) return rest ? MatchFrom(*rest->seq, rest->i, s, p, rest->next) : p == s.size();
    const GlobNode& n = seq[i];
    const size_t end = s.size();
    switch (n.kind) {
        case GlobNode::Char:
            return p < end && s[p] == n.c && MatchFrom(seq, i + 1, s, p + 1, rest);
        case GlobNode::One:
            return p < end && s[p] != '/' && MatchFrom(seq, i + 1, s, p + 1, rest);
        case GlobNode::Star:
            for (size_t q = p;; ++q) {
                if (MatchFrom(seq, i + 1, s, q, rest)) return true;
                if (q == end || s[q] == '/') return false;
            }
        case GlobNode::AnyPath:
            for (size_t q = p; q <= end; ++q)
                if (MatchFrom(seq, i + 1, s, q, rest)) return true;
            return false;
        case GlobNode::Folders:
            if (p >= end || s[p] != '/') return false;
            for (size_t q = p; q < end; ++q)
                if (s[q] == '/' && MatchFrom(seq, i + 1, s, q + 1, rest)) return true;
            return false;
        case GlobNode::Class: {
            if (p >= end || s[p] == '/') return false;
            const unsigned char c = static_cast<unsigned char>(s[p]);
            bool in = false;
            for (size_t k = 0; k + 1 < n.ranges.size(); k += 2)
                in = in || (c >= static_cast<unsigned char>(n.ranges[k]) &&
                            c <= static_cast<unsigned char>(n.ranges[k + 1]));
            return in != n.negated && MatchFrom(seq, i + 1, s, p + 1, rest);
        }
        case GlobNode::Alternatives: {
            const GlobRest after{&seq, i + 1, rest};
            for (const GlobSeq& alternative : n.alternatives)
                if (MatchFrom(alternative, 0, s, p, &after)) return true;
            return false;
        }
        case GlobNode::Number: {
            size_t q = p;
            if (q < end && (s[q] == '-' || s[q] == '+')) ++q;
            const size_t digits = q;
            while (q < end && s[q] >= '0' && s[q] <= '9' && q - digits < 18) ++q;
            for (size_t e = q; e > digits; --e) {
                const long long value = std::strtoll(s.substr(p, e - p).c_str(), nullptr, 10);
                if (value >= n.lo && value <= n.hi && MatchFrom(seq, i + 1, s, e, rest)) return true;
            }
            return false;
        }
    }
    return false;
}

// A section's glob, made whole as it is matched: both sides start with "/",
// so that "**/" ahead of a bare name also matches a file in the folder
// itself.
GlobSeq SectionGlob(const std::string& glob) {
    if (glob.find('/') == std::string::npos) return ParseGlob("**/" + glob);
    return ParseGlob(glob[0] == '/' ? glob : "/" + glob);
}

struct EditorConfigSection {
    GlobSeq glob;
    std::vector<std::pair<std::string, std::string>> properties;  // in file order
};

struct EditorConfigFile {
    bool root = false;  // "root = true" before the first section
    std::vector<EditorConfigSection> sections;
};

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\v\f");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r\v\f") - first + 1);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The properties whose values EditorConfig defines, read in lowercase.
bool DefinedProperty(const std::string& name) {
    static const char* const kNames[] = {"end_of_line",
                                         "indent_style",
                                         "indent_size",
                                         "tab_width",
                                         "insert_final_newline",
                                         "trim_trailing_whitespace",
                                         "charset",
                                         "root"};
    for (const char* known : kNames)
        if (name == known) return true;
    return false;
}

EditorConfigFile ParseEditorConfig(const std::string& text) {
    EditorConfigFile file;
    bool inSection = false;
    size_t start = 0;
    // A byte-order mark is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            // The glob runs to the line's last "]"; what follows it is not read.
            const size_t close = line.rfind(']');
            if (close == 0 || close == std::string::npos) continue;
            file.sections.push_back({SectionGlob(line.substr(1, close - 1)), {}});
            inSection = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = Lower(Trim(line.substr(0, equals)));
        std::string value = Trim(line.substr(equals + 1));
        if (name.empty()) continue;
        if (DefinedProperty(name) || Lower(value) == "unset") value = Lower(value);
        if (inSection)
            file.sections.back().properties.emplace_back(name, value);
        else if (name == "root")
            file.root = value == "true";
    }
    return file;
}

}  // namespace

bool EditorConfigSectionMatches(const std::string& glob, const std::string& relativePath) {
    return MatchFrom(SectionGlob(glob), 0, "/" + relativePath, 0, nullptr);
}

PathParts SplitPath(const std::string& path) {
#ifdef _WIN32
    auto separator = [](char c) { return c == '\\' || c == '/'; };
#else
    auto separator = [](char c) { return c == '/'; };
#endif
    PathParts parts;
    size_t i = 0;
#ifdef _WIN32
    // "\\?\", then a drive or "UNC\server\share"; "\\server\share"; "C:\".
    size_t from = 0;
    bool unc = false;
    if (path.compare(0, 4, "\\\\?\\") == 0) {
        from = 4;
        unc = path.compare(4, 4, "UNC\\") == 0;
        if (unc) from = 8;
    } else if (path.size() > 2 && separator(path[0]) && separator(path[1])) {
        from = 2;
        unc = true;
    }
    if (unc) {
        // Two names, server and share, belong to the root.
        i = from;
        for (int names = 0; names < 2 && i < path.size(); ++names) {
            while (i < path.size() && !separator(path[i])) ++i;
            if (i < path.size()) ++i;
        }
    } else if (path.size() >= from + 2 && path[from + 1] == ':') {
        i = from + 2;
        if (i < path.size() && separator(path[i])) ++i;
    }
#else
    if (!path.empty() && separator(path[0])) i = 1;
#endif
    parts.root = path.substr(0, i);
    while (i < path.size()) {
        size_t j = i;
        while (j < path.size() && !separator(path[j])) ++j;
        if (j > i) parts.names.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

std::string FolderOf(const PathParts& parts, size_t count) {
    std::string folder = parts.root;
    for (size_t k = 0; k < count; ++k)
        folder = folder.empty() ? parts.names[k] : JoinPath(folder, parts.names[k]);
    return folder;
}

bool ReadTextFile(IFileSystem& fs, const std::string& path, std::string* text) {
    text->clear();
    std::unique_ptr<IFile> in = fs.OpenRead(path.c_str());
    if (!in) return false;
    char block[16 * 1024];
    for (;;) {
        const long got = in->Read(block, sizeof block);
        if (got < 0) return false;
        if (got == 0) return true;
        text->append(block, static_cast<size_t>(got));
    }
}

struct CEditorConfigReader::Impl {
    IFileSystem& fs;
    std::string configName;
    std::mutex lock;
    // By folder; nullptr where the folder has none.
    std::map<std::string, std::shared_ptr<const EditorConfigFile>> files;

    std::shared_ptr<const EditorConfigFile> FileIn(const std::string& folder) {
        {
            std::lock_guard<std::mutex> hold(lock);
            const auto found = files.find(folder);
            if (found != files.end()) return found->second;
        }
        std::string text;
        std::shared_ptr<const EditorConfigFile> file;
        if (ReadTextFile(fs, JoinPath(folder, configName), &text))
            file = std::make_shared<const EditorConfigFile>(ParseEditorConfig(text));
        std::lock_guard<std::mutex> hold(lock);
        return files.emplace(folder, file).first->second;
    }
};

CEditorConfigReader::CEditorConfigReader(IFileSystem& fs, std::string configName)
    : m_impl(new Impl{fs, std::move(configName), {}, {}}) {}
CEditorConfigReader::~CEditorConfigReader() = default;

std::vector<std::pair<std::string, std::string>> CEditorConfigReader::Properties(
    const std::string& fullPath) {
    const PathParts parts = SplitPath(fullPath);
    if (parts.names.empty()) return {};
    // From the file's folder upwards to the first root; then applied from
    // the farthest down, so the nearest file wins.
    struct Found {
        std::shared_ptr<const EditorConfigFile> file;
        size_t depth;  // names in its folder
    };
    std::vector<Found> chain;
    for (size_t depth = parts.names.size(); depth-- > 0;) {
        std::shared_ptr<const EditorConfigFile> file = m_impl->FileIn(FolderOf(parts, depth));
        if (!file) continue;
        chain.push_back({file, depth});
        if (file->root) break;
    }
    struct Entry {
        std::string name;
        std::string value;
        bool set;
    };
    std::vector<Entry> entries;
    auto put = [&](const std::string& name, const std::string& value) {
        for (Entry& e : entries) {
            if (e.name == name) {
                e.value = value;
                e.set = value != "unset";
                return;
            }
        }
        entries.push_back({name, value, value != "unset"});
    };
    for (auto found = chain.rbegin(); found != chain.rend(); ++found) {
        std::string relative;
        for (size_t k = found->depth; k < parts.names.size(); ++k) relative += "/" + parts.names[k];
        for (const EditorConfigSection& section : found->file->sections)
            if (MatchFrom(section.glob, 0, relative, 0, nullptr))
                for (const auto& property : section.properties) put(property.first, property.second);
    }
    // EditorConfig's own defaults between the indent properties.
    auto value = [&](const char* name) -> const std::string* {
        for (const Entry& e : entries)
            if (e.set && e.name == name) return &e.value;
        return nullptr;
    };
    if (value("indent_style") && *value("indent_style") == "tab" && !value("indent_size"))
        put("indent_size", "tab");
    // Copied before put, which may move the entries.
    if (value("indent_size") && !value("tab_width") && *value("indent_size") != "tab")
        put("tab_width", std::string(*value("indent_size")));
    if (value("indent_size") && value("tab_width") && *value("indent_size") == "tab")
        put("indent_size", std::string(*value("tab_width")));

    std::vector<std::pair<std::string, std::string>> properties;
    for (const Entry& e : entries)
        if (e.set) properties.emplace_back(e.name, e.value);
    return properties;
}
