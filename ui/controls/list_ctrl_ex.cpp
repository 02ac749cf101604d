#include "ui/controls/list_ctrl_ex.h"

void CListCtrlEx::SelectOnly(int index, bool select, bool exclusive) {
    if (exclusive) {
        int selected = GetSelectedCount();
        // The usual case while adding: only the focused entry is selected.
        if (selected == 1) {
            int focused = GetNextItem(-1, LVNI_FOCUSED);
            if (focused >= 0 && (GetItemState(focused, LVIS_SELECTED) & LVIS_SELECTED)) {
                SetItemState(focused, 0, LVIS_SELECTED);
                selected = 0;
            }
        }
        if (selected > 0) SetItemState(-1, 0, LVIS_SELECTED);
    }
    if (select)
        SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    else
        SetItemState(index, 0, LVIS_SELECTED);
}

bool CListCtrlEx::Describe(LONG childId, AccessibleFacts& facts) {
    // The standard object numbers a list's items from 1.
    if (childId <= 0 || !m_describer) return false;
    std::string text = m_describer(static_cast<int>(childId - 1));
    if (text.empty()) return false;
    facts.Description(std::move(text));
    return true;
}

bool CListCtrlEx::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_GETOBJECT && m_accessible.OnGetObject(m_hwnd, wp, lp, result)) return true;
    if (msg == WM_DESTROY) m_accessible.Disconnect();
    return CListCtrl::OnMessage(msg, wp, lp, result);
}

void CSortListCtrl::OnHeaderClick(int column) {
    if (m_sortLocked || column < 0) return;
    if (m_sort.direction == 0)
        m_sort.direction = 1;
    else if (column == m_sort.column)
        m_sort.direction = m_sort.direction == 1 ? 2 : 1;

    CHeaderCtrl header;
    header.Attach(GetHeader());
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    if (header.GetItem(m_sort.column, item)) {
        item.fmt &= ~HDF_IMAGE;
        header.SetItem(m_sort.column, item);
    }
    m_sort.column = column;
    item = HDITEMA{};
    item.mask = HDI_FORMAT;
    if (header.GetItem(column, item)) {
        item.mask = HDI_FORMAT | HDI_IMAGE;
        item.fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
        item.iImage = m_sort.direction - 1;
        header.SetItem(column, item);
    }
    if (m_sorter) m_sorter(m_sort);
}

bool CSortListCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_NOTIFY && lp) {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr->hwndFrom == GetHeader() && (hdr->code == HDN_ITEMCLICKA || hdr->code == HDN_ITEMCLICKW)) {
            OnHeaderClick(reinterpret_cast<NMHEADERA*>(lp)->iItem);
            result = 0;
            return true;
        }
    }
    return CListCtrlEx::OnMessage(msg, wp, lp, result);
}
