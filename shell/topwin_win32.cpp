#include "shell/topwin.h"

#include <commctrl.h>
#include <string.h>

Topwin::Topwin()
    : frame_(0), status_bar_(0), normal_cursor_(0), busy_cursor_(0), busy_count_(0), child_(0), text_waiting_(false) {
    memset(&font_, 0, sizeof font_);
}

Topwin::Topwin(HWND frame) : Topwin() { frame_ = frame; }

Topwin::~Topwin() {}

void Topwin::PrepareFrameClass(WNDCLASSA* wc) {
    wc->lpfnWndProc = FrameProc;
    // The object pointer: as wide as a pointer, so 8 bytes on 64-bit.
    wc->cbWndExtra = sizeof(Topwin*);
}

void Topwin::BindFrame(HWND frame) {
    frame_ = frame;
    SetWindowLongPtrA(frame, 0, (LONG_PTR)this);
    SetHelpOwner(frame);
}

LRESULT CALLBACK Topwin::FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Topwin* self = (Topwin*)GetWindowLongPtrA(hwnd, 0);
    if (self == 0 || self->frame_ != hwnd) return DefWindowProcA(hwnd, message, wparam, lparam);
    return self->FrameMessage(message, wparam, lparam);
}

LRESULT Topwin::FrameMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(frame_, message, wparam, lparam);
}

bool Topwin::CreateStatusBar(const char* text) {
    status_bar_ = CreateWindowExA(0, STATUSCLASSNAMEA, text, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                  frame_, (HMENU)(INT_PTR)kStatusBarId, (HINSTANCE)GetWindowLongPtrA(frame_, GWLP_HINSTANCE), 0);
    if (status_bar_ == 0) return false;
    bar_.reset(new StatusBar(status_bar_, &flags_));
    bar_->set_frame(frame_);
    flags_ |= kStatusShown;
    return true;
}

void Topwin::ToggleStatusBar() {
    if (status_bar_ == 0) return;
    flags_ ^= kStatusShown;
    if (flags_ & kStatusShown) {
        ShowWindow(status_bar_, SW_SHOW);
        SendMessageA(status_bar_, WM_SIZE, 0, 0);
        if (text_waiting_) bar_->ShowSimpleText(waiting_text_.c_str());
        text_waiting_ = false;
    } else {
        ShowWindow(status_bar_, SW_HIDE);
    }
    if (child_) {
        RECT area;
        ChildArea(&area);
        MoveWindow(child_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
}

void Topwin::ChildArea(RECT* area) const {
    GetClientRect(frame_, area);
    if (status_bar_ && (flags_ & kStatusShown)) {
        RECT bar;
        GetWindowRect(status_bar_, &bar);
        area->bottom -= bar.bottom - bar.top;
        if (area->bottom < area->top) area->bottom = area->top;
    }
}

void Topwin::LayOut(WPARAM kind, LPARAM size) {
    if (status_bar_ && (flags_ & kStatusShown)) SendMessageA(status_bar_, WM_SIZE, kind, size);
    if (child_) {
        RECT area;
        ChildArea(&area);
        MoveWindow(child_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
}

bool Topwin::DrawStatusItem(const DRAWITEMSTRUCT* item) {
    if (item == 0 || item->hwndItem != status_bar_) return false;
    StatusBar::DrawProgressPart(item->hDC, item->rcItem, item->itemData);
    return true;
}

int Topwin::Progress(uint32_t done, uint32_t total, const char* text) {
    if (!bar_) return 0;
    // Progress reaches the bar even while it is hidden, and is newer.
    text_waiting_ = false;
    return bar_->Progress(done, total, text) ? 1 : 0;
}

void Topwin::ShowStatusText(const char* text) {
    if (!bar_) return;
    if (flags_ & kStatusShown) {
        bar_->ShowSimpleText(text);
        return;
    }
    waiting_text_ = text ? text : "";
    text_waiting_ = true;
}

void Topwin::EnterSimpleMode(const char* text) {
    if (bar_) bar_->ShowSimpleText(text);
}

void Topwin::BeginBusy() {
    if (busy_count_++ != 0) return;
    if (child_ && busy_cursor_) SetClassLongPtrA(child_, GCLP_HCURSOR, (LONG_PTR)busy_cursor_);
    if (busy_cursor_) SetCursor(busy_cursor_);
    if (frame_) EnableWindow(frame_, FALSE);
}

void Topwin::EndBusy() {
    if (busy_count_ == 0 || --busy_count_ != 0) return;
    if (child_ && normal_cursor_) SetClassLongPtrA(child_, GCLP_HCURSOR, (LONG_PTR)normal_cursor_);
    if (normal_cursor_) SetCursor(normal_cursor_);
    if (frame_) EnableWindow(frame_, TRUE);
}
