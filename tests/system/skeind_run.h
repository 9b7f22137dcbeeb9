// The real skeind.exe under test, driven from outside as a user would
// drive it: started in a folder, its main window and message boxes found
// and read, keys and shim datagrams sent to it, closed and waited for.
#ifndef SKEIND_TESTS_SYSTEM_SKEIND_RUN_H
#define SKEIND_TESTS_SYSTEM_SKEIND_RUN_H

#include <windows.h>
#include <winsock2.h>

#include <string>
#include <vector>

#include "store/nodedb.h"
#include "tests/support/program_win32.h"
#include "tools/uiprobe/probe.h"

// How long any one thing the program does may take.
const int kSystemTimeout = 20000;
// An exit code no run of the program gives: it did not end.
const DWORD kDidNotEnd = 12345;

// A workspace file made beforehand, with its pages pinned so that the
// map shows them as its first rows.
bool MakeWorkspace(const std::string& path, const std::vector<const char*>& pinned = {});

// A shim script sent to the program's port as real datagrams.
bool SendShimScript(const std::string& script, std::string* error);

// The links of a page as the workspace holds them, "<kind> <url>", sorted.
std::vector<std::string> LinksOf(NodeDb& db, NodeId page);

class SkeindRun {
public:
    // Starts skeind.exe with `args` in `dir`.
    bool Start(const std::string& args, const std::string& dir);
    // Starts it on `workspace` in `dir` (a file that must exist, or the
    // program asks about it first), waits for its main window and, when
    // `decline_offer`, answers Cancel to the offer to start a browser (no
    // browser runs). 0 when no main window came.
    HWND StartOn(const std::string& workspace, const std::string& dir, bool decline_offer = true);

    DWORD pid() const { return program_.pid(); }
    HWND main() const { return main_; }
    // The main window, once it shows.
    HWND WaitForMain();
    // The map window inside the main window.
    HWND Map() const;
    // The program found no browser and offers to start one: the offer
    // answered Cancel. False when no offer came.
    bool DeclineBrowserOffer();
    // The next message box the program shows.
    bool NextBox(ProbeMessageBox* box, int timeout_ms = kSystemTimeout);

    // A key pressed and let go in `window`.
    static void PressKey(HWND window, WPARAM key);
    // The status bar's text, waited for until it reads `want`; the last
    // text read otherwise.
    std::string WaitForStatus(const std::string& want);

    // The exit code once it ends by itself, else kDidNotEnd.
    DWORD ExitCode(int timeout_ms = kSystemTimeout);
    // Closes the main window and waits for the program to end.
    DWORD Close();

private:
    Program program_;
    HWND main_ = 0;
};

#endif
