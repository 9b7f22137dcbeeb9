// The rows of the map: one Graph_row per shown page, in display order, and
// Row_list, which owns them and finds the row of a page without scanning.
//
// The list is a vector of owned pointers rather than an EArray_base: the
// layout moves and removes whole subtrees, which a vector does in one pass
// (erase of a range, rotate) where single-item inserts and removals would
// cost a pass per row.
#ifndef SKEIND_DISPLAY_GRAPH_ROWS_H
#define SKEIND_DISPLAY_GRAPH_ROWS_H

#include <stdint.h>

#include <unordered_map>
#include <vector>

#include "store/node_ref.h"

// Row flag bits besides the link kind in bits 0-5.
const uint32_t RowKindMask = 0x003F;
const uint32_t RowSelected = 0x1000;
// Every link of a shown kind to an unpinned page is shown beneath the row.
const uint32_t RowExpanded = 0x2000;

struct Graph_row {
    Graph_row(AWorkspace& workspace, NodeId node, int depth_, LinkKind kind)
        : flags(kind & RowKindMask), page(workspace, node), text_width(0), depth(depth_), position(-1) {}

    uint32_t flags;      // link kind by which it hangs, RowSelected, RowExpanded
    NodeRef page;
    int32_t text_width;  // label width in the graph font, cached
    int depth;           // indentation level, 0 at top level
    int position;        // index when the list last numbered it (see Row_list)

    LinkKind kind() const { return (LinkKind)(flags & RowKindMask); }
    bool expanded() const { return (flags & RowExpanded) != 0; }
    bool selected() const { return (flags & RowSelected) != 0; }
    NodeId node() const { return page.node(); }
};

// Rows in display order, owned. Each node is shown in at most one row; the
// list keeps a map from node to row and, in every row, the index where it
// was last seen. An index is trusted when the row is still found there;
// otherwise the rows from the first place that changed are numbered again,
// once, however many lookups follow.
class Row_list {
public:
    Row_list() : stale_from_(0) {}
    ~Row_list() { Clear(); }

    int Count() const { return (int)rows_.size(); }
    Graph_row* At(int i) const { return rows_[(size_t)i]; }

    // The row showing `node`, or null.
    Graph_row* Find(NodeId node) const;
    // Its index, or -1.
    int IndexOf(NodeId node);
    // The same by walking from the top: what IndexOf must agree with.
    int ScanFor(NodeId node) const;

    // Takes ownership; `at` from 0 to Count().
    void Insert(int at, Graph_row* row);
    // Frees the rows [from, to).
    void Remove(int from, int to);
    // Moves the rows [from, to) to just before the row that is at index
    // `before` now (Count() for the end); `before` is outside (from, to).
    // Gives the index of the moved block's first row afterwards.
    int MoveBlock(int from, int to, int before);
    // Frees every row i whose keep[i] is false; the rest keep their order.
    void Retain(const std::vector<bool>& keep);
    void Clear();

private:
    Row_list(const Row_list&);
    Row_list& operator=(const Row_list&);
    void Changed(int from) {
        if (from < stale_from_) stale_from_ = from;
    }
    void Renumber();
    void Index(Graph_row* row);
    void Unindex(Graph_row* row);
    bool MayHaveRow(NodeId node) const;

    std::vector<Graph_row*> rows_;
    std::unordered_map<NodeId, Graph_row*> by_node_;
    // One bit per possible node: a search asks about many pages without a
    // row, and this answers them without touching the map.
    std::vector<uint64_t> has_row_;
    int stale_from_;  // rows before this index carry their true position
};

#endif
