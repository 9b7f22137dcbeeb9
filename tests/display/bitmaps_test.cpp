// The bitmaps the build makes from their pictures are in the resources,
// at the sizes the map's drawing cuts them by.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

BITMAP Measure(int id) {
    BITMAP info = {};
    HBITMAP b = LoadBitmapA(GetModuleHandleA(0), MAKEINTRESOURCEA(id));
    EXPECT_TRUE(b != 0) << id;
    if (b) {
        GetObjectA(b, sizeof info, &info);
        DeleteObject(b);
    }
    return info;
}

TEST(BitmapsTest, StripsAndMarkHaveTheirSizes) {
    BITMAP icons = Measure(IDB_PAGE_ICONS);
    EXPECT_EQ(540, icons.bmWidth);  // 30 cells of 18
    EXPECT_EQ(32, icons.bmHeight);  // two rows of 16
    BITMAP glyphs = Measure(IDB_LINK_GLYPHS);
    EXPECT_EQ(40, glyphs.bmWidth);
    EXPECT_EQ(24, glyphs.bmHeight);
    BITMAP mark = Measure(IDB_SELECTION_MARK);
    EXPECT_EQ(7, mark.bmWidth);
    EXPECT_EQ(7, mark.bmHeight);
    EXPECT_EQ(1, mark.bmBitsPixel);
}

// Pixels that differ between the two rows are the transparent ones: the
// corner of every page cell is transparent, the outline of the page is not.
TEST(BitmapsTest, TheTwoRowsDifferExactlyWhereThePictureIsTransparent) {
    HBITMAP b = LoadBitmapA(GetModuleHandleA(0), MAKEINTRESOURCEA(IDB_PAGE_ICONS));
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, b);
    for (int cell = 0; cell < 30; ++cell) {
        int x = cell * 18;
        EXPECT_NE(GetPixel(dc, x, 0), GetPixel(dc, x, 16)) << "corner of cell " << cell;
    }
    EXPECT_EQ(GetPixel(dc, 4, 0), GetPixel(dc, 4, 16)) << "page outline";
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc, 4, 0));
    // The twin of the page (cell 1) carries the red plus at its bottom right.
    EXPECT_EQ(RGB(0xE0, 0, 0), GetPixel(dc, 18 + 14, 12));
    EXPECT_NE(RGB(0xE0, 0, 0), GetPixel(dc, 14, 12));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(b);
}

}  // namespace
