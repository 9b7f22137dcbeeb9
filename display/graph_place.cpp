// Where a page that comes into view is put: under the open page when that
// links to it, else under the shown page nearest to it (searching its
// incoming links backwards, at most 20 links), else at the bottom as a
// top-level row. Children keep the order of their parent's links.
#include "display/graph_model.h"

using layout::kLinkKindMask;

// A search's marks carry its number in their upper 16 bits, and a mark
// left by an earlier search reads as unvisited: a new search starts without
// touching every node. All nodes are set once when the numbers start again
// (a new workspace, whose marks the start-up check filled, or a wrap),
// deleted ones too, since one may come back. Nodes made since then hold 0,
// which no search number matches.
uint32_t Graph_model::Mark(NodeId page) const {
    if (workspace_ == 0 || page == 0 || search_ == 0) return MarkUnvisited;
    uint32_t mark = workspace_->DisplayMark(page);
    return (mark >> 16) == search_ ? (mark & 0xFFFF) : MarkUnvisited;
}

void Graph_model::SetMark(NodeId page, uint32_t distance) {
    workspace_->SetDisplayMark(page, (search_ << 16) | distance);
}

void Graph_model::StartSearch() {
    if (search_ == 0 || search_ == 0xFFFF) {
        workspace_->ClearDisplayMarks();
        search_ = 0;
    }
    ++search_;
}

uint32_t Graph_model::DistanceToShown(NodeId page, int budget) {
    AWorkspace& w = *workspace_;
    uint32_t mark = Mark(page);
    if (mark != MarkUnvisited) return mark;
    if (budget <= 0) {
        SetMark(page, MarkUnreachable);
        return MarkUnreachable;
    }
    Graph_row* row = rows_.Find(page);
    if (row) {
        SetMark(page, (uint32_t)row->depth);
        return (uint32_t)row->depth;
    }
    // Marked first so that a cycle back to this page ends here.
    SetMark(page, MarkUnreachable);
    uint32_t nearest = MarkUnreachable;
    // The deeper levels append theirs after these and take them off again.
    size_t first = in_links_.size();
    w.LiveInLinks(page, &in_links_);
    size_t end = in_links_.size();
    for (size_t i = first; i < end; ++i) {
        uint32_t link = in_links_[i];
        if (!IsShownKind((LinkKind)(link & kLinkKindMask))) continue;
        uint32_t d = DistanceToShown(link & ~kLinkKindMask, budget - 1);
        if (d < nearest) nearest = d;
    }
    in_links_.resize(first);
    if (nearest != MarkUnreachable) ++nearest;
    SetMark(page, nearest);
    return nearest;
}

bool Graph_model::IsReachable(NodeId page, bool allow_own_children) {
    if (workspace_ == 0 || page == 0) return false;
    AWorkspace& w = *workspace_;
    // Links to a deleted page are skipped by every walk, so no shown page
    // can take it as a child.
    if (w.TestFlags(page, Deleted)) return false;
    StartSearch();  // every node unvisited
    if (!allow_own_children) {
        for (LinkId l = w.FirstOut(page); l != 0; l = w.NextLink(l))
            if (IsShownKind(w.LinkKindOf(l))) SetMark(w.LinkNode(l), MarkUnreachable);
    }
    return DistanceToShown(page, SearchDepthLimit) != MarkUnreachable;
}

void Graph_model::ShowPage(NodeId page, bool allow_own_children) {
    if (page == 0 || workspace_ == 0) return;
    Busy_section busy(host_);
    if (IsReachable(page, false) || (allow_own_children && IsReachable(page, true))) AttachUnderAncestor(page);
    if (!HasRow(page)) AppendTopLevel(page);
    FollowCurrentPage();
}

void Graph_model::AttachUnderAncestor(NodeId page) {
    if (workspace_ == 0 || page == 0 || HasRow(page)) return;
    // Pinned pages are nobody's children. One that lost its row (deleted,
    // then undone) goes back to top level, and the path goes on from it.
    if (IsPinned(page)) {
        InsertPinned(page);
        return;
    }
    AWorkspace& w = *workspace_;
    NodeId source = 0;
    uint32_t nearest = Mark(page);
    for (LinkId l = w.FirstIn(page); l != 0; l = w.NextLink(l)) {
        if (!IsShownKind(w.LinkKindOf(l))) continue;
        uint32_t mark = Mark(w.LinkNode(l));
        if (mark < nearest) {
            nearest = mark;
            source = w.LinkNode(l);
        }
    }
    // After a reachability test that found the page there always is one.
    if (source == 0) return;
    AttachUnderAncestor(source);
    InsertChild(RowOf(source), page);
}

void Graph_model::InsertChild(int parent, NodeId page) {
    if (parent < 0 || parent >= RowCount() || page == 0) return;
    AWorkspace& w = *workspace_;
    Graph_row& up = At(parent);  // rows only go in below it
    up.flags |= RowExpanded;
    int d = up.depth;
    int p = SubtreeEnd(parent + 1, d + 1);
    bool inserted = HasRow(page);  // a page never gets a second row
    for (LinkId l = w.FirstOut(up.node()); l != 0; l = w.NextLink(l)) {
        NodeId target = w.LinkNode(l);
        if (!IsShownKind(w.LinkKindOf(l)) || IsPinned(target)) continue;
        if (p < RowCount() && At(p).depth == d + 1 && At(p).node() == target) {
            p = SubtreeEnd(p + 1, d + 1);
            if (target != page) continue;
            inserted = true;  // it was there already
            if (!up.expanded()) return;
            continue;
        }
        if (!inserted && target == page) {
            InsertRow(p, page, d + 1, w.LinkKindOf(l));
            if (current_row_ >= 0 && p <= current_row_)
                ++current_row_;
            else if (page == current_page_)
                current_row_ = p;
            ++p;
            inserted = true;
            if (!up.expanded()) return;
            continue;
        }
        // A second link to a child placed by an earlier one is in its place.
        int t = RowOf(target);
        if (t > parent && t < p && At(t).depth == d + 1) continue;
        up.flags &= ~RowExpanded;
        if (inserted) return;
    }
}

void Graph_model::EnsureShown(NodeId page) {
    if (page == 0 || workspace_ == 0 || HasRow(page)) return;
    AWorkspace& w = *workspace_;
    if (open_page_ != 0 && page != open_page_) {
        for (LinkId l = w.FirstIn(page); l != 0; l = w.NextLink(l)) {
            if (!IsShownKind(w.LinkKindOf(l)) || w.LinkNode(l) != open_page_) continue;
            EnsureShown(open_page_);
            // The open page may have come into view under the page itself.
            if (!HasRow(page)) InsertChild(RowOf(open_page_), page);
            // A pinned page is nobody's child: placed as any other.
            if (!HasRow(page)) ShowPage(page, true);
            FollowCurrentPage();
            return;
        }
    }
    ShowPage(page, true);
    FollowCurrentPage();
}
