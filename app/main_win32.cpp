// The program's entry on Windows: open or create the workspace, then run.
#include <windows.h>

#include <string>

#include "app/messages_win32.h"
#include "app/startup.h"
#include "observe/settings.h"

static const char kDefaultWorkspace[] = "default.sk1";

// The program key is made before anything else runs and stays open until
// the end.
static SettingsKey& g_program_key = SettingsKey::Program();

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    MessageBoxUi ui(instance);
    // The "workspace" value, when there is one, names the default file.
    std::string default_name;
    g_program_key.ReadText("workspace", &default_name, kDefaultWorkspace);
    StartupResult start = OpenWorkspace(command_line, default_name.c_str(), ui);
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
