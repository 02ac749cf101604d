#include "core/folder_walk.h"

#include <algorithm>
#include <vector>

namespace {

// A name the code page could not represent comes back with "?" in it; it
// names no real file and would act as a wildcard if passed on.
bool IsUsableName(const std::string& name) {
#ifdef _WIN32
    return name.find_first_of("?*") == std::string::npos;
#else
    return !name.empty();
#endif
}

// A path past the platform's limit can be neither listed nor opened: it is
// skipped, never handed on cut. The bound also ends a link loop whose
// folders have no id. Its bytes are never fewer than the UTF-16 units or
// POSIX bytes the limit counts, so only a long one needs the exact check
// (with room for the prefix that check adds).
bool Reachable(const std::string& path) {
    constexpr size_t kPrefixRoom = 8;  // "\\?\UNC\"
    return path.size() + kPrefixRoom <= kMaxPathLength || FitsPathLimit(path.c_str());
}

bool IsVersionControl(const std::string& name) {
    if (name.size() != 3 && name.size() != 4) return false;
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower == ".git" || lower == ".hg" || lower == ".svn";
}

// A folder being walked: its listing and how far the walk has come in it.
struct OpenFolder {
    std::string path;
    std::vector<DirEntry> entries;
    size_t next = 0;
    bool known = false;  // its id is on the descent
    IgnoreScope scope;   // null outside a working tree or without rules
};

// Depth first in enumeration order, on a stack of its own: a tree may be
// thousands of folders deep now that paths have no short limit, deeper than
// a thread's stack would allow recursion.
struct Walk {
    IFileSystem& m_fs;
    const CFileFilter& m_filter;
    bool m_includeSubfolders;
    const WalkVisitor& m_visitor;
    CGitIgnore* m_ignore;
    std::vector<FolderId> m_descent;  // the ids of the folders being walked, outermost first
    std::vector<OpenFolder> m_open;

    // Lists folder onto the stack, unless it cannot be read or is already
    // being walked (a link back to it), or Git ignores it as a whole. parent
    // is the open folder it lies in, null for the walk's own folder.
    void Enter(const std::string& folder, const OpenFolder* parent, const std::string& name) {
        FolderId id;
        const bool known = m_fs.GetFolderId(folder.c_str(), &id);
        if (known && std::find(m_descent.begin(), m_descent.end(), id) != m_descent.end()) return;
        OpenFolder open;
        open.path = folder;
        open.known = known;
        if (!m_fs.Enumerate(folder.c_str(), [&](const DirEntry& e) {
                open.entries.push_back(e);
                return true;
            }))
            return;
        if (m_ignore != nullptr) {
            bool ignored = false;
            open.scope = parent != nullptr ? m_ignore->Descend(parent->scope, folder, name, open.entries)
                                           : m_ignore->ScopeOf(folder, &ignored);
            if (ignored) return;
        }
        if (known) m_descent.push_back(id);
        m_open.push_back(std::move(open));
    }

    int Run(const std::string& root) {
        int added = 0;
        Enter(root, nullptr, std::string());
        while (!m_open.empty()) {
            OpenFolder& top = m_open.back();
            if (top.next == top.entries.size()) {
                if (top.known) m_descent.pop_back();
                m_open.pop_back();
                continue;
            }
            const DirEntry& entry = top.entries[top.next++];
            if (entry.name == "." || entry.name == ".." || !IsUsableName(entry.name)) continue;
            const std::string path = JoinPath(top.path, entry.name);
            if (!Reachable(path)) continue;
            const bool directory = (entry.attributes & kAttrDirectory) != 0;
            if (directory && IsVersionControl(entry.name)) continue;
            if (top.scope && CGitIgnore::Ignored(top.scope, entry.name, directory)) continue;
            if (directory) {
                if (m_includeSubfolders) Enter(path, &top, entry.name);  // top may move: not used after this
            } else if (m_filter.Matches(path.c_str()) && m_visitor && m_visitor(path)) {
                ++added;
            }
        }
        return added;
    }
};

}  // namespace

bool IsPathSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsPathSeparator(folder.back())) return folder + name;
    return folder + kPathSeparator + name;
}

int WalkFolder(IFileSystem& fs, const char* folder, const CFileFilter& filter, bool includeSubfolders,
               const WalkVisitor& visitor, CGitIgnore* ignore) {
    if (folder == nullptr || *folder == '\0') return 0;
    Walk walk{fs, filter, includeSubfolders, visitor, ignore, {}, {}};
    return walk.Run(folder);
}
