#include "core/platform/win32_text.h"

#include <windows.h>

// Named by newer headers only; passed only with UTF-8, whose strict mode
// systems before Vista lack.
#ifndef WC_ERR_INVALID_CHARS
#define WC_ERR_INVALID_CHARS 0x80
#endif

bool NarrowName(const wchar_t* wide, std::string* narrow, UINT codePage) {
    narrow->clear();
    if (!wide || !*wide) return wide != nullptr;
    if (codePage == CP_ACP) codePage = GetACP();
    // UTF-8 holds every character, so only broken surrogates can fail; the
    // used-default check is not allowed with it.
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, usedDefaultOut);
    // Systems before Vista know no strict mode.
    if (size == 0 && utf8 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        size = WideCharToMultiByte(codePage, flags, wide, -1, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 1 || usedDefault) return false;
    std::string out(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, wide, -1, &out[0], size, nullptr, usedDefaultOut) != size ||
        usedDefault)
        return false;
    out.resize(static_cast<size_t>(size) - 1);
    narrow->swap(out);
    return true;
}

bool WidenName(const char* narrow, std::wstring* wide, UINT codePage) {
    wide->clear();
    if (!narrow || !*narrow) return narrow != nullptr;
    const int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow, -1, nullptr, 0);
    if (size <= 1) return false;
    std::wstring out(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow, -1, &out[0], size) != size) return false;
    out.resize(static_cast<size_t>(size) - 1);
    wide->swap(out);
    return true;
}

std::string ShownText(const wchar_t* wide, UINT codePage) {
    if (!wide || !*wide) return std::string();
    const int size = WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, 0, wide, -1, &out[0], size, nullptr, nullptr) != size)
        return std::string();
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

size_t TextPrefixLength(const char* text, size_t length, size_t room, UINT codePage) {
    if (length <= room) return length;
    if (codePage == CP_ACP) codePage = GetACP();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (codePage == CP_UTF8) {
        // A cut before a continuation byte is inside a character.
        size_t cut = room;
        while (cut > 0 && (bytes[cut] & 0xC0) == 0x80) --cut;
        return cut;
    }
    // A trail byte can look like anything, so a double-byte text is walked
    // from its start.
    size_t at = 0;
    while (at < room) {
        const size_t width = IsDBCSLeadByteEx(codePage, bytes[at]) ? 2 : 1;
        if (at + width > room) break;
        at += width;
    }
    return at;
}
