// Deletion in two phases: Delete marks nodes (undoably), Purge destroys the
// marked ones for good and rebuilds the name tree.
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
    for (NodeId x = work.Pop(); x != 0; x = work.Pop()) {
        for (LinkId l = FirstOut(x); l != 0; l = NextLink(l)) {
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

// Unhooks every link of `node` from the nodes at the other end, gives all
// its cells back, and frees its texts, body and record.
void NodeDb::DestroyNode(NodeId node) {
    for (int pass = 0; pass < 2; ++pass) {
        bool out_list = pass == 0;
        LinkId head = out_list ? Node(node).out_head() : Node(node).in_head();
        for (LinkId c = head; c != 0; c = Cell(c).next()) {
            NodeId other = Cell(c).node();
            // A self link's two cells are both in this node's own lists.
            if (other != node) RemoveCells(other, !out_list, node, kLinkKindMask);
        }
        LinkId last = 0;
        for (LinkId c = head; c != 0; c = Cell(c).next()) last = c;
        if (head != 0) {
            Cell(last).set_next(Header(kFreeLinkCells));
            SetHeader(kFreeLinkCells, head);
        }
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
    FreeText(rec.name());
    FreeText(rec.label());
    FreeText(rec.title());
    // Only the session kind keeps a counted body; whatever else carries a
    // body got it as a text block.
    if (rec.flags() & CountedBodyKind)
        FreeCountedBody(node);
    else
        FreeTextBody(node);
    if (Header(kSessionsRoot) == node) SetHeader(kSessionsRoot, 0);
    Free(node, kNodeOrder);
}

uint32_t NodeDb::Purge() {
    DropNameIndex();
    SetHeader(kPurgeMark, NextStamp());
    if (Root() == 0) return 0;

    std::vector<NodeId> live;
    NodeStack doomed;
    for (NodeId x = FirstInTree(); x != 0; x = NextInTree(x)) {
        if (IsDeleted(x))
            doomed.Push(x);
        else
            live.push_back(x);
    }
    SetHeader(kTreeRoot, live.empty() ? 0 : BuildBalanced(&live[0], live.size(), 0));
    for (NodeId d = doomed.Pop(); d != 0; d = doomed.Pop()) DestroyNode(d);
    return (uint32_t)live.size();
}
