// The workspace beside the stores a user would pick instead, on the same
// data in one run: a million URLs shaped like real ones, about five links
// each. Each phase is timed once per round; the table gives the median of
// the rounds and the spread (min–max).
//
//   workspace_compare [pages] [rounds] [--workspace-only] [--html DIR]...
// Each store runs in a process of its own: the program starts itself again
// as `workspace_compare --run STORE DATA PATH FD`.
#include <fcntl.h>
#include <lmdb.h>
#include <sqlite3.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/html_link_graph.h"
#include "store/check.h"
#include "store/nodedb.h"

namespace {

typedef std::chrono::steady_clock Clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// URLs like those a browser meets: a few thousand hosts, paths of a few
// segments, some queries. Deterministic for a seed.
std::vector<std::string> MakeUrls(size_t n, unsigned seed) {
    static const char* const tlds[] = {"com", "org", "net", "de", "co.uk", "edu", "io", "fr"};
    static const char* const words[] = {"news", "docs", "index", "about",  "products", "2024",  "blog",   "images",
                                        "api",  "help", "en",    "search", "archive",  "users", "static", "article"};
    std::mt19937 rng(seed);
    std::vector<std::string> urls;
    urls.reserve(n);
    char buf[256];
    while (urls.size() < n) {
        unsigned host = rng() % 5000;
        int len = snprintf(buf, sizeof buf, "http://www.site%u.%s/", host, tlds[host % 8]);
        int depth = 1 + rng() % 4;
        for (int d = 0; d < depth; ++d)
            len += snprintf(buf + len, sizeof buf - len, "%s%s", words[rng() % 16], d + 1 < depth ? "/" : "");
        len += snprintf(buf + len, sizeof buf - len, "-%u.html", (unsigned)(rng() % 100000));
        if (rng() % 8 == 0) snprintf(buf + len, sizeof buf - len, "?id=%u", (unsigned)(rng() % 1000));
        urls.push_back(buf);
    }
    std::sort(urls.begin(), urls.end());
    urls.erase(std::unique(urls.begin(), urls.end()), urls.end());
    std::shuffle(urls.begin(), urls.end(), rng);
    return urls;
}

struct Phases {
    double create = 0, link = 0, lookup = 0, walk = 0, remove = 0, check = 0;
    size_t file_bytes = 0;
    double resident_mib = 0;         // growth of the peak resident size while the store ran
    double index_bytes = 0;          // the workspace's in-memory indexes after the lookups
    double checked_index_bytes = 0;  // and after the check, which makes them all
};

// About five links per page, mostly to pages of the same neighbourhood.
std::vector<std::pair<uint32_t, uint32_t>> MakeLinks(size_t pages, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::pair<uint32_t, uint32_t>> links;
    links.reserve(pages * 5);
    for (uint32_t i = 0; i < pages; ++i)
        for (int k = 0; k < 5; ++k) {
            uint32_t j = (uint32_t)((i + 1 + rng() % 2000) % pages);
            bool again = false;  // distinct pairs, so every store holds the same links
            for (size_t m = links.size() - k; m < links.size(); ++m) again |= links[m].second == j;
            if (again) {
                --k;
                continue;
            }
            links.push_back({i, j});
        }
    return links;
}

// Disc space taken, not the nominal size: LMDB's file is as large as its
// map but sparse.
size_t FileSize(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0;
    return (size_t)st.st_blocks * 512;
}

void FlushFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) abort();
    fsync(fd);
    close(fd);
}

// The program finds or makes a page's links a batch at a time (FindNodes);
// `one_at_a_time` makes each URL on its own (FindNode), as a lone request
// does.
Phases RunWorkspaceWith(const std::vector<std::string>& urls, const std::vector<std::pair<uint32_t, uint32_t>>& links,
                        const std::string& path, bool one_at_a_time) {
    Phases p;
    unlink(path.c_str());
    NodeDb db;
    if (!db.Create(path.c_str())) abort();
    std::vector<NodeId> ids(urls.size());
    std::vector<const char*> texts(urls.size());
    for (size_t i = 0; i < urls.size(); ++i) texts[i] = urls[i].c_str();
    Clock::time_point t = Clock::now();
    if (one_at_a_time) {
        for (size_t i = 0; i < urls.size(); ++i) ids[i] = db.FindNode(texts[i], true);
    } else {
        db.FindNodes(texts.data(), texts.size(), ids.data());
    }
    p.create = Seconds(t);

    t = Clock::now();
    for (auto& l : links) db.AddLink(ids[l.first], ids[l.second], LinkAnchor);
    p.link = Seconds(t);

    t = Clock::now();
    size_t found = 0;
    for (size_t i = 0; i < urls.size(); i += 1) found += db.FindNode(urls[i].c_str(), false) != 0;
    p.lookup = Seconds(t);
    if (found != urls.size()) abort();
    p.index_bytes = (double)db.IndexBytes();

    t = Clock::now();
    size_t walked = 0, out = 0;
    for (NodeId n = db.FirstNode(); n; n = db.NextNode(n)) {
        ++walked;
        for (LinkId l = db.FirstOut(n); l; l = db.NextLink(l)) ++out;
    }
    p.walk = Seconds(t);
    if (walked != urls.size() || out != links.size()) abort();

    t = Clock::now();
    for (size_t i = 0; i < urls.size(); i += 10) db.SetFlags(ids[i], Deleted);  // marks, as Delete does
    db.Purge();
    p.remove = Seconds(t);

    // As at start-up: the file opened afresh, then checked. A program
    // starts on a file its last run wrote out long before; the flush keeps
    // the kernel's write-back of this run's writes out of the check's time.
    db.Close();
    FlushFile(path);
    t = Clock::now();
    if (!db.Open(path.c_str())) abort();
    VRStatus status(0);
    if (!CheckWorkspaceFile(db, status)) abort();
    p.check = Seconds(t);
    p.checked_index_bytes = (double)db.IndexBytes();
    db.Close();
    p.file_bytes = FileSize(path);
    return p;
}

Phases RunWorkspace(const std::vector<std::string>& urls, const std::vector<std::pair<uint32_t, uint32_t>>& links,
                    const std::string& path) {
    return RunWorkspaceWith(urls, links, path, false);
}

Phases RunWorkspaceOneAtATime(const std::vector<std::string>& urls,
                              const std::vector<std::pair<uint32_t, uint32_t>>& links, const std::string& path) {
    return RunWorkspaceWith(urls, links, path, true);
}

void Must(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        abort();
    }
}

// SQLite as it is usually used for such a map: a page table keyed by URL
// (unique index), a link table with its primary key, one transaction per
// phase, WAL journal, synchronous off (the workspace does not sync either).
Phases RunSqlite(const std::vector<std::string>& urls, const std::vector<std::pair<uint32_t, uint32_t>>& links,
                 const std::string& path) {
    Phases p;
    unlink(path.c_str());
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    sqlite3* db;
    Must(sqlite3_open(path.c_str(), &db), db);
    Must(sqlite3_exec(db,
                      "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF;"
                      "CREATE TABLE page(id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, flags INTEGER DEFAULT 0);"
                      "CREATE TABLE link(src INTEGER, dst INTEGER, kind INTEGER,"
                      " PRIMARY KEY(src, dst, kind)) WITHOUT ROWID;"
                      "CREATE INDEX link_dst ON link(dst);",
                      0, 0, 0),
         db);
    sqlite3_stmt *find, *insert, *add;
    Must(sqlite3_prepare_v2(db, "SELECT id FROM page WHERE url = ?", -1, &find, 0), db);
    Must(sqlite3_prepare_v2(db, "INSERT INTO page(url) VALUES(?)", -1, &insert, 0), db);
    Must(sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO link VALUES(?, ?, 1)", -1, &add, 0), db);
    std::vector<int64_t> ids(urls.size());

    Clock::time_point t = Clock::now();
    Must(sqlite3_exec(db, "BEGIN", 0, 0, 0), db);
    for (size_t i = 0; i < urls.size(); ++i) {
        sqlite3_bind_text(find, 1, urls[i].c_str(), -1, SQLITE_STATIC);
        if (sqlite3_step(find) == SQLITE_ROW) {
            ids[i] = sqlite3_column_int64(find, 0);
        } else {
            sqlite3_bind_text(insert, 1, urls[i].c_str(), -1, SQLITE_STATIC);
            Must(sqlite3_step(insert), db);
            sqlite3_reset(insert);
            ids[i] = sqlite3_last_insert_rowid(db);
        }
        sqlite3_reset(find);
    }
    Must(sqlite3_exec(db, "COMMIT", 0, 0, 0), db);
    p.create = Seconds(t);

    t = Clock::now();
    Must(sqlite3_exec(db, "BEGIN", 0, 0, 0), db);
    for (auto& l : links) {
        sqlite3_bind_int64(add, 1, ids[l.first]);
        sqlite3_bind_int64(add, 2, ids[l.second]);
        Must(sqlite3_step(add), db);
        sqlite3_reset(add);
    }
    Must(sqlite3_exec(db, "COMMIT", 0, 0, 0), db);
    p.link = Seconds(t);

    t = Clock::now();
    size_t found = 0;
    for (size_t i = 0; i < urls.size(); ++i) {
        sqlite3_bind_text(find, 1, urls[i].c_str(), -1, SQLITE_STATIC);
        found += sqlite3_step(find) == SQLITE_ROW;
        sqlite3_reset(find);
    }
    p.lookup = Seconds(t);
    if (found != urls.size()) abort();

    t = Clock::now();
    sqlite3_stmt *pages, *outs;
    Must(sqlite3_prepare_v2(db, "SELECT id FROM page ORDER BY url", -1, &pages, 0), db);
    Must(sqlite3_prepare_v2(db, "SELECT dst, kind FROM link WHERE src = ?", -1, &outs, 0), db);
    size_t walked = 0, out = 0;
    while (sqlite3_step(pages) == SQLITE_ROW) {
        ++walked;
        sqlite3_bind_int64(outs, 1, sqlite3_column_int64(pages, 0));
        while (sqlite3_step(outs) == SQLITE_ROW) ++out;
        sqlite3_reset(outs);
    }
    sqlite3_finalize(pages);
    sqlite3_finalize(outs);
    p.walk = Seconds(t);
    if (walked != urls.size() || out != links.size()) abort();

    t = Clock::now();
    Must(sqlite3_exec(db,
                      "BEGIN; DELETE FROM link WHERE src % 10 = 1 OR dst % 10 = 1;"
                      "DELETE FROM page WHERE id % 10 = 1; COMMIT;",
                      0, 0, 0),
         db);
    p.remove = Seconds(t);

    t = Clock::now();
    Must(sqlite3_exec(db, "PRAGMA quick_check", 0, 0, 0), db);
    p.check = Seconds(t);
    sqlite3_finalize(find);
    sqlite3_finalize(insert);
    sqlite3_finalize(add);
    sqlite3_close(db);
    p.file_bytes = FileSize(path) + FileSize(path + "-wal");
    return p;
}

void MustMdb(int rc) {
    if (rc != MDB_SUCCESS) {
        fprintf(stderr, "lmdb: %s\n", mdb_strerror(rc));
        abort();
    }
}

// LMDB with the usual layout: url → id, and a sorted-duplicates table
// src → (dst, kind). One write transaction per phase, no sync.
Phases RunLmdb(const std::vector<std::string>& urls, const std::vector<std::pair<uint32_t, uint32_t>>& links,
               const std::string& path) {
    Phases p;
    unlink(path.c_str());
    unlink((path + "-lock").c_str());
    MDB_env* env;
    MustMdb(mdb_env_create(&env));
    MustMdb(mdb_env_set_mapsize(env, (size_t)8 << 30));
    MustMdb(mdb_env_set_maxdbs(env, 4));
    MustMdb(mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | MDB_WRITEMAP, 0644));
    MDB_txn* txn;
    MDB_dbi by_url, out_links;
    MustMdb(mdb_txn_begin(env, 0, 0, &txn));
    MustMdb(mdb_dbi_open(txn, "url", MDB_CREATE, &by_url));
    MustMdb(mdb_dbi_open(txn, "out", MDB_CREATE | MDB_DUPSORT | MDB_DUPFIXED | MDB_INTEGERKEY, &out_links));
    MustMdb(mdb_txn_commit(txn));
    std::vector<uint32_t> ids(urls.size());

    Clock::time_point t = Clock::now();
    MustMdb(mdb_txn_begin(env, 0, 0, &txn));
    uint32_t next_id = 1;
    for (size_t i = 0; i < urls.size(); ++i) {
        MDB_val k = {urls[i].size(), (void*)urls[i].data()}, v;
        if (mdb_get(txn, by_url, &k, &v) == MDB_SUCCESS) {
            memcpy(&ids[i], v.mv_data, 4);
        } else {
            ids[i] = next_id++;
            v.mv_size = 4;
            v.mv_data = &ids[i];
            MustMdb(mdb_put(txn, by_url, &k, &v, 0));
        }
    }
    MustMdb(mdb_txn_commit(txn));
    p.create = Seconds(t);

    t = Clock::now();
    MustMdb(mdb_txn_begin(env, 0, 0, &txn));
    for (auto& l : links) {
        uint32_t src = ids[l.first];
        uint32_t target = ids[l.second] << 6 | 1;
        MDB_val k = {4, &src}, v = {4, &target};
        int rc = mdb_put(txn, out_links, &k, &v, MDB_NODUPDATA);
        if (rc != MDB_KEYEXIST) MustMdb(rc);
    }
    MustMdb(mdb_txn_commit(txn));
    p.link = Seconds(t);

    t = Clock::now();
    MustMdb(mdb_txn_begin(env, 0, MDB_RDONLY, &txn));
    size_t found = 0;
    for (size_t i = 0; i < urls.size(); ++i) {
        MDB_val k = {urls[i].size(), (void*)urls[i].data()}, v;
        found += mdb_get(txn, by_url, &k, &v) == MDB_SUCCESS;
    }
    p.lookup = Seconds(t);
    if (found != urls.size()) abort();

    t = Clock::now();
    MDB_cursor *pages, *outs;
    MustMdb(mdb_cursor_open(txn, by_url, &pages));
    MustMdb(mdb_cursor_open(txn, out_links, &outs));
    size_t walked = 0, out = 0;
    MDB_val k, v;
    for (int rc = mdb_cursor_get(pages, &k, &v, MDB_FIRST); rc == 0; rc = mdb_cursor_get(pages, &k, &v, MDB_NEXT)) {
        ++walked;
        MDB_val sk = {4, v.mv_data}, sv;
        for (int r = mdb_cursor_get(outs, &sk, &sv, MDB_SET_KEY); r == 0;
             r = mdb_cursor_get(outs, &sk, &sv, MDB_NEXT_DUP))
            ++out;
    }
    mdb_cursor_close(pages);
    mdb_cursor_close(outs);
    mdb_txn_abort(txn);
    p.walk = Seconds(t);
    if (walked != urls.size() || out != links.size()) abort();

    t = Clock::now();
    MustMdb(mdb_txn_begin(env, 0, 0, &txn));
    for (size_t i = 0; i < urls.size(); i += 10) {
        MDB_val uk = {urls[i].size(), (void*)urls[i].data()};
        MDB_val ik = {4, &ids[i]};
        mdb_del(txn, by_url, &uk, 0);
        mdb_del(txn, out_links, &ik, 0);
    }
    MustMdb(mdb_txn_commit(txn));
    p.remove = Seconds(t);
    p.check = -1;  // LMDB has no consistency check of its own
    mdb_env_close(env);
    p.file_bytes = FileSize(path);
    return p;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Row(const char* what, const std::vector<Phases>& runs, double Phases::*field) {
    std::vector<double> v;
    for (const Phases& p : runs) v.push_back(p.*field);
    if (v[0] < 0) {
        printf(" | —");
        return;
    }
    printf(" | %.3f (%.3f–%.3f)", Median(v), *std::min_element(v.begin(), v.end()),
           *std::max_element(v.begin(), v.end()));
    (void)what;
}

typedef Phases (*StoreRun)(const std::vector<std::string>&, const std::vector<std::pair<uint32_t, uint32_t>>&,
                           const std::string&);

// The data set as a file, so that each store's process can read it.
void SaveDataSet(const std::string& file, const std::vector<std::string>& urls,
                 const std::vector<std::pair<uint32_t, uint32_t>>& links) {
    FILE* f = fopen(file.c_str(), "wb");
    if (!f) abort();
    uint64_t counts[2] = {urls.size(), links.size()};
    fwrite(counts, sizeof counts, 1, f);
    for (const std::string& u : urls) {
        uint32_t n = (uint32_t)u.size();
        fwrite(&n, sizeof n, 1, f);
        fwrite(u.data(), 1, n, f);
    }
    if (!links.empty()) fwrite(links.data(), sizeof links[0], links.size(), f);
    if (fclose(f) != 0) abort();
}

void LoadDataSet(const std::string& file, std::vector<std::string>* urls,
                 std::vector<std::pair<uint32_t, uint32_t>>* links) {
    FILE* f = fopen(file.c_str(), "rb");
    if (!f) abort();
    uint64_t counts[2];
    if (fread(counts, sizeof counts, 1, f) != 1) abort();
    urls->resize(counts[0]);
    for (std::string& u : *urls) {
        uint32_t n;
        if (fread(&n, sizeof n, 1, f) != 1) abort();
        u.resize(n);
        if (n && fread(&u[0], 1, n, f) != n) abort();
    }
    links->resize(counts[1]);
    if (counts[1] && fread(links->data(), sizeof(*links)[0], counts[1], f) != counts[1]) abort();
    fclose(f);
}

// The stores compared, in the order each round runs them, with the
// suffix of the file each writes.
struct Store {
    const char* name;
    StoreRun run;
    const char* suffix;
};
const Store kStores[] = {{"workspace", RunWorkspace, ".sk1"},
                         {"workspace, one URL at a time", RunWorkspaceOneAtATime, ".1.sk1"},
                         {"SQLite", RunSqlite, ".sqlite"},
                         {"LMDB", RunLmdb, ".mdb"}};

// Each store runs in a fresh process of its own (started again from this
// program), so that its peak resident size is its own and it inherits no
// heap: a forked child of the process that built the data set shares that
// process's heap, and its first allocations copied thousands of the
// parent's pages (about 0.1 s on the documentation graph).
Phases RunApart(const char* store, const std::string& data, const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) abort();
    pid_t child = fork();
    if (child < 0) abort();
    if (child == 0) {
        close(fds[0]);
        char fd[16];
        snprintf(fd, sizeof fd, "%d", fds[1]);
        execl("/proc/self/exe", "workspace_compare", "--run", store, data.c_str(), path.c_str(), fd, (char*)0);
        _exit(127);
    }
    close(fds[1]);
    Phases p;
    ssize_t got = read(fds[0], &p, sizeof p);
    close(fds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || got != (ssize_t)sizeof p || status != 0) abort();
    return p;
}

// workspace_compare --run STORE DATA PATH FD: one store's round, its
// phases written to FD.
int RunOneStore(char** argv) {
    std::vector<std::string> urls;
    std::vector<std::pair<uint32_t, uint32_t>> links;
    LoadDataSet(argv[1], &urls, &links);
    for (const Store& store : kStores) {
        if (strcmp(argv[0], store.name) != 0) continue;
        struct rusage before;
        getrusage(RUSAGE_SELF, &before);
        Phases p = store.run(urls, links, argv[2]);
        struct rusage after;
        getrusage(RUSAGE_SELF, &after);
        // What the store added to the process that holds the data set.
        p.resident_mib = (double)(after.ru_maxrss - before.ru_maxrss) / 1024.0;  // kilobytes on Linux
        return write(atoi(argv[3]), &p, sizeof p) == (ssize_t)sizeof p ? 0 : 1;
    }
    return 2;
}

}  // namespace

// workspace_compare [PAGES [ROUNDS]] [--workspace-only] [--html DIR]...
//   PAGES synthetic URLs (1,000,000), or with --html the link graph of the
//   .html files under each DIR (PAGES then caps the files read).
int main(int argc, char** argv) {
    if (argc == 6 && strcmp(argv[1], "--run") == 0) return RunOneStore(argv + 2);
    size_t pages = 1000000;
    int rounds = 3;
    bool only_workspace = false;  // for profiling the workspace alone
    std::vector<std::string> roots;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--workspace-only") == 0)
            only_workspace = true;
        else if (strcmp(argv[i], "--html") == 0 && i + 1 < argc)
            roots.push_back(argv[++i]);
        else if (positional++ == 0)
            pages = (size_t)atol(argv[i]);
        else
            rounds = atoi(argv[i]);
    }
    std::vector<std::string> urls;
    std::vector<std::pair<uint32_t, uint32_t>> links;
    if (roots.empty()) {
        urls = MakeUrls(pages, 42);
        links = MakeLinks(urls.size(), 43);
        printf("Synthetic URLs. ");
    } else {
        LinkGraph graph = LoadHtmlLinkGraph(roots, pages);
        urls.swap(graph.urls);
        links.swap(graph.links);
        printf("The link graph of %zu HTML files. ", graph.pages);
    }
    size_t bytes = 0;
    for (auto& u : urls) bytes += u.size();
    printf("%zu URLs (mean %.1f characters), %zu links, %d rounds; seconds: median (min–max)\n\n", urls.size(),
           (double)bytes / urls.size(), links.size(), rounds);

    const char* dir = getenv("TMPDIR") && *getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
    std::string base = std::string(dir) + "/skeind-compare-" + std::to_string(getpid());
    std::string data = base + ".data";
    SaveDataSet(data, urls, links);
    std::map<std::string, std::vector<Phases>> runs;
    for (int r = 0; r < rounds; ++r) {
        for (const Store& store : kStores) {
            if (only_workspace && store.run != RunWorkspace && store.run != RunWorkspaceOneAtATime) continue;
            runs[store.name].push_back(RunApart(store.name, data, base + store.suffix));
        }
    }
    unlink(data.c_str());
    printf(
        "| store | find or create | add links | look up all | walk nodes and links | delete a tenth + purge | check "
        "| file MiB | resident MiB added |\n");
    printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const char* name : {"workspace", "workspace, one URL at a time", "LMDB", "SQLite"}) {
        const std::vector<Phases>& v = runs[name];
        if (v.empty()) continue;
        printf("| %s", name);
        Row("create", v, &Phases::create);
        Row("link", v, &Phases::link);
        Row("lookup", v, &Phases::lookup);
        Row("walk", v, &Phases::walk);
        Row("remove", v, &Phases::remove);
        Row("check", v, &Phases::check);
        printf(" | %.0f | %.0f |\n", v.back().file_bytes / 1048576.0, v.back().resident_mib);
    }
    const Phases& w = runs["workspace"].back();
    printf("\nThe workspace's in-memory indexes after the lookups: %.1f MiB, %.1f bytes a page;\n",
           w.index_bytes / 1048576.0, w.index_bytes / (double)urls.size());
    printf(
        "after the check of what the purge left (the name index and the in-link mirror): %.1f MiB, %.1f bytes "
        "a page.\n",
        w.checked_index_bytes / 1048576.0, w.checked_index_bytes / (double)(urls.size() - (urls.size() + 9) / 10));
    for (const char* suffix : {".sk1", ".sqlite", ".sqlite-wal", ".sqlite-shm", ".mdb", ".mdb-lock"})
        unlink((base + suffix).c_str());
    return 0;
}
