// Deletion in two phases: Delete marks nodes (undoably), Purge destroys the
// marked ones for good and rebuilds the name tree.
#include <algorithm>
#include <vector>

#include "store/node_ref.h"
#include "store/nodedb.h"
#include "store/undo.h"

using namespace layout;

Undo_delete* NodeDb::Delete(NodeId node, bool with_self, Undo_delete* undo) {
    if (undo == 0) undo = new Undo_delete(*this);
    SetFlags(node, Deleted);
    if (with_self) undo->Record(node);

    // Depth first: a page that only the deleted ones link to goes too,
    // unless it is pinned, in which case it is hung under its site.
    NodeStack work;
    work.Push(node);
    uint32_t steps = MostCells();
    for (NodeId x = work.Pop(); x != 0; x = work.Pop()) {
        for (LinkId l = FirstOut(x); l != 0 && steps != 0; l = NextLink(l), --steps) {
            NodeId t = LinkNode(l);
            if (FirstIn(t) != 0) continue;
            if (TestFlags(t, Pinned)) {
                NodeRef(*this, t).FileUnderHost();
            } else {
                SetFlags(t, Deleted);
                undo->Record(t);
                work.Push(t);
            }
        }
    }
    if (!with_self) {
        ClearFlags(node, Deleted);
        NodeRef(*this, node).FileUnderHost();
    }
    if (undo->CanUndo()) return undo;
    delete undo;
    return 0;
}

NodeId NodeDb::BuildBalanced(const NodeId* nodes, size_t count, NodeId parent) {
    if (count == 0) return 0;
    size_t mid = count / 2;
    NodeId node = nodes[mid];
    NodeId left = BuildBalanced(nodes, mid, node);
    NodeId right = BuildBalanced(nodes + mid + 1, count - mid - 1, node);
    NodeRec rec = Node(node);
    rec.set_parent(parent);
    rec.set_left(left);
    rec.set_right(right);
    FixHeight(node);
    return node;
}

// Adds both of a doomed node's lists to the spare cells, and its texts, body
// and record to the blocks to free. Its links are already gone from the
// nodes that stay; links between two doomed nodes go with the lists of
// both. A list that does not end (a damaged file not yet checked) is left
// where it is.
void NodeDb::DestroyNode(NodeId node, SpareCells* spare, FreedBlocks* freed) {
    for (int pass = 0; pass < 2; ++pass) {
        bool out_list = pass == 0;
        LinkId head = out_list ? Node(node).out_head() : Node(node).in_head();
        LinkId last = 0;
        uint32_t steps = MostCells();
        for (LinkId c = head; c != 0 && steps != 0; c = Cell(c).next(), --steps) last = c;
        if (head != 0 && Cell(last).next() == 0)
            for (LinkId c = head; c != 0; c = Cell(c).next()) spare->Add(c);
        NodeRec rec = Node(node);
        if (out_list) {
            rec.set_out_head(0);
            rec.set_out_tail(0);
        } else {
            rec.set_in_head(0);
            rec.set_in_tail(0);
        }
    }
    NodeRec rec = Node(node);
    freed->Add(rec.name(), TextOrderOf(rec.name()));
    freed->Add(rec.label(), TextOrderOf(rec.label()));
    freed->Add(rec.title(), TextOrderOf(rec.title()));
    // Only the session kind keeps a counted body; whatever else carries a
    // body got it as a text block.
    uint32_t body = rec.body();
    freed->Add(body, rec.flags() & CountedBodyKind ? CountedOrderOf(body) : TextOrderOf(body));
    rec.set_body(0);
    if (Header(kSessionsRoot) == node) SetHeader(kSessionsRoot, 0);
    freed->Add(node, kNodeOrder);
}

// Each block is pushed onto the head of its list, so freeing from the end
// of the file down leaves the lists in file order, which the walks of the
// lists at the next open and check then read forward through memory.
// A block named twice (a damaged file not yet checked) is freed once.
void NodeDb::FreeInOrder(FreedBlocks* freed) {
    std::vector<uint64_t>& b = freed->blocks;
    std::sort(b.begin(), b.end());
    b.erase(std::unique(b.begin(), b.end()), b.end());
    for (size_t i = b.size(); i-- > 0;) Free((uint32_t)(b[i] >> 8), (int)(b[i] & 0xFF));
}

// Every surviving node that a doomed one links with, or is linked from,
// once each: its lists are filtered in one walk however many of its links
// go. (Unhooking link by link walked a hub's whole list for every link of
// it that went: quadratic in the hub's size.)
void NodeDb::UnhookDoomed(const std::vector<NodeId>& doomed, SpareCells* spare) {
    std::vector<NodeId> touched;
    for (NodeId d : doomed)
        for (int pass = 0; pass < 2; ++pass) {
            uint32_t steps = MostCells();
            for (LinkId c = pass ? Node(d).in_head() : Node(d).out_head(); c != 0 && steps != 0;
                 c = Cell(c).next(), --steps)
                if (!IsDeleted(Cell(c).node())) touched.push_back(Cell(c).node());
        }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (NodeId t : touched) {
        RemoveCells(t, true, 0, 0, spare);
        RemoveCells(t, false, 0, 0, spare);
    }
}

// The purge's cells go onto the spare list in the order they lie in the
// file. The start-up check walks that list cell by cell, each read waiting
// on the one before: in file order those reads run forward through memory
// and the processor fetches ahead of them. (Spliced on list by list, the
// spare list left by purging a tenth of a million pages cost the next
// check a fifth of its time.)
void NodeDb::GiveSpareCells(const SpareCells& spare) {
    LinkId first = 0, last = 0;
    for (size_t w = 0; w < spare.bits.size(); ++w) {
        for (uint64_t word = spare.bits[w]; word != 0; word &= word - 1) {
            LinkId c = (LinkId)((w * 64 + (size_t)LowestBit(word)) * kCellSize);
            if (!Fits(c, kCellSize)) break;  // the last word reaches past the end
            Cell(c).set_target(0, (LinkKind)0);
            if (last)
                Cell(last).set_next(c);
            else
                first = c;
            last = c;
        }
    }
    if (last == 0) return;
    Cell(last).set_next(Header(kFreeLinkCells));
    SetHeader(kFreeLinkCells, first);
}

uint32_t NodeDb::Purge() {
    DropNameIndex();
    SetHeader(kPurgeMark, NextStamp());
    if (Root() == 0) return 0;

    std::vector<NodeId> live;
    std::vector<NodeId> doomed;
    uint32_t nodes = MostNodes();
    for (NodeId x = FirstInTree(); x != 0 && nodes != 0; x = NextInTree(x), --nodes) {
        if (IsDeleted(x))
            doomed.push_back(x);
        else
            live.push_back(x);
    }
    SetHeader(kTreeRoot, live.empty() ? 0 : BuildBalanced(&live[0], live.size(), 0));
    SpareCells spare;
    spare.bits.assign(MostCells() / 64 + 1, 0);
    UnhookDoomed(doomed, &spare);
    // Destroyed last found first, as a stack gives them.
    FreedBlocks freed;
    for (size_t i = doomed.size(); i-- > 0;) DestroyNode(doomed[i], &spare, &freed);
    GiveSpareCells(spare);
    FreeInOrder(&freed);
    return (uint32_t)live.size();
}
