// Timings of the workspace allocator Db, with the C library's malloc and free
// on the same pattern for reference. See bench/README.md for how to run them
// and for recorded figures.
//
// Workspace files go to $SKEIND_BENCH_DIR, else /dev/shm when it exists, else
// /tmp: on a disc-backed directory the growth figures include the file
// system's work as well.
#include <benchmark/benchmark.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "store/db.h"
#include "store/nodedb.h"

namespace {

std::string BenchDir() {
    const char* dir = getenv("SKEIND_BENCH_DIR");
    if (dir && *dir) return dir;
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)) return "/dev/shm";
    return "/tmp";
}

std::string WorkspaceName(const char* what) {
    char name[64];
    snprintf(name, sizeof name, "/skeind-bench-%s-%ld.sk1", what, (long)getpid());
    return BenchDir() + name;
}

// A workspace file that is removed again when the benchmark is done.
class Workspace {
public:
    explicit Workspace(const char* what) : name_(WorkspaceName(what)) {}
    ~Workspace() {
        db.Close();
        unlink(name_.c_str());
    }
    bool Create(benchmark::State& state) {
        if (db.Create(name_.c_str())) return true;
        state.SkipWithError(("cannot create " + name_).c_str());
        return false;
    }
    const std::string& name() const { return name_; }

    Db db;

private:
    std::string name_;
};

// One block of the given order taken and given back at once, in a new
// workspace. The new file's free space is a run of blocks of falling size,
// so depending on the order this is a plain pop and push or a split of a
// larger block and the merge back.
void BM_DbAllocFree(benchmark::State& state) {
    const int order = (int)state.range(0);
    Workspace ws("pair");
    if (!ws.Create(state)) return;
    for (auto _ : state) {
        uint32_t b = ws.db.AllocOrder(order);
        if (b == 0) {
            state.SkipWithError("allocation refused");
            break;
        }
        benchmark::DoNotOptimize(b);
        ws.db.Free(b, order);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DbAllocFree)->DenseRange(5, 12)->Arg(16)->Arg(19);

// 1,000 blocks of one order taken one after another, then given back in the
// order taken; the figure is per block. A first untimed round grows the file,
// so the timed rounds split and merge blocks without growing it.
void BM_DbAllocBatch(benchmark::State& state) {
    const int order = (int)state.range(0);
    const size_t count = 1000;
    Workspace ws("batch");
    if (!ws.Create(state)) return;
    std::vector<uint32_t> blocks(count);
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < count; ++i) blocks[i] = ws.db.AllocOrder(order);
        for (size_t i = 0; i < count; ++i) ws.db.Free(blocks[i], order);
    }
    if (blocks[count - 1] == 0) {
        state.SkipWithError("allocation refused");
        return;
    }
    const int32_t size = ws.db.size();
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) blocks[i] = ws.db.AllocOrder(order);
        benchmark::ClobberMemory();
        for (size_t i = 0; i < count; ++i) ws.db.Free(blocks[i], order);
    }
    if (ws.db.size() != size) state.SkipWithError("the file grew during the timed rounds");
    state.SetItemsProcessed(state.iterations() * (int64_t)count);
    state.counters["file_MiB"] = ws.db.size() / 1048576.0;
}
BENCHMARK(BM_DbAllocBatch)->DenseRange(5, 12);

// The churn pattern: 20,000 slots, and a fixed-seed sequence of (slot, order)
// steps with orders 5..8 (32 to 256 bytes, the size of records). A step frees
// the slot's block if it has one and otherwise allocates one there, so about
// half the slots, 10,000 blocks, are live at any time. Each new block gets one
// word written into it, as a caller would. Both allocators replay the same
// steps through this interface.
const size_t kSlots = 20000;
const size_t kSteps = 1u << 20;

struct ChurnStep {
    uint32_t slot;
    int order;
};

const std::vector<ChurnStep>& ChurnSteps() {
    static std::vector<ChurnStep> steps;
    if (steps.empty()) {
        std::mt19937 rng(20240611u);
        steps.resize(kSteps);
        for (size_t i = 0; i < kSteps; ++i) {
            steps[i].slot = (uint32_t)(rng() % kSlots);
            steps[i].order = 5 + (int)(rng() % 4);
        }
    }
    return steps;
}

// Runs the churn against `alloc`, which has Take(order) -> handle (0 for
// none), Write(handle, value) and Give(handle, order).
template <class Alloc>
void RunChurn(benchmark::State& state, Alloc& alloc) {
    const std::vector<ChurnStep>& steps = ChurnSteps();
    std::vector<uintptr_t> handle(kSlots, 0);
    std::vector<int> order(kSlots, 0);
    size_t live = 0;
    // Fill half the slots, untimed, to start at the steady state.
    std::mt19937 fill(7u);
    for (size_t s = 0; s < kSlots; ++s) {
        if (fill() & 1) continue;
        order[s] = 5 + (int)(fill() % 4);
        handle[s] = alloc.Take(order[s]);
        if (handle[s] == 0) {
            state.SkipWithError("allocation refused");
            return;
        }
        ++live;
    }
    size_t next = 0;
    uint64_t live_sum = 0;
    for (auto _ : state) {
        const ChurnStep& step = steps[next];
        next = (next + 1) & (kSteps - 1);
        uintptr_t& h = handle[step.slot];
        if (h != 0) {
            alloc.Give(h, order[step.slot]);
            h = 0;
            --live;
        } else {
            h = alloc.Take(step.order);
            if (h == 0) {
                state.SkipWithError("allocation refused");
                break;
            }
            alloc.Write(h, (uint32_t)next);
            order[step.slot] = step.order;
            ++live;
        }
        live_sum += live;
    }
    for (size_t s = 0; s < kSlots; ++s)
        if (handle[s] != 0) alloc.Give(handle[s], order[s]);
    state.SetItemsProcessed(state.iterations());
    state.counters["live"] =
        state.iterations() ? (double)live_sum / (double)state.iterations() : 0.0;
}

struct DbAlloc {
    Db* db;
    uintptr_t Take(int order) { return db->AllocOrder(order); }
    void Write(uintptr_t h, uint32_t v) { memcpy(db->Ptr((uint32_t)h), &v, sizeof v); }
    void Give(uintptr_t h, int order) { db->Free((uint32_t)h, order); }
};

struct MallocAlloc {
    uintptr_t Take(int order) { return (uintptr_t)malloc((size_t)1 << order); }
    void Write(uintptr_t h, uint32_t v) { memcpy((void*)h, &v, sizeof v); }
    void Give(uintptr_t h, int) { free((void*)h); }
};

void BM_DbChurn(benchmark::State& state) {
    Workspace ws("churn");
    if (!ws.Create(state)) return;
    DbAlloc alloc = {&ws.db};
    RunChurn(state, alloc);
    state.counters["file_MiB"] = ws.db.size() / 1048576.0;
}
BENCHMARK(BM_DbChurn);

void BM_MallocChurn(benchmark::State& state) {
    MallocAlloc alloc;
    RunChurn(state, alloc);
}
BENCHMARK(BM_MallocChurn);

// malloc and free of one block of 2^k bytes, the reference for BM_DbAllocFree.
void BM_MallocFree(benchmark::State& state) {
    const size_t bytes = (size_t)1 << state.range(0);
    for (auto _ : state) {
        void* p = malloc(bytes);
        benchmark::DoNotOptimize(p);
        free(p);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MallocFree)->DenseRange(5, 12);

// A new workspace grown to 64 MiB by allocating blocks of one order until the
// file has reached that size: creating the file, each growth step (extend,
// map again, release onto the free lists) and the allocations, which fault
// in the new pages they write to. Each iteration starts from a new file;
// removing it is not timed.
void BM_DbGrowTo64MiB(benchmark::State& state) {
    const int order = (int)state.range(0);
    const int32_t target = 64 << 20;
    const std::string name = WorkspaceName("grow");
    uint64_t blocks = 0;
    for (auto _ : state) {
        Db db;
        if (!db.Create(name.c_str())) {
            state.SkipWithError(("cannot create " + name).c_str());
            break;
        }
        while (db.size() < target) {
            if (db.AllocOrder(order) == 0) {
                state.SkipWithError("allocation refused");
                break;
            }
            ++blocks;
        }
        db.Close();
        state.PauseTiming();
        unlink(name.c_str());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)target);
    state.counters["blocks"] =
        state.iterations() ? (double)blocks / (double)state.iterations() : 0.0;
}
BENCHMARK(BM_DbGrowTo64MiB)->Arg(6)->Arg(12)->Arg(19)->Unit(benchmark::kMillisecond);

// One page linked to n new pages, one link after another, in a workspace
// made for each round (making it and its n target pages is not timed). The
// figure per link should not grow with n: each new link first asks whether
// it exists already.
void BM_AddLinksToOnePage(benchmark::State& state) {
    const int n = (int)state.range(0);
    const std::string name = WorkspaceName("links");
    for (auto _ : state) {
        state.PauseTiming();
        NodeDb db;
        if (!db.Create(name.c_str())) {
            state.SkipWithError(("cannot create " + name).c_str());
            break;
        }
        NodeId page = db.FindNode("http://hub.example/", true);
        std::vector<NodeId> targets;
        for (int i = 0; i < n; ++i)
            targets.push_back(db.FindNode(("http://hub.example/" + std::to_string(i)).c_str(), true));
        state.ResumeTiming();
        for (NodeId t : targets) db.AddLink(page, t, LinkAnchor);
        state.PauseTiming();
        db.Close();
        unlink(name.c_str());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)n);
}
BENCHMARK(BM_AddLinksToOnePage)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("workspace_dir", BenchDir());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
