#include "tests/store/db_checker.h"

#include <stdio.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace layout;

namespace {

std::string Fault(const char* what, uint32_t offset, int order) {
    char buf[160];
    snprintf(buf, sizeof buf, "%s: block 0x%X order %d", what, offset, order);
    return buf;
}

}  // namespace

std::map<uint32_t, int> FreeBlocksOf(const Db& db) {
    std::map<uint32_t, int> blocks;
    for (int k = kMinOrder; k <= kMaxOrder; ++k) {
        uint32_t size = (uint32_t)db.size();
        uint32_t b = db.FreeHead(k);
        while (b != 0 && b < size && blocks.count(b) == 0 && blocks.size() < size / kGranule) {
            blocks[b] = k;
            b = Get32(db.Ptr(b) + kFreeNext);
        }
    }
    return blocks;
}

std::string CheckDb(const Db& db, const std::map<uint32_t, int>* in_use) {
    const uint32_t size = (uint32_t)db.size();
    if (size % kPageSize != 0) return Fault("file size not a multiple of 4096", size, 0);
    const uint8_t* base = db.Ptr(0);
    if (base[kLowestOrder] != 5 || base[kHighestOrder] != 19 || base[kChunkOrderField] != 20)
        return "allocation header fields changed";

    std::map<uint32_t, int> free_blocks;
    for (int k = kMinOrder; k <= kMaxOrder; ++k) {
        uint32_t prev = 0;
        uint32_t b = db.FreeHead(k);
        while (b != 0) {
            if (b % (1u << k) != 0) return Fault("misaligned free block", b, k);
            if ((uint64_t)b + (1u << k) > size) return Fault("free block past end of file", b, k);
            if (Db::InBitmapPage(b)) return Fault("free block in a bitmap page", b, k);
            if (b < kFirstBlock) return Fault("free block over the headers", b, k);
            if (free_blocks.count(b)) return Fault("free block listed twice", b, k);
            if (!db.FreeBit(b)) return Fault("free block without its bit", b, k);
            const uint8_t* p = db.Ptr(b);
            if (Get32(p + kFreeOrder) != (uint32_t)k) return Fault("free block with wrong order", b, k);
            if (Get32(p + kFreePrev) != prev) return Fault("free block with wrong previous link", b, k);
            free_blocks[b] = k;
            prev = b;
            b = Get32(p + kFreeNext);
        }
    }

    // Every set bit starts a listed free block.
    size_t bits = 0;
    for (uint32_t chunk = 0; chunk < size; chunk += kChunkSize) {
        for (uint32_t w = 0; w < 1024; ++w) {
            uint32_t v = Get32(base + chunk + w * 4);
            if (chunk == 0 && w < 4) continue;  // the file header's bytes
            for (int bit = 0; bit < 32; ++bit) {
                if (!(v >> bit & 1)) continue;
                uint32_t g = chunk + (w << 10) + ((uint32_t)bit << 5);
                if (free_blocks.count(g) == 0) return Fault("bit set without a free block", g, 0);
                ++bits;
            }
        }
    }
    if (bits != free_blocks.size()) return "bit count differs from free block count";

    // No two free buddies of one order are left unmerged.
    for (std::map<uint32_t, int>::const_iterator it = free_blocks.begin(); it != free_blocks.end(); ++it) {
        uint32_t buddy = it->first ^ (1u << it->second);
        std::map<uint32_t, int>::const_iterator b = free_blocks.find(buddy);
        if (b != free_blocks.end() && b->second == it->second)
            return Fault("two free buddies left unmerged", it->first, it->second);
    }

    // Coverage: reserved areas, blocks in use and free blocks tile the file.
    if (in_use) {
        std::vector<std::pair<uint32_t, uint32_t> > spans;  // [start, end)
        for (uint32_t chunk = 0; chunk < size; chunk += kChunkSize)
            spans.push_back(std::make_pair(chunk, chunk == 0 ? kFirstBlock : chunk + kBitmapSize));
        for (std::map<uint32_t, int>::const_iterator it = free_blocks.begin(); it != free_blocks.end(); ++it)
            spans.push_back(std::make_pair(it->first, it->first + (1u << it->second)));
        for (std::map<uint32_t, int>::const_iterator it = in_use->begin(); it != in_use->end(); ++it) {
            if (free_blocks.count(it->first)) return Fault("block in use is on a free list", it->first, it->second);
            spans.push_back(std::make_pair(it->first, it->first + (1u << it->second)));
        }
        std::sort(spans.begin(), spans.end());
        uint32_t at = 0;
        for (size_t i = 0; i < spans.size(); ++i) {
            if (spans[i].first < at) return Fault("blocks overlap", spans[i].first, 0);
            if (spans[i].first > at) return Fault("storage lost (neither free nor in use)", at, 0);
            at = spans[i].second;
        }
        if (at != size) return Fault("storage lost at end of file", at, 0);
    }
    return std::string();
}
