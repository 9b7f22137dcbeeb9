// graphhost: the map window on its own, in a plain frame, until the main
// window exists. It opens (or creates) a workspace, plays a shim script
// into it if one is given, shows the map with the visited sites expanded
// and the last page fetched open, and then listens for the shim's
// datagrams like the program, refreshing the map after each.
//
//   graphhost WORKSPACE [SCRIPT]
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "display/graph_window.h"
#include "observe/datagram.h"
#include "observe/db_client.h"
#include "observe/shim_listener.h"
#include "observe/url.h"
#include "shell/topwin.h"
#include "store/nodedb.h"
#include "tools/shimsend/script.h"

namespace {

class HostGraph : public GraphWindow {
public:
    void OpenPage(AWorkspace*, NodeId node) override { model().SetOpenPage(node); }
};

// Passes observations on to the workspace and remembers the page of the
// last request: the browser shows it now, so the map opens it, as the
// browser's page events will do in the program.
class FollowingClient final : public AClient {
public:
    explicit FollowingClient(DbClient& inner) : inner_(inner), requested(0) {}
    uint32_t Open(uint32_t id, const char* t) override { return inner_.Open(id, t); }
    uint32_t Request(uint32_t id, const char* url, int op) override {
        uint32_t answer = inner_.Request(id, url, op);
        for (int i = 0; i < inner_.count(); ++i)
            if (inner_.slot(i).connection_id == id) requested = inner_.slot(i).page;
        return answer;
    }
    uint32_t Status(uint32_t id, int code) override { return inner_.Status(id, code); }
    uint32_t Base(uint32_t id, const char* url) override { return inner_.Base(id, url); }
    uint32_t MarkPage(uint32_t id, const char* t) override { return inner_.MarkPage(id, t); }
    uint32_t ContentType(uint32_t id, const char* mime) override { return inner_.ContentType(id, mime); }
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        return inner_.Link(id, url, type, extra);
    }
    uint32_t Title(uint32_t id, const char* t, int kind) override { return inner_.Title(id, t, kind); }
    uint32_t Close(uint32_t id) override { return inner_.Close(id); }

private:
    DbClient& inner_;

public:
    NodeId requested;
};

HostGraph* g_graph = 0;
ShimListener* g_listener = 0;
FollowingClient* g_following = 0;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        if (g_graph && g_graph->window()) MoveWindow(g_graph->window(), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
        return 0;
    case kShimMessage:
        if (g_listener && g_listener->Receive() && g_graph) {
            Graph_model& model = g_graph->model();
            model.RefreshChanged();
            if (g_following->requested && g_following->requested != model.open_page()) {
                model.SetOpenPage(g_following->requested);
                model.MakeCurrent(g_following->requested);
            }
        }
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

bool ReadFile(const char* path, std::string* out) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->append(chunk, n);
    fclose(f);
    return true;
}

// Plays the script into the workspace; gives the page of its last
// request, to be shown open.
NodeId PlayScript(const char* path, NodeDb& db) {
    std::string script, error;
    std::vector<ScriptDatagram> datagrams;
    if (!ReadFile(path, &script) || !BuildShimScript(script, &datagrams, &error)) {
        fprintf(stderr, "graphhost: %s: %s\n", path, error.empty() ? "cannot read" : error.c_str());
        return 0;
    }
    DbClient client(&db);
    for (const ScriptDatagram& d : datagrams) DispatchDatagram(d.bytes.data(), d.bytes.size(), client);
    std::string last;
    for (size_t at = 0; (at = script.find("request ", at)) != std::string::npos; at += 8)
        if (at == 0 || script[at - 1] == '\n') last = script.substr(at + 8, script.find_first_of(" \r\n", at + 8) - at - 8);
    UrlBuffer url;
    CanonicalUrl(last.c_str(), &url);
    return last.empty() ? 0 : db.FindNode(url.text, false);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: graphhost WORKSPACE [SCRIPT]\n");
        return 2;
    }
    NodeDb db;
    if (!db.OpenWorkspace(argv[1]) && !db.CreateWorkspace(argv[1])) {
        fprintf(stderr, "graphhost: cannot open or create %s\n", argv[1]);
        return 1;
    }
    NodeId open = argc > 2 ? PlayScript(argv[2], db) : 0;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.lpszClassName = "graphhost-frame";
    RegisterClassA(&wc);
    HWND frame = CreateWindowExA(0, "graphhost-frame", "Skeindle map", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, 0, 0,
                                 wc.hInstance, 0);
    Topwin top(frame);
    HostGraph graph;
    g_graph = &graph;
    RECT client;
    GetClientRect(frame, &client);
    graph.Create(0, 0, client.right, client.bottom, &top);
    LOGFONTA font = {};
    font.lfHeight = -11;
    lstrcpyA(font.lfFaceName, "Tahoma");
    graph.SetGraphFont(font);

    Graph_model& model = graph.model();
    model.SetWorkspace(&db);
    // The visited sites, their groups, sites and pages, a level at a time.
    for (int depth = 0; depth < 3; ++depth)
        for (int row = model.RowCount() - 1; row >= 0; --row)
            if (model.Row(row).depth == depth) model.ShowLinks(row);
    if (open) {
        model.SetOpenPage(open);
        model.MakeCurrent(open);
    }
    graph.ScrollToRow(-1, model.current_row());

    DbClient live(&db);
    FollowingClient following(live);
    g_following = &following;
    ShimListener listener(&following);
    if (listener.Start() && listener.RequestNotification(frame)) g_listener = &listener;

    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_graph = 0;
    g_listener = 0;
    return 0;
}
