#include "tests/shell/modal_driver.h"

#include <gtest/gtest.h>

namespace {

ModalDriver* g_driver = 0;

BOOL CALLBACK FindActive(HWND window, LPARAM found) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0 && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

ModalDriver::ModalDriver(std::vector<Step> steps, DWORD timeout_ms)
    : steps_(steps), next_(0), in_step_(false), start_(GetTickCount()), timeout_(timeout_ms) {
    g_driver = this;
    timer_ = SetTimer(0, 0, 30, Tick);
}

ModalDriver::~ModalDriver() {
    KillTimer(0, timer_);
    if (g_driver == this) g_driver = 0;
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver) g_driver->RunStep();
}

void ModalDriver::RunStep() {
    if (in_step_ || finished()) return;
    if (GetTickCount() - start_ > timeout_) {
        ADD_FAILURE() << "step " << next_ << " of " << steps_.size() << " never came to pass";
        next_ = steps_.size();
        EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
        return;
    }
    in_step_ = true;
    if (steps_[next_]()) ++next_;
    in_step_ = false;
}

HWND ActiveDialog() {
    HWND found = 0;
    EnumThreadWindows(GetCurrentThreadId(), FindActive, (LPARAM)&found);
    return found;
}

std::string WindowText(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}
