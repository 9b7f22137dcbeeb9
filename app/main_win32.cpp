// The program's entry on Windows: open or create the workspace, bring up
// the main window and the services in their order, run the message loop,
// and take everything down in the reverse order.
#include <winsock2.h>
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "app/messages_win32.h"
#include "app/skeindle_topwin.h"
#include "app/startup.h"
#include "browser/browser_dialogs_win32.h"
#include "browser/browser_link_win32.h"
#include "browser/dde_instance_win32.h"
#include "observe/db_client.h"
#include "observe/http_client.h"
#include "observe/page_loader.h"
#include "observe/settings.h"
#include "observe/shim_listener.h"
#include "store/instance_registry.h"

static const char kDefaultWorkspace[] = "default.sk1";

// Made before anything else runs and kept until the end: the program's
// settings key, and the table of running copies and their workspaces.
static SettingsKey& g_program_key = SettingsKey::Program();
// The DDE library, up before the main part runs and down after it ends.
static DdeInstance& g_dde = DdeInstance::Process();
static InstanceRegistry& g_instances = InstanceRegistry::Process();

static int RunMessageLoop(HINSTANCE instance, HWND frame) {
    HACCEL keys = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(kAccelerators));
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        if (keys && TranslateAcceleratorA(frame, keys, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    MessageBoxUi ui(instance);
    // The "workspace" value, when there is one, names the default file.
    std::string default_name;
    g_program_key.ReadText("workspace", &default_name, kDefaultWorkspace);
    StartupResult start = OpenWorkspace(command_line, default_name.c_str(), ui);
    if (!start.workspace) return start.exit_code;
    WorkspaceFullBox full(instance);
    start.workspace->SetGrowthNotice(&full);

    std::unique_ptr<SkeindleTopwin> top(new SkeindleTopwin(instance, &g_instances));
    std::unique_ptr<DbClient> client(new DbClient(start.workspace.get()));
    // The page fetcher, reading the browser's proxy settings once.
    std::unique_ptr<HttpClient> http(new HttpClient);
    http->ReadProxySettings();
    std::unique_ptr<PageLoader> loader(new PageLoader(client.get(), top.get(), top.get()));
    top->set_page_fetching(loader.get(), http.get(), client.get());
    if (!top->Create()) {
        client.reset();
        start.workspace.reset();
        top.reset();
        return 0;
    }
    ui.set_owner(top->frame());

    // Busy from the check until the services run.
    top->BeginBusy();
    if (!CheckOpenedWorkspace(start, top.get(), ui)) {
        client.reset();
        top.reset();
        return start.exit_code;
    }
    top->ShowStatusText("");
    std::unique_ptr<BrowserLink> browser(new BrowserLink(top->frame(), kBrowserMessage, top.get(), "skeind"));
    // When no browser answers, the user is offered one to start.
    StartBrowserPrompt prompt(instance);
    browser->set_prompt(&prompt);
    top->set_browser_link(browser.get());
    // The shim is heard before attaching, which may offer to start a
    // browser: a browser started from that offer reports its first pages
    // at once. A port taken by another program costs only the shim's
    // reports.
    std::unique_ptr<ShimListener> listener(new ShimListener(client.get()));
    if (listener->Start()) listener->RequestNotification(top->frame());
    top->set_listener(listener.get());
    top->AttachWorkspace(start.workspace.get(), start.name.c_str());
    top->EndBusy();

    int code = RunMessageLoop(instance, top->frame());

    top->set_browser_link(0);
    browser.reset();
    top->set_page_fetching(0, 0, 0);
    loader.reset();
    http.reset();
    top.reset();
    listener->Stop();
    listener.reset();
    client.reset();
    // Every change is already in the mapped file; closing it is the last act.
    start.workspace.reset();
    return code;
}
