// InLinkMirror: what the map's backward search reads of each node (its
// live incoming links in list order, whether it is deleted, and its display
// mark), kept in memory beside the file and in step with every change made
// through NodeDb. In the file each incoming link is a cell somewhere else
// and its source a record somewhere else again, so a search that reaches
// tens of thousands of pages was one cache miss after another.
//
// Nodes are numbered by offset / 64 (node records are 64-byte blocks). The
// marks live here while the mirror stands; Flush writes them back.
#ifndef SKEIND_STORE_IN_LINK_MIRROR_H
#define SKEIND_STORE_IN_LINK_MIRROR_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "store/large_array.h"
#include "store/layout.h"

class InLinkMirror {
public:
    InLinkMirror() : chunk_count_(0), free_chunk_(0) {}

    bool built() const { return !slots_.empty(); }
    // Starts an empty mirror for a file of `file_size` bytes.
    void Start(uint32_t file_size);
    void Drop();
    size_t Bytes() const;

    // A node made (or met while building): no links yet, not deleted.
    void AddNode(NodeId node, uint32_t mark, bool deleted);
    // Appends `source | kind` to the node's incoming links.
    void Append(NodeId node, uint32_t source_kind);
    // Removes the incoming links from `source` whose kind shares a bit with
    // `mask`, keeping the others in order.
    void Remove(NodeId node, NodeId source, unsigned mask);
    void SetDeleted(NodeId node, bool deleted);
    // A node beyond the file (named by a damaged one) has no slot: its
    // mark is 0, and what would change it changes nothing.
    uint32_t Mark(NodeId node) const { return Holds(node) ? slots_[node >> 6].mark : 0; }
    void SetMark(NodeId node, uint32_t mark) {
        if (Holds(node)) slots_[node >> 6].mark = mark;
    }
    void ClearMarks() {
        for (Slot& s : slots_) s.mark = 0;
    }
    // Appends `source | kind` of each incoming link whose source is not
    // deleted, in list order.
    void LiveIn(NodeId node, std::vector<uint32_t>* out) const;
    // The nodes it holds, in offset order: call with 0, then with the last
    // one given, until 0 comes back.
    NodeId NextNode(NodeId after) const;

private:
    static const uint32_t kChunkItems = 6;
    // Made uninitialised: a page of chunks is 2 MB, and NewChunk sets each
    // chunk's words before any is read, so a small workspace touches only
    // the chunks it uses.
    struct Chunk {
        Chunk() {}
        uint32_t next;  // the next chunk, 0 for none
        uint32_t count;
        uint32_t items[kChunkItems];
    };
    struct Slot {
        uint32_t mark;
        uint32_t head;  // first and last chunk, 0 for none
        uint32_t tail;
    };
    // Chunks live in pages that never move, so that filling the mirror for
    // millions of links never copies what it filled.
    static const uint32_t kPageShift = 16;  // 2 MB of chunks a page
    Chunk& At(uint32_t c) { return pages_[c >> kPageShift][c & ((1u << kPageShift) - 1)]; }
    const Chunk& At(uint32_t c) const { return pages_[c >> kPageShift][c & ((1u << kPageShift) - 1)]; }
    bool Holds(NodeId node) const { return (node >> 6) < slots_.size(); }
    bool IsDeleted(NodeId node) const { return Holds(node) && ((deleted_[node >> 12] >> ((node >> 6) & 63)) & 1); }
    uint32_t NewChunk();
    void FreeChunks(uint32_t first);

    LargeArray<Slot> slots_;
    std::vector<uint64_t> deleted_;  // one bit per possible node
    std::vector<uint64_t> present_;  // one bit per node held
    std::vector<LargeArray<Chunk>> pages_;
    uint32_t chunk_count_;  // chunk 0 is never used
    uint32_t free_chunk_;
};

#endif
