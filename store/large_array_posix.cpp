// Large blocks on POSIX systems: anonymous mappings, and on Linux the
// advice to back them with huge pages (2 MB on x86-64), which the kernel
// takes when transparent huge pages are on "always" or "madvise".
#include <sys/mman.h>

#include "store/large_array.h"

namespace {

const size_t kHugePage = (size_t)2 << 20;

size_t Rounded(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

void* MapLargeBlock(size_t bytes) {
    size_t length = Rounded(bytes);
    // One huge page more, so that the block can start on a huge page's
    // boundary; the ends left over are given back.
    size_t span = length + kHugePage;
    void* p = mmap(0, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return 0;
    char* start = (char*)(((size_t)p + kHugePage - 1) & ~(kHugePage - 1));
    char* end = start + length;
    if (start > (char*)p) munmap(p, (size_t)(start - (char*)p));
    if ((char*)p + span > end) munmap(end, (size_t)((char*)p + span - end));
#ifdef MADV_HUGEPAGE
    madvise(start, length, MADV_HUGEPAGE);
#endif
    return start;
}

void UnmapLargeBlock(void* block, size_t bytes) {
    if (block) munmap(block, Rounded(bytes));
}
