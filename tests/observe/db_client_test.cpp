// What observations make of a real workspace: pages bound to connections,
// status handling with query links, bases, links by type, titles, and the
// connection table's limits.
#include "observe/db_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "observe/content_type.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

namespace {

class DbClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.CreateWorkspace(dir_.File("c.sk1").c_str())); }
    void TearDown() override { EXPECT_EQ("", CheckWorkspace(db_)); }

    NodeId Find(const char* url) { return db_.FindNode(url, false); }
    std::string TitleOf(NodeId n) { return db_.Title(n) ? db_.Text(db_.Title(n)) : "<none>"; }
    // The kinds of the links from a to b, in list order.
    std::string KindsBetween(NodeId a, NodeId b) {
        std::string kinds;
        for (LinkId l = db_.FirstOut(a); l; l = db_.NextLink(l))
            if (db_.LinkNode(l) == b) kinds += std::to_string(db_.LinkKindOf(l)) + " ";
        return kinds;
    }
    bool FiledUnderSite(NodeId page) {
        for (LinkId l = db_.FirstIn(page); l; l = db_.NextLink(l))
            if (db_.LinkKindOf(l) == Attach) return true;
        return false;
    }

    // How many nodes the workspace holds; a node without a name counts a
    // thousand, so that it shows.
    size_t NodeCount() {
        size_t n = 0;
        for (NodeId x = db_.FirstNode(); x; x = db_.NextNode(x)) n += db_.Text(db_.Name(x))[0] ? 1 : 1000;
        return n;
    }
    bool HasConnection(uint32_t id) {
        for (int i = 0; i < client_.count(); ++i)
            if (client_.slot(i).connection_id == id) return true;
        return false;
    }
    // Every report but Request and Close on connection `id`, each with an
    // answer of 0 expected: none of them may reach a page.
    void ExpectEveryReportRefused(uint32_t id) {
        EXPECT_EQ(0u, client_.Status(id, 200));
        EXPECT_EQ(0u, client_.Base(id, "http://elsewhere/base/"));
        EXPECT_EQ(0u, client_.ContentType(id, "text/html"));
        EXPECT_EQ(0u, client_.Link(id, "http://h/linked.html", LT_ANCHOR, "anchor"));
        EXPECT_EQ(0u, client_.Title(id, "late title", TT_TITLE));
        EXPECT_EQ(0u, client_.MarkPage(id, 0));
        EXPECT_EQ(0u, Find("http://h/linked.html"));
    }

    TempDir dir_;
    NodeDb db_;
    DbClient client_{&db_};
};

TEST_F(DbClientTest, RequestBindsTheConnectionToItsCanonicalPage) {
    EXPECT_EQ(1u, client_.Request(5, "http://Example.COM:80/b.html", OP_GET));
    NodeId page = Find("http://example.com/b.html");
    ASSERT_NE(0u, page);
    ASSERT_EQ(1, client_.count());
    EXPECT_EQ(page, client_.slot(0).page);
    EXPECT_TRUE(db_.TestFlags(page, NotFetched));
    // A second request rebinds; a request without a URL is refused.
    EXPECT_EQ(1u, client_.Request(5, "http://example.com/c.html", OP_HEAD));
    EXPECT_EQ(Find("http://example.com/c.html"), client_.slot(0).page);
    // A request without a URL, or with an empty one, is refused and stores nothing.
    size_t nodes = NodeCount();
    EXPECT_EQ(0u, client_.Request(6, 0, OP_GET));
    EXPECT_EQ(0u, client_.Request(6, "", OP_GET));
    EXPECT_EQ(0u, client_.Request(6, "", OP_HEAD));
    EXPECT_EQ(nodes, NodeCount());
    EXPECT_EQ(1, client_.count());
}

// A request that fails on a connection that had a page leaves it without
// one until Close; the page keeps what it had.
TEST_F(DbClientTest, AFailedRequestLeavesTheConnectionWithoutAPage) {
    const char* const refused[] = {0, ""};
    for (const char* url : refused) {
        SCOPED_TRACE(url ? "empty URL" : "no URL");
        ASSERT_EQ(1u, client_.Request(1, "http://h/a.html", OP_GET));
        NodeId a = Find("http://h/a.html");
        db_.SetTitle(a, "A");
        EXPECT_EQ(0u, client_.Request(1, url, OP_GET));
        ASSERT_EQ(1, client_.count()) << "the slot stays until Close";
        ExpectEveryReportRefused(1);
        EXPECT_EQ("A", TitleOf(a));
        EXPECT_TRUE(db_.TestFlags(a, NotFetched));
        EXPECT_FALSE(db_.TestFlags(a, PageMarked));
        EXPECT_EQ(1u, client_.Close(1));
    }
}

TEST_F(DbClientTest, HandledStatusFilesThePageAndLinksTheQueriedForm) {
    client_.Request(1, "http://h/cgi/q?x=1", OP_GET);
    NodeId page = Find("http://h/cgi/q?x=1");
    EXPECT_EQ(0u, client_.Status(1, 404));
    EXPECT_TRUE(db_.TestFlags(page, NotFetched));
    EXPECT_EQ(0u, Find("http://h/cgi/q"));
    EXPECT_FALSE(FiledUnderSite(page));

    EXPECT_EQ(1u, client_.Status(1, 200));
    NodeId form = Find("http://h/cgi/q");
    ASSERT_NE(0u, form);
    EXPECT_EQ(std::to_string(LinkQuery) + " ", KindsBetween(form, page));
    EXPECT_FALSE(db_.TestFlags(page, NotFetched));
    EXPECT_TRUE(FiledUnderSite(form));
    EXPECT_FALSE(FiledUnderSite(page)) << "the form links to it";
    EXPECT_NE(0u, Find("http://h/"));
    // Every handled code, and nothing else.
    const int handled[] = {200, 201, 202, 301, 302, 303, 304};
    for (int code : handled) EXPECT_EQ(1u, client_.Status(1, code)) << code;
    const int ignored[] = {100, 203, 300, 305, 400, 500};
    for (int code : ignored) EXPECT_EQ(0u, client_.Status(1, code)) << code;
}

TEST_F(DbClientTest, LinksByTypeResolvedAgainstTheBase) {
    client_.Request(1, "http://h/dir/page.html", OP_GET);
    NodeId page = Find("http://h/dir/page.html");
    EXPECT_EQ(1u, client_.Status(1, 301));
    EXPECT_EQ(1u, client_.Link(1, "/moved.html", LT_REDIRECT, 0));
    EXPECT_EQ(1u, client_.Link(1, "pic.gif", LT_INCLUDE, "image"));
    EXPECT_EQ(1u, client_.Link(1, "menu.html", LT_INCLUDE, "frame"));
    EXPECT_EQ(1u, client_.Link(1, "style.css", LT_MISC, "stylesheet"));
    EXPECT_EQ(1u, client_.Link(1, "page.html", LT_ANCHOR, "Me"));  // itself: nothing
    EXPECT_EQ(0u, client_.Link(1, "x.html", 4, 0));
    EXPECT_EQ(0u, client_.Link(1, "x.html", -1, 0));
    EXPECT_EQ(0u, client_.Link(1, 0, LT_ANCHOR, 0));
    EXPECT_EQ("16 ", KindsBetween(page, Find("http://h/moved.html")));
    EXPECT_EQ("2 ", KindsBetween(page, Find("http://h/dir/pic.gif")));
    EXPECT_EQ("18 ", KindsBetween(page, Find("http://h/dir/menu.html")));
    EXPECT_EQ("4 ", KindsBetween(page, Find("http://h/dir/style.css")));
    EXPECT_EQ("", KindsBetween(page, page));
    EXPECT_EQ(0u, Find("http://h/dir/x.html"));

    // After a base, references resolve against it.
    EXPECT_EQ(1u, client_.Base(1, "http://other/new/"));
    EXPECT_EQ(1u, client_.Link(1, "a.html", LT_ANCHOR, 0));
    EXPECT_EQ("1 ", KindsBetween(page, Find("http://other/new/a.html")));
    EXPECT_EQ(1u, client_.Link(1, "a.html", LT_ANCHOR, 0));
    EXPECT_EQ("1 ", KindsBetween(page, Find("http://other/new/a.html"))) << "never doubled";
}

// A page's links reported together make what they make one by one: the
// same pages, links, kinds and anchor titles (though not in the same places
// in the file).
TEST_F(DbClientTest, ABatchOfLinksMakesWhatLinkByLinkMakes) {
    const LinkReport kReports[] = {
        {"/moved.html", LT_REDIRECT, 0},
        {"pic.gif", LT_INCLUDE, "image"},
        {"menu.html", LT_INCLUDE, "frame"},
        {"style.css", LT_MISC, "next"},
        {"page.html", LT_ANCHOR, "Me"},
        {"x.html", 4, 0},
        {0, LT_ANCHOR, 0},
        {"b.html", LT_ANCHOR, "  B&amp;"},
        {"b.html", LT_ANCHOR, "again"},
        {"#only-a-fragment", LT_ANCHOR, 0},
        {"http://other/", LT_ANCHOR, ""},
        {"../up.html", LT_MISC, 0},
    };
    // Each page in URL order with its title and its links' targets and kinds.
    auto map = [](NodeDb& db) {
        std::string text;
        for (NodeId n = db.FirstNode(); n; n = db.NextNode(n)) {
            text += db.Text(db.Name(n)) + std::string(" \"") + (db.Title(n) ? db.Text(db.Title(n)) : "") + "\"";
            for (LinkId l = db.FirstOut(n); l; l = db.NextLink(l))
                text += std::string(" ") + db.Text(db.Name(db.LinkNode(l))) + ":" + std::to_string(db.LinkKindOf(l));
            text += "\n";
        }
        return text;
    };
    NodeDb one_by_one;
    ASSERT_TRUE(one_by_one.CreateWorkspace(dir_.File("one.sk1").c_str()));
    DbClient other(&one_by_one);
    for (DbClient* c : {&client_, &other}) c->Request(1, "http://h/dir/page.html", OP_GET);
    client_.Links(1, kReports, sizeof kReports / sizeof kReports[0]);
    for (const LinkReport& r : kReports) other.Link(1, r.url, r.type, r.extra);
    client_.Links(2, kReports, 3);  // no such connection: nothing
    EXPECT_EQ(map(one_by_one), map(db_));
    EXPECT_NE(std::string::npos, map(db_).find("http://h/dir/b.html \"again\"")) << "the later anchor's text";
    EXPECT_EQ("", CheckWorkspace(one_by_one));
}

TEST_F(DbClientTest, BaseSetsTheLabelAndGuessesOnlyAMissingType) {
    client_.Request(1, "http://h/index", OP_GET);
    NodeId page = Find("http://h/index");
    ASSERT_EQ(0u, db_.ContentType(page));
    uint32_t stamp = db_.Stamp(page);
    EXPECT_EQ(1u, client_.Base(1, "http://h/new/"));
    EXPECT_EQ("http://h/new/", std::string(db_.GetLabelView(page).text));
    EXPECT_GT(db_.Stamp(page), stamp);
    EXPECT_EQ(0u, db_.ContentType(page)) << "no extension: stays 0";
    EXPECT_EQ(1u, client_.Base(1, "http://h/pic.gif"));
    EXPECT_EQ(ContentTypeOfUrl("http://h/pic.gif", 9), db_.ContentType(page));
    EXPECT_EQ(1u, client_.ContentType(1, "text/html"));
    EXPECT_EQ(ContentTypeOfMime("text/html"), db_.ContentType(page));
    EXPECT_EQ(1u, client_.Base(1, "http://h/other.gif"));
    EXPECT_EQ(ContentTypeOfMime("text/html"), db_.ContentType(page)) << "a known type is kept";
    EXPECT_EQ(0u, client_.MarkPage(1, 0));
    EXPECT_TRUE(db_.TestFlags(page, PageMarked));
}

TEST_F(DbClientTest, TitlesAndAnchorTextsAreCleanedAndRanked) {
    client_.Request(1, "http://h/a.html", OP_GET);
    NodeId page = Find("http://h/a.html");
    EXPECT_EQ(1u, client_.Link(1, "b.html", LT_ANCHOR, "  Caf&eacute;&nbsp;menu"));
    NodeId b = Find("http://h/b.html");
    // Cleaned to " Caf\xE9\xA0menu"; titles are stored without leading space.
    EXPECT_EQ("Caf\xE9\xA0menu", TitleOf(b));
    EXPECT_TRUE(db_.TestFlags(b, Untitled));
    EXPECT_EQ(1u, client_.Title(1, "An  <i>H1</i>", TT_H1));
    EXPECT_EQ("An <i>H1</i>", TitleOf(page));
    EXPECT_EQ(1u, client_.Title(1, "Real &amp; true", TT_TITLE));
    EXPECT_EQ("Real & true", TitleOf(page));
    EXPECT_EQ(1u, client_.Title(1, "Late heading", TT_H1));
    EXPECT_EQ("Real & true", TitleOf(page));
    EXPECT_EQ(0u, client_.Title(1, "odd kind", 3));

    // A page with a title keeps it when an anchor names it otherwise.
    client_.Request(2, "http://h/b.html", OP_GET);
    client_.Title(2, "B's own", TT_HEADER);
    client_.Link(1, "b.html", LT_ANCHOR, "other words");
    EXPECT_EQ("B's own", TitleOf(b));

    // Long texts are cut with "...".
    std::string long_text(2000, 'x');
    client_.Title(1, long_text.c_str(), TT_TITLE);
    EXPECT_EQ(std::string(1020, 'x') + "...", TitleOf(page));
    client_.Link(1, "c.html", LT_ANCHOR, long_text.c_str());
    EXPECT_EQ(std::string(252, 'x') + "...", TitleOf(Find("http://h/c.html")));
}

TEST_F(DbClientTest, ConnectionsWithoutAPageAreIgnoredAndCloseRemovesOnlyKnownOnes) {
    ExpectEveryReportRefused(9);
    EXPECT_EQ(0u, client_.Open(9, "x"));
    EXPECT_EQ(1, client_.count()) << "the connection got a slot without a page";
    EXPECT_EQ(1u, client_.Close(9));
    EXPECT_EQ(0, client_.count());

    for (uint32_t id = 1; id <= 3; ++id) client_.Request(id, "http://h/", OP_GET);
    EXPECT_EQ(1u, client_.Close(77));
    EXPECT_EQ(3, client_.count());
    EXPECT_EQ(1u, client_.Close(1));
    ASSERT_EQ(2, client_.count());
    EXPECT_EQ(3u, client_.slot(0).connection_id) << "the last slot moves into the gap";
    EXPECT_EQ(2u, client_.slot(1).connection_id);

    DbClient without(0);
    EXPECT_EQ(0u, without.Request(1, "http://h/", OP_GET));
    EXPECT_EQ(0, without.count());
}

// With every slot taken, a stray report or Close for an unknown connection
// takes no one's slot; a Request takes over the slot idle longest.
TEST_F(DbClientTest, OnlyARequestTakesOverTheSlotIdleLongest) {
    for (uint32_t id = 1; id <= kConnectionSlots; ++id) {
        std::string url = "http://h/" + std::to_string(id) + ".html";
        ASSERT_EQ(1u, client_.Request(id, url.c_str(), OP_GET));
    }
    for (uint32_t id = 3; id <= kConnectionSlots; ++id) client_.Status(id, 200);  // 1 and 2 stay idle
    size_t nodes = NodeCount();
    ExpectEveryReportRefused(99);
    EXPECT_EQ(1u, client_.Close(555));
    EXPECT_EQ(nodes, NodeCount());
    EXPECT_FALSE(HasConnection(99));
    for (uint32_t id = 1; id <= kConnectionSlots; ++id) EXPECT_TRUE(HasConnection(id)) << id;
    // Connection 1 still reports on its page, and is then idle no longer.
    EXPECT_EQ(1u, client_.Title(1, "One", TT_TITLE));
    EXPECT_EQ("One", TitleOf(Find("http://h/1.html")));

    EXPECT_EQ(1u, client_.Request(100, "http://h/new.html", OP_GET));
    EXPECT_EQ(kConnectionSlots, client_.count());
    EXPECT_FALSE(HasConnection(2));
    EXPECT_TRUE(HasConnection(1));
    EXPECT_EQ(1u, client_.Title(100, "New", TT_TITLE));
    EXPECT_EQ("New", TitleOf(Find("http://h/new.html")));
}

// A purge destroys pages for good and their storage serves new ones. A
// connection bound to a purged page is left without a page: its late
// reports land nowhere, least of all on the page that took the storage.
TEST_F(DbClientTest, AConnectionWhosePageWasPurgedReachesNoOtherPage) {
    ASSERT_EQ(1u, client_.Request(1, "http://h/old.html", OP_GET));
    ASSERT_EQ(1u, client_.Request(2, "http://h/kept.html", OP_GET));
    NodeId old = Find("http://h/old.html");
    std::unique_ptr<Undo_delete> undo(db_.Delete(old, true, 0));
    ASSERT_TRUE(undo);
    db_.Purge();
    NodeId reused = db_.FindNode("http://h/new.html", true);
    ASSERT_EQ(old, reused) << "the new page took the purged one's record";
    LabelView view = db_.GetLabelView(reused);
    uint32_t type = db_.ContentType(reused);

    ExpectEveryReportRefused(1);
    EXPECT_EQ("<none>", TitleOf(reused));
    EXPECT_EQ(0u, db_.FirstOut(reused));
    EXPECT_STREQ("http://h/new.html", db_.GetLabelView(reused).text);
    EXPECT_EQ(view.dir_end, db_.GetLabelView(reused).dir_end);
    EXPECT_EQ(type, db_.ContentType(reused));
    EXPECT_TRUE(db_.TestFlags(reused, NotFetched));
    EXPECT_FALSE(db_.TestFlags(reused, PageMarked));

    // A purge tells that pages may be gone, not which: the other
    // connection's page survived, yet that connection gives it up as well.
    EXPECT_EQ(0u, client_.Title(2, "Kept", TT_TITLE));
    EXPECT_EQ("<none>", TitleOf(Find("http://h/kept.html")));
    // A new request binds connection 1 again.
    EXPECT_EQ(1u, client_.Request(1, "http://h/new.html", OP_GET));
    EXPECT_EQ(1u, client_.Title(1, "New", TT_TITLE));
    EXPECT_EQ("New", TitleOf(reused));
}

}  // namespace
