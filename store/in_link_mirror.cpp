#include "store/in_link_mirror.h"

#include "store/bits.h"

using layout::kLinkKindMask;

void InLinkMirror::Start(uint32_t file_size) {
    size_t slots = (size_t)(file_size >> 6) + 1;
    slots_.assign(slots, Slot{0, 0, 0});
    deleted_.assign(slots / 64 + 1, 0);
    present_.assign(slots / 64 + 1, 0);
    chunks_.assign(1, Chunk());
    free_chunk_ = 0;
}

void InLinkMirror::Drop() {
    std::vector<Slot>().swap(slots_);
    std::vector<uint64_t>().swap(deleted_);
    std::vector<uint64_t>().swap(present_);
    std::vector<Chunk>().swap(chunks_);
    free_chunk_ = 0;
}

size_t InLinkMirror::Bytes() const {
    return slots_.capacity() * sizeof(Slot) + (deleted_.capacity() + present_.capacity()) * 8 +
           chunks_.capacity() * sizeof(Chunk);
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
        free_chunk_ = chunks_[c].next;
    } else {
        c = (uint32_t)chunks_.size();
        chunks_.push_back(Chunk());
    }
    chunks_[c].next = 0;
    chunks_[c].count = 0;
    return c;
}

void InLinkMirror::FreeChunks(uint32_t first) {
    while (first != 0) {
        uint32_t next = chunks_[first].next;
        chunks_[first].next = free_chunk_;
        free_chunk_ = first;
        first = next;
    }
}

void InLinkMirror::Append(NodeId node, uint32_t source_kind) {
    Slot& s = slots_[node >> 6];
    if (s.tail == 0 || chunks_[s.tail].count == kChunkItems) {
        uint32_t c = NewChunk();  // may move chunks_, not slots_
        if (s.tail == 0)
            s.head = c;
        else
            chunks_[s.tail].next = c;
        s.tail = c;
    }
    Chunk& t = chunks_[s.tail];
    t.items[t.count++] = source_kind;
}

// Compacts the kept links towards the front; chunks left empty at the end
// go back to the pool.
void InLinkMirror::Remove(NodeId node, NodeId source, unsigned mask) {
    Slot& s = slots_[node >> 6];
    uint32_t write_chunk = s.head;
    uint32_t write_at = 0;
    for (uint32_t c = s.head; c != 0; c = chunks_[c].next) {
        for (uint32_t i = 0; i < chunks_[c].count; ++i) {
            uint32_t item = chunks_[c].items[i];
            if ((item & ~kLinkKindMask) == source && (item & kLinkKindMask & mask)) continue;
            if (write_at == kChunkItems) {
                chunks_[write_chunk].count = kChunkItems;
                write_chunk = chunks_[write_chunk].next;
                write_at = 0;
            }
            chunks_[write_chunk].items[write_at++] = item;
        }
    }
    if (write_chunk == 0) return;  // no links at all
    if (write_chunk == s.head && write_at == 0) {
        FreeChunks(s.head);
        s.head = s.tail = 0;
        return;
    }
    chunks_[write_chunk].count = write_at;
    FreeChunks(chunks_[write_chunk].next);
    chunks_[write_chunk].next = 0;
    s.tail = write_chunk;
}

void InLinkMirror::SetDeleted(NodeId node, bool deleted) {
    uint64_t bit = 1ull << ((node >> 6) & 63);
    if (deleted)
        deleted_[node >> 12] |= bit;
    else
        deleted_[node >> 12] &= ~bit;
}

void InLinkMirror::LiveIn(NodeId node, std::vector<uint32_t>* out) const {
    for (uint32_t c = slots_[node >> 6].head; c != 0; c = chunks_[c].next)
        for (uint32_t i = 0; i < chunks_[c].count; ++i) {
            uint32_t item = chunks_[c].items[i];
            if (IsDeleted(item & ~kLinkKindMask)) continue;
            // The search reads each source's slot next: asking for them all
            // now lets their misses overlap.
            PrefetchForRead(&slots_[item >> 6]);
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
        i += (size_t)__builtin_ctzll(bits);
        return i < slots_.size() ? (NodeId)(i << 6) : 0;
    }
    return 0;
}
