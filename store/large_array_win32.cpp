// Large blocks on Windows: committed virtual memory. Large pages there need
// a privilege that ordinary users lack, so these are ordinary pages.
#include <windows.h>

#include "store/large_array.h"

void* MapLargeBlock(size_t bytes) {
    return VirtualAlloc(0, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapLargeBlock(void* block, size_t) {
    if (block) VirtualFree(block, 0, MEM_RELEASE);
}
