// Long random runs of allocations and frees against a simple model of the
// blocks in use. After every step the free lists, bitmaps and the model must
// tile the file exactly; block contents must survive every other operation,
// growth and re-opening included.
#include <gtest/gtest.h>
#include <string.h>

#include <random>

#include "store/db.h"
#include "tests/store/db_checker.h"
#include "tests/store/random_runs.h"
#include "tests/support/temp_dir.h"

using namespace layout;

namespace {

// Stamps a block so that any later overwrite by the allocator shows. The
// first 12 bytes of a block become free-list words once it is freed, so the
// stamp covers the whole block while it is in use.
void Stamp(Db& db, uint32_t b, int order) {
    memset(db.Ptr(b), (int)((b >> 5) ^ (uint32_t)order) & 0xFF, 1u << order);
}

bool StampIntact(const Db& db, uint32_t b, int order) {
    uint8_t want = (uint8_t)(((b >> 5) ^ (uint32_t)order) & 0xFF);
    const uint8_t* p = db.Ptr(b);
    for (uint32_t i = 0; i < (1u << order); ++i)
        if (p[i] != want) return false;
    return true;
}

void RunSeed(unsigned seed, int steps) {
    TempDir dir;
    std::string name = dir.File("random.sk1");
    Db* db = new Db;
    ASSERT_TRUE(db->Create(name.c_str()));
    // A low ceiling so that runs meet it; growth then fails cleanly.
    const uint32_t limit = 3 * kChunkSize;
    db->SetSizeLimit(limit);

    std::mt19937 rng(seed);
    std::map<uint32_t, int> in_use;
    for (int step = 0; step < steps; ++step) {
        unsigned op = rng() % 100;
        if (op < 55 || in_use.empty()) {
            // Mostly small blocks, as records are; now and then a big one.
            int order = (rng() % 10 == 0) ? 5 + (int)(rng() % 15) : 5 + (int)(rng() % 4);
            uint32_t b = db->AllocOrder(order);
            if (b == 0) {
                ASSERT_TRUE(db->ToldFull()) << "refusal below the ceiling, step " << step;
                continue;
            }
            ASSERT_EQ(0u, in_use.count(b)) << "block handed out twice, step " << step;
            in_use[b] = order;
            Stamp(*db, b, order);
        } else if (op < 98) {
            std::map<uint32_t, int>::iterator it = in_use.begin();
            std::advance(it, rng() % in_use.size());
            ASSERT_TRUE(StampIntact(*db, it->first, it->second))
                << "block 0x" << std::hex << it->first << " overwritten, step " << std::dec << step;
            db->Free(it->first, it->second);
            in_use.erase(it);
        } else {
            // Close and open the file again: nothing may depend on memory.
            delete db;
            db = new Db;
            ASSERT_TRUE(db->Open(name.c_str())) << db->error();
            db->SetSizeLimit(limit);
        }
        std::string fault = CheckDb(*db, &in_use);
        ASSERT_EQ("", fault) << "seed " << seed << " step " << step;
    }
    for (std::map<uint32_t, int>::iterator it = in_use.begin(); it != in_use.end(); ++it) {
        ASSERT_TRUE(StampIntact(*db, it->first, it->second));
        db->Free(it->first, it->second);
    }
    in_use.clear();
    ASSERT_EQ("", CheckDb(*db, &in_use));
    // With everything given back, each chunk's free space is fully merged:
    // chunk 0 as in a new workspace plus whole upper halves elsewhere.
    std::map<uint32_t, int> free_blocks = FreeBlocksOf(*db);
    for (std::map<uint32_t, int>::iterator it = free_blocks.begin(); it != free_blocks.end(); ++it) {
        if (it->first >= kChunkSize && (it->first & kChunkMask) == kChunkSize / 2) {
            EXPECT_EQ(19, it->second);
        }
    }
    delete db;
}

TEST(DbRandomTest, ModelAgreesAfterEveryStep) {
    int steps = FromEnvironment("SKEIND_RANDOM_STEPS", 4000);
    int seeds = FromEnvironment("SKEIND_RANDOM_SEEDS", 3);
    for (int s = 0; s < seeds; ++s) {
        SCOPED_TRACE(s);
        RunSeed(1000u + (unsigned)s, steps);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
