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

#include "display/icon_strip.h"

namespace {

// Draws a cell onto a red canvas and reads it back.
class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        screen_ = GetDC(0);
        dc_ = CreateCompatibleDC(screen_);
        canvas_ = CreateCompatibleBitmap(screen_, 64, 32);
        old_ = SelectObject(dc_, canvas_);
        RECT all = {0, 0, 64, 32};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc_, &all, red);
        DeleteObject(red);
    }
    void TearDown() override {
        SelectObject(dc_, old_);
        DeleteObject(canvas_);
        DeleteDC(dc_);
        ReleaseDC(0, screen_);
    }
    HDC screen_, dc_;
    HBITMAP canvas_;
    HGDIOBJ old_;
};

TEST_F(CanvasTest, AStripCellIsDrawnWithItsTransparency) {
    IconStrip icons;
    ASSERT_TRUE(icons.Load(GetModuleHandleA(0), IDB_PAGE_ICONS, 18, 16, dc_));
    EXPECT_EQ(30, icons.cells());
    icons.Draw(dc_, 0, 2, 3);  // the page
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc_, 2, 3)) << "transparent corner keeps the canvas";
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc_, 2 + 4, 3)) << "outline";
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc_, 2 + 6, 3 + 5)) << "white paper stays white";
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc_, 2 + 18, 3 + 5)) << "nothing drawn past the cell";
    icons.Draw(dc_, 30, 30, 0);  // no such cell: nothing
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc_, 34, 0 + 1));

    IconStrip glyphs;
    ASSERT_TRUE(glyphs.Load(GetModuleHandleA(0), IDB_LINK_GLYPHS, 10, 12, dc_));
    EXPECT_EQ(4, glyphs.cells());
    glyphs.Draw(dc_, 1, 40, 10);  // the search glass
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(dc_, 40 + 2, 10 + 1));
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(dc_, 40, 10)) << "around the glass";
}

}  // namespace
