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
    NodeId c = Page("C");
    Map("B* A* A>B");
    model_.EnsureShown(c);
    model_.MakeCurrent(c);
    model_.SetOpenPage(c);
    host_.Forget();

    EXPECT_EQ(&db_, model_.SetWorkspace(&db_));
    EXPECT_EQ("A0 B0", Layout());
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(0u, model_.current_page());
    EXPECT_EQ(-1, model_.current_row());
    EXPECT_EQ(LinkAnchor, model_.Row(0).kind());
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
    NodeId a = Page("A"), d = Page("D");
    Map("P* A>P B>C:i D>E");
    NodeRef(db_, a).SetTitleText("Alpha", false);
    Reattach();
    for (const char* name : {"A", "B", "D"}) model_.EnsureShown(Page(name));
    EXPECT_EQ("P0 A0 B0 D0+", Layout());
    EXPECT_EQ(35, model_.Row(RowOf(a)).text_width);
    EXPECT_EQ(7 * (int)strlen(NodeRef(db_, d).DisplayTitle()), model_.Row(RowOf(d)).text_width);
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SubtreeEndAndParentRow) {
    Map("A>B A>D B>C");
    model_.EnsureShown(Page("A"));
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(Page("E"));
    ASSERT_EQ("A0 B1 C2 D1 E0", Layout());
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
// Show links

TEST_F(GraphModelTest, ShowLinksLeavesASelfLinkAndNeverMovesAnAncestor) {
    NodeId a = Page("A");
    Map("A>A A>B B>A");
    model_.EnsureShown(a);
    EXPECT_EQ("A0+", Layout());
    model_.ShowLinks(0);
    EXPECT_EQ("A0 B1+", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("A0 B1", Layout());
    EXPECT_EQ("", Check());
    EXPECT_EQ(0, host_.busy_depth);
    // Nor does a refresh take the self-link for a page shown elsewhere.
    db_.Touch(a);
    model_.RefreshChanged();
    EXPECT_EQ("A0 B1", Layout());
}

TEST_F(GraphModelTest, ShowLinksMovesATargetShownElsewhereWithItsSubtree) {
    NodeId y = Page("Y"), w = Page("W");
    Map("X>Y Y>Z W>Y:q");
    model_.EnsureShown(Page("X"));
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(w);
    model_.MakeCurrent(w);
    ASSERT_EQ("X0 Y1 Z2 W0+", Layout());
    ASSERT_EQ(3, model_.current_row());

    model_.ShowLinks(3);
    EXPECT_EQ("X0+ W0 Y1 Z2", Layout());
    EXPECT_EQ(LinkQuery, model_.Row(RowOf(y)).kind());
    EXPECT_EQ(1, model_.current_row());  // the expanded row moved up
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ShowLinksTakesATargetFromAboveAndItsOwnGrandchildren) {
    Map("T>U R>C C>T R>T");
    model_.EnsureShown(Page("T"));
    model_.ShowLinks(0);
    model_.EnsureShown(Page("R"));
    ASSERT_EQ("T0 U1 R0+", Layout());
    // T is above R, not its ancestor: it comes down under R with U.
    model_.ShowLinks(2);
    EXPECT_EQ("R0 C1+ T1 U2", Layout());
    // C's own link to T: T is R's child now, so it moves under C and R
    // is no longer fully shown.
    model_.ShowLinks(1);
    EXPECT_EQ("R0+ C1 T2 U3", Layout());
    // Showing R's links again brings T back up, in link order after C.
    model_.ShowLinks(0);
    EXPECT_EQ("R0 C1+ T1 U2", Layout());
    EXPECT_EQ("", Check());
}

// The second link to A is one to a child already placed.
TEST_F(GraphModelTest, ShowLinksPutsChildrenInLinkOrderAndStaysExpanded) {
    NodeId p = Page("P"), a = Page("A");
    Map("P>A P>B P>A:q");
    model_.EnsureShown(p);
    model_.ShowLinks(0);
    EXPECT_EQ("P0 A1 B1", Layout());
    // Children out of link order (links re-added): with 0x0400 they stay,
    // without it they are put in order, and the row reordering its own
    // children stays fully shown.
    db_.RemoveLinks(p, a, 63);
    Link(p, a);
    model_.set_view_flags(DefaultViewFlags | ViewKeepLinkedPlace);
    model_.ShowLinks(0);
    EXPECT_EQ("P0+ A1 B1", Layout());
    model_.set_view_flags(DefaultViewFlags);
    model_.ShowLinks(0);
    EXPECT_EQ("P0 B1 A1", Layout());
    EXPECT_EQ("", Check());
}

// N is pinned: never a child.
TEST_F(GraphModelTest, ShowLinksFollowsTheLinkKindsShown) {
    Map("P* N* P>A P>I:i P>F:f P>Q:q P>N");
    Reattach();
    ASSERT_EQ("N0 P0+", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("N0 P0 A1 F1 Q1", Layout());
    EXPECT_EQ(LinkFrame, model_.Row(RowOf(Page("F"))).kind());

    // Anchors and inline images: a frame link shares the image bit.
    EXPECT_TRUE(model_.ApplyViewFlags(LinkAnchor | LinkInclude));
    EXPECT_EQ("N0 P0+", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("N0 P0 A1 I1 F1", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ChangingTheLinkKindsTidiesAndApplyingTwiceChangesNothing) {
    Map("P* P>A P>I:i");
    Reattach();
    model_.ShowLinks(0);
    model_.EnsureShown(Page("Q"));
    ASSERT_EQ("P0 A1 Q0", Layout());

    uint32_t flags = DefaultViewFlags | LinkInclude;
    EXPECT_TRUE(model_.ApplyViewFlags(flags));
    EXPECT_EQ("P0+", Layout());
    EXPECT_EQ(flags, model_.view_flags());
    model_.ShowLinks(0);
    EXPECT_EQ("P0 A1 I1", Layout());

    host_.Forget();
    EXPECT_FALSE(model_.ApplyViewFlags(flags));
    EXPECT_EQ("P0 A1 I1", Layout());
    EXPECT_EQ(0, host_.repaints);

    // A display-only bit repaints, and changes no row.
    EXPECT_TRUE(model_.ApplyViewFlags(flags | 0x0800));
    EXPECT_EQ(1, host_.repaints);
    EXPECT_EQ("P0 A1 I1", Layout());
}

// View flag 0x0400: a linked page shown elsewhere stays where it is.
TEST_F(GraphModelTest, KeepLinkedPlaceLeavesPagesShownElsewhere) {
    Map("X>Y Y>Z W>Y W>N W>W");
    model_.EnsureShown(Page("X"));
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(Page("W"));
    ASSERT_EQ("X0 Y1 Z2 W0+", Layout());

    model_.set_view_flags(DefaultViewFlags | ViewKeepLinkedPlace);
    model_.ShowLinks(3);
    // Y stays under X (still fully shown); W gets N but is not fully shown.
    EXPECT_EQ("X0 Y1 Z2 W0+ N1", Layout());
    EXPECT_EQ("", Check());

    // The same without the flag moves Y.
    model_.set_view_flags(DefaultViewFlags);
    model_.ShowLinks(3);
    EXPECT_EQ("X0+ W0 Y1 Z2 N1", Layout());
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Hide links and the open page's children

TEST_F(GraphModelTest, HideLinksRemovesTheSubtreeOnly) {
    NodeId a = Page("A"), c = Page("C");
    Map("P>A P>C A>B");
    model_.EnsureShown(Page("P"));
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    ASSERT_EQ("P0 A1 B2 C1", Layout());
    model_.MakeCurrent(a);

    model_.HideLinks(RowOf(a));
    EXPECT_EQ("P0 A1+ C1", Layout());
    EXPECT_EQ(1, model_.current_row());
    // No children: nothing changes, not even the expanded bit.
    model_.HideLinks(RowOf(c));
    EXPECT_EQ("P0 A1+ C1", Layout());
    model_.HideLinks(-1);

    // A current page hidden with the subtree has no row any more.
    model_.MakeCurrent(c);
    model_.HideLinks(0);
    EXPECT_EQ("P0+", Layout());
    EXPECT_EQ(c, model_.current_page());
    EXPECT_EQ(-1, model_.current_row());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ReattachOpenChildrenAddsTheMissingOnesWithoutTidying) {
    Map("O>A O>B O>C E>B");
    model_.SetOpenPage(Page("O"));
    ASSERT_EQ("O0 A1 B1 C1", Layout());
    model_.HideLinks(0);
    model_.EnsureShown(Page("E"));
    model_.ShowLinks(1);
    ASSERT_EQ("O0+ E0 B1", Layout());

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
    model_.EnsureShown(Page("R"));
    EXPECT_EQ("P0 Q1 R2", Layout());
    EXPECT_EQ(1u, model_.Mark(Page("Q")));
    EXPECT_EQ(2u, model_.Mark(Page("R")));
    EXPECT_EQ(0u, model_.Mark(Page("P")));
    EXPECT_EQ(1, host_.busy_sections);
    EXPECT_EQ(0, host_.busy_depth);
    EXPECT_EQ("", Check());
}

// Marks left in the nodes by anything else (the start-up check fills them
// with its own numbers) must not pass for distances of a search.
TEST_F(GraphModelTest, OnlyTheMarksOfTheLastSearchCount) {
    NodeId q = Page("Q"), r = Page("R");
    Map("P* P>Q Q>R R>Q");
    db_.SetDisplayMark(q, 0x00010000);  // would read as search 1, distance 0
    Reattach();
    model_.EnsureShown(r);
    EXPECT_EQ("P0 Q1 R2+", Layout());
    EXPECT_EQ(MarkUnvisited, model_.Mark(Page("S")));  // made since

    // Through a wrap of the search numbers.
    model_.HideLinks(0);
    for (int i = 0; i < 0x10000 + 5; ++i) ASSERT_TRUE(model_.IsReachable(r, true));
    model_.EnsureShown(r);
    EXPECT_EQ("P0 Q1 R2+", Layout());
    EXPECT_EQ(1u, model_.Mark(q));
}

// T is two links from P through A and B, one through C, whose link to T
// comes later in T's incoming links.
TEST_F(GraphModelTest, ThePageNearestTheShownRowsWinsAndTiesGoToTheFirstLink) {
    Map("P* P>A A>B B>T P>C C>T");
    Reattach();
    model_.EnsureShown(Page("T"));
    EXPECT_EQ("P0+ C1 T2", Layout());

    // The same distance through S and C: S's link came first.
    Map("P>S S>U C>U");
    model_.EnsureShown(Page("U"));
    EXPECT_EQ("P0+ C1 T2 S1 U2", Layout());
    EXPECT_EQ("", Check());
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
    Reattach();
    // 20 links from the shown page: not found; added at the bottom.
    model_.EnsureShown(far);
    EXPECT_EQ("P0+ b200", Layout());
    // 19 links: found.
    model_.EnsureShown(near);
    EXPECT_EQ(19, Depth(near));
    EXPECT_EQ(20, RowOf(far));
    EXPECT_EQ(0, Depth(far));
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, APathThroughTheOwnChildrenCountsOnlyWhenAllowed) {
    NodeId x = Page("X");
    Map("P* P>C C>X X>C");
    Reattach();
    model_.ShowLinks(0);
    ASSERT_EQ("P0 C1+", Layout());
    EXPECT_FALSE(model_.IsReachable(x, false));
    EXPECT_TRUE(model_.IsReachable(x, true));

    model_.ShowPage(x, false);
    EXPECT_EQ("P0 C1+ X0+", Layout());

    Reattach();
    model_.ShowLinks(0);
    model_.ShowPage(x, true);
    EXPECT_EQ("P0 C1 X2+", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, EnsureShownPrefersTheOpenPage) {
    Map("P* Q* P>T Q>O");
    Reattach();
    model_.SetOpenPage(Page("O"));
    ASSERT_EQ("P0+ Q0 O1", Layout());
    // P would win the tie; the open page links to T, so T goes there.
    Map("O>T");
    model_.EnsureShown(Page("T"));
    EXPECT_EQ("P0+ Q0 O1 T2", Layout());

    // The open page hidden with its parent comes back first.
    Map("O>U");
    model_.HideLinks(1);
    ASSERT_EQ("P0+ Q0+", Layout());
    model_.EnsureShown(Page("U"));
    EXPECT_EQ("P0+ Q0 O1+ U2", Layout());
    EXPECT_EQ("", Check());
}

// The open page, shown first, may come into view under the page itself.
TEST_F(GraphModelTest, AnOpenPageReachedThroughThePageLeavesItOneRow) {
    Map("P* P>C C>O O>C");
    Reattach();
    model_.SetOpenPage(Page("O"));
    model_.MakeCurrent(Page("C"));
    ASSERT_EQ("P0 C1 O2", Layout());
    model_.Tidy();
    EXPECT_EQ("P0 C1 O2", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, InsertChildKeepsLinkOrderAndMovesTheCurrentRow) {
    NodeId c = Page("C");
    Map("P* P>A P>B P>C");
    Reattach();
    model_.EnsureShown(Page("A"));
    EXPECT_EQ("P0+ A1", Layout());
    model_.EnsureShown(c);
    EXPECT_EQ("P0+ A1 C1", Layout());
    model_.MakeCurrent(c);
    model_.InsertChild(0, Page("B"));
    EXPECT_EQ("P0 A1 B1 C1", Layout());
    EXPECT_EQ(3, model_.current_row());
    EXPECT_EQ("", Check());
}

// Two links to A leave P fully shown; a page linked from nothing shown
// goes to the bottom.
TEST_F(GraphModelTest, EnsureShownUnderTheOnlyParentOrAtTheBottom) {
    Map("P* P>A P>A:q X>B");
    Reattach();
    model_.EnsureShown(Page("A"));
    EXPECT_EQ("P0 A1", Layout());
    model_.EnsureShown(Page("B"));
    EXPECT_EQ("P0 A1 B0", Layout());
    model_.EnsureShown(0);
    model_.EnsureShown(Page("B"));  // shown already: nothing
    EXPECT_EQ("P0 A1 B0", Layout());
}

TEST_F(GraphModelTest, APinnedPageComingIntoViewGoesBeforeTheUnpinnedOnes) {
    Map("O>N N*");  // pinned behind the model's back, as a new sessions root is
    model_.SetOpenPage(Page("O"));
    ASSERT_EQ("O0", Layout());
    model_.EnsureShown(Page("N"));
    EXPECT_EQ("N0 O0", Layout());
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Open page, current page, status bar

TEST_F(GraphModelTest, SetOpenPageShowsThePageWithItsLinks) {
    NodeId o = Page("O");
    Map("O>A A>B");
    model_.SetOpenPage(o);
    EXPECT_EQ("O0 A1+", Layout());
    EXPECT_EQ(o, model_.open_page());
    ASSERT_FALSE(host_.scrolls.empty());
    EXPECT_EQ(std::make_pair(-1, 0), host_.scrolls.back());

    // A page linked from a shown one hangs under it.
    model_.SetOpenPage(Page("B"));
    EXPECT_EQ("O0 A1 B2", Layout());

    model_.MakeCurrent(Page("A"));
    model_.SetOpenPage(0);
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(std::make_pair(-1, 1), host_.scrolls.back());
    EXPECT_EQ("O0 A1 B2", Layout());
}

TEST_F(GraphModelTest, MakeCurrentMovesTheFocusMarkAndShowsTheAddress) {
    NodeId b = Page("B");
    model_.EnsureShown(Page("A"));
    model_.EnsureShown(b);
    host_.Forget();
    model_.MakeCurrent(b);
    EXPECT_EQ(std::vector<int>({-1, 1}), host_.focus_rows);
    EXPECT_EQ(std::vector<std::string>({"http://h/B"}), host_.status);
    EXPECT_EQ(b, model_.current_page());

    host_.Forget();
    model_.MakeCurrent(b);
    EXPECT_TRUE(host_.focus_rows.empty());
    EXPECT_EQ(1u, host_.status.size());

    model_.MakeCurrent(Page("C"));
    EXPECT_EQ("A0 B0 C0", Layout());
    EXPECT_EQ(2, model_.current_row());

    NodeId file = db_.FindNode("file:///c|/web/a%20b.htm", true);
    model_.MakeCurrent(file);
    EXPECT_EQ("c:\\web\\a b.htm", host_.status.back());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SetCurrentRowTakesTheRowsPage) {
    NodeId b = Page("B");
    model_.EnsureShown(Page("A"));
    model_.EnsureShown(b);
    host_.Forget();
    model_.SetCurrentRow(1);
    EXPECT_EQ(b, model_.current_page());
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
    model_.EnsureShown(Page("A"));
    model_.ShowLinks(0);
    host_.Forget();
    model_.Tidy();
    EXPECT_EQ(0, model_.RowCount());
    EXPECT_GE(host_.repaints, 1);
    EXPECT_EQ(0, host_.busy_depth);
}

TEST_F(GraphModelTest, TidyKeepsPinnedPagesTheCurrentAndTheOpenPage) {
    NodeId b = Page("B"), o = Page("O");
    Map("P* N* N>C P>A A>B O>K");
    Reattach();
    ASSERT_EQ("N0+ P0+", Layout());
    model_.ShowLinks(0);
    model_.ShowLinks(2);
    model_.ShowLinks(3);
    model_.MakeCurrent(b);
    model_.SetOpenPage(o);
    ASSERT_EQ("N0 C1 P0 A1 B2 O0 K1", Layout());

    host_.Forget();
    model_.Tidy();
    // N's link to C has no row any more, so N is not fully shown.
    EXPECT_EQ("N0+ P0 A1 B2 O0 K1", Layout());
    EXPECT_EQ(b, model_.current_page());
    EXPECT_EQ(3, model_.current_row());
    EXPECT_EQ(o, model_.open_page());
    EXPECT_GE(host_.repaints, 1);
    EXPECT_EQ(0, host_.busy_depth);
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, PinningMovesTheSubtreeToTopLevel) {
    NodeId a = Page("A");
    Map("P* P>A P>C A>B");
    Reattach();
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(Page("Q"));
    model_.MakeCurrent(Page("B"));
    ASSERT_EQ("P0 A1 B2 C1 Q0", Layout());

    host_.Forget();
    model_.TogglePin(a);
    EXPECT_EQ("P0 C1 A0 B1 Q0", Layout());
    EXPECT_EQ(3, model_.current_row());
    EXPECT_EQ(std::make_pair(-1, 3), host_.scrolls.back());
    EXPECT_EQ("", Check());

    // A page without a row: after the pinned pages that lead the display.
    model_.TogglePin(Page("N"));
    EXPECT_EQ("P0 C1 A0 B1 N0 Q0", Layout());
    EXPECT_EQ("", Check());

    // Unpinned, A is one more link P does not show beneath it.
    model_.TogglePin(a);
    EXPECT_FALSE(db_.TestFlags(a, Pinned));
    EXPECT_EQ("P0+ C1 A0 B1 N0 Q0", Layout());
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Following the workspace

TEST_F(GraphModelTest, RefreshChangedMeasuresChangedLabelsAndShowsNewLinks) {
    NodeId p = Page("P"), a = Page("A"), e = Page("E");
    Map("P* P>A");
    Reattach();
    model_.ShowLinks(0);
    model_.EnsureShown(e);
    model_.RefreshChanged();
    ASSERT_EQ("P0 A1 E0", Layout());
    host_.Forget();
    model_.RefreshChanged();
    EXPECT_TRUE(host_.scrolls.empty());  // nothing changed

    int e_width = model_.Row(RowOf(e)).text_width;
    db_.SetTitle(e, "A title nobody stamped");
    NodeRef(db_, a).SetTitleText("Alpha", false);
    Map("P>B P>C");
    db_.Touch(p);
    model_.RefreshChanged();
    EXPECT_EQ("P0 A1 B1 C1 E0", Layout());
    EXPECT_EQ(35, model_.Row(RowOf(a)).text_width);
    EXPECT_EQ(e_width, model_.Row(RowOf(e)).text_width);
    EXPECT_EQ(1u, host_.scrolls.size());

    // A new link to a page shown elsewhere: it stays, P is not fully shown;
    // and then collapsed rows take no new children.
    for (const char* link : {"P>E", "P>D"}) {
        Map(link);
        db_.Touch(p);
        model_.RefreshChanged();
        EXPECT_EQ("P0+ A1 B1 C1 E0", Layout()) << link;
    }
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, RefreshChangedKeepsTheLastStampAndWidthsFollowIt) {
    NodeId a = Page("A");
    model_.EnsureShown(a);
    model_.RefreshChanged();
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
