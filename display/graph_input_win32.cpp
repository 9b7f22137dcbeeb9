// GraphWindow's side of the user: clicks on icons and labels, selection by
// mouse and keys, dragging with automatic scrolling, and addresses copied
// to and pasted from the clipboard.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "display/graph_text.h"
#include "display/graph_window.h"
#include "observe/url.h"
#include "store/node_ref.h"

void GraphWindow::ClearSelection() {
    bool any = false;
    for (int i = 0; i < model_.RowCount(); ++i) {
        any |= model_.Row(i).selected();
        model_.SetSelected(i, false);
    }
    if (any) Repaint();
}

// Redraws the selection marks of the rows from `from` to `to`, either order.
void GraphWindow::MarkRange(int from, int to) {
    if (from > to) {
        int t = from;
        from = to;
        to = t;
    }
    for (int i = from; i <= to; ++i) DrawSelectionMark(i);
}

int GraphWindow::LButtonDown(WPARAM keys, int x, int y) {
    bool shift = (keys & MK_SHIFT) != 0, ctrl = (keys & MK_CONTROL) != 0;
    int row = RowAt(y);
    int dx = x + HorizontalPosition() * unit_;
    bool beside = row >= 0 && (dx < RowLeft(row) || dx > RowRight(row) + 3);
    if (row < 0 || (beside && !shift && !ctrl)) {
        ClearSelection();
        return 0;
    }
    int before = model_.current_row();
    drag_anchor_ = drag_extent_ = row;
    model_.SetCurrentRow(row);
    bool on_icon = dx < RowLeft(row) + kIconOffset + 18;
    if (!shift && !ctrl) {
        if (on_icon) {
            if (model_.NothingMoreToShow(row)) {
                model_.HideLinks(row);
                if (model_.view_flags() & ViewReattachOpen) model_.ReattachOpenChildren();
            } else {
                model_.ShowLinks(row);
            }
            ScrollToRow(row, model_.current_row());
            return 0;
        }
        drag_mode_ = DragTrack;
        if (model_.RowCount() > 0) ClearSelection();
    } else if (shift && ctrl) {
        drag_mode_ = DragDeselect;
    } else if (shift) {
        drag_mode_ = DragSelect;
    } else {
        drag_mode_ = DragTrack;
        model_.SetSelected(row, !model_.Row(row).selected());
    }
    SetCapture(window_);
    DrawSelectionMark(before);
    DrawSelectionMark(drag_extent_);
    return 0;
}

int GraphWindow::MouseMove(WPARAM, int, int y) {
    if (drag_mode_ == DragNone) return 1;
    int height = ClientHeight();
    if (y >= 0 && y < height) {
        StopTimer();
        int row = y / row_height_ + VerticalPosition();
        if (row > model_.RowCount() - 1) row = model_.RowCount() - 1;
        if (row < 0) return 0;
        int old_extent = drag_extent_;
        drag_extent_ = row;
        model_.SetCurrentRow(row);
        if (drag_mode_ != DragTrack) MarkRange(old_extent, row);
        return 0;
    }
    if (!timer_running_) {
        scroll_direction_ = y >= height ? 1 : -1;
        AutoScrollStep();
        SetTimer(window_, kAutoScrollTimer, kAutoScrollPeriod, 0);
        timer_running_ = true;
    }
    return 0;
}

void GraphWindow::AutoScrollStep() {
    int p = VerticalPosition();
    int target = scroll_direction_ > 0 ? p + ClientHeight() / row_height_ : p - 1;
    if (target < 0 || target >= model_.RowCount()) return;
    SetScrollPos(window_, SB_VERT, p + scroll_direction_, TRUE);
    ScrollWindow(window_, 0, -row_height_ * scroll_direction_, 0, 0);
    UpdateWindow(window_);
    model_.SetCurrentRow(target);
    int old_extent = drag_extent_;
    drag_extent_ = target;
    if (drag_mode_ == DragSelect || drag_mode_ == DragDeselect) MarkRange(old_extent, target);
}

void GraphWindow::StopTimer() {
    if (!timer_running_) return;
    KillTimer(window_, kAutoScrollTimer);
    timer_running_ = false;
}

int GraphWindow::Timer(WPARAM id) {
    if (id != kAutoScrollTimer) return 1;
    AutoScrollStep();
    return 0;
}

int GraphWindow::LButtonUp(WPARAM, int x, int y) {
    if (drag_mode_ == DragNone) return 1;
    StopTimer();
    ReleaseCapture();
    RECT client;
    GetClientRect(window_, &client);
    POINT point = {x, y};
    int row = RowAt(y);
    if (PtInRect(&client, point) && row >= 0) model_.SetCurrentRow(row);
    if (drag_mode_ == DragSelect || drag_mode_ == DragDeselect) {
        int low = drag_anchor_ < drag_extent_ ? drag_anchor_ : drag_extent_;
        int high = drag_anchor_ < drag_extent_ ? drag_extent_ : drag_anchor_;
        for (int i = low; i <= high; ++i) model_.SetSelected(i, drag_mode_ == DragSelect);
    }
    drag_mode_ = DragNone;
    return 0;
}

int GraphWindow::LButtonDblClk(WPARAM keys, int x, int y) {
    if (keys & (MK_SHIFT | MK_CONTROL)) return LButtonDown(keys, x, y);
    int row = RowAt(y);
    if (row < 0) return 0;
    int dx = x + HorizontalPosition() * unit_;
    if (dx < RowLeft(row) || dx > RowRight(row) + 3) return 0;
    model_.SetCurrentRow(row);
    OpenPage(model_.workspace(), model_.Row(row).node());
    return 0;
}

int GraphWindow::KeyDown(WPARAM key, bool, LPARAM) {
    int count = model_.RowCount();
    int cur = model_.current_row();
    int page = ClientHeight() / row_height_;
    int target;
    bool moves = true;
    switch (key) {
    case VK_SPACE:
        if (cur >= 0) {
            model_.SetSelected(cur, !model_.Row(cur).selected());
            DrawSelectionMark(cur);
        }
        return 0;
    case VK_PRIOR: target = cur - page < 1 ? 0 : cur - page; break;
    case VK_NEXT: target = cur + page < count - 1 ? cur + page : count - 1; break;
    case VK_END: target = count - 1; break;
    case VK_HOME: target = 0; break;
    case VK_LEFT:
        model_.HideLinks(cur);
        target = model_.current_row();
        moves = false;
        break;
    case VK_UP: target = cur - 1 < 1 ? 0 : cur - 1; break;
    case VK_RIGHT:
        model_.ShowLinks(cur);
        target = model_.current_row();
        moves = false;
        break;
    case VK_DOWN: target = cur + 1 < count - 1 ? cur + 1 : count - 1; break;
    default: return 1;
    }
    if (target >= count) target = count - 1;
    if (moves) model_.SetCurrentRow(target);
    if (target >= 0) {
        if (GetKeyState(VK_SHIFT) & 0x8000) {
            int low = cur < target ? cur : target, high = cur < target ? target : cur;
            if (low < 0) low = 0;
            for (int i = low; i <= high; ++i) model_.SetSelected(i, true);
            Repaint();
        }
        ScrollToRow(-1, target);
    }
    return 0;
}

int GraphWindow::Command(int id, HWND, int) {
    switch (id) {
    case kCommandPinDown: {
        // The selected rows from the last to the first, else the current page.
        std::vector<NodeId> pages;
        for (int i = model_.RowCount() - 1; i >= 0; --i)
            if (model_.Row(i).selected()) pages.push_back(model_.Row(i).node());
        if (pages.empty() && model_.current_page()) pages.push_back(model_.current_page());
        for (NodeId page : pages) model_.TogglePin(page);
        return 0;
    }
    case kCommandCopyAddress: CopyAddresses(); return 0;
    case kCommandPasteAddress: PasteAddresses(); return 0;
    default: return 1;
    }
}

// ---------------------------------------------------------------------------
// Clipboard

void GraphWindow::CopyAddresses() {
    std::vector<bool> selected((size_t)model_.RowCount());
    for (int i = 0; i < model_.RowCount(); ++i) selected[(size_t)i] = IsSelected(i);
    std::string text = CopiedAddresses(model_, selected);
    bool open = OpenClipboard(window_) != 0;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
    if (block) {
        char* p = (char*)GlobalLock(block);
        memcpy(p, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        EmptyClipboard();
        if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    }
    if (open) CloseClipboard();
}

void GraphWindow::PasteAddresses() {
    AWorkspace* w = model_.workspace();
    if (!w || !OpenClipboard(window_)) return;
    // Read no more than the paste buffer holds (and one byte to tell
    // whether the text went on).
    char buffer[kPasteLimit + 2];
    buffer[0] = 0;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (data) {
        const char* p = (const char*)GlobalLock(data);
        if (p) {
            size_t size = GlobalSize(data);
            size_t n = 0;
            while (n < sizeof buffer - 1 && n < size && p[n] != 0) {
                buffer[n] = p[n];
                ++n;
            }
            buffer[n] = 0;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    for (const std::string& address : PastedAddresses(buffer)) {
        UrlBuffer canonical;
        CanonicalUrl(address.c_str(), &canonical);
        NodeId page = w->FindNode(canonical.text, true);
        if (!page) continue;
        NodeRef(*w, page).FileUnderHost();
        model_.EnsureShown(page);
        model_.MakeCurrent(page);
    }
    ScrollToRow(-1, model_.current_row());
}
