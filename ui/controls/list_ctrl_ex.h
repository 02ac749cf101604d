#pragma once
// The job list's control classes: CListCtrlEx adds selection helpers to the
// list view and each item's accessible description; CSortListCtrl asks for a sort on header clicks and shows
// the arrow.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "ui/controls/accessible_proxy.h"

class CListCtrlEx : public CListCtrl, private IAccessibleSource {
public:
    int GetFirstSelected() const { return GetNextItem(-1, LVNI_SELECTED); }
    // Exclusive clears the selection with one call, not one per entry, so
    // adding n files stays linear.
    void SelectOnly(int index, bool select, bool exclusive);
    // What assistive technology reads as an item's description; an item it
    // gives "" for keeps the standard one.
    using Describer = std::function<std::string(int item)>;
    void SetItemDescriber(Describer describer) { m_describer = std::move(describer); }

protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    bool Describe(LONG childId, AccessibleFacts& facts) override;

    Describer m_describer;
    CAccessibleHost m_accessible{*this};
};

struct SortState {
    int column = 0;
    int direction = 0;  // 0 unsorted, 1 ascending, 2 descending
};

class CSortListCtrl : public CListCtrlEx {
public:
    // The list is virtual: whoever owns the entries sorts them.
    using Sorter = std::function<void(const SortState&)>;
    void SetSorter(Sorter sorter) { m_sorter = std::move(sorter); }
    // While set, header clicks neither sort nor move the arrow (entries are
    // addressed by position during a run).
    void SetSortLocked(bool locked) { m_sortLocked = locked; }
    void OnHeaderClick(int column);

protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    SortState m_sort;
    Sorter m_sorter;
    bool m_sortLocked = false;
};
