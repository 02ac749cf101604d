// The display-scale helpers: sizes for each scale, and image lists that
// never mix a strip lacking pictures with a full one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "framework/dpi.h"

namespace {

// dpi_pictures.rc: picture 4000 has two images at 16 and 20 pixels, and
// only the first at 24.
constexpr UINT kStrip = 4000;

TEST(Dpi, MeasuresAndPictureSizesFollowTheScale) {
    const struct {
        UINT dpi;
        int scaled22;  // 22 pixels at 96 DPI
        int picture;
    } table[] = {
        {96, 22, 16}, {120, 28, 20}, {144, 33, 24}, {168, 39, 24}, {192, 44, 32}, {288, 66, 32},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(row.scaled22, ScaleForDpi(22, row.dpi));
        EXPECT_EQ(row.picture, PictureSizeForDpi(row.dpi));
    }
}

TEST(Dpi, ImageListsTakeTheLargestSizeWithEveryPicture) {
    const struct { int wanted, got; } table[] = {{16, 16}, {20, 20}, {24, 20}, {32, 20}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.wanted);
        HIMAGELIST list = MakeSizedImageList(GetModuleHandleA(nullptr), kStrip, row.wanted, ILC_COLOR24, 1,
                                             RGB(255, 0, 255));
        ASSERT_NE(nullptr, list);
        int cx = 0, cy = 0;
        ImageList_GetIconSize(list, &cx, &cy);
        EXPECT_EQ(row.got, cx);
        EXPECT_EQ(row.got, cy);
        EXPECT_EQ(2, ImageList_GetImageCount(list));
        ImageList_Destroy(list);
    }
    EXPECT_EQ(nullptr, MakeSizedImageList(GetModuleHandleA(nullptr), kStrip + 1, 24, ILC_COLOR24, 1, 0));
}

}  // namespace
