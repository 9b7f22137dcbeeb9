// GraphWindow's drawing: the update rectangle is composed in a memory
// bitmap and copied to the screen in one blit, so nothing flickers.
#include "display/graph_text.h"
#include "display/graph_window.h"

#include <string.h>

int GraphWindow::EraseBackground(HDC) { return 0; }  // painting covers everything

namespace {

// Line from a to b, b itself left out.
void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, 0);
    LineTo(dc, x2, y2);
}

// A monochrome bitmap copied with its 0 bits in `fore` and 1 bits in `back`.
void CopyMark(HDC dc, HBITMAP mark, int x, int y, COLORREF back, COLORREF fore) {
    if (!mark) return;
    HDC mem = CreateCompatibleDC(dc);
    if (!mem) return;
    HGDIOBJ old = SelectObject(mem, mark);
    COLORREF old_back = SetBkColor(dc, back);
    COLORREF old_text = SetTextColor(dc, fore);
    BitBlt(dc, x, y, 7, 7, mem, 0, 0, SRCCOPY);
    SetBkColor(dc, old_back);
    SetTextColor(dc, old_text);
    SelectObject(mem, old);
    DeleteDC(mem);
}

}  // namespace

bool GraphWindow::IsSelected(int row) const {
    if ((drag_mode_ == DragSelect || drag_mode_ == DragDeselect) && drag_anchor_ >= 0 && drag_extent_ >= 0) {
        int low = drag_anchor_ < drag_extent_ ? drag_anchor_ : drag_extent_;
        int high = drag_anchor_ < drag_extent_ ? drag_extent_ : drag_anchor_;
        if (row >= low && row <= high) return drag_mode_ == DragSelect;
    }
    return model_.Row(row).selected();
}

int GraphWindow::Paint(HDC screen, BOOL, const RECT& update) {
    int width = update.right - update.left, height = update.bottom - update.top;
    if (width <= 0 || height <= 0) return 1;
    int ox = HorizontalPosition() * unit_, oy = VerticalPosition() * row_height_;
    HDC mem = CreateCompatibleDC(screen);
    if (!mem) return 1;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = mem;
    HGDIOBJ old_bitmap = 0;
    if (bitmap)
        old_bitmap = SelectObject(mem, bitmap);
    else
        dc = screen;  // no memory for the off-screen copy: straight to the window
    int saved = SaveDC(dc);
    // The memory bitmap's (0, 0) is the update rectangle's top left.
    if (dc == mem) SetViewportOrgEx(dc, -update.left, -update.top, 0);

    int count = model_.RowCount();
    int first = (update.top + oy) / row_height_;
    if (first > count - 1) first = count > 0 ? count - 1 : 0;
    int end = (update.bottom + oy + row_height_ - 1) / row_height_ + 1;
    if (end > count) end = count;

    if (font_) SelectObject(dc, font_);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    HPEN pen = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_WINDOWTEXT));
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOWTEXT));
    SelectObject(dc, pen);
    SelectObject(dc, brush);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &update, "", 0, 0);

    for (int i = first; i < end; ++i) DrawRow(dc, i, ox, oy);
    if (count > 0) DrawTreeLines(dc, 0, count, ox, oy);

    RestoreDC(dc, saved);
    DeleteObject(pen);
    DeleteObject(brush);
    if (dc == mem) {
        BitBlt(screen, update.left, update.top, width, height, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old_bitmap);
        DeleteObject(bitmap);
    }
    DeleteDC(mem);

    int row = model_.current_row();
    if (row >= 0 && row < count) {
        RECT focus = {RowLeft(row) - ox, row * row_height_ - oy, RowRight(row) + 3 - ox, (row + 1) * row_height_ - oy};
        SetBkColor(screen, GetSysColor(COLOR_WINDOW));
        DrawFocusRect(screen, &focus);
    }
    return 1;
}

void GraphWindow::DrawRow(HDC dc, int i, int ox, int oy) {
    const Graph_row& row = model_.Row(i);
    AWorkspace& w = *model_.workspace();
    int left = RowLeft(i) - ox;
    int x0 = left + kIconOffset;
    int top = i * row_height_ - oy;
    bool open = row.node() == model_.open_page();
    if (open) {
        RECT highlight = {left, top, RowRight(i) + 3 - ox, top + row_height_};
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
        FillRect(dc, &highlight, brush);
        FrameRect(dc, &highlight, brush);
        DeleteObject(brush);
    }
    if (x0 + 18 > 0) icons_.Draw(dc, PageIconCell(w, row.node(), row.expanded()), x0, top);
    if (IsSelected(i) && x0 + 26 > 0)
        CopyMark(dc, mark_, x0 + 19, top + 5, GetSysColor(open ? COLOR_HIGHLIGHT : COLOR_WINDOW),
                 GetSysColor(open ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    NodeRef page = row.page;
    const char* label = page.DisplayTitle();
    COLORREF old_text = SetTextColor(dc, GetSysColor(open ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    TextOutA(dc, x0 + 30, top, label, (int)strlen(label));
    SetTextColor(dc, old_text);
    if (x0 > 0) DrawConnector(dc, x0, top, (LinkKind)(model_.view_flags() & row.kind()));
}

// The connector left of the icon says by which kind of link the row hangs
// under the one above: solid for a normal link, a magnifying glass for a
// search, dots for anything else; an arrow head for a redirection and a
// tick for an inline image come on top.
void GraphWindow::DrawConnector(HDC dc, int x0, int top, LinkKind k) {
    int y = top + 8;
    if (k & LinkAnchor) {
        Line(dc, x0 - 14, y, x0 - 3, y);
    } else if (k & LinkQuery) {
        glyphs_.Draw(dc, 1, x0 - glyphs_.cell_width() / 2 - 8, top - glyphs_.cell_height() / 2 + 8);
    } else {
        for (int x = x0 - 13; x < x0 - 3; x += 4) Line(dc, x, y, x + 2, y);
    }
    if (k & LinkRedirect) {
        Line(dc, x0 - 7, y + 2, x0 - 5, y);
        Line(dc, x0 - 7, y - 2, x0 - 5, y);
    }
    if (k & LinkInclude) Line(dc, x0 - 8, y - 3, x0 - 8, y);
}

// One vertical line per group of siblings, from the top of the first to
// just below the middle of the last; gives the index after the group.
int GraphWindow::DrawTreeLines(HDC dc, int from, int to, int ox, int oy) {
    int d = model_.Row(from).depth;
    int last = from;
    int i = from;
    while (i < to) {
        int depth = model_.Row(i).depth;
        if (depth < d) break;
        if (depth == d) {
            last = i;
            ++i;
        } else {
            i = DrawTreeLines(dc, i, to, ox, oy);
        }
    }
    bool above = last * row_height_ + 9 < oy;
    bool far_below = (long long)from * row_height_ > (long long)oy + 32767;
    if (!above && !far_below) {
        int x = d * kIndent - 12 - ox;
        Line(dc, x, from * row_height_ - oy, x, last * row_height_ - oy + 9);
    }
    return i;
}

void GraphWindow::DrawSelectionMark(int row) {
    if (!window_ || row < 0 || row >= model_.RowCount()) return;
    int ox = HorizontalPosition() * unit_, oy = VerticalPosition() * row_height_;
    bool open = model_.Row(row).node() == model_.open_page();
    COLORREF back = GetSysColor(open ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    COLORREF fore = IsSelected(row) ? GetSysColor(open ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT) : back;
    HDC dc = GetDC(window_);
    CopyMark(dc, mark_, RowLeft(row) - ox + 22, row * row_height_ - oy + 5, back, fore);
    ReleaseDC(window_, dc);
}
