#include "core/path_index.h"

#include <cctype>

std::string LowerPath(const std::string& path) {
    std::string lowered = path;
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}
