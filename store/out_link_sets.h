// OutLinkSets: the out-links of the few pages being linked lately, by
// target and kind, kept in memory beside the file. Adding a link must first
// know whether that link exists; a page's out-list is a chain of cells, so
// without this the 10,000th link of a page would walk 9,999 cells. Pages
// with short lists are simply walked and get no set.
#ifndef SKEIND_STORE_OUT_LINK_SETS_H
#define SKEIND_STORE_OUT_LINK_SETS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "store/large_array.h"
#include "store/layout.h"

// (target | kind) → the first cell of the list that holds it. Open
// addressing with linear probing, at most half full; 0 is an empty slot.
class LinkSet {
public:
    LinkSet() : count_(0) {}

    LinkId Find(uint32_t target_kind) const;
    // Keeps the cell already there: the first in list order wins.
    void Insert(uint32_t target_kind, LinkId cell);
    void Erase(uint32_t target_kind);
    void Clear();
    size_t Bytes() const { return slots_.size() * sizeof slots_[0]; }

private:
    size_t SlotOf(uint32_t target_kind) const;
    void Grow();

    LargeArray<uint64_t> slots_;  // target | kind in the high half, cell in the low
    size_t count_;
};

class OutLinkSets {
public:
    // Lists shorter than this are walked; a page whose list reaches it gets
    // a set on its next lookup.
    static const uint32_t kLeastCells = 32;
    // Pages that keep a set: a page is linked in a burst (one datagram, one
    // scanned page), so a few recent ones are what lookups hit.
    static const size_t kPages = 8;

    OutLinkSets() : clock_(0) {}

    // The page's set, or null when it has none.
    LinkSet* Find(NodeId page);
    // An empty set for the page, taking over the set used longest ago.
    LinkSet* Make(NodeId page);
    void Drop(NodeId page);
    void DropAll();
    size_t Bytes() const;

private:
    struct Entry {
        NodeId page;
        uint64_t used;
        LinkSet set;
    };
    Entry entries_[kPages] = {};
    uint64_t clock_;
};

#endif
