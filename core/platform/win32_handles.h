#pragma once
// Owning wrappers for Win32 handles: one owner each, copy deleted, move
// transfers ownership. This is the one owning type of the program; the window
// layer adds its GDI and USER handles on the same template
// (framework/handles.h).

#include <windows.h>

template <typename T, typename Traits>
class CHandleT {
public:
    CHandleT() = default;
    explicit CHandleT(T h) : m_h(h) {}
    ~CHandleT() { Close(); }
    CHandleT(const CHandleT&) = delete;
    CHandleT& operator=(const CHandleT&) = delete;
    CHandleT(CHandleT&& other) noexcept : m_h(other.Release()) {}
    CHandleT& operator=(CHandleT&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    T Get() const { return m_h; }
    operator T() const { return m_h; }
    bool IsValid() const { return Traits::IsValid(m_h); }
    explicit operator bool() const { return IsValid(); }

    // Gives up ownership without closing.
    T Release() {
        T h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    void Reset(T h = Traits::Invalid()) {
        if (h == m_h) return;
        Close();
        m_h = h;
    }
    void Close() {
        if (Traits::IsValid(m_h)) Traits::Close(m_h);
        m_h = Traits::Invalid();
    }

private:
    T m_h = Traits::Invalid();
};

template <typename T>
struct CNullInvalid {
    static T Invalid() { return nullptr; }
    static bool IsValid(T h) { return h != nullptr; }
};

struct CKeyTraits : CNullInvalid<HKEY> {
    static void Close(HKEY h) { RegCloseKey(h); }
};
// Kernel handles use both null and INVALID_HANDLE_VALUE for "none".
struct CKernelTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct CFindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};

using CKeyHandle = CHandleT<HKEY, CKeyTraits>;
using CKernelHandle = CHandleT<HANDLE, CKernelTraits>;
using CFindHandle = CHandleT<HANDLE, CFindTraits>;

// Open or create a key into *key, giving the system's answer. The key held
// before is closed either way; on failure none is held.
inline LONG OpenRegistryKey(HKEY parent, const char* name, REGSAM access, CKeyHandle* key) {
    key->Close();
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExA(parent, name, 0, access, &opened);
    if (rc == ERROR_SUCCESS) key->Reset(opened);
    return rc;
}

inline LONG CreateRegistryKey(HKEY parent, const char* name, REGSAM access, CKeyHandle* key) {
    key->Close();
    HKEY created = nullptr;
    const LONG rc = RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                    &created, nullptr);
    if (rc == ERROR_SUCCESS) key->Reset(created);
    return rc;
}
