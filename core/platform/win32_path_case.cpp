#include "core/path_index.h"

#include <windows.h>

std::string LowerPath(const std::string& path) {
    std::string lowered = path;
    if (!lowered.empty()) CharLowerBuffA(&lowered[0], static_cast<DWORD>(lowered.size()));
    return lowered;
}
