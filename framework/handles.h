#pragma once
// Owning wrappers for Win32 handles: one owner each, copy deleted, move
// transfers ownership. Control wrappers (controls.h) never own their window;
// these always own their handle.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <utility>

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

struct CGdiTraits {
    template <typename T> static void Close(T h) { DeleteObject(h); }
};
struct CBitmapTraits : CNullInvalid<HBITMAP>, CGdiTraits {};
struct CFontTraits : CNullInvalid<HFONT>, CGdiTraits {};
struct CBrushTraits : CNullInvalid<HBRUSH>, CGdiTraits {};
struct CMenuTraits : CNullInvalid<HMENU> {
    static void Close(HMENU h) { DestroyMenu(h); }
};
struct CImageListTraits : CNullInvalid<HIMAGELIST> {
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
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
struct CGlobalTraits : CNullInvalid<HGLOBAL> {
    static void Close(HGLOBAL h) { GlobalFree(h); }
};
struct CIconTraits : CNullInvalid<HICON> {
    static void Close(HICON h) { DestroyIcon(h); }
};
struct CCursorTraits : CNullInvalid<HCURSOR> {
    static void Close(HCURSOR h) { DestroyCursor(h); }
};
struct CIdListTraits : CNullInvalid<LPITEMIDLIST> {
    static void Close(LPITEMIDLIST h) { CoTaskMemFree(h); }
};
struct CAccelTraits : CNullInvalid<HACCEL> {
    static void Close(HACCEL h) { DestroyAcceleratorTable(h); }
};

using CBitmapHandle = CHandleT<HBITMAP, CBitmapTraits>;
using CFontHandle = CHandleT<HFONT, CFontTraits>;
using CBrushHandle = CHandleT<HBRUSH, CBrushTraits>;
using CMenuHandle = CHandleT<HMENU, CMenuTraits>;
using CImageListHandle = CHandleT<HIMAGELIST, CImageListTraits>;
using CKeyHandle = CHandleT<HKEY, CKeyTraits>;
using CKernelHandle = CHandleT<HANDLE, CKernelTraits>;
using CFindHandle = CHandleT<HANDLE, CFindTraits>;
using CGlobalHandle = CHandleT<HGLOBAL, CGlobalTraits>;
using CIconHandle = CHandleT<HICON, CIconTraits>;
using CCursorHandle = CHandleT<HCURSOR, CCursorTraits>;
using CIdListPtr = CHandleT<LPITEMIDLIST, CIdListTraits>;
// Only for tables made with CreateAcceleratorTable; loaded ones are freed by the system.
using CAccelHandle = CHandleT<HACCEL, CAccelTraits>;

// Selects a GDI object into a context and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? SelectObject(dc, obj) : nullptr) {}
    ~CSelectObject() {
        if (m_old) SelectObject(m_dc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A memory or window device context released the right way.
class CClientDC {
public:
    explicit CClientDC(HWND wnd) : m_wnd(wnd), m_dc(GetDC(wnd)) {}
    ~CClientDC() {
        if (m_dc) ReleaseDC(m_wnd, m_dc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    operator HDC() const { return m_dc; }

private:
    HWND m_wnd;
    HDC m_dc;
};

class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatible) : m_dc(CreateCompatibleDC(compatible)) {}
    ~CMemoryDC() {
        if (m_dc) DeleteDC(m_dc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    operator HDC() const { return m_dc; }

private:
    HDC m_dc;
};

class CPaintDC {
public:
    explicit CPaintDC(HWND wnd) : m_wnd(wnd) { m_dc = BeginPaint(wnd, &m_ps); }
    ~CPaintDC() { EndPaint(m_wnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    operator HDC() const { return m_dc; }
    const PAINTSTRUCT& Paint() const { return m_ps; }

private:
    HWND m_wnd;
    HDC m_dc;
    PAINTSTRUCT m_ps{};
};
