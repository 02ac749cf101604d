#include "framework/dialog_resize.h"

namespace {
RECT RectInParent(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND CreateGrip(HWND wnd, int id, const RECT& client) {
    // The scroll bar shrinks itself to the system's grip size, aligned to the
    // bottom-right corner of the rectangle it is given.
    HWND grip = CreateWindowExA(
        0, "SCROLLBAR", nullptr,
        WS_CHILD | WS_VISIBLE | SBS_SIZEBOX | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN, 0, 0, client.right,
        client.bottom, wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(wnd, GWLP_HINSTANCE)), nullptr);
    if (!grip) return nullptr;
    RECT rect = RectInParent(wnd, grip);
    const int cx = rect.right - rect.left, cy = rect.bottom - rect.top;
    // On top of the controls it may overlap, and out of their tab order.
    SetWindowPos(grip, HWND_TOP, client.right - cx, client.bottom - cy, cx, cy, SWP_NOACTIVATE);
    return grip;
}
}  // namespace

bool CDialogResize::Init(HWND wnd, const Item* items, size_t count, SIZE minTrack, int gripId) {
    m_placed.clear();
    m_wnd = nullptr;
    if (!wnd) return false;
    RECT client{};
    GetClientRect(wnd, &client);
    std::vector<Placed> placed;
    for (size_t i = 0; i < count; ++i) {
        HWND control = GetDlgItem(wnd, items[i].id);
        if (!control) return false;
        placed.push_back({control, items[i].anchors, RectInParent(wnd, control)});
    }
    if (gripId && !m_grip) {
        m_grip = CreateGrip(wnd, gripId, client);
        if (!m_grip) return false;
    }
    if (m_grip) placed.push_back({m_grip, MoveX | MoveY, RectInParent(wnd, m_grip)});
    RECT window{};
    GetWindowRect(wnd, &window);
    m_minTrack =
        minTrack.cx || minTrack.cy ? minTrack : SIZE{window.right - window.left, window.bottom - window.top};
    m_initialClient = SIZE{client.right, client.bottom};
    m_placed = std::move(placed);
    m_wnd = wnd;
    return true;
}

void CDialogResize::Layout() const {
    if (!m_wnd || m_placed.empty()) return;
    RECT client{};
    GetClientRect(m_wnd, &client);
    const int dx = client.right - m_initialClient.cx, dy = client.bottom - m_initialClient.cy;
    std::vector<RECT> rects;
    for (const Placed& item : m_placed) {
        RECT r = item.rect;
        if (item.anchors & MoveX)
            OffsetRect(&r, dx, 0);
        else if (item.anchors & SizeX)
            r.right += dx;
        if (item.anchors & MoveY)
            OffsetRect(&r, 0, dy);
        else if (item.anchors & SizeY)
            r.bottom += dy;
        rects.push_back(r);
    }
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(m_placed.size()));
    for (size_t i = 0; batch && i < m_placed.size(); ++i) {
        const RECT& r = rects[i];
        batch = DeferWindowPos(batch, m_placed[i].control, nullptr, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, flags);
    }
    // A batch that failed on the way has been dropped: place one by one.
    if (!batch || !EndDeferWindowPos(batch))
        for (size_t i = 0; i < m_placed.size(); ++i) {
            const RECT& r = rects[i];
            SetWindowPos(m_placed[i].control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         flags);
        }
    // Labels and the ground between controls are repainted as a whole.
    InvalidateRect(m_wnd, nullptr, TRUE);
}

void CDialogResize::ApplyMinimum(MINMAXINFO& info) const {
    if (!m_wnd) return;
    if (info.ptMinTrackSize.x < m_minTrack.cx) info.ptMinTrackSize.x = m_minTrack.cx;
    if (info.ptMinTrackSize.y < m_minTrack.cy) info.ptMinTrackSize.y = m_minTrack.cy;
}
