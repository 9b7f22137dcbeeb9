#include "store/db.h"

using namespace layout;

int OrderForSize(uint64_t bytes) {
    int k = kMinOrder;
    while (((uint64_t)1 << k) < bytes) {
        if (k == kMaxOrder) return 0;
        ++k;
    }
    return k;
}

Db::Db() : size_limit_(kDefaultSizeLimit), notice_(0), told_full_(false) {}

bool Db::Open(const char* name) {
    return OpenExisting(name, AccessRead | AccessWrite, 0);
}

bool Db::Create(const char* name) {
    return CreateWith(name, kWorkspaceMagic, kWorkspaceMinor, kWorkspaceMajor,
                      kWorkspaceHeaderBytes, kNewWorkspaceRoom);
}

bool Db::CreateWith(const char* name, const char magic[4], uint8_t minor, uint8_t major,
                    uint32_t header_size, uint32_t room) {
    if (!CreateNew(name, magic, minor, major, header_size, room)) return false;
    uint32_t first = (header_size + kAllocatorEnd + kGranule - 1) & ~(kGranule - 1);
    ReleaseRegion(first, (uint32_t)size());
    return true;
}

// Bitmap word of the chunk holding `offset`, and the bit of its granule.
bool Db::FreeBit(uint32_t offset) const {
    const uint8_t* word = base() + (offset & ~kChunkMask) + ((offset >> 10) & 0x3FF) * 4;
    return (Get32(word) >> ((offset >> 5) & 31)) & 1;
}

void Db::SetFreeBit(uint32_t offset, bool on) {
    uint8_t* word = base() + (offset & ~kChunkMask) + ((offset >> 10) & 0x3FF) * 4;
    uint32_t bit = 1u << ((offset >> 5) & 31);
    uint32_t v = Get32(word);
    Put32(word, on ? (v | bit) : (v & ~bit));
}

uint32_t Db::FreeHead(int order) const {
    if (!IsOpen() || order < kMinOrder || order > kMaxOrder) return 0;
    return Get32(base() + FreeHeadOffset(order));
}

void Db::SetFreeHead(int order, uint32_t offset) {
    Put32(base() + FreeHeadOffset(order), offset);
}

// Whether a block of this order could lie at `offset`: inside the file,
// aligned, clear of the bitmap pages and of the headers in front of the
// first block. Links read from the file are checked with this before they
// are followed, so a damaged list cannot lead outside the mapping.
bool Db::ValidFreeBlock(uint32_t offset, int order) const {
    uint32_t bytes = 1u << order;
    if (offset == 0 || (offset & (bytes - 1)) != 0) return false;
    if ((uint64_t)offset + bytes > (uint32_t)size()) return false;
    if (InBitmapPage(offset)) return false;
    if (offset < kFirstBlock) return false;
    return true;
}

// A block a list may lead to: a possible free block that also carries the
// marks of one, its bit and its order word. A list that leads elsewhere,
// round in a circle (a block handed out has its bit cleared) or past a
// truncated end (the grown part reads as zero) is damaged, and is dropped
// rather than followed.
bool Db::ListedFreeBlock(uint32_t offset, int order) const {
    return ValidFreeBlock(offset, order) && FreeBit(offset) &&
           Get32(Ptr(offset) + kFreeOrder) == (uint32_t)order;
}

void Db::PushFree(uint32_t offset, int order) {
    uint8_t* p = Ptr(offset);
    uint32_t head = FreeHead(order);
    if (head != 0 && !ListedFreeBlock(head, order)) head = 0;
    Put32(p + kFreeNext, head);
    Put32(p + kFreePrev, 0);
    Put32(p + kFreeOrder, (uint32_t)order);
    if (head != 0) Put32(Ptr(head) + kFreePrev, offset);
    SetFreeHead(order, offset);
    SetFreeBit(offset, true);
}

void Db::Unlink(uint32_t offset, int order) {
    uint8_t* p = Ptr(offset);
    uint32_t next = Get32(p + kFreeNext);
    uint32_t prev = Get32(p + kFreePrev);
    if (next != 0 && !ListedFreeBlock(next, order)) next = 0;
    if (prev != 0 && !ListedFreeBlock(prev, order)) prev = 0;
    if (prev != 0)
        Put32(Ptr(prev) + kFreeNext, next);
    else if (FreeHead(order) == offset)
        SetFreeHead(order, next);
    if (next != 0) Put32(Ptr(next) + kFreePrev, prev);
    SetFreeBit(offset, false);
}

uint32_t Db::PopFree(int order) {
    uint32_t head = FreeHead(order);
    if (head == 0) return 0;
    if (!ListedFreeBlock(head, order)) {
        // A damaged list: drop it. The consistency check gives leaked
        // storage back at the next start.
        SetFreeHead(order, 0);
        return 0;
    }
    uint32_t next = Get32(Ptr(head) + kFreeNext);
    if (next != 0 && !ListedFreeBlock(next, order)) next = 0;
    SetFreeHead(order, next);
    if (next != 0) Put32(Ptr(next) + kFreePrev, 0);
    SetFreeBit(head, false);
    return head;
}

uint32_t Db::AllocOrder(int order) {
    if (!IsOpen()) return 0;
    if (order < kMinOrder) order = kMinOrder;
    if (order > kMaxOrder) return 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (int j = order; j <= kMaxOrder; ++j) {
            uint32_t block;
            while (FreeHead(j) != 0) {
                block = PopFree(j);
                if (block == 0) continue;
                // Give back upper halves until the block has the wanted order;
                // none can merge, since its buddy is the part kept.
                while (j > order) {
                    --j;
                    PushFree(block + (1u << j), j);
                }
                return block;
            }
        }
        if (attempt == 0 && !Grow(order)) return 0;
    }
    return 0;
}

uint32_t Db::AllocSize(uint32_t bytes) {
    int order = OrderForSize(bytes);
    return order ? AllocOrder(order) : 0;
}

uint32_t Db::AllocText(uint32_t length) {
    int order = TextOrder(length);
    if (order == 0) return 0;
    uint32_t block = AllocOrder(order);
    if (block == 0) return 0;
    uint8_t* p = Ptr(block);
    p[kTextOrder] = (uint8_t)order;
    p[kTextChars + length] = 0;
    return block;
}

void Db::Free(uint32_t offset, int order) {
    if (!IsOpen() || order < kMinOrder || order > kMaxOrder) return;
    if (!ValidFreeBlock(offset, order)) return;
    uint32_t m = offset;
    int k = order;
    while (k < kMaxOrder) {
        uint32_t buddy = m ^ (1u << k);
        if (buddy == 0) break;
        // Never merge across a bitmap page, the headers or the end of file.
        if (!ValidFreeBlock(buddy, k)) break;
        if (!FreeBit(buddy)) break;
        if (Get32(Ptr(buddy) + kFreeOrder) != (uint32_t)k) break;
        Unlink(buddy, k);
        if (buddy < m) m = buddy;
        ++k;
    }
    PushFree(m, k);
}

void Db::FreeSize(uint32_t offset, uint32_t bytes) {
    int order = OrderForSize(bytes);
    if (order) Free(offset, order);
}

void Db::ReleaseRegion(uint32_t from, uint32_t to) {
    if (!IsOpen()) return;
    if (to > (uint32_t)size()) to = (uint32_t)size();
    uint32_t p = (from + kGranule - 1) & ~(kGranule - 1);
    while (p < to) {
        if (InBitmapPage(p)) {
            p = (p & ~kChunkMask) + kBitmapSize;
            continue;
        }
        int k = kMinOrder;
        while (k < kMaxOrder && (p & ((2u << k) - 1)) == 0 && (uint64_t)p + (2u << k) <= to) ++k;
        if ((uint64_t)p + (1u << k) > to) break;  // less than a granule left
        Free(p, k);
        p += 1u << k;
    }
}

uint32_t Db::GrowthStep(int order) const {
    uint32_t step = (uint32_t)size();
    if (step > kMaxGrowthStep) step = kMaxGrowthStep;
    uint32_t need = (1u << order) + kBitmapSize;
    if (step < need) step = need;
    return step;
}

// A block marked free that reached past the old end (a file cut short
// through it) was refused by every list walk; once the file is longer it
// would pass, though the part of it inside the old file may be in use by
// now. Clearing its free bit keeps it refused.
void Db::ForgetBlocksAcrossEnd(uint32_t end) {
    for (int k = kMinOrder; k <= kMaxOrder; ++k) {
        uint32_t b = (end - 1) & ~((1u << k) - 1);
        if (b + (1u << k) <= end || b < kFirstBlock || InBitmapPage(b)) continue;
        // The bit belongs to the granule: only a block marked with this
        // order is the one cut through.
        if (FreeBit(b) && Get32(Ptr(b) + kFreeOrder) == (uint32_t)k) SetFreeBit(b, false);
    }
}

// Extends the file until a free block of the wanted order exists. Each round
// adds a stretch as large as the file (at most 16 MiB) and gives it to the
// free lists; a stretch that crosses a 1 MiB boundary leaves the new chunk's
// first 4 KiB as its bitmap.
bool Db::Grow(int order) {
    if (!IsOpen()) return false;
    for (;;) {
        uint32_t old_size = (uint32_t)size();
        if (old_size >= size_limit_) break;
        uint64_t want = (uint64_t)old_size + GrowthStep(order);
        want = (want + kPageSize - 1) & ~(uint64_t)(kPageSize - 1);
        if (want > size_limit_) want = size_limit_;
        if (!Extend((uint32_t)want)) {
            // Perhaps the large step was too much for the disc or the
            // address space; try the least that can serve this request.
            uint64_t least = (uint64_t)old_size + (1u << order) + kBitmapSize;
            least = (least + kPageSize - 1) & ~(uint64_t)(kPageSize - 1);
            if (least >= want || least > size_limit_ || !Extend((uint32_t)least)) break;
        }
        ForgetBlocksAcrossEnd(old_size);
        ReleaseRegion(old_size, (uint32_t)size());
        for (int j = order; j <= kMaxOrder; ++j)
            if (FreeHead(j) != 0) return true;
    }
    if (!told_full_) {
        told_full_ = true;
        if (notice_) notice_->WorkspaceFull();
    }
    return false;
}
