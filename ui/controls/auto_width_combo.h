#pragma once
// CAutoWidthComboBoxEx: an extended combo box whose drop-down list is widened
// to its widest entry every time it opens (CBN_DROPDOWN, reflected from the
// parent), plus typed helpers for entries with images.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/controls.h"

class CAutoWidthComboBoxEx : public CComboBoxEx {
public:
    // An entry's text (up to 1023 characters); empty if it cannot be read.
    virtual std::string GetItemText(int index) const;
    // image -1: no image; selectedImage -1: the same as image. Returns the
    // new index or -1.
    virtual int InsertItem(int index, const char* text, int image = -1, int selectedImage = -1);
    virtual int InsertItemIndented(int index, const char* text, int indent, int image = -1,
                                   int selectedImage = -1);
    // Sets the drop-down width to the widest entry plus margins and returns it.
    virtual int AdjustDropWidth();

    using CComboBoxEx::InsertItem;

protected:
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};
