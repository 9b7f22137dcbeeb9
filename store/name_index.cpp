#include "store/name_index.h"

#include <string.h>

namespace {

const size_t kLeastSlots = 1024;

}  // namespace

// Eight bytes at a time, each word mixed in with a multiply, then the
// halves folded: URLs share long prefixes, so every byte must count.
uint32_t NameIndex::Hash(const char* url) {
    size_t n = strlen(url);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        uint64_t w;
        memcpy(&w, url, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
        url += 8;
        n -= 8;
    }
    uint64_t tail = 0;
    memcpy(&tail, url, n);
    h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 32;
    return (uint32_t)h;
}

void NameIndex::Drop() {
    LargeArray<uint64_t>().swap(slots_);
    count_ = 0;
    built_ = false;
}

void NameIndex::Start(size_t expected) {
    size_t n = kLeastSlots;
    while (n < expected * 2) n *= 2;
    slots_.assign(n, 0);
    count_ = 0;
    built_ = true;
}

// Linear probing, at most half full.
void NameIndex::Insert(uint32_t hash, NodeId node) {
    if (!built_) return;
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = (uint64_t)hash << 32 | node;
    ++count_;
}

void NameIndex::Grow() {
    LargeArray<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.size() * 2, 0);
    size_t mask = slots_.size() - 1;
    for (uint64_t s : old) {
        if (s == 0) continue;
        size_t i = (size_t)(s >> 32) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = s;
    }
}

NodeId NameIndex::First(uint32_t hash, Probe* probe) const {
    if (slots_.empty()) return 0;
    probe->slot = hash & (slots_.size() - 1);
    probe->hash = hash;
    return Scan(probe);
}

NodeId NameIndex::Next(Probe* probe) const {
    probe->slot = (probe->slot + 1) & (slots_.size() - 1);
    return Scan(probe);
}

NodeId NameIndex::Scan(Probe* probe) const {
    size_t mask = slots_.size() - 1;
    for (;;) {
        uint64_t s = slots_[probe->slot];
        if (s == 0) return 0;
        if ((uint32_t)(s >> 32) == probe->hash) return (NodeId)s;
        probe->slot = (probe->slot + 1) & mask;
    }
}
