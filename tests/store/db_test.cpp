// The allocator against values worked out by hand from the file layout.
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <vector>

#include "store/db.h"
#include "tests/store/db_checker.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workspace_image.h"

using namespace layout;

namespace {

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = dir_.File("test.sk1");
        ASSERT_TRUE(db_.Create(name_.c_str())) << db_.error();
    }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(db_.Ptr(0), db_.Ptr(0) + db_.size()); }
    void ExpectSound() {
        std::string fault = CheckDb(db_, &in_use_);
        EXPECT_EQ("", fault);
    }
    uint32_t Alloc(int order) {
        uint32_t b = db_.AllocOrder(order);
        if (b) in_use_[b] = order;
        return b;
    }
    void Free(uint32_t b) {
        db_.Free(b, in_use_[b]);
        in_use_.erase(b);
    }

    TempDir dir_;
    std::string name_;
    Db db_;
    std::map<uint32_t, int> in_use_;
};

TEST_F(DbTest, NewWorkspaceMatchesTheLayoutByteForByte) {
    EXPECT_EQ(32768, db_.size());
    std::vector<uint8_t> want = NewWorkspaceImage();
    std::vector<uint8_t> got = Bytes();
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(want[i], got[i]) << "first difference at offset 0x" << std::hex << i;
    ExpectSound();

    // And the same bytes reached the disc.
    db_.Close();
    EXPECT_EQ(want, ReadWholeFile(name_));
}

// The smallest fitting block first, and freeing it restores the file byte
// for byte; a split gives the lower half and lists the upper.
TEST_F(DbTest, SmallestBlockFirstThenTheLowerHalfOfASplit) {
    std::vector<uint8_t> before = Bytes();
    uint32_t b = Alloc(5);
    EXPECT_EQ(0x1060u, b);
    EXPECT_EQ(0u, db_.FreeHead(5));
    EXPECT_FALSE(db_.FreeBit(0x1060));
    ExpectSound();
    Free(b);
    EXPECT_EQ(before, Bytes());
    EXPECT_EQ(0x1080u, Alloc(6));
    EXPECT_EQ(0x10C0u, db_.FreeHead(6));
    EXPECT_EQ(0u, db_.FreeHead(7));
    EXPECT_EQ(0x1100u, Alloc(7));  // a whole 128-byte block is gone: split 256
    EXPECT_EQ(0x1180u, db_.FreeHead(7));
    ExpectSound();
}

TEST_F(DbTest, LastLargeBlockThenNothingWithoutGrowth) {
    db_.SetSizeLimit((uint32_t)db_.size());
    uint32_t b = Alloc(14);
    EXPECT_EQ(0x4000u, b);
    EXPECT_FALSE(db_.ToldFull());
    EXPECT_EQ(0u, db_.AllocOrder(14));
    EXPECT_TRUE(db_.ToldFull());
    EXPECT_EQ(32768, db_.size());
    ExpectSound();
}

TEST_F(DbTest, BuddyBeyondTheEndOfTheFileIsNeverMerged) {
    // Grow to 36 KiB: the new 4 KiB block at 0x8000 has its buddy at 0x9000,
    // past the end, and so stays a 4 KiB block.
    db_.SetSizeLimit(0x9000);
    while (Alloc(5) != 0) {
    }
    EXPECT_EQ(0x9000, db_.size());
    ExpectSound();
    std::map<uint32_t, int> held = in_use_;
    for (std::map<uint32_t, int>::iterator it = held.begin(); it != held.end(); ++it)
        if (it->first >= 0x8000) Free(it->first);
    EXPECT_EQ(0x8000u, db_.FreeHead(12));
    EXPECT_EQ(0u, db_.FreeHead(13));
    ExpectSound();
}

TEST_F(DbTest, TextAndSizedBlocks) {
    uint32_t t = db_.AllocText(30);  // 30 + 2 fits 32 bytes
    ASSERT_NE(0u, t);
    EXPECT_EQ(5, db_.Ptr(t)[kTextOrder]);
    EXPECT_EQ(0, db_.Ptr(t)[31]);
    uint32_t u = db_.AllocText(31);  // needs 64
    ASSERT_NE(0u, u);
    EXPECT_EQ(6, db_.Ptr(u)[kTextOrder]);
    EXPECT_EQ(5, CountedOrder(28));
    EXPECT_EQ(6, CountedOrder(29));
    EXPECT_EQ(19, OrderForSize(1u << 19));
    EXPECT_EQ(0, OrderForSize((1u << 19) + 1));
    EXPECT_EQ(0u, db_.AllocSize((1u << 19) + 1));
    EXPECT_EQ(0, TextOrder(0xFFFFFFFFu));  // no wrap-around to a tiny block
    db_.Free(t, 5);
    db_.FreeSize(u, 64);
    ExpectSound();
}

TEST_F(DbTest, CeilingIsReportedOnceAndNothingIsLost) {
    struct Counter : AGrowthNotice {
        int calls = 0;
        void WorkspaceFull() override { ++calls; }
    } counter;
    db_.SetGrowthNotice(&counter);
    db_.SetSizeLimit(kChunkSize + 64 * 1024);
    int refused = 0;
    for (int i = 0; i < 20000 && refused < 50; ++i) {
        if (Alloc(5 + i % 8) == 0) ++refused;
    }
    EXPECT_EQ(1, counter.calls);
    EXPECT_LE((uint32_t)db_.size(), kChunkSize + 64 * 1024);
    EXPECT_EQ(0u, db_.size() % kPageSize);
    ExpectSound();
}

// A growth the system refuses altogether fails the allocation only: the
// workspace stays open with every block where it was.
TEST_F(DbTest, RefusedGrowthKeepsTheWorkspaceOpen) {
    uint32_t kept = Alloc(12);
    ASSERT_NE(0u, kept);
    memset(db_.Ptr(kept), 0x3C, 4096);
    while (db_.FreeHead(14) || db_.FreeHead(13) || db_.FreeHead(12)) ASSERT_NE(0u, Alloc(12));
    int32_t size = db_.size();
    MFile::RefuseViewsForTest(1000);
    uint32_t refused = db_.AllocOrder(12);
    MFile::RefuseViewsForTest(0);
    EXPECT_EQ(0u, refused);
    ASSERT_TRUE(db_.IsOpen());
    EXPECT_EQ(size, db_.size());
    for (uint32_t j = 0; j < 4096; j += 97) ASSERT_EQ(0x3C, db_.Ptr(kept)[j]);
    ExpectSound();
    EXPECT_NE(0u, Alloc(12));
    ExpectSound();
}

// Opening a sound file writes nothing and finds the same lists.
TEST_F(DbTest, ReopenedFileHasTheSameLists) {
    for (int i = 0; i < 100; ++i) Alloc(5 + i % 6);
    std::vector<uint8_t> before = Bytes();
    db_.Close();
    Db again;
    ASSERT_TRUE(again.Open(name_.c_str())) << again.error();
    EXPECT_FALSE(again.created());
    ASSERT_EQ(before.size(), (size_t)again.size());
    EXPECT_EQ(0, memcmp(&before[0], again.Ptr(0), before.size()));
    EXPECT_EQ("", CheckDb(again, &in_use_));
}

TEST_F(DbTest, DamagedListHeadNeverLeadsOutsideTheFile) {
    Put32(db_.Ptr(FreeHeadOffset(7)), 0x7FFFFFE0u);  // far past the end
    Put32(db_.Ptr(FreeHeadOffset(8)), 0x1104u);      // misaligned
    db_.SetSizeLimit((uint32_t)db_.size());
    for (int k = 5; k <= 19; ++k) {
        uint32_t b = db_.AllocOrder(k);
        if (b) {
            EXPECT_EQ(0u, b % (1u << k));
            EXPECT_LE(b + (1u << k), (uint32_t)db_.size());
        }
    }
}

}  // namespace

namespace {

class DamagedDbTest : public DbTest {};

TEST_F(DamagedDbTest, ACircularListIsDroppedNotHandedOutTwice) {
    db_.SetSizeLimit((uint32_t)db_.size());
    Put32(db_.Ptr(0x1080) + kFreeNext, 0x1080);  // the order-7 block links to itself
    uint32_t first = db_.AllocOrder(7);
    uint32_t second = db_.AllocOrder(7);
    EXPECT_EQ(0x1080u, first);
    EXPECT_NE(first, second);
}

TEST_F(DamagedDbTest, PushingOntoADamagedHeadWritesNothingThere) {
    // The order-6 head points into the workspace header; freeing a 64-byte
    // block must not write a back link into it.
    Put32(db_.Ptr(FreeHeadOffset(6)), 0x1040);
    std::vector<uint8_t> header(db_.Ptr(0x103C), db_.Ptr(0x1060));
    uint32_t b = db_.AllocOrder(7);
    ASSERT_NE(0u, b);
    db_.ReleaseRegion(b, b + 64);  // pushes an order-6 piece
    EXPECT_EQ(header, std::vector<uint8_t>(db_.Ptr(0x103C), db_.Ptr(0x1060)));
    EXPECT_EQ(b, db_.FreeHead(6));
}

TEST_F(DamagedDbTest, StaleHeadsOfATruncatedFileAreNotReused) {
    // A file cut to 8 KiB still names blocks at 0x2000 and 0x4000; growing
    // over them must not make them list themselves.
    db_.Close();
    std::vector<unsigned char> bytes = ReadWholeFile(name_);
    bytes.resize(8192);
    ASSERT_TRUE(WriteWholeFile(name_, &bytes[0], bytes.size()));
    Db cut;
    ASSERT_TRUE(cut.Open(name_.c_str()));
    std::set<uint32_t> seen;
    for (int i = 0; i < 8; ++i) {
        uint32_t b = cut.AllocOrder(14);
        ASSERT_NE(0u, b);
        EXPECT_TRUE(seen.insert(b).second) << "0x" << std::hex << b << " handed out twice";
    }
}

// Damage found in the file as it is opened: whatever the lists and bits
// say, no storage is handed out twice, with no check run.
TEST_F(DamagedDbTest, DamageOnDiscIsSettledAtOpen) {
    const uint32_t kInUse = 0x1080;  // an order-6 block the file's owner holds
    struct Row {
        const char* what;
        uint32_t head_order, head, order_word, next;  // a block made to look listed
        bool cut;
    } rows[] = {
        {"a list leading into another list's block", 12, 0x3000, 12, 0, true},
        {"a list that loops", 14, 0x4000, 14, 0x4000, true},
        {"a stray bit on storage in use", 0, kInUse, 6, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(db_.Create(name_.c_str()));
        ASSERT_EQ(kInUse, db_.AllocOrder(6));
        uint32_t buddy = db_.AllocOrder(6);
        ASSERT_EQ(kInUse ^ 64, buddy);
        db_.Close();
        std::vector<unsigned char> bytes = ReadWholeFile(name_);
        Put32(&bytes[row.head + kFreeNext], row.next);
        Put32(&bytes[row.head + kFreePrev], 0);
        Put32(&bytes[row.head + kFreeOrder], row.order_word);
        bytes[(row.head >> 10) * 4 + ((row.head >> 5) & 31) / 8] |= (uint8_t)(1u << ((row.head >> 5) & 7));
        if (row.head_order) Put32(&bytes[FreeHeadOffset((int)row.head_order)], row.head);
        ASSERT_TRUE(WriteWholeFile(name_, &bytes[0], bytes.size()));

        ASSERT_TRUE(db_.Open(name_.c_str()));
        EXPECT_EQ(row.cut, db_.TakeListsCutAtOpen());
        db_.SetSizeLimit((uint32_t)db_.size());
        db_.Free(buddy, 6);  // must not merge with the block in use
        std::vector<std::pair<uint32_t, uint32_t>> held = {{kInUse, kInUse + 64}};
        for (int k = kMaxOrder; k >= kMinOrder; --k) {
            for (uint32_t b; (b = db_.AllocOrder(k)) != 0;) {
                for (const std::pair<uint32_t, uint32_t>& h : held)
                    ASSERT_TRUE(b + (1u << k) <= h.first || h.second <= b)
                        << "0x" << std::hex << b << " overlaps 0x" << h.first;
                held.push_back({b, b + (1u << k)});
            }
        }
        db_.Close();
    }
}

TEST_F(DamagedDbTest, ABlockCutByTheEndStaysRefusedAfterGrowth) {
    // Cut a new workspace at 28 KiB, through its free order-14 block at
    // 0x4000. Growth must not bring that whole block back over storage
    // handed out from the part past the cut.
    db_.Close();
    std::vector<unsigned char> bytes = ReadWholeFile(name_);
    bytes.resize(0x7000);
    ASSERT_TRUE(WriteWholeFile(name_, &bytes[0], bytes.size()));
    Db cut;
    ASSERT_TRUE(cut.Open(name_.c_str()));
    std::vector<std::pair<uint32_t, uint32_t>> held;
    const int orders[] = {15, 12, 14, 13, 12, 14};
    for (int k : orders) {
        uint32_t b = cut.AllocOrder(k);
        ASSERT_NE(0u, b);
        for (const std::pair<uint32_t, uint32_t>& h : held)
            EXPECT_TRUE(b + (1u << k) <= h.first || h.second <= b)
                << "0x" << std::hex << b << " overlaps 0x" << h.first;
        held.push_back({b, b + (1u << k)});
    }
}

}  // namespace
