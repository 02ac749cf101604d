#pragma once
// Display resources shared by every window: the system icon image lists
// (borrowed from the shell, never destroyed) and fonts made from the default
// GUI font. The application object owns the one instance and hands it to
// each window it makes.

#include <windows.h>
#include <commctrl.h>

#include "framework/handles.h"

class ShellResources {
public:
    ShellResources() = default;
    ShellResources(const ShellResources&) = delete;
    ShellResources& operator=(const ShellResources&) = delete;

    // The image lists first: false (and nothing set up) if the shell has none.
    bool Init();
    // 1 small icons, 2 large icons, null otherwise.
    HIMAGELIST GetImageList(int which) const;
    HFONT BoldFont() const { return m_bold.Get(); }
    HFONT BoldUnderlineFont() const { return m_boldUnderline.Get(); }

private:
    HIMAGELIST m_small = nullptr;
    HIMAGELIST m_large = nullptr;
    CFontHandle m_bold;
    CFontHandle m_boldUnderline;
};
