#include "ui/shell_resources.h"

#include <shellapi.h>

bool ShellResources::Init() {
    SHFILEINFOA info{};
    auto small = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    auto large =
        reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX));
    if (!small || !large) return false;
    m_small = small;
    m_large = large;

    HGDIOBJ base = GetStockObject(DEFAULT_GUI_FONT);
    if (!base) base = GetStockObject(SYSTEM_FONT);
    LOGFONTA font{};
    if (!base || !GetObjectA(base, sizeof(font), &font)) return true;
    font.lfWeight = FW_BOLD;
    m_bold.Reset(CreateFontIndirectA(&font));
    font.lfUnderline = TRUE;
    m_boldUnderline.Reset(CreateFontIndirectA(&font));
    return true;
}

HIMAGELIST ShellResources::GetImageList(int which) const {
    if (which == 1) return m_small;
    if (which == 2) return m_large;
    return nullptr;
}
