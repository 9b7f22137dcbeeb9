#include "shell/dialog.h"

#include <string.h>

Dialog::Dialog(int resource_id)
    : unusable_(0), template_((uintptr_t)(resource_id & 0xFFFF)), modeless_(0), owner_(0), running_(0) {}

Dialog::Dialog(const char* template_name) : unusable_(1), template_(0), modeless_(0), owner_(0), running_(0) {
    size_t n = strlen(template_name) + 1;
    char* copy = new char[n];
    memcpy(copy, template_name, n);
    template_ = (uintptr_t)copy;
    unusable_ = 0;
}

Dialog::~Dialog() {
    CloseModeless();
    if (template_ >= 0x10000) delete[](char*) template_;
}

void Dialog::CloseModeless() {
    if (!modeless_) return;
    if (owner_) EnableWindow(owner_, TRUE);
    // The window must not reach this object while it goes.
    SetWindowLongPtrA(modeless_, DWLP_USER, 0);
    DestroyWindow(modeless_);
    modeless_ = 0;
    owner_ = 0;
    running_ = 0;
}

INT_PTR Dialog::Ok(HWND dialog, LPARAM) {
    if (modeless_) return 0;
    EndDialog(dialog, IDOK);
    return 1;
}

INT_PTR Dialog::Cancel(HWND dialog, LPARAM) {
    if (modeless_) return 0;
    EndDialog(dialog, IDCANCEL);
    return 1;
}

INT_PTR Dialog::OtherCommand(HWND, int, int, LPARAM) { return 0; }

INT_PTR Dialog::Close(HWND, WPARAM, LPARAM) {
    if (!modeless_) return 0;
    CloseModeless();
    return 1;
}

INT_PTR Dialog::Initialise(HWND, WPARAM, LPARAM) { return 1; }
INT_PTR Dialog::OtherMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }

INT_PTR Dialog::RunModal(HINSTANCE instance, HWND parent) {
    if (unusable_) return -1;
    running_ = 1;
    INT_PTR result = DialogBoxParamA(instance, (LPCSTR)template_, parent, DialogProc, (LPARAM)this);
    running_ = 0;
    return result;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        Dialog* self = (Dialog*)lparam;
        return self ? self->Initialise(dialog, wparam, lparam) : 1;
    }
    Dialog* self = (Dialog*)GetWindowLongPtrA(dialog, DWLP_USER);
    if (!self) return 0;
    switch (message) {
    case WM_CLOSE: return self->Close(dialog, wparam, lparam);
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) return self->Ok(dialog, lparam);
        if (LOWORD(wparam) == IDCANCEL) return self->Cancel(dialog, lparam);
        return self->OtherCommand(dialog, LOWORD(wparam), HIWORD(wparam), lparam);
    default: return self->OtherMessage(dialog, message, wparam, lparam);
    }
}
