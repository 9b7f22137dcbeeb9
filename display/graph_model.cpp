// The graph model's state and the operations that show, hide, tidy, pin and
// refresh rows. Placing a page that comes into view is in graph_place.cpp,
// deletion in graph_delete.cpp.
#include "display/graph_model.h"

#include <vector>

#include "observe/url.h"

Graph_model::Graph_model(AGraphHost& host)
    : host_(host),
      view_flags_(DefaultViewFlags),
      workspace_(0),
      open_page_(0),
      current_page_(0),
      current_row_(-1),
      last_stamp_(0),
      search_(0) {}

// ---------------------------------------------------------------------------
// Rows

int Graph_model::SubtreeEnd(int start, int d) const {
    int i = start < 0 ? 0 : start;
    while (i < RowCount() && At(i).depth > d) ++i;
    return i;
}

int Graph_model::ParentRow(int start, int d) const {
    int i = start < RowCount() ? start : RowCount() - 1;
    while (i >= 0 && At(i).depth > d) --i;
    return i;
}

void Graph_model::SetSelected(int row, bool on) {
    if (row < 0 || row >= RowCount()) return;
    if (on)
        At(row).flags |= RowSelected;
    else
        At(row).flags &= ~RowSelected;
}

bool Graph_model::AnySelected() const {
    for (int i = 0; i < RowCount(); ++i)
        if (At(i).selected()) return true;
    return false;
}

bool Graph_model::NothingMoreToShow(int row) {
    if (row < 0 || row >= RowCount()) return false;
    if (At(row).expanded()) return true;
    if (!(view_flags_ & ViewKeepLinkedPlace)) return false;
    AWorkspace& w = *workspace_;
    for (LinkId l = w.FirstOut(At(row).node()); l != 0; l = w.NextLink(l)) {
        NodeId target = w.LinkNode(l);
        if (IsShownKind(w.LinkKindOf(l)) && !IsPinned(target) && !HasRow(target)) return false;
    }
    return true;
}

bool Graph_model::IsPinned(NodeId page) const { return workspace_->TestFlags(page, Pinned) != 0; }

void Graph_model::Measure(Graph_row& row) {
    row.text_width = host_.MeasureLabel(row.page.DisplayTitle());
}

int Graph_model::TextWidth(int row) {
    if (row < 0 || row >= RowCount()) return 0;
    Graph_row& r = At(row);
    if (workspace_->Stamp(r.node()) > last_stamp_) Measure(r);
    return r.text_width;
}

void Graph_model::RemeasureAll() {
    for (int i = 0; i < RowCount(); ++i) Measure(At(i));
}

bool Graph_model::HasShownLink(NodeId page) {
    AWorkspace& w = *workspace_;
    for (LinkId l = w.FirstOut(page); l != 0; l = w.NextLink(l))
        if (IsShownKind(w.LinkKindOf(l))) return true;
    return false;
}

bool Graph_model::HasShownLinkToUnpinned(NodeId page) {
    AWorkspace& w = *workspace_;
    for (LinkId l = w.FirstOut(page); l != 0; l = w.NextLink(l))
        if (IsShownKind(w.LinkKindOf(l)) && !IsPinned(w.LinkNode(l))) return true;
    return false;
}

Graph_row* Graph_model::MakeRow(NodeId page, int depth, LinkKind kind) {
    Graph_row* row = new Graph_row(*workspace_, page, depth, kind);
    Measure(*row);
    // A page with nothing to show beneath it counts as fully shown.
    if (!HasShownLinkToUnpinned(page)) row->flags |= RowExpanded;
    return row;
}

void Graph_model::InsertRow(int at, NodeId page, int depth, LinkKind kind) {
    rows_.Insert(at, MakeRow(page, depth, kind));
}

void Graph_model::AppendTopLevel(NodeId page) { InsertRow(RowCount(), page, 0, LinkAnchor); }

// After the pinned pages that lead the display.
void Graph_model::InsertPinned(NodeId page) {
    int at = 0;
    while (at < RowCount() && IsPinned(At(at).node())) at = SubtreeEnd(at + 1, 0);
    InsertRow(at, page, 0, LinkAnchor);
}

// ---------------------------------------------------------------------------
// The current page and the status bar

// The page's address: its URL, or for a local file its name with
// backslashes, as the user would type it.
void Graph_model::ShowAddress() {
    if (current_page_ == 0) return;
    const char* url = workspace_->Text(workspace_->Name(current_page_));
    UrlBuffer path;
    if (!LocalPathOfUrl(url, &path) || path.text[0] == 0) {
        host_.ShowStatusText(url);
        return;
    }
    for (char* c = path.text; *c; ++c)
        if (*c == '/') *c = '\\';
    host_.ShowStatusText(path.text);
}

void Graph_model::MakeCurrent(NodeId page) {
    if (page == 0 || workspace_ == 0) return;
    bool shown_here = current_row_ >= 0 && current_row_ < RowCount() && At(current_row_).node() == page;
    if (!shown_here) {
        host_.ToggleFocusMark();
        current_page_ = page;
        EnsureShown(page);
        current_row_ = RowOf(page);
        host_.ToggleFocusMark();
    }
    ShowAddress();
}

void Graph_model::SetCurrentRow(int row) {
    if (row < 0 || row >= RowCount()) row = -1;
    NodeId page = row >= 0 ? At(row).node() : 0;
    if (row != current_row_ || page != current_page_) {
        host_.ToggleFocusMark();
        current_row_ = row;
        current_page_ = page;
        host_.ToggleFocusMark();
    }
    ShowAddress();
}

void Graph_model::SetOpenPage(NodeId page) {
    if (workspace_ == 0) return;
    if (page == 0) {
        open_page_ = 0;
        host_.ScrollToRow(-1, current_row_);
        return;
    }
    EnsureShown(page);
    ShowLinks(RowOf(page));
    open_page_ = page;
    host_.ScrollToRow(-1, RowOf(page));
}

// ---------------------------------------------------------------------------
// Workspace and view flags

AWorkspace* Graph_model::SetWorkspace(AWorkspace* workspace) {
    AWorkspace* old = workspace_;
    open_page_ = 0;
    current_page_ = 0;
    current_row_ = -1;
    rows_.Clear();
    workspace_ = workspace;
    // Stamps and marks of another workspace mean nothing here: every row
    // counts as changed at the first refresh, every mark is set again at the
    // first search.
    last_stamp_ = 0;
    search_ = 0;
    if (workspace_ != 0) {
        std::vector<NodeId> pinned;
        workspace_->FlaggedNodes(Pinned, &pinned);
        for (NodeId n : pinned)
            if (!HasRow(n)) AppendTopLevel(n);
    }
    host_.Repaint();
    SetOpenPage(0);
    return old;
}

bool Graph_model::ApplyViewFlags(uint32_t working) {
    uint32_t changed = working ^ view_flags_;
    if (changed & ViewKindMask) {
        view_flags_ = (view_flags_ & ~ViewKindMask) | (working & ViewKindMask);
        if (workspace_) Tidy();
    }
    uint32_t behaviour = changed & 0xFF00;
    if (behaviour) {
        view_flags_ ^= behaviour;
        if (behaviour & ViewReattachOpen)
            ReattachOpenChildren();
        else if (behaviour & 0x1800)
            host_.Repaint();
    }
    return (changed & (ViewKindMask | 0xFF00)) != 0;
}

// ---------------------------------------------------------------------------
// Showing and hiding links

void Graph_model::ShowLinks(int row) {
    if (row < 0 || row >= RowCount()) return;
    Busy_section busy(host_);
    AWorkspace& w = *workspace_;
    At(row).flags |= RowExpanded;
    int p = row + 1;
    for (LinkId l = w.FirstOut(At(row).node()); l != 0; l = w.NextLink(l)) {
        if (!IsShownKind(w.LinkKindOf(l)) || IsPinned(w.LinkNode(l))) continue;
        p = PlaceLinkedPage(row, p, l);
    }
    FollowCurrentPage();
}

// One linked page of the row being expanded, with p where the next child
// goes. The row's index drops when a block above it moves down under it.
int Graph_model::PlaceLinkedPage(int& row, int p, LinkId link) {
    AWorkspace& w = *workspace_;
    NodeId target = w.LinkNode(link);
    int d = At(row).depth;
    if (p < RowCount() && At(p).depth == d + 1 && At(p).node() == target) return SubtreeEnd(p + 1, d + 1);
    int t = RowOf(target);
    if (t == -1) {
        InsertRow(p, target, d + 1, w.LinkKindOf(link));
        return p + 1;
    }
    // The row itself or one of its ancestors: never moved under it.
    if (t <= row && SubtreeEnd(t + 1, At(t).depth) > row) return p;
    // Placed as a child already, by an earlier link to the same page.
    if (t > row && p > t && At(t).depth == d + 1) return p;
    if (view_flags_ & ViewKeepLinkedPlace) {
        // The page stays where it is, so not every link shows beneath.
        At(row).flags &= ~RowExpanded;
        return p;
    }
    return MoveUnder(row, p, t, w.LinkKindOf(link));
}

// Moves row t with its subtree to p, one level under `row`.
int Graph_model::MoveUnder(int& row, int p, int t, LinkKind kind) {
    int old_depth = At(t).depth;
    if (old_depth > 0) {
        // The old parent loses a child. Reordering the row's own children
        // leaves it fully shown, though.
        int parent = ParentRow(t - 1, old_depth - 1);
        if (parent != row) At(parent).flags &= ~RowExpanded;
    }
    int end = SubtreeEnd(t + 1, old_depth);
    int size = end - t;
    int shift = At(row).depth + 1 - old_depth;
    int at = rows_.MoveBlock(t, end, p);
    for (int i = at; i < at + size; ++i) At(i).depth += shift;
    At(at).flags = (At(at).flags & ~RowKindMask) | (kind & RowKindMask);
    if (t < row) row -= size;
    return at + size;
}

void Graph_model::HideLinks(int row) {
    if (row < 0 || row >= RowCount()) return;
    int end = SubtreeEnd(row + 1, At(row).depth);
    if (end == row + 1) return;
    At(row).flags &= ~RowExpanded;
    rows_.Remove(row + 1, end);
    // Unchanged when the current row is this row or above it, as it is for
    // every command; a current page hidden with the subtree has no row.
    FollowCurrentPage();
}

void Graph_model::ReattachOpenChildren() {
    int o = RowOf(open_page_);
    if (o < 0) return;
    AWorkspace& w = *workspace_;
    int d = At(o).depth;
    int p = o + 1;
    for (LinkId l = w.FirstOut(open_page_); l != 0; l = w.NextLink(l)) {
        NodeId target = w.LinkNode(l);
        if (!IsShownKind(w.LinkKindOf(l)) || IsPinned(target)) continue;
        p = SubtreeEnd(p, d + 1);
        if (p < RowCount() && At(p).depth == d + 1 && At(p).node() == target) {
            ++p;
        } else if (!HasRow(target)) {
            InsertRow(p, target, d + 1, w.LinkKindOf(l));
            ++p;
        }
    }
    FollowCurrentPage();
}

// ---------------------------------------------------------------------------
// Tidy and pin

void Graph_model::Tidy() {
    if (workspace_ == 0) return;
    Busy_section busy(host_);
    std::vector<bool> keep((size_t)RowCount());
    for (int i = 0; i < RowCount(); ++i) {
        keep[(size_t)i] = IsPinned(At(i).node());
        if (keep[(size_t)i]) {
            At(i).depth = 0;
            At(i).flags = (At(i).flags & ~RowKindMask) | LinkAnchor;
        }
    }
    rows_.Retain(keep);
    host_.Repaint();
    FollowCurrentPage();
    EnsureShown(current_page_);
    SetOpenPage(open_page_);
    ClearExpandedWithHiddenLinks();
}

// A row stays expanded only while each of its shown links leads to a page
// that has a row.
void Graph_model::ClearExpandedWithHiddenLinks() {
    AWorkspace& w = *workspace_;
    for (int i = 0; i < RowCount(); ++i) {
        Graph_row& r = At(i);
        if (!r.expanded()) continue;
        for (LinkId l = w.FirstOut(r.node()); l != 0; l = w.NextLink(l)) {
            if (IsShownKind(w.LinkKindOf(l)) && !HasRow(w.LinkNode(l))) {
                r.flags &= ~RowExpanded;
                break;
            }
        }
    }
}

void Graph_model::TogglePin(NodeId page) {
    if (page == 0 || workspace_ == 0) return;
    bool pinned = (workspace_->ToggleFlags(page, Pinned) & Pinned) != 0;
    if (pinned) {
        int row = RowOf(page);
        if (row == -1)
            InsertPinned(page);
        else if (At(row).depth > 0)
            MoveToTopLevel(row);
    } else {
        ClearExpandedOfSources(page);
    }
    FollowCurrentPage();
    MakeCurrent(current_page_);
    host_.ScrollToRow(-1, current_row_);
}

// The row and its subtree go right after the top-level tree holding them.
void Graph_model::MoveToTopLevel(int row) {
    int depth = At(row).depth;
    int end = SubtreeEnd(row + 1, depth);
    int size = end - row;
    int at = rows_.MoveBlock(row, end, SubtreeEnd(row + 1, 0));
    for (int i = at; i < at + size; ++i) At(i).depth -= depth;
    At(at).flags = (At(at).flags & ~RowKindMask) | LinkAnchor;
}

// An unpinned page is one more link its sources must show beneath them.
void Graph_model::ClearExpandedOfSources(NodeId page) {
    AWorkspace& w = *workspace_;
    for (LinkId l = w.FirstIn(page); l != 0; l = w.NextLink(l)) {
        Graph_row* source = rows_.Find(w.LinkNode(l));
        if (source) source->flags &= ~RowExpanded;
    }
}

// ---------------------------------------------------------------------------
// Following the workspace

void Graph_model::RefreshChanged() {
    if (workspace_ == 0) return;
    AWorkspace& w = *workspace_;
    bool changed = false;
    for (int i = 0; i < RowCount(); ++i) {
        if (w.Stamp(At(i).node()) < last_stamp_) continue;
        Measure(At(i));
        changed = true;
        if (At(i).expanded()) RefreshRowLinks(i);
    }
    last_stamp_ = w.NextStamp();
    if (changed) {
        FollowCurrentPage();
        host_.ScrollToRow(-1, current_row_);
    }
}

// New links of an expanded row appear beneath it; a linked page shown
// elsewhere is not moved, and the row is then no longer fully shown.
void Graph_model::RefreshRowLinks(int i) {
    AWorkspace& w = *workspace_;
    int d = At(i).depth;
    int p = SubtreeEnd(i + 1, d + 1);
    for (LinkId l = w.FirstOut(At(i).node()); l != 0; l = w.NextLink(l)) {
        NodeId target = w.LinkNode(l);
        if (!IsShownKind(w.LinkKindOf(l)) || IsPinned(target)) continue;
        if (p < RowCount() && At(p).depth == d + 1 && At(p).node() == target) {
            p = SubtreeEnd(p + 1, d + 1);
            continue;
        }
        int t = RowOf(target);
        if (t == -1) {
            InsertRow(p, target, d + 1, w.LinkKindOf(l));
            ++p;
        } else if (t <= i && SubtreeEnd(t + 1, At(t).depth) > i) {
            // the row itself (a self-link) or an ancestor
        } else if (t > i && p > t && At(t).depth == d + 1) {
            // a second link to a child already placed
        } else {
            At(i).flags &= ~RowExpanded;
        }
    }
}
