#pragma once
// The format selector every window shows: the three line-ending formats and
// "As the project says" with their pictures, in the order their values have.

#include <windows.h>
#include <commctrl.h>

#include "ui/controls/auto_width_combo.h"

// Fills a format selector: attaches the images (bitmap 134: Windows, Unix,
// Macintosh; then bitmap 400: the project), inserts the four choices in
// LineEndingFormat order with their images and selects `format` (0..3;
// anything else selects nothing).
void FillFormatSelector(CAutoWidthComboBoxEx& selector, HIMAGELIST images, int format);
