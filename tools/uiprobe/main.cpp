// uiprobe: drive a running program's windows from a shell script.
//
//   uiprobe window  [-class C] [-caption T] [-pid N] [-timeout MS]
//   uiprobe msgbox  [-pid N] [-timeout MS]           caption, text, buttons
//   uiprobe press   TEXT [-pid N] [-timeout MS]      press a message box button
//   uiprobe command ID [-class C] [-caption T]       send a menu command
//   uiprobe close   [-class C] [-caption T]          close a window
//   uiprobe status  [-class C] [-caption T]          status bar text
//   uiprobe keys "down right ..." [-class C] [-caption T]
//                   keys to the map window inside the window, one by one
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
            "usage: uiprobe window|msgbox|press TEXT|command ID|close|status|keys LIST\n"
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

// Key names the map window answers to.
UINT KeyCode(const char* name) {
    static const struct {
        const char* name;
        UINT key;
    } keys[] = {{"down", VK_DOWN}, {"up", VK_UP},         {"left", VK_LEFT},   {"right", VK_RIGHT},
                {"home", VK_HOME}, {"end", VK_END},       {"pgup", VK_PRIOR},  {"pgdn", VK_NEXT},
                {"space", VK_SPACE}, {"enter", VK_RETURN}, {"delete", VK_DELETE}};
    for (const auto& k : keys)
        if (_stricmp(name, k.name) == 0) return k.key;
    return 0;
}

// Posts each key of the list to the map window inside `top` (or to `top`
// when it has none), with a short wait after each so that the display can
// follow.
bool SendKeys(HWND top, const char* list) {
    HWND target = FindWindowExA(top, NULL, "lumvane-graph-window", NULL);
    if (!target) target = top;
    char buffer[1024];
    snprintf(buffer, sizeof buffer, "%s", list);
    for (char* name = strtok(buffer, " ,"); name; name = strtok(NULL, " ,")) {
        UINT key = KeyCode(name);
        if (key == 0) {
            fprintf(stderr, "uiprobe: no key called %s\n", name);
            return false;
        }
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        Sleep(60);
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
    if (strcmp(verb, "keys") == 0) return o.arg && SendKeys(w, o.arg) ? 0 : 1;
    if (strcmp(verb, "status") == 0) {
        printf("%s\n", ProbeStatusText(w).c_str());
        return 0;
    }
    return Usage();
}
