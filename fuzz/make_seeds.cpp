// Writes the seed corpus of fuzz_workspace into the directory named first on
// the command line: workspace files as Db makes them, a few damaged by hand,
// most followed by some bytes of operations (the input format is described
// at the top of fuzz_workspace.cpp). A second directory, when named, gets
// the small hand-made inputs that show the faults found by fuzzing.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "store/db.h"

using namespace layout;

namespace {

std::vector<uint8_t> ReadFile(const std::string& name) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(name.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

bool WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(name.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// Operation bytes from a fixed generator: any bytes are valid operations.
void AppendOps(std::vector<uint8_t>& image, uint32_t seed, size_t count) {
    uint32_t x = seed;
    for (size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        image.push_back((uint8_t)(x >> 7));
    }
}

void SetHead(std::vector<uint8_t>& image, int order, uint32_t offset) {
    Put32(&image[FreeHeadOffset(order)], offset);
}

// Sets the free bit of a granule in chunk 0.
void SetBit(std::vector<uint8_t>& image, uint32_t offset) {
    uint8_t* word = &image[(offset >> 10) * 4];
    Put32(word, Get32(word) | 1u << (offset >> 5 & 31));
}

typedef std::vector<std::pair<std::string, std::vector<uint8_t> > > Files;

bool WriteAll(const std::string& dir, const Files& files) {
    for (size_t i = 0; i < files.size(); ++i) {
        std::string name = dir + "/" + files[i].first;
        if (!WriteFile(name, files[i].second)) {
            fprintf(stderr, "make_seeds: cannot write %s\n", name.c_str());
            return false;
        }
        printf("%s: %zu bytes\n", name.c_str(), files[i].second.size());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: make_seeds CORPUS_DIRECTORY [REGRESSIONS_DIRECTORY]\n");
        return 2;
    }
    std::string dir = argv[1];
    std::string scratch = dir + "/.scratch.ws";

    Db db;
    if (!db.Create(scratch.c_str())) {
        fprintf(stderr, "make_seeds: cannot create %s (error %u)\n", scratch.c_str(), db.error());
        return 1;
    }
    db.Close();
    const std::vector<uint8_t> fresh = ReadFile(scratch);

    // A workspace in use: grown once, blocks of several orders held and freed.
    if (!db.Open(scratch.c_str())) return 1;
    db.SetSizeLimit(64u << 10);
    std::vector<uint32_t> blocks;
    std::vector<int> orders;
    for (int i = 0; i < 400; ++i) {
        int order = (i % 37 == 0) ? 11 : 5 + i % 4;
        uint32_t b = db.AllocOrder(order);
        if (b == 0) break;
        memset(db.Ptr(b), 0x5A, 1u << order);
        blocks.push_back(b);
        orders.push_back(order);
    }
    for (size_t i = 0; i < blocks.size(); i += 2) db.Free(blocks[i], orders[i]);
    db.Close();
    const std::vector<uint8_t> used = ReadFile(scratch);
    unlink(scratch.c_str());

    Files seeds;
    seeds.push_back(std::make_pair("new-workspace", fresh));

    std::vector<uint8_t> s = fresh;
    AppendOps(s, 1, 400);
    seeds.push_back(std::make_pair("new-workspace-ops", s));

    s = used;
    AppendOps(s, 2, 600);
    seeds.push_back(std::make_pair("used-workspace-ops", s));

    // Links along the lists into the headers and into a bitmap page.
    s = fresh;
    Put32(&s[0x1060 + kFreeNext], 0x1040);
    Put32(&s[0x1080 + kFreeNext], 0x1000);
    Put32(&s[0x4000 + kFreeNext], 0x100000);
    AppendOps(s, 6, 400);
    seeds.push_back(std::make_pair("bad-next-links-ops", s));

    // Links back along the lists that are garbage.
    s = fresh;
    Put32(&s[0x1200 + kFreePrev], 0xFFFFFFF0);
    Put32(&s[0x1400 + kFreePrev], 0x1234);
    Put32(&s[0x2000 + kFreePrev], 0x4000);
    AppendOps(s, 3, 400);
    seeds.push_back(std::make_pair("bad-prev-links-ops", s));

    // Bits set in the middle of free blocks, one with a plausible order word.
    s = fresh;
    SetBit(s, 0x2100);
    Put32(&s[0x2100 + kFreeOrder], 8);
    SetBit(s, 0x4E40);
    AppendOps(s, 4, 400);
    seeds.push_back(std::make_pair("stray-bits-ops", s));

    // Small hand-made inputs for the faults found (see fuzz/README.md);
    // each fails the checks of fuzz_workspace.
    Files cases;
    // A free-list head beyond the end of an 8 KiB file; AllocOrder(15) grows
    // the file and frees an order-13 block onto that list.
    s.assign(8192, 0);
    SetHead(s, 13, 0x00100000);
    s.push_back(0);     // AllocOrder, with
    s.push_back(0x83);  // order 15
    cases.push_back(std::make_pair("workspace-unchecked-head", s));

    // A new workspace cut short at 8 KiB: the order-13 and order-14 lists
    // still start beyond the end, at 0x2000 and 0x4000. AllocOrder(15) grows
    // the file over them and frees blocks at those very offsets onto those
    // lists, so that each links to itself; repeated AllocOrder(14) then
    // gets 0x4000 again and again.
    s.assign(fresh.begin(), fresh.begin() + 8192);
    const uint8_t grow[] = {0, 0x83, 0, 0x82, 0, 0x82, 0, 0x82};  // orders 15, 14, 14, 14
    s.insert(s.end(), grow, grow + sizeof grow);
    cases.push_back(std::make_pair("workspace-truncated", s));

    // A new workspace cut short at 28 KiB, through the free order-14 block
    // at 0x4000: its first words survive, so once AllocOrder(15) has grown
    // the file past 0x8000 it looks like a free block again, while growth
    // has also put 0x7000 on the order-12 list. AllocOrder(12) then gets
    // 0x7000 and AllocOrder(14) gets 0x4000, around it.
    s.assign(fresh.begin(), fresh.begin() + 0x7000);
    const uint8_t straddle[] = {0, 0x83, 0, 0x80, 0, 0x82};  // orders 15, 12, 14
    s.insert(s.end(), straddle, straddle + sizeof straddle);
    cases.push_back(std::make_pair("workspace-straddling-end", s));

    // A head pointing into the workspace header; an order-6 piece released
    // onto that list writes its offset into the header.
    s = fresh;
    SetHead(s, 6, 0x1040);
    const uint8_t release[] = {0, 0x02,              // AllocOrder(7)
                               8, 0x00, 0x7F, 0, 0};  // ReleaseRegion of its first half
    s.insert(s.end(), release, release + sizeof release);
    cases.push_back(std::make_pair("workspace-head-into-header", s));

    // A free block whose link points to itself: it is handed out twice.
    s = fresh;
    Put32(&s[0x1080 + kFreeNext], 0x1080);
    const uint8_t twice[] = {0, 0x02, 0, 0x02};  // AllocOrder(7), AllocOrder(7)
    s.insert(s.end(), twice, twice + sizeof twice);
    cases.push_back(std::make_pair("workspace-self-linked", s));

    // An order-7 list that runs into the free order-10 block at 0x1400:
    // storage inside a block in use is handed out again.
    s = fresh;
    Put32(&s[0x1080 + kFreeNext], 0x1500);
    const uint8_t cross[] = {0, 0x02, 0, 0x95, 0, 0x02};  // orders 7, 10, 7
    s.insert(s.end(), cross, cross + sizeof cross);
    cases.push_back(std::make_pair("workspace-cross-linked", s));

    if (!WriteAll(dir, seeds)) return 1;
    if (argc == 3 && !WriteAll(argv[2], cases)) return 1;
    return 0;
}
