// uiprobe: drive a running program's windows from a shell script.
//
//   uiprobe window  [-class C] [-caption T] [-pid N] [-timeout MS]
//   uiprobe msgbox  [-pid N] [-timeout MS]           caption, text, buttons
//   uiprobe press   TEXT [-pid N] [-timeout MS]      press a message box button
//   uiprobe command ID [-class C] [-caption T]       send a menu command
//   uiprobe close   [-class C] [-caption T]          close a window
//   uiprobe status  [-class C] [-caption T]          status bar text
//
// Prints what it read on standard output; exits 0 on success, 1 when the
// window or button was not found in time, 2 on bad usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/uiprobe/probe.h"

namespace {

struct Options {
    const char* class_name = NULL;
    const char* caption = NULL;
    DWORD pid = 0;
    int timeout_ms = 10000;
    const char* arg = NULL;
};

int Usage() {
    fprintf(stderr,
            "usage: uiprobe window|msgbox|press TEXT|command ID|close|status\n"
            "               [-class C] [-caption T] [-pid N] [-timeout MS]\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, int first, Options* o) {
    for (int i = first; i < argc; ++i) {
        if (i + 1 < argc && strcmp(argv[i], "-class") == 0) o->class_name = argv[++i];
        else if (i + 1 < argc && strcmp(argv[i], "-caption") == 0) o->caption = argv[++i];
        else if (i + 1 < argc && strcmp(argv[i], "-pid") == 0) o->pid = strtoul(argv[++i], NULL, 0);
        else if (i + 1 < argc && strcmp(argv[i], "-timeout") == 0) o->timeout_ms = atoi(argv[++i]);
        else if (!o->arg && argv[i][0] != '-') o->arg = argv[i];
        else return false;
    }
    return true;
}

void PrintBox(const ProbeMessageBox& box) {
    printf("caption: %s\n", box.caption.c_str());
    printf("text: %s\n", box.text.c_str());
    for (size_t i = 0; i < box.buttons.size(); ++i)
        printf("button: %d %s\n", box.buttons[i].id, box.buttons[i].text.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* verb = argv[1];
    Options o;
    if (!ParseOptions(argc, argv, 2, &o)) return Usage();

    if (strcmp(verb, "msgbox") == 0 || strcmp(verb, "press") == 0) {
        ProbeMessageBox box;
        if (!ProbeWaitForMessageBox(o.pid, o.timeout_ms, &box)) return 1;
        PrintBox(box);
        if (strcmp(verb, "press") == 0) {
            if (!o.arg) return Usage();
            return ProbePressButton(box, o.arg) ? 0 : 1;
        }
        return 0;
    }

    HWND w = ProbeWaitForWindow(o.class_name, o.caption, o.pid, o.timeout_ms);
    if (!w) return 1;
    if (strcmp(verb, "window") == 0) {
        printf("%s \"%s\"\n", ProbeClassName(w).c_str(), ProbeWindowText(w).c_str());
        return 0;
    }
    if (strcmp(verb, "command") == 0) return o.arg && ProbeSendCommand(w, atoi(o.arg)) ? 0 : 1;
    if (strcmp(verb, "close") == 0) return ProbeCloseWindow(w) ? 0 : 1;
    if (strcmp(verb, "status") == 0) {
        printf("%s\n", ProbeStatusText(w).c_str());
        return 0;
    }
    return Usage();
}
