// The program's entry on Windows: open or create the workspace, then run.
#include <windows.h>

#include "app/messages_win32.h"
#include "app/startup.h"

static const char kDefaultWorkspace[] = "default.sk1";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    MessageBoxUi ui(instance);
    StartupResult start = OpenWorkspace(command_line, kDefaultWorkspace, ui);
    if (!start.workspace) return start.exit_code;

    WorkspaceFullBox full(instance);
    start.workspace->SetGrowthNotice(&full);

    // There is no window yet, so the check shows its progress nowhere;
    // the main window's status bar will take it.
    if (!CheckOpenedWorkspace(start, 0, ui)) return start.exit_code;

    // The main window and its message loop come next; until then the
    // program ends once its workspace is checked. The file is closed last.
    start.workspace.reset();
    return start.exit_code;
}
