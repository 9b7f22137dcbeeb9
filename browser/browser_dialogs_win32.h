// The browser set-up dialogues: Start Web Browser, offered by the browser
// link when no browser answers, and Add Web Browser, which registers a
// browser's program (a doctored copy of it when the copy can be made).
// Windows only.
#ifndef SKEIND_BROWSER_BROWSER_DIALOGS_WIN32_H
#define SKEIND_BROWSER_BROWSER_DIALOGS_WIN32_H

#include <windows.h>

#include <commdlg.h>
#include <stdint.h>

#include <string>

#include "browser/browser_link_win32.h"
#include "browser/browser_list.h"
#include "shell/dialog.h"
#include "shell/help.h"

// Help tables of the two dialogues and their Help buttons' topics.
extern const DWORD kStartBrowserHelpTable[];
extern const DWORD kAddBrowserHelpTable[];
const DWORD kStartBrowserHelpTopic = 25;
const DWORD kAddBrowserHelpTopic = 21;

// The help of a browser dialogue: its Help button's topic, pop-up help for
// its controls from its table, and help told to quit when the dialogue
// goes, if help was used in it.
class DialogueHelp {
public:
    DialogueHelp(const DWORD* table, DWORD topic);

    // Where help goes; the system's viewer unless a test puts another.
    void set_viewer(AHelpViewer* viewer);
    AHelpViewer* viewer() const { return viewer_; }

    void Attach(HWND dialog) { help_.SetHelpOwner(dialog); }
    void HelpButton();
    // WM_HELP, WM_CONTEXTMENU and WM_DESTROY; false for any other message.
    bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

private:
    SHelp help_;
    AHelpViewer* viewer_;
    const DWORD* table_;
    DWORD topic_;
    uint32_t used_;  // help was used in this dialogue
};

// How long Start waits after starting a browser, so that the browser's DDE
// registration arrives before the link looks again.
const DWORD kBrowserStartWaitMs = 4000;

// Start Web Browser (dialogue 138): the known browsers, one to start, and
// Add and Remove to change the list. Ends with 1 when a browser was
// started, 2 when cancelled.
class Browser_dialogue : public Dialog {
public:
    // `browsers` is not owned; Add and Remove load it again.
    explicit Browser_dialogue(BrowserList* browsers);

    void set_help_viewer(AHelpViewer* viewer) { help_.set_viewer(viewer); }

    INT_PTR Initialise(HWND dialog, WPARAM focus, LPARAM lparam) override;
    INT_PTR Ok(HWND dialog, LPARAM lparam) override;
    INT_PTR OtherCommand(HWND dialog, int id, int code, LPARAM lparam) override;
    INT_PTR OtherMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void FillList(HWND dialog);
    void EnableForSelection(HWND dialog);
    // The entry shown by the selected item; none when nothing is selected.
    const BrowserEntry* SelectedEntry(HWND dialog) const;
    void AddBrowser(HWND dialog);
    void RemoveBrowser(HWND dialog);

    BrowserList* browsers_;
    DialogueHelp help_;
};

// The file chooser's record for a program file, the buffers it points
// into, and the parts of the chosen name. The record points into the
// object itself, so it is never copied.
struct ProgramFileChooser {
    OPENFILENAMEA record;
    char filter[64];
    char title[64];
    char file[1024];
    char file_title[260];
    char directory[1024];  // before the file name; the current one when none
};

// The record as Browse shows it: the filter and title from the string
// table, no file yet.
void InitProgramFileChooser(ProgramFileChooser* chooser, HINSTANCE instance);
// A new file name and the parts derived from it.
void SetChosenFile(ProgramFileChooser* chooser, const char* path);
inline const char* ChosenFileName(const ProgramFileChooser& chooser) {
    return chooser.file + chooser.record.nFileOffset;
}

// Add Web Browser (dialogue 139): the program file, its DDE service (the
// guess or one typed) and a description. OK copies the program beside
// itself as "doctored <name>", renames the copy's socket import and
// registers the browser; ends with 1 once it is registered.
class Add_dialogue : public Dialog {
public:
    Add_dialogue();

    void set_help_viewer(AHelpViewer* viewer) { help_.set_viewer(viewer); }

    INT_PTR Initialise(HWND dialog, WPARAM focus, LPARAM lparam) override;
    INT_PTR Ok(HWND dialog, LPARAM lparam) override;
    INT_PTR OtherCommand(HWND dialog, int id, int code, LPARAM lparam) override;
    INT_PTR OtherMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void Browse(HWND dialog);
    void GuessServiceIfEmpty(HWND dialog);
    // Each answers false, after saying why, when the dialogue stays open.
    bool RecommendedOrExcused(HWND dialog);
    bool CopyProgram(HWND dialog, const std::string& doctored);
    // The path the browser is registered with: the doctored copy, or the
    // program itself when the copy could not be doctored. False when the
    // copy could not be opened as a program file.
    bool DoctorCopy(HWND dialog, const std::string& doctored, std::string* in_use);
    void WriteBrowserEntry(HWND dialog, const std::string& in_use);

    ProgramFileChooser chooser_;
    DialogueHelp help_;
};

// The link's prompt: Start Web Browser over the window that needs a
// browser.
class StartBrowserPrompt : public ABrowserPrompt {
public:
    explicit StartBrowserPrompt(HINSTANCE instance) : instance_(instance) {}
    int AskToStartBrowser(HWND parent, BrowserList& browsers) override;

private:
    HINSTANCE instance_;
};

#endif
