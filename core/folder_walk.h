#pragma once
// Expanding a folder into the files below it that pass a pattern list.

#include <functional>
#include <string>

#include "core/filters.h"
#include "core/git_ignore.h"
#include "core/platform/file_system.h"

// Called with the full path of each file that passes; returns true if the
// file was actually added (not a duplicate, insertion worked).
using WalkVisitor = std::function<bool(const std::string& fullPath)>;

// Visits the files of `folder` in enumeration order, depth-first into
// subfolders when asked, testing each file's full path (folder, separator,
// name) against the filter. Only the directory attribute is looked at.
// `folder` should be absolute; the paths handed on are built from it.
// A folder reached again through a link or junction while it is already
// being walked is skipped, so link loops end. Version-control folders
// (.git, .hg, .svn) are never entered. Given ignore rules, what Git ignores
// inside a working tree is left out, and a folder Git ignores as a whole
// yields nothing. Returns the number of files the visitor added; a folder
// that cannot be read adds nothing.
int WalkFolder(IFileSystem& fs, const char* folder, const CFileFilter& filter, bool includeSubfolders,
               const WalkVisitor& visitor, CGitIgnore* ignore = nullptr);

// folder + separator + name, without a second separator after a folder that
// already ends in one (a drive root such as "C:\").
std::string JoinPath(const std::string& folder, const std::string& name);

// Whether c separates the names of a path: '/', and on Windows '\' too.
bool IsPathSeparator(char c);
