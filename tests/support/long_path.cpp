#include "tests/support/long_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "tests/support/system_path.h"

namespace {

const char* const kSegments[] = {
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83"
    "\x80",                                                              // 日本語のフォルダ
    "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",  // Ελληνικά
    "caf\xC3\xA9-d\xC3\xA9j\xC3\xA0-vu",                                 // café-déjà-vu
};

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(SystemPath(path).c_str(), nullptr) != 0;
}
#else
constexpr char kSeparator = '/';
bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}
#endif

}  // namespace

size_t CharacterCount(const std::string& utf8) {
    size_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

std::string MakeDeepFolder(const std::string& base, size_t minCharacters) {
    std::string path = base;
    for (size_t i = 0; CharacterCount(path) < minCharacters; ++i) {
        path += kSeparator;
        path += kSegments[i % (sizeof kSegments / sizeof kSegments[0])];
        if (!MakeFolder(path)) return std::string();
    }
    return path;
}

bool PathExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0;
#endif
}
