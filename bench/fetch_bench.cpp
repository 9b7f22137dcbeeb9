// fetch_bench: how fast the program's own fetches bring pages into a
// workspace. Reads a list of URLs, then for each round makes a fresh
// workspace and fetches every URL with the HTTP client, four at once, each
// response scanned and stored by a DbClient as the program does. Windows
// only; run under Wine against a loopback server (scripts/bench-fetch.sh).
//
//   fetch_bench --urls FILE --workspace PATH [--rounds N] [--discard]
//
// --discard feeds the scanner as usual but drops its reports instead of
// storing them: what is left is the cost of the sockets and the scanning.
#include <windows.h>
#include <winsock2.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "observe/db_client.h"
#include "observe/http_client.h"
#include "store/nodedb.h"

namespace {

const UINT kSocketMessage = WM_APP + 0x51;

struct Options {
    std::string urls;
    std::string workspace;
    int rounds = 3;
    bool discard = false;
};

struct RoundResult {
    int fetches = 0;      // fetches that ran to their end
    int pages = 0;        // of which answered 200
    int not_started = 0;  // URLs the client refused outright
    int links = 0;        // links reported by the scanner
    uint64_t bytes = 0;   // response bytes read, heads included
    double wall = 0;      // seconds
    double cpu = 0;       // seconds of this process, user and kernel
    int nodes = 0;        // in the workspace afterwards: pages and link targets
};

// Passes every report on to the DbClient, counting the ends and the pages
// that came back whole, so that the pump knows when a round is done.
class CountingClient final : public AClient {
public:
    explicit CountingClient(AClient* inner) : inner_(inner) {}

    uint32_t Open(uint32_t id, const char* text) override { return inner_->Open(id, text); }
    uint32_t Request(uint32_t id, const char* url, int op) override { return inner_->Request(id, url, op); }
    uint32_t Status(uint32_t id, int code) override {
        if (code == 200) ++ok;
        return inner_->Status(id, code);
    }
    uint32_t Base(uint32_t id, const char* url) override { return inner_->Base(id, url); }
    uint32_t MarkPage(uint32_t id, const char* text) override { return inner_->MarkPage(id, text); }
    uint32_t ContentType(uint32_t id, const char* mime) override { return inner_->ContentType(id, mime); }
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        ++links;
        return inner_->Link(id, url, type, extra);
    }
    uint32_t Title(uint32_t id, const char* text, int kind) override { return inner_->Title(id, text, kind); }
    uint32_t Close(uint32_t id) override {
        ++closed;
        return inner_->Close(id);
    }

    int ok = 0;
    int closed = 0;
    int links = 0;

private:
    AClient* inner_;
};

double WallSeconds() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 1e7;  // 100 ns units
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : 0;
        if (strcmp(argv[i], "--discard") == 0) {
            options->discard = true;
            continue;
        }
        if (value == 0) return false;
        if (strcmp(argv[i], "--urls") == 0)
            options->urls = value;
        else if (strcmp(argv[i], "--workspace") == 0)
            options->workspace = value;
        else if (strcmp(argv[i], "--rounds") == 0)
            options->rounds = atoi(value);
        else
            return false;
        ++i;
    }
    return !options->urls.empty() && !options->workspace.empty() && options->rounds > 0;
}

bool ReadUrls(const std::string& file, std::vector<std::string>* urls) {
    std::ifstream in(file.c_str());
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) urls->push_back(line);
    }
    return true;
}

// Notifications of sockets closed in an earlier round: a new socket may get
// the same handle.
void DropStaleNotifications() {
    MSG msg;
    while (PeekMessageA(&msg, 0, kSocketMessage, kSocketMessage, PM_REMOVE)) {
    }
}

// Starts fetches from urls[*next] on while a slot is free. A URL refused
// with a slot free is counted and passed over.
void FillSlots(HttpClient& http, const std::vector<std::string>& urls, size_t* next, CountingClient* client,
               HWND window, RoundResult* result) {
    while (*next < urls.size() && http.busy_slots() < kFetchSlots) {
        if (http.Fetch(urls[*next].c_str(), client, 0, window, kSocketMessage) < 0) ++result->not_started;
        ++*next;
    }
}

int CountNodes(NodeDb& db) {
    int n = 0;
    for (NodeId node = db.FirstNode(); node; node = db.NextNode(node)) ++n;
    return n;
}

// One round: a new workspace, every URL fetched, the workspace closed.
bool RunRound(const std::vector<std::string>& urls, const std::string& workspace, bool discard, HWND window,
              RoundResult* result) {
    DeleteFileA(workspace.c_str());
    double wall = WallSeconds();
    double cpu = CpuSeconds();

    NodeDb db;
    if (!db.CreateWorkspace(workspace.c_str())) {
        fprintf(stderr, "fetch_bench: cannot create %s\n", workspace.c_str());
        return false;
    }
    DbClient store(&db);
    QuietClient nowhere;
    CountingClient client(discard ? (AClient*)&nowhere : &store);
    HttpClient http;
    size_t next = 0;
    FillSlots(http, urls, &next, &client, window, result);
    while (next < urls.size() || http.busy_slots() > 0) {
        MsgWaitForMultipleObjects(0, 0, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            if (msg.message != kSocketMessage) {
                DispatchMessageA(&msg);
                continue;
            }
            http.Notify(msg.wParam, msg.lParam);
            FillSlots(http, urls, &next, &client, window, result);
        }
        http.CloseIdle();
        FillSlots(http, urls, &next, &client, window, result);
    }
    result->bytes = http.bytes_received();
    db.Close();

    result->wall = WallSeconds() - wall;
    result->cpu = CpuSeconds() - cpu;
    result->fetches = client.closed;
    result->pages = client.ok;
    result->links = client.links;

    // Counted after the clock stops: opening the file again is no part of
    // fetching.
    NodeDb check;
    if (check.OpenWorkspace(workspace.c_str())) {
        result->nodes = CountNodes(check);
        check.Close();
    }
    DropStaleNotifications();
    return true;
}

void PrintRound(const char* label, const RoundResult& r) {
    int per = r.fetches > 0 ? r.fetches : 1;
    printf("%-7s pages %d/%d  wall %.3f s  %.1f pages/s  %.2f MB/s  cpu %.3f s = %.3f ms/page  links %d  nodes %d",
           label, r.pages, r.fetches, r.wall, r.fetches / r.wall, r.bytes / 1e6 / r.wall, r.cpu, r.cpu * 1000 / per,
           r.links, r.nodes);
    if (r.not_started) printf("  not started %d", r.not_started);
    printf("\n");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        fprintf(stderr, "usage: fetch_bench --urls FILE --workspace PATH [--rounds N] [--discard]\n");
        return 2;
    }
    std::vector<std::string> urls;
    if (!ReadUrls(options.urls, &urls)) {
        fprintf(stderr, "fetch_bench: cannot read %s\n", options.urls.c_str());
        return 1;
    }
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    if (window == 0) return 1;

    std::vector<RoundResult> rounds;
    bool all_fetched = true;
    for (int i = 0; i < options.rounds; ++i) {
        RoundResult r;
        if (!RunRound(urls, options.workspace, options.discard, window, &r)) return 1;
        if (r.not_started || r.pages != (int)urls.size()) all_fetched = false;
        char label[16];
        snprintf(label, sizeof label, "round %d", i + 1);
        PrintRound(label, r);
        rounds.push_back(r);
    }
    // The median round by wall time; with an even count, the slower middle.
    std::sort(rounds.begin(), rounds.end(), [](const RoundResult& a, const RoundResult& b) { return a.wall < b.wall; });
    PrintRound("median", rounds[rounds.size() / 2]);
    DestroyWindow(window);
    DeleteFileA(options.workspace.c_str());
    return all_fetched ? 0 : 1;
}
