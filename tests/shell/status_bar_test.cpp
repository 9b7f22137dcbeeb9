// The status bar on a real common control: simple text, the switch to the
// two parts of progress and back, and the blocks the progress part draws.
#include "shell/status_bar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        frame_ = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 500, 200, 0, 0, 0, 0);
        bar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_, 0, 0, 0);
        ASSERT_TRUE(bar_ != 0);
        SendMessageA(bar_, SB_SIMPLE, TRUE, 0);
        flags_ = kStatusShown | kStatusSimple;
    }
    void TearDown() override { DestroyWindow(frame_); }

    std::string PartText(int part) {
        char text[256] = "";
        SendMessageA(bar_, SB_GETTEXTA, part, (LPARAM)text);
        return text;
    }
    bool IsSimple() { return SendMessageA(bar_, SB_ISSIMPLE, 0, 0) != 0; }

    HWND frame_ = 0, bar_ = 0;
    uint32_t flags_ = 0;
};

TEST_F(StatusBarTest, ProgressSplitsTheBarAndEndingItReturnsToAnEmptyText) {
    StatusBar status(bar_, &flags_);
    status.ShowSimpleText("http://h/page.html");
    EXPECT_EQ(kStatusShown | kStatusSimple, flags_);

    EXPECT_TRUE(status.Progress(0, 10, "Checking 10 pages"));
    EXPECT_FALSE(IsSimple());
    EXPECT_EQ(kStatusShown, flags_);
    int parts[4] = {};
    ASSERT_EQ(2, SendMessageA(bar_, SB_GETPARTS, 4, (LPARAM)parts));
    int borders[3] = {};
    SendMessageA(bar_, SB_GETBORDERS, 0, (LPARAM)borders);
    EXPECT_EQ(borders[0] + 104, parts[0]);
    EXPECT_EQ(-1, parts[1]);
    EXPECT_EQ("Checking 10 pages", PartText(1));
    LRESULT how = SendMessageA(bar_, SB_GETTEXTLENGTHA, 0, 0);
    EXPECT_EQ(SBT_OWNERDRAW, HIWORD(how) & SBT_OWNERDRAW);
    EXPECT_TRUE(status.Progress(3, 10, 0));
    char unused[64];
    EXPECT_EQ(300, SendMessageA(bar_, SB_GETTEXTA, 0, (LPARAM)unused)) << "the owner-drawn part holds thousandths";

    // An empty text keeps the one beside the bar.
    EXPECT_TRUE(status.Progress(5, 10, ""));
    EXPECT_EQ("Checking 10 pages", PartText(1));
    EXPECT_TRUE(status.Progress(7, 10, 0));
    EXPECT_EQ("Checking 10 pages", PartText(1));

    EXPECT_TRUE(status.Progress(0, 0, 0));
    EXPECT_TRUE(IsSimple());
    EXPECT_EQ(kStatusShown | kStatusSimple | kStatusEmpty, flags_);
}

// Counts the purple blocks along the middle of a drawn part.
int BlocksDrawn(uintptr_t thousandths, const RECT& item) {
    HDC screen = GetDC(0);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP b = CreateCompatibleBitmap(screen, item.right + 4, item.bottom + 4);
    HGDIOBJ old = SelectObject(dc, b);
    RECT all = {0, 0, item.right + 4, item.bottom + 4};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    StatusBar::DrawProgressPart(dc, item, thousandths);
    int blocks = 0;
    bool in_block = false;
    int y = (item.top + item.bottom) / 2;
    for (int x = 0; x < item.right + 4; ++x) {
        bool purple = GetPixel(dc, x, y) == kProgressColour;
        if (purple && !in_block) ++blocks;
        in_block = purple;
    }
    EXPECT_NE(kProgressColour, GetPixel(dc, item.left + 4, item.top + 2)) << "3 pixels clear above";
    SelectObject(dc, old);
    DeleteObject(b);
    DeleteDC(dc);
    ReleaseDC(0, screen);
    return blocks;
}

TEST(StatusBarDrawing, TenBlocksWhenDoneNoneAtTheStart) {
    RECT item = {0, 0, 104, 20};  // blocks from 2 to 102, a pitch of 10
    EXPECT_EQ(0, BlocksDrawn(0, item));
    EXPECT_EQ(10, BlocksDrawn(1000, item));
    EXPECT_EQ(5, BlocksDrawn(500, item));
    EXPECT_EQ(0, BlocksDrawn(1, item)) << "a tenth of a pixel rounds away";
    EXPECT_EQ(1, BlocksDrawn(10, item)) << "one pixel shows";
    RECT wider = {0, 0, 106, 20};  // pitch 10 again, but 102 pixels to fill
    EXPECT_EQ(11, BlocksDrawn(1000, wider)) << "the last block is the 2-pixel remainder";
}

}  // namespace
