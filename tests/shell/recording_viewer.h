// A help viewer that writes down what it was asked to show instead of
// starting WinHelp or a browser. WinHelp "succeeds" when told to.
#ifndef SKEIND_TESTS_SHELL_RECORDING_VIEWER_H
#define SKEIND_TESTS_SHELL_RECORDING_VIEWER_H

#include <string>
#include <vector>

#include "shell/help.h"

struct WinHelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
};

class RecordingViewer : public AHelpViewer {
public:
    bool WinHelp(HWND window, const char* file, UINT command, ULONG_PTR data) override {
        WinHelpCall call = {window, file ? file : "", command, data};
        calls.push_back(call);
        return winhelp_works;
    }
    bool OpenPage(HWND, const char* place) override {
        pages.push_back(place);
        return true;
    }

    bool winhelp_works = false;
    std::vector<WinHelpCall> calls;
    std::vector<std::string> pages;
};

#endif
