// InstanceTable: the chain of entries in the block of memory that running
// copies of the program share, one entry per copy: its main window and the
// short full path of its workspace file. The block comes from another
// process and may be anything: every offset and length is checked before
// it is followed, and a walk never goes backwards or past the block.
#ifndef SKEIND_STORE_INSTANCE_TABLE_H
#define SKEIND_STORE_INSTANCE_TABLE_H

#include <stddef.h>
#include <stdint.h>

const char kInstanceSignature[6] = {'s', 'k', 'e', 'i', 'n', 'd'};
const uint16_t kInstanceEntryMark = 0x3141;
const size_t kInstanceHeader = 8;      // signature and entry count
const size_t kInstanceEntryHead = 12;  // mark, next, window, unused, capacity

class InstanceTable {
public:
    InstanceTable(uint8_t* block, size_t size) : block_(block), size_(size) {}

    bool HasSignature() const;
    // Writes the signature and an empty chain.
    void Initialise();
    uint16_t count() const;

    // Records `window` for `name`, reusing the first free entry that is
    // large enough, else appending one; false when the block is full.
    bool Register(uint32_t window, const char* name);
    // Unlinks the window's entry when it is the last of several, else
    // frees it for reuse.
    void Unregister(uint32_t window);
    // The window of the first entry whose name equals `name` without
    // regard to case; 0 when there is none.
    uint32_t Find(const char* name) const;

private:
    // The entry after the one at `at` (0 for the first), or 0 at the end
    // of the chain or where the chain is damaged.
    size_t Next(size_t at) const;
    bool EntryFits(size_t at) const;
    uint32_t WindowAt(size_t at) const;
    int CapacityAt(size_t at) const;
    const char* NameAt(size_t at) const;  // null when not ended inside its field

    uint8_t* block_;
    size_t size_;
};

#endif
