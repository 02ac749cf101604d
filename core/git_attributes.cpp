#include "core/git_attributes.h"

#include <cctype>
#include <cstring>
#include <map>
#include <mutex>

#include "core/editorconfig.h"
#include "core/folder_walk.h"
#include "core/git_tree.h"
#include "core/git_wildmatch.h"

namespace {

// One assignment of a line: "name", "-name", "!name" or "name=value".
struct Assignment {
    std::string name;
    GitAttrState state;
    std::string value;
};

struct AttrLine {
    bool macro = false;
    std::string pattern;  // the macro's name for a macro
    bool mustBeFolder = false;
    bool baseName = false;  // no "/": matched against the file's name alone
    std::vector<Assignment> assignments;
};

using AttrFile = std::vector<AttrLine>;

bool ValidAttrName(const std::string& name) {
    if (name.empty() || name[0] == '-' || name.compare(0, 8, "builtin_") == 0) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_')) return false;
    return true;
}

// A C-style quoted pattern from just past its opening quote; false if it
// never closes.
bool Unquote(const std::string& line, size_t& i, std::string* out) {
    static const char kEscapes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"\\\\";
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= line.size()) return false;
        c = line[i];
        auto octal = [](char d) { return d >= '0' && d <= '7'; };
        if (c >= '0' && c <= '3' && i + 2 < line.size() && octal(line[i + 1]) && octal(line[i + 2])) {
            *out += static_cast<char>((c - '0') << 6 | (line[i + 1] - '0') << 3 | (line[i + 2] - '0'));
            i += 2;
            continue;
        }
        const char* escape = std::strchr(kEscapes, c);
        if (!escape || (escape - kEscapes) % 2 != 0) return false;
        *out += escape[1];
    }
    return false;
}

AttrFile ParseAttributes(const std::string& text, bool macrosAllowed) {
    static const char kBlank[] = " \t\r\n";
    AttrFile file;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t i = line.find_first_not_of(kBlank);
        if (i == std::string::npos || line[i] == '#') continue;
        AttrLine parsed;
        size_t quoted = i + 1;
        // A quote that does not unquote is part of the pattern.
        if (line[i] == '"' && Unquote(line, quoted, &parsed.pattern)) {
            i = quoted;
        } else {
            parsed.pattern.clear();
            const size_t stop = std::min(line.find_first_of(kBlank, i), line.size());
            parsed.pattern = line.substr(i, stop - i);
            i = stop;
        }
        if (parsed.pattern.compare(0, 6, "[attr]") == 0) {
            parsed.macro = true;
            parsed.pattern.erase(0, 6);
            if (!macrosAllowed || !ValidAttrName(parsed.pattern)) continue;
        } else {
            // Negative patterns mean nothing here; Git drops the line.
            if (parsed.pattern.empty() || parsed.pattern[0] == '!') continue;
            if (parsed.pattern.back() == '/') {
                parsed.mustBeFolder = true;
                parsed.pattern.pop_back();
            }
            parsed.baseName = parsed.pattern.find('/') == std::string::npos;
            if (!parsed.baseName && parsed.pattern[0] == '/') parsed.pattern.erase(0, 1);
        }
        bool valid = true;
        while (valid) {
            i = line.find_first_not_of(kBlank, i);
            if (i == std::string::npos) break;
            const size_t stop = std::min(line.find_first_of(kBlank, i), line.size());
            std::string token = line.substr(i, stop - i);
            i = stop;
            Assignment a{std::string(), GitAttrState::Set, std::string()};
            if (token[0] == '-' || token[0] == '!') {
                a.state = token[0] == '-' ? GitAttrState::Unset : GitAttrState::Unspecified;
                token.erase(0, 1);
            }
            const size_t equals = token.find('=');
            if (equals != std::string::npos && a.state == GitAttrState::Set) {
                a.state = GitAttrState::Value;
                a.value = token.substr(equals + 1);
                token.erase(equals);
            }
            a.name = token;
            valid = ValidAttrName(a.name);
            parsed.assignments.push_back(a);
        }
        if (valid) file.push_back(parsed);
    }
    return file;
}

// One attributes file in force for a path, and the path from its folder.
struct Frame {
    std::shared_ptr<const AttrFile> file;
    std::string relative;
    std::string name;  // the file's own name
    bool macros;
};

bool LineMatches(const AttrLine& line, const Frame& frame, bool foldCase) {
    if (line.macro || line.mustBeFolder) return false;
    if (!line.baseName) return GitPathPatternMatch(line.pattern.c_str(), frame.relative.c_str(), foldCase);
    return GitWildMatch(line.pattern.c_str(), frame.name.c_str(), foldCase ? kWildCaseFold : 0u);
}

struct Resolver {
    std::map<std::string, const AttrLine*> macros;
    std::map<std::string, GitAttrValue> values;

    // Git's order: the first assignment met (latest line, deepest file)
    // wins; a macro set there fills what is still open at that same rank.
    void Fill(const std::vector<Assignment>& assignments, int depth) {
        for (auto a = assignments.rbegin(); a != assignments.rend(); ++a) {
            if (values.count(a->name)) continue;
            values[a->name] = GitAttrValue{a->state, a->value};
            const auto macro = macros.find(a->name);
            if (macro != macros.end() && a->state == GitAttrState::Set && depth < 64)
                Fill(macro->second->assignments, depth + 1);
        }
    }
};

const AttrFile& BuiltInAttributes() {
    static const AttrFile builtIn = ParseAttributes("[attr]binary -diff -merge -text\n", true);
    return builtIn;
}

}  // namespace

struct CGitAttributes::Impl {
    IFileSystem& fs;
    std::mutex lock;
    std::map<std::string, std::shared_ptr<const AttrFile>> files;  // nullptr: none there
    std::map<std::string, std::string> infoFiles;                  // tree root -> info/attributes
    std::map<std::string, bool> treeRoots;                         // folder -> holds ".git"

    bool IsTreeRoot(const std::string& folder) {
        {
            std::lock_guard<std::mutex> hold(lock);
            const auto found = treeRoots.find(folder);
            if (found != treeRoots.end()) return found->second;
        }
        const bool root = IsGitTreeTop(fs, folder);
        std::lock_guard<std::mutex> hold(lock);
        return treeRoots.emplace(folder, root).first->second;
    }

    std::shared_ptr<const AttrFile> FileAt(const std::string& path, bool macros) {
        {
            std::lock_guard<std::mutex> hold(lock);
            const auto found = files.find(path);
            if (found != files.end()) return found->second;
        }
        std::string text;
        std::shared_ptr<const AttrFile> file;
        if (ReadTextFile(fs, path, &text))
            file = std::make_shared<const AttrFile>(ParseAttributes(text, macros));
        std::lock_guard<std::mutex> hold(lock);
        return files.emplace(path, file).first->second;
    }

    // Where the repository of the working tree at root keeps info/attributes.
    std::string InfoAttributes(const std::string& root) {
        {
            std::lock_guard<std::mutex> hold(lock);
            const auto found = infoFiles.find(root);
            if (found != infoFiles.end()) return found->second;
        }
        const std::string info = JoinPath(JoinPath(GitCommonDir(fs, root), "info"), "attributes");
        std::lock_guard<std::mutex> hold(lock);
        return infoFiles.emplace(root, info).first->second;
    }
};

CGitAttributes::CGitAttributes(IFileSystem& fs) : m_impl(new Impl{fs, {}, {}, {}, {}}) {}
CGitAttributes::~CGitAttributes() = default;

std::vector<GitAttrValue> CGitAttributes::Lookup(const std::string& fullPath,
                                                 const std::vector<std::string>& names) {
    std::vector<GitAttrValue> result(names.size());
    const PathParts parts = SplitPath(fullPath);
    if (parts.names.empty()) return result;
    const size_t folderDepth = parts.names.size() - 1;
    // The working tree's root: the nearest folder above that holds ".git".
    size_t root = folderDepth + 1;
    for (size_t depth = folderDepth + 1; depth-- > 0;) {
        if (m_impl->IsTreeRoot(FolderOf(parts, depth))) {
            root = depth;
            break;
        }
    }
    if (root > folderDepth) return result;
    const std::string rootFolder = FolderOf(parts, root);
    auto relativeFrom = [&](size_t depth) {
        std::string relative;
        for (size_t k = depth; k < parts.names.size(); ++k)
            relative += (relative.empty() ? "" : "/") + parts.names[k];
        return relative;
    };
    // Highest rank first: info/attributes, then the deepest folder's file up
    // to the root's, then the built-in macros.
    std::vector<Frame> frames;
    const std::string& name = parts.names.back();
    frames.push_back(
        {m_impl->FileAt(m_impl->InfoAttributes(rootFolder), true), relativeFrom(root), name, true});
    for (size_t depth = folderDepth + 1; depth-- > root;)
        frames.push_back({m_impl->FileAt(JoinPath(FolderOf(parts, depth), ".gitattributes"), depth == root),
                          relativeFrom(depth), name, depth == root});
    frames.push_back({std::shared_ptr<const AttrFile>(&BuiltInAttributes(), [](const AttrFile*) {}),
                      relativeFrom(root), name, true});

    Resolver resolver;
    for (const Frame& frame : frames) {
        if (!frame.file || !frame.macros) continue;
        for (auto line = frame.file->rbegin(); line != frame.file->rend(); ++line)
            if (line->macro) resolver.macros.emplace(line->pattern, &*line);
    }
    for (const Frame& frame : frames) {
        if (!frame.file) continue;
        for (auto line = frame.file->rbegin(); line != frame.file->rend(); ++line)
            if (LineMatches(*line, frame, kGitFoldsCase)) resolver.Fill(line->assignments, 0);
    }
    for (size_t k = 0; k < names.size(); ++k) {
        const auto found = resolver.values.find(names[k]);
        if (found != resolver.values.end()) result[k] = found->second;
    }
    return result;
}
