// Db: a binary buddy allocator that carves the mapped workspace file into
// power-of-two blocks addressed by file offset.
//
// Blocks are 2^k bytes for k = 5..19 and start at a multiple of their size.
// Each 1 MiB chunk begins with a 4 KiB bitmap holding one bit per 32-byte
// granule, set where a free block starts, so that a block being freed can
// find its free buddy without walking a list. Free blocks of each order are
// on a doubly linked list whose heads sit at 0x1000.
//
// Pointers into the file (Ptr) are valid only until the next allocation: a
// growing file is mapped again, possibly elsewhere. Keep offsets instead.
#ifndef SKEIND_STORE_DB_H
#define SKEIND_STORE_DB_H

#include <stdint.h>

#include "store/layout.h"
#include "store/mfile.h"

// Told when the workspace file has reached the largest size it may have.
class AGrowthNotice {
public:
    virtual void WorkspaceFull() = 0;

protected:
    ~AGrowthNotice() {}
};

class Db : private MFile {
public:
    // Keeps every offset below 2^31 with the size still a positive int32.
    static const uint32_t kDefaultSizeLimit = 0x80000000u - layout::kChunkSize;
    // Growth doubles the file, but adds at most this much at a time.
    static const uint32_t kMaxGrowthStep = 16u << 20;

    Db();

    // Opens an existing workspace file for reading and writing, unshared.
    bool Open(const char* name);
    // Creates a new, empty workspace file, replacing any of that name.
    bool Create(const char* name);
    // The general form of Create, for other header sizes and room.
    bool CreateWith(const char* name, const char magic[4], uint8_t minor, uint8_t major,
                    uint32_t header_size, uint32_t room);

    using MFile::Close;
    using MFile::PrepareToWriteAll;
    using MFile::created;
    using MFile::error;
    using MFile::size;

    uint32_t AllocOrder(int order);
    uint32_t AllocSize(uint32_t bytes);
    // A text block for `length` characters: order byte, room, final NUL.
    uint32_t AllocText(uint32_t length);
    void Free(uint32_t offset, int order);
    void FreeSize(uint32_t offset, uint32_t bytes);
    // Puts every granule of [from, to) on the free lists, skipping the
    // bitmap page at the start of any chunk it crosses.
    void ReleaseRegion(uint32_t from, uint32_t to);

    uint8_t* Ptr(uint32_t offset) const { return base() + offset; }
    bool IsOpen() const { return base() != 0; }

    // Inspection, for the consistency check and the tests.
    uint32_t FreeHead(int order) const;
    bool FreeBit(uint32_t offset) const;
    static bool InBitmapPage(uint32_t offset) {
        return (offset & layout::kChunkMask) < layout::kBitmapSize;
    }

    void SetSizeLimit(uint32_t bytes) { size_limit_ = bytes; }
    void SetGrowthNotice(AGrowthNotice* notice) { notice_ = notice; }
    bool ToldFull() const { return told_full_; }
    // Whether Open had to drop a damaged free list; answered once, for the
    // check that follows the opening.
    bool TakeListsCutAtOpen() {
        bool cut = lists_cut_;
        lists_cut_ = false;
        return cut;
    }

private:
    bool ValidFreeBlock(uint32_t offset, int order) const;
    bool ListedFreeBlock(uint32_t offset, int order) const;
    void SetFreeBit(uint32_t offset, bool on);
    void SetFreeHead(int order, uint32_t offset);
    void PushFree(uint32_t offset, int order);
    void Unlink(uint32_t offset, int order);
    uint32_t PopFree(int order);
    void SettleFreeLists();
    bool Grow(int order);
    uint32_t GrowthStep(int order) const;

    uint32_t size_limit_;
    AGrowthNotice* notice_;
    bool told_full_;
    bool lists_cut_;
};

#endif
