#include "tests/support/dialog_user_win32.h"

#include <string.h>

namespace {

// The id of a message box's text.
const int kBoxTextId = 0xFFFF;

bool IsMessageBox(HWND window) { return GetDlgItem(window, kBoxTextId) != 0; }

struct Search {
    const char* caption;
    const std::set<HWND>* answered;
    HWND found;
};

BOOL CALLBACK FindTakingInput(HWND window, LPARAM data) {
    Search* s = (Search*)data;
    char name[16] = "", caption[256] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, caption, sizeof caption);
    if (strcmp(name, "#32770") != 0 || (s->caption && strcmp(caption, s->caption) != 0)) return TRUE;
    if (!IsWindowVisible(window) || !IsWindowEnabled(window) || s->answered->count(window)) return TRUE;
    // A message box can show before its text is in place.
    if (IsMessageBox(window) && BoxText(window).empty()) return TRUE;
    s->found = window;
    return FALSE;
}

BOOL CALLBACK CancelDialogue(HWND window, LPARAM) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0 && IsWindowVisible(window)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// Sent, so that what it does is over when this returns, unless it opens a
// window: that goes on without us.
void Deliver(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, 500, &ignored);
}

BOOL CALLBACK CountDialogues(HWND window, LPARAM count) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (strcmp(name, "#32770") == 0 && IsWindowVisible(window)) ++*(int*)count;
    return TRUE;
}

}  // namespace

DialogUser::DialogUser(std::vector<UserStep> steps, DWORD step_timeout_ms)
    : steps_(steps), step_timeout_ms_(step_timeout_ms), thread_id_(GetCurrentThreadId()) {
    player_ = std::thread([this] { Play(); });
}

DialogUser::~DialogUser() { Finish(); }

std::string DialogUser::Finish() {
    if (player_.joinable()) player_.join();
    return failure_;
}

HWND DialogUser::WaitForWindow(const char* caption, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    do {
        Search s = {caption, &answered_boxes_, 0};
        EnumThreadWindows(thread_id_, FindTakingInput, (LPARAM)&s);
        if (s.found) return s.found;
        Sleep(20);
    } while (GetTickCount() - start < timeout_ms);
    return 0;
}

void DialogUser::Play() {
    for (size_t i = 0; i < steps_.size(); ++i) {
        DWORD start = GetTickCount();
        bool done = false;
        for (DWORD passed = 0; !done && passed < step_timeout_ms_; passed = GetTickCount() - start) {
            HWND window = WaitForWindow(steps_[i].caption, step_timeout_ms_ - passed);
            if (!window) break;
            done = steps_[i].act(window);
            if (done && IsMessageBox(window)) answered_boxes_.insert(window);
            if (!done) Sleep(20);
        }
        if (!done) {
            const char* caption = steps_[i].caption ? steps_[i].caption : "any dialogue";
            failure_ = "step " + std::to_string(i + 1) + " of " + std::to_string(steps_.size()) + " (\"" + caption +
                       "\") never came to pass";
            CancelEverything();
            return;
        }
    }
}

// Cancels dialogue after dialogue (each ends the one over it) until none
// is left or it is plain that they will not go.
void DialogUser::CancelEverything() {
    for (int tries = 0; tries < 100; ++tries) {
        int count = 0;
        EnumThreadWindows(thread_id_, CountDialogues, (LPARAM)&count);
        if (count == 0) return;
        EnumThreadWindows(thread_id_, CancelDialogue, 0);
        Sleep(100);
    }
}

void Click(HWND dialog, int id) { Deliver(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void Type(HWND dialog, int id, const char* text) { SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, (LPARAM)text); }

std::string Text(HWND dialog, int id) {
    char text[2048] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

bool Checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool ClickItem(HWND dialog, int list, const char* text, bool twice) {
    HWND box = GetDlgItem(dialog, list);
    LRESULT index = SendMessageA(box, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (index == LB_ERR) return false;
    RECT item;
    if (SendMessageA(box, LB_GETITEMRECT, (WPARAM)index, (LPARAM)&item) == LB_ERR) return false;
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    Deliver(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Deliver(box, WM_LBUTTONUP, 0, at);
    if (twice) {
        Deliver(box, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        Deliver(box, WM_LBUTTONUP, 0, at);
    }
    return true;
}

std::string BoxText(HWND box) { return Text(box, kBoxTextId); }

void Answer(HWND box, int button) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
}
