#include "ui/format_selector.h"

#include "core/converter.h"

void FillFormatSelector(CAutoWidthComboBoxEx& selector, HIMAGELIST images, int format) {
    // Image order in bitmap 134 is Windows, Unix, Macintosh, and bitmap 400
    // follows it; entry order is the LineEndingFormat order.
    static const int kImageOfFormat[kFormatChoiceCount] = {0, 2, 1, 3};
    selector.SetImageList(images);
    for (int i = 0; i < kFormatChoiceCount; ++i)
        selector.InsertItem(i, FormatChoiceLabel(i), kImageOfFormat[i], kImageOfFormat[i]);
    selector.SetCurSel(format >= 0 && format < kFormatChoiceCount ? format : -1);
}
