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
    NodeId b = Page("B"), a = Page("A"), c = Page("C");
    Pin(b);
    Pin(a);
    Link(a, b);
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

TEST_F(GraphModelTest, NewRowsAreMeasuredAndExpandedWhenNothingIsLeftToShow) {
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C"), d = Page("D"), e = Page("E");
    Pin(p);
    Link(a, p);               // only to a pinned page
    Link(b, c, LinkInclude);  // a kind not shown by default
    Link(d, e);
    NodeRef(db_, a).SetTitleText("Alpha", false);
    Reattach();
    model_.EnsureShown(a);
    model_.EnsureShown(b);
    model_.EnsureShown(d);
    EXPECT_EQ("P0 A0 B0 D0+", Layout());
    EXPECT_EQ(35, model_.Row(RowOf(a)).text_width);
    EXPECT_EQ(7 * (int)strlen(NodeRef(db_, d).DisplayTitle()), model_.Row(RowOf(d)).text_width);
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SubtreeEndAndParentRow) {
    NodeId a = Page("A"), b = Page("B"), c = Page("C"), d = Page("D"), e = Page("E");
    Link(a, b);
    Link(a, d);
    Link(b, c);
    model_.EnsureShown(a);
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(e);
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
    NodeId a = Page("A"), b = Page("B");
    Link(a, a);
    Link(a, b);
    Link(b, a);
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
    NodeId x = Page("X"), y = Page("Y"), z = Page("Z"), w = Page("W");
    Link(x, y);
    Link(y, z);
    Link(w, y, LinkQuery);
    model_.EnsureShown(x);
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

TEST_F(GraphModelTest, ShowLinksOnYMovesZUnderIt) {
    NodeId x = Page("X"), y = Page("Y"), z = Page("Z");
    Link(x, y);
    Link(x, z);
    Link(y, z);
    model_.EnsureShown(x);
    model_.ShowLinks(0);
    ASSERT_EQ("X0 Y1+ Z1", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("X0+ Y1 Z2", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ShowLinksTakesATargetFromAboveAndItsOwnGrandchildren) {
    NodeId t = Page("T"), u = Page("U"), r = Page("R"), c = Page("C");
    Link(t, u);
    Link(r, c);
    Link(c, t);
    Link(r, t);
    model_.EnsureShown(t);
    model_.ShowLinks(0);
    model_.EnsureShown(r);
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

TEST_F(GraphModelTest, ShowLinksPutsChildrenInLinkOrderAndStaysExpanded) {
    NodeId p = Page("P"), a = Page("A"), b = Page("B");
    Link(p, a);
    Link(p, b);
    Link(p, a, LinkQuery);  // a second link to a child already placed
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

TEST_F(GraphModelTest, ShowLinksFollowsTheLinkKindsShown) {
    NodeId p = Page("P"), a = Page("A"), i = Page("I"), f = Page("F"), q = Page("Q"), n = Page("N");
    Pin(p);
    Pin(n);
    Link(p, a);
    Link(p, i, LinkInclude);
    Link(p, f, LinkFrame);
    Link(p, q, LinkQuery);
    Link(p, n);  // pinned: never a child
    Reattach();
    ASSERT_EQ("N0 P0+", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("N0 P0 A1 F1 Q1", Layout());
    EXPECT_EQ(LinkFrame, model_.Row(RowOf(f)).kind());

    // Anchors and inline images: a frame link shares the image bit.
    EXPECT_TRUE(model_.ApplyViewFlags(LinkAnchor | LinkInclude));
    EXPECT_EQ("N0 P0+", Layout());
    model_.ShowLinks(1);
    EXPECT_EQ("N0 P0 A1 I1 F1", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, ChangingTheLinkKindsTidiesAndApplyingTwiceChangesNothing) {
    NodeId p = Page("P"), a = Page("A"), i = Page("I"), q = Page("Q");
    Pin(p);
    Link(p, a);
    Link(p, i, LinkInclude);
    Reattach();
    model_.ShowLinks(0);
    model_.EnsureShown(q);
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

// ---------------------------------------------------------------------------
// View flag 0x0400: a linked page shown elsewhere stays where it is

TEST_F(GraphModelTest, KeepLinkedPlaceLeavesPagesShownElsewhere) {
    NodeId x = Page("X"), y = Page("Y"), z = Page("Z"), w = Page("W"), n = Page("N");
    Link(x, y);
    Link(y, z);
    Link(w, y);
    Link(w, n);
    Link(w, w);
    model_.EnsureShown(x);
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(w);
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
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C");
    Link(p, a);
    Link(p, c);
    Link(a, b);
    model_.EnsureShown(p);
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
    NodeId o = Page("O"), a = Page("A"), b = Page("B"), c = Page("C"), e = Page("E");
    Link(o, a);
    Link(o, b);
    Link(o, c);
    Link(e, b);
    model_.SetOpenPage(o);
    ASSERT_EQ("O0 A1 B1 C1", Layout());
    model_.HideLinks(0);
    model_.EnsureShown(e);
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
    NodeId p = Page("P"), q = Page("Q"), r = Page("R");
    Pin(p);
    Link(p, q);
    Link(q, r);
    Reattach();
    host_.Forget();
    model_.EnsureShown(r);
    EXPECT_EQ("P0 Q1 R2", Layout());
    EXPECT_EQ(1u, model_.Mark(q));
    EXPECT_EQ(2u, model_.Mark(r));
    EXPECT_EQ(0u, model_.Mark(p));
    EXPECT_EQ(1, host_.busy_sections);
    EXPECT_EQ(0, host_.busy_depth);
    EXPECT_EQ("", Check());
}

// Marks left in the nodes by anything else (the start-up check fills them
// with its own numbers) must not pass for distances of a search.
TEST_F(GraphModelTest, OnlyTheMarksOfTheLastSearchCount) {
    NodeId p = Page("P"), q = Page("Q"), r = Page("R");
    Pin(p);
    Link(p, q);
    Link(q, r);
    Link(r, q);
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

TEST_F(GraphModelTest, ThePageNearestTheShownRowsWinsAndTiesGoToTheFirstLink) {
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C"), t = Page("T");
    Pin(p);
    Link(p, a);
    Link(a, b);
    Link(b, t);  // two links from P
    Link(p, c);
    Link(c, t);  // one link from P, but later in T's incoming links
    Reattach();
    model_.EnsureShown(t);
    EXPECT_EQ("P0+ C1 T2", Layout());

    NodeId s = Page("S"), u = Page("U");
    Link(p, s);
    Link(s, u);
    Link(c, u);  // the same distance through S and C: S's link came first
    model_.EnsureShown(u);
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
    NodeId p = Page("P"), c = Page("C"), x = Page("X");
    Pin(p);
    Link(p, c);
    Link(c, x);
    Link(x, c);
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
    NodeId p = Page("P"), o = Page("O"), q = Page("Q"), t = Page("T");
    Pin(p);
    Pin(q);
    Link(p, t);
    Link(q, o);
    Reattach();
    model_.SetOpenPage(o);
    ASSERT_EQ("P0+ Q0 O1", Layout());
    Link(o, t);
    // P would win the tie; the open page links to T, so T goes there.
    model_.EnsureShown(t);
    EXPECT_EQ("P0+ Q0 O1 T2", Layout());

    // The open page hidden with its parent comes back first.
    NodeId u = Page("U");
    Link(o, u);
    model_.HideLinks(1);
    ASSERT_EQ("P0+ Q0+", Layout());
    model_.EnsureShown(u);
    EXPECT_EQ("P0+ Q0 O1+ U2", Layout());
    EXPECT_EQ("", Check());
}

// The open page, shown first, may come into view under the page itself.
TEST_F(GraphModelTest, AnOpenPageReachedThroughThePageLeavesItOneRow) {
    NodeId p = Page("P"), c = Page("C"), o = Page("O");
    Pin(p);
    Link(p, c);
    Link(c, o);
    Link(o, c);
    Reattach();
    model_.SetOpenPage(o);
    model_.MakeCurrent(c);
    ASSERT_EQ("P0 C1 O2", Layout());
    model_.Tidy();
    EXPECT_EQ("P0 C1 O2", Layout());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, InsertChildKeepsLinkOrderAndMovesTheCurrentRow) {
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C");
    Pin(p);
    Link(p, a);
    Link(p, b);
    Link(p, c);
    Reattach();
    model_.EnsureShown(a);
    EXPECT_EQ("P0+ A1", Layout());
    model_.EnsureShown(c);
    EXPECT_EQ("P0+ A1 C1", Layout());
    model_.MakeCurrent(c);
    model_.InsertChild(0, b);
    EXPECT_EQ("P0 A1 B1 C1", Layout());
    EXPECT_EQ(3, model_.current_row());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, TwoLinksToOnePageLeaveTheParentFullyShown) {
    NodeId p = Page("P"), a = Page("A");
    Pin(p);
    Link(p, a);
    Link(p, a, LinkQuery);
    Reattach();
    model_.EnsureShown(a);
    EXPECT_EQ("P0 A1", Layout());
}

TEST_F(GraphModelTest, APageLinkedByNothingShownGoesToTheBottom) {
    NodeId p = Page("P"), a = Page("A"), b = Page("B");
    Pin(p);
    Link(a, b);
    Reattach();
    model_.EnsureShown(b);
    EXPECT_EQ("P0 B0", Layout());
    model_.EnsureShown(0);
    model_.EnsureShown(b);  // shown already: nothing
    EXPECT_EQ("P0 B0", Layout());
}

TEST_F(GraphModelTest, APinnedPageComingIntoViewGoesBeforeTheUnpinnedOnes) {
    NodeId o = Page("O"), n = Page("N");
    Link(o, n);
    Pin(n);  // behind the model's back, as a new sessions root is
    model_.SetOpenPage(o);
    ASSERT_EQ("O0", Layout());
    model_.EnsureShown(n);
    EXPECT_EQ("N0 O0", Layout());
    EXPECT_EQ("", Check());
}

// ---------------------------------------------------------------------------
// Open page, current page, status bar

TEST_F(GraphModelTest, SetOpenPageShowsThePageWithItsLinks) {
    NodeId o = Page("O"), a = Page("A"), b = Page("B");
    Link(o, a);
    Link(a, b);
    model_.SetOpenPage(o);
    EXPECT_EQ("O0 A1+", Layout());
    EXPECT_EQ(o, model_.open_page());
    ASSERT_FALSE(host_.scrolls.empty());
    EXPECT_EQ(std::make_pair(-1, 0), host_.scrolls.back());

    // A page linked from a shown one hangs under it.
    model_.SetOpenPage(b);
    EXPECT_EQ("O0 A1 B2", Layout());

    model_.MakeCurrent(a);
    model_.SetOpenPage(0);
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(std::make_pair(-1, 1), host_.scrolls.back());
    EXPECT_EQ("O0 A1 B2", Layout());
}

TEST_F(GraphModelTest, MakeCurrentMovesTheFocusMarkAndShowsTheAddress) {
    NodeId a = Page("A"), b = Page("B"), c = Page("C");
    model_.EnsureShown(a);
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

    model_.MakeCurrent(c);
    EXPECT_EQ("A0 B0 C0", Layout());
    EXPECT_EQ(2, model_.current_row());

    NodeId file = db_.FindNode("file:///c|/web/a%20b.htm", true);
    model_.MakeCurrent(file);
    EXPECT_EQ("c:\\web\\a b.htm", host_.status.back());
    EXPECT_EQ("", Check());
}

TEST_F(GraphModelTest, SetCurrentRowTakesTheRowsPage) {
    NodeId a = Page("A"), b = Page("B");
    model_.EnsureShown(a);
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
    NodeId a = Page("A"), b = Page("B");
    Link(a, b);
    model_.EnsureShown(a);
    model_.ShowLinks(0);
    host_.Forget();
    model_.Tidy();
    EXPECT_EQ(0, model_.RowCount());
    EXPECT_GE(host_.repaints, 1);
    EXPECT_EQ(0, host_.busy_depth);
}

TEST_F(GraphModelTest, TidyKeepsPinnedPagesTheCurrentAndTheOpenPage) {
    NodeId p = Page("P"), n = Page("N"), a = Page("A"), b = Page("B"), c = Page("C"), o = Page("O"), k = Page("K");
    Pin(p);
    Pin(n);
    Link(n, c);
    Link(p, a);
    Link(a, b);
    Link(o, k);
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
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C"), q = Page("Q"), n = Page("N");
    Pin(p);
    Link(p, a);
    Link(p, c);
    Link(a, b);
    Reattach();
    model_.ShowLinks(0);
    model_.ShowLinks(1);
    model_.EnsureShown(q);
    model_.MakeCurrent(b);
    ASSERT_EQ("P0 A1 B2 C1 Q0", Layout());

    host_.Forget();
    model_.TogglePin(a);
    EXPECT_EQ("P0 C1 A0 B1 Q0", Layout());
    EXPECT_EQ(3, model_.current_row());
    EXPECT_EQ(std::make_pair(-1, 3), host_.scrolls.back());
    EXPECT_EQ("", Check());

    // A page without a row: after the pinned pages that lead the display.
    model_.TogglePin(n);
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
    NodeId p = Page("P"), a = Page("A"), b = Page("B"), c = Page("C"), e = Page("E");
    Pin(p);
    Link(p, a);
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
    Link(p, b);
    Link(p, c);
    db_.Touch(p);
    model_.RefreshChanged();
    EXPECT_EQ("P0 A1 B1 C1 E0", Layout());
    EXPECT_EQ(35, model_.Row(RowOf(a)).text_width);
    EXPECT_EQ(e_width, model_.Row(RowOf(e)).text_width);
    EXPECT_EQ(1u, host_.scrolls.size());

    // A new link to a page shown elsewhere: it stays, P is not fully shown.
    Link(p, e);
    db_.Touch(p);
    model_.RefreshChanged();
    EXPECT_EQ("P0+ A1 B1 C1 E0", Layout());

    // Collapsed rows take no new children.
    NodeId d = Page("D");
    Link(p, d);
    db_.Touch(p);
    model_.RefreshChanged();
    EXPECT_EQ("P0+ A1 B1 C1 E0", Layout());
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
