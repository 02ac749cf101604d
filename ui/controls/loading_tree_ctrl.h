#pragma once
// CLoadingTreeCtrl: a tree view whose items get their children when they are
// first expanded. The derived class inserts them in PopulateChildren, on the
// window's own thread, which may take long (a slow or network folder); while
// it runs a second thread, woken by a multimedia timer and by progress
// signals, paints a loading indicator straight onto the frozen window, and a
// snapshot taken before the load repaints the background. To assistive
// technology the indicator is a progress bar among the tree's children
// while a level loads.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>

#include "framework/handles.h"
#include "framework/thread.h"
#include "framework/wnd.h"
#include "ui/controls/accessible_proxy.h"

class CLoadingTreeCtrl : public CWnd, private IAccessibleSource {
public:
    CLoadingTreeCtrl();
    ~CLoadingTreeCtrl() override;

    // Progress of the running load. A total of 0 or less means unknown.
    void SetProgress(int total, int current);
    void StepProgress(int n);
    int GetProgress(int* total = nullptr) const;
    // Period of the animation ticks in milliseconds; 0 means no timer.
    void SetTimerPeriod(UINT ms) { m_timerPeriod = ms; }
    UINT GetTimerPeriod() const { return m_timerPeriod; }
    bool IsLoading() const { return m_indicator; }

    HTREEITEM GetChildItem(HTREEITEM item) const;
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
    HTREEITEM GetRootItem() const { return GetChildItem(TVI_ROOT); }
    HTREEITEM GetSelectedItem() const;
    bool Expand(HTREEITEM item, UINT action = TVE_EXPAND) const;
    bool SelectItem(HTREEITEM item) const {
        return SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)item) != 0;
    }
    std::string GetItemText(HTREEITEM item) const;
    LPARAM GetItemData(HTREEITEM item) const;
    UINT GetItemState(HTREEITEM item, UINT mask) const {
        return static_cast<UINT>(SendMessage(TVM_GETITEMSTATE, (WPARAM)item, mask));
    }
    // The item's children flag as the expand button shows it.
    int GetChildrenFlag(HTREEITEM item) const;

    // Where the placeholder's icon would be drawn: left of the item's text,
    // small-icon sized. False without an image list or a visible item.
    bool GetIconPlace(HTREEITEM item, RECT& place) const;
    // The tree's background colour (white for the system default).
    COLORREF BackgroundColor() const;

protected:
    virtual void OnLoadBegin(HTREEITEM placeholder);
    // On the indicator thread, once per wake-up.
    virtual void OnLoadProgress(bool isTick, int total, int current);
    virtual void OnLoadEnd();
    // Inserts the item's children. Returns true when the item's child count
    // is now final, false when it must keep its expand button even without
    // children (a drive with no medium), so a later expansion loads again.
    virtual bool PopulateChildren(HTREEITEM item) = 0;

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    std::string m_loadingText = "Loading...";
    HICON m_loadingIcon = nullptr;  // not owned
    bool m_drawIcon = false;
    HTREEITEM m_loadingItem = nullptr;

private:
    void OnItemExpanding(const NMTREEVIEWA& view);
    void OnItemExpanded(const NMTREEVIEWA& view);
    void StartIndicator();
    void StopIndicator();
    DWORD IndicatorBody();
    void PaintPlaceholderIcon();
    void TakeSnapshot();
    // Tells assistive technology of a new value, once per percent.
    void TellProgress();
    int ExtraCount() override { return m_indicator ? 1 : 0; }
    bool DescribeExtra(int index, AccessibleFacts& facts) override;

    bool m_indicator = false;  // between OnLoadBegin and OnLoadEnd
    CThread m_thread;
    CKernelHandle m_timerEvent;
    CKernelHandle m_progressEvent;
    std::atomic<bool> m_stopRequested{false};
    bool m_snapshotTaken = false;
    CBitmapHandle m_snapshot;
    UINT m_timerId = 0;
    UINT m_timerPeriod = 0;
    // Read by the indicator thread without a lock: a count one step old is
    // corrected by the next signal.
    std::atomic<int> m_current{0};
    std::atomic<int> m_total{0};
    HTREEITEM m_pendingItem = nullptr;
    int m_toldPercent = -1;
    RECT m_indicatorPlace{};  // the placeholder's row, in client coordinates
    CAccessibleHost m_accessible{*this};
};

// The load's progress in percent, as assistive technology reads it: of the
// total when it is known, else the bar's fill.
int LoadingPercent(int total, int current);

// Width in pixels (0..50) of the loading bar: current/total of 50 when the
// total is known, else a curve that approaches 50 as items come in.
int LoadingBarWidth(int total, int current);
