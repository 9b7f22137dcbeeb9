#include "store/name_index.h"

namespace {

const size_t kLeastSlots = 1024;

}  // namespace

// FNV-1a: short, and spreads URLs that share long prefixes well enough.
uint32_t NameIndex::Hash(const char* url) {
    uint32_t h = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)url; *p; ++p) h = (h ^ *p) * 16777619u;
    return h;
}

void NameIndex::Drop() {
    std::vector<uint64_t>().swap(slots_);
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
    std::vector<uint64_t> old;
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
