#include "core/platform/text_order.h"

#include <windows.h>
#include <mbstring.h>

int CompareNames(const char* a, const char* b) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b));
}

bool NamesEqualIgnoringCase(const char* a, size_t aLength, const char* b, size_t bLength) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, static_cast<int>(aLength), b,
                          static_cast<int>(bLength)) == CSTR_EQUAL;
}
