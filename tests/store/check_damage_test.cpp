// Random maps, damaged at random, then checked. The check must never crash
// or hang (these run under the sanitizers natively); it may refuse a file
// only for a wrong header; and a file it accepts must be sound to the
// outside checker, stay sound under further use, and check clean a second
// time.
//
// One kind of damage is accepted but cannot be undone: a workspace-header
// size in the file header that is still at most 128 but larger than the
// program's own (37 or more). The check then reserves, as the file says,
// the granules of that larger header after 0x1060, and whatever stood
// there is lost; the outside checker, which knows only the program's own
// layout, reports those granules as lost storage. Such runs are counted and
// must show exactly that fault and no other.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/check.h"
#include "store/node_ref.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/progress_recorder.h"
#include "tests/store/random_runs.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

using namespace layout;

namespace {

const char kExtendedHeaderFault[] = "allocator: storage lost (neither free nor in use): block 0x1060 order 0";

std::string RandomText(std::mt19937& rng, size_t max_length) {
    std::string s(rng() % (max_length + 1), ' ');
    for (char& c : s) c = (char)('a' + rng() % 26);
    return s;
}

// A map with every kind of record: pages filed under their hosts, titles
// of all sizes, labels, annotations, a saved session, links of all kinds,
// deleted nodes left for the check's purge, and now and then a purge.
void BuildRandomMap(NodeDb& db, std::mt19937& rng) {
    static const char* const kHosts[] = {"http://www.example.com", "http://10.1.2.3", "ftp://ftp.example.org",
                                         "file:///c|", "http://host.example.net:8080"};
    static const LinkKind kKinds[] = {LinkAnchor, LinkInclude, LinkOther, LinkQuery, LinkRedirect, LinkFrame, Attach};
    std::vector<NodeId> nodes;
    int count = 3 + (int)(rng() % 60);
    for (int i = 0; i < count; ++i) {
        std::string url = std::string(kHosts[rng() % 5]) + "/" + RandomText(rng, 12) + (rng() % 2 ? "/" : ".html");
        NodeId n = db.FindNode(url.c_str(), true);
        if (n == 0) continue;
        nodes.push_back(n);
        if (rng() % 3) db.SetTitle(n, RandomText(rng, rng() % 5 ? 40 : 300).c_str());
        if (rng() % 8 == 0) db.SetLabel(n, RandomText(rng, 50).c_str());
        if (rng() % 4 == 0) NodeRef(db, n).FileUnderHost();
        if (rng() % 10 == 0) db.SetFlags(n, Busy);
    }
    for (int i = (int)(rng() % 4); i > 0; --i) {
        NodeId note = db.NewAnnotation();
        std::string body = RandomText(rng, 200);
        db.SetBodyBytes(note, body.data(), (uint32_t)body.size());
        if (!nodes.empty()) db.AddLink(nodes[rng() % nodes.size()], note, Attach);
        nodes.push_back(note);
    }
    if (rng() % 2) {
        NodeId root = db.SessionsRoot();
        NodeId session = db.FindNode(("x-skeind-1:/session/" + RandomText(rng, 8)).c_str(), true);
        db.SetKind(session, SessionNode);
        uint32_t n = 1 + rng() % 3000;
        if (db.SetBodyLength(session, n)) memset(db.BodyData(session), (int)(rng() & 0xFF), n);
        db.AddLink(root, session, LinkAnchor);
    }
    for (int i = (int)(rng() % (2 * nodes.size() + 1)); i > 0; --i)
        db.AddLink(nodes[rng() % nodes.size()], nodes[rng() % nodes.size()], kKinds[rng() % 7]);
    for (int i = (int)(rng() % 3); i > 0; --i) delete db.Delete(nodes[rng() % nodes.size()], true, 0);
    if (rng() % 4 == 0) db.Purge();
}

// Offsets worth damaging, by kind of record.
struct Regions {
    std::vector<uint32_t> nodes, texts, cells, free_blocks;
};

void AddText(uint32_t block, Regions* r) {
    if (block) r->texts.push_back(block);
}

Regions RegionsOf(NodeDb& db) {
    Regions r;
    for (NodeId n = db.FirstInTree(); n; n = db.NextInTree(n)) {
        r.nodes.push_back(n);
        NodeRec rec = db.Node(n);
        AddText(rec.name(), &r);
        AddText(rec.title(), &r);
        AddText(rec.label(), &r);
        AddText(rec.body(), &r);
        for (LinkId c = rec.out_head(); c; c = db.Cell(c).next()) r.cells.push_back(c);
    }
    for (LinkId c = db.Header(kFreeLinkCells); c; c = db.Cell(c).next()) r.cells.push_back(c);
    for (int k = kMinOrder; k <= kMaxOrder; ++k)
        for (uint32_t b = db.FreeHead(k); b; b = Get32(db.Ptr(b) + kFreeNext)) r.free_blocks.push_back(b);
    return r;
}

enum DamageKind { Anywhere, Headers, NodeRecords, Texts, Cells, FreeStorage, Pointers, DamageKinds };
const char* const kDamageNames[] = {"anywhere", "headers",      "node records", "texts",
                                    "cells",    "free storage", "pointers"};

uint32_t Pick(std::mt19937& rng, const std::vector<uint32_t>& v, uint32_t fallback) {
    return v.empty() ? fallback : v[rng() % v.size()];
}

// One damage: a byte replaced or a bit flipped, or for Pointers a whole
// 32-bit field replaced with an offset that looks right (a multiple of 8,
// sometimes past the end of the file).
void Damage(NodeDb& db, std::mt19937& rng, DamageKind kind, const Regions& r) {
    uint32_t size = (uint32_t)db.size();
    uint32_t at = 0;
    switch (kind) {
    case Anywhere: at = rng() % size; break;
    case Headers: at = rng() % kFirstBlock; break;
    case NodeRecords: at = Pick(rng, r.nodes, 0x1060) + rng() % kNodeSize; break;
    case Texts: at = Pick(rng, r.texts, 0x1060) + rng() % 40; break;
    case Cells: at = Pick(rng, r.cells, 0x1060) + rng() % kCellSize; break;
    case FreeStorage: at = rng() % 2 ? Pick(rng, r.free_blocks, 0x1060) + rng() % 12 : rng() % kBitmapSize; break;
    case Pointers: {
        uint32_t base = rng() % 2 ? Pick(rng, r.nodes, 0x1060) : Pick(rng, r.cells, 0x1060);
        uint32_t field = base + (rng() % (rng() % 2 ? kNodeSize : kCellSize) & ~3u);
        if (field + 4 > size) return;
        Put32(db.Ptr(field), (rng() % (size + 4096)) & ~7u);
        return;
    }
    default: return;
    }
    if (at >= size) return;
    if (rng() % 2)
        db.Ptr(at)[0] = (uint8_t)rng();
    else
        db.Ptr(at)[0] ^= (uint8_t)(1u << (rng() % 8));
}

bool HeaderWrong(const NodeDb& db) {
    const uint8_t* p = db.Ptr(0);
    return Get16(p + 4) != 1 || Get32(p + 8) > 128 || p[12] != 5 || p[13] != 19 || p[14] != 20;
}

bool HeaderExtended(const NodeDb& db) {
    return (Get32(db.Ptr(8)) + 91) / 32 > 3;
}

// A few ordinary operations on the checked map; it must stay sound.
void UseTheMap(NodeDb& db, std::mt19937& rng) {
    NodeId fresh = db.FindNode("http://after.the.check/", true);
    NodeId any = db.FirstNode();
    ASSERT_NE(0u, fresh);
    ASSERT_NE(0u, any);
    db.AddLink(any, fresh, LinkAnchor);
    db.SetTitle(any, RandomText(rng, 80).c_str());
    NodeRef(db, fresh).FileUnderHost();
    std::unique_ptr<Undo_delete> undo(db.Delete(any, true, 0));
    db.Purge();
}

struct Tally {
    int runs = 0, refused = 0, extended = 0, nothing_found = 0;
    std::map<uint32_t, int> flags;
};

void RunSeed(unsigned seed, Tally* tally) {
    std::mt19937 rng(seed);
    TempDir dir;
    NodeDb db;
    ASSERT_TRUE(db.Create(dir.File("damaged.sk1").c_str()));
    if (rng() % 4) db.BuildVisitedList();
    BuildRandomMap(db, rng);
    ASSERT_EQ("", CheckWorkspace(db));

    Regions regions = RegionsOf(db);
    DamageKind kind = (DamageKind)(rng() % DamageKinds);
    int damages = 1 + (int)(rng() % (kind == Anywhere ? 24 : 6));
    for (int i = 0; i < damages; ++i) Damage(db, rng, kind, regions);
    SCOPED_TRACE(std::string("damage: ") + kDamageNames[kind] + " x" + std::to_string(damages));

    ProgressRecorder bar;
    VRStatus status(&bar);
    int result = CheckWorkspaceFile(db, status);
    ++tally->runs;
    ASSERT_FALSE(bar.calls.empty());
    EXPECT_EQ(Shown(0, 1, "Checking workspace..."), bar.calls[0]);
    for (const ProgressCall& c : bar.calls) EXPECT_LE(c.done, c.total);
    if (result == 0) {
        ++tally->refused;
        EXPECT_TRUE(HeaderWrong(db)) << "refused a file with a sound header";
        return;
    }
    ASSERT_FALSE(HeaderWrong(db));
    ++tally->flags[status.flags];
    if (status.FoundNothing()) ++tally->nothing_found;
    std::string fault = CheckWorkspace(db);
    if (HeaderExtended(db)) {
        ++tally->extended;
        if (!fault.empty()) {
            EXPECT_EQ(kExtendedHeaderFault, fault);
        }
    } else {
        ASSERT_EQ("", fault) << "flags 0x" << std::hex << status.flags << " fixes 0x" << status.fixes;
    }

    VRStatus again(0);
    ASSERT_EQ(1, CheckWorkspaceFile(db, again));
    EXPECT_TRUE(again.FoundNothing()) << "second check: flags 0x" << std::hex << again.flags << " fixes 0x"
                                      << again.fixes;
    if (HeaderExtended(db)) return;
    UseTheMap(db, rng);
    EXPECT_EQ("", CheckWorkspace(db)) << "after use";
}

TEST(CheckDamage, RandomDamageIsRefusedOrRepaired) {
    int seeds = FromEnvironment("SKEIND_DAMAGE_SEEDS", 400);
    int first = FromEnvironment("SKEIND_DAMAGE_FIRST_SEED", 1);
    Tally tally;
    for (int s = first; s < first + seeds; ++s) {
        SCOPED_TRACE("seed " + std::to_string(s));
        RunSeed((unsigned)s, &tally);
        if (HasFatalFailure()) return;
    }
    // The damage must have reached the interesting outcomes at all.
    if (seeds >= 100) {
        EXPECT_GT(tally.refused, 0);
        EXPECT_GT(tally.runs - tally.refused - tally.nothing_found, seeds / 2);
    }
    printf("[ damage   ] %d runs: %d refused, %d needed no repair, %d with an extended header\n", tally.runs,
           tally.refused, tally.nothing_found, tally.extended);
    for (auto& f : tally.flags) printf("[ damage   ]   flags 0x%02X: %d\n", f.first, f.second);
}

}  // namespace
