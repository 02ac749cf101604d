#pragma once
// Item ID lists of the shell namespace, all allocated with the shell's task
// allocator: plain operations on them, an owning holder, the text of a
// STRRET answer, and the desktop folder's parse of a file-system path.

#include <windows.h>
#include <shlobj.h>

#include <string>

// Byte count of the list's items, without the terminator; 0 for none.
UINT GetIdListSize(LPCITEMIDLIST list);
// The item after the first, or none at the end of the list.
LPCITEMIDLIST GetNextItemId(LPCITEMIDLIST list);
// The last item of the list (the list itself when it has one item or none).
LPCITEMIDLIST GetLastItemId(LPCITEMIDLIST list);
// A new list with the items of both (either may be none); none if both are
// none or the allocation fails.
LPITEMIDLIST ConcatIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second);

// Owns one ID list (or none) and frees it with the task allocator.
class CItemIdList {
public:
    CItemIdList() = default;
    explicit CItemIdList(LPITEMIDLIST list) : m_list(list) {}
    ~CItemIdList() { Reset(); }
    CItemIdList(const CItemIdList& other);
    CItemIdList& operator=(const CItemIdList& other);
    CItemIdList(CItemIdList&& other) noexcept : m_list(other.Release()) {}
    CItemIdList& operator=(CItemIdList&& other) noexcept;

    LPITEMIDLIST Get() const { return m_list; }
    explicit operator bool() const { return m_list != nullptr; }
    void Reset(LPITEMIDLIST list = nullptr);
    LPITEMIDLIST Release() {
        LPITEMIDLIST list = m_list;
        m_list = nullptr;
        return list;
    }
    // For functions that hand out a new list: frees the held one first.
    LPITEMIDLIST* Out() {
        Reset();
        return &m_list;
    }

private:
    LPITEMIDLIST m_list = nullptr;
};

// The answer of IShellFolder::GetDisplayNameOf, turned into text in the
// active code page. Holds a copy of the relative list the answer may point
// into, and frees a UTF-16 answer with the task allocator.
class CStrRet {
public:
    explicit CStrRet(LPCITEMIDLIST relative);
    ~CStrRet() { Clear(); }
    CStrRet(const CStrRet&) = delete;
    CStrRet& operator=(const CStrRet&) = delete;

    // Where GetDisplayNameOf writes; clears any previous answer.
    STRRET* Out();
    std::string Text() const;

private:
    void Clear();
    STRRET m_value{};
    CItemIdList m_relative;
};

// The absolute list of a file-system path through the desktop folder, or
// none if the shell cannot parse it.
LPITEMIDLIST ParsePath(IShellFolder* desktop, const char* path);
