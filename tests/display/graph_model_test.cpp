// The graph model on real workspaces: showing and hiding links, placing
// pages that come into view, the open and current pages, tidying, pinning,
// following workspace changes and the view flags.
#include <gtest/gtest.h>

#include <string>

#include "store/node_ref.h"
#include "tests/display/graph_fixture.h"

namespace {

typedef GraphTest GraphModelTest;

// Pinned pages (in URL order) are the display after SetWorkspace.
TEST_F(GraphModelTest, SetWorkspaceShowsThePinnedPagesAndForgetsTheRest) {
    Map("B* A* A>B");
    Run("show C; current C; open C");
    host_.Forget();
    EXPECT_EQ(&db_, model_.SetWorkspace(&db_));
    EXPECT_EQ("A0 B0", Layout());
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(0u, model_.current_page());
    EXPECT_EQ(-1, model_.current_row());
    EXPECT_GE(host_.repaints, 1);
    EXPECT_EQ("", Check());

    // The visited-sites root of a new workspace is pinned, so it shows.
    db_.SetFlags(db_.FindNode(kVisitedRootUrl, false), Pinned);
    Reattach();
    EXPECT_NE(-1, RowOf(db_.FindNode(kVisitedRootUrl, false)));

    EXPECT_EQ(&db_, model_.SetWorkspace(0));
    EXPECT_EQ(0, model_.RowCount());
}

// A: only to a pinned page; B: a kind not shown by default.
TEST_F(GraphModelTest, NewRowsAreMeasuredAndExpandedWhenNothingIsLeftToShow) {
    Map("P* A>P B>C:i D>E");
    NodeRef(db_, Page("A")).SetTitleText("Alpha", false);
    Run("reattach; show A; show B; show D; = P0 A0 B0 D0+");
    EXPECT_EQ(35, model_.Row(1).text_width);
    EXPECT_EQ(7 * (int)strlen(NodeRef(db_, Page("D")).DisplayTitle()), model_.Row(3).text_width);
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SubtreeEndAndParentRow) {
    Map("A>B A>D B>C");
    Run("show A; links 0; links 1; show E; = A0 B1 C2 D1 E0");
    EXPECT_EQ(4, model_.SubtreeEnd(1, 0));
    EXPECT_EQ(3, model_.SubtreeEnd(2, 1));
    EXPECT_EQ(5, model_.SubtreeEnd(5, 0));
    EXPECT_EQ(0, model_.ParentRow(2, 0));
    EXPECT_EQ(1, model_.ParentRow(2, 1));
    EXPECT_EQ(4, model_.ParentRow(4, 0));
    EXPECT_EQ(-1, model_.ParentRow(3, -1));
    EXPECT_EQ(-1, model_.RowOf(0));
}

// ---------------------------------------------------------------------------
// Layouts step by step (GraphTest::Run), each row from a fresh workspace,
// with every invariant checked at the end.

struct Scenario {
    const char* what;
    const char* map;  // as GraphTest::Map spells it
    const char* steps;
};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.what;
}

class GraphScenarioTest : public GraphTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(GraphScenarioTest, LayoutsFollowTheSteps) {
    Map(GetParam().map);
    Run(GetParam().steps);
    EXPECT_EQ("", Check());
}

const Scenario kScenarios[] = {
    {"show links leaves a self-link and never moves an ancestor, nor does a refresh", "A>A A>B B>A",
     "show A; = A0+; links 0; = A0 B1+; links 1; = A0 B1; touch A; refresh; = A0 B1"},
    {"show links moves a target shown elsewhere with its subtree; the expanded row moves up", "X>Y Y>Z W>Y:q",
     "show X; links 0; links 1; show W; current W; = X0 Y1 Z2 W0+; @3; links 3; = X0+ W0 Y1q Z2; @1"},
    // T is above R, not its ancestor: it comes down under R with U. C's own
    // link then moves T under C and R is no longer fully shown; showing R's
    // links again brings T back up, in link order after C.
    {"show links takes a target from above with its own grandchildren", "T>U R>C C>T R>T",
     "show T; links 0; show R; = T0 U1 R0+; links 2; = R0 C1+ T1 U2; links 1; = R0+ C1 T2 U3; links 0;"
     "= R0 C1+ T1 U2"},
    // The second link to A is one to a child already placed. Children out of
    // link order (links re-added) stay with 0x0400; without it they are put
    // in order, and the row reordering its own children stays fully shown.
    {"show links puts children in link order and stays expanded", "P>A P>B P>A:q",
     "show P; links 0; = P0 A1 B1; unlink P A; link P>A; keep; links 0; = P0+ A1 B1; nokeep; links 0; = P0 B1 A1"},
    // With 0x0400 Y stays under X (still fully shown) and W gets N but is not
    // fully shown; the same without the flag moves Y.
    {"keeping linked places leaves pages shown elsewhere", "X>Y Y>Z W>Y W>N W>W",
     "show X; links 0; links 1; show W; = X0 Y1 Z2 W0+; keep; links 3; = X0 Y1 Z2 W0+ N1; nokeep; links 3;"
     "= X0+ W0 Y1 Z2 N1"},
    // T is two links from P through A and B, one through C, whose link to T
    // comes later among T's incoming links. Then U is as far through S as
    // through C, and S's link came first.
    {"the page nearest the shown rows wins and ties go to the first link", "P* P>A A>B P>C B>T C>T",
     "reattach; show T; = P0+ C1 T2; link P>S; link S>U; link C>U; show U; = P0+ C1 T2 S1 U2"},
    // P would win the tie; the open page links to T, so T goes there. The
    // open page hidden with its parent comes back first.
    {"placing prefers the open page", "P* Q* P>T Q>O",
     "reattach; open O; = P0+ Q0 O1; link O>T; show T; = P0+ Q0 O1 T2; link O>U; hide 1; = P0+ Q0+; show U;"
     "= P0+ Q0 O1+ U2"},
    {"an open page reached through the current page leaves it one row", "P* P>C C>O O>C",
     "reattach; open O; current C; = P0 C1 O2; tidy; = P0 C1 O2"},
    {"two links to a page leave the parent fully shown; a page linked from nothing shown goes to the bottom",
     "P* P>A P>A:q X>B", "reattach; show A; = P0 A1; show B; = P0 A1 B0; show -; show B; = P0 A1 B0"},
    {"a page pinned behind the model's back comes into view before the unpinned ones", "O>N N*",
     "open O; = O0; show N; = N0 O0"},
    // N's link to C has no row any more, so N is not fully shown.
    {"tidy keeps the pinned pages, the current and the open page", "P* N* N>C P>A A>B O>K",
     "reattach; = N0+ P0+; links 0; links 2; links 3; current B; open O; = N0 C1 P0 A1 B2 O0 K1; tidy;"
     "= N0+ P0 A1 B2 O0 K1; @3"},
};

INSTANTIATE_TEST_SUITE_P(Model, GraphScenarioTest, ::testing::ValuesIn(kScenarios));

// ---------------------------------------------------------------------------
// Link kinds and view flags

// N is pinned: never a child. A frame link shares the inline images' bit.
TEST_F(GraphModelTest, ShowLinksFollowsTheLinkKindsShown) {
    Map("P* N* P>A P>I:i P>F:f P>Q:q P>N");
    Run("reattach; = N0 P0+; links 1; = N0 P0 A1 F1f Q1q");
    EXPECT_TRUE(model_.ApplyViewFlags(LinkAnchor | LinkInclude));
    Run("= N0 P0+; links 1; = N0 P0 A1 I1i F1f");
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ChangingTheLinkKindsTidiesAndApplyingTwiceChangesNothing) {
    Map("P* P>A P>I:i");
    Run("reattach; links 0; show Q; = P0 A1 Q0");
    uint32_t flags = DefaultViewFlags | LinkInclude;
    EXPECT_TRUE(model_.ApplyViewFlags(flags));
    EXPECT_EQ(flags, model_.view_flags());
    Run("= P0+; links 0; = P0 A1 I1i");

    host_.Forget();
    EXPECT_FALSE(model_.ApplyViewFlags(flags));
    EXPECT_EQ(0, host_.repaints);
    // A display-only bit repaints, and changes no row.
    EXPECT_TRUE(model_.ApplyViewFlags(flags | 0x0800));
    EXPECT_EQ(1, host_.repaints);
    EXPECT_EQ("P0 A1 I1i", Layout());
}

// A row without children keeps even its expanded bit; a current page hidden
// with the subtree has no row any more.
TEST_F(GraphModelTest, HideLinksRemovesTheSubtreeOnly) {
    Map("P>A P>C A>B");
    Run("show P; links 0; links 1; = P0 A1 B2 C1; current A; hide 1; = P0 A1+ C1; @1; hide 2; = P0 A1+ C1; hide -1;"
        "current C; hide 0; = P0+; @-1");
    EXPECT_EQ(Page("C"), model_.current_page());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ReattachOpenChildrenAddsTheMissingOnesWithoutTidying) {
    Map("O>A O>B O>C E>B");
    Run("open O; = O0 A1 B1 C1; hide 0; show E; links 1; = O0+ E0 B1");
    host_.Forget();
    EXPECT_TRUE(model_.ApplyViewFlags(model_.view_flags() | ViewReattachOpen));
    EXPECT_EQ("O0+ A1 C1 E0 B1", Layout());
    EXPECT_EQ(0, host_.repaints);  // no tidy
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Placing a page that comes into view

TEST_F(GraphModelTest, EnsureShownAttachesUnderTheNearestShownAncestor) {
    Map("P* P>Q Q>R");
    Reattach();
    host_.Forget();
    Run("show R; = P0 Q1 R2");
    EXPECT_EQ(1u, model_.Mark(Page("Q")));
    EXPECT_EQ(2u, model_.Mark(Page("R")));
    EXPECT_EQ(0u, model_.Mark(Page("P")));
    EXPECT_EQ(1, host_.busy_sections);
    EXPECT_EQ("", Check());
}

// Marks left in the nodes by anything else (the start-up check fills them
// with its own numbers) must not pass for distances of a search.
TEST_F(GraphModelTest, OnlyTheMarksOfTheLastSearchCount) {
    Map("P* P>Q Q>R R>Q");
    db_.SetDisplayMark(Page("Q"), 0x00010000);  // would read as search 1, distance 0
    Run("reattach; show R; = P0 Q1 R2+");
    EXPECT_EQ(MarkUnvisited, model_.Mark(Page("S")));  // made since

    // Through a wrap of the search numbers.
    model_.HideLinks(0);
    for (int i = 0; i < 0x10000 + 5; ++i) ASSERT_TRUE(model_.IsReachable(Page("R"), true));
    Run("show R; = P0 Q1 R2+");
    EXPECT_EQ(1u, model_.Mark(Page("Q")));
}

TEST_F(GraphModelTest, SearchGivesUpTwentyLinksBack) {
    NodeId p = Page("P");
    Pin(p);
    NodeId near = p, far = p;
    for (int i = 1; i <= 20; ++i) {
        NodeId a = Page("a" + std::to_string(i)), b = Page("b" + std::to_string(i));
        if (i <= 19) {
            Link(near, a);
            near = a;
        }
        Link(far, b);
        far = b;
    }
    // 20 links from the shown page: not found; added at the bottom. 19: found.
    Run("reattach; show b20; = P0+ b200; show a19");
    EXPECT_EQ(19, Depth(near));
    EXPECT_EQ(20, RowOf(far));
    EXPECT_EQ(0, Depth(far));
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, APathThroughTheOwnChildrenCountsOnlyWhenAllowed) {
    NodeId x = Page("X");
    Map("P* P>C C>X X>C");
    Run("reattach; links 0; = P0 C1+");
    EXPECT_FALSE(model_.IsReachable(x, false));
    EXPECT_TRUE(model_.IsReachable(x, true));
    model_.ShowPage(x, false);
    Run("= P0 C1+ X0+; reattach; links 0");
    model_.ShowPage(x, true);
    Run("= P0 C1 X2+");
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, InsertChildKeepsLinkOrderAndMovesTheCurrentRow) {
    Map("P* P>A P>B P>C");
    Run("reattach; show A; = P0+ A1; show C; = P0+ A1 C1; current C");
    model_.InsertChild(0, Page("B"));
    Run("= P0 A1 B1 C1; @3");
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Open page, current page, status bar

TEST_F(GraphModelTest, SetOpenPageShowsThePageWithItsLinks) {
    Map("O>A A>B");
    Run("open O; = O0 A1+");
    EXPECT_EQ(Page("O"), model_.open_page());
    ASSERT_FALSE(host_.scrolls.empty());
    EXPECT_EQ(std::make_pair(-1, 0), host_.scrolls.back());
    // A page linked from a shown one hangs under it.
    Run("open B; = O0 A1 B2; current A; open -; = O0 A1 B2");
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(std::make_pair(-1, 1), host_.scrolls.back());
}

TEST_F(GraphModelTest, MakeCurrentMovesTheFocusMarkAndShowsTheAddress) {
    NodeId b = Page("B");
    Run("show A; show B");
    host_.Forget();
    model_.MakeCurrent(b);
    EXPECT_EQ(std::vector<int>({-1, 1}), host_.focus_rows);
    EXPECT_EQ(std::vector<std::string>({"http://h/B"}), host_.status);
    EXPECT_EQ(b, model_.current_page());

    host_.Forget();
    model_.MakeCurrent(b);
    EXPECT_TRUE(host_.focus_rows.empty());
    EXPECT_EQ(1u, host_.status.size());
    Run("current C; = A0 B0 C0; @2");

    model_.MakeCurrent(db_.FindNode("file:///c|/web/a%20b.htm", true));
    EXPECT_EQ("c:\\web\\a b.htm", host_.status.back());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SetCurrentRowTakesTheRowsPage) {
    Run("show A; show B");
    host_.Forget();
    model_.SetCurrentRow(1);
    EXPECT_EQ(Page("B"), model_.current_page());
    EXPECT_EQ(std::vector<int>({-1, 1}), host_.focus_rows);
    EXPECT_EQ("http://h/B", host_.status.back());
    model_.SetCurrentRow(1);
    EXPECT_EQ(2u, host_.focus_rows.size());  // the same row: the mark stays
    model_.SetCurrentRow(-1);
    EXPECT_EQ(0u, model_.current_page());
    EXPECT_EQ(2u, host_.status.size());  // no page, no address
    model_.SetCurrentRow(7);
    EXPECT_EQ(-1, model_.current_row());
}

// ---------------------------------------------------------------------------
// Tidy and pin

TEST_F(GraphModelTest, TidyWithNothingPinnedAndNoCurrentPageEmptiesTheDisplay) {
    Map("A>B");
    Run("show A; links 0");
    host_.Forget();
    Run("tidy; =");
    EXPECT_GE(host_.repaints, 1);
}

// A page without a row, pinned, comes after the pinned pages that lead the
// display; unpinned, A is one more link P does not show beneath it.
TEST_F(GraphModelTest, PinningMovesTheSubtreeToTopLevel) {
    Map("P* P>A P>C A>B");
    Run("reattach; links 0; links 1; show Q; current B; = P0 A1 B2 C1 Q0");
    host_.Forget();
    Run("pin A; = P0 C1 A0 B1 Q0; @3");
    EXPECT_EQ(std::make_pair(-1, 3), host_.scrolls.back());
    EXPECT_EQ("", Check());
    Run("pin N; = P0 C1 A0 B1 N0 Q0; pin A; = P0+ C1 A0 B1 N0 Q0");
    EXPECT_FALSE(db_.TestFlags(Page("A"), Pinned));
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Following the workspace

// A new link to a page shown elsewhere stays there and P is not fully
// shown; collapsed rows take no new children.
TEST_F(GraphModelTest, RefreshChangedMeasuresChangedLabelsAndShowsNewLinks) {
    NodeId a = Page("A"), e = Page("E");
    Map("P* P>A");
    Run("reattach; links 0; show E; refresh; = P0 A1 E0");
    host_.Forget();
    model_.RefreshChanged();
    EXPECT_TRUE(host_.scrolls.empty());  // nothing changed

    int e_width = model_.Row(RowOf(e)).text_width;
    db_.SetTitle(e, "A title nobody stamped");
    NodeRef(db_, a).SetTitleText("Alpha", false);
    Run("link P>B; link P>C; touch P; refresh; = P0 A1 B1 C1 E0");
    EXPECT_EQ(35, model_.Row(RowOf(a)).text_width);
    EXPECT_EQ(e_width, model_.Row(RowOf(e)).text_width);
    EXPECT_EQ(1u, host_.scrolls.size());
    Run("link P>E; touch P; refresh; = P0+ A1 B1 C1 E0; link P>D; touch P; refresh; = P0+ A1 B1 C1 E0");
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, RefreshChangedKeepsTheLastStampAndWidthsFollowIt) {
    NodeId a = Page("A");
    Run("show A; refresh");
    uint32_t last = model_.last_stamp();
    EXPECT_EQ(last + 1, db_.NextStamp());
    // Between refreshes a changed page is measured when its width is asked.
    int before = model_.Row(0).text_width;
    db_.SetTitle(a, "Twelve chars");
    EXPECT_EQ(before, model_.TextWidth(0));  // not stamped yet
    db_.Touch(a);
    EXPECT_EQ(7 * 12, model_.TextWidth(0));
    model_.RefreshChanged();
    EXPECT_LT(last, model_.last_stamp());
}

}  // namespace
