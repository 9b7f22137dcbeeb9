// startkill: starts the program as a user would, then closes it or ends it
// abruptly (TerminateProcess) when told to on its standard input. The
// burst and kill scripts (scripts/burst.py) drive it.
//
//   startkill DIRECTORY PROGRAM [ARGUMENTS]
//
// Starts PROGRAM in DIRECTORY, answers Cancel to the offer to start a
// browser, and once the main window is up prints "ready PID". Then reads
// commands, one a line:
//   kill    TerminateProcess at once; prints "killed" when it has ended
//   close   closes the main window as its close box would; prints
//           "closed CODE" with the exit code
// The end of its input is taken as kill. Exits 0 when the command was
// carried out, 1 otherwise.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "tools/uiprobe/probe.h"

namespace {

const int kTimeout = 30000;
const char kMainClass[] = "QMR Skeindle";

bool DeclineBrowserOffer(DWORD pid) {
    HWND offer = ProbeWaitForWindow("#32770", "Start Web Browser", pid, kTimeout);
    if (!offer) return false;
    return PostMessageA(offer, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(offer, IDCANCEL)) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: startkill DIRECTORY PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    std::string line = std::string("\"") + argv[2] + "\"";
    for (int i = 3; i < argc; ++i) line += std::string(" \"") + argv[i] + "\"";
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(argv[2], &line[0], NULL, NULL, FALSE, 0, NULL, argv[1], &si, &pi)) {
        fprintf(stderr, "startkill: cannot start %s (%lu)\n", argv[2], GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    HWND main = ProbeWaitForWindow(kMainClass, "Skeindle", pi.dwProcessId, kTimeout);
    if (!main || !DeclineBrowserOffer(pi.dwProcessId)) {
        fprintf(stderr, "startkill: the program's window did not come up\n");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    printf("ready %lu\n", pi.dwProcessId);
    fflush(stdout);

    char command[64];
    if (fgets(command, sizeof command, stdin) == 0 || strncmp(command, "close", 5) != 0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, kTimeout);
        printf("killed\n");
        return 0;
    }
    DWORD code = 99;
    ProbeCloseWindow(main);
    bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code);
    printf("closed %lu\n", ended ? code : 99ul);
    if (!ended) TerminateProcess(pi.hProcess, 1);
    return ended ? 0 : 1;
}
