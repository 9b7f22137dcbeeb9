// GraphWindow: creation, geometry, scrolling and the model's host calls.
// Drawing is in graph_paint_win32.cpp, mouse, keys and clipboard in
// graph_input_win32.cpp.
#include "display/graph_window.h"
#include "shell/topwin.h"

#include <stdlib.h>
#include <string.h>

#include "res/resource.h"

namespace {

// One class for every graph window; the first window registers it.
WNDCLASSA* g_graph_class = new WNDCLASSA();
ATOM g_graph_atom = 0;

const char kGraphTitle[] = "Graphwin";

}  // namespace

GraphWindow::GraphWindow()
    : Subwin((uintptr_t)kGraphTitle, &g_graph_class, &g_graph_atom, WS_CHILD | WS_VISIBLE, WS_EX_CLIENTEDGE),
      model_(*this),
      mark_(0),
      font_(0),
      unit_(8),
      row_height_(kMinRowHeight),
      busy_(0),
      drag_mode_(DragNone),
      timer_running_(false),
      scroll_direction_(0),
      drag_anchor_(-1),
      drag_extent_(-1) {}

GraphWindow::~GraphWindow() {
    if (mark_) DeleteObject(mark_);
    if (font_) DeleteObject(font_);
}

void GraphWindow::PrepareClass(WNDCLASSA* wc) {
    wc->lpszClassName = "lumvane-graph-window";
    wc->style = (wc->style & (CS_HREDRAW | CS_VREDRAW)) | CS_DBLCLKS;
}

const char* GraphWindow::TypeName() { return "GraphWindow"; }

HWND GraphWindow::Create(int left, int top, int right, int bottom, Topwin* parent) {
    HWND w = Subwin::Create(left, top, right, bottom, parent);
    if (!w) return 0;
    HINSTANCE instance = GetModuleHandleA(0);
    HDC dc = GetDC(w);
    icons_.Load(instance, IDB_PAGE_ICONS, 18, 16, dc);
    glyphs_.Load(instance, IDB_LINK_GLYPHS, 10, 12, dc);
    ReleaseDC(w, dc);
    mark_ = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_SELECTION_MARK));
    // A font set before the window existed could not be measured then.
    MeasureFont();
    UpdateScrollBars(false);
    return w;
}

int GraphWindow::ClientHeight() const {
    RECT r;
    GetClientRect(window_, &r);
    return r.bottom;
}

int GraphWindow::ClientWidth() const {
    RECT r;
    GetClientRect(window_, &r);
    return r.right;
}

int GraphWindow::RowRight(int row) { return RowLeft(row) + kLabelOffset + model_.TextWidth(row); }

int GraphWindow::Extent() {
    int widest = 0;
    for (int i = 0; i < model_.RowCount(); ++i) {
        int r = RowRight(i);
        if (r > widest) widest = r;
    }
    return (widest + unit_ + 2) / unit_;
}

int GraphWindow::RowAt(int y) const {
    if (y < 0) return -1;
    int row = y / row_height_ + VerticalPosition();
    return row < model_.RowCount() ? row : -1;
}

// ---------------------------------------------------------------------------
// Host calls of the model

int GraphWindow::MeasureLabel(const char* text) {
    if (!window_) return 0;
    HDC dc = GetDC(window_);
    HGDIOBJ old = font_ ? SelectObject(dc, font_) : 0;
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, text, (int)strlen(text), &size);
    if (old) SelectObject(dc, old);
    ReleaseDC(window_, dc);
    return size.cx;
}

// The frame owns the busy state and the status bar; a map without one
// shows the wait cursor itself and has nowhere to put texts.
void GraphWindow::BeginBusy() {
    if (parent_) {
        parent_->BeginBusy();
        return;
    }
    if (busy_++ == 0) SetCursor(LoadCursor(0, IDC_WAIT));
}

void GraphWindow::EndBusy() {
    if (parent_) {
        parent_->EndBusy();
        return;
    }
    if (busy_ > 0 && --busy_ == 0) SetCursor(LoadCursor(0, IDC_ARROW));
}

void GraphWindow::ShowStatusText(const char* text) {
    if (parent_) parent_->ShowStatusText(text);
}

void GraphWindow::Repaint() {
    if (window_) InvalidateRect(window_, 0, FALSE);
}

void GraphWindow::ToggleFocusMark() {
    int row = model_.current_row();
    if (!window_ || row < 0 || row >= model_.RowCount()) return;
    int ox = HorizontalPosition() * unit_, oy = VerticalPosition() * row_height_;
    RECT r = {RowLeft(row) - ox, row * row_height_ - oy, RowRight(row) + 3 - ox, (row + 1) * row_height_ - oy};
    HDC dc = GetDC(window_);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    DrawFocusRect(dc, &r);
    ReleaseDC(window_, dc);
}

// ---------------------------------------------------------------------------
// Scrolling

namespace {

void SetBar(HWND w, int bar, int total, int page, int position) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = total > 0 ? total - 1 : 0;
    si.nPage = (UINT)(page > 0 ? page : 0);
    si.nPos = position;
    SetScrollInfo(w, bar, &si, TRUE);
}

}  // namespace

// Both bars from the rows and the window's size; a position beyond what
// the bar now allows is brought back (and the window repainted).
void GraphWindow::UpdateScrollBars(bool repaint_if_moved) {
    if (!window_) return;
    bool moved = false;
    int totals[2] = {model_.RowCount(), Extent()};
    int pages[2] = {ClientHeight() / row_height_, ClientWidth() / unit_};
    int bars[2] = {SB_VERT, SB_HORZ};
    for (int i = 0; i < 2; ++i) {
        int position = GetScrollPos(window_, bars[i]);
        int highest = totals[i] - pages[i] > 0 ? totals[i] - pages[i] : 0;
        if (position > highest) {
            position = highest;
            moved = true;
        }
        SetBar(window_, bars[i], totals[i], pages[i], position);
    }
    if (moved && repaint_if_moved) Repaint();
}

int GraphWindow::Size(WPARAM kind, int, int) {
    if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED) UpdateScrollBars(true);
    return 1;
}

int GraphWindow::SetVerticalPosition(int position) {
    int count = model_.RowCount();
    int page = ClientHeight() / row_height_;
    if (position > count - page) position = count - page;
    if (position < 0) position = 0;
    SetBar(window_, SB_VERT, count, page, position);
    return position;
}

void GraphWindow::ScrollToRow(int anchor, int target) {
    if (!window_ || target < 0) return;
    if (anchor < 0) anchor = target;
    int page = ClientHeight() / row_height_;
    int old = VerticalPosition();
    int position = SetVerticalPosition(old <= anchor && anchor < old + page ? old + (target - anchor) : target - page / 2);

    // Keep the pointer on the target when it now lies elsewhere.
    HWND frame = GetAncestor(window_, GA_ROOT);
    if (frame && GetForegroundWindow() == frame && anchor - old + position != target) {
        POINT pointer;
        GetCursorPos(&pointer);
        POINT middle = {0, (target - position) * row_height_ + row_height_ / 2};
        ClientToScreen(window_, &middle);
        SetCursorPos(pointer.x, middle.y);
    }
    FinishScroll();
}

void GraphWindow::ScrollToShowChildren(int row) {
    if (!window_ || row < 0 || row >= model_.RowCount()) return;
    int last = model_.SubtreeEnd(row + 1, model_.Row(row).depth) - 1;
    int page = ClientHeight() / row_height_;
    int position = VerticalPosition();
    if (last >= position + page) position = last - page + 1;
    if (row < position) position = row;
    SetVerticalPosition(position);
    FinishScroll();
}

void GraphWindow::FinishScroll() {
    int extent = Extent();
    int hpage = ClientWidth() / unit_;
    int hposition = HorizontalPosition();
    if (hposition > extent - hpage + 1) hposition = extent - hpage + 1;
    if (hposition < 1) hposition = 0;
    SetBar(window_, SB_HORZ, extent, hpage, hposition);
    Repaint();
}

namespace {

int NewPosition(int code, int position, int old, int page, int total) {
    int p = old;
    switch (code) {
    case SB_LINEUP: p = old - 1; break;
    case SB_LINEDOWN: p = old + 1; break;
    case SB_PAGEUP: p = old - page; break;
    case SB_PAGEDOWN: p = old + page; break;
    case SB_THUMBPOSITION: case SB_THUMBTRACK: p = position & 0xFFFF; break;
    case SB_TOP: p = 0; break;
    case SB_BOTTOM: p = total - page; break;
    default: break;
    }
    if (p > total - page) p = total - page;
    if (p < 0) p = 0;
    return p;
}

}  // namespace

int GraphWindow::VScroll(int code, int position) {
    int page = ClientHeight() / row_height_;
    int old = VerticalPosition();
    int p = NewPosition(code, position, old, page, model_.RowCount());
    if (p != old) {
        if (abs(p - old) < page)
            ScrollWindow(window_, 0, (old - p) * row_height_, 0, 0);
        else
            Repaint();
        SetScrollPos(window_, SB_VERT, p, TRUE);
        UpdateWindow(window_);
    }
    return 0;
}

int GraphWindow::HScroll(int code, int position) {
    int page = ClientWidth() / unit_;
    int old = HorizontalPosition();
    int p = NewPosition(code, position, old, page, Extent());
    if (p != old) {
        if (abs(p - old) < page)
            ScrollWindow(window_, (old - p) * unit_, 0, 0, 0);
        else
            Repaint();
        SetScrollPos(window_, SB_HORZ, p, TRUE);
        UpdateWindow(window_);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Font

void GraphWindow::SetGraphFont(const LOGFONTA& font) {
    if (font_) DeleteObject(font_);
    font_ = CreateFontIndirectA(&font);
    MeasureFont();
    model_.RemeasureAll();
    ScrollToRow(-1, model_.current_row());
}

void GraphWindow::MeasureFont() {
    if (!window_ || !font_) return;
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICA tm;
    if (GetTextMetricsA(dc, &tm)) {
        row_height_ = tm.tmHeight + tm.tmExternalLeading;
        if (row_height_ < kMinRowHeight) row_height_ = kMinRowHeight;
        unit_ = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 1;
    }
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
}
