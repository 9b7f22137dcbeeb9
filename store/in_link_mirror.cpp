#include "store/in_link_mirror.h"

#include "store/bits.h"

using layout::kLinkKindMask;

void InLinkMirror::Start(uint32_t file_size) {
    size_t slots = (size_t)(file_size >> 6) + 1;
    slots_.assign(slots, Slot{0, 0, 0});
    deleted_.assign(slots / 64 + 1, 0);
    present_.assign(slots / 64 + 1, 0);
    pages_.clear();
    chunk_count_ = 1;
    free_chunk_ = 0;
}

void InLinkMirror::Drop() {
    LargeArray<Slot>().swap(slots_);
    std::vector<uint64_t>().swap(deleted_);
    std::vector<uint64_t>().swap(present_);
    pages_.clear();
    chunk_count_ = 0;
    free_chunk_ = 0;
}

size_t InLinkMirror::Bytes() const {
    return slots_.capacity() * sizeof(Slot) + (deleted_.capacity() + present_.capacity()) * 8 +
           pages_.size() * (sizeof(Chunk) << kPageShift);
}

void InLinkMirror::AddNode(NodeId node, uint32_t mark, bool deleted) {
    size_t i = node >> 6;
    if (i >= slots_.size()) {
        // The file grew since the mirror was started.
        slots_.resize(i + i / 2 + 1, Slot{0, 0, 0});
        deleted_.resize(slots_.size() / 64 + 1, 0);
        present_.resize(slots_.size() / 64 + 1, 0);
    }
    present_[i / 64] |= 1ull << (i % 64);
    FreeChunks(slots_[i].head);
    slots_[i] = Slot{mark, 0, 0};
    SetDeleted(node, deleted);
}

uint32_t InLinkMirror::NewChunk() {
    uint32_t c = free_chunk_;
    if (c != 0) {
        free_chunk_ = At(c).next;
    } else {
        c = chunk_count_++;
        if ((c >> kPageShift) == pages_.size()) pages_.emplace_back(1u << kPageShift);
    }
    At(c).next = 0;
    At(c).count = 0;
    return c;
}

void InLinkMirror::FreeChunks(uint32_t first) {
    while (first != 0) {
        uint32_t next = At(first).next;
        At(first).next = free_chunk_;
        free_chunk_ = first;
        first = next;
    }
}

void InLinkMirror::Append(NodeId node, uint32_t source_kind) {
    if (!Holds(node)) return;
    Slot& s = slots_[node >> 6];
    if (s.tail == 0 || At(s.tail).count == kChunkItems) {
        uint32_t c = NewChunk();
        if (s.tail == 0)
            s.head = c;
        else
            At(s.tail).next = c;
        s.tail = c;
    }
    Chunk& t = At(s.tail);
    t.items[t.count++] = source_kind;
}

// Compacts the kept links towards the front; chunks left empty at the end
// go back to the pool.
void InLinkMirror::Remove(NodeId node, NodeId source, unsigned mask) {
    if (!Holds(node)) return;
    Slot& s = slots_[node >> 6];
    uint32_t write_chunk = s.head;
    uint32_t write_at = 0;
    for (uint32_t c = s.head; c != 0; c = At(c).next) {
        for (uint32_t i = 0; i < At(c).count; ++i) {
            uint32_t item = At(c).items[i];
            if ((item & ~kLinkKindMask) == source && (item & kLinkKindMask & mask)) continue;
            if (write_at == kChunkItems) {
                At(write_chunk).count = kChunkItems;
                write_chunk = At(write_chunk).next;
                write_at = 0;
            }
            At(write_chunk).items[write_at++] = item;
        }
    }
    if (write_chunk == 0) return;  // no links at all
    if (write_chunk == s.head && write_at == 0) {
        FreeChunks(s.head);
        s.head = s.tail = 0;
        return;
    }
    At(write_chunk).count = write_at;
    FreeChunks(At(write_chunk).next);
    At(write_chunk).next = 0;
    s.tail = write_chunk;
}

void InLinkMirror::SetDeleted(NodeId node, bool deleted) {
    if (!Holds(node)) return;
    uint64_t bit = 1ull << ((node >> 6) & 63);
    if (deleted)
        deleted_[node >> 12] |= bit;
    else
        deleted_[node >> 12] &= ~bit;
}

void InLinkMirror::LiveIn(NodeId node, std::vector<uint32_t>* out) const {
    if (!Holds(node)) return;
    for (uint32_t c = slots_[node >> 6].head; c != 0; c = At(c).next)
        for (uint32_t i = 0; i < At(c).count; ++i) {
            uint32_t item = At(c).items[i];
            if (IsDeleted(item & ~kLinkKindMask)) continue;
            // The search reads each source's slot next: asking for them all
            // now lets their misses overlap.
            if (Holds(item)) PrefetchForRead(&slots_[item >> 6]);
            out->push_back(item);
        }
}

NodeId InLinkMirror::NextNode(NodeId after) const {
    size_t i = after == 0 ? 0 : (size_t)(after >> 6) + 1;
    while (i < slots_.size()) {
        uint64_t bits = present_[i / 64] >> (i % 64);
        if (bits == 0) {
            i = (i / 64 + 1) * 64;
            continue;
        }
        i += (size_t)LowestBit(bits);
        return i < slots_.size() ? (NodeId)(i << 6) : 0;
    }
    return 0;
}
