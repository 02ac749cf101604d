#include "framework/toolbar.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/dpi.h"
#include "framework/resource_text.h"

namespace {
// The command ids of a toolbar resource, 0 for a separator; empty when the
// resource is missing or not version 1.
std::vector<WORD> ReadLayout(HINSTANCE instance, UINT resourceId, SIZE& buttonSize) {
    HRSRC found =
        FindResourceA(instance, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(kToolBarResourceType));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(instance, found) : 0;
    WORD header[4];  // version, width, height, count
    if (!data || size < sizeof(header)) return {};
    std::memcpy(header, data, sizeof(header));
    if (header[0] != 1 || size < sizeof(header) + header[3] * sizeof(WORD)) return {};
    buttonSize = SIZE{header[1], header[2]};
    std::vector<WORD> ids(header[3]);
    std::memcpy(ids.data(), data + sizeof(header), ids.size() * sizeof(WORD));
    return ids;
}

// Gives the button its text from "description\nlabel"; false without one.
bool SetButtonText(HWND bar, HINSTANCE instance, WORD id) {
    const std::string texts = LoadResourceText(instance, id);
    if (texts.empty()) return false;
    const size_t split = texts.find('\n');
    const std::string label = split == std::string::npos ? std::string() : texts.substr(split + 1);
    std::string text = label.empty() ? texts.substr(0, split) : label;
    TBBUTTONINFOA info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STYLE | TBIF_TEXT;
    info.fsStyle = static_cast<BYTE>(BTNS_BUTTON | BTNS_AUTOSIZE | (label.empty() ? 0 : BTNS_SHOWTEXT));
    info.pszText = &text[0];
    return SendMessageA(bar, TB_SETBUTTONINFOA, id, reinterpret_cast<LPARAM>(&info)) != 0;
}
}  // namespace

HWND CreateToolBarFromResource(HINSTANCE instance, HWND parent, UINT controlId, UINT resourceId, DWORD style,
                               DWORD extendedStyle, HIMAGELIST images, HIMAGELIST disabledImages) {
    SIZE buttonSize{};
    const std::vector<WORD> ids = ReadLayout(instance, resourceId, buttonSize);
    if (ids.empty()) return nullptr;
    HWND bar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), instance, nullptr);
    if (!bar) return nullptr;
    SendMessageA(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Pictures drawn for the display scale set the size, the resource's
    // 16 pixels only when there are none.
    int cx = buttonSize.cx, cy = buttonSize.cy;
    if (images) ImageList_GetIconSize(images, &cx, &cy);
    SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELONG(cx, cy));
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (WORD id : ids) {
        TBBUTTON button{};
        button.idCommand = id;
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        button.iString = -1;
        buttons.push_back(button);
    }
    if (!SendMessageA(bar, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()))) {
        DestroyWindow(bar);
        return nullptr;
    }
    SetToolBarImages(bar, images, disabledImages);
    SendMessageA(bar, TB_SETEXTENDEDSTYLE, 0, extendedStyle);
    for (WORD id : ids)
        if (id != 0) SetButtonText(bar, instance, id);
    return bar;
}

void SetToolBarImages(HWND bar, HIMAGELIST images, HIMAGELIST disabledImages) {
    int cx = 0, cy = 0;
    if (images && ImageList_GetIconSize(images, &cx, &cy))
        SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELONG(cx, cy));
    SendMessageA(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageA(bar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabledImages));
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
}

void SetToolBarScale(HWND bar, UINT dpi) {
    SendMessageA(bar, TB_SETPADDING, 0, MAKELPARAM(ScaleForDpi(7, dpi), ScaleForDpi(6, dpi)));
    // The buttons are measured again when the picture size is set, not when
    // the padding is.
    int cx = 0, cy = 0;
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0));
    if (images && ImageList_GetIconSize(images, &cx, &cy)) {
        SendMessageA(bar, TB_SETBITMAPSIZE, 0, MAKELONG(cx, cy));
        // Not every toolbar sizes its buttons by the padding it is given:
        // the picture and the padding make the height, at any scale.
        const DWORD button = static_cast<DWORD>(SendMessageA(bar, TB_GETBUTTONSIZE, 0, 0));
        const int height = cy + ScaleForDpi(6, dpi);
        if (HIWORD(button) != height)
            SendMessageA(bar, TB_SETBUTTONSIZE, 0, MAKELONG(LOWORD(button), height));
    }
    SendMessageA(bar, TB_AUTOSIZE, 0, 0);
}
