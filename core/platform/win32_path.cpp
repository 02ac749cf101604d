#include "core/platform/win32_path.h"

#include <windows.h>

#include "core/platform/file_system.h"
#include "core/platform/win32_text.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

// The full form of wide; the call says how much room it needs, and the
// current folder may change between two calls, hence the loop.
bool FullWidePath(const std::wstring& wide, std::wstring* full) {
    DWORD room = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    for (int tries = 0; room != 0 && tries < 4; ++tries) {
        full->assign(room, L'\0');
        const DWORD n = GetFullPathNameW(wide.c_str(), room, &(*full)[0], nullptr);
        if (n == 0) break;
        if (n < room) {
            full->resize(n);
            return true;
        }
        room = n;
    }
    full->clear();
    return false;
}

}  // namespace

bool ExtendedPath(const char* path, std::wstring* wide) {
    std::wstring given;
    if (!path || !*path || !WidenName(path, &given)) {
        wide->clear();
        return false;
    }
    // The system's own forms pass as they are: "\\?\" takes no processing,
    // and a device's name is no file's.
    if (StartsWith(given, L"\\\\?\\") || StartsWith(given, L"\\\\.\\")) {
        wide->swap(given);
        return true;
    }
    for (wchar_t& c : given)
        if (c == L'/') c = L'\\';
    std::wstring full;
    if (!FullWidePath(given, &full)) {
        wide->clear();
        return false;
    }
    if (StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\")) {
        wide->swap(full);
    } else if (StartsWith(full, L"\\\\")) {
        *wide = L"\\\\?\\UNC" + full.substr(1);
    } else {
        *wide = L"\\\\?\\" + full;
    }
    return true;
}

bool FullPathName(const char* path, std::string* full) {
    std::wstring wide, whole;
    if (!path || !*path || !WidenName(path, &wide) || !FullWidePath(wide, &whole) ||
        !NarrowName(whole.c_str(), full)) {
        full->clear();
        return false;
    }
    return true;
}

bool FitsPathLimit(const char* path) {
    std::wstring wide;
    // A name outside the code page is no matter of length: the open that
    // follows reports it.
    if (!path || !WidenName(path, &wide)) return true;
    return ExtendedPath(path, &wide) && wide.size() <= kMaxPathLength;
}
