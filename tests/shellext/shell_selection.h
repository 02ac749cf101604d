#pragma once
// The selection as the file manager makes it for a context menu: the shell
// folder's own data object for some of its items.

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

// For these names in `folder`; null if the shell cannot give one.
IDataObject* ShellSelection(const std::wstring& folder, const std::vector<std::wstring>& names);
// For the one file at `path` (in the code page's spelling).
IDataObject* ShellSelectionOf(const std::string& path);
