// The row list: owned rows in display order and the index that finds a
// page's row without walking them.
#include "display/graph_rows.h"

#include <algorithm>

// Node records are 64-byte blocks, so node / 64 numbers them densely.
static size_t BitOf(NodeId node) { return node / 64; }

bool Row_list::MayHaveRow(NodeId node) const {
    size_t bit = BitOf(node);
    return bit / 64 < has_row_.size() && (has_row_[bit / 64] >> (bit % 64) & 1) != 0;
}

void Row_list::Index(Graph_row* row) {
    by_node_[row->node()] = row;
    size_t bit = BitOf(row->node());
    if (bit / 64 >= has_row_.size()) has_row_.resize(bit / 64 + 1);
    has_row_[bit / 64] |= (uint64_t)1 << (bit % 64);
}

void Row_list::Unindex(Graph_row* row) {
    by_node_.erase(row->node());
    size_t bit = BitOf(row->node());
    has_row_[bit / 64] &= ~((uint64_t)1 << (bit % 64));
}

Graph_row* Row_list::Find(NodeId node) const {
    if (!MayHaveRow(node)) return 0;
    std::unordered_map<NodeId, Graph_row*>::const_iterator it = by_node_.find(node);
    return it == by_node_.end() ? 0 : it->second;
}

int Row_list::IndexOf(NodeId node) {
    Graph_row* row = Find(node);
    if (row == 0) return -1;
    int at = row->position;
    if (at >= 0 && at < Count() && rows_[(size_t)at] == row) return at;
    // The row moved since it was numbered, so it lies at or after the first
    // change; everything from there gets its index again.
    Renumber();
    return row->position;
}

int Row_list::ScanFor(NodeId node) const {
    for (int i = 0; i < Count(); ++i)
        if (rows_[(size_t)i]->node() == node) return i;
    return -1;
}

void Row_list::Renumber() {
    for (int i = stale_from_; i < Count(); ++i) rows_[(size_t)i]->position = i;
    stale_from_ = Count();
}

void Row_list::Insert(int at, Graph_row* row) {
    rows_.insert(rows_.begin() + at, row);
    row->position = at;
    Index(row);
    Changed(at);
}

void Row_list::Remove(int from, int to) {
    if (from >= to) return;
    for (int i = from; i < to; ++i) {
        Graph_row* row = rows_[(size_t)i];
        Unindex(row);
        delete row;
    }
    rows_.erase(rows_.begin() + from, rows_.begin() + to);
    Changed(from);
}

int Row_list::MoveBlock(int from, int to, int before) {
    if (before <= from) {
        std::rotate(rows_.begin() + before, rows_.begin() + from, rows_.begin() + to);
        Changed(before);
        return before;
    }
    std::rotate(rows_.begin() + from, rows_.begin() + to, rows_.begin() + before);
    Changed(from);
    return before - (to - from);
}

void Row_list::Retain(const std::vector<bool>& keep) {
    size_t kept = 0;
    int first_dropped = Count();
    for (size_t i = 0; i < rows_.size(); ++i) {
        Graph_row* row = rows_[i];
        if (keep[i]) {
            rows_[kept++] = row;
            continue;
        }
        if ((int)i < first_dropped) first_dropped = (int)i;
        Unindex(row);
        delete row;
    }
    rows_.resize(kept);
    Changed(first_dropped);
}

void Row_list::Clear() {
    for (size_t i = 0; i < rows_.size(); ++i) delete rows_[i];
    rows_.clear();
    by_node_.clear();
    has_row_.clear();
    stale_from_ = 0;
}
