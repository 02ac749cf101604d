#include "ui/controls/hyperlink.h"

#include <windowsx.h>
#include <shellapi.h>

#include "framework/handles.h"
#include "res/resource.h"

namespace {
// Posted to itself by the accessible default action: a client's call must
// return at once, while what the link opens may be a modal dialog.
UINT ActivateMessage() {
    static const UINT message = RegisterWindowMessageA("Pardwell.HyperLink.Activate");
    return message;
}

bool IsActionKey(WPARAM key) {
    // VK_RETURN and VK_SPACE equal '\r' and ' ', so this holds for the
    // key messages and for the characters they make.
    return key == VK_RETURN || key == VK_SPACE;
}
}  // namespace

CHyperLink::CHyperLink() : m_backColor(GetSysColor(COLOR_WINDOW)) {}

CHyperLink::~CHyperLink() {
    // Only when the control's window outlives the object is the tip still
    // held here; take it down so it does not relay to a dead object.
    if (m_tooltip.m_hwnd && IsWindow(m_tooltip.m_hwnd)) ::DestroyWindow(m_tooltip.m_hwnd);
}

void CHyperLink::OnSubclassed() {
    if (!m_hoverCursor)
        m_hoverCursor.Reset(static_cast<HCURSOR>(LoadImageA(
            GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_LINK), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
    ModifyStyle(0, SS_NOTIFY | WS_TABSTOP);
    if (!m_tooltip.m_hwnd && m_tooltip.Create(m_hwnd)) {
        // Added without TTF_SUBCLASS: this control relays its own messages.
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.hwnd = m_hwnd;
        info.uId = 0;
        GetClientRect(m_hwnd, &info.rect);
        info.lpszText = const_cast<char*>(m_tipText.c_str());
        m_tooltip.SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void CHyperLink::SetLink(const char* newTarget, const char* newTip, const char* newText) {
    m_target = newTarget ? newTarget : "";
    m_tipText = newTip ? newTip : "";
    if (!m_hwnd) return;
    if (newText) SetWindowText(newText);
    FitToText();
    if (m_tooltip.m_hwnd) m_tooltip.UpdateTipText(m_hwnd, m_tipText.c_str());
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

COLORREF CHyperLink::CurrentTextColor() const {
    if (m_hwnd && !IsWindowEnabled()) return GetSysColor(COLOR_GRAYTEXT);
    return HasCapture() ? m_hoverColor : m_linkColor;
}

void CHyperLink::OpenTarget(const std::string& what) {
    ShellExecuteA(nullptr, "open", what.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool CHyperLink::PointInside(LPARAM lp) const {
    RECT client;
    GetClientRect(m_hwnd, &client);
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    return PtInRect(&client, pt) != FALSE;
}

void CHyperLink::FitToText() {
    HWND parent = GetParent(m_hwnd);
    RECT rect;
    GetWindowRect(m_hwnd, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    std::string text = GetWindowText();
    SIZE size{0, 0};
    {
        CClientDC dc(m_hwnd);
        CSelectObject selected(dc, GetFont());
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    }
    SetWindowPos(m_hwnd, nullptr, 0, 0, size.cx, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Keep the tip's area equal to the control after the resize.
    if (m_tooltip.m_hwnd) {
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.hwnd = m_hwnd;
        info.uId = 0;
        GetClientRect(m_hwnd, &info.rect);
        m_tooltip.SendMessage(TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void CHyperLink::OnPaint() {
    CPaintDC dc(m_hwnd);
    RECT client;
    GetClientRect(m_hwnd, &client);
    CBrushHandle back(CreateSolidBrush(m_backColor));
    FillRect(dc, &client, back);
    SetBkColor(dc, m_backColor);
    SetTextColor(dc, CurrentTextColor());
    CSelectObject selected(dc, GetFont());
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    LONG_PTR style = GetStyle();
    // SS_RIGHT and SS_CENTER are values of the type field, not free bits.
    if ((style & SS_TYPEMASK) == SS_RIGHT)
        format |= DT_RIGHT;
    else if ((style & SS_TYPEMASK) == SS_CENTER)
        format |= DT_CENTER;
    std::string text = GetWindowText();
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &client, format);
    // Hidden, as on every control, until the keyboard is used in the window.
    if (GetFocus() == m_hwnd && !(SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS)) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        DrawFocusRect(dc, &client);
    }
}

void CHyperLink::Activate() {
    if (!m_target.empty()) OpenTarget(m_target);
    ::SendMessageA(GetParent(m_hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hwnd), STN_CLICKED),
                   reinterpret_cast<LPARAM>(m_hwnd));
}

LRESULT CHyperLink::OnGetDlgCode(WPARAM wp, LPARAM lp) {
    LRESULT code = DefProc(WM_GETDLGCODE, wp, lp);
    // Without this the dialog takes Enter for its default button.
    const MSG* msg = reinterpret_cast<const MSG*>(lp);
    if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && IsActionKey(msg->wParam))
        code |= DLGC_WANTMESSAGE;
    return code;
}

bool CHyperLink::Describe(LONG childId, AccessibleFacts& facts) {
    if (childId != CHILDID_SELF || !m_hwnd) return false;
    facts.role = ROLE_SYSTEM_LINK;
    facts.Name(GetWindowText());
    facts.Value(m_target);
    facts.DefaultAction(DefaultActionText());
    LONG state = STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
    if (GetFocus() == m_hwnd) state |= STATE_SYSTEM_FOCUSED;
    if (!IsWindowEnabled()) state |= STATE_SYSTEM_UNAVAILABLE;
    if (!IsWindowVisible()) state |= STATE_SYSTEM_INVISIBLE;
    if (HasCapture()) state |= STATE_SYSTEM_HOTTRACKED;
    facts.state = state;
    return true;
}

HRESULT CHyperLink::DoDefaultAction(LONG childId) {
    if (childId != CHILDID_SELF || !m_hwnd) return S_FALSE;
    // A disabled link's command cannot run.
    if (!IsWindowEnabled()) return DISP_E_MEMBERNOTFOUND;
    return PostMessage(ActivateMessage()) ? S_OK : E_FAIL;
}

void CHyperLink::OnMouseMove(LPARAM lp) {
    if (!HasCapture()) {
        SetCapture(m_hwnd);
        InvalidateRect(m_hwnd, nullptr, FALSE);
    } else if (!PointInside(lp)) {
        ReleaseCapture();  // WM_CAPTURECHANGED repaints
    }
}

void CHyperLink::OnLButtonDown(WPARAM wp, LPARAM lp, LRESULT& result) {
    // While hovering the link holds the capture and so sees clicks anywhere;
    // a click outside it must not open the target or notify the parent.
    if (HasCapture() && !PointInside(lp)) {
        ReleaseCapture();
        result = 0;
        return;
    }
    if (!m_target.empty()) OpenTarget(m_target);
    if (HasCapture()) ReleaseCapture();
    InvalidateRect(m_hwnd, nullptr, FALSE);
    result = DefProc(WM_LBUTTONDOWN, wp, lp);
}

bool CHyperLink::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (m_tooltip.m_hwnd) {
        MSG relay{m_hwnd, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {0, 0}};
        DWORD pos = GetMessagePos();
        relay.pt.x = GET_X_LPARAM(pos);
        relay.pt.y = GET_Y_LPARAM(pos);
        m_tooltip.RelayEvent(relay);
    }
    if (msg == ActivateMessage()) {
        if (IsWindowEnabled()) Activate();
        result = 0;
        return true;
    }
    switch (msg) {
        case WM_GETDLGCODE:
            result = OnGetDlgCode(wp, lp);
            return true;
        case WM_KEYDOWN:
            if (!IsActionKey(wp)) return CStatic::OnMessage(msg, wp, lp, result);
            // A held key repeats; the link acts once.
            if (!(lp & 0x40000000)) Activate();
            result = 0;
            return true;
        case WM_CHAR:
            if (!IsActionKey(wp)) return CStatic::OnMessage(msg, wp, lp, result);
            result = 0;
            return true;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
            // The focus rectangle comes or goes.
            InvalidateRect(m_hwnd, nullptr, FALSE);
            result = DefProc(msg, wp, lp);
            return true;
        case WM_GETOBJECT:
            if (m_accessible.OnGetObject(m_hwnd, wp, lp, result)) return true;
            return CStatic::OnMessage(msg, wp, lp, result);
        case WM_SETCURSOR:
            SetCursor(m_hoverCursor);
            result = TRUE;
            return true;
        case WM_MOUSEMOVE:
            OnMouseMove(lp);
            result = DefProc(msg, wp, lp);
            return true;
        case WM_ENABLE:
            // Enabled and disabled links are drawn in different colours.
            InvalidateRect(m_hwnd, nullptr, FALSE);
            result = DefProc(msg, wp, lp);
            return true;
        case WM_CAPTURECHANGED:
            // Losing the capture by any route (leaving, a click, another window
            // taking it) ends the hover colour.
            InvalidateRect(m_hwnd, nullptr, FALSE);
            result = DefProc(msg, wp, lp);
            return true;
        case WM_LBUTTONDOWN:
            OnLButtonDown(wp, lp, result);
            return true;
        case WM_PAINT:
            OnPaint();
            result = 0;
            return true;
        case WM_SETFONT:
            result = DefProc(msg, wp, lp);
            FitToText();
            return true;
        case WM_DESTROY:
            // The tip belongs to this control's life; forget it here so the
            // destructor never acts on a handle the system may have reused.
            if (m_tooltip.m_hwnd && IsWindow(m_tooltip.m_hwnd)) ::DestroyWindow(m_tooltip.m_hwnd);
            m_tooltip.Detach();
            m_accessible.Disconnect();
            result = DefProc(msg, wp, lp);
            return true;
        default:
            return CStatic::OnMessage(msg, wp, lp, result);
    }
}
