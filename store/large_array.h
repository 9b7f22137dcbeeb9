// LargeArray: a vector for the store's big in-memory indexes (the name
// index, the in-link mirror, the check's work lists). A million-page
// workspace fills some 100 MB of them at random; in 4 KB pages much of that
// time goes to page faults and to misses of the address translation, so
// blocks of a megabyte and more are asked for in large pages where the
// system has them. Smaller ones come from the heap as usual.
#ifndef SKEIND_STORE_LARGE_ARRAY_H
#define SKEIND_STORE_LARGE_ARRAY_H

#include <stddef.h>

#include <new>
#include <vector>

// Zeroed memory in large pages if the system gives them, else in ordinary
// pages; 0 if there is none. Implemented once per system.
void* MapLargeBlock(size_t bytes);
void UnmapLargeBlock(void* block, size_t bytes);

// Under AddressSanitizer every block comes from the heap, where stray
// reads and writes are caught.
#if defined(__SANITIZE_ADDRESS__)
#define SKEIND_LARGE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SKEIND_LARGE_BLOCKS 0
#endif
#endif
#ifndef SKEIND_LARGE_BLOCKS
#define SKEIND_LARGE_BLOCKS 1
#endif

const size_t kLargeBlockBytes = (size_t)1 << 20;

inline bool IsLargeBlock(size_t bytes) {
    return SKEIND_LARGE_BLOCKS && bytes >= kLargeBlockBytes;
}

template <class T>
struct LargeAllocator {
    typedef T value_type;
    LargeAllocator() {}
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}

    T* allocate(size_t n) {
        size_t bytes = n * sizeof(T);
        if (!IsLargeBlock(bytes)) return static_cast<T*>(::operator new(bytes));
        void* block = MapLargeBlock(bytes);
        if (block == 0) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* p, size_t n) {
        size_t bytes = n * sizeof(T);
        if (!IsLargeBlock(bytes))
            ::operator delete(p);
        else
            UnmapLargeBlock(p, bytes);
    }
};
template <class T, class U>
bool operator==(const LargeAllocator<T>&, const LargeAllocator<U>&) {
    return true;
}
template <class T, class U>
bool operator!=(const LargeAllocator<T>&, const LargeAllocator<U>&) {
    return false;
}

template <class T>
using LargeArray = std::vector<T, LargeAllocator<T>>;

#endif
