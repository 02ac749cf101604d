#include "ui/main/list_ctrl_ex.h"

#include <mbstring.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "ui/main/job_item.h"

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
    if (m_compare) SortItems(m_compare, reinterpret_cast<LPARAM>(&m_sort));
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

namespace {
// The texts the columns show for an entry.
std::string SortKey(LPARAM data, int column) {
    if (!data) return std::string();
    const JobItem* entry = JobItem::FromItemData(data);
    if (column == 2) return entry->breaksText;
    const char* path = entry->path.c_str();
    if (column == 0) return PathFindFileNameA(path);
    char folder[MAX_PATH + 1];
    if (std::strlen(path) > MAX_PATH) return std::string();
    std::strcpy(folder, path);
    if (!PathRemoveFileSpecA(folder)) return std::string();
    return folder;
}
}  // namespace

int CALLBACK CompareEntries(LPARAM data1, LPARAM data2, LPARAM sortState) {
    const auto* state = reinterpret_cast<const SortState*>(sortState);
    if (!state || (state->direction != 1 && state->direction != 2)) return 0;
    std::string key1 = SortKey(data1, state->column);
    std::string key2 = SortKey(data2, state->column);
    const auto* a = reinterpret_cast<const unsigned char*>(key1.c_str());
    const auto* b = reinterpret_cast<const unsigned char*>(key2.c_str());
    return state->direction == 1 ? _mbscmp(a, b) : _mbscmp(b, a);
}
