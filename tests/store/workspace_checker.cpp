#include "tests/store/workspace_checker.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "tests/store/db_checker.h"

using namespace layout;

namespace {

std::string Fault(const char* what, uint32_t at) {
    char buf[160];
    snprintf(buf, sizeof buf, "%s (0x%X)", what, at);
    return buf;
}

struct Walker {
    const NodeDb& db;
    std::map<uint32_t, int> in_use;
    std::set<NodeId> nodes;
    std::string fault;

    explicit Walker(const NodeDb& d) : db(d) {}

    bool Use(uint32_t block, int order, const char* what) {
        if (block == 0 || order < kMinOrder || order > kMaxOrder || block % (1u << order) ||
            block + (1u << order) > (uint32_t)db.size()) {
            fault = Fault(what, block);
            return false;
        }
        if (in_use.count(block)) {
            fault = Fault("block used twice", block);
            return false;
        }
        in_use[block] = order;
        return true;
    }

    bool UseText(uint32_t block, const char* what) {
        if (block == 0) return true;
        if (block >= (uint32_t)db.size()) {
            fault = Fault(what, block);
            return false;
        }
        int order = db.Ptr(block)[kTextOrder];
        if (!Use(block, order, what)) return false;
        const uint8_t* p = db.Ptr(block);
        // A block may be larger than the text up to its first NUL needs: a
        // body stored from bytes may hold zeros.
        if (memchr(p + 1, 0, (1u << order) - 1) == 0) {
            fault = Fault("text without its NUL", block);
            return false;
        }
        return true;
    }

    // Returns the subtree height + 1, or -1 on a fault.
    int Tree(NodeId n, NodeId parent, const char* low, const char* high) {
        if (n == 0) return 0;
        if (n % kNodeSize || nodes.count(n)) {
            fault = Fault("bad or repeated node in the tree", n);
            return -1;
        }
        nodes.insert(n);
        NodeRec rec = db.Node(n);
        if (!Use(n, kNodeOrder, "node record")) return -1;
        if (!UseText(rec.name(), "node name")) return -1;
        if (rec.parent() != parent) {
            fault = Fault("wrong parent link", n);
            return -1;
        }
        const char* name = (const char*)db.Ptr(rec.name()) + 1;
        if ((low && strcmp(low, name) >= 0) || (high && strcmp(name, high) >= 0)) {
            fault = Fault("tree out of URL order", n);
            return -1;
        }
        int l = Tree(rec.left(), n, low, name);
        if (l < 0) return -1;
        int r = Tree(rec.right(), n, name, high);
        if (r < 0) return -1;
        if (rec.height() != (l > r ? l : r)) {
            fault = Fault("wrong stored height", n);
            return -1;
        }
        if (l > r + 1 || r > l + 1) {
            fault = Fault("tree out of balance", n);
            return -1;
        }
        return (l > r ? l : r) + 1;
    }
};

}  // namespace

std::string CheckWorkspace(const NodeDb& db) {
    Walker w(db);
    if (w.Tree(db.Root(), 0, 0, 0) < 0) return w.fault;

    // Links: every out cell A→B|k matches one in cell of B holding A|k.
    typedef std::tuple<NodeId, NodeId, int> Link;
    std::multiset<Link> outs, ins;
    std::set<LinkId> cells;
    for (NodeId n : w.nodes) {
        NodeRec rec = db.Node(n);
        if (!w.UseText(rec.label(), "label") || !w.UseText(rec.title(), "title")) return w.fault;
        if (rec.body()) {
            if (!(rec.flags() & CountedBodyKind)) {
                if (!w.UseText(rec.body(), "text body")) return w.fault;
            } else {
                uint32_t n_bytes = Get32(db.Ptr(rec.body()));
                int order = CountedOrder(n_bytes);
                if (!w.Use(rec.body(), order, "counted body")) return w.fault;
            }
        }
        for (int pass = 0; pass < 2; ++pass) {
            LinkId head = pass ? rec.in_head() : rec.out_head();
            LinkId tail = pass ? rec.in_tail() : rec.out_tail();
            LinkId last = 0;
            for (LinkId c = head; c != 0; c = db.Cell(c).next()) {
                if (c % kCellSize || c >= (uint32_t)db.size() || !cells.insert(c).second)
                    return Fault("bad or shared link cell", c);
                NodeId other = db.Cell(c).node();
                Link link = pass ? Link(other, n, db.Cell(c).kind()) : Link(n, other, db.Cell(c).kind());
                (pass ? ins : outs).insert(link);
                last = c;
            }
            if (tail != last) return Fault("list tail is not its last cell", n);
        }
    }
    for (const Link& l : outs)
        if (w.nodes.count(std::get<1>(l)) == 0) return Fault("link to a node not in the tree", std::get<0>(l));
    if (outs != ins) return "out-lists and in-lists disagree";

    // Spare cells: not in any list; every cell block fully accounted for.
    for (LinkId c = db.Header(kFreeLinkCells); c != 0; c = db.Cell(c).next()) {
        if (c % kCellSize || c >= (uint32_t)db.size() || !cells.insert(c).second)
            return Fault("spare cell in use or repeated", c);
    }
    std::map<uint32_t, int> per_block;
    for (LinkId c : cells) ++per_block[c & ~(kGranule - 1)];
    for (auto& b : per_block) {
        if (b.second != 4) return Fault("cell block with cells lost", b.first);
        if (!w.Use(b.first, kMinOrder, "cell block")) return w.fault;
    }

    NodeId sessions = db.Header(kSessionsRoot);
    if (sessions != 0 && w.nodes.count(sessions) == 0) return Fault("sessions root not in the tree", sessions);

    std::string alloc = CheckDb(db, &w.in_use);
    if (!alloc.empty()) return "allocator: " + alloc;
    return std::string();
}
