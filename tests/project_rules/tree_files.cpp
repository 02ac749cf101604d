#include "tests/project_rules/tree_files.h"

#include "core/platform/file_system.h"
#include "tests/support/file_io.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {

void MakeFolder(const std::string& path) {
#ifdef _WIN32
    _mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0755);
#endif
}

}  // namespace

std::string TreePath(const std::string& root, const std::string& relative) {
    std::string path = root + kPathSeparator;
    for (char c : relative) path += c == '/' ? kPathSeparator : c;
    return path;
}

bool MakeTree(const std::string& root, const TreeFiles& entries) {
    for (const auto& entry : entries) {
        const std::string& relative = entry.first;
        for (size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1))
            MakeFolder(TreePath(root, relative.substr(0, slash)));
        if (relative.back() == '/') continue;
        if (!WriteWholeFile(TreePath(root, relative), entry.second)) return false;
    }
    return true;
}
