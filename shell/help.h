// SHelp: the part of a window that shows the program's help: the contents,
// the index, a numbered topic, and pop-up help for the controls of a
// dialog. WinHelp shows the help file when there is one; when there is
// none, or WinHelp fails, the same help opens as the HTML pages installed
// beside the program, in the system's web browser. Windows only.
#ifndef SKEIND_SHELL_HELP_H
#define SKEIND_SHELL_HELP_H

#include <windows.h>

#include <stdint.h>

#include <string>

// Where help goes to the screen. The program uses SystemHelpViewer(); the
// tests put a recorder in its place.
class AHelpViewer {
public:
    // WinHelp on `file`; false when it failed or found no file to show.
    virtual bool WinHelp(HWND owner, const char* file, UINT command, ULONG_PTR data) = 0;
    // Opens the HTML help at a place: "contents", "index" or "topic-N".
    virtual bool OpenPage(HWND owner, const char* place) = 0;

protected:
    ~AHelpViewer() {}
};

// WinHelp, called only when the help file can be found (WinHelp would
// otherwise stop in a dialog asking for it), and the pages in
// skeind-help\ next to the program, opened with the program registered
// for .html files, or else with the web browser.
AHelpViewer& SystemHelpViewer();

// The HTML page of a place: skeind-help\<place>.html in the program's
// folder.
std::string HelpPagePath(const char* place);
// A command registered for a kind of document ("x.exe" "%1") with the
// document put in, quoted; appended when the command names no place.
std::string BrowserCommandLine(const char* command, const char* document);

// Help tables: (control id, topic) pairs ending with (0, 0).
// The topic of `control` in `table`, 0 when it has none.
DWORD HelpTopicOfControl(const DWORD* table, int control);

class SHelp {
public:
    SHelp();
    // Tells WinHelp to quit when help was shown.
    ~SHelp();

    void SetHelpOwner(HWND owner) { help_owner_ = owner; }
    // The help file's name, string 1; loaded once.
    void LoadHelpFile(HINSTANCE instance);
    // Another name in its place: "file>window" shows the help in the help
    // file's window of that name.
    void SetHelpFile(const char* name);
    void SetHelpViewer(AHelpViewer* viewer) { help_viewer_ = viewer; }

    // Each gives whether help was shown, by WinHelp or as HTML.
    bool HelpContents();
    bool HelpIndex();
    bool HelpTopic(DWORD topic);
    // Pop-up help for a control, from a context menu request on it or F1.
    bool HelpContextMenu(HWND control, const DWORD* table);
    bool HelpForRequest(const HELPINFO* info, const DWORD* table);
    // Tells WinHelp to close its window of the help file.
    void HelpQuit();

    // Set when WinHelp showed help, so that it must be told to quit.
    bool help_shown() const { return help_shown_ != 0; }
    const char* help_file();

private:
    SHelp(const SHelp&);
    SHelp& operator=(const SHelp&);

    // WinHelp for the owner with a topic command, else the page at `place`.
    bool Show(UINT command, ULONG_PTR data, const char* place);
    bool ShowControlTopic(HWND window, UINT command, const DWORD* table, int control);

    HWND help_owner_;
    char* help_file_;
    uint32_t help_shown_;
    AHelpViewer* help_viewer_;
};

#endif
