#pragma once
// The display scale a window is drawn at, and the measures that follow it.
// 96 DPI is 100 percent; every length written in pixels for 96 DPI is
// scaled by ScaleForDpi, and pictures come in the sizes of kPictureSizes.

#include <windows.h>
#include <commctrl.h>

constexpr UINT kBaseDpi = 96;

// Sent when the window moves to a monitor of another scale (Windows 8.1 and
// later; the headers declare it only for builds aimed that high).
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The sizes every small picture is drawn at, smallest first.
constexpr int kPictureSizes[] = {16, 20, 24, 32};

// The window's own DPI where the system tells it (GetDpiForWindow, Windows
// 10 1607 and later, looked up at run time), else the system DPI.
UINT DpiOfWindow(HWND wnd);
// The system DPI (the screen's LOGPIXELSY).
UINT SystemDpi();

// `pixels` at 96 DPI, at `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int pixels, UINT dpi);

// The largest picture size that does not exceed `base` pixels scaled to
// `dpi`: 16 at 100%, 20 at 125%, 24 at 150% and 175%, 32 at 200% and above.
int PictureSizeForDpi(UINT dpi, int base = 16);

// The resource name of a picture `size` pixels high whose 16-pixel form has
// the number `id`: the number itself for 16, else the string "P<id>_<size>"
// (written so by the resource script's sized-picture lines). The text lives
// in `buffer`, which must outlast the use of the result.
struct SizedResourceName {
    char text[24];
};
LPCSTR SizedResource(UINT id, int size, SizedResourceName& buffer);

// A bitmap resource at the picture size, falling back to smaller sizes and
// then to the 16-pixel form; null when none loads. `loaded` gets the size
// actually found.
HBITMAP LoadSizedBitmap(HINSTANCE instance, UINT id, int size, int* loaded = nullptr);

// An image list of `size`-pixel square images from the sized bitmap `id`,
// keyed on `mask`; null when the bitmap is missing.
HIMAGELIST MakeSizedImageList(HINSTANCE instance, UINT id, int size, UINT flags, int grow, COLORREF mask);

// A copy of `base` (a font made for the system DPI) for `dpi`.
HFONT CreateFontForDpi(HFONT base, UINT dpi);
