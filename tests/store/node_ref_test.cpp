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

// A directory listing's title gets its host; a long one is cut from the
// first '/' at or after 9 + length - 29, else the last one before it past
// "Index of /" + 3.
TEST_F(NodeRefTest, FtpDirectoryTitles) {
    const struct {
        const char *url, *text, *title;
        bool guess;  // a title that is only a guess
    } cases[] = {
        {"ftp://ftp.example.org/pub/", "Index of /pub/", "Index of /pub/ (ftp.example.org)", false},
        {"ftp://ftp.example.org/pub/gnu/", "Index of /pub/gnu/software/tools/latest/",
         "Index of .../tools/latest/ (ftp.example.org)", false},
        {"ftp://host/d/", "Directory of /d/", "Directory of /d/ (host)", false},
        {"ftp://h2/", "Index of /averyveryverylongdirectoryname", "Index of /averyveryverylongdirectoryname (h2)",
         false},
        {"ftp://host/readme", "Read me first", "Read me first", true},  // no directory
    };
    for (const auto& c : cases) {
        NodeId n = Page(c.url);
        NodeRef(db_, n).SetTitleText(c.text, false);
        EXPECT_EQ(c.title, TitleOf(n)) << c.url;
        EXPECT_EQ(c.guess, db_.TestFlags(n, Untitled) != 0) << c.url;
    }
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
    EXPECT_EQ(
        "Names ending with \x91"
        "com\x92",
        TitleOf(group));
    EXPECT_FALSE(db_.TestFlags(group, Untitled));

    // A second page of the site only gets its attachment.
    NodeId second = Page("http://www.example.com/c.html");
    NodeRef(db_, second).FileUnderHost();
    EXPECT_EQ(1, LinksBetween(site, second, Attach));
    EXPECT_EQ(1, LinksBetween(group, site, LinkAnchor));

    // A real link retires the attachment.
    NodeRef(db_, page).LinkTo(db_, second, LinkAnchor);
    EXPECT_EQ(0, LinksBetween(site, second, Attach));
    EXPECT_EQ(1, LinksBetween(page, second, LinkAnchor));
    // ...and a page someone links to is not attached again.
    NodeRef(db_, second).FileUnderHost();
    EXPECT_EQ(0, LinksBetween(site, second, Attach));
    EXPECT_EQ("", CheckWorkspace(db_));
}

// The ending keeps its case and is at most 19 characters.
TEST_F(NodeRefTest, NumericLocalAndFileSites) {
    const struct {
        const char *page, *site, *group, *title;
    } cases[] = {
        {"http://192.168.1.20:8080/x", "http://192.168.1.20:8080/", "x-skeind-1:/h/NUMBER", "Numeric addresses"},
        {"http://intranet/home", "http://intranet/", "x-skeind-1:/h/LOCAL", "Local"},
        {"file:///C:/docs/index.html", "file:///", "file:///", 0},
        {"http://WWW.EXAMPLE.ORG/", "http://WWW.EXAMPLE.ORG/", "x-skeind-1:/h/ORG", 0},
        {"http://a.abcdefghijklmnopqrstuvwxyz/", 0, "x-skeind-1:/h/abcdefghijklmnopqrs", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        NodeRef(db_, Page(c.page)).FileUnderHost();
        NodeId group = db_.FindNode(c.group, false);
        ASSERT_NE(0u, group);
        EXPECT_EQ(GroupNode, db_.Kind(group));
        if (c.site) {
            EXPECT_NE(0u, db_.FindNode(c.site, false));
        }
        if (c.title) {
            EXPECT_EQ(c.title, TitleOf(group));
        }
    }
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
