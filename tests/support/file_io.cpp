#include "tests/support/file_io.h"

#include <cstdio>

#ifdef _WIN32
#include "tests/support/system_path.h"
#endif

namespace {
// Through the "\\?\" form on Windows, so a path of any length opens.
FILE* Open(const std::string& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(SystemPath(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}
}  // namespace

std::string ReadWholeFile(const std::string& path, const std::string& ifMissing) {
    FILE* f = Open(path, "rb");
    if (!f) return ifMissing;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
    FILE* f = Open(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && written;
}
