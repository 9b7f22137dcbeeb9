// The mapped file on both platforms: the same outcomes and the same error
// codes, since start-up acts on the codes.
#include <gtest/gtest.h>
#include <string.h>

#include "store/layout.h"
#include "store/mfile.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(MFile, EmptyAndMissingFiles) {
    TempDir dir;
    std::string name = dir.File("x.sk1");

    MFile reader;
    EXPECT_FALSE(reader.OpenExisting(name.c_str(), MFile::AccessRead, 0));
    EXPECT_EQ(kErrorFileNotFound, reader.error());
    EXPECT_FALSE(FileExists(name));

    // With the write bit a missing file is made empty, and cannot be mapped.
    MFile writer;
    EXPECT_FALSE(writer.OpenExisting(name.c_str(), MFile::AccessRead | MFile::AccessWrite, 0));
    EXPECT_EQ(kErrorFileInvalid, writer.error());
    EXPECT_TRUE(writer.created());
    EXPECT_TRUE(writer.base() == 0);
    EXPECT_TRUE(FileExists(name));

    MFile again;
    EXPECT_FALSE(again.OpenExisting(name.c_str(), MFile::AccessRead | MFile::AccessWrite, 0));
    EXPECT_EQ(kErrorFileInvalid, again.error());
    EXPECT_FALSE(again.created());
}

TEST(MFile, CreateSizesAndHeader) {
    TempDir dir;
    std::string name = dir.File("c.sk1");
    MFile f;
    ASSERT_TRUE(f.CreateNew(name.c_str(), "ABCD", 2, 3, 100, 10000));
    // (100 + 10000 + 0x203B) rounded down to 4 KiB.
    EXPECT_EQ((100 + 10000 + 0x203B) & ~0xFFF, f.size());
    EXPECT_EQ(0, memcmp(f.base(), "ABCD", 4));
    EXPECT_EQ(0x0302, Get16(f.base() + layout::kVersion));
    EXPECT_EQ(100u, Get32(f.base() + layout::kWsHeaderSize));
    for (int32_t i = 16; i < f.size(); ++i) ASSERT_EQ(0, f.base()[i]) << i;
}

TEST(MFile, SecondOpenOfAFileInUseIsRefused) {
    TempDir dir;
    std::string name = dir.File("busy.sk1");
    MFile first;
    ASSERT_TRUE(first.CreateNew(name.c_str(), "SKEN", 0, 6, 24, 0x6000));
    MFile second;
    EXPECT_FALSE(second.OpenExisting(name.c_str(), MFile::AccessRead | MFile::AccessWrite, 0));
    EXPECT_EQ(kErrorSharingViolation, second.error());
    // Replacing it is refused too, and leaves it whole.
    MFile third;
    EXPECT_FALSE(third.CreateNew(name.c_str(), "XXXX", 0, 1, 24, 0));
    EXPECT_EQ(kErrorSharingViolation, third.error());
    EXPECT_EQ(0, memcmp(first.base(), "SKEN", 4));
    first.Close();
    first.Close();  // twice is harmless
    EXPECT_TRUE(second.OpenExisting(name.c_str(), MFile::AccessRead | MFile::AccessWrite, 0));
    EXPECT_EQ(32768, second.size());
}

// Growth keeps the data and zeroes the rest. When the system refuses the
// longer view, the file keeps its size and its old view, whole and
// writable: callers hold offsets into it and go on. One refusal only costs
// the quick way of growing.
TEST(MFile, ExtendKeepsTheDataAndRefusedViewsLeaveTheOldViewInPlace) {
    const struct {
        int refused;
        bool extends;
    } cases[] = {{0, true}, {1, true}, {2, false}, {3, false}, {1000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        TempDir dir;
        std::string name = dir.File("refused.sk1");
        MFile f;
        ASSERT_TRUE(f.CreateNew(name.c_str(), "SKEN", 0, 6, 24, 0x6000));
        memset(f.base() + 100, 0x5A, 1000);
        MFile::RefuseViewsForTest(c.refused);
        bool extended = f.Extend(2 << 20);
        MFile::RefuseViewsForTest(0);
        EXPECT_EQ(c.extends, extended);
        ASSERT_TRUE(f.base() != 0) << "no view at all";
        if (!extended) {
            EXPECT_EQ(kErrorNotEnoughMemory, f.error());
            EXPECT_EQ(32768, f.size());
        }
        for (int i = 100; i < 1100; ++i) ASSERT_EQ(0x5A, f.base()[i]);
        f.base()[32767] = 7;
        ASSERT_TRUE(f.Extend(3 << 20));   // and growth works again
        EXPECT_FALSE(f.Extend(1 << 20));  // never shrinks
        EXPECT_EQ(7, f.base()[32767]);
        for (int32_t i = 32768; i < f.size() - 1; i += 4093) ASSERT_EQ(0, f.base()[i]);
        f.base()[f.size() - 1] = 9;  // the whole new stretch is writable
        f.Close();
        std::vector<unsigned char> bytes = ReadWholeFile(name);
        ASSERT_EQ((size_t)(3 << 20), bytes.size());
        EXPECT_EQ(0x5A, bytes[500]);
        EXPECT_EQ(7, bytes[32767]);
        EXPECT_EQ(9, bytes.back());
    }
}

TEST(MFile, ReadOnlyOpenMapsExistingData) {
    TempDir dir;
    std::string name = dir.File("ro.sk1");
    std::vector<unsigned char> data(8192, 0x11);
    ASSERT_TRUE(WriteWholeFile(name, &data[0], data.size()));
    MFile f;
    ASSERT_TRUE(f.OpenExisting(name.c_str(), MFile::AccessRead, 0));
    EXPECT_EQ(8192, f.size());
    EXPECT_EQ(0x11, f.base()[8191]);
    EXPECT_FALSE(f.Extend(16384));  // not writable
}

}  // namespace
