#include <stdio.h>

#include <string>
#include <vector>

#include "browser/browser_dialogs_win32.h"
#include "browser/browser_registry_win32.h"
#include "browser/program_file_win32.h"
#include "browser/program_path.h"
#include "observe/settings.h"
#include "res/resource.h"
#include "res/strings.h"

const DWORD kStartBrowserHelpTable[] = {
    IDC_BROWSER_LIST, 22, IDC_ADD_BROWSER, 23, IDC_REMOVE_BROWSER, 24, 0, 0,
};

DialogueHelp::DialogueHelp(const DWORD* table, DWORD topic)
    : viewer_(&SystemHelpViewer()), table_(table), topic_(topic), used_(0) {
    // Dialogues show help in the help file's window of their own.
    help_.SetHelpFile((std::string(AppString(IDS_HELP_FILE)) + ">dialogue").c_str());
}

void DialogueHelp::set_viewer(AHelpViewer* viewer) {
    viewer_ = viewer;
    help_.SetHelpViewer(viewer);
}

void DialogueHelp::HelpButton() {
    used_ = 1;
    help_.HelpTopic(topic_);
}

bool DialogueHelp::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_HELP:
        used_ = 1;
        help_.HelpForRequest((const HELPINFO*)lparam, table_);
        return true;
    case WM_CONTEXTMENU:
        used_ = 1;
        help_.HelpContextMenu((HWND)wparam, table_);
        return true;
    case WM_DESTROY:
        if (used_) help_.HelpQuit();
        used_ = 0;
        return false;  // the dialogue goes on going
    default: return false;
    }
}

namespace {

// Starts a browser's command in its program's folder. False when the
// system could not start it.
bool StartCommand(const std::string& command) {
    std::string directory = CommandDirectory(command.c_str());
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    // The platform's own size: 68 bytes in a 32-bit build, more in a 64-bit one.
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(0, &line[0], 0, 0, FALSE, CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, 0,
                        directory.empty() ? 0 : directory.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Waits while dispatching this thread's messages: the browser's DDE
// registration reaches the link through them. A quit message is left for
// the main loop.
void WaitDispatching(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD passed = GetTickCount() - start;
        if (passed >= ms) return;
        MsgWaitForMultipleObjects(0, 0, FALSE, ms - passed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::string ListItemText(HWND list, LRESULT index) {
    LRESULT n = SendMessageA(list, LB_GETTEXTLEN, (WPARAM)index, 0);
    if (n == LB_ERR) return std::string();
    std::vector<char> text((size_t)n + 1, 0);
    SendMessageA(list, LB_GETTEXT, (WPARAM)index, (LPARAM)&text[0]);
    return &text[0];
}

}  // namespace

Browser_dialogue::Browser_dialogue(BrowserList* browsers)
    : Dialog(IDD_START_BROWSER), browsers_(browsers), help_(kStartBrowserHelpTable, kStartBrowserHelpTopic) {}

INT_PTR Browser_dialogue::Initialise(HWND dialog, WPARAM, LPARAM) {
    help_.Attach(dialog);
    FillList(dialog);
    return 1;
}

// Added last entry first, so the item data n is entry (count - 1 - n); the
// list sorts by description, and the first item added (the last entry,
// the one the link tries first) starts selected.
void Browser_dialogue::FillList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_BROWSER_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    uint32_t item = 0;
    for (size_t i = browsers_->entries().size(); i-- > 0;) {
        LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)browsers_->entries()[i].description.c_str());
        if (at == LB_ERR || at == LB_ERRSPACE) continue;
        SendMessageA(list, LB_SETITEMDATA, (WPARAM)at, (LPARAM)item);
        browsers_->SetListItem(i, item);
        ++item;
        if (SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR) SendMessageA(list, LB_SETCURSEL, (WPARAM)at, 0);
    }
    EnableForSelection(dialog);
}

void Browser_dialogue::EnableForSelection(HWND dialog) {
    BOOL selected = SendDlgItemMessageA(dialog, IDC_BROWSER_LIST, LB_GETCURSEL, 0, 0) != LB_ERR;
    EnableWindow(GetDlgItem(dialog, IDOK), selected);
    EnableWindow(GetDlgItem(dialog, IDC_REMOVE_BROWSER), selected);
}

const BrowserEntry* Browser_dialogue::SelectedEntry(HWND dialog) const {
    HWND list = GetDlgItem(dialog, IDC_BROWSER_LIST);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return 0;
    uint32_t item = (uint32_t)SendMessageA(list, LB_GETITEMDATA, (WPARAM)selected, 0);
    const std::vector<BrowserEntry>& entries = browsers_->entries();
    for (size_t i = entries.size(); i-- > 0;)
        if (entries[i].list_item == item) return &entries[i];
    return 0;
}

INT_PTR Browser_dialogue::Ok(HWND dialog, LPARAM) {
    const BrowserEntry* entry = SelectedEntry(dialog);
    // A command that does not start leaves the choice to the user.
    if (entry == 0 || !StartCommand(entry->command)) return 1;
    // Disabled while it waits: a second OK would start a second browser.
    EnableWindow(dialog, FALSE);
    WaitDispatching(kBrowserStartWaitMs);
    EnableWindow(dialog, TRUE);
    EndDialog(dialog, IDOK);
    return 1;
}

void Browser_dialogue::AddBrowser(HWND dialog) {
    Add_dialogue add;
    add.set_help_viewer(help_.viewer());
    if (add.RunModal((HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE), dialog) != IDOK) return;
    LoadBrowserList(browsers_);
    FillList(dialog);
}

void Browser_dialogue::RemoveBrowser(HWND dialog) {
    const BrowserEntry* entry = SelectedEntry(dialog);
    if (entry == 0) return;
    HWND list = GetDlgItem(dialog, IDC_BROWSER_LIST);
    std::string shown = ListItemText(list, SendMessageA(list, LB_GETCURSEL, 0, 0));
    char question[1024];
    snprintf(question, sizeof question, AppString(IDS_REMOVE_BROWSER_QUESTION), shown.c_str());
    if (MessageBoxA(dialog, question, AppString(IDS_PROGRAM_TITLE), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
        return;
    std::string key_name = entry->key_name;  // the list is loaded again below
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
    LONG result = browsers.IsOpen() ? RegDeleteKeyA(browsers.handle(), key_name.c_str()) : browsers.result();
    if (result != ERROR_SUCCESS) ErrorBox(dialog, IDS_CANNOT_REMOVE_KEY, key_name.c_str(), kBrowsersKeyPath, (uint32_t)result);
    LoadBrowserList(browsers_);
    FillList(dialog);
}

INT_PTR Browser_dialogue::OtherCommand(HWND dialog, int id, int code, LPARAM) {
    switch (id) {
    case IDC_BROWSER_LIST:
        if (code == LBN_SELCHANGE) EnableForSelection(dialog);
        if (code == LBN_DBLCLK) Ok(dialog, 0);
        return 1;
    case IDC_ADD_BROWSER:
        if (code == BN_CLICKED) AddBrowser(dialog);
        return 1;
    case IDC_REMOVE_BROWSER:
        if (code == BN_CLICKED) RemoveBrowser(dialog);
        return 1;
    case IDHELP:
        if (code == BN_CLICKED) help_.HelpButton();
        return 1;
    default: return 0;
    }
}

INT_PTR Browser_dialogue::OtherMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    return help_.HandleMessage(message, wparam, lparam) ? 1 : 0;
}

int StartBrowserPrompt::AskToStartBrowser(HWND parent, BrowserList& browsers) {
    Browser_dialogue start(&browsers);
    return (int)start.RunModal(instance_, parent);
}
