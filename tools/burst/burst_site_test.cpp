// The burst tally counts what the program would have stored: the burst's
// datagrams decoded and stored as the program does, some of them dropped.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "observe/datagram.h"
#include "observe/db_client.h"
#include "store/nodedb.h"
#include "tests/support/temp_dir.h"
#include "tools/burst/burst_site.h"

namespace {

TEST(BurstSiteTest, TallyCountsKeptCompleteAndPartialPages) {
    BurstSite site;
    site.pages = 60;
    std::vector<int> page_of;
    std::vector<Datagram> all = BurstDatagrams(site, &page_of);
    ASSERT_GT(all.size(), (size_t)site.pages * 3) << "a page's links fill several datagrams";
    ASSERT_EQ(all.size(), page_of.size());
    std::vector<size_t> first;
    for (size_t i = 0; i < all.size(); ++i)
        if (i == 0 || page_of[i] != page_of[i - 1]) first.push_back(i);
    // Page 7 loses its first datagram (no page), page 20 its second (some
    // links), page 40 its last (the last links and its Close).
    std::set<size_t> dropped = {first[7], first[20] + 1, first[41] - 1};

    TempDir dir;
    NodeDb db;
    ASSERT_TRUE(db.CreateWorkspace(dir.File("burst.sk1").c_str()));
    DbClient client(&db);
    for (size_t i = 0; i < all.size(); ++i) {
        if (dropped.count(i)) continue;
        ASSERT_EQ(DatagramDispatched, DispatchDatagram(all[i].data(), all[i].size(), client));
    }

    BurstTally tally = TallyBurst(db, site);
    EXPECT_EQ(site.pages - 1, tally.kept);
    EXPECT_EQ(site.pages - 3, tally.complete);
    EXPECT_EQ(PageMissing, tally.state[7]);
    EXPECT_EQ(PagePartial, tally.state[20]);
    EXPECT_EQ(PagePartial, tally.state[40]);
    EXPECT_LT(tally.links[40], site.links);
    EXPECT_EQ(PageComplete, tally.state[41]);
    EXPECT_EQ(site.links, tally.links[41]);
}

}  // namespace
