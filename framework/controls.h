#pragma once
// Non-owning wrappers of the common and standard controls: thin, typed
// forms of their messages. A wrapper can be Attach-ed (calls only) or
// subclassed (DDX_Control) when the control handles its own messages.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/wnd.h"

class CListCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int GetSelectedCount() const { return static_cast<int>(SendMessage(LVM_GETSELECTEDCOUNT)); }
    std::string GetItemText(int item, int subItem) const;
    UINT GetItemState(int item, UINT mask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, item, mask));
    }
    bool SetItemState(int item, UINT state, UINT mask) const;
    bool DeleteAllItems() const { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, start, flags));
    }
    DWORD SetExtendedStyle(DWORD style) const {
        return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    HIMAGELIST SetImageList(HIMAGELIST list, int which) const {
        return (HIMAGELIST)SendMessage(LVM_SETIMAGELIST, which, (LPARAM)list);
    }
    HWND GetHeader() const { return (HWND)SendMessage(LVM_GETHEADER); }
    int InsertColumn(int index, const LVCOLUMNA& column) const {
        return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, index, (LPARAM)&column));
    }
    int InsertColumn(int index, const char* heading, int format, int width) const;
    bool EnsureVisible(int item, bool partialOk) const {
        return SendMessage(LVM_ENSUREVISIBLE, item, partialOk) != 0;
    }
    bool RedrawItems(int first, int last) const { return SendMessage(LVM_REDRAWITEMS, first, last) != 0; }
};

class CHeaderCtrl : public CWnd {
public:
    bool GetItem(int index, HDITEMA& item) const {
        return SendMessage(HDM_GETITEMA, index, (LPARAM)&item) != 0;
    }
    bool SetItem(int index, const HDITEMA& item) const {
        return SendMessage(HDM_SETITEMA, index, (LPARAM)&item) != 0;
    }
};

class CToolBarCtrl : public CWnd {
public:
    HIMAGELIST SetImageList(HIMAGELIST list) const {
        return (HIMAGELIST)SendMessage(TB_SETIMAGELIST, 0, (LPARAM)list);
    }
    HIMAGELIST SetDisabledImageList(HIMAGELIST list) const {
        return (HIMAGELIST)SendMessage(TB_SETDISABLEDIMAGELIST, 0, (LPARAM)list);
    }
    DWORD SetExtendedStyle(DWORD style) const {
        return static_cast<DWORD>(SendMessage(TB_SETEXTENDEDSTYLE, 0, style));
    }
    bool SetButtonInfo(UINT id, const TBBUTTONINFOA& info) const {
        return SendMessage(TB_SETBUTTONINFOA, id, (LPARAM)&info) != 0;
    }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int low, int high) const { SendMessage(PBM_SETRANGE32, low, high); }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, pos)); }
};

class CStatic : public CWnd {};

class CComboBoxEx : public CWnd {
public:
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) const { return static_cast<int>(SendMessage(CB_SETCURSEL, index)); }
    int InsertItem(const COMBOBOXEXITEMA& item) const {
        return static_cast<int>(SendMessage(CBEM_INSERTITEMA, 0, (LPARAM)&item));
    }
    bool GetItem(COMBOBOXEXITEMA& item) const { return SendMessage(CBEM_GETITEMA, 0, (LPARAM)&item) != 0; }
    void ResetContent() const { SendMessage(CB_RESETCONTENT); }
    HIMAGELIST SetImageList(HIMAGELIST list) const {
        return (HIMAGELIST)SendMessage(CBEM_SETIMAGELIST, 0, (LPARAM)list);
    }
    HIMAGELIST GetImageList() const { return (HIMAGELIST)SendMessage(CBEM_GETIMAGELIST); }
    HWND GetEditCtrl() const { return (HWND)SendMessage(CBEM_GETEDITCONTROL); }
    HWND GetComboBoxCtrl() const { return (HWND)SendMessage(CBEM_GETCOMBOCONTROL); }
    bool GetDroppedControlRect(RECT& rect) const {
        return SendMessage(CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&rect) != 0;
    }
    int GetItemHeight(int index) const { return static_cast<int>(SendMessage(CB_GETITEMHEIGHT, index)); }
};

// A tooltip control created for (and destroyed with) an owner window.
class CToolTipCtrl : public CWnd {
public:
    bool Create(HWND owner, DWORD style = 0);
    void UpdateTipText(HWND tool, const char* text, UINT id = 0) const;
    void RelayEvent(const MSG& msg) const { SendMessage(TTM_RELAYEVENT, 0, (LPARAM)&msg); }
};
