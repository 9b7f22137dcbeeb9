// Finding and driving another process's windows from outside, as a user
// would: by class and caption, through the messages the system carries
// between processes (WM_GETTEXT, BM_CLICK, WM_COMMAND, WM_CLOSE). Used by
// the uiprobe command and linked into the system tests.
#ifndef SKEIND_TOOLS_PROBE_H
#define SKEIND_TOOLS_PROBE_H

#include <windows.h>

#include <string>
#include <vector>

struct ProbeButton {
    int id;
    std::string text;  // as shown, "&" marks included
};

struct ProbeMessageBox {
    HWND window;
    std::string caption;
    std::string text;
    std::vector<ProbeButton> buttons;
};

// A top-level window of the given class and/or caption (null = any),
// owned by process `pid` (0 = any). Waits up to timeout_ms; null if none.
HWND ProbeWaitForWindow(const char* class_name, const char* caption, DWORD pid, int timeout_ms);

// The text of any window, read with WM_GETTEXT (works across processes).
std::string ProbeWindowText(HWND window);
std::string ProbeClassName(HWND window);

// Waits for a message box (a dialog of class "#32770") of process `pid`
// and reads its caption, message text and buttons.
bool ProbeWaitForMessageBox(DWORD pid, int timeout_ms, ProbeMessageBox* box);
bool ProbeReadMessageBox(HWND window, ProbeMessageBox* box);

// Presses the button whose text, without "&", equals `text`
// (case-insensitive). False when there is no such button.
bool ProbePressButton(const ProbeMessageBox& box, const char* text);

// Sends WM_COMMAND with `id` as a menu command would.
bool ProbeSendCommand(HWND window, int id);
// Asks a window to close, as its close box would.
bool ProbeCloseWindow(HWND window);
// The text of the first status bar ("msctls_statusbar32") under `top`.
std::string ProbeStatusText(HWND top);

#endif
