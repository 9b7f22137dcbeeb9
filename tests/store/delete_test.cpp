// Deletion with its cascade, undo, and the purge.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/node_ref.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

namespace {

class DeleteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.CreateWorkspace(dir_.File("d.sk1").c_str())); }
    NodeId Page(const char* url) { return db_.FindNode(url, true); }
    bool Gone(NodeId n) { return db_.TestFlags(n, Deleted) != 0; }
    std::string Menu(AUndo& u) {
        char buf[256];
        return u.MenuText(buf, sizeof buf);
    }

    TempDir dir_;
    NodeDb db_;
};

TEST_F(DeleteTest, CascadeTakesPagesOnlyReachableThroughTheDeletedOne) {
    NodeId a = Page("http://s/a"), b = Page("http://s/b"), c = Page("http://s/c");
    NodeId shared = Page("http://s/shared"), other = Page("http://s/other");
    db_.AddLink(a, b, LinkAnchor);
    db_.AddLink(b, c, LinkAnchor);
    db_.AddLink(a, shared, LinkAnchor);
    db_.AddLink(other, shared, LinkAnchor);
    std::unique_ptr<Undo_delete> u(db_.Delete(a, true, 0));
    ASSERT_TRUE(u);
    EXPECT_TRUE(Gone(a) && Gone(b) && Gone(c));
    EXPECT_FALSE(Gone(shared));
    EXPECT_EQ(3u, u->count());
    EXPECT_EQ("&Undo delete 3 pages\tCtrl+Z", Menu(*u));
    for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n)) EXPECT_NE(a, n);  // walks skip it
    EXPECT_TRUE(u->CanUndo());
    EXPECT_EQ(1, u->Undo());
    EXPECT_FALSE(Gone(a) || Gone(b) || Gone(c));
    EXPECT_FALSE(u->CanUndo());
    EXPECT_EQ(b, db_.LinkNode(db_.FirstOut(a)));
    std::unique_ptr<Undo_delete> one(db_.Delete(c, true, 0));
    ASSERT_TRUE(one);
    EXPECT_EQ("&Undo delete page\tCtrl+Z", Menu(*one));
}

TEST_F(DeleteTest, PinnedPageStaysAndHangsUnderItsSite) {
    NodeId a = Page("http://www.pins.net/a"), p = Page("http://www.pins.net/pinned");
    db_.AddLink(a, p, LinkAnchor);
    db_.SetFlags(p, Pinned);
    std::unique_ptr<Undo_delete> u(db_.Delete(a, true, 0));
    EXPECT_FALSE(Gone(p));
    NodeId site = db_.FindNode("http://www.pins.net/", false);
    ASSERT_NE(0u, site);
    LinkId in = db_.FirstIn(p);
    ASSERT_NE(0u, in);
    EXPECT_EQ(site, db_.LinkNode(in));
    EXPECT_EQ(Attach, db_.LinkKindOf(in));
}

TEST_F(DeleteTest, WithoutSelfKeepsThePageAndNeedsSomethingToUndo) {
    NodeId lonely = Page("http://s/lonely");
    EXPECT_EQ(nullptr, db_.Delete(lonely, false, 0));
    EXPECT_FALSE(Gone(lonely));

    NodeId a = Page("http://s/a"), b = Page("http://s/b");
    db_.AddLink(a, b, LinkAnchor);
    std::unique_ptr<Undo_delete> u(db_.Delete(a, false, 0));
    ASSERT_TRUE(u);
    EXPECT_FALSE(Gone(a));
    EXPECT_TRUE(Gone(b));
    EXPECT_EQ(1u, u->count());
}

TEST_F(DeleteTest, PurgeVoidsOlderRecordsAndDestroysEverything) {
    NodeId a = Page("http://s/a"), b = Page("http://s/b"), keep = Page("http://s/keep");
    db_.AddLink(a, b, LinkAnchor);
    db_.AddLink(keep, a, LinkInclude);
    db_.AddLink(b, keep, LinkAnchor);
    db_.SetTitle(a, "A title long enough to need a bigger text block");
    db_.SetLabel(b, "label");
    NodeId note = db_.NewAnnotation();
    db_.SetBodyBytes(note, "note", 4);
    db_.AddLink(a, note, Attach);
    std::unique_ptr<Undo_delete> u(db_.Delete(b, true, 0));
    std::unique_ptr<Undo_delete> v(db_.Delete(a, true, 0));
    ASSERT_TRUE(u && v);
    uint32_t live_before = 0;
    for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n)) ++live_before;

    uint32_t live = v->Commit();
    EXPECT_EQ(live_before, live);
    EXPECT_FALSE(u->CanUndo());
    EXPECT_FALSE(v->CanUndo());
    EXPECT_EQ(0u, db_.FindNode("http://s/a", false));
    EXPECT_EQ(0u, db_.FindNode("x-skeind-1:/a/0", false));
    EXPECT_EQ(0u, db_.FirstOut(keep));
    EXPECT_EQ(0u, db_.FirstIn(keep));
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(DeleteTest, PurgeRebuildsAPerfectlyBalancedTree) {
    char url[32];
    for (int i = 0; i < 100; ++i) {
        snprintf(url, sizeof url, "http://p/%03d", i);
        NodeId n = Page(url);
        if (i % 3 == 0) db_.SetFlags(n, Deleted);
    }
    uint32_t live = db_.Purge();
    uint32_t counted = 0;
    for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n)) ++counted;
    EXPECT_EQ(counted, live);
    // The middle element is the root: nodes in order, index n / 2.
    NodeId mid = db_.FirstNode();
    for (uint32_t i = 0; i < live / 2; ++i) mid = db_.NextNode(mid);
    EXPECT_EQ(mid, db_.Root());
    int height = 0;
    while ((1u << (height + 1)) <= live) ++height;
    EXPECT_EQ(height, db_.Node(db_.Root()).height());
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(DeleteTest, PurgeOfEverythingLeavesAnEmptyTree) {
    db_.AddLink(Page("http://a/"), Page("http://b/"), LinkAnchor);
    for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n)) db_.SetFlags(n, Deleted);
    EXPECT_EQ(0u, db_.Purge());
    EXPECT_EQ(0u, db_.Root());
    EXPECT_EQ(0u, db_.Purge());
    EXPECT_EQ("", CheckWorkspace(db_));
}

}  // namespace
