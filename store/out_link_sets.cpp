#include "store/out_link_sets.h"

namespace {

const size_t kLeastSlots = 64;

size_t Mix(uint32_t key) {
    return (size_t)(((uint64_t)key * 0x9E3779B97F4A7C15ull) >> 32);
}

}  // namespace

size_t LinkSet::SlotOf(uint32_t target_kind) const {
    size_t mask = slots_.size() - 1;
    size_t i = Mix(target_kind) & mask;
    while (slots_[i] != 0 && (uint32_t)(slots_[i] >> 32) != target_kind) i = (i + 1) & mask;
    return i;
}

LinkId LinkSet::Find(uint32_t target_kind) const {
    if (slots_.empty()) return 0;
    return (LinkId)slots_[SlotOf(target_kind)];
}

void LinkSet::Insert(uint32_t target_kind, LinkId cell) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    size_t i = SlotOf(target_kind);
    if (slots_[i] != 0) return;
    slots_[i] = (uint64_t)target_kind << 32 | cell;
    ++count_;
}

// Backward-shift deletion: later members of the probe run move up into the
// hole wherever their home slot allows, so no tombstones are needed.
void LinkSet::Erase(uint32_t target_kind) {
    if (slots_.empty()) return;
    size_t mask = slots_.size() - 1;
    size_t hole = SlotOf(target_kind);
    if (slots_[hole] == 0) return;
    slots_[hole] = 0;
    --count_;
    for (size_t i = (hole + 1) & mask; slots_[i] != 0; i = (i + 1) & mask) {
        size_t home = Mix((uint32_t)(slots_[i] >> 32)) & mask;
        // Move it unless its home lies cyclically in (hole, i].
        bool stays = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (stays) continue;
        slots_[hole] = slots_[i];
        slots_[i] = 0;
        hole = i;
    }
}

void LinkSet::Clear() {
    LargeArray<uint64_t>().swap(slots_);
    count_ = 0;
}

void LinkSet::Grow() {
    LargeArray<uint64_t> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? kLeastSlots : old.size() * 2, 0);
    for (uint64_t s : old)
        if (s != 0) slots_[SlotOf((uint32_t)(s >> 32))] = s;
}

LinkSet* OutLinkSets::Find(NodeId page) {
    for (Entry& e : entries_) {
        if (e.page == page && page != 0) {
            e.used = ++clock_;
            return &e.set;
        }
    }
    return 0;
}

LinkSet* OutLinkSets::Make(NodeId page) {
    Entry* oldest = &entries_[0];
    for (Entry& e : entries_) {
        if (e.page == page) {
            oldest = &e;
            break;
        }
        if (e.used < oldest->used) oldest = &e;
    }
    oldest->page = page;
    oldest->used = ++clock_;
    oldest->set.Clear();
    return &oldest->set;
}

void OutLinkSets::Drop(NodeId page) {
    for (Entry& e : entries_) {
        if (e.page == page) {
            e.page = 0;
            e.used = 0;
            e.set.Clear();
        }
    }
}

void OutLinkSets::DropAll() {
    for (Entry& e : entries_) {
        e.page = 0;
        e.used = 0;
        e.set.Clear();
    }
}

size_t OutLinkSets::Bytes() const {
    size_t n = 0;
    for (const Entry& e : entries_) n += e.set.Bytes();
    return n;
}
