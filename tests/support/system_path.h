#pragma once
// On Windows, a path in the code page (UTF-8 under the program's manifest)
// as the wide calls take it at any length: full, with the "\\?\" prefix. The
// tests' own way there, apart from the program's.

#ifdef _WIN32
#include <string>

std::wstring SystemPath(const std::string& path);
#endif
