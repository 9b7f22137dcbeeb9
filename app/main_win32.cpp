// The program's entry on Windows: open or create the workspace, then run.
#include <windows.h>

#include "app/messages_win32.h"
#include "app/startup.h"

static const char kDefaultWorkspace[] = "default.sk1";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    MessageBoxUi ui(instance);
    StartupResult start = OpenWorkspace(command_line, kDefaultWorkspace, ui);
    if (!start.workspace) return 0;

    WorkspaceFullBox full(instance);
    start.workspace->SetGrowthNotice(&full);

    // The main window and its message loop come next; until then the
    // program ends once its workspace is open. The file is closed last.
    start.workspace.reset();
    return 0;
}
