#include "ui/dialogs/shell_id_list.h"

#include <cstring>
#include <string>

#include "core/platform/win32_text.h"

UINT GetIdListSize(LPCITEMIDLIST list) {
    UINT size = 0;
    if (!list) return 0;
    for (auto* item = reinterpret_cast<const BYTE*>(list); true;) {
        USHORT count;
        std::memcpy(&count, item, sizeof(count));
        if (count == 0) break;
        size += count;
        item += count;
    }
    return size;
}

LPCITEMIDLIST GetNextItemId(LPCITEMIDLIST list) {
    if (!list || list->mkid.cb == 0) return nullptr;
    auto next = reinterpret_cast<LPCITEMIDLIST>(reinterpret_cast<const BYTE*>(list) + list->mkid.cb);
    return next->mkid.cb == 0 ? nullptr : next;
}

LPCITEMIDLIST GetLastItemId(LPCITEMIDLIST list) {
    LPCITEMIDLIST last = list;
    for (LPCITEMIDLIST next = GetNextItemId(list); next; next = GetNextItemId(next)) last = next;
    return last;
}

LPITEMIDLIST ConcatIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second) {
    if (!first && !second) return nullptr;
    const UINT a = GetIdListSize(first), b = GetIdListSize(second);
    auto* list = static_cast<BYTE*>(CoTaskMemAlloc(a + b + sizeof(USHORT)));
    if (!list) return nullptr;
    if (a) std::memcpy(list, first, a);
    if (b) std::memcpy(list + a, second, b);
    std::memset(list + a + b, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(list);
}

CItemIdList::CItemIdList(const CItemIdList& other) : m_list(ConcatIdLists(other.m_list, nullptr)) {}

CItemIdList& CItemIdList::operator=(const CItemIdList& other) {
    if (this != &other) Reset(ConcatIdLists(other.m_list, nullptr));
    return *this;
}

CItemIdList& CItemIdList::operator=(CItemIdList&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

void CItemIdList::Reset(LPITEMIDLIST list) {
    if (list == m_list) return;
    if (m_list) CoTaskMemFree(m_list);
    m_list = list;
}

CStrRet::CStrRet(LPCITEMIDLIST relative) : m_relative(ConcatIdLists(relative, nullptr)) {}

STRRET* CStrRet::Out() {
    Clear();
    return &m_value;
}

void CStrRet::Clear() {
    if (m_value.uType == STRRET_WSTR && m_value.pOleStr) CoTaskMemFree(m_value.pOleStr);
    m_value = STRRET{};
}

std::string CStrRet::Text() const {
    switch (m_value.uType) {
        case STRRET_WSTR:
            return ShownText(m_value.pOleStr);
        case STRRET_OFFSET: {
            // The text lies inside the relative list; stay within its bytes.
            const UINT size = GetIdListSize(m_relative.Get());
            if (!m_relative || m_value.uOffset >= size) return std::string();
            auto* start = reinterpret_cast<const char*>(m_relative.Get()) + m_value.uOffset;
            return std::string(start, strnlen(start, size - m_value.uOffset));
        }
        case STRRET_CSTR:
            return std::string(m_value.cStr, strnlen(m_value.cStr, sizeof(m_value.cStr)));
        default:
            return std::string();
    }
}

LPITEMIDLIST ParsePath(IShellFolder* desktop, const char* path) {
    if (!desktop || !path) return nullptr;
    // A path that does not convert exactly would name some other item.
    std::wstring wide;
    if (!WidenName(path, &wide)) return nullptr;
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr, &list, nullptr)))
        return nullptr;
    return list;
}
