#include "core/folder_walk.h"

#include <algorithm>
#include <vector>

namespace {

bool EndsInSeparator(const std::string& path) {
    if (path.empty()) return false;
    const char last = path.back();
#ifdef _WIN32
    return last == '\\' || last == '/';
#else
    return last == '/';
#endif
}

// A name the code page could not represent comes back with "?" in it; it
// names no real file and would act as a wildcard if passed on.
bool IsUsableName(const std::string& name) {
#ifdef _WIN32
    return name.find_first_of("?*") == std::string::npos;
#else
    return !name.empty();
#endif
}

struct Walk {
    IFileSystem& m_fs;
    const CFileFilter& m_filter;
    bool m_includeSubfolders;
    const WalkVisitor& m_visitor;
    std::vector<FolderId> m_descent;  // the folders being walked, outermost first

    int Folder(const std::string& folder) {
        FolderId id;
        const bool known = m_fs.GetFolderId(folder.c_str(), &id);
        if (known && std::find(m_descent.begin(), m_descent.end(), id) != m_descent.end()) return 0;

        std::vector<DirEntry> entries;
        if (!m_fs.Enumerate(folder.c_str(), [&](const DirEntry& e) {
                entries.push_back(e);
                return true;
            }))
            return 0;

        if (known) m_descent.push_back(id);
        int added = 0;
        for (const DirEntry& entry : entries) {
            if (entry.name == "." || entry.name == ".." || !IsUsableName(entry.name)) continue;
            const std::string path = JoinPath(folder, entry.name);
            if (path.size() > kMaxPathLength) continue;  // deeper entries are skipped, not handed on cut
            if ((entry.attributes & kAttrDirectory) != 0) {
                if (m_includeSubfolders) added += Folder(path);
            } else if (m_filter.Matches(path.c_str()) && m_visitor && m_visitor(path)) {
                ++added;
            }
        }
        if (known) m_descent.pop_back();
        return added;
    }
};

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || EndsInSeparator(folder)) return folder + name;
    return folder + kPathSeparator + name;
}

int WalkFolder(IFileSystem& fs, const char* folder, const CFileFilter& filter, bool includeSubfolders,
               const WalkVisitor& visitor) {
    if (folder == nullptr || *folder == '\0') return 0;
    Walk walk{fs, filter, includeSubfolders, visitor, {}};
    return walk.Folder(folder);
}
