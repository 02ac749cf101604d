#include "core/git_tree.h"

#include "core/editorconfig.h"
#include "core/folder_walk.h"

namespace {

bool IsAbsolute(const std::string& path) {
    if (!path.empty() && IsPathSeparator(path[0])) return true;
#ifdef _WIN32
    return path.size() >= 2 && path[1] == ':';
#else
    return false;
#endif
}

// A file's text without the line breaks at its end; empty if unreadable.
std::string ReadWithoutLineEnd(IFileSystem& fs, const std::string& path) {
    std::string text;
    if (!ReadTextFile(fs, path, &text)) return std::string();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

bool IsGitTreeTop(IFileSystem& fs, const std::string& folder) {
    return fs.GetAttributes(JoinPath(folder, ".git").c_str()) != kInvalidAttributes;
}

std::string GitCommonDir(IFileSystem& fs, const std::string& top) {
    std::string gitDir = JoinPath(top, ".git");
    const uint32_t attributes = fs.GetAttributes(gitDir.c_str());
    if (attributes != kInvalidAttributes && (attributes & kAttrDirectory) == 0) {
        const std::string line = ReadWithoutLineEnd(fs, gitDir);
        if (line.compare(0, 8, "gitdir: ") == 0 && line.size() > 8) {
            const std::string named = line.substr(8);
            gitDir = IsAbsolute(named) ? named : JoinPath(top, named);
        }
    }
    const std::string common = ReadWithoutLineEnd(fs, JoinPath(gitDir, "commondir"));
    if (!common.empty()) gitDir = IsAbsolute(common) ? common : JoinPath(gitDir, common);
    return gitDir;
}
