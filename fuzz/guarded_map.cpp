// Guard pages behind the workspace mapping, for the fuzz targets.
//
// The sanitizers do not watch file mappings: a stray access past the end of
// the view lands in whatever the process has mapped there and goes unseen.
// fuzz/CMakeLists.txt therefore compiles store/mfile_posix.cpp with mmap and
// munmap renamed to the two functions below. Each view is placed at the start
// of an inaccessible reservation reaching 4 GiB + 64 KiB past the view's
// start, so that any address the store can form from a 32-bit offset plus a
// record's width either lies in the file or faults at once.
#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const uint64_t kReach = (1ull << 32) + (64u << 10);

// The store keeps one view at a time; a few slots leave room to spare.
struct Reservation {
    void* start;
    size_t bytes;
};
Reservation g_reservations[8];

}  // namespace

extern "C" void* skeind_fuzz_mmap(void* addr, size_t len, int prot, int flags, int fd,
                                  off_t offset) {
    if (addr != 0 || len == 0 || len > kReach) return mmap(addr, len, prot, flags, fd, offset);
    size_t bytes = (size_t)kReach;
    void* area = mmap(0, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (area == MAP_FAILED) return MAP_FAILED;
    void* view = mmap(area, len, prot, flags | MAP_FIXED, fd, offset);
    if (view == MAP_FAILED) {
        int e = errno;
        munmap(area, bytes);
        errno = e;
        return MAP_FAILED;
    }
    for (size_t i = 0; i < sizeof g_reservations / sizeof g_reservations[0]; ++i) {
        if (g_reservations[i].start == 0) {
            g_reservations[i].start = view;
            g_reservations[i].bytes = bytes;
            return view;
        }
    }
    // No slot: give up the guard rather than leak the reservation.
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    size_t mapped = (len + page - 1) & ~(page - 1);
    munmap((uint8_t*)area + mapped, bytes - mapped);
    return view;
}

extern "C" int skeind_fuzz_munmap(void* addr, size_t len) {
    for (size_t i = 0; i < sizeof g_reservations / sizeof g_reservations[0]; ++i) {
        if (g_reservations[i].start == addr && addr != 0) {
            size_t bytes = g_reservations[i].bytes;
            g_reservations[i].start = 0;
            g_reservations[i].bytes = 0;
            return munmap(addr, bytes);
        }
    }
    return munmap(addr, len);
}

// A view moved by mremap would leave its guard behind; growth takes the
// unmap-and-map path instead, the one Windows always takes.
extern "C" void* skeind_fuzz_mremap(void*, size_t, size_t, int, ...) {
    errno = ENOSYS;
    return MAP_FAILED;
}
