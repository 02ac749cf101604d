// libFuzzer target: the wildcard matcher against the direct recursive
// transcription of its rules. Input: pattern, a line feed, then the text.
// Both are kept short, and the stars few, enough for the exponential
// transcription to answer: each star multiplies its work by the text's
// length (a dozen took seconds; the matcher itself takes microseconds).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/filters.h"
#include "tests/filters/wildcard_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t split = all.find('\n');
    if (split == std::string::npos) return 0;
    const std::string pattern = all.substr(0, split);
    const std::string text = all.substr(split + 1);
    if (pattern.size() > 12 || text.size() > 24 || all.find('\0') != std::string::npos) return 0;
    if (std::count(pattern.begin(), pattern.end(), '*') > 5) return 0;
    for (bool utf8 : {false, true}) {
        if (MatchWildcard(pattern.c_str(), text.c_str(), utf8) !=
            WildcardOracle(pattern.c_str(), text.c_str(), utf8)) {
            std::fprintf(stderr, "matcher and rules differ on pattern \"%s\", text \"%s\" (%s)\n",
                         pattern.c_str(), text.c_str(), utf8 ? "UTF-8" : "bytes");
            std::abort();
        }
    }
    return 0;
}
