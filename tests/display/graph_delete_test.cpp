// Deleting pages from the map: rows, the current and open pages, the undo
// record, and the Delete menu item.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "res/strings.h"
#include "store/undo.h"
#include "tests/display/graph_fixture.h"
#include "tests/store/workspace_checker.h"

namespace {

// P (pinned) links to A and B, A to C: rows P0 A1 C2 B1.
class GraphDeleteTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        p_ = Page("P"), a_ = Page("A"), b_ = Page("B"), c_ = Page("C");
        Map("P* P>A P>B A>C");
        Reattach();
        model_.ShowLinks(0);
        model_.ShowLinks(1);
        ASSERT_EQ("P0 A1 C2 B1", Layout());
    }
    bool Gone(NodeId n) { return db_.TestFlags(n, Deleted) != 0; }
    std::string MenuText(bool* enabled) {
        char text[64];
        *enabled = model_.DeleteCommandText(text, sizeof text);
        return text;
    }

    NodeId p_, a_, b_, c_;
};

TEST_F(GraphDeleteTest, DeleteRowTakesTheSubtreeAndThePagesOnlyItLinksTo) {
    model_.MakeCurrent(a_);
    host_.Forget();
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(1, a_, 0));
    EXPECT_EQ("P0 B1", Layout());  // P stays expanded
    ASSERT_TRUE(undo);
    EXPECT_EQ(2u, undo->count());
    EXPECT_TRUE(Gone(a_));
    EXPECT_TRUE(Gone(c_));
    EXPECT_FALSE(Gone(b_));
    // The current row was in the block: the row now in its place.
    EXPECT_EQ(1, model_.current_row());
    EXPECT_EQ(b_, model_.current_page());
    EXPECT_EQ(std::make_pair(-1, 1), host_.scrolls.back());
    EXPECT_EQ("", Check());
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(GraphDeleteTest, TheCurrentRowMovesWithItsPageOrStaysAbove) {
    model_.MakeCurrent(b_);
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(1, a_, 0));
    EXPECT_EQ(1, model_.current_row());
    EXPECT_EQ(b_, model_.current_page());

    model_.MakeCurrent(p_);
    host_.Forget();
    undo.reset(model_.DeleteRow(1, b_, 0));
    EXPECT_EQ("P0", Layout());
    EXPECT_EQ(0, model_.current_row());
    EXPECT_TRUE(host_.focus_rows.empty());
}

TEST_F(GraphDeleteTest, DeletingTheLastRowMovesTheCurrentRowToTheNewLastRow) {
    model_.MakeCurrent(b_);
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(3, b_, 0));
    EXPECT_EQ("P0 A1 C2", Layout());
    EXPECT_EQ(2, model_.current_row());
    EXPECT_EQ(c_, model_.current_page());
    EXPECT_EQ("", Check());
}

TEST_F(GraphDeleteTest, AfterDeletingTheOnlyRowThereIsNoCurrentRow) {
    model_.TogglePin(p_);  // unpinned, so that deleting it leaves nothing
    model_.HideLinks(0);
    model_.MakeCurrent(p_);
    ASSERT_EQ("P0+", Layout());
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(0, p_, 0));
    EXPECT_EQ(0, model_.RowCount());
    EXPECT_EQ(-1, model_.current_row());
    EXPECT_EQ(0u, model_.current_page());
    EXPECT_EQ("", Check());
}

TEST_F(GraphDeleteTest, TheOpenPageGoesOnlyWithItsRow) {
    model_.SetOpenPage(b_);
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(1, a_, 0));
    EXPECT_EQ(b_, model_.open_page());  // outside the block

    undo->Undo();
    Reattach();
    model_.ShowLinks(0);
    model_.SetOpenPage(c_);
    ASSERT_EQ(c_, model_.open_page());
    undo.reset(model_.DeleteRow(RowOf(b_), b_, 0));
    EXPECT_EQ(c_, model_.open_page());
    undo.reset(model_.DeleteRow(RowOf(a_), a_, 0));
    EXPECT_EQ(0u, model_.open_page());  // inside A's subtree
}

TEST_F(GraphDeleteTest, DeletePagesOnTheCurrentPageWithLinksDeletesWhatItLinksTo) {
    model_.SetOpenPage(c_);
    model_.MakeCurrent(p_);
    std::unique_ptr<Undo_delete> undo(model_.DeletePages());
    EXPECT_EQ("P0", Layout());
    ASSERT_TRUE(undo);
    EXPECT_EQ(3u, undo->count());
    EXPECT_FALSE(Gone(p_));
    EXPECT_TRUE(Gone(a_) && Gone(b_) && Gone(c_));
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ(0, model_.current_row());
    EXPECT_EQ("", Check());
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(GraphDeleteTest, DeletePagesOnTheCurrentPageWithoutLinksDeletesIt) {
    model_.MakeCurrent(b_);
    std::unique_ptr<Undo_delete> undo(model_.DeletePages());
    EXPECT_EQ("P0 A1 C2", Layout());
    ASSERT_TRUE(undo);
    EXPECT_EQ(1u, undo->count());
    EXPECT_TRUE(Gone(b_));

    // A current page without a row is deleted too, and is current no more.
    model_.MakeCurrent(c_);
    model_.HideLinks(RowOf(a_));
    ASSERT_EQ(-1, model_.current_row());
    undo.reset(model_.DeletePages());
    EXPECT_TRUE(Gone(c_));
    EXPECT_EQ(0u, model_.current_page());
    EXPECT_EQ("", Check());
}

// A selected row inside another selected subtree goes with that one.
TEST_F(GraphDeleteTest, DeletePagesTakesTheSelectedRowsIntoOneRecord) {
    const struct {
        int first, second;
        const char* left;
        size_t count;
    } cases[] = {{1, 3, "P0", 3u}, {1, 2, "P0 B1", 2u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        model_.SetSelected(c.first, true);
        model_.SetSelected(c.second, true);
        std::unique_ptr<Undo_delete> undo(model_.DeletePages());
        EXPECT_EQ(c.left, Layout());
        ASSERT_TRUE(undo);
        EXPECT_EQ(c.count, undo->count());
        EXPECT_EQ("", Check());
        undo->Undo();
        Reattach();
        model_.ShowLinks(0);
        model_.ShowLinks(1);
    }
}

TEST_F(GraphDeleteTest, UndoThenRefreshKeepsTheLayoutSound) {
    model_.MakeCurrent(a_);
    std::unique_ptr<Undo_delete> undo(model_.DeleteRow(1, a_, 0));
    ASSERT_TRUE(undo && undo->CanUndo());
    undo->Undo();
    model_.RefreshChanged();
    EXPECT_FALSE(Gone(a_) || Gone(c_));
    EXPECT_EQ("", Check());
    // Showing P's links again brings A back in its place.
    model_.ShowLinks(0);
    EXPECT_EQ("P0 A1+ B1", Layout());
    EXPECT_EQ("", Check());
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(GraphDeleteTest, TheDeleteMenuItemSaysWhatWillGo) {
    bool enabled = true;
    EXPECT_EQ(AppString(IDS_DELETE_NOTHING), MenuText(&enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(0, model_.DeletePages());
    EXPECT_EQ("P0 A1 C2 B1", Layout());

    model_.MakeCurrent(p_);
    EXPECT_EQ(AppString(IDS_DELETE_LINKED_PAGES), MenuText(&enabled));
    EXPECT_TRUE(enabled);

    model_.MakeCurrent(b_);
    EXPECT_EQ(AppString(IDS_DELETE_PAGE), MenuText(&enabled));
    EXPECT_TRUE(enabled);

    model_.SetSelected(0, true);
    EXPECT_EQ(AppString(IDS_DELETE_SELECTED_PAGES), MenuText(&enabled));
    EXPECT_TRUE(enabled);

    // Links of a kind not shown do not count.
    model_.SetSelected(0, false);
    Link(b_, c_, LinkInclude);
    EXPECT_EQ(AppString(IDS_DELETE_PAGE), MenuText(&enabled));
}

}  // namespace
