#pragma once
// How the job list orders and finds names. On Windows: the multibyte order
// of the code page (capitals first) and the user locale's case-blind
// comparison; elsewhere their byte-order and ASCII equivalents.

#include <cstddef>

// Negative, zero or positive as a sorts before, with or after b.
int CompareNames(const char* a, const char* b);

// Whether a[0, aLength) and b[0, bLength) are equal, ignoring case.
bool NamesEqualIgnoringCase(const char* a, size_t aLength, const char* b, size_t bLength);
