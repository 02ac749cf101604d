#include "core/path_index.h"
#include "core/platform/win32_text.h"

#include <windows.h>

#include <algorithm>

std::string LowerPath(const std::string& path) {
    // ASCII lowers the same in every table, and most paths are ASCII.
    if (std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string lowered = path;
        for (char& c : lowered)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return lowered;
    }
    // Lowered as UTF-16: the narrow call keeps the byte count, which a UTF-8
    // name may not (U+0130 is two bytes, its lower case one).
    std::wstring wide;
    if (!WidenName(path.c_str(), &wide) || wide.empty()) return path;
    CharLowerBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    std::string lowered;
    return NarrowName(wide.c_str(), &lowered) ? lowered : path;
}
