#include "ui/controls/auto_width_combo.h"

#include "framework/handles.h"

std::string CAutoWidthComboBoxEx::GetItemText(int index) const {
    // Index -1 would address the edit field's pseudo-entry, not a list entry.
    if (index < 0) return std::string();
    char buffer[1024] = "";
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    if (!GetItem(item)) return std::string();
    return item.pszText ? item.pszText : "";
}

int CAutoWidthComboBoxEx::InsertItem(int index, const char* text, int image, int selectedImage) {
    return InsertItemIndented(index, text, -1, image, selectedImage);
}

int CAutoWidthComboBoxEx::InsertItemIndented(int index, const char* text, int indent, int image,
                                             int selectedImage) {
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<char*>(text ? text : "");
    if (image != -1) {
        item.mask |= CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        item.iImage = image;
        item.iSelectedImage = selectedImage == -1 ? image : selectedImage;
    }
    if (indent != -1) {
        item.mask |= CBEIF_INDENT;
        item.iIndent = indent;
    }
    return CComboBoxEx::InsertItem(item);
}

int CAutoWidthComboBoxEx::AdjustDropWidth() {
    int imageWidth = 0;
    HIMAGELIST images = GetImageList();
    IMAGEINFO info{};
    if (images && ImageList_GetImageInfo(images, 0, &info))
        imageWidth = info.rcImage.right - info.rcImage.left + 1;

    int widest = 0;
    int count = GetCount();
    SIZE letter{0, 0};
    {
        CClientDC dc(m_hwnd);
        CSelectObject selected(dc, GetFont());
        for (int i = 0; i < count; ++i) {
            std::string text = GetItemText(i);
            SIZE size{0, 0};
            if (GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size) &&
                size.cx > widest)
                widest = size.cx;
        }
        GetTextExtentPoint32A(dc, "W", 1, &letter);
    }
    int width = widest + 2 * letter.cx + imageWidth + 8;

    RECT dropped{};
    GetDroppedControlRect(dropped);
    int itemHeight = GetItemHeight(0);
    if (itemHeight > 0 && itemHeight * count >= dropped.bottom - dropped.top)
        width += GetSystemMetrics(SM_CXVSCROLL);
    // Sent to the inner combo box: it owns the list, and not every ComboBoxEx
    // implementation passes CB_SETDROPPEDWIDTH on.
    HWND combo = GetComboBoxCtrl();
    ::SendMessageA(combo ? combo : m_hwnd, CB_SETDROPPEDWIDTH, width, 0);
    return width;
}

bool CAutoWidthComboBoxEx::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == kReflectCommand && HIWORD(wp) == CBN_DROPDOWN) {
        AdjustDropWidth();
        result = 0;
        return true;
    }
    return CComboBoxEx::OnMessage(msg, wp, lp, result);
}
