#include "tests/support/system_path.h"

#ifdef _WIN32
#include <windows.h>

std::wstring SystemPath(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), &wide[0], static_cast<int>(wide.size()))));
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr) + 1, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr));
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + full.substr(1);
    return L"\\\\?\\" + full;
}
#endif
