#include "tools/uiprobe/probe.h"

#include <commctrl.h>

#include <string.h>

namespace {

struct Search {
    const char* class_name;
    const char* caption;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    Search* s = (Search*)param;
    if (s->pid) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->pid) return TRUE;
    }
    if (s->class_name && _stricmp(ProbeClassName(window).c_str(), s->class_name) != 0) return TRUE;
    if (s->caption && ProbeWindowText(window) != s->caption) return TRUE;
    s->found = window;
    return FALSE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    ProbeMessageBox* box = (ProbeMessageBox*)param;
    std::string cls = ProbeClassName(child);
    int id = GetDlgCtrlID(child);
    if (_stricmp(cls.c_str(), "Button") == 0) {
        if (IsWindowVisible(child)) box->buttons.push_back(ProbeButton{id, ProbeWindowText(child)});
    } else if (_stricmp(cls.c_str(), "Static") == 0) {
        std::string text = ProbeWindowText(child);
        // The icon is a static too, without text; the message is the rest.
        if (!text.empty()) box->text = text;
    }
    return TRUE;
}

std::string WithoutMnemonic(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

}  // namespace

std::string ProbeWindowText(HWND window) {
    char buf[4096];
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, &got))
        return std::string();
    buf[sizeof buf - 1] = 0;
    return std::string(buf, strnlen(buf, got < sizeof buf ? got : sizeof buf - 1));
}

std::string ProbeClassName(HWND window) {
    char buf[256];
    int n = GetClassNameA(window, buf, sizeof buf);
    return std::string(buf, n > 0 ? (size_t)n : 0);
}

HWND ProbeWaitForWindow(const char* class_name, const char* caption, DWORD pid, int timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        Search s = {class_name, caption, pid, NULL};
        EnumWindows(MatchTopLevel, (LPARAM)&s);
        if (s.found) return s.found;
        if ((int)(GetTickCount() - start) >= timeout_ms) return NULL;
        Sleep(50);
    }
}

bool ProbeReadMessageBox(HWND window, ProbeMessageBox* box) {
    box->window = window;
    box->caption = ProbeWindowText(window);
    box->text.clear();
    box->buttons.clear();
    EnumChildWindows(window, CollectChild, (LPARAM)box);
    return !box->buttons.empty();
}

bool ProbeWaitForMessageBox(DWORD pid, int timeout_ms, ProbeMessageBox* box) {
    DWORD start = GetTickCount();
    for (;;) {
        int left = timeout_ms - (int)(GetTickCount() - start);
        HWND w = ProbeWaitForWindow("#32770", NULL, pid, left > 0 ? left : 0);
        if (!w) return false;
        // The buttons may appear a moment after the frame.
        if (ProbeReadMessageBox(w, box) && !box->text.empty()) return true;
        if ((int)(GetTickCount() - start) >= timeout_ms) return false;
        Sleep(50);
    }
}

bool ProbePressButton(const ProbeMessageBox& box, const char* text) {
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        if (_stricmp(WithoutMnemonic(box.buttons[i].text).c_str(), text) == 0) {
            // WM_COMMAND from the button, as a click delivers it.
            HWND button = GetDlgItem(box.window, box.buttons[i].id);
            return PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(box.buttons[i].id, BN_CLICKED),
                                (LPARAM)button) != 0;
        }
    }
    return false;
}

bool ProbeSendCommand(HWND window, int id) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

bool ProbeCloseWindow(HWND window) { return PostMessageA(window, WM_CLOSE, 0, 0) != 0; }

// A status bar's part text is asked for with a pointer that the bar
// writes through, in its own process: the buffer is made there and read
// back. WM_GETTEXT would give only the first part of the split bar, not
// the text of simple mode.
static std::string RemoteStatusPart(HWND bar, int part) {
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return std::string();
    const SIZE_T size = 4096;
    std::string text;
    void* remote = VirtualAllocEx(process, NULL, size, MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        DWORD_PTR length = 0;
        if (SendMessageTimeoutA(bar, SB_GETTEXTLENGTHA, part, 0, SMTO_ABORTIFHUNG, 5000, &length) &&
            LOWORD(length) < size &&
            SendMessageTimeoutA(bar, SB_GETTEXTA, part, (LPARAM)remote, SMTO_ABORTIFHUNG, 5000, &length)) {
            std::vector<char> local(size, 0);
            SIZE_T got = 0;
            if (ReadProcessMemory(process, remote, local.data(), size - 1, &got)) text = local.data();
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

std::string ProbeStatusText(HWND top) {
    HWND bar = FindWindowExA(top, NULL, "msctls_statusbar32", NULL);
    if (!bar) return std::string();
    // In simple mode part 0 holds the one text; split, part 0 is the
    // progress drawing and the text is part 1's.
    bool simple = SendMessageA(bar, SB_ISSIMPLE, 0, 0) != 0;
    return RemoteStatusPart(bar, simple ? 0 : 1);
}
