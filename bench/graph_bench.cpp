// Timings of the graph model's operations on a large map: a workspace of
// 100,000 pages with about half a million random links, and a display of
// about 10,000 rows. Each operation should stay well inside a 16 ms frame.
// See bench/README.md for how to run it and for recorded figures.
//
// The workspace file goes to $SKEIND_BENCH_DIR, else /dev/shm when it
// exists, else /tmp, and is removed at exit.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "display/graph_model.h"
#include "store/node_ref.h"
#include "store/nodedb.h"

namespace {

const int kPages = 100000;
const int kLinksPerPage = 5;
const int kPinnedRoots = 200;
const int kShownRows = 10000;
const int kRefreshHubs = 600;
const int kLinksPerDatagram = 20;

std::string BenchDir() {
    const char* dir = getenv("SKEIND_BENCH_DIR");
    if (dir && *dir) return dir;
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) return "/dev/shm";
    return "/tmp";
}

// Labels measured as a fixed-pitch font would be; nothing drawn.
class QuietHost final : public AGraphHost {
public:
    int MeasureLabel(const char* text) override { return 7 * (int)strlen(text); }
    void BeginBusy() override {}
    void EndBusy() override {}
    void ShowStatusText(const char*) override {}
    void ScrollToRow(int, int) override {}
    void ToggleFocusMark() override {}
    void Repaint() override {}
};

// The map shared by every benchmark: the random graph, and beside it small
// private structures that the benchmarks can change and put back.
class World {
public:
    World() : model(host), rng(16659), made(0) {}
    ~World() {
        model.SetWorkspace(0);
        db.Close();
        unlink(name.c_str());
    }
    bool Build();
    // The display of about kShownRows rows, always built the same way.
    void ResetDisplay();
    NodeId NewPage(const std::string& url) { return db.FindNode(url.c_str(), true); }

    QuietHost host;
    NodeDb db;
    Graph_model model;
    std::mt19937 rng;
    std::string name;
    std::vector<NodeId> pages;
    std::vector<NodeId> refresh_hubs;  // pinned, no links: expanded rows
    NodeId insert_hub;                 // pinned, links to 20 private pages
    NodeId mover_a, mover_b;           // pinned, both link to the same 20 pages
    NodeId chain_top, chain_end;       // pinned top, then 3 pages, then the end
    int made;
};

bool World::Build() {
    char file[64];
    snprintf(file, sizeof file, "/skeind-graph-bench-%ld.sk1", (long)getpid());
    name = BenchDir() + file;
    if (!db.CreateWorkspace(name.c_str())) return false;
    for (int i = 0; i < kPages; ++i) {
        char url[96];
        snprintf(url, sizeof url, "http://s%d.example.com/d%d/p%d.html", i % 97, i % 13, i);
        pages.push_back(NewPage(url));
    }
    for (int i = 0; i < kPages; ++i)
        for (int k = 0; k < kLinksPerPage; ++k)
            db.AddLink(pages[(size_t)i], pages[rng() % kPages], k == 4 ? LinkInclude : LinkAnchor);
    for (int i = 0; i < kPinnedRoots; ++i) db.SetFlags(pages[(size_t)i * (kPages / kPinnedRoots)], Pinned);

    for (int i = 0; i < kRefreshHubs; ++i) {
        NodeId hub = NewPage("http://r-hub/" + std::to_string(i));
        db.SetFlags(hub, Pinned);
        refresh_hubs.push_back(hub);
    }
    insert_hub = NewPage("http://b-hub/");
    db.SetFlags(insert_hub, Pinned);
    for (int i = 0; i < kLinksPerDatagram; ++i) db.AddLink(insert_hub, NewPage("http://b-hub/" + std::to_string(i)), 1);

    mover_a = NewPage("http://a-mover/");
    mover_b = NewPage("http://z-mover/");
    db.SetFlags(mover_a, Pinned);
    db.SetFlags(mover_b, Pinned);
    for (int i = 0; i < kLinksPerDatagram; ++i) {
        NodeId shared = NewPage("http://m-shared/" + std::to_string(i));
        db.AddLink(mover_a, shared, LinkAnchor);
        db.AddLink(mover_b, shared, LinkAnchor);
        for (int k = 0; k < 3; ++k)
            db.AddLink(shared, NewPage("http://m-shared/" + std::to_string(i) + "/" + std::to_string(k)), 1);
    }

    chain_top = NewPage("http://c-chain/");
    db.SetFlags(chain_top, Pinned);
    NodeId above = chain_top;
    for (int i = 1; i <= 4; ++i) {
        NodeId next = NewPage("http://c-chain/" + std::to_string(i));
        db.AddLink(above, next, LinkAnchor);
        above = next;
    }
    chain_end = above;
    return true;
}

void World::ResetDisplay() {
    model.SetWorkspace(&db);
    model.ShowLinks(model.RowOf(mover_a));
    int a = model.RowOf(mover_a);
    for (int i = a + 1; i < model.RowCount() && model.Row(i).depth > 0; ++i) model.ShowLinks(i);
    // Grow from the top: the links of each row of the random graph in turn.
    for (int i = 0; i < model.RowCount() && model.RowCount() < kShownRows; ++i) {
        NodeId n = model.Row(i).node();
        bool kept_apart = n == insert_hub || n == chain_top || n == mover_b;
        if (!kept_apart && !model.Row(i).expanded()) model.ShowLinks(i);
    }
    // A current page deep in the display and an open page with its links.
    model.MakeCurrent(model.Row(model.RowCount() * 2 / 3).node());
    model.SetOpenPage(model.Row(model.RowCount() / 3).node());
}

World* TheWorld(benchmark::State& state) {
    static World* world = 0;
    if (world == 0) {
        world = new World;
        if (!world->Build()) {
            state.SkipWithError("cannot create the workspace");
            return 0;
        }
        world->ResetDisplay();
        atexit([] { delete world; });
    }
    return world;
}

void Report(benchmark::State& state, World& w) { state.counters["rows"] = w.model.RowCount(); }

// Show links of a row whose 20 linked pages have no rows: 20 inserts.
void BM_ShowLinks(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    for (auto _ : state) {
        w->model.ShowLinks(w->model.RowOf(w->insert_hub));
        state.PauseTiming();
        w->model.HideLinks(w->model.RowOf(w->insert_hub));
        state.ResumeTiming();
    }
    Report(state, *w);
}
BENCHMARK(BM_ShowLinks)->Unit(benchmark::kMillisecond);

// Show links of a row whose 20 linked pages are shown, with children,
// under another row at the other end of the display: 20 subtree moves.
void BM_ShowLinksMovingPages(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    bool to_b = true;
    for (auto _ : state) {
        w->model.ShowLinks(w->model.RowOf(to_b ? w->mover_b : w->mover_a));
        to_b = !to_b;
    }
    Report(state, *w);
}
BENCHMARK(BM_ShowLinksMovingPages)->Unit(benchmark::kMillisecond);

// A page four links below a shown row, through pages only it links to:
// the reachability test over every node, the search, four inserts.
void BM_EnsureShownNear(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    for (auto _ : state) {
        w->model.EnsureShown(w->chain_end);
        state.PauseTiming();
        w->model.HideLinks(w->model.RowOf(w->chain_top));
        state.ResumeTiming();
    }
    Report(state, *w);
}
BENCHMARK(BM_EnsureShownNear)->Unit(benchmark::kMillisecond);

// A random page of the big graph that has no row: the search backwards
// visits every page within 20 links, which here is most of the graph.
void BM_EnsureShownRandomPage(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    std::mt19937 pick(7);
    for (auto _ : state) {
        state.PauseTiming();
        NodeId page = w->pages[pick() % kPages];
        while (w->model.HasRow(page)) page = w->pages[pick() % kPages];
        state.ResumeTiming();
        w->model.EnsureShown(page);
    }
    Report(state, *w);
    // How many pages the last search reached.
    int searched = 0;
    for (NodeId n = w->db.FirstNode(); n != 0; n = w->db.NextNode(n))
        if (w->model.Mark(n) != MarkUnvisited) ++searched;
    state.counters["searched"] = searched;
    // The workspace's memory beside the file, the search's mirror included.
    state.counters["index_bytes_per_page"] = (double)w->db.IndexBytes() / (double)kPages;
    w->ResetDisplay();
}
BENCHMARK(BM_EnsureShownRandomPage)->Unit(benchmark::kMillisecond)->Iterations(200);

// Tidy a display of 10,000 rows down to the pinned pages, the current page
// and the open page with its links.
void BM_Tidy(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    for (auto _ : state) {
        state.PauseTiming();
        w->ResetDisplay();
        state.ResumeTiming();
        w->model.Tidy();
    }
    Report(state, *w);
    w->ResetDisplay();
}
BENCHMARK(BM_Tidy)->Unit(benchmark::kMillisecond)->Iterations(10);

// A datagram's worth of changes, untimed: a page gets 20 links to new pages
// and another shown page a new title. Timed: the refresh that follows.
void BM_RefreshChanged(benchmark::State& state) {
    World* w = TheWorld(state);
    if (!w) return;
    size_t next_hub = 0;
    w->model.RefreshChanged();
    for (auto _ : state) {
        state.PauseTiming();
        NodeId hub = w->refresh_hubs[next_hub++ % w->refresh_hubs.size()];
        for (int i = 0; i < kLinksPerDatagram; ++i)
            NodeRef(w->db, hub).LinkTo(w->db, w->NewPage("http://new/" + std::to_string(w->made++)), LinkAnchor);
        w->db.Touch(hub);
        NodeId titled = w->model.Row(w->model.RowCount() / 2).node();
        NodeRef(w->db, titled).SetTitleText(("Title " + std::to_string(w->made)).c_str(), false);
        state.ResumeTiming();
        w->model.RefreshChanged();
        state.PauseTiming();
        w->model.HideLinks(w->model.RowOf(hub));
        state.ResumeTiming();
    }
    Report(state, *w);
}
BENCHMARK(BM_RefreshChanged)->Unit(benchmark::kMillisecond)->Iterations(kRefreshHubs);

}  // namespace

BENCHMARK_MAIN();
