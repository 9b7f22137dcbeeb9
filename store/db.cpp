#include "store/db.h"

#include <vector>

using namespace layout;

int OrderForSize(uint64_t bytes) {
    int k = kMinOrder;
    while (((uint64_t)1 << k) < bytes) {
        if (k == kMaxOrder) return 0;
        ++k;
    }
    return k;
}

Db::Db() : size_limit_(kDefaultSizeLimit), notice_(0), told_full_(false), lists_cut_(false) {}

bool Db::Open(const char* name) {
    lists_cut_ = false;
    if (!OpenExisting(name, AccessRead | AccessWrite, 0)) return false;
    SettleFreeLists();
    return true;
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

// A file too short to hold the list heads has no free storage.
uint32_t Db::FreeHead(int order) const {
    if (!IsOpen() || order < kMinOrder || order > kMaxOrder || (uint32_t)size() < kAllocatorEnd) return 0;
    return Get32(base() + FreeHeadOffset(order));
}

void Db::SetFreeHead(int order, uint32_t offset) {
    if ((uint32_t)size() < kAllocatorEnd) return;
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

// ---------------------------------------------------------------------------
// Settling the lists of a file just opened

namespace {

// One bit per granule of the file, in memory.
struct GranuleMap {
    std::vector<uint32_t> words;

    explicit GranuleMap(uint32_t file_size) : words((file_size / kGranule + 31) / 32, 0) {}
    bool Test(uint32_t offset) const { return (words[offset >> 10] >> ((offset >> 5) & 31)) & 1; }
    void Set(uint32_t offset, bool on) {
        uint32_t bit = 1u << ((offset >> 5) & 31);
        if (on)
            words[offset >> 10] |= bit;
        else
            words[offset >> 10] &= ~bit;
    }
    // Blocks are aligned to their size, so a block of 32 granules or more
    // covers whole words and a smaller one lies inside one word.
    bool AnyInBlock(uint32_t offset, int order) const {
        if (order >= 10) {
            for (uint32_t w = offset >> 10; w < (offset + (1u << order)) >> 10; ++w)
                if (words[w]) return true;
            return false;
        }
        return (words[offset >> 10] & BlockBits(offset, order)) != 0;
    }
    void SetBlock(uint32_t offset, int order, bool on) {
        if (order >= 10) {
            for (uint32_t w = offset >> 10; w < (offset + (1u << order)) >> 10; ++w) words[w] = on ? ~0u : 0;
            return;
        }
        if (on)
            words[offset >> 10] |= BlockBits(offset, order);
        else
            words[offset >> 10] &= ~BlockBits(offset, order);
    }
    static uint32_t BlockBits(uint32_t offset, int order) {
        uint32_t n = 1u << (order - kMinOrder);
        return (n == 32 ? ~0u : (1u << n) - 1) << ((offset >> 5) & 31);
    }
};

}  // namespace

// Makes the free storage of a file just opened safe to allocate from before
// any check has run: a list is kept only if every block on it lies inside
// the file as opened, carries the marks of a free block of its order, links
// back to the one before it and overlaps no block kept so far; any other
// list is dropped whole (its storage is leaked, and the check gives it back).
// Then the bitmap is made to mark exactly the blocks kept, so that a stray
// bit can never make Free merge a block that is in use. Only the list heads
// and the bitmap pages are written: a block on a damaged list may really be
// a record in use, and must not get list words stored into it.
void Db::SettleFreeLists() {
    uint32_t file_size = (uint32_t)size();
    // Too short for any block: nothing to settle, and nothing is written
    // into a file that is no workspace.
    if (file_size < kFirstBlock) return;
    GranuleMap claimed(file_size);
    GranuleMap starts(file_size);
    std::vector<uint32_t> list;
    for (int k = kMinOrder; k <= kMaxOrder; ++k) {
        list.clear();
        bool sound = true;
        uint32_t prev = 0;
        for (uint32_t b = FreeHead(k); b != 0; b = Get32(Ptr(b) + kFreeNext)) {
            if (!ListedFreeBlock(b, k) || Get32(Ptr(b) + kFreePrev) != prev || claimed.AnyInBlock(b, k)) {
                sound = false;
                break;
            }
            claimed.SetBlock(b, k, true);
            list.push_back(b);
            prev = b;
        }
        if (sound) {
            for (uint32_t b : list) starts.Set(b, true);
            continue;
        }
        for (uint32_t b : list) claimed.SetBlock(b, k, false);
        SetFreeHead(k, 0);
        lists_cut_ = true;
    }
    for (uint32_t chunk = 0; chunk < file_size; chunk += kChunkSize) {
        uint32_t words = file_size - chunk < kBitmapSize ? (file_size - chunk) / 4 : kBitmapSize / 4;
        // Chunk 0's first words are the file header.
        for (uint32_t w = chunk ? 0 : kFileHeaderSize / 4; w < words; ++w) {
            uint32_t index = (chunk >> 10) + w;
            uint32_t want = index < starts.words.size() ? starts.words[index] : 0;
            uint8_t* word = Ptr(chunk) + w * 4;
            if (Get32(word) != want) Put32(word, want);
        }
    }
}
