#include "store/instance_table.h"

#include <ctype.h>
#include <string.h>

namespace {

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

bool SameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
    return *a == *b;
}

const size_t kNextField = 2, kWindowField = 4, kCapacityField = 10;

}  // namespace

bool InstanceTable::HasSignature() const {
    return size_ >= kInstanceHeader && memcmp(block_, kInstanceSignature, sizeof kInstanceSignature) == 0;
}

void InstanceTable::Initialise() {
    if (size_ < kInstanceHeader) return;
    memcpy(block_, kInstanceSignature, sizeof kInstanceSignature);
    Put16(block_ + 6, 0);
}

uint16_t InstanceTable::count() const { return size_ >= kInstanceHeader ? Get16(block_ + 6) : 0; }

// An entry lies wholly inside the block, with its mark and a capacity that
// is a positive multiple of 32.
bool InstanceTable::EntryFits(size_t at) const {
    if (at < kInstanceHeader || at + kInstanceEntryHead > size_) return false;
    if (Get16(block_ + at) != kInstanceEntryMark) return false;
    int capacity = CapacityAt(at);
    return capacity > 0 && capacity % 32 == 0 && at + kInstanceEntryHead + (size_t)capacity <= size_;
}

size_t InstanceTable::Next(size_t at) const {
    if (at == 0) return count() != 0 && EntryFits(kInstanceHeader) ? kInstanceHeader : 0;
    int16_t next = (int16_t)Get16(block_ + at + kNextField);
    // Only forward: a chain that turns back on itself ends here.
    if (next <= 0 || (size_t)next <= at || !EntryFits((size_t)next)) return 0;
    return (size_t)next;
}

uint32_t InstanceTable::WindowAt(size_t at) const { return Get32(block_ + at + kWindowField); }
int InstanceTable::CapacityAt(size_t at) const { return (int16_t)Get16(block_ + at + kCapacityField); }

const char* InstanceTable::NameAt(size_t at) const {
    const char* name = (const char*)block_ + at + kInstanceEntryHead;
    return memchr(name, 0, (size_t)CapacityAt(at)) ? name : 0;
}

bool InstanceTable::Register(uint32_t window, const char* name) {
    if (!HasSignature() || window == 0) return false;
    Unregister(window);
    size_t length = strlen(name);
    size_t last = 0;
    for (size_t at = Next(0); at != 0; at = Next(at)) {
        last = at;
        if (WindowAt(at) == 0 && (size_t)CapacityAt(at) >= length + 1) {
            Put32(block_ + at + kWindowField, window);
            memcpy(block_ + at + kInstanceEntryHead, name, length + 1);
            return true;
        }
    }
    size_t capacity = (length + 1 + 31) / 32 * 32;
    size_t at = last == 0 ? kInstanceHeader : last + (size_t)CapacityAt(last) + 15;
    // The next field is a signed 16-bit offset: nothing may start past it.
    if (at + capacity + 15 > size_ || at > 0x7FFF || capacity > 0x7FE0) return false;
    if (last != 0) Put16(block_ + last + kNextField, (uint16_t)at);
    uint8_t* e = block_ + at;
    memset(e, 0, kInstanceEntryHead);
    Put16(e, kInstanceEntryMark);
    Put32(e + kWindowField, window);
    Put16(e + kCapacityField, (uint16_t)capacity);
    memcpy(e + kInstanceEntryHead, name, length + 1);
    Put16(block_ + 6, (uint16_t)(last == 0 ? 1 : count() + 1));
    return true;
}

void InstanceTable::Unregister(uint32_t window) {
    if (!HasSignature() || window == 0) return;
    size_t before = 0;
    for (size_t at = Next(0); at != 0; before = at, at = Next(at)) {
        if (WindowAt(at) != window) continue;
        bool last = Get16(block_ + at + kNextField) == 0;
        if (last && before != 0) {
            Put16(block_ + before + kNextField, 0);
            Put16(block_ + 6, (uint16_t)(count() - 1));
        } else {
            Put32(block_ + at + kWindowField, 0);
        }
        return;
    }
}

uint32_t InstanceTable::Find(const char* name) const {
    if (!HasSignature()) return 0;
    for (size_t at = Next(0); at != 0; at = Next(at)) {
        const char* stored = NameAt(at);
        if (WindowAt(at) != 0 && stored && SameIgnoringCase(stored, name)) return WindowAt(at);
    }
    return 0;
}
