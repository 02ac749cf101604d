#include "framework/dpi.h"

#include <commctrl.h>

#include <cstdio>

#include "framework/handles.h"

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT DpiOfWindow(HWND wnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    // Older systems have no such export: the system DPI is theirs for every window.
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && wnd) {
        const UINT dpi = getDpiForWindow(wnd);
        if (dpi) return dpi;
    }
    return SystemDpi();
}

int ScaleForDpi(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

int PictureSizeForDpi(UINT dpi, int base) {
    const int wanted = ScaleForDpi(base, dpi);
    int size = kPictureSizes[0];
    for (int candidate : kPictureSizes)
        if (candidate <= wanted) size = candidate;
    return size;
}

LPCSTR SizedResource(UINT id, int size, SizedResourceName& buffer) {
    if (size == kPictureSizes[0]) return MAKEINTRESOURCEA(id);
    std::snprintf(buffer.text, sizeof(buffer.text), "P%u_%d", id, size);
    return buffer.text;
}

HBITMAP LoadSizedBitmap(HINSTANCE instance, UINT id, int size, int* loaded) {
    for (int i = static_cast<int>(sizeof(kPictureSizes) / sizeof(kPictureSizes[0])) - 1; i >= 0; --i) {
        if (kPictureSizes[i] > size) continue;
        SizedResourceName name;
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(instance, SizedResource(id, kPictureSizes[i], name),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (bitmap) {
            if (loaded) *loaded = kPictureSizes[i];
            return bitmap;
        }
    }
    return nullptr;
}

HIMAGELIST MakeSizedImageList(HINSTANCE instance, UINT id, int size, UINT flags, int grow, COLORREF mask) {
    // A strip drawn at a larger size may lack a picture the 16-pixel one has
    // gained: a list of the next size down then, every picture in it.
    const auto count = [](HBITMAP bitmap, int cell) {
        BITMAP info{};
        return bitmap && GetObjectA(bitmap, sizeof(info), &info) ? info.bmWidth / cell : 0;
    };
    CBitmapHandle smallest(LoadSizedBitmap(instance, id, kPictureSizes[0]));
    const int wanted = count(smallest.Get(), kPictureSizes[0]);
    int found = 0;
    CBitmapHandle bitmap;
    for (int tried = size; tried >= kPictureSizes[0]; tried = found - 1) {
        bitmap.Reset(LoadSizedBitmap(instance, id, tried, &found));
        if (!bitmap || count(bitmap.Get(), found) >= wanted) break;
    }
    if (!bitmap) return nullptr;
    CImageListHandle list(ImageList_Create(found, found, flags | ILC_MASK, 0, grow));
    // The list keeps its own copy of the pictures.
    if (!list || ImageList_AddMasked(list, bitmap, mask) < 0) return nullptr;
    return list.Release();
}

HFONT CreateFontForDpi(HFONT base, UINT dpi) {
    LOGFONTA face{};
    if (!base || !GetObjectA(base, sizeof(face), &face)) return nullptr;
    face.lfHeight = MulDiv(face.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return CreateFontIndirectA(&face);
}
