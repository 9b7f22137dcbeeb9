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
        Map("P* P>A P>B A>C");
        Run("reattach; links 0; links 1; = P0 A1 C2 B1");
        p_ = Page("P"), a_ = Page("A"), b_ = Page("B"), c_ = Page("C");
    }
    // Deletes a row, keeping its record; "" when rows and file are sound.
    std::string Delete(int row) {
        undo_.reset(model_.DeleteRow(row, model_.Row(row).node(), 0));
        return Check() + CheckWorkspace(db_);
    }
    // Undoes the last deletion and shows the rows of SetUp again.
    void Restore() {
        undo_->Undo();
        Run("reattach; links 0; links 1; = P0 A1 C2 B1");
    }
    bool Gone(NodeId n) { return db_.TestFlags(n, Deleted) != 0; }
    std::string MenuText(bool* enabled) {
        char text[64];
        *enabled = model_.DeleteCommandText(text, sizeof text);
        return text;
    }

    NodeId p_, a_, b_, c_;
    std::unique_ptr<Undo_delete> undo_;
};

// A's row takes C with it (only A links to C), not B; P stays expanded.
TEST_F(GraphDeleteTest, DeleteRowTakesTheSubtreeAndThePagesOnlyItLinksTo) {
    Run("current A");
    host_.Forget();
    EXPECT_EQ("", Delete(1));
    Run("= P0 B1; @1");  // the current row was in the block: the row now in its place
    ASSERT_TRUE(undo_);
    EXPECT_EQ(2u, undo_->count());
    EXPECT_TRUE(Gone(a_) && Gone(c_));
    EXPECT_FALSE(Gone(b_));
    EXPECT_EQ(std::make_pair(-1, 1), host_.scrolls.back());
}

// The current row moves with its page, stays when above the block, and
// goes to the new last row when the last row goes.
TEST_F(GraphDeleteTest, TheCurrentRowFollowsItsPage) {
    const struct {
        const char* current;
        int row;
        const char* after;
    } cases[] = {{"B", 1, "= P0 B1; @1"}, {"P", 3, "= P0 A1 C2; @0"}, {"B", 3, "= P0 A1 C2; @2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        Run(std::string("current ") + c.current);
        host_.Forget();
        EXPECT_EQ("", Delete(c.row));
        Run(c.after);
        if (*c.current == 'P') {
            EXPECT_TRUE(host_.focus_rows.empty()) << "the mark stays";
        }
        Restore();
    }
    // The only row: unpinned, so that deleting it leaves nothing.
    Run("pin P; hide 0; current P; = P0+");
    EXPECT_EQ("", Delete(0));
    Run("=; @-1");
    EXPECT_EQ(0u, model_.current_page());
}

// The open page stays outside the block; inside A's subtree it goes.
TEST_F(GraphDeleteTest, TheOpenPageGoesOnlyWithItsRow) {
    Run("open B");
    Delete(1);
    EXPECT_EQ(b_, model_.open_page());
    Restore();
    Run("open C");
    Delete(3);
    EXPECT_EQ(c_, model_.open_page());
    Delete(1);
    EXPECT_EQ(0u, model_.open_page());
}

TEST_F(GraphDeleteTest, DeletePagesOnTheCurrentPageWithLinksDeletesWhatItLinksTo) {
    Run("open C; current P");
    undo_.reset(model_.DeletePages());
    Run("= P0; @0");
    ASSERT_TRUE(undo_);
    EXPECT_EQ(3u, undo_->count());
    EXPECT_FALSE(Gone(p_));
    EXPECT_TRUE(Gone(a_) && Gone(b_) && Gone(c_));
    EXPECT_EQ(0u, model_.open_page());
    EXPECT_EQ("", Check() + CheckWorkspace(db_));
}

// A current page without a row is deleted too, and is current no more.
TEST_F(GraphDeleteTest, DeletePagesOnTheCurrentPageWithoutLinksDeletesIt) {
    Run("current B");
    undo_.reset(model_.DeletePages());
    Run("= P0 A1 C2");
    ASSERT_TRUE(undo_);
    EXPECT_EQ(1u, undo_->count());
    EXPECT_TRUE(Gone(b_));

    Run("current C; hide 1; @-1");
    undo_.reset(model_.DeletePages());
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
    } cases[] = {{1, 3, "= P0", 3u}, {1, 2, "= P0 B1", 2u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        model_.SetSelected(c.first, true);
        model_.SetSelected(c.second, true);
        undo_.reset(model_.DeletePages());
        Run(c.left);
        ASSERT_TRUE(undo_);
        EXPECT_EQ(c.count, undo_->count());
        EXPECT_EQ("", Check());
        Restore();
    }
}

// Showing P's links again after the undo brings A back in its place.
TEST_F(GraphDeleteTest, UndoThenRefreshKeepsTheLayoutSound) {
    Run("current A");
    Delete(1);
    ASSERT_TRUE(undo_ && undo_->CanUndo());
    undo_->Undo();
    Run("refresh");
    EXPECT_FALSE(Gone(a_) || Gone(c_));
    EXPECT_EQ("", Check());
    Run("links 0; = P0 A1+ B1");
    EXPECT_EQ("", Check() + CheckWorkspace(db_));
}

// Links of a kind not shown do not count.
TEST_F(GraphDeleteTest, TheDeleteMenuItemSaysWhatWillGo) {
    bool enabled = true;
    EXPECT_EQ(AppString(IDS_DELETE_NOTHING), MenuText(&enabled));
    EXPECT_FALSE(enabled);
    EXPECT_EQ(0, model_.DeletePages());
    Run("= P0 A1 C2 B1; current P");
    EXPECT_EQ(AppString(IDS_DELETE_LINKED_PAGES), MenuText(&enabled));
    EXPECT_TRUE(enabled);
    Run("current B");
    EXPECT_EQ(AppString(IDS_DELETE_PAGE), MenuText(&enabled));
    EXPECT_TRUE(enabled);
    model_.SetSelected(0, true);
    EXPECT_EQ(AppString(IDS_DELETE_SELECTED_PAGES), MenuText(&enabled));
    EXPECT_TRUE(enabled);
    model_.SetSelected(0, false);
    Map("B>C:i");
    EXPECT_EQ(AppString(IDS_DELETE_PAGE), MenuText(&enabled));
}

}  // namespace
