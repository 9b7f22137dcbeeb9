// paint_bench: how long a full repaint of the map window takes with
// 10,000 rows shown out of a workspace of 100,000 pages. Windows only; run
// under Wine in a virtual display (see bench/README.md).
//
//   paint_bench [repaints]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/graph_window.h"
#include "shell/topwin.h"
#include "store/nodedb.h"

namespace {

class BenchGraph : public GraphWindow {
public:
    void OpenPage(AWorkspace*, NodeId) override {}
};

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

}  // namespace

int main(int argc, char** argv) {
    int repaints = argc > 1 ? atoi(argv[1]) : 50;
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    std::string file = std::string(path) + "paint-bench.sk1";
    NodeDb db;
    if (!db.Create(file.c_str())) return 1;
    // 100 pinned hubs of 100 pages each are shown (10,000 rows); 90,000
    // more pages hang off them unseen.
    std::vector<NodeId> hubs;
    char url[96];
    for (int h = 0; h < 100; ++h) {
        snprintf(url, sizeof url, "http://site%d.example/", h);
        NodeId hub = db.FindNode(url, true);
        db.SetTitle(hub, "A site of the benchmark with a title of some length");
        hubs.push_back(hub);
        for (int p = 0; p < 1000; ++p) {
            snprintf(url, sizeof url, "http://site%d.example/page%d.html", h, p);
            NodeId page = db.FindNode(url, true);
            if (p < 99) db.AddLink(hub, page, p % 7 == 0 ? LinkRedirect : LinkAnchor);
        }
        db.SetFlags(hub, Pinned);
    }
    HWND frame = CreateWindowExA(0, "STATIC", "paint bench", WS_OVERLAPPEDWINDOW, 0, 0, 820, 640, 0, 0, 0, 0);
    ShowWindow(frame, SW_SHOW);
    Topwin top(frame);
    BenchGraph graph;
    graph.Create(0, 0, 800, 600, &top);
    LOGFONTA font = {};
    font.lfHeight = -11;
    lstrcpyA(font.lfFaceName, "Tahoma");
    graph.SetGraphFont(font);
    Graph_model& model = graph.model();
    model.SetWorkspace(&db);
    for (int row = model.RowCount() - 1; row >= 0; --row) model.ShowLinks(row);
    graph.ScrollToRow(-1, model.RowCount() / 2);

    RECT client;
    GetClientRect(graph.window(), &client);
    HDC dc = GetDC(graph.window());
    std::vector<double> ms;
    for (int i = 0; i < repaints; ++i) {
        double t = Now();
        graph.Paint(dc, FALSE, client);
        GdiFlush();
        ms.push_back((Now() - t) * 1000);
    }
    ReleaseDC(graph.window(), dc);
    std::sort(ms.begin(), ms.end());
    printf("%d rows of %u pages, client %ldx%ld: full repaint median %.2f ms (min %.2f, max %.2f) over %d\n",
           model.RowCount(), 100 * 1000, client.right, client.bottom, ms[ms.size() / 2], ms.front(), ms.back(),
           repaints);
    model.SetWorkspace(0);
    db.Close();
    DeleteFileA(file.c_str());
    return 0;
}
