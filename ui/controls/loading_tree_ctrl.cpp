#include "ui/controls/loading_tree_ctrl.h"

#include <mmsystem.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "framework/dpi.h"

namespace {
// The indicator must not outlive the load, whatever way the load ends.
class CIndicatorScope {
public:
    explicit CIndicatorScope(std::function<void()> stop) : m_stop(std::move(stop)) {}
    ~CIndicatorScope() { m_stop(); }
    CIndicatorScope(const CIndicatorScope&) = delete;
    CIndicatorScope& operator=(const CIndicatorScope&) = delete;

private:
    std::function<void()> m_stop;
};
}  // namespace

int LoadingBarWidth(int total, int current) {
    constexpr int kFull = 50;
    if (total > 0) {
        if (current <= 0) return 0;
        if (current >= total) return kFull;
        return static_cast<int>(static_cast<long long>(current) * kFull / total);
    }
    // 50 (1 + 0.2 n - 0.5 ln(e^2 + e^(0.4 n) - 1)), rewritten without the
    // growing exponential: the direct form loses its digits to cancellation
    // and jitters between 49 and 50 for large counts, and overflows at
    // about 1,775. This one only falls towards 0, so the bar stays full.
    const double n = current > 0 ? current : 0;
    const double rest = 0.5 * std::log1p((std::exp(2.0) - 1) * std::exp(-0.4 * n));
    const double width = kFull * (1 - rest);
    if (width <= 0) return 0;
    return width >= kFull ? kFull : static_cast<int>(width);
}

int LoadingPercent(int total, int current) {
    if (total > 0) {
        if (current <= 0) return 0;
        if (current >= total) return 100;
        return static_cast<int>(static_cast<long long>(current) * 100 / total);
    }
    // Without a total, as full as the bar is drawn.
    return LoadingBarWidth(total, current) * 100 / 50;
}

CLoadingTreeCtrl::CLoadingTreeCtrl() = default;

CLoadingTreeCtrl::~CLoadingTreeCtrl() {
    StopIndicator();
}

void CLoadingTreeCtrl::SetProgress(int total, int current) {
    m_total = total;
    m_current = current;
    if (m_progressEvent) SetEvent(m_progressEvent);
    TellProgress();
}

void CLoadingTreeCtrl::StepProgress(int n) {
    m_current += n;
    if (m_progressEvent) SetEvent(m_progressEvent);
    TellProgress();
}

void CLoadingTreeCtrl::TellProgress() {
    // Raised here, on the window's own thread, and not by the indicator
    // thread: a screen reader's hook runs on the raising thread and asks the
    // window for the value at once, which only this thread can answer (the
    // indicator thread would wait for it while it waits for that thread).
    if (!m_indicator || !m_hwnd) return;
    const int percent = LoadingPercent(m_total, m_current);
    if (percent == m_toldPercent) return;
    m_toldPercent = percent;
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_hwnd, OBJID_CLIENT, kExtraChildBase);
}

int CLoadingTreeCtrl::GetProgress(int* total) const {
    if (total) *total = m_total;
    return m_current;
}

bool CLoadingTreeCtrl::Expand(HTREEITEM item, UINT action) const {
    // A level that kept its button without children must load again, but a
    // tree sends no notifications for an item it has expanded once.
    if ((action & TVE_EXPAND) && item && item != TVI_ROOT && !GetChildItem(item)) {
        TVITEMA tv{};
        tv.mask = TVIF_STATE;
        tv.hItem = item;
        tv.stateMask = TVIS_EXPANDEDONCE;
        SendMessage(TVM_SETITEMA, 0, (LPARAM)&tv);
    }
    return SendMessage(TVM_EXPAND, action, (LPARAM)item) != 0;
}

HTREEITEM CLoadingTreeCtrl::GetChildItem(HTREEITEM item) const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item);
}

HTREEITEM CLoadingTreeCtrl::GetNextSiblingItem(HTREEITEM item) const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
}

HTREEITEM CLoadingTreeCtrl::GetSelectedItem() const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, TVGN_CARET, 0);
}

std::string CLoadingTreeCtrl::GetItemText(HTREEITEM item) const {
    char text[MAX_PATH] = "";
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof(text);
    if (!SendMessage(TVM_GETITEMA, 0, (LPARAM)&tv)) return std::string();
    return text;
}

LPARAM CLoadingTreeCtrl::GetItemData(HTREEITEM item) const {
    TVITEMA tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    return SendMessage(TVM_GETITEMA, 0, (LPARAM)&tv) ? tv.lParam : 0;
}

int CLoadingTreeCtrl::GetChildrenFlag(HTREEITEM item) const {
    TVITEMA tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    return SendMessage(TVM_GETITEMA, 0, (LPARAM)&tv) ? tv.cChildren : 0;
}

COLORREF CLoadingTreeCtrl::BackgroundColor() const {
    // -1 (the system default) keeps its low 24 bits: white.
    return static_cast<COLORREF>(SendMessage(TVM_GETBKCOLOR)) & 0xFFFFFF;
}

bool CLoadingTreeCtrl::GetIconPlace(HTREEITEM item, RECT& place) const {
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, TVSIL_NORMAL));
    if (!images) return false;
    RECT text{};
    std::memcpy(&text, &item, sizeof(item));  // TVM_GETITEMRECT takes the item in the rectangle
    if (!SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&text)) return false;
    // The tree's own pictures set the place's size, at any scale.
    int cx = 0, cy = 0;
    if (!ImageList_GetIconSize(images, &cx, &cy)) return false;
    place.left = text.left - (cx + ScaleForDpi(3, DpiOfWindow(m_hwnd)));
    place.top = text.top + (text.bottom - text.top - cy) / 2;
    place.right = place.left + cx;
    place.bottom = place.top + cy;
    return true;
}

void CLoadingTreeCtrl::OnLoadBegin(HTREEITEM) {}
void CLoadingTreeCtrl::OnLoadProgress(bool, int, int) {}
void CLoadingTreeCtrl::OnLoadEnd() {}

bool CLoadingTreeCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case kReflectNotify: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            // The A and W forms share the layout of the fields read here.
            const auto& view = *reinterpret_cast<NMTREEVIEWA*>(lp);
            switch (header->code) {
                case TVN_ITEMEXPANDINGA:
                case TVN_ITEMEXPANDINGW:
                    if (view.action & TVE_EXPAND) OnItemExpanding(view);
                    result = 0;  // an expansion is never refused
                    return true;
                case TVN_ITEMEXPANDEDA:
                case TVN_ITEMEXPANDEDW:
                    if (view.action & TVE_EXPAND) OnItemExpanded(view);
                    result = 0;
                    return true;
                default:
                    return false;
            }
        }
        case WM_ERASEBKGND:
            if (!m_snapshotTaken) return false;
            {
                HDC dc = reinterpret_cast<HDC>(wp);
                BITMAP info{};
                GetObjectA(m_snapshot, sizeof(info), &info);
                CMemoryDC source(dc);
                CSelectObject picture(source, m_snapshot);
                BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
            }
            // The indicator paints itself again over the picture.
            if (m_progressEvent) SetEvent(m_progressEvent);
            result = 1;
            return true;
        case WM_GETOBJECT:
            return m_accessible.OnGetObject(m_hwnd, wp, lp, result);
        case WM_DESTROY:
            StopIndicator();
            m_accessible.Disconnect();
            return false;
        default:
            return false;
    }
}

void CLoadingTreeCtrl::OnItemExpanding(const NMTREEVIEWA& view) {
    HTREEITEM item = view.itemNew.hItem;
    if (GetChildItem(item)) {
        // Loaded once; the children stay while the item is collapsed.
        m_pendingItem = nullptr;
        return;
    }
    m_pendingItem = item;
    UpdateWindow(m_hwnd);
    SendMessage(WM_SETREDRAW, FALSE);
    TVINSERTSTRUCTA insert{};
    insert.hParent = item;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(m_loadingText.c_str());
    m_loadingItem = (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
    m_total = 1;
    m_current = 0;
}

void CLoadingTreeCtrl::OnItemExpanded(const NMTREEVIEWA& view) {
    HTREEITEM item = m_pendingItem;
    if (!item || item != view.itemNew.hItem) return;
    m_pendingItem = nullptr;
    if (m_drawIcon) {
        SendMessage(WM_SETREDRAW, TRUE);
        if (m_loadingItem) SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)m_loadingItem);
        UpdateWindow(m_hwnd);
    }
    bool final = true;
    {
        CIndicatorScope scope([this] { StopIndicator(); });
        StartIndicator();
        if (m_drawIcon) PaintPlaceholderIcon();
        SendMessage(WM_SETREDRAW, FALSE);
        TakeSnapshot();
        m_indicatorPlace = RECT{};
        std::memcpy(&m_indicatorPlace, &m_loadingItem, sizeof(m_loadingItem));
        if (!m_loadingItem || !SendMessage(TVM_GETITEMRECT, FALSE, (LPARAM)&m_indicatorPlace))
            m_indicatorPlace = RECT{};
        if (m_loadingItem) SendMessage(TVM_DELETEITEM, 0, (LPARAM)m_loadingItem);
        m_loadingItem = nullptr;
        final = PopulateChildren(item);
    }
    if (item != TVI_ROOT) {
        const bool hasChild = GetChildItem(item) != nullptr;
        if (final) {
            TVITEMA tv{};
            tv.mask = TVIF_CHILDREN;
            tv.hItem = item;
            tv.cChildren = hasChild ? 1 : 0;
            SendMessage(TVM_SETITEMA, 0, (LPARAM)&tv);
        } else if (!hasChild) {
            // Keep the button, which deleting the placeholder may have
            // taken, and the item collapsed: the next expansion loads again.
            TVITEMA tv{};
            tv.mask = TVIF_STATE | TVIF_CHILDREN;
            tv.hItem = item;
            tv.cChildren = 1;
            tv.state = 0;
            tv.stateMask = TVIS_EXPANDED;
            SendMessage(TVM_SETITEMA, 0, (LPARAM)&tv);
        }
    }
    m_snapshot.Close();
    m_snapshotTaken = false;
    SendMessage(WM_SETREDRAW, TRUE);
    // As many new children as fit, without scrolling the item itself away.
    for (HTREEITEM child = GetChildItem(item); child; child = GetNextSiblingItem(child)) {
        if ((HTREEITEM)SendMessage(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0) == item) break;
        SendMessage(TVM_ENSUREVISIBLE, 0, (LPARAM)child);
    }
}

void CLoadingTreeCtrl::StartIndicator() {
    OnLoadBegin(m_loadingItem);
    m_indicator = true;
    m_toldPercent = LoadingPercent(m_total, m_current);
    NotifyWinEvent(EVENT_OBJECT_SHOW, m_hwnd, OBJID_CLIENT, kExtraChildBase);
    m_stopRequested = false;
    // Without a timer there is no tick at all, not even the first.
    m_timerEvent.Reset(CreateEventA(nullptr, FALSE, m_timerPeriod > 0, nullptr));
    m_progressEvent.Reset(CreateEventA(nullptr, FALSE, TRUE, nullptr));
    if (!m_timerEvent || !m_progressEvent) return;
    if (!m_thread.Create([this] { return IndicatorBody(); }, false)) return;
    if (m_timerPeriod > 0) {
        m_timerId = timeSetEvent(m_timerPeriod, 5, reinterpret_cast<LPTIMECALLBACK>(m_timerEvent.Get()), 0,
                                 TIME_PERIODIC | TIME_CALLBACK_EVENT_SET);
    }
}

void CLoadingTreeCtrl::StopIndicator() {
    if (!m_indicator) return;
    m_indicator = false;
    if (m_timerId) timeKillEvent(m_timerId);
    m_timerId = 0;
    m_stopRequested = true;
    if (m_progressEvent) SetEvent(m_progressEvent);
    m_thread.Join();
    m_timerEvent.Close();
    m_progressEvent.Close();
    if (m_hwnd) NotifyWinEvent(EVENT_OBJECT_HIDE, m_hwnd, OBJID_CLIENT, kExtraChildBase);
    OnLoadEnd();
}

// The indicator paints from a thread of its own, not through tasks for the
// UI thread (framework/ui_task.h): it shows progress while that thread is
// busy loading the folder and serves no messages, so a task would only run
// once there is nothing left to show.
DWORD CLoadingTreeCtrl::IndicatorBody() {
    // When both are signalled the timer is reported first.
    const HANDLE events[2] = {m_timerEvent.Get(), m_progressEvent.Get()};
    while (!m_stopRequested) {
        DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (m_stopRequested || (woke != WAIT_OBJECT_0 && woke != WAIT_OBJECT_0 + 1)) break;
        OnLoadProgress(woke == WAIT_OBJECT_0, m_total, m_current);
    }
    return 0;
}

bool CLoadingTreeCtrl::DescribeExtra(int index, AccessibleFacts& facts) {
    if (index != 0 || !m_indicator) return false;
    facts.role = ROLE_SYSTEM_PROGRESSBAR;
    facts.Name(m_loadingText);
    facts.Value(std::to_string(LoadingPercent(m_total, m_current)) + "%");
    facts.state = STATE_SYSTEM_READONLY;
    if (!IsRectEmpty(&m_indicatorPlace)) {
        facts.screen = m_indicatorPlace;
        MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&facts.screen), 2);
        facts.hasPlace = true;
    }
    return true;
}

void CLoadingTreeCtrl::PaintPlaceholderIcon() {
    RECT place;
    if (!m_loadingItem || !GetIconPlace(m_loadingItem, place)) return;
    CBrushHandle brush(CreateSolidBrush(BackgroundColor()));
    CClientDC dc(m_hwnd);
    if (m_loadingIcon)
        DrawIconEx(dc, place.left, place.top, m_loadingIcon, place.right - place.left,
                   place.bottom - place.top, 0, brush, DI_NORMAL);
    else
        FillRect(dc, &place, brush);
}

void CLoadingTreeCtrl::TakeSnapshot() {
    RECT client;
    GetClientRect(m_hwnd, &client);
    CClientDC dc(m_hwnd);
    m_snapshot.Reset(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (!m_snapshot) return;
    {
        CMemoryDC memory(dc);
        CSelectObject picture(memory, m_snapshot);
        BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    }
    m_snapshotTaken = true;
}
