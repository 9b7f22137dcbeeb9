// Machine helpers of the store, with a plain version for compilers
// that lack the GCC and Clang built-ins (Visual C++).
#ifndef SKEIND_STORE_BITS_H
#define SKEIND_STORE_BITS_H

#include <stdint.h>

// The number of set bits, by adding neighbouring fields.
inline int CountBitsPlain(uint32_t v) {
    v = v - ((v >> 1) & 0x55555555u);
    v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0Fu;
    return (int)((v * 0x01010101u) >> 24);
}

// The index of the lowest set bit of a word that is not 0.
inline int LowestBitPlain(uint64_t v) {
    int i = 0;
    while (!(v & 1)) {
        v >>= 1;
        ++i;
    }
    return i;
}

#if defined(__GNUC__) || defined(__clang__)
inline int CountBits(uint32_t v) { return __builtin_popcount(v); }
inline int LowestBit(uint64_t v) { return __builtin_ctzll(v); }
// A hint that `p` is read soon; it never faults.
inline void PrefetchForRead(const void* p) { __builtin_prefetch(p); }
#else
inline int CountBits(uint32_t v) { return CountBitsPlain(v); }
inline int LowestBit(uint64_t v) { return LowestBitPlain(v); }
inline void PrefetchForRead(const void*) {}
#endif

#endif
