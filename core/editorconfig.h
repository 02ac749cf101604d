#pragma once
// .editorconfig files: their sections' globs, and the properties a chain of
// them gives one file. Names and the values EditorConfig defines are read
// in lowercase; other values keep their case.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/platform/file_system.h"

// Whether a section named glob matches the file at relativePath, given
// from the .editorconfig's folder with "/" between names. A glob without
// "/" matches the name in any folder below; one with "/" is taken from the
// file's folder, a leading "/" left out.
bool EditorConfigSectionMatches(const std::string& glob, const std::string& relativePath);

// A path cut into its root ("/", "C:\", "\\server\share\"; empty for a
// relative path) and the names below it, either separator taken on Windows.
struct PathParts {
    std::string root;
    std::vector<std::string> names;
};
PathParts SplitPath(const std::string& path);
// The folder of root and the first count names.
std::string FolderOf(const PathParts& parts, size_t count);

// Reads a file through fs whole: false if it cannot be opened or read.
bool ReadTextFile(IFileSystem& fs, const std::string& path, std::string* text);

// Reads and keeps each folder's .editorconfig (or configName) once; one
// object may be asked from several threads at once.
class CEditorConfigReader {
public:
    explicit CEditorConfigReader(IFileSystem& fs, std::string configName = ".editorconfig");
    ~CEditorConfigReader();
    CEditorConfigReader(const CEditorConfigReader&) = delete;
    CEditorConfigReader& operator=(const CEditorConfigReader&) = delete;

    // Every property that applies to the file at fullPath: the files from
    // its folder upwards to the first that says root = true, the farthest
    // read first, later sections winning; names in the order each first
    // appears, "unset" taking a value back.
    std::vector<std::pair<std::string, std::string>> Properties(const std::string& fullPath);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
