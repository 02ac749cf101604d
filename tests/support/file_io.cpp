#include "tests/support/file_io.h"

#include <cstdio>

std::string ReadWholeFile(const std::string& path, const std::string& ifMissing) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return ifMissing;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && written;
}
