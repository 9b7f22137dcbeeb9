// SkeindleTopwin: the program's main window. A frame with the menu bar,
// the map filling the client area and the status bar; it turns commands
// into operations on the map and the workspace, keeps the undo stack, the
// window's place, view flags and font in the registry, and hears of new
// traffic and of the browser through window messages.
#ifndef SKEIND_APP_SKEINDLE_TOPWIN_H
#define SKEIND_APP_SKEINDLE_TOPWIN_H

#include <windows.h>

#include <string>
#include <utility>

#include "app/chunked_stack.h"
#include "app/lv_graph_win.h"
#include "app/menu_state.h"
#include "app/tattler.h"
#include "app/undo_stack.h"
#include "observe/page_loader.h"
#include "shell/topwin.h"
#include "store/instance_registry.h"
#include "store/nodedb.h"

class BrowserLink;
class HttpClient;
class ShimListener;

// Private window messages of the main window.
const UINT kTrafficMessage = 0x1401;
const UINT kBrowserMessage = 0x1403;
const UINT kFetchMessage = 0x1405;

const UINT_PTR kPollTimer = 1;
const UINT kPollPeriod = 5000;

// The graph's view flags before the registry's are added, and the bits
// that are kept there.
const uint32_t kDefaultViewFlags = 61;
const uint32_t kStoredViewFlags = 0xFF3F;

// Resources of the main window.
const int kMainMenu = 105;
const int kPopupMenu = 106;
const int kAccelerators = 144;
const int kProgramIcon = 103;

extern const char kMainWindowClass[];

class SkeindleTopwin : public Topwin, public ATattler, public APageSources {
public:
    SkeindleTopwin(HINSTANCE instance, InstanceRegistry* registry);
    ~SkeindleTopwin() override;

    // Makes the frame, the status bar and the map; false when the window
    // class or the frame cannot be made.
    bool Create();
    // Shows the workspace in the map and records this window as the one
    // that has the file open.
    void AttachWorkspace(NodeDb* workspace, const char* file_name);
    // Where new traffic is read from when its message arrives.
    void set_listener(ShimListener* listener) { listener_ = listener; }
    // The browser the map follows and opens pages in; none until start-up
    // has made the link.
    void set_browser_link(BrowserLink* link) { browser_ = link; }
    // Where pages the browser never showed us are read from: the page
    // loader, and the HTTP client it falls back to, reporting to `client`.
    void set_page_fetching(PageLoader* loader, HttpClient* http, AClient* client) {
        loader_ = loader;
        http_ = http;
        client_ = client;
    }
    // Shows the text; an empty one lets the browser's address be shown.
    void ShowStatusText(const char* text) override;

    LvGraphWin& graph() { return graph_; }
    Graph_model& model() { return graph_.model(); }
    UndoStack& undo_stack() { return undo_; }

    // Runs a command of the menus, the accelerators or the popup menu.
    void RunCommand(int id);
    // Sets the items of a menu that is opening from the map's state.
    void ApplyMenuState(HMENU menu);
    // The Open command on a page of the map; `new_window` for Open in New
    // Window.
    void OpenPage(NodeId page, bool new_window);

    // --- ATattler
    void UrlEcho(const char* url, const char* mime, uint32_t window, const char* referrer) override;
    void NewBrowser(uint32_t value) override;
    void LostBrowser(uint32_t value) override;
    void BeginProgress(uint32_t window, const char* text) override;
    void SetProgressRange(uint32_t window, uint32_t maximum) override;
    void MakingProgress(uint32_t window, const char* text, uint32_t amount) override;
    void EndProgress(uint32_t window) override;
    void OpenUrlResult(uint32_t transaction, uint32_t window) override;
    void StatusText(const char* text) override;

    // --- APageSources
    uint32_t SaveToFile(const char* url, const char* file) override;
    int32_t FetchOverNetwork(const char* url) override;
    void RefreshMap() override;

protected:
    LRESULT FrameMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    bool RegisterFrameClass();
    void CreateChildren();
    void ReceiveTraffic();
    void Synchronise(int mode);
    void ShowAddress(const char* url);
    void TimerTick();
    void QueueForLoading(AWorkspace& w, NodeId page);
    void ShowPopupMenu(int x, int y);
    void MenuHelp(UINT item, UINT flags, HMENU menu);
    void Closing();

    // Commands.
    void NewAnnotation();
    void Update(NodeId page);
    void Undo();
    void PickFont();
    void ShowLinksOfCurrent();
    void ShowLinksOf(NodeId page);
    void HideLinksOfCurrent();
    void DeletePages();
    void UnknownCommand(int id);
    MenuFacts GatherMenuFacts();
    void SetUndoItem(HMENU menu, UINT position);
    void SetDeleteItem(HMENU menu, UINT position);

    HINSTANCE instance_;
    InstanceRegistry* registry_;
    LvGraphWin graph_;
    UndoStack undo_;
    ChunkedStack<std::pair<AWorkspace*, NodeId> > pending_loads_;
    uint32_t last_open_window_;  // browser window of the last plain Open
    bool in_menu_;
    ShimListener* listener_;
    BrowserLink* browser_;
    PageLoader* loader_;
    HttpClient* http_;
    AClient* client_;
    bool status_text_shown_;  // a text other than an address is in the status bar
    NodeDb* workspace_;
    std::string file_name_;
};

#endif
