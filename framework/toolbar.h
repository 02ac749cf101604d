#pragma once
// A toolbar built from a toolbar resource, as the platform frameworks build
// theirs: the resource (type kToolBarResourceType) holds WORD version 1, the
// button width and height, the count, then the command ids, 0 for a
// separator. Buttons take the images in order, separators none.
//
// A button's texts are the string of its command id, "description\nlabel":
// a button with a label shows it beside its picture; one with a description
// only carries that as its text, which a TBSTYLE_EX_MIXEDBUTTONS toolbar
// shows as the tooltip rather than on the button. Without a string a button
// has neither.

#include <windows.h>
#include <commctrl.h>

constexpr WORD kToolBarResourceType = 241;

// Returns the toolbar, or nullptr (and no window) when the resource is
// missing or malformed or the toolbar cannot be made. The image lists stay
// the caller's.
HWND CreateToolBarFromResource(HINSTANCE instance, HWND parent, UINT controlId, UINT resourceId, DWORD style,
                               DWORD extendedStyle, HIMAGELIST images, HIMAGELIST disabledImages);

// Gives the toolbar its image lists and makes its pictures their size.
void SetToolBarImages(HWND bar, HIMAGELIST images, HIMAGELIST disabledImages);
// The padding around each button's picture, scaled to `dpi` from the
// control's own 7 by 6 pixels at 96 DPI.
void SetToolBarScale(HWND bar, UINT dpi);
