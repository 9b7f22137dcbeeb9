// The big in-memory indexes sit in blocks of their own: they must come zeroed
// where asked for, keep what was written when they grow, and go back whole.
#include <gtest/gtest.h>
#include <stdint.h>

#include "store/large_array.h"

TEST(LargeArrayTest, HoldsWhatIsWrittenAcrossGrowthAndComesZeroed) {
    const size_t kWords = (3 * kLargeBlockBytes) / sizeof(uint64_t) + 17;  // past a 2 MB boundary
    LargeArray<uint64_t> a(kWords, 0);
    for (size_t i = 0; i < kWords; i += 4093) EXPECT_EQ(a[i], 0u) << i;
    for (size_t i = 0; i < kWords; ++i) a[i] = i * 0x9E3779B97F4A7C15ull;
    a.resize(kWords * 3, 0);  // moves to a larger block
    for (size_t i = 0; i < kWords; ++i) ASSERT_EQ(a[i], i * 0x9E3779B97F4A7C15ull) << i;
    for (size_t i = kWords; i < a.size(); i += 4093) EXPECT_EQ(a[i], 0u) << i;
    LargeArray<uint64_t> small(16, 7);  // from the heap
    EXPECT_EQ(small[15], 7u);
    LargeArray<uint64_t>().swap(a);
    EXPECT_EQ(a.capacity(), 0u);
}
