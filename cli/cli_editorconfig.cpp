#include "cli/cli_editorconfig.h"

#include <string>
#include <vector>

#include "core/editorconfig.h"

#ifdef _WIN32
#include "core/platform/win32_path.h"
#else
#include <unistd.h>
#endif

namespace {

// The path made full, as the folders above it are looked in for files.
std::string FullPath(const std::string& path) {
#ifdef _WIN32
    std::string full;
    return FullPathName(path.c_str(), &full) ? full : path;
#else
    std::string joined = path;
    if (path.empty() || path[0] != '/') {
        std::vector<char> cwd(4096);
        if (!getcwd(cwd.data(), cwd.size())) return path;
        joined = std::string(cwd.data()) + "/" + path;
    }
    // "." and ".." taken out, as the folders are named one by one.
    std::vector<std::string> names;
    for (const std::string& name : SplitPath(joined).names) {
        if (name == ".") continue;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        names.push_back(name);
    }
    std::string full;
    for (const std::string& name : names) full += "/" + name;
    return full.empty() ? "/" : full;
#endif
}

}  // namespace

int RunEditorConfig(const CliOptions& options, ICliOutput& output, IFileSystem& fs) {
    CEditorConfigReader reader(fs, options.configName);
    for (const std::string& path : options.paths) {
        std::string text;
        if (options.paths.size() > 1) text = "[" + path + "]\n";
        for (const auto& property : reader.Properties(FullPath(path)))
            text += property.first + "=" + property.second + "\n";
        output.Write(text);
    }
    return 0;
}
