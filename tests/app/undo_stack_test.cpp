// The main window's undo stack, with real deletions in a real workspace,
// and the chunked stack under it.
#include <gtest/gtest.h>

#include <memory>

#include "app/chunked_stack.h"
#include "app/undo_stack.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ChunkedStackTest, LastInFirstOutAcrossChunksAndGivesChunksBack) {
    ChunkedStack<int> stack;
    int v = -1;
    EXPECT_TRUE(stack.Empty());
    EXPECT_FALSE(stack.Pop(&v));
    for (int i = 0; i < 129; ++i) stack.Push(i);
    EXPECT_EQ(3, stack.ChunkCount());
    for (int i = 128; i >= 64; --i) {
        ASSERT_TRUE(stack.Peek(&v));
        ASSERT_EQ(i, v);
        ASSERT_TRUE(stack.Pop(&v));
        ASSERT_EQ(i, v);
    }
    // Emptying the second chunk handed it back; the first stays full.
    EXPECT_EQ(1, stack.ChunkCount());
    stack.Push(500);  // a new chunk again, on a full one
    EXPECT_EQ(2, stack.ChunkCount());
    ASSERT_TRUE(stack.Pop(&v));
    EXPECT_EQ(500, v);
    for (int i = 63; i >= 0; --i) {
        ASSERT_TRUE(stack.Pop(&v));
        ASSERT_EQ(i, v);
    }
    EXPECT_TRUE(stack.Empty());
    EXPECT_FALSE(stack.Pop(&v));
    EXPECT_FALSE(stack.Peek(&v));
}

class UndoStackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.CreateWorkspace(dir_.File("u.sk1").c_str())); }
    NodeId Page(const char* url) { return db_.FindNode(url, true); }
    bool Gone(NodeId n) { return db_.TestFlags(n, Deleted) != 0; }

    TempDir dir_;
    NodeDb db_;
};

TEST_F(UndoStackTest, UndoesTheNewestDeletionFirst) {
    NodeId a = Page("http://s/a"), b = Page("http://s/b");
    UndoStack stack;
    stack.Push(db_.Delete(a, true, 0));
    stack.Push(db_.Delete(b, true, 0));
    stack.Push(0);  // a deletion that deleted nothing gives no record
    ASSERT_TRUE(Gone(a) && Gone(b));

    ASSERT_TRUE(stack.DropStaleTop() != 0);
    EXPECT_TRUE(stack.UndoTop());
    EXPECT_FALSE(Gone(b));
    EXPECT_TRUE(Gone(a));
    EXPECT_TRUE(stack.UndoTop());
    EXPECT_FALSE(Gone(a));
    EXPECT_TRUE(stack.Empty());
    EXPECT_FALSE(stack.UndoTop());
}

TEST_F(UndoStackTest, RecordsAPurgeOutdatedAreDroppedAsTheMenuOpens) {
    NodeId a = Page("http://s/a"), b = Page("http://s/b");
    UndoStack stack;
    stack.Push(db_.Delete(a, true, 0));
    db_.Purge();  // a is gone for good
    stack.Push(db_.Delete(b, true, 0));
    AUndo* top = stack.DropStaleTop();
    ASSERT_TRUE(top != 0);  // b's deletion still can be undone
    EXPECT_TRUE(stack.UndoTop());
    EXPECT_FALSE(Gone(b));
    EXPECT_EQ(0, stack.DropStaleTop());  // a's record was dropped
    EXPECT_TRUE(stack.Empty());
}

// Records left at the end are neither undone nor made final (no purge ran);
// CommitAll makes them final.
TEST_F(UndoStackTest, RecordsAreMadeFinalOnlyByCommitAll) {
    NodeId a = Page("http://s/a");
    std::unique_ptr<UndoStack> stack(new UndoStack);
    stack->Push(db_.Delete(a, true, 0));
    stack.reset();
    EXPECT_TRUE(Gone(a));
    bool in_file = false;
    for (NodeId n = db_.FirstInTree(); n; n = db_.NextInTree(n)) in_file |= n == a;
    EXPECT_TRUE(in_file);

    UndoStack committing;
    committing.Push(db_.Delete(Page("http://s/b"), true, 0));
    committing.CommitAll();
    EXPECT_TRUE(committing.Empty());
    EXPECT_EQ(0, committing.DropStaleTop());
    EXPECT_EQ(0u, db_.FindNode("http://s/b", false));
}

}  // namespace
