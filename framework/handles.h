#pragma once
// Owning wrappers for the window system's handles (GDI objects, menus, image
// lists, icons, cursors, device contexts), on the same CHandleT as the kernel
// and registry handles. Control wrappers (controls.h) never own their window;
// these always own their handle.

#include <windows.h>
#include <commctrl.h>

#include "core/platform/win32_handles.h"

struct CGdiTraits {
    template <typename T>
    static void Close(T h) {
        DeleteObject(h);
    }
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
struct CIconTraits : CNullInvalid<HICON> {
    static void Close(HICON h) { DestroyIcon(h); }
};
struct CCursorTraits : CNullInvalid<HCURSOR> {
    static void Close(HCURSOR h) { DestroyCursor(h); }
};

using CBitmapHandle = CHandleT<HBITMAP, CBitmapTraits>;
using CFontHandle = CHandleT<HFONT, CFontTraits>;
using CBrushHandle = CHandleT<HBRUSH, CBrushTraits>;
using CMenuHandle = CHandleT<HMENU, CMenuTraits>;
using CImageListHandle = CHandleT<HIMAGELIST, CImageListTraits>;
using CIconHandle = CHandleT<HICON, CIconTraits>;
using CCursorHandle = CHandleT<HCURSOR, CCursorTraits>;

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
