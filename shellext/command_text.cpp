#include "shellext/command_text.h"

#include <cstring>

const char kProgramFileName[] = "Pardwell.exe";

namespace {

// The space before each path and the two quotes around it.
constexpr size_t kPathFrameLength = 3;

size_t TrailingBackslashes(const char* path, size_t len) {
    size_t n = 0;
    while (n < len && path[len - 1 - n] == '\\') ++n;
    return n;
}

void Refuse(char* out, size_t outSize) {
    if (out && outSize > 0) out[0] = '\0';
}

}  // namespace

size_t CommandTextLength(const char* formatSwitch, const char* const* paths, size_t count) {
    size_t total = std::strlen(formatSwitch) + 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t len = std::strlen(paths[i]);
        total += len + kPathFrameLength + TrailingBackslashes(paths[i], len);
    }
    return total;
}

bool BuildCommandText(const char* formatSwitch, const char* const* paths, size_t count, char* out,
                      size_t outSize) {
    if (!out || CommandTextLength(formatSwitch, paths, count) > outSize) {
        Refuse(out, outSize);
        return false;
    }
    char* p = out;
    const size_t switchLen = std::strlen(formatSwitch);
    std::memcpy(p, formatSwitch, switchLen);
    p += switchLen;
    for (size_t i = 0; i < count; ++i) {
        const size_t len = std::strlen(paths[i]);
        *p++ = ' ';
        *p++ = '"';
        std::memcpy(p, paths[i], len);
        p += len;
        for (size_t n = TrailingBackslashes(paths[i], len); n > 0; --n) *p++ = '\\';
        *p++ = '"';
    }
    *p = '\0';
    return true;
}

bool FitsCommandLine(size_t programUnits, size_t textUnits) {
    // The quotes and the blank, then the zero.
    return programUnits + 3 + textUnits + 1 <= kCommandLineUnits;
}

bool BuildProgramPath(const char* folder, size_t folderLen, char* out, size_t outSize) {
    const size_t nameLen = sizeof(kProgramFileName) - 1;
    if (!out || folderLen + 1 + nameLen + 1 > outSize) {
        Refuse(out, outSize);
        return false;
    }
    std::memcpy(out, folder, folderLen);
    out[folderLen] = '\\';
    std::memcpy(out + folderLen + 1, kProgramFileName, nameLen + 1);
    return true;
}
