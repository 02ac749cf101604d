#include "ui/dialogs/folder_tree_ctrl.h"

#include <cstring>

#include "framework/dpi.h"
#include "res/resource.h"

using Microsoft::WRL::ComPtr;

namespace {
// Pixels at 96 DPI, scaled to the tree's own.
constexpr int kBarFrameWidth = 56;
constexpr int kBarHeight = 16;
constexpr int kBarGap = 3;
// LoadingBarWidth's full bar: the frame less its gaps at 96 DPI.
constexpr int kFullBar = kBarFrameWidth - 2 * kBarGap;
}  // namespace

CFolderTreeCtrl::CFolderTreeCtrl() {
    m_drawIcon = true;
    SetTimerPeriod(125);
    LoadCursorForDpi(SystemDpi());
}

void CFolderTreeCtrl::LoadCursorForDpi(UINT dpi) {
    // The ring drawn for the scale, loaded at its own size.
    const int size = PictureSizeForDpi(dpi);
    SizedResourceName name;
    m_cursor.Reset(static_cast<HCURSOR>(LoadImageA(
        GetModuleHandleA(nullptr), SizedResource(IDR_LOADING_ANI, size, name), IMAGE_CURSOR, size, size, 0)));
    m_cursorDpi = dpi;
}

CFolderTreeCtrl::~CFolderTreeCtrl() = default;

void CFolderTreeCtrl::OnLoadBegin(HTREEITEM placeholder) {
    RECT text{};
    std::memcpy(&text, &placeholder, sizeof(placeholder));
    const UINT dpi = DpiOfWindow(m_hwnd);
    if (dpi != m_cursorDpi || !m_cursor) LoadCursorForDpi(dpi);
    if (placeholder && SendMessage(TVM_GETITEMRECT, TRUE, (LPARAM)&text)) {
        int d = (text.bottom - text.top - ScaleForDpi(kBarHeight, dpi)) / 2;
        if (d < 0) d = 0;
        text.top += d;
        text.bottom -= d;
        const int gap = ScaleForDpi(kBarGap, dpi);
        OffsetRect(&text, text.right - text.left + gap, 0);
        text.right = text.left + ScaleForDpi(kBarFrameWidth, dpi);
        m_barFrame = text;
        m_bar = text;
        InflateRect(&m_bar, -gap, -gap);
        m_fullBar = m_bar.right - m_bar.left;
        m_bar.right = m_bar.left;
    } else {
        m_barFrame = m_bar = RECT{};
    }
    m_frameBrush.Reset(CreateSolidBrush(RGB(0, 0, 0)));
    m_barBrush.Reset(CreateSolidBrush(RGB(255, 0, 0)));
    m_frame = 0;
    // The desktop's first load runs before the image list arrives: no icon.
    m_hasIconPlace = placeholder && GetIconPlace(placeholder, m_iconPlace);
    m_backBrush.Reset(CreateSolidBrush(BackgroundColor()));
}

void CFolderTreeCtrl::OnLoadProgress(bool isTick, int total, int current) {
    CClientDC dc(m_hwnd);
    if (!isTick) {
        if (IsRectEmpty(&m_barFrame)) return;
        FrameRect(dc, &m_barFrame, m_frameBrush);
        RECT bar = m_bar;
        bar.right = bar.left + MulDiv(LoadingBarWidth(total, current), m_fullBar, kFullBar);
        FillRect(dc, &bar, m_barBrush);
        return;
    }
    m_frame = (m_frame + 1) % kFrameCount;
    if (m_hasIconPlace && m_cursor)
        DrawIconEx(dc, m_iconPlace.left, m_iconPlace.top, m_cursor, m_iconPlace.right - m_iconPlace.left,
                   m_iconPlace.bottom - m_iconPlace.top, m_frame, m_backBrush, DI_NORMAL);
}

void CFolderTreeCtrl::OnLoadEnd() {
    m_backBrush.Close();
    m_frameBrush.Close();
    m_barBrush.Close();
}

bool CFolderTreeCtrl::ShowContextMenu(POINT at) {
    HTREEITEM selected = GetSelectedItem();
    ShellItemData* data = selected ? ItemDataOf(selected) : nullptr;
    if (!data || !data->folder) return false;
    LPCITEMIDLIST rel = data->Relative();
    ComPtr<IContextMenu> shellMenu;
    if (FAILED(data->folder->GetUIObjectOf(nullptr, 1, &rel, IID_IContextMenu, nullptr,
                                           reinterpret_cast<void**>(shellMenu.GetAddressOf()))) ||
        !shellMenu)
        return false;
    m_menu.SetContextMenu(shellMenu);
    CMenuHandle menu(CreatePopupMenu());
    if (!menu || !m_menu.QueryMenu(menu, 0, kFirstMenuId, kLastMenuId, CMF_EXPLORE | CMF_NODEFAULT))
        return false;
    m_menu.Attach(m_hwnd);
    TrackMenu(menu, at);
    m_menu.Detach();
    return true;
}

void CFolderTreeCtrl::TrackMenu(HMENU menu, POINT at) {
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, m_hwnd, nullptr);
}

bool CFolderTreeCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_CONTEXTMENU: {
            POINT at;
            GetCursorPos(&at);
            ShowContextMenu(at);
            result = 0;
            return true;
        }
        case kReflectNotify:
            if (reinterpret_cast<NMHDR*>(lp)->code == NM_RCLICK) {
                POINT at;
                GetCursorPos(&at);
                ShowContextMenu(at);
                result = 1;  // one right-click, one menu
                return true;
            }
            break;
        case WM_COMMAND:
            if (LOWORD(wp) >= kFirstMenuId && LOWORD(wp) <= kLastMenuId) {
                m_menu.InvokeMenuCommand(LOWORD(wp));
                result = 0;
                return true;
            }
            break;
        default:
            break;
    }
    return CShellTreeCtrl::OnMessage(msg, wp, lp, result);
}
