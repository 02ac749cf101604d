#include "framework/controls.h"

#include <vector>

std::string CListCtrl::GetItemText(int item, int subItem) const {
    // The control copies at most the buffer size; grow until it fits.
    for (int size = 264; size <= 65536; size *= 4) {
        std::vector<char> buffer(size, '\0');
        LVITEMA lv{};
        lv.iSubItem = subItem;
        lv.pszText = buffer.data();
        lv.cchTextMax = size;
        int n = static_cast<int>(SendMessage(LVM_GETITEMTEXTA, item, (LPARAM)&lv));
        if (n < size - 1) return std::string(lv.pszText ? lv.pszText : "", n > 0 ? n : 0);
    }
    return std::string();
}

bool CListCtrl::SetItemState(int item, UINT state, UINT mask) const {
    LVITEMA lv{};
    lv.state = state;
    lv.stateMask = mask;
    return SendMessage(LVM_SETITEMSTATE, item, (LPARAM)&lv) != 0;
}

int CListCtrl::InsertColumn(int index, const char* heading, int format, int width) const {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    column.iSubItem = index;
    return InsertColumn(index, column);
}

bool CToolTipCtrl::Create(HWND owner, DWORD style) {
    HWND tip =
        CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!tip) return false;
    Attach(tip);
    return true;
}

void CToolTipCtrl::UpdateTipText(HWND tool, const char* text, UINT id) const {
    TOOLINFOA info{};
    info.cbSize = sizeof(info);
    info.hwnd = tool;
    info.uId = id;
    info.lpszText = const_cast<char*>(text);
    SendMessage(TTM_UPDATETIPTEXTA, 0, (LPARAM)&info);
}
