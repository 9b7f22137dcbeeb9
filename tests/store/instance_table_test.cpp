// The shared table of running copies, over a plain block: the layout of
// entries, reuse and unlinking, the case-blind lookup, and a block that
// another process may have left in any state.
#include "store/instance_table.h"

#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

namespace {

uint16_t At16(const std::vector<uint8_t>& b, size_t at) { return (uint16_t)(b[at] | (b[at + 1] << 8)); }

TEST(InstanceTableTest, EntriesAreLaidOutAsTheOtherCopiesReadThem) {
    std::vector<uint8_t> block(1024, 0xEE);
    InstanceTable t(block.data(), block.size());
    EXPECT_FALSE(t.HasSignature());
    EXPECT_FALSE(t.Register(5, "C:\\X.SK1")) << "no signature, no table";
    t.Initialise();
    EXPECT_EQ(0, memcmp(block.data(), "skeind\0\0", 8));
    ASSERT_TRUE(t.Register(0x1234, "C:\\WORK\\DEFAULT.SK1"));  // 19 characters: capacity 32
    EXPECT_EQ(1u, t.count());
    EXPECT_EQ(0x3141, At16(block, 8));
    EXPECT_EQ(0, At16(block, 10)) << "last entry";
    EXPECT_EQ(0x1234, At16(block, 12));
    EXPECT_EQ(32, At16(block, 18));
    EXPECT_STREQ("C:\\WORK\\DEFAULT.SK1", (const char*)&block[20]);
    std::string long_name(40, 'N');  // capacity 64
    ASSERT_TRUE(t.Register(0x99, long_name.c_str()));
    EXPECT_EQ(8 + 32 + 15, At16(block, 10)) << "linked at offset + capacity + 15";
    EXPECT_EQ(0x3141, At16(block, 55));
    EXPECT_EQ(64, At16(block, 55 + 10));
    EXPECT_EQ(2u, t.count());

    EXPECT_EQ(0x1234u, t.Find("c:\\work\\default.sk1"));
    EXPECT_EQ(0x99u, t.Find(long_name.c_str()));
    EXPECT_EQ(0u, t.Find("C:\\WORK\\OTHER.SK1"));
}

TEST(InstanceTableTest, FreedEntriesAreReusedAndTheLastIsUnlinked) {
    std::vector<uint8_t> block(4096, 0);
    InstanceTable t(block.data(), block.size());
    t.Initialise();
    ASSERT_TRUE(t.Register(1, "C:\\A.SK1"));
    ASSERT_TRUE(t.Register(2, std::string(40, 'B').c_str()));
    ASSERT_TRUE(t.Register(3, "C:\\C.SK1"));
    // The middle one is freed, not unlinked.
    t.Unregister(2);
    EXPECT_EQ(3u, t.count());
    EXPECT_EQ(0u, t.Find(std::string(40, 'B').c_str()));
    // A name no longer than the freed capacity takes that entry.
    ASSERT_TRUE(t.Register(4, std::string(63, 'D').c_str()));
    EXPECT_EQ(3u, t.count());
    EXPECT_EQ(4u, t.Find(std::string(63, 'D').c_str()));
    // The last is unlinked; the only one left is freed.
    t.Unregister(3);
    EXPECT_EQ(2u, t.count());
    t.Unregister(4);
    t.Unregister(1);
    EXPECT_EQ(1u, t.count());
    EXPECT_EQ(0u, t.Find("C:\\A.SK1"));
    // Registering again moves a window: it has one entry at most.
    ASSERT_TRUE(t.Register(7, "C:\\A.SK1"));
    ASSERT_TRUE(t.Register(7, "C:\\E.SK1"));
    EXPECT_EQ(0u, t.Find("C:\\A.SK1"));
    EXPECT_EQ(7u, t.Find("C:\\E.SK1"));
}

TEST(InstanceTableTest, AFourKilobyteBlockHoldsThirtySixSixtyFourCharacterNames) {
    std::vector<uint8_t> block(4096, 0);
    InstanceTable t(block.data(), block.size());
    t.Initialise();
    for (uint32_t w = 1; w <= 36; ++w) {
        std::string name = std::to_string(w) + std::string(64 - std::to_string(w).size(), 'x');
        ASSERT_TRUE(t.Register(w, name.c_str())) << w;
    }
    EXPECT_FALSE(t.Register(37, std::string(64, 'y').c_str()));
    EXPECT_EQ(36u, t.count());
    EXPECT_EQ(0u, t.Find(std::string(64, 'y').c_str()));
    EXPECT_EQ(36u, t.Find(("36" + std::string(62, 'x')).c_str()));
}

// Whatever the block holds, no walk leaves it or runs for ever.
TEST(InstanceTableTest, AnyBlockIsWalkedSafely) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        size_t size = 9 + rng() % 300;
        std::vector<uint8_t> heap(size);
        InstanceTable t(heap.data(), size);
        t.Initialise();
        for (int i = 0; i < 3; ++i) t.Register(1 + rng() % 5, "C:\\P.SK1");
        // Damage a few bytes of the chain.
        for (int i = 0, n = 1 + rng() % 6; i < n; ++i) heap[8 + rng() % (size - 8)] = (uint8_t)rng();
        if (rng() % 4 == 0) heap[7] = (uint8_t)rng();
        t.Find("C:\\P.SK1");
        t.Register(9, "C:\\Q.SK1");
        t.Unregister(1 + rng() % 5);
        t.Register(10, std::string(rng() % 100, 'r').c_str());
        t.Find("C:\\Q.SK1");
    }
}

}  // namespace
