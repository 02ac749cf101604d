#include "core/platform/text_order.h"

#include <cctype>
#include <cstring>

int CompareNames(const char* a, const char* b) {
    // strcmp compares as unsigned char: the byte order.
    return std::strcmp(a, b);
}

bool NamesEqualIgnoringCase(const char* a, size_t aLength, const char* b, size_t bLength) {
    if (aLength != bLength) return false;
    for (size_t i = 0; i < aLength; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
