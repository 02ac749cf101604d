#pragma once
// Small trees of files for the project-rule tests: each entry a path below
// the tree's folder ("/" between names) and its content; a path ending in
// "/" is a folder.

#include <string>
#include <utility>
#include <vector>

using TreeFiles = std::vector<std::pair<std::string, std::string>>;

// Makes every entry below root, with the folders on the way; false if one
// could not be made.
bool MakeTree(const std::string& root, const TreeFiles& entries);

// root and a "/"-separated relative path joined with the platform's separator.
std::string TreePath(const std::string& root, const std::string& relative);
