// NameIndex: URL hash → node, kept in memory beside the name tree so that
// looking up a page the workspace already holds costs a probe or two rather
// than a walk down the tree. It holds no names: every hit is confirmed
// against the node's name in the file. Built on first use and dropped
// whenever nodes are destroyed or renamed wholesale (purge, check, reopen).
#ifndef SKEIND_STORE_NAME_INDEX_H
#define SKEIND_STORE_NAME_INDEX_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "store/bits.h"
#include "store/large_array.h"
#include "store/layout.h"

class NameIndex {
public:
    NameIndex() : count_(0), built_(false) {}

    static uint32_t Hash(const char* url);

    bool built() const { return built_; }
    size_t count() const { return count_; }
    size_t Bytes() const { return slots_.capacity() * sizeof slots_[0]; }
    void Drop();
    // Starts an empty, built index with room for about `expected` names.
    void Start(size_t expected);
    void Insert(uint32_t hash, NodeId node);
    // A hint that `hash` is about to be filed or looked up.
    void Prefetch(uint32_t hash) const {
        if (!slots_.empty()) PrefetchForRead(&slots_[hash & (slots_.size() - 1)]);
    }

    // Candidates for a hash, in probe order: call First, then Next while
    // it gives non-zero.
    struct Probe {
        size_t slot;
        uint32_t hash;
    };
    NodeId First(uint32_t hash, Probe* probe) const;
    NodeId Next(Probe* probe) const;

private:
    void Grow();
    NodeId Scan(Probe* probe) const;

    // Each slot: hash in the high half, node in the low; 0 is empty (no
    // node lies at offset 0).
    LargeArray<uint64_t> slots_;
    size_t count_;
    bool built_;
};

#endif
