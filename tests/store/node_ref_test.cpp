// Titles, links and host groups, through a real workspace.
#include <gtest/gtest.h>

#include <string>

#include "store/node_ref.h"
#include "store/nodedb.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

namespace {

class NodeRefTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.CreateWorkspace(dir_.File("r.sk1").c_str())); }
    NodeId Page(const char* url) { return db_.FindNode(url, true); }
    std::string TitleOf(NodeId n) { return db_.Title(n) ? db_.Text(db_.Title(n)) : "<none>"; }
    std::string Url(NodeId n) { return db_.Text(db_.Name(n)); }
    int LinksBetween(NodeId a, NodeId b, int kind) {
        int n = 0;
        for (LinkId l = db_.FirstOut(a); l; l = db_.NextLink(l))
            if (db_.LinkNode(l) == b && db_.LinkKindOf(l) == kind) ++n;
        return n;
    }

    TempDir dir_;
    NodeDb db_;
};

TEST_F(NodeRefTest, ProvisionalAndRealTitles) {
    NodeId n = Page("http://h/p.html");
    NodeRef r(db_, n);
    r.SetTitleText("  \t", false);
    EXPECT_EQ("<none>", TitleOf(n));
    r.SetTitleText("  First guess", true);
    EXPECT_EQ("First guess", TitleOf(n));
    EXPECT_TRUE(db_.TestFlags(n, Untitled));
    r.SetTitleText("The Real Title", false);
    EXPECT_EQ("The Real Title", TitleOf(n));
    EXPECT_FALSE(db_.TestFlags(n, Untitled));
    r.SetTitleText("Late guess", true);
    EXPECT_EQ("The Real Title", TitleOf(n));
    uint32_t stamp = db_.Stamp(n);
    r.SetTitleText("GoPhEr MeNu", false);
    EXPECT_EQ("The Real Title", TitleOf(n));
    EXPECT_EQ(stamp, db_.Stamp(n));  // ignored texts do not touch the node
}

TEST_F(NodeRefTest, FtpDirectoryTitles) {
    NodeId a = Page("ftp://ftp.example.org/pub/");
    NodeRef(db_, a).SetTitleText("Index of /pub/", false);
    EXPECT_EQ("Index of /pub/ (ftp.example.org)", TitleOf(a));
    EXPECT_FALSE(db_.TestFlags(a, Untitled));

    // 40 characters: cut from the first '/' at or after 9 + 40 - 29 = 20.
    NodeId b = Page("ftp://ftp.example.org/pub/gnu/");
    const char* long_title = "Index of /pub/gnu/software/tools/latest/";
    ASSERT_EQ(40u, strlen(long_title));
    NodeRef(db_, b).SetTitleText(long_title, false);
    EXPECT_EQ("Index of .../tools/latest/ (ftp.example.org)", TitleOf(b));

    NodeId c = Page("ftp://host/d/");
    NodeRef(db_, c).SetTitleText("Directory of /d/", false);
    EXPECT_EQ("Directory of /d/ (host)", TitleOf(c));

    NodeId d = Page("ftp://host/readme");
    NodeRef(db_, d).SetTitleText("Read me first", false);
    EXPECT_EQ("Read me first", TitleOf(d));
    EXPECT_TRUE(db_.TestFlags(d, Untitled));

    // No slash late enough: the last one before that point, if past 'P + 3'.
    NodeId e = Page("ftp://h2/");
    NodeRef(db_, e).SetTitleText("Index of /averyveryverylongdirectoryname", false);
    EXPECT_EQ("Index of /averyveryverylongdirectoryname (h2)", TitleOf(e));
}

TEST_F(NodeRefTest, FirstPageOfASiteMakesSiteAndGroup) {
    NodeId page = Page("http://www.example.com/a/b.html");
    NodeRef(db_, page).FileUnderHost();
    NodeId site = db_.FindNode("http://www.example.com/", false);
    NodeId group = db_.FindNode("x-skeind-1:/h/com", false);
    NodeId root = db_.FindNode("x-skeind-1:/h/", false);
    ASSERT_NE(0u, site);
    ASSERT_NE(0u, group);
    EXPECT_EQ(1, LinksBetween(site, page, Attach));
    EXPECT_EQ(1, LinksBetween(root, group, LinkAnchor));
    EXPECT_EQ(1, LinksBetween(group, site, LinkAnchor));
    EXPECT_EQ(GroupNode, db_.Kind(group));
    EXPECT_EQ("Names ending with \x91" "com\x92", TitleOf(group));
    EXPECT_FALSE(db_.TestFlags(group, Untitled));

    // A second page of the site only gets its attachment.
    NodeId second = Page("http://www.example.com/c.html");
    uint32_t spare_before = db_.Header(layout::kFreeLinkCells);
    NodeRef(db_, second).FileUnderHost();
    EXPECT_EQ(1, LinksBetween(site, second, Attach));
    EXPECT_EQ(1, LinksBetween(group, site, LinkAnchor));
    (void)spare_before;

    // A real link retires the attachment.
    NodeRef(db_, page).LinkTo(db_, second, LinkAnchor);
    EXPECT_EQ(0, LinksBetween(site, second, Attach));
    EXPECT_EQ(1, LinksBetween(page, second, LinkAnchor));
    // ...and a page someone links to is not attached again.
    NodeRef(db_, second).FileUnderHost();
    EXPECT_EQ(0, LinksBetween(site, second, Attach));
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(NodeRefTest, NumericLocalAndFileSites) {
    NodeId n = Page("http://192.168.1.20:8080/x");
    NodeRef(db_, n).FileUnderHost();
    NodeId numeric = db_.FindNode("x-skeind-1:/h/NUMBER", false);
    ASSERT_NE(0u, numeric);
    EXPECT_EQ("Numeric addresses", TitleOf(numeric));
    EXPECT_NE(0u, db_.FindNode("http://192.168.1.20:8080/", false));

    NodeId l = Page("http://intranet/home");
    NodeRef(db_, l).FileUnderHost();
    NodeId local = db_.FindNode("x-skeind-1:/h/LOCAL", false);
    ASSERT_NE(0u, local);
    EXPECT_EQ("Local", TitleOf(local));

    NodeId f = Page("file:///C:/docs/index.html");
    NodeRef(db_, f).FileUnderHost();
    NodeId fsite = db_.FindNode("file:///", false);
    ASSERT_NE(0u, fsite);
    EXPECT_EQ(GroupNode, db_.Kind(fsite));

    // The ending keeps its case and is at most 19 characters.
    NodeId u = Page("http://WWW.EXAMPLE.ORG/");
    NodeRef(db_, u).FileUnderHost();
    EXPECT_NE(0u, db_.FindNode("x-skeind-1:/h/ORG", false));
    NodeId lng = Page("http://a.abcdefghijklmnopqrstuvwxyz/");
    NodeRef(db_, lng).FileUnderHost();
    EXPECT_NE(0u, db_.FindNode("x-skeind-1:/h/abcdefghijklmnopqrs", false));
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(NodeRefTest, LinkToIgnoresSelfAndDoubles) {
    NodeId a = Page("http://a/"), b = Page("http://b/");
    NodeRef(db_, a).LinkTo(db_, a, LinkAnchor);
    EXPECT_EQ(0u, db_.FirstOut(a));
    NodeRef(db_, a).LinkTo(db_, b, LinkAnchor);
    NodeRef(db_, a).LinkTo(db_, b, LinkAnchor);
    EXPECT_EQ(1, LinksBetween(a, b, LinkAnchor));
    NodeRef(db_, a).LinkTo(db_, b, LinkInclude);
    EXPECT_EQ(1, LinksBetween(a, b, LinkInclude));
}

TEST_F(NodeRefTest, DisplayTitleFallsBackToTheUrlsShortName) {
    NodeId n = Page("http://host/dir/file.html");
    const char* shown = NodeRef(db_, n).DisplayTitle();
    EXPECT_STRNE("", shown);
    EXPECT_EQ(shown, TitleOf(n));  // stored as the title
    EXPECT_TRUE(db_.TestFlags(n, Untitled));
    NodeRef(db_, n).SetTitleText("Named", false);
    EXPECT_STREQ("Named", NodeRef(db_, n).DisplayTitle());
}

}  // namespace
