#include "framework/resource_text.h"

#include <vector>

std::string LoadResourceText(UINT id) {
    return LoadResourceText(GetModuleHandleA(nullptr), id);
}

std::string LoadResourceText(HINSTANCE module, UINT id) {
    // LoadStringA truncates silently; a result that fills the buffer may have
    // been cut, so try again with more room.
    for (int size = 256; size <= 65536; size *= 4) {
        std::vector<char> buffer(size);
        int n = LoadStringA(module, id, buffer.data(), size);
        if (n <= 0) return std::string();
        if (n < size - 1) return std::string(buffer.data(), n);
    }
    return std::string();
}
