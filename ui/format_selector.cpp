#include "ui/format_selector.h"

#include "core/converter.h"

void FillFormatSelector(CAutoWidthComboBoxEx& selector, HIMAGELIST images, int format) {
    // Image order in bitmap 134 is Windows, Unix, Macintosh; entry order is
    // the LineEndingFormat order.
    static const int kImageOfFormat[3] = {0, 2, 1};
    selector.SetImageList(images);
    for (int i = 0; i < 3; ++i)
        selector.InsertItem(i, LineEndingFormatLabel(i), kImageOfFormat[i], kImageOfFormat[i]);
    selector.SetCurSel(format >= 0 && format < 3 ? format : -1);
}
