#pragma once
// Gorsemere's owners of registry keys, bitmaps and menus: one owner each,
// copy deleted, move hands the handle on, the handle closes with its owner.

#include <windows.h>

template <typename Handle, typename Closer>
class COwnedHandle {
public:
    COwnedHandle() = default;
    explicit COwnedHandle(Handle handle) : m_handle(handle) {}
    ~COwnedHandle() { Reset(); }
    COwnedHandle(const COwnedHandle&) = delete;
    COwnedHandle& operator=(const COwnedHandle&) = delete;
    COwnedHandle(COwnedHandle&& other) noexcept : m_handle(other.Detach()) {}
    COwnedHandle& operator=(COwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    // Hands the handle to a new owner (the caller, or whatever it gives it to).
    Handle Detach() {
        const Handle handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

    void Reset(Handle handle = nullptr) {
        if (m_handle && m_handle != handle) Closer::Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

struct CKeyCloser {
    static void Close(HKEY key) { RegCloseKey(key); }
};

struct CGdiObjectCloser {
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};

struct CMenuCloser {
    static void Close(HMENU menu) { DestroyMenu(menu); }
};

using CBitmapHandle = COwnedHandle<HBITMAP, CGdiObjectCloser>;
using CMenuHandle = COwnedHandle<HMENU, CMenuCloser>;

class CRegistryKey : public COwnedHandle<HKEY, CKeyCloser> {
public:
    // The key now held is closed first either way; on failure none is held.
    LONG Open(HKEY parent, const char* name, REGSAM access) {
        Reset();
        HKEY key = nullptr;
        const LONG rc = RegOpenKeyExA(parent, name, 0, access, &key);
        if (rc == ERROR_SUCCESS) Reset(key);
        return rc;
    }

    LONG Create(HKEY parent, const char* name, REGSAM access) {
        Reset();
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                        &key, nullptr);
        if (rc == ERROR_SUCCESS) Reset(key);
        return rc;
    }
};
