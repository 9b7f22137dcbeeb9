// Row_list: its index must find every row exactly where a walk from the top
// does, through any mixture of inserts, removals, block moves and lookups.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "display/graph_rows.h"
#include "store/nodedb.h"
#include "tests/display/graph_fixture.h"

namespace {

class RowListTest : public ::testing::Test {
protected:
    Graph_row* Row(NodeId node) { return new Graph_row(db_, node, 0, LinkAnchor); }
    std::string Order() {
        std::string out;
        for (int i = 0; i < list_.Count(); ++i) out += (char)('a' + list_.At(i)->node() / 64 - 1);
        return out;
    }
    void Fill(const char* letters) {
        for (const char* c = letters; *c; ++c) list_.Insert(list_.Count(), Row((NodeId)(*c - 'a' + 1) * 64));
    }
    NodeId Node(char letter) { return (NodeId)(letter - 'a' + 1) * 64; }

    NodeDb db_;  // only named by the rows; never opened
    Row_list list_;
};

TEST_F(RowListTest, MoveBlockEitherWay) {
    Fill("abcdef");
    EXPECT_EQ(3, list_.MoveBlock(1, 3, 5));  // bc before f
    EXPECT_EQ("adebcf", Order());
    EXPECT_EQ(0, list_.MoveBlock(3, 5, 0));  // bc to the front
    EXPECT_EQ("bcadef", Order());
    EXPECT_EQ(4, list_.MoveBlock(4, 6, 4));  // in place
    EXPECT_EQ("bcadef", Order());
    EXPECT_EQ(4, list_.MoveBlock(0, 2, 6));  // to the end
    EXPECT_EQ("adefbc", Order());
    for (const char* c = "abcdef"; *c; ++c) EXPECT_EQ(list_.ScanFor(Node(*c)), list_.IndexOf(Node(*c)));
}

TEST_F(RowListTest, RemoveAndRetainForgetTheRows) {
    Fill("abcdef");
    list_.Remove(1, 3);
    EXPECT_EQ("adef", Order());
    EXPECT_EQ(-1, list_.IndexOf(Node('b')));
    EXPECT_TRUE(list_.Find(Node('c')) == 0);
    EXPECT_EQ(2, list_.IndexOf(Node('e')));
    std::vector<bool> keep = {true, false, true, false};
    list_.Retain(keep);
    EXPECT_EQ("ae", Order());
    EXPECT_EQ(1, list_.IndexOf(Node('e')));
    EXPECT_EQ(-1, list_.IndexOf(Node('d')));
    list_.Clear();
    EXPECT_EQ(-1, list_.IndexOf(Node('a')));
}

TEST_F(RowListTest, IndexAgreesWithAScanThroughRandomEdits) {
    const int kNodes = 300;
    int seeds = FromEnvironment("SKEIND_GRAPH_SEEDS", 10);
    for (int seed = 0; seed < seeds; ++seed) {
        std::mt19937 rng((unsigned)seed);
        list_.Clear();
        std::vector<bool> shown(kNodes + 1, false);
        for (int step = 0; step < 1500; ++step) {
            int n = list_.Count();
            unsigned op = rng() % 10;
            if (op < 4) {
                NodeId node = (NodeId)(1 + rng() % kNodes);
                if (!shown[node]) {
                    list_.Insert(n ? (int)(rng() % (n + 1)) : 0, Row(node * 64));
                    shown[node] = true;
                }
            } else if (op < 5 && n > 0) {
                int from = (int)(rng() % n);
                int to = from + 1 + (int)(rng() % 4);
                if (to > n) to = n;
                for (int i = from; i < to; ++i) shown[list_.At(i)->node() / 64] = false;
                list_.Remove(from, to);
            } else if (op < 8 && n > 1) {
                int from = (int)(rng() % n);
                int to = from + 1 + (int)(rng() % 5);
                if (to > n) to = n;
                int before = (int)(rng() % (n + 1));
                if (before > from && before < to) before = to;
                Graph_row* first = list_.At(from);
                int at = list_.MoveBlock(from, to, before);
                ASSERT_EQ(first, list_.At(at));
            } else if (op < 9 && n > 0) {
                std::vector<bool> keep((size_t)n);
                for (int i = 0; i < n; ++i) {
                    keep[(size_t)i] = rng() % 8 != 0;
                    if (!keep[(size_t)i]) shown[list_.At(i)->node() / 64] = false;
                }
                list_.Retain(keep);
            }
            // A few lookups between edits, so that some positions go stale
            // and others are renumbered half way through.
            for (int k = 0; k < 2; ++k) {
                NodeId node = (NodeId)(1 + rng() % kNodes) * 64;
                ASSERT_EQ(list_.ScanFor(node), list_.IndexOf(node)) << "seed " << seed << " step " << step;
            }
        }
        for (NodeId node = 1; node <= (NodeId)kNodes; ++node) {
            ASSERT_EQ(list_.ScanFor(node * 64), list_.IndexOf(node * 64)) << "seed " << seed;
            ASSERT_EQ(shown[node], list_.Find(node * 64) != 0);
        }
    }
}

}  // namespace
