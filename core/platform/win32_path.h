#pragma once
// Paths of any length for the wide file calls. The program keeps its paths
// narrow, in its code page; only here do they take the form the system needs
// past MAX_PATH, whatever its long-path setting.

#include <string>

// path in the "\\?\" form that the wide calls take up to kMaxPathLength
// UTF-16 units long: made full first (a relative path against the current
// folder), "/" turned to "\", and "\\server\share" as "\\?\UNC\server\share".
// A path already in that form, or a device's "\\.\", is left as it is. False
// if path is not in the code page or cannot be made full.
bool ExtendedPath(const char* path, std::wstring* wide);

// path made full, in the program's code page, at any length (the narrow call
// stops at MAX_PATH). False if it cannot be.
bool FullPathName(const char* path, std::string* full);
