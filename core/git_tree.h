#pragma once
// A Git working tree's top and where its repository keeps the files shared
// by all its working trees (config, info/), found the way Git finds them.

#include <string>

#include "core/platform/file_system.h"

#ifdef _WIN32
constexpr bool kGitFoldsCase = true;  // what Git sets up in a repository on a case-blind file system
#else
constexpr bool kGitFoldsCase = false;
#endif

// Whether folder holds a ".git": the repository itself, or a file naming it.
bool IsGitTreeTop(IFileSystem& fs, const std::string& folder);

// For the working tree whose top is top: its ".git" folder, or the folder a
// ".git" file names ("gitdir: ...", a linked working tree or a submodule),
// and then the common folder that one's "commondir" names, if any.
std::string GitCommonDir(IFileSystem& fs, const std::string& top);
