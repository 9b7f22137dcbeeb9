// The child window base on real windows: class registration shared by a
// class's windows, creation inside the frame, and every message decoded
// into its call, with a handler's answer deciding on default processing.
#include "display/subwin.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/topwin.h"

namespace {

WNDCLASSA* g_template = 0;
ATOM g_atom = 0;

// Records every call; answers `answer` from every handler.
class RecordingSubwin : public Subwin {
public:
    explicit RecordingSubwin(uintptr_t title)
        : Subwin(title, &g_template, &g_atom, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE) {}

    void PrepareClass(WNDCLASSA* wc) override {
        wc->lpszClassName = "recording-subwin";
        wc->style |= CS_DBLCLKS;
        ++prepared;
    }
    int Paint(HDC dc, BOOL, const RECT& r) override {
        return Note(dc ? "Paint" : "Paint without dc", r.right - r.left, r.bottom - r.top);
    }
    int LButtonDown(WPARAM k, int x, int y) override { return Note("LButtonDown", (int)k, x, y); }
    int LButtonUp(WPARAM k, int x, int y) override { return Note("LButtonUp", (int)k, x, y); }
    int MouseMove(WPARAM k, int x, int y) override { return Note("MouseMove", (int)k, x, y); }
    int LButtonDblClk(WPARAM k, int x, int y) override { return Note("LButtonDblClk", (int)k, x, y); }
    int Size(WPARAM kind, int w, int h) override { return Note("Size", (int)kind, w, h); }
    int EraseBackground(HDC) override { return Note("EraseBackground"); }
    int HScroll(int code, int pos) override { return Note("HScroll", code, pos); }
    int VScroll(int code, int pos) override { return Note("VScroll", code, pos); }
    int KeyDown(WPARAM key, bool was_down, LPARAM) override { return Note("KeyDown", (int)key, was_down); }
    int Timer(WPARAM id) override { return Note("Timer", (int)id); }
    int Close() override { return Note("Close"); }
    int Command(int id, HWND control, int code) override {
        return Note("Command", id, control == window() ? 1 : 0, code);
    }
    int SysCommand(WPARAM command, int x, int y) override { return Note("SysCommand", (int)command, x, y); }
    int InitMenuPopup(HMENU menu) override { return Note("InitMenuPopup", menu != 0); }

    std::vector<std::string> calls;
    int answer = 1;
    int prepared = 0;

private:
    int Note(const char* what, int a = 0, int b = 0, int c = 0) {
        char line[96];
        snprintf(line, sizeof line, "%s %d %d %d", what, a, b, c);
        calls.push_back(line);
        return answer;
    }
};

class SubwinTest : public ::testing::Test {
protected:
    // One shown frame for all the tests: showing a window takes Wine a
    // while, and a hidden frame's children are never painted.
    static void SetUpTestSuite() {
        host_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, 0, 0, 0, 0);
        ShowWindow(host_, SW_SHOW);
        frame_ = new Topwin(host_);
    }
    static void TearDownTestSuite() {
        delete frame_;
        DestroyWindow(host_);
    }
    void SetUp() override { ASSERT_TRUE(host_ != 0); }
    // A fresh class template, as a subclass keeps it before its first window.
    static void NewTemplate() {
        delete g_template;
        g_template = new WNDCLASSA();
    }

    static HWND host_;
    static Topwin* frame_;
};

HWND SubwinTest::host_ = 0;
Topwin* SubwinTest::frame_ = 0;

TEST_F(SubwinTest, TheFirstWindowRegistersTheClassForAll) {
    NewTemplate();
    RecordingSubwin first(IDS_VISITED_SITES_TITLE), second((uintptr_t) "Given title");
    HWND a = first.Create(10, 20, 110, 70, frame_);
    ASSERT_TRUE(a != 0);
    EXPECT_EQ(1, first.prepared);
    EXPECT_EQ(0, g_template) << "the template is freed once registered";
    ATOM atom = g_atom;
    EXPECT_NE(0, atom);
    HWND b = second.Create(0, 0, 50, 50, frame_);
    ASSERT_TRUE(b != 0);
    EXPECT_EQ(0, second.prepared);
    EXPECT_EQ(atom, (ATOM)GetClassWord(b, GCW_ATOM));

    char text[64];
    GetClassNameA(a, text, sizeof text);
    EXPECT_STREQ("recording-subwin", text);
    EXPECT_TRUE((GetClassLongA(a, GCL_STYLE) & (CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW)) ==
                (CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    GetWindowTextA(a, text, sizeof text);
    EXPECT_STREQ("Visited Net Sites", text) << "a title by resource number";
    GetWindowTextA(b, text, sizeof text);
    EXPECT_STREQ("Given title", text);
    EXPECT_EQ(host_, GetParent(a));
    EXPECT_EQ((LONG_PTR)&first, GetWindowLongPtrA(a, 0));
    EXPECT_TRUE(GetWindowLongA(a, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    RECT r;
    GetWindowRect(a, &r);
    MapWindowPoints(HWND_DESKTOP, host_, (POINT*)&r, 2);
    EXPECT_EQ(10, r.left);
    EXPECT_EQ(20, r.top);
    EXPECT_EQ(100, r.right - r.left);
    EXPECT_EQ(50, r.bottom - r.top);
}

// Creating a visible child sends it WM_SIZE and more before the object is
// bound; none of it reaches the object, and creation succeeds. A handler's
// answer of zero then suppresses default processing.
TEST_F(SubwinTest, EveryMessageIsDecodedIntoItsCall) {
    RecordingSubwin w((uintptr_t) "w");
    HWND h = w.Create(0, 0, 80, 40, frame_);
    ASSERT_TRUE(h != 0);
    EXPECT_TRUE(w.calls.empty());
    SetWindowPos(h, 0, 0, 0, 90, 40, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_FALSE(w.calls.empty());
    EXPECT_EQ(0u, w.calls.back().find("Size 0 "));
    w.answer = 0;  // handled: no default processing
    struct Case {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        const char* call;
    } cases[] = {
        {WM_LBUTTONDOWN, MK_SHIFT, MAKELPARAM(-5, -7), "LButtonDown 4 -5 -7"},
        {WM_LBUTTONUP, 0, MAKELPARAM(3, 4), "LButtonUp 0 3 4"},
        {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 2), "MouseMove 1 300 2"},
        {WM_LBUTTONDBLCLK, MK_CONTROL, MAKELPARAM(1, 1), "LButtonDblClk 8 1 1"},
        {WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFFE, 30), "Size 0 -2 30"},
        {WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0xFFFF), 0, "HScroll 4 -1 0"},
        {WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 1234), 0, "VScroll 5 1234 0"},
        {WM_KEYDOWN, VK_DOWN, 1 << 30, "KeyDown 40 1 0"},
        {WM_KEYDOWN, VK_UP, 1, "KeyDown 38 0 0"},
        {WM_TIMER, 7, 0, "Timer 7 0 0"},
        {WM_COMMAND, MAKEWPARAM(40001, 2), (LPARAM)h, "Command 40001 1 2"},
        {WM_SYSCOMMAND, SC_KEYMENU, MAKELPARAM(-1, 9), "SysCommand 61696 -1 9"},
        {WM_ERASEBKGND, 0, 0, "EraseBackground 0 0 0"},
    };
    for (const Case& c : cases) {
        w.calls.clear();
        EXPECT_EQ(0, SendMessageA(h, c.message, c.wparam, c.lparam)) << c.call;
        ASSERT_EQ(1u, w.calls.size()) << c.call;
        EXPECT_EQ(c.call, w.calls[0]);
    }
    HMENU menu = CreatePopupMenu();
    w.calls.clear();
    SendMessageA(h, WM_INITMENUPOPUP, (WPARAM)menu, 0);
    EXPECT_EQ("InitMenuPopup 1 0 0", w.calls.at(0));
    DestroyMenu(menu);

    w.calls.clear();
    InvalidateRect(h, 0, TRUE);
    UpdateWindow(h);
    ASSERT_FALSE(w.calls.empty());
    EXPECT_EQ(0u, w.calls.back().find("Paint ")) << w.calls.back();
    RECT client;
    GetClientRect(h, &client);
    char expected[64];
    snprintf(expected, sizeof expected, "Paint %ld %ld 0", client.right, client.bottom);
    EXPECT_EQ(expected, w.calls.back()) << "the whole client area was invalid";

    w.calls.clear();
    SendMessageA(h, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(h)) << "handled: not closed";
    w.answer = 1;
    SendMessageA(h, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(h)) << "passed on: the default closes the window";
    EXPECT_EQ(2u, w.calls.size());
}

}  // namespace
