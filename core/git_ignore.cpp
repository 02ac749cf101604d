#include "core/git_ignore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/folder_walk.h"
#include "core/git_tree.h"
#include "core/git_wildmatch.h"

// One folder's rules, chained to the folders above it in the same working tree.
struct IgnoreLevel {
    IgnoreScope parent;  // null at the working tree's top
    std::shared_ptr<const GitRepository> repository;
    std::string relative;  // from the top, with '/' after each name: "" at the top, "a/b/" below
    std::vector<IgnorePattern> patterns;
};

struct GitRepository {
    bool ignoreCase = false;
    std::vector<IgnorePattern> exclude;                        // info/exclude
    std::shared_ptr<const std::vector<IgnorePattern>> global;  // core.excludesFile
};

// What the Git configuration files say that matters here.
struct CoreConfig {
    bool hasExcludesFile = false;
    std::string excludesFile;
    int ignoreCase = -1;  // -1: not said
};

struct CGitIgnore::UserConfig {
    CoreConfig core;
};

namespace {

unsigned char Fold(unsigned char c, bool fold) {
    return fold && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool SameText(const char* a, const char* b, size_t length, bool fold) {
    for (size_t i = 0; i < length; ++i)
        if (Fold(static_cast<unsigned char>(a[i]), fold) != Fold(static_cast<unsigned char>(b[i]), fold))
            return false;
    return true;
}

bool SameName(const std::string& a, const char* b, bool fold) {
    const size_t length = std::strlen(b);
    return a.size() == length && SameText(a.data(), b, length, fold);
}

// ---- ignore files ----

bool HasGlob(const std::string& text, size_t from) {
    return text.find_first_of("*?[\\", from) != std::string::npos;
}

// Trailing spaces go unless a '\' quotes them.
void TrimTrailingSpaces(std::string& line) {
    size_t keep = line.size();
    bool inSpaces = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ') {
            if (!inSpaces) keep = i;
            inSpaces = true;
            continue;
        }
        inSpaces = false;
        if (line[i] == '\\') ++i;
    }
    if (inSpaces) line.resize(keep);
}

bool Matches(const IgnorePattern& pattern, const char* subject, bool fold) {
    const unsigned flags = kWildPathname | (fold ? kWildCaseFold : 0u);
    switch (pattern.kind) {
        case IgnorePattern::Kind::Literal:
            return std::strlen(subject) == pattern.text.size() &&
                   SameText(subject, pattern.text.data(), pattern.text.size(), fold);
        case IgnorePattern::Kind::Suffix: {
            const size_t length = std::strlen(subject);
            return length >= pattern.text.size() && SameText(subject + length - pattern.text.size(),
                                                             pattern.text.data(), pattern.text.size(), fold);
        }
        case IgnorePattern::Kind::Tail: {
            const size_t length = std::strlen(subject);
            const auto tail = static_cast<size_t>(pattern.length);
            return length >= tail && GitWildMatch(pattern.text.c_str(), subject + length - tail, flags);
        }
        default:
            if (pattern.length >= 0 && std::strlen(subject) != static_cast<size_t>(pattern.length))
                return false;
            if (!pattern.nameOnly) return GitPathPatternMatch(pattern.text.c_str(), subject, fold);
            return GitWildMatch(pattern.text.c_str(), subject, flags);
    }
}

// An entry as the patterns see it: its name, and its path from the working
// tree's top, made only when a pattern with a '/' asks for it.
struct Entry {
    const std::string& name;
    const std::string& folder;  // "a/b/"
    std::string relative;

    const char* Relative(size_t base) {
        if (relative.empty()) relative = folder + name;
        return relative.c_str() + base;
    }
};

// The last pattern of the list that matches decides: -1 none does, 0 a
// negative one (not ignored), 1 ignored. base is the length of the list's
// folder in the entry's path.
int Decide(const std::vector<IgnorePattern>& patterns, Entry& entry, size_t base, bool directory, bool fold) {
    for (auto it = patterns.rbegin(); it != patterns.rend(); ++it) {
        if (it->directoryOnly && !directory) continue;
        const char* subject = it->nameOnly ? entry.name.c_str() : entry.Relative(base);
        if (Matches(*it, subject, fold)) return it->negative ? 0 : 1;
    }
    return -1;
}

// ---- Git configuration ----

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(Fold(static_cast<unsigned char>(c), true));
    return text;
}

bool ParseBool(const std::string& value, bool implicit) {
    if (implicit) return true;
    const std::string v = Lower(value);
    if (v == "true" || v == "yes" || v == "on") return true;
    if (v == "false" || v == "no" || v == "off" || v.empty()) return false;
    return std::strtol(v.c_str(), nullptr, 10) != 0;
}

// A value from just after '=' to the end of its line (or of the lines a
// trailing '\' joins): quotes kept out, escapes resolved, a comment and the
// spaces outside quotes at the end dropped.
std::string ParseValue(const std::string& text, size_t& i) {
    std::string value;
    size_t pendingSpaces = 0;
    bool quoted = false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') break;
        if (!quoted && (c == '#' || c == ';')) {
            while (i < text.size() && text[i] != '\n') ++i;
            break;
        }
        if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (!value.empty()) ++pendingSpaces;
            continue;
        }
        value.append(pendingSpaces, ' ');
        pendingSpaces = 0;
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            if (next == '\n' || (next == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
                if (next == '\r') ++i;
            } else {
                value += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'b' ? '\b' : next;
            }
        } else {
            value += c;
        }
    }
    return value;
}

void ReadCoreConfig(const std::string& text, CoreConfig* config) {
    std::string section;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= text.size()) break;
        const char c = text[i];
        if (c == '#' || c == ';') {
            while (i < text.size() && text[i] != '\n') ++i;
            continue;
        }
        if (c == '[') {
            const size_t close = text.find(']', i);
            if (close == std::string::npos) return;
            const std::string header = text.substr(i + 1, close - i - 1);
            // A subsection ("core \"x\"") is some other section.
            section = header.find_first_of(" \t\"") == std::string::npos ? Lower(header) : std::string();
            i = close + 1;
            continue;
        }
        const size_t keyStart = i;
        while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '-')) ++i;
        const std::string key = Lower(text.substr(keyStart, i - keyStart));
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        const bool implicit = i >= text.size() || text[i] != '=';
        std::string value;
        if (!implicit) value = ParseValue(text, ++i);
        while (i < text.size() && text[i] != '\n') ++i;
        if (key.empty() || section != "core") continue;
        if (key == "excludesfile" && !implicit) {
            config->hasExcludesFile = true;
            config->excludesFile = value;
        } else if (key == "ignorecase") {
            config->ignoreCase = ParseBool(value, implicit) ? 1 : 0;
        }
    }
}

// Splits off the last name; false at a root, or for a bare name.
bool SplitLast(const std::string& path, std::string* parent, std::string* name) {
    size_t end = path.size();
    while (end > 1 && IsPathSeparator(path[end - 1])) --end;
    size_t sep = end;
    while (sep > 0 && !IsPathSeparator(path[sep - 1])) --sep;
    if (sep == 0 || sep == end) return false;
    *name = path.substr(sep, end - sep);
    size_t keep = sep - 1;
    // Keep the separator of a root: "/", "C:\".
    if (keep == 0 || (keep == 2 && path[1] == ':')) ++keep;
    *parent = path.substr(0, keep);
#ifdef _WIN32
    // "\\server" alone is no folder.
    if (parent->size() >= 2 && IsPathSeparator((*parent)[0]) && IsPathSeparator((*parent)[1]) &&
        parent->find_first_of("\\/", 2) == std::string::npos)
        return false;
#endif
    return true;
}

}  // namespace

GitUserPlaces GitUserPlaces::FromEnvironment() {
    GitUserPlaces places;
    const char* home = std::getenv("HOME");
#ifdef _WIN32
    if (home == nullptr || *home == '\0') home = std::getenv("USERPROFILE");
#endif
    if (home != nullptr) places.home = home;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr) places.xdgConfigHome = xdg;
    return places;
}

std::vector<IgnorePattern> ParseIgnorePatterns(const std::string& text) {
    std::vector<IgnorePattern> patterns;
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        TrimTrailingSpaces(line);
        IgnorePattern pattern;
        if (!line.empty() && line[0] == '!') {
            pattern.negative = true;
            line.erase(0, 1);
        }
        if (!line.empty() && line.back() == '/') {
            pattern.directoryOnly = true;
            line.pop_back();
        }
        pattern.nameOnly = line.find('/') == std::string::npos;
        if (!pattern.nameOnly && line[0] == '/') line.erase(0, 1);
        if (line.empty()) continue;
        const bool noLaterStar = line.find('*', 1) == std::string::npos;
        if (!HasGlob(line, 0)) {
            pattern.kind = IgnorePattern::Kind::Literal;
        } else if (pattern.nameOnly && line[0] == '*' && !HasGlob(line, 1)) {
            pattern.kind = IgnorePattern::Kind::Suffix;
            line.erase(0, 1);
        } else if (pattern.nameOnly && line[0] == '*' && noLaterStar) {
            // Within a name '*' takes whatever the rest leaves.
            pattern.kind = IgnorePattern::Kind::Tail;
            line.erase(0, 1);
            pattern.length = GitWildFixedLength(line.c_str());
            if (pattern.length < 0) continue;
        } else if (line[0] != '*' && noLaterStar) {
            pattern.length = GitWildFixedLength(line.c_str());
            if (pattern.length < 0) continue;
        }
        pattern.text = std::move(line);
        patterns.push_back(std::move(pattern));
    }
    return patterns;
}

CGitIgnore::CGitIgnore(IFileSystem& fs, GitUserPlaces places) : m_fs(fs), m_places(std::move(places)) {}

CGitIgnore::~CGitIgnore() = default;

std::string CGitIgnore::ReadText(const std::string& path) {
    std::string text;
    std::unique_ptr<IFile> file = m_fs.OpenRead(path.c_str());
    if (!file) return text;
    constexpr size_t kMostRead = size_t{16} << 20;  // no real rules file comes near it
    char buffer[16384];
    long got;
    while (text.size() < kMostRead && (got = file->Read(buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

std::vector<IgnorePattern> CGitIgnore::ReadPatterns(const std::string& path) {
    return ParseIgnorePatterns(ReadText(path));
}

std::shared_ptr<const GitRepository> CGitIgnore::Repository(const std::string& top) {
    auto known = m_repositories.find(top);
    if (known != m_repositories.end()) return known->second;

    const std::string gitDir = GitCommonDir(m_fs, top);

    if (!m_user) {
        m_user.reset(new UserConfig);
        const std::string xdg =
            m_places.xdgConfigHome.empty() ? JoinPath(m_places.home, ".config") : m_places.xdgConfigHome;
        if (!xdg.empty()) ReadCoreConfig(ReadText(JoinPath(JoinPath(xdg, "git"), "config")), &m_user->core);
        if (!m_places.home.empty())
            ReadCoreConfig(ReadText(JoinPath(m_places.home, ".gitconfig")), &m_user->core);
    }
    CoreConfig config = m_user->core;
    config.ignoreCase = -1;
    ReadCoreConfig(ReadText(JoinPath(gitDir, "config")), &config);

    std::string excludesFile;
    if (config.hasExcludesFile) {
        excludesFile = config.excludesFile;
        if (excludesFile.size() >= 2 && excludesFile[0] == '~' && IsPathSeparator(excludesFile[1]))
            excludesFile = JoinPath(m_places.home, excludesFile.substr(2));
    } else {
        const std::string xdg =
            m_places.xdgConfigHome.empty() ? JoinPath(m_places.home, ".config") : m_places.xdgConfigHome;
        if (!m_places.xdgConfigHome.empty() || !m_places.home.empty())
            excludesFile = JoinPath(JoinPath(xdg, "git"), "ignore");
    }

    auto repository = std::make_shared<GitRepository>();
    repository->ignoreCase = config.ignoreCase < 0 ? kGitFoldsCase : config.ignoreCase != 0;
    repository->exclude = ReadPatterns(JoinPath(JoinPath(gitDir, "info"), "exclude"));
    auto& global = m_excludesFiles[excludesFile];
    if (!global)
        global = std::make_shared<const std::vector<IgnorePattern>>(
            excludesFile.empty() ? std::vector<IgnorePattern>() : ReadPatterns(excludesFile));
    repository->global = global;
    m_repositories[top] = repository;
    return repository;
}

IgnoreScope CGitIgnore::Child(const IgnoreScope& parent, const std::string& path, const std::string& name,
                              bool hasIgnoreFile) {
    auto scope = std::make_shared<IgnoreLevel>();
    scope->parent = parent;
    scope->repository = parent ? parent->repository : Repository(path);
    if (parent) scope->relative = parent->relative + name + "/";
    if (hasIgnoreFile) scope->patterns = ReadPatterns(JoinPath(path, ".gitignore"));
    return scope;
}

IgnoreScope CGitIgnore::ScopeOf(const std::string& folder, bool* ignored) {
    // Up to a folder already known or the working tree's top, then down
    // again reading each level's rules, every folder on the way kept.
    std::vector<std::pair<std::string, std::string>> below;  // path and name, nearest first
    std::string path = folder;
    Known current;
    for (;;) {
        auto known = m_folders.find(path);
        if (known != m_folders.end()) {
            current = known->second;
            break;
        }
        if (IsGitTreeTop(m_fs, path)) {
            current.scope = Child(nullptr, path, std::string(), true);
            m_folders[path] = current;
            break;
        }
        std::string parent, name;
        if (!SplitLast(path, &parent, &name)) break;  // in no working tree
        below.emplace_back(path, name);
        path = parent;
    }
    for (auto level = below.rbegin(); level != below.rend(); ++level) {
        // Below an ignored folder everything is, whatever its own rules say.
        if (current.scope && !current.ignored) {
            if (Ignored(current.scope, level->second, true))
                current.ignored = true;
            else
                current.scope = Child(current.scope, level->first, level->second, true);
        }
        m_folders[level->first] = current;
    }
    *ignored = current.ignored;
    return current.scope;
}

IgnoreScope CGitIgnore::Descend(const IgnoreScope& parent, const std::string& path, const std::string& name,
                                const std::vector<DirEntry>& entries) {
    auto known = m_folders.find(path);
    if (known != m_folders.end()) return known->second.scope;
    const bool fold = parent ? parent->repository->ignoreCase : kGitFoldsCase;
    bool hasGit = false;
    bool hasIgnoreFile = false;
    for (const DirEntry& entry : entries) {
        hasGit = hasGit || SameName(entry.name, ".git", fold);
        hasIgnoreFile = hasIgnoreFile || ((entry.attributes & kAttrDirectory) == 0 &&
                                          SameName(entry.name, ".gitignore", fold));
    }
    IgnoreScope scope;
    if (hasGit)
        scope = Child(nullptr, path, std::string(), hasIgnoreFile);  // a working tree of its own
    else if (parent)
        scope = Child(parent, path, name, hasIgnoreFile);
    m_folders[path] = Known{scope, false};
    return scope;
}

bool CGitIgnore::Ignored(const IgnoreScope& scope, const std::string& name, bool directory) {
    if (!scope) return false;
    const GitRepository& repository = *scope->repository;
    const bool fold = repository.ignoreCase;
    if (SameName(name, ".git", fold)) return true;
    Entry entry{name, scope->relative, std::string()};
    // Deeper files first, then the repository's exclude, then the user's.
    for (const IgnoreLevel* level = scope.get(); level != nullptr; level = level->parent.get()) {
        const int decided = Decide(level->patterns, entry, level->relative.size(), directory, fold);
        if (decided >= 0) return decided == 1;
    }
    int decided = Decide(repository.exclude, entry, 0, directory, fold);
    if (decided < 0) decided = Decide(*repository.global, entry, 0, directory, fold);
    return decided == 1;
}

bool CGitIgnore::IsIgnored(const std::string& path, bool directory) {
    std::string folder, name;
    if (!SplitLast(path, &folder, &name)) return false;
    bool ignored = false;
    const IgnoreScope scope = ScopeOf(folder, &ignored);
    return ignored || Ignored(scope, name, directory);
}
