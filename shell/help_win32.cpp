#include "shell/help.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "res/resource.h"

namespace {

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// WinHelp's own search: the usual program search path, then the
// system's help folder. A window name after '>' is no part of the file's.
bool CanFindHelpFile(const char* file_and_window) {
    if (file_and_window == 0) return false;
    std::string file(file_and_window, strcspn(file_and_window, ">"));
    if (file.empty()) return false;
    char found[MAX_PATH];
    char* name = 0;
    DWORD n = SearchPathA(0, file.c_str(), 0, sizeof found, found, &name);
    if (n > 0 && n < sizeof found) return true;
    char windows[MAX_PATH];
    n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) return false;
    return IsFile(std::string(windows) + "\\help\\" + file);
}

bool RunCommandLine(std::string line) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process)) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

class SystemViewer : public AHelpViewer {
public:
    bool WinHelp(HWND owner, const char* file, UINT command, ULONG_PTR data) override {
        // HELP_QUIT needs no file; every other command would stop in
        // WinHelp's "where is the file?" dialog when there is none.
        if (command != HELP_QUIT && !CanFindHelpFile(file)) return false;
        return WinHelpA(owner, file, command, data) != 0;
    }

    // Each place has a page of its own that sends the browser on to the
    // place in the help: a file name is all that is sure to reach the
    // browser intact, where a "#place" ending can be lost on the way
    // (Wine's launcher drops it, for one).
    bool OpenPage(HWND owner, const char* place) override {
        std::string page = HelpPagePath(place);
        if (page.empty() || !IsFile(page)) return false;
        SHELLEXECUTEINFOA run;
        memset(&run, 0, sizeof run);
        run.cbSize = sizeof run;
        run.fMask = SEE_MASK_FLAG_NO_UI;
        run.hwnd = owner;
        run.lpVerb = "open";
        run.lpFile = page.c_str();
        run.nShow = SW_SHOWNORMAL;
        if (ShellExecuteExA(&run)) return true;
        // Nothing registered for .html files (Wine without its browser
        // engine, for one): the web browser, as the http protocol names it.
        char command[2048];
        DWORD size = sizeof command;
        if (AssocQueryStringA(0, ASSOCSTR_COMMAND, "http", "open", command, &size) != S_OK) return false;
        return RunCommandLine(BrowserCommandLine(command, page.c_str()));
    }
};

}  // namespace

std::string HelpPagePath(const char* place) {
    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(0, program, sizeof program);
    if (n == 0 || n >= sizeof program) return std::string();
    std::string path(program, n);
    size_t slash = path.find_last_of("\\/");
    path.erase(slash == std::string::npos ? 0 : slash + 1);
    return path + "skeind-help\\" + place + ".html";
}

std::string BrowserCommandLine(const char* command, const char* document) {
    std::string line(command);
    size_t at = line.find("%1");
    if (at == std::string::npos) at = line.find("%L");
    if (at == std::string::npos) at = line.find("%l");
    if (at == std::string::npos) return line + " \"" + document + "\"";
    bool quoted = at > 0 && line[at - 1] == '"';
    line.replace(at, 2, quoted ? std::string(document) : "\"" + std::string(document) + "\"");
    return line;
}

AHelpViewer& SystemHelpViewer() {
    static SystemViewer viewer;
    return viewer;
}

DWORD HelpTopicOfControl(const DWORD* table, int control) {
    if (table == 0) return 0;
    for (; table[0] != 0 || table[1] != 0; table += 2)
        if (table[0] == (DWORD)control) return table[1];
    return 0;
}

SHelp::SHelp() : help_owner_(0), help_file_(0), help_shown_(0), help_viewer_(&SystemHelpViewer()) {}

SHelp::~SHelp() {
    if (help_shown_) HelpQuit();
    delete[] help_file_;
}

void SHelp::LoadHelpFile(HINSTANCE instance) {
    if (help_file_) return;
    char name[MAX_PATH];
    int n = LoadStringA(instance, IDS_HELP_FILE, name, sizeof name);
    help_file_ = new char[n > 0 ? n + 1 : 1];
    memcpy(help_file_, name, n > 0 ? n : 0);
    help_file_[n > 0 ? n : 0] = 0;
}

void SHelp::SetHelpFile(const char* name) {
    size_t n = strlen(name);
    char* copy = new char[n + 1];
    memcpy(copy, name, n + 1);
    delete[] help_file_;
    help_file_ = copy;
}

const char* SHelp::help_file() {
    if (!help_file_) LoadHelpFile(GetModuleHandleA(0));
    return help_file_;
}

bool SHelp::Show(UINT command, ULONG_PTR data, const char* place) {
    if (help_viewer_->WinHelp(help_owner_, help_file(), command, data)) {
        help_shown_ = 1;
        return true;
    }
    return help_viewer_->OpenPage(help_owner_, place);
}

bool SHelp::HelpContents() { return Show(HELP_CONTENTS, 0, "contents"); }

bool SHelp::HelpIndex() { return Show(HELP_FINDER, 0, "index"); }

bool SHelp::HelpTopic(DWORD topic) {
    char place[32];
    snprintf(place, sizeof place, "topic-%lu", (unsigned long)topic);
    return Show(HELP_CONTEXT, topic, place);
}

// WinHelp shows a pop-up beside the control; the pages open at the
// control's topic instead.
bool SHelp::ShowControlTopic(HWND window, UINT command, const DWORD* table, int control) {
    if (help_viewer_->WinHelp(window, help_file(), command, (ULONG_PTR)table)) return true;
    DWORD topic = HelpTopicOfControl(table, control);
    if (topic == 0) return false;
    char place[32];
    snprintf(place, sizeof place, "topic-%lu", (unsigned long)topic);
    return help_viewer_->OpenPage(help_owner_, place);
}

bool SHelp::HelpContextMenu(HWND control, const DWORD* table) {
    return ShowControlTopic(control, HELP_CONTEXTMENU, table, GetDlgCtrlID(control));
}

bool SHelp::HelpForRequest(const HELPINFO* info, const DWORD* table) {
    if (info == 0) return false;
    return ShowControlTopic((HWND)info->hItemHandle, HELP_WM_HELP, table, info->iCtrlId);
}

void SHelp::HelpQuit() {
    help_viewer_->WinHelp(help_owner_, help_file(), HELP_QUIT, 0);
    help_shown_ = 0;
}
