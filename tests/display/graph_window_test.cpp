// The graph window on real windows under the test display: rows of known
// pages painted into a memory bitmap and read back pixel by pixel at the
// places the geometry fixes, then the mouse, the keys, the scroll bars and
// the clipboard driven through window messages.
#include "display/graph_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/graph_text.h"
#include "store/node_ref.h"
#include "tests/display/map_window_fixture_win32.h"

namespace {

class GraphWindowTest : public MapWindowTest {
protected:
    void SetUp() override {
        OpenMap(20 * 16 + 4);
        LOGFONTA font = {};
        font.lfHeight = -11;
        strcpy(font.lfFaceName, "Tahoma");
        graph_.SetGraphFont(font);
        rh_ = graph_.row_height();
    }

    // A pinned top-level page with its links shown.
    NodeId Root(const std::string& name) {
        NodeId n = Page(name);
        model().TogglePin(n);
        return n;
    }

    // Paints the whole client area into a bitmap of the same size.
    void Render() {
        RECT client;
        GetClientRect(graph_.window(), &client);
        HDC screen = GetDC(graph_.window());
        if (canvas_dc_) {
            SelectObject(canvas_dc_, old_);
            DeleteObject(canvas_);
            DeleteDC(canvas_dc_);
        }
        canvas_dc_ = CreateCompatibleDC(screen);
        canvas_ = CreateCompatibleBitmap(screen, client.right, client.bottom);
        old_ = SelectObject(canvas_dc_, canvas_);
        ReleaseDC(graph_.window(), screen);
        graph_.Paint(canvas_dc_, FALSE, client);
    }
    COLORREF At(int x, int y) { return GetPixel(canvas_dc_, x, y); }
    bool Ink(int x, int y) { return At(x, y) == GetSysColor(COLOR_WINDOWTEXT); }
    // Whether any pixel of the rectangle is in the text colour.
    bool AnyInk(int x1, int y1, int x2, int y2) {
        for (int y = y1; y < y2; ++y)
            for (int x = x1; x < x2; ++x)
                if (Ink(x, y)) return true;
        return false;
    }
    LRESULT Send(UINT message, WPARAM wparam, LPARAM lparam) {
        return SendMessageA(graph_.window(), message, wparam, lparam);
    }
    void Click(int x, int y, WPARAM keys = 0) {
        Send(WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
        Send(WM_LBUTTONUP, keys, MAKELPARAM(x, y));
    }
    // Middle of a row's label, or of its icon, at depth 0.
    int RowMiddle(int row) { return row * rh_ + rh_ / 2; }
    static const int kLabelX = 33 + 10, kIconX = 3 + 5;
    // A pinned page with `count` pages linked beneath it, shown.
    NodeId RootWithChildren(int count) {
        NodeId a = Root("a.html");
        for (int i = 0; i < count; ++i) Links("a.html>p" + std::to_string(100 + i) + ".html");
        model().ShowLinks(0);
        graph_.ScrollToRow(-1, 0);
        return a;
    }
    int PageRows() {
        RECT client;
        GetClientRect(graph_.window(), &client);
        return client.bottom / rh_;
    }
    int Position(int bar) { return GetScrollPos(graph_.window(), bar); }
    std::string Selected() {
        std::string s;
        for (int i = 0; i < model().RowCount(); ++i)
            if (graph_.IsSelected(i)) s += std::to_string(i) + " ";
        return s;
    }

    int rh_ = 16;
    HDC canvas_dc_ = 0;
    HBITMAP canvas_ = 0;
    HGDIOBJ old_ = 0;
};

TEST_F(GraphWindowTest, RowsAreDrawnAtTheirPlaces) {
    Render();  // no rows: only the background
    RECT client;
    GetClientRect(graph_.window(), &client);
    for (int y = 0; y < client.bottom; y += 7)
        for (int x = 0; x < client.right; x += 7) ASSERT_EQ(GetSysColor(COLOR_WINDOW), At(x, y)) << x << "," << y;

    Links("a.html>b.html a.html>c.html");
    model().ShowLinks(model().RowOf(Root("a.html")));
    ASSERT_EQ(3, model().RowCount());
    Render();
    // Icon of the depth-1 row b (row 1) at 1 x 24 + 3: the page's outline
    // starts 4 pixels into the cell on its first line.
    int x0 = 24 + 3, top = rh_;
    EXPECT_TRUE(Ink(x0 + 4, top)) << "icon outline";
    EXPECT_FALSE(Ink(x0 + 1, top)) << "transparent corner";
    // The label from depth x 24 + 33 on; nothing between icon and label.
    EXPECT_TRUE(AnyInk(x0 + 30, top, x0 + 30 + 40, top + rh_)) << "label";
    EXPECT_FALSE(AnyInk(x0 + 19, top + 1, x0 + 29, top + rh_ - 1)) << "nothing between icon and label";
    // The solid connector of a normal link at row top + 8, x0-14 to x0-4.
    for (int x = x0 - 14; x <= x0 - 4; ++x) EXPECT_TRUE(Ink(x, top + 8)) << x;
    EXPECT_FALSE(Ink(x0 - 3, top + 8));
    // The tree line of the siblings at depth 1: x = 1 x 24 - 12, from the
    // top of b to 9 below the top of c.
    EXPECT_TRUE(Ink(12, top + 2));
    EXPECT_TRUE(Ink(12, 2 * rh_ + 8));
    EXPECT_FALSE(Ink(12, 2 * rh_ + 10));
}

TEST_F(GraphWindowTest, ConnectorsTellTheLinkKind) {
    model().ApplyViewFlags(0x3F);  // every kind shown, inline images too
    Links("a.html>o.css:o a.html>r.html:r a.html>i.gif:i a.html>q?x=1:q");
    model().ShowLinks(model().RowOf(Root("a.html")));
    NodeId other = Page("o.css"), redirect = Page("r.html"), image = Page("i.gif"), query = Page("q?x=1");
    ASSERT_EQ(5, model().RowCount());
    Render();
    int x0 = 27;
    int y = rh_ * model().RowOf(other) + 8;
    // Dots: 2-pixel dashes at x0-13, x0-9, x0-5.
    EXPECT_TRUE(Ink(x0 - 13, y));
    EXPECT_TRUE(Ink(x0 - 12, y));
    EXPECT_FALSE(Ink(x0 - 11, y));
    EXPECT_TRUE(Ink(x0 - 9, y));
    EXPECT_TRUE(Ink(x0 - 5, y));
    EXPECT_FALSE(Ink(x0 - 3, y));
    // A redirection adds an arrow head to the dots.
    y = rh_ * model().RowOf(redirect) + 8;
    EXPECT_TRUE(Ink(x0 - 7, y + 2));
    EXPECT_TRUE(Ink(x0 - 6, y - 1));
    EXPECT_FALSE(Ink(x0 - 7, y + 3));
    // An inline image adds a tick.
    y = rh_ * model().RowOf(image) + 8;
    EXPECT_TRUE(Ink(x0 - 8, y - 3));
    EXPECT_TRUE(Ink(x0 - 8, y - 1));
    EXPECT_FALSE(Ink(x0 - 8, y - 4));
    // A search gets the magnifying glass, not a line.
    int top = rh_ * model().RowOf(query);
    EXPECT_TRUE(Ink(x0 - 13 + 2, top + 2 + 1)) << "glass rim";
    EXPECT_FALSE(Ink(x0 - 4, top + 8)) << "no solid line";
}

TEST_F(GraphWindowTest, TheOpenPageIsHighlightedToItsLabelsEnd) {
    Links("a.html>b.html");
    Root("a.html");
    model().SetOpenPage(Page("b.html"));
    int row = model().RowOf(Page("b.html"));
    ASSERT_EQ(1, row);
    Render();
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    int left = 24, right = 24 + 33 + model().TextWidth(row) + 3;
    EXPECT_EQ(highlight, At(left, row * rh_ + 1));
    EXPECT_EQ(highlight, At(right - 1, row * rh_ + rh_ - 2));
    EXPECT_NE(highlight, At(right + 1, row * rh_ + 1));
    EXPECT_NE(highlight, At(left - 1, row * rh_ + 1));
    EXPECT_NE(highlight, At(left + 2, 0 * rh_ + 1)) << "other rows are not";
}

TEST_F(GraphWindowTest, ClicksOnIconsShowAndHideLinksAndSelectionByKeys) {
    // Links first: a row whose page has links to show starts collapsed.
    Links("a.html>b.html a.html>c.html");
    model().TogglePin(Page("a.html"));
    ASSERT_EQ(1, model().RowCount());
    ASSERT_FALSE(model().Row(0).expanded());
    Click(3 + 5, rh_ / 2);  // on a's icon: shows its links
    EXPECT_EQ(3, model().RowCount());
    EXPECT_EQ(DragNone, graph_.drag_mode()) << "an icon click starts no drag";
    Click(3 + 5, rh_ / 2);  // again: hides them
    EXPECT_EQ(1, model().RowCount());
    Click(3 + 5, rh_ / 2);
    // A click on the label makes the row current.
    Click(24 + 40, rh_ + rh_ / 2);
    EXPECT_EQ(1, model().current_row());
    // Shift+Down selects the current row and the next.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    Send(WM_KEYDOWN, VK_DOWN, 0);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(2, model().current_row());
    EXPECT_TRUE(model().Row(1).selected());
    EXPECT_TRUE(model().Row(2).selected());
    EXPECT_FALSE(model().Row(0).selected());
    // A click on empty space below the rows clears every selection.
    Click(50, rh_ * 10);
    EXPECT_FALSE(model().AnySelected());
    // Double click on a label opens the page.
    Send(WM_LBUTTONDBLCLK, 0, MAKELPARAM(24 + 40, 2 * rh_ + 2));
    ASSERT_EQ(1u, graph_.opened.size());
    EXPECT_EQ(Page("c.html"), graph_.opened[0]);
}

TEST_F(GraphWindowTest, DraggingBelowTheWindowScrollsARowAtATime) {
    RootWithChildren(60);
    ASSERT_EQ(61, model().RowCount());
    RECT client;
    GetClientRect(graph_.window(), &client);
    int page = PageRows();
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(40, rh_ + 2));
    EXPECT_EQ(DragSelect, graph_.drag_mode());
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, client.bottom + 20));
    EXPECT_EQ(1, Position(SB_VERT)) << "one step at once";
    // Let the 50 ms timer run for a while.
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 600) {
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
    int position = Position(SB_VERT);
    EXPECT_GE(position, 5);
    EXPECT_LE(position, 61 - page);
    EXPECT_EQ(position + page - 1, model().current_row()) << "the row just inside the bottom edge";
    Send(WM_LBUTTONUP, 0, MAKELPARAM(40, client.bottom + 20));
    EXPECT_EQ(DragNone, graph_.drag_mode());
    int current = model().current_row();
    for (int i = 1; i <= current; ++i) EXPECT_TRUE(model().Row(i).selected()) << i;
    EXPECT_FALSE(model().Row(current + 1).selected());
    // Scroll bar to the bottom and back to the top.
    Send(WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(61 - page, Position(SB_VERT));
    Send(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(0, Position(SB_VERT));
    Send(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(page, Position(SB_VERT));
}

TEST_F(GraphWindowTest, ScrollToRowKeepsTheAnchorsPlaceOrCentresTheTarget) {
    RootWithChildren(80);
    int page = PageRows();
    // The anchor is not on the screen: the target comes to the middle.
    graph_.ScrollToRow(70, 50);
    EXPECT_EQ(50 - page / 2, Position(SB_VERT));
    // The anchor is on the screen: the target takes its place.
    int before = Position(SB_VERT);
    graph_.ScrollToRow(before + 2, before + 7);
    EXPECT_EQ(before + 5, Position(SB_VERT));
    // Never past the last page, never above the top.
    graph_.ScrollToRow(-1, 80);
    EXPECT_EQ(81 - page, Position(SB_VERT));
    graph_.ScrollToRow(-1, 0);
    EXPECT_EQ(0, Position(SB_VERT));
    graph_.ScrollToRow(-1, -1);  // nothing
    EXPECT_EQ(0, Position(SB_VERT));

    // A taller window brings a position beyond the new last page back.
    graph_.ScrollToRow(-1, 80);
    MoveWindow(graph_.window(), 0, 0, 400, rh_ * 70, TRUE);
    EXPECT_EQ(81 - PageRows(), Position(SB_VERT));
    MoveWindow(graph_.window(), 0, 0, 400, 20 * 16 + 4, TRUE);
}

TEST_F(GraphWindowTest, CopiedAddressesPasteBackThroughTheClipboard) {
    Links("a.html>b.html b.html>c.html");
    Root("a.html");
    model().ShowLinks(0);
    model().ShowLinks(1);
    ASSERT_EQ(3, model().RowCount());
    for (int i = 0; i < 3; ++i) model().SetSelected(i, true);
    Send(WM_COMMAND, kCommandCopyAddress, 0);
    ASSERT_TRUE(OpenClipboard(graph_.window()));
    HANDLE data = GetClipboardData(CF_TEXT);
    ASSERT_TRUE(data != 0);
    std::string text((const char*)GlobalLock(data));
    GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ("http://h/a.html\n\thttp://h/b.html\n\t\thttp://h/c.html\n", text);

    // Into a fresh workspace: every address becomes a page, the last current.
    NodeDb other;
    ASSERT_TRUE(other.CreateWorkspace(dir_.File("other.sk1").c_str()));
    model().SetWorkspace(&other);
    Send(WM_COMMAND, kCommandPasteAddress, 0);
    NodeId pc = other.FindNode("http://h/c.html", false);
    ASSERT_NE(0u, pc);
    EXPECT_NE(0u, other.FindNode("http://h/a.html", false));
    EXPECT_EQ(pc, model().current_page());
    EXPECT_GE(model().RowOf(pc), 0);
    model().SetWorkspace(&db_);
}

// The map's own keys, each from a current row: where the current row goes,
// how many rows there are after it, and that the row is in view.
TEST_F(GraphWindowTest, KeysMoveTheCurrentRowAndShowOrHideLinks) {
    struct KeyCase {
        const char* name;
        WPARAM key;
        int from;        // current row before
        bool collapsed;  // the top row's links hidden first
        int current;     // current row after
        int rows;
    };
    const int page = 20;  // the window's height in rows, checked below
    const KeyCase cases[] = {
        {"Page Down", VK_NEXT, 0, false, page, 41},
        {"Page Down near the end", VK_NEXT, 35, false, 40, 41},
        {"Page Up", VK_PRIOR, 30, false, 30 - page, 41},
        {"Page Up near the top", VK_PRIOR, page, false, 0, 41},
        {"Home", VK_HOME, 17, false, 0, 41},
        {"End", VK_END, 3, false, 40, 41},
        {"Left hides", VK_LEFT, 0, false, 0, 1},
        {"Right shows", VK_RIGHT, 0, true, 0, 41},
        {"Space selects", VK_SPACE, 4, false, 4, 41},
    };
    RootWithChildren(40);
    ASSERT_EQ(page, PageRows());
    for (const KeyCase& c : cases) {
        model().SetWorkspace(&db_);
        model().ShowLinks(0);
        if (c.collapsed) model().HideLinks(0);
        model().SetCurrentRow(c.from);
        Send(WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(c.current, model().current_row()) << c.name;
        EXPECT_EQ(c.rows, model().RowCount()) << c.name;
        int top = Position(SB_VERT);
        EXPECT_TRUE(top <= c.current && c.current < top + page) << c.name << ": not in view";
        EXPECT_EQ(c.key == VK_SPACE ? std::to_string(c.from) + " " : "", Selected()) << c.name;
    }
    // Space again takes the mark off.
    Send(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ("", Selected());
}

TEST_F(GraphWindowTest, CtrlClicksToggleRowsAndCtrlShiftDragDeselects) {
    RootWithChildren(8);
    Click(24 + kLabelX, RowMiddle(2), MK_CONTROL);
    Click(24 + kLabelX, RowMiddle(5), MK_CONTROL);
    EXPECT_EQ("2 5 ", Selected());
    Click(24 + kLabelX, RowMiddle(2), MK_CONTROL);
    EXPECT_EQ("5 ", Selected()) << "a second Ctrl-click takes the row out";

    // Select all, then drag with Ctrl and Shift from row 2 to row 4.
    for (int i = 0; i < model().RowCount(); ++i) model().SetSelected(i, true);
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_SHIFT, MAKELPARAM(24 + kLabelX, RowMiddle(2)));
    EXPECT_EQ(DragDeselect, graph_.drag_mode());
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(24 + kLabelX, RowMiddle(4)));
    EXPECT_EQ("0 1 5 6 7 8 ", Selected()) << "while the drag lasts";
    Send(WM_LBUTTONUP, 0, MAKELPARAM(24 + kLabelX, RowMiddle(4)));
    EXPECT_EQ("0 1 5 6 7 8 ", Selected());
    EXPECT_EQ(4, model().current_row());
    EXPECT_EQ(DragNone, graph_.drag_mode());
}

TEST_F(GraphWindowTest, HorizontalScrollingMovesByUnitsAndPagesWithinTheExtent) {
    NodeId a = RootWithChildren(2);
    NodeRef(db_, a).SetTitleText(std::string(200, 'W').c_str(), false);
    model().RefreshChanged();
    graph_.ScrollToRow(-1, 0);
    int unit = graph_.unit(), extent = graph_.Extent();
    RECT client;
    GetClientRect(graph_.window(), &client);
    int page = client.right / unit;
    ASSERT_GT(extent, 2 * page) << "a label wider than two windows";
    struct ScrollCase {
        int code, position, want;
    };
    const ScrollCase cases[] = {
        {SB_LINERIGHT, 0, 1},
        {SB_PAGERIGHT, 0, 1 + page},
        {SB_LINELEFT, 0, page},
        {SB_PAGELEFT, 0, 0},
        {SB_LINELEFT, 0, 0},
        {SB_THUMBPOSITION, 7, 7},
        {SB_RIGHT, 0, extent - page},
        {SB_LINERIGHT, 0, extent - page},
        {SB_LEFT, 0, 0},
    };
    for (const ScrollCase& c : cases) {
        Send(WM_HSCROLL, MAKEWPARAM(c.code, c.position), 0);
        EXPECT_EQ(c.want, Position(SB_HORZ)) << c.code;
    }
    // Scrolled right, the rows are drawn and hit further left.
    Send(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 2), 0);
    Render();
    int x0 = 24 + 3 - 2 * unit;
    EXPECT_TRUE(Ink(x0 + 4, rh_)) << "icon outline of row 1";
    Click(24 + kLabelX - 2 * unit, RowMiddle(1));
    EXPECT_EQ(1, model().current_row());
}

// With view flag 0x0400 a row can have its links shown and still not be
// fully shown (a linked page stays elsewhere); a second click on its icon
// hides what the first one showed.
TEST_F(GraphWindowTest, IconClicksHideLinksShownWhenLinkedPagesKeepTheirPlace) {
    Links("x.html>y.html w.html>y.html w.html>n.html");
    model().TogglePin(Page("x.html"));
    model().TogglePin(Page("w.html"));
    model().set_view_flags(DefaultViewFlags | ViewKeepLinkedPlace);
    model().ShowLinks(model().RowOf(Page("x.html")));
    int row = model().RowOf(Page("w.html"));
    ASSERT_EQ(3, model().RowCount());
    Click(kIconX, RowMiddle(row));
    EXPECT_EQ(4, model().RowCount()) << "n shown under w, y left under x";
    Click(kIconX, RowMiddle(row));
    EXPECT_EQ(3, model().RowCount()) << "the second click hides n again";
    EXPECT_EQ(-1, model().RowOf(Page("n.html")));
    Click(kIconX, RowMiddle(row));
    EXPECT_EQ(4, model().RowCount());
}

}  // namespace
