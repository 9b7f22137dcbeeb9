// fuzz_workspace: a damaged workspace file, opened and then used.
//
// Input: the bytes up to the last multiple of 4096 (at most 2 MiB) are a file
// image, zero-padded to two pages if shorter; the bytes after it drive a run
// of allocations, frees and region releases. A workspace file as it is on
// disc is thus an input that opens unchanged, with no operations after it
// (a built-in script is run then).
//
// The image is written to one file per process under /dev/shm and opened
// with Db::Open; the file may grow to 4 MiB. After every step:
//  - a block handed out lies inside the file, is aligned to its size and is
//    clear of the headers below 0x1060 and of every chunk's bitmap page;
//  - it is of the order asked for, 0 comes back when none is that large,
//    and any other refusal comes with the workspace-full notice;
//  - it is not storage the caller already holds (same block or overlapping);
//  - the file header and the workspace header are never written;
//  - freeing something that cannot be a block changes nothing;
//  - a held block keeps the bytes written into it until it is freed.
// Any break aborts. Out-of-bounds accesses fault in the sanitizers or in the
// guard pages behind the mapping (guarded_map.cpp).
//
// SKEIND_FUZZ_AVOID in the environment steers around known faults so that
// fuzzing can go on and look for others (see fuzz/README.md):
//   lists    after Open, each free list is cut before its first block that
//            cannot be a block of the file as opened;
//   sharing  the two sharing checks (storage handed out while held, held
//            bytes overwritten) are counted and printed at exit instead.
// SKEIND_FUZZ_TRACE=1 prints every step; 2 also the free-list heads after it.
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "store/db.h"

using namespace layout;

namespace {

const uint32_t kMaxImage = 2u << 20;
const uint32_t kMinImage = 2 * kPageSize;
const uint32_t kSizeLimit = 4u << 20;
const int kMaxSteps = 4000;

std::string g_path;
bool g_avoid_lists = false;
bool g_avoid_sharing = false;
int g_trace = 0;
unsigned long g_shared = 0;     // storage handed out while held
unsigned long g_overwrite = 0;  // held blocks written by the store
unsigned long g_cut = 0;        // lists cut after Open

void Fail(const char* what, uint32_t offset, int order) {
    fprintf(stderr, "fuzz_workspace: %s (offset 0x%X, order %d)\n", what, offset, order);
    abort();
}

void Trace(const char* format, ...) {
    if (!g_trace) return;
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

void Report() {
    if (g_avoid_lists || g_avoid_sharing)
        fprintf(stderr,
                "fuzz_workspace: avoided: %lu lists cut, %lu shared hand-outs, "
                "%lu overwritten blocks\n",
                g_cut, g_shared, g_overwrite);
    if (!g_path.empty()) unlink(g_path.c_str());
}

// The input, read from the front; zeros once it runs out.
class Bytes {
public:
    Bytes(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool empty() const { return n_ == 0; }
    uint8_t U8() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    uint32_t U16() { return U8() | (uint32_t)U8() << 8; }
    uint32_t U32() { return U16() | U16() << 16; }

private:
    const uint8_t* p_;
    size_t n_;
};

// Smallest order 5..19 whose block holds `bytes`; 0 when none does.
int OrderFor(uint64_t bytes) {
    for (int k = 5; k <= 19; ++k)
        if (((uint64_t)1 << k) >= bytes) return k;
    return 0;
}

// Whether [offset, offset + 2^order) could be a block of this file: the
// allocator's rules, worked out again here rather than asked of it.
bool Placeable(uint32_t offset, int order, uint32_t file_size) {
    if (order < 5 || order > 19) return false;
    uint64_t bytes = (uint64_t)1 << order;
    uint64_t end = (uint64_t)offset + bytes;
    if (offset % bytes != 0 || end > file_size || offset < 0x1060) return false;
    uint64_t chunk = offset >> 20;
    if (((end - 1) >> 20) != chunk) return false;
    return offset - (chunk << 20) >= 4096;
}

struct Held {
    int order;
    uint8_t stamp;
};

// When there are no operations in the input: a little of everything.
const uint8_t kDefaultScript[] = {
    0, 0x00, 0, 0x01, 0, 0x02, 0, 0x03,  // AllocOrder 5, 6, 7, 8
    0, 0x96, 0, 0x83,                    // AllocOrder 11, 15 (the file grows)
    3, 0x00, 0x00, 0x10,                 // AllocSize 4096
    4, 0x00, 0x20, 0x00,                 // AllocText 32
    5, 0x00, 0x00,                       // Free one
    7, 0x01, 0x00, 0x21, 0x00, 0x00, 0x00,  // FreeSize another
    8, 0x00, 0x80, 0x00, 0x00,           // ReleaseRegion of half of one
    10,                                  // Close and Open
    9, 0x00, 0x00, 0x77,                 // write over one
    5, 0x00, 0x00, 5, 0x00, 0x00, 5, 0x00, 0x00, 5, 0x00, 0x00,  // Free four
    12, 0x45, 0x23, 0x01, 0x00, 0x07,    // Free of a misaligned "block"
};

class Session {
public:
    Session() {}

    void Start() {
        db_.SetSizeLimit(kSizeLimit);
        if (g_avoid_lists) CutLists();
        memcpy(file_header_, db_.Ptr(0), sizeof file_header_);
        memcpy(ws_header_, db_.Ptr(kTreeRoot), sizeof ws_header_);
    }

    void Step(Bytes& in) {
        uint8_t op = in.U8() % 13;
        switch (op) {
        case 0: case 1: case 2: {
            uint8_t a = in.U8();
            int order = (a & 0x80) ? (int)(a % 23) - 1 : 5 + (a & 3);
            uint32_t b = db_.AllocOrder(order);
            Trace("AllocOrder(%d) = 0x%X", order, b);
            if (order > 19 && b != 0) Fail("a block for an order above 19", b, order);
            Take(b, order < 5 ? 5 : order);
            break;
        }
        case 3: {
            uint32_t bytes = (in.U8() & 0x80) ? in.U32() : in.U16();
            uint32_t b = db_.AllocSize(bytes);
            Trace("AllocSize(%u) = 0x%X", bytes, b);
            int order = OrderFor(bytes);
            if (order == 0 && b != 0) Fail("a block for a size no block holds", b, order);
            Take(b, order);
            break;
        }
        case 4: {
            uint32_t length = (in.U8() & 0x80) ? in.U32() : in.U16() % 3000;
            uint32_t b = db_.AllocText(length);
            Trace("AllocText(%u) = 0x%X", length, b);
            int order = OrderFor((uint64_t)length + 2);
            if (order == 0 && b != 0) Fail("a block for a text no block holds", b, order);
            if (b != 0) {
                // Check placement before looking inside.
                Placed(b, order);
                const uint8_t* p = db_.Ptr(b);
                if (p[0] != order || p[1 + length] != 0)
                    Fail("a text block without its order byte or final NUL", b, order);
            }
            Take(b, order);
            break;
        }
        case 5: case 6: {
            if (list_.empty()) break;
            uint32_t b = Release(in.U16());
            Trace("Free(0x%X, %d)", b, held_order_);
            db_.Free(b, held_order_);
            break;
        }
        case 7: {
            if (list_.empty()) break;
            uint32_t b = Release(in.U16());
            // Any size that needs exactly this order.
            uint32_t half = 1u << (held_order_ - 1);
            uint32_t bytes = held_order_ == 5 ? in.U8() % 33 : half + 1 + in.U32() % half;
            Trace("FreeSize(0x%X, %u)", b, bytes);
            db_.FreeSize(b, bytes);
            break;
        }
        case 8: {
            uint8_t a = in.U8();
            uint8_t c = in.U8();
            if (list_.empty() || (a & 0xC0) == 0xC0) {
                // Past the end, or backwards: nothing to do.
                uint32_t size = (uint32_t)db_.size();
                uint32_t from = size + (uint32_t)a * 1000;
                Trace("ReleaseRegion past the end or backwards");
                Unchanged("releasing an empty region", [&] {
                    db_.ReleaseRegion(from, from + c * 100u);
                    db_.ReleaseRegion(size - 64 + (c & 63), size - 64);
                });
                break;
            }
            uint32_t b = Release(in.U16());
            // A part of the block, not necessarily on granule boundaries.
            uint32_t bytes = 1u << held_order_;
            uint32_t lo = (uint32_t)((uint64_t)bytes * a / 256);
            uint32_t hi = lo + (uint32_t)((uint64_t)(bytes - lo) * (c + 1u) / 256);
            Trace("ReleaseRegion(0x%X, 0x%X) of block 0x%X order %d", b + lo, b + hi, b,
                  held_order_);
            db_.ReleaseRegion(b + lo, b + hi);
            break;
        }
        case 9: {
            if (list_.empty()) break;
            uint32_t b = list_[in.U16() % list_.size()];
            Held& h = held_[b];
            if (StampIntact(b, h)) {
                h.stamp = in.U8();
                Trace("write 0x%02X over block 0x%X", h.stamp, b);
                memset(db_.Ptr(b), h.stamp, 1u << h.order);
            }
            break;
        }
        case 10:
            Trace("Close, Open");
            db_.Close();
            if (!db_.Open(g_path.c_str())) Fail("cannot open the file again", 0, (int)db_.error());
            break;
        case 11: {
            uint8_t a = in.U8();
            uint32_t limit = (uint32_t)db_.size() + (uint32_t)a * 16384;
            db_.SetSizeLimit(a == 0xFF || limit > kSizeLimit ? kSizeLimit : limit);
            Trace("SetSizeLimit(%u)", a == 0xFF || limit > kSizeLimit ? kSizeLimit : limit);
            break;
        }
        case 12: {
            uint32_t b = in.U32();
            int order = (int)(in.U8() % 24) - 2;
            // Only what cannot be a block: the rest might be free already.
            if (!Placeable(b, order, (uint32_t)db_.size())) {
                Trace("Free(0x%X, %d), not a block", b, order);
                Unchanged("freeing what cannot be a block", [&] { db_.Free(b, order); });
            }
            break;
        }
        }
        if (g_trace >= 2) {
            std::string heads = "  heads:";
            char one[32];
            for (int k = kMinOrder; k <= kMaxOrder; ++k) {
                if (db_.FreeHead(k) == 0) continue;
                snprintf(one, sizeof one, " %d:0x%X", k, db_.FreeHead(k));
                heads += one;
            }
            Trace("%s", heads.c_str());
        }
        if (memcmp(file_header_, db_.Ptr(0), sizeof file_header_) != 0)
            Fail("file header written", 0, 0);
        if (memcmp(ws_header_, db_.Ptr(kTreeRoot), sizeof ws_header_) != 0)
            Fail("workspace header written", kTreeRoot, 0);
    }

    void Finish() {
        for (size_t i = 0; i < list_.size(); ++i) {
            uint32_t b = list_[i];
            StampIntact(b, held_[b]);
        }
        db_.Close();
    }

    Db& db() { return db_; }

private:
    // Cuts each free list before the first block that could not be a block
    // of the file as it is now, so that growth cannot make one valid later.
    void CutLists() {
        const uint32_t size = (uint32_t)db_.size();
        for (int k = kMinOrder; k <= kMaxOrder; ++k) {
            uint32_t link = FreeHeadOffset(k);  // where the offset of b is kept
            uint32_t b = Get32(db_.Ptr(link));
            for (uint32_t steps = 0; b != 0 && steps < size / kGranule; ++steps) {
                if (!Placeable(b, k, size)) {
                    Put32(db_.Ptr(link), 0);
                    ++g_cut;
                    break;
                }
                link = b + kFreeNext;
                b = Get32(db_.Ptr(link));
            }
        }
    }

    void Placed(uint32_t b, int order) {
        if (!Placeable(b, order, (uint32_t)db_.size()))
            Fail("a block outside the file, misaligned, or over a header or bitmap page", b,
                 order);
    }

    // A block just handed out (or 0, a refusal).
    void Take(uint32_t b, int order) {
        if (b == 0) {
            // Damaged lists are dropped and the file grown instead, so only
            // a full file may refuse.
            if (order >= 5 && order <= 19 && !db_.ToldFull())
                Fail("a refusal without the workspace-full notice", b, order);
            return;
        }
        Placed(b, order);
        uint32_t end = b + (1u << order);
        bool shared = held_.count(b) != 0;
        std::map<uint32_t, Held>::iterator next = held_.lower_bound(b);
        if (next != held_.end() && next->first < end) shared = true;
        if (next != held_.begin()) {
            std::map<uint32_t, Held>::iterator prev = next;
            --prev;
            if (prev->first + (1u << prev->second.order) > b) shared = true;
        }
        if (shared) {
            if (!g_avoid_sharing) Fail("handed out storage that is held", b, order);
            ++g_shared;
            return;  // not ours to write in
        }
        Held h;
        h.order = order;
        h.stamp = (uint8_t)(b >> 5 ^ (uint32_t)order);
        memset(db_.Ptr(b), h.stamp, 1u << order);
        held_[b] = h;
        list_.push_back(b);
    }

    // Picks a held block, checks its bytes and forgets it; held_order_ is
    // its order.
    uint32_t Release(uint32_t pick) {
        size_t i = pick % list_.size();
        uint32_t b = list_[i];
        list_[i] = list_.back();
        list_.pop_back();
        std::map<uint32_t, Held>::iterator it = held_.find(b);
        StampIntact(b, it->second);
        held_order_ = it->second.order;
        held_.erase(it);
        return b;
    }

    bool StampIntact(uint32_t b, const Held& h) {
        // Every byte is the stamp: the first is, and each equals the next.
        const uint8_t* p = db_.Ptr(b);
        uint32_t bytes = 1u << h.order;
        if (p[0] == h.stamp && memcmp(p, p + 1, bytes - 1) == 0) return true;
        if (!g_avoid_sharing) Fail("held block written by the store", b, h.order);
        ++g_overwrite;
        return false;
    }

    // Runs `f`, which must leave the allocator's state as it was. Anything
    // that frees or links a block writes a list head or a bitmap bit, so the
    // heads and the bitmap pages are what is compared.
    template <class F>
    void Unchanged(const char* what, F f) {
        int32_t size = db_.size();
        Snapshot(before_);
        f();
        Snapshot(after_);
        if (db_.size() != size || before_ != after_) Fail(what, 0, 0);
    }

    void Snapshot(std::vector<uint8_t>& out) {
        out.assign(db_.Ptr(0), db_.Ptr(kFirstBlock));
        for (uint32_t chunk = kChunkSize; chunk < (uint32_t)db_.size(); chunk += kChunkSize)
            out.insert(out.end(), db_.Ptr(chunk), db_.Ptr(chunk + kBitmapSize));
    }

    Db db_;
    std::map<uint32_t, Held> held_;
    std::vector<uint32_t> list_;
    std::vector<uint8_t> before_, after_;
    int held_order_ = 0;
    uint8_t file_header_[kFileHeaderSize];
    uint8_t ws_header_[kFirstBlock - kTreeRoot];
};

bool WriteImage(const uint8_t* data, size_t bytes, size_t file_size) {
    int fd = open(g_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes) {
        ssize_t n = write(fd, data + done, bytes - done);
        if (n <= 0) ok = false;
        else done += (size_t)n;
    }
    if (ok && ftruncate(fd, (off_t)file_size) != 0) ok = false;
    close(fd);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* avoid = getenv("SKEIND_FUZZ_AVOID");
    g_avoid_lists = avoid && strstr(avoid, "lists");
    g_avoid_sharing = avoid && strstr(avoid, "sharing");
    const char* trace = getenv("SKEIND_FUZZ_TRACE");
    g_trace = trace ? atoi(trace) : 0;
    struct stat st;
    const char* dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    char name[96];
    snprintf(name, sizeof name, "%s/skeind-fuzz-%ld.ws", dir, (long)getpid());
    g_path = name;
    atexit(Report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t image = size - size % kPageSize;
    if (image > kMaxImage) image = kMaxImage;
    size_t file_size = image < kMinImage ? kMinImage : image;
    if (!WriteImage(data, image, file_size)) {
        fprintf(stderr, "fuzz_workspace: cannot write %s\n", g_path.c_str());
        abort();
    }

    Session s;
    if (!s.db().Open(g_path.c_str())) Fail("cannot open the image", 0, (int)s.db().error());
    if ((uint32_t)s.db().size() != file_size) Fail("opened with the wrong size", 0, 0);
    s.Start();

    Bytes ops(data + image, size - image);
    if (ops.empty()) ops = Bytes(kDefaultScript, sizeof kDefaultScript);
    for (int step = 0; step < kMaxSteps && !ops.empty(); ++step) s.Step(ops);
    s.Finish();
    // Not left for exit: fork mode runs many short-lived processes, and
    // tmpfs space is memory.
    unlink(g_path.c_str());
    return 0;
}
