#include "store/check.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "res/resource.h"
#include "res/strings.h"
#include "store/bits.h"
#include "store/nodedb.h"

using namespace layout;

const char kLostNameFormat[] = "x-skeind-1/lost-name-%ld";

// ---------------------------------------------------------------------------
// OffsetMap

void OffsetMap::Reset(uint32_t bytes, unsigned unit_shift) {
    shift = unit_shift;
    words.assign((size_t)((((uint64_t)bytes >> unit_shift) + 32) / 32), 0);
}

bool OffsetMap::Test(uint32_t offset) const {
    uint32_t unit = offset >> shift;
    return unit / 32 < words.size() && ((words[unit / 32] >> (unit % 32)) & 1);
}

void OffsetMap::Set(uint32_t offset) {
    uint32_t unit = offset >> shift;
    if (unit / 32 < words.size()) words[unit / 32] |= 1u << (unit % 32);
}

void OffsetMap::SetRange(uint32_t offset, uint32_t bytes) {
    if (bytes == 0) return;
    uint64_t unit = offset >> shift;
    uint64_t last = ((uint64_t)offset + bytes - 1) >> shift;
    while (unit <= last && unit / 32 < words.size()) {
        if (unit % 32 == 0 && unit + 31 <= last) {
            words[unit / 32] = ~0u;
            unit += 32;
        } else {
            words[unit / 32] |= 1u << (unit % 32);
            ++unit;
        }
    }
}

bool OffsetMap::AnyInRange(uint32_t offset, uint32_t bytes) const {
    if (bytes == 0) return false;
    uint64_t unit = offset >> shift;
    uint64_t last = ((uint64_t)offset + bytes - 1) >> shift;
    while (unit <= last && unit / 32 < words.size()) {
        if (unit % 32 == 0 && unit + 31 <= last) {
            if (words[unit / 32]) return true;
            unit += 32;
        } else {
            if ((words[unit / 32] >> (unit % 32)) & 1) return true;
            ++unit;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// VRStatus

VRStatus::VRStatus(AProgressbar* progress_sink)
    : flags(0), sink(progress_sink), node_count(0), mark(CheckMarkNow()), fixes(0) {}

int VRStatus::Progress(uint32_t done, uint32_t total, const char* text) {
    return sink ? sink->Progress(done, total, text) : 0;
}

// ---------------------------------------------------------------------------
// The check

namespace {

// How many nodes ahead the node pass asks for the memory it will read.
const size_t kLookAhead = 8;
// The tree walk does less for each node, so it asks further ahead.
const size_t kWalkAhead = 24;

struct FreeListed {
    uint32_t offset;
    int order;
};

bool ByOffset(const FreeListed& a, const FreeListed& b) {
    return a.offset < b.offset;
}

// A node to be given a lost name once the allocator can be trusted; block
// is storage of that order kept for it, or 0 when a new block is needed.
struct LostName {
    NodeId node;
    uint32_t block;
    int order;
};

// A node the tree walk has queued, with what its turn checks: its parent
// (0 for the root), the names that bound its place, the parent's stored
// height, and which child it is.
enum ChildRole : uint8_t { kRoot, kLeftAlone, kLeftOfTwo, kRight, kRightOfTwo };
struct Queued {
    NodeId node;
    NodeId parent;
    uint32_t low, high;
    uint16_t parent_height;
    ChildRole role;
};

// A link cell met in the node pass: the word it holds of its link (the far
// node with the kind, as the partner cell must hold of this end) and where
// the cell is. Out cells are kept by their own node, in cells by the node
// they come from, so both halves of a link land in the same node's bucket.
struct HalfLink {
    uint32_t key;
    LinkId cell;
};

struct InHalf {
    uint32_t from_rank;
    HalfLink half;
};

uint64_t Mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Every link as one side of it tells it, summed twice through different
// mixes: when the out cells' sums equal the in cells', both sides name the
// same links, each as many times, and nothing needs pairing. Damage that
// left the sums equal by chance would have to hit both 64-bit sums at once.
struct LinkTally {
    uint64_t sum[2] = {0, 0};
    void Add(NodeId from, uint32_t to_kind) {
        uint64_t key = (uint64_t)from << 32 | to_kind;
        sum[0] += Mix(key ^ 0x9E3779B97F4A7C15ull);
        sum[1] += Mix(key * 0xD6E8FEB86659FD93ull + 0x5851F42D4C957F2Dull);
    }
    bool operator==(const LinkTally& o) const { return sum[0] == o.sum[0] && sum[1] == o.sum[1]; }
};

// Follows the link lists of the nodes a few places ahead of the node pass,
// one cell of each list a step, asking for the cell after it. A list's
// cells were made whenever other pages linked, so they lie anywhere in the
// file and each read waits on the one before; following several lists at
// once lets those waits overlap. It only reads, and stops at anything that
// is not a cell inside the file (the pass proper judges the lists).
class ListsAhead {
public:
    static const size_t kNodes = 4;

    ListsAhead() : cells_() {}
    void Start(size_t place, LinkId in_head, LinkId out_head) {
        LinkId* pair = &cells_[2 * (place % kNodes)];
        pair[0] = in_head;
        pair[1] = out_head;
    }
    void Step(const NodeDb& db, uint32_t size) {
        for (LinkId& c : cells_) {
            if (c == 0) continue;
            c = db.Cell(c).next();
            if (c != 0 && c < size)
                PrefetchForRead(db.Ptr(c));
            else
                c = 0;
        }
    }

private:
    LinkId cells_[2 * kNodes];
};

class Checker {
public:
    Checker(NodeDb& db, VRStatus& status)
        : db_(db), st_(status), size_(0), in_order_(true), collecting_(false), saw_deleted_(false), purged_(false) {}
    int Run();

private:
    // Places
    bool BlockPlace(uint32_t b, int order) const;
    bool RecordPlace(uint32_t b) const;
    bool Unclaimed(uint32_t b, int order) const { return !st_.used.AnyInRange(b, 1u << order); }
    void Claim(uint32_t b, int order) { st_.used.SetRange(b, 1u << order); }

    // Steps 1-2
    bool HeaderValid() const;
    bool ReserveFixedAreas();
    void WalkFreeLists();
    bool AcceptFree(uint32_t b, int order, uint32_t prev) const;
    // Steps 3-4
    void WalkTree();
    void CutChild(NodeId parent, bool left);
    bool InPlace(uint32_t name, uint32_t low, uint32_t high);
    bool NodePlace(NodeId n) const;
    void Reach(NodeId n);
    void SettleSessionsRoot();
    // Step 7
    void CheckNodes();
    void CheckName(NodeId n);
    void CheckLabel(NodeId n);
    void CheckLabelView(NodeId n);
    void CheckTitle(NodeId n);
    void CheckBody(NodeId n);
    void CheckCells(NodeId n, bool out_list);
    void CollectHalf(NodeId n, bool out_list, LinkCell cell, LinkId c);
    void RankNodes();
    void Prefetch(NodeId n) const;
    void PrefetchAlong(const std::vector<NodeId>& seq, size_t i) const;
    uint32_t RankOf(NodeId n) const;
    int TextBlockOrder(uint32_t b) const;
    void SettleText(uint32_t b, int order);
    bool CellUsable(LinkId c) const;
    void TakeCell(LinkId c);
    // Storage and links, after the node pass
    void WalkSpareCells();
    void PairLinks();
    void CollectHalves();
    void PairHalves();
    void PairBucket(const HalfLink* outs, size_t n_outs, const HalfLink* ins, size_t n_ins);
    void RemoveCells(NodeId n, bool out_list, const std::unordered_set<LinkId>& drop);
    void GiveCell(LinkId c);
    void RecoverLostCells();
    void ReclaimStorage();
    bool FreeStorageSound() const;
    bool IsListed(uint32_t offset, int order) const;
    void RebuildFreeStorage();
    // Names and the tree
    void GiveLostNames();
    bool GiveLostName(NodeId n, uint32_t block, int order);
    void CollectNames();
    void PurgeIfDue();
    void SortTree();
    void InOrder(std::vector<NodeId>* seq) const;
    bool TreeSound(const std::vector<NodeId>& seq) const;
    const char* NameOf(NodeId n) { return db_.Text(db_.Name(n)); }
    // Progress
    void Show(uint32_t done, uint32_t total, int message, uint32_t count);
    uint32_t Step() const;

    NodeDb& db_;
    VRStatus& st_;
    uint32_t size_;
    OffsetMap nodes_;                  // records reached in the tree, by 64 bytes
    OffsetMap cells_;                  // link cells accounted for, by 8 bytes
    OffsetMap cell_blocks_;            // granules holding link cells
    std::vector<FreeListed> listed_;   // blocks accepted on the free lists, by offset
    bool in_order_;                    // the walk found every name in place and every height true
    LargeArray<NodeId> by_place_;      // the same nodes by offset: the node pass's order
    std::vector<uint32_t> rank_base_;  // nodes before each word of nodes_
    std::vector<HalfLink> outs_;       // out cells, node by node in by_place_ order
    std::vector<uint32_t> out_begin_;  // where each node's out cells start in outs_
    std::vector<InHalf> ins_;          // in cells, by the node they come from later
    std::vector<uint32_t> in_count_;   // in cells per node they come from
    std::unordered_set<LinkId> drop_;  // cells that are half a link
    LinkTally out_tally_, in_tally_;   // every link as its out cell and its in cell tell it
    bool collecting_;                  // halves are kept for pairing, not tallied
    std::vector<uint64_t> scratch_;
    std::vector<LostName> lost_;
    std::set<std::string> names_;  // every name in use, once lost names are given
    bool saw_deleted_;
    bool purged_;  // the purge rebuilt the tree since it was walked
};

// A block of this order could lie here: aligned, inside the file, clear of
// the headers and of every bitmap page (an aligned block that starts
// outside a bitmap page cannot reach into one).
bool Checker::BlockPlace(uint32_t b, int order) const {
    if (order < kMinOrder || order > kMaxOrder) return false;
    uint32_t bytes = 1u << order;
    return b >= kFirstBlock && (b & (bytes - 1)) == 0 && !Db::InBitmapPage(b) && (uint64_t)b + bytes <= size_;
}

// A reference that can start a record at all: a whole granule in the
// block area. Its first bytes (an order byte, a count) can then be read.
bool Checker::RecordPlace(uint32_t b) const {
    return b != 0 && b % kGranule == 0 && b >= kFirstBlock && !Db::InBitmapPage(b) && (uint64_t)b + kGranule <= size_;
}

// ---------------------------------------------------------------------------
// Steps 1-2: header and free lists

bool Checker::HeaderValid() const {
    const uint8_t* p = db_.Ptr(0);
    return Get16(p + kHeaderLayout) == kHeaderLayoutValue && Get32(p + kWsHeaderSize) <= kMaxWsHeaderSize &&
           p[kLowestOrder] == kMinOrder && p[kHighestOrder] == kMaxOrder && p[kChunkOrderField] == kChunkOrder;
}

// Every chunk's bitmap page, the free-list heads and the workspace header.
// The program's own workspace header always ends at the first block; a
// larger size in the file header reserves more, as the file says.
bool Checker::ReserveFixedAreas() {
    for (uint32_t chunk = 0; chunk < size_; chunk += kChunkSize) {
        if ((uint64_t)chunk + kBitmapSize > size_) return false;
        st_.used.SetRange(chunk, kBitmapSize);
    }
    uint32_t granules = (Get32(db_.Ptr(kWsHeaderSize)) + 91) / kGranule;
    uint32_t end = kFreeHeads + granules * kGranule;
    if (end < kFirstBlock) end = kFirstBlock;
    st_.used.SetRange(kFreeHeads, end - kFreeHeads);
    return true;
}

bool Checker::AcceptFree(uint32_t b, int order, uint32_t prev) const {
    if (!BlockPlace(b, order)) return false;
    if (st_.free_map.AnyInRange(b, 1u << order)) return false;
    const uint8_t* p = db_.Ptr(b);
    if (Get32(p + kFreePrev) != prev) return false;
    uint32_t next = Get32(p + kFreeNext);
    return next == 0 || (!Db::InBitmapPage(next) && next < size_);
}

// Walks each list from its head and stops at the first block that cannot
// be on it. Nothing is written here: a block that is also in use (a node
// record, a text) must not get list words stored into it, and whether it is
// in use is known only after the node pass. The lists are cut and the order
// words rewritten when the free storage is rebuilt (ReclaimStorage).
void Checker::WalkFreeLists() {
    for (int k = kMinOrder; k <= kMaxOrder; ++k) {
        uint32_t prev = 0;
        uint32_t b = db_.FreeHead(k);
        while (b != 0) {
            if (!AcceptFree(b, k, prev)) {
                st_.flags |= VRFreeListCut;
                break;
            }
            st_.free_map.SetRange(b, 1u << k);
            listed_.push_back(FreeListed{b, k});
            prev = b;
            b = Get32(db_.Ptr(b) + kFreeNext);
        }
    }
    std::sort(listed_.begin(), listed_.end(), ByOffset);
}

// ---------------------------------------------------------------------------
// Steps 3-4: the name tree

// A node record lies wholly in storage nobody else claimed; records are
// claimed as they are reached, so a node met twice (a cycle, a shared
// child) is refused the second time.
bool Checker::NodePlace(NodeId n) const {
    return BlockPlace(n, kNodeOrder) && Unclaimed(n, kNodeOrder);
}

// Cuts a child link to a node that cannot be the child there.
void Checker::CutChild(NodeId parent, bool left) {
    if (left)
        db_.Node(parent).set_left(0);
    else
        db_.Node(parent).set_right(0);
    st_.flags |= VRTreeCut;
}

void Checker::Reach(NodeId n) {
    Claim(n, kNodeOrder);
    nodes_.Set(n);
    db_.SetDisplayMark(n, st_.mark);
    ++st_.node_count;
    if (n == db_.Header(kSessionsRoot)) st_.flags |= VRSessionsRootKept;
}

// Whether a node's name lies between the names that bound its place (the
// nearest ancestors it hangs left and right of; 0 for none). A tree whose
// every node does is in strict URL order. Names are read as they stand:
// one the node pass finds unsound sends the tree to be sorted anyway.
bool Checker::InPlace(uint32_t name, uint32_t low, uint32_t high) {
    const char* text = db_.Text(name);
    return (low == 0 || strcmp(db_.Text(low), text) < 0) && (high == 0 || strcmp(text, db_.Text(high)) < 0);
}

// Breadth first, so that the records and names of the nodes queued can be
// asked for well before their turn: URL order is no order in the file, and
// a walk in it is one cache miss after another. A child is taken at its
// own turn, when its record has come: it must lie in storage nobody has
// claimed and name its parent as parent, else the link to it is cut. Each
// node is checked against the names that bound its place, and its parent's
// height against its children's when the last child is met; a tree that
// passes every test is in URL order with true heights and in balance.
void Checker::WalkTree() {
    NodeId root = db_.Root();
    if (root == 0) return;
    if (!NodePlace(root)) {
        db_.SetHeader(kTreeRoot, 0);
        st_.flags |= VRTreeCut;
        return;
    }
    if (db_.Node(root).parent() != 0) {
        db_.Node(root).set_parent(0);
        st_.fixes |= VRFixTree;
    }
    LargeArray<Queued> queue;
    queue.reserve(size_ / 256);  // room for a plain file's nodes, no copies
    queue.push_back(Queued{root, 0, 0, 0, 0, kRoot});
    int left_height = 0;  // the height + 1 of the last left child met whose parent has a right one too
    for (size_t i = 0; i < queue.size(); ++i) {
        if (i + 2 * kWalkAhead < queue.size() && queue[i + 2 * kWalkAhead].node < size_)
            PrefetchForRead(db_.Ptr(queue[i + 2 * kWalkAhead].node));
        if (i + kWalkAhead < queue.size()) {
            const Queued& ahead = queue[i + kWalkAhead];
            uint32_t refs[3] = {db_.Node(ahead.node).name(), ahead.low, ahead.high};
            for (uint32_t ref : refs)
                if (ref != 0 && ref < size_) PrefetchForRead(db_.Ptr(ref));
        }
        Queued q = queue[i];
        if (q.parent != 0 && (!NodePlace(q.node) || db_.Node(q.node).parent() != q.parent)) {
            CutChild(q.parent, q.role == kLeftOfTwo || q.role == kLeftAlone);
            in_order_ = false;
            continue;
        }
        Reach(q.node);
        NodeRec rec = db_.Node(q.node);
        if (in_order_ && !InPlace(rec.name(), q.low, q.high)) in_order_ = false;
        int height = rec.height() + 1;
        if (q.role == kLeftOfTwo) {
            left_height = height;
        } else if (q.role != kRoot) {
            int l = q.role == kRight ? 0 : q.role == kLeftAlone ? height : left_height;
            int r = q.role == kLeftAlone ? 0 : height;
            if (q.parent_height != (l > r ? l : r) || l > r + 1 || r > l + 1) in_order_ = false;
        }
        NodeId left = rec.left(), right = rec.right();
        if (left == 0 && right == 0 && rec.height() != 0) in_order_ = false;
        uint16_t h = rec.height();
        if (left != 0)
            queue.push_back(Queued{left, q.node, q.low, rec.name(), h, right != 0 ? kLeftOfTwo : kLeftAlone});
        if (right != 0) queue.push_back(Queued{right, q.node, rec.name(), q.high, h, left != 0 ? kRightOfTwo : kRight});
    }
}

void Checker::SettleSessionsRoot() {
    if (db_.Header(kSessionsRoot) == 0) st_.flags |= VRSessionsRootKept;
    // A root that is not in the tree is forgotten; it is made again on use.
    if (!(st_.flags & VRSessionsRootKept)) db_.SetHeader(kSessionsRoot, 0);
}

// ---------------------------------------------------------------------------
// Step 7: the node pass

// The order of a text block at b whose order byte names a block lying
// wholly in storage nobody else claimed; 0 when it does not.
int Checker::TextBlockOrder(uint32_t b) const {
    int k = db_.Ptr(b)[kTextOrder];
    return BlockPlace(b, k) && Unclaimed(b, k) ? k : 0;
}

// Ends the text with a 0 if it has none and claims the whole block. A 0
// before the end of a larger block than the text needs is no damage: a
// body stored from bytes may hold zeros, and what follows them is its own.
void Checker::SettleText(uint32_t b, int order) {
    uint8_t* p = db_.Ptr(b);
    uint32_t bytes = 1u << order;
    if (memchr(p + kTextChars, 0, bytes - kTextChars) == 0) {
        p[bytes - 1] = 0;
        st_.flags |= VRTextTerminated;
    }
    Claim(b, order);
}

// A name reference that cannot start a block is cleared (0x40). A name
// that is empty, or whose block is not a block, is lost: its block is kept
// for the new name when it is free to use (at the order it claims, or as
// 32 bytes when its order byte is no order), else a new one is taken. The
// names themselves are written after the node pass (GiveLostNames), when
// the allocator is sound and every other name is known.
void Checker::CheckName(NodeId n) {
    uint32_t b = db_.Node(n).name();
    if (!RecordPlace(b)) {
        db_.Node(n).set_name(0);
        st_.flags |= VRNameCleared;
        lost_.push_back(LostName{n, 0, 0});
        return;
    }
    int k = TextBlockOrder(b);
    if (k != 0 && db_.Ptr(b)[kTextChars] != 0) {
        SettleText(b, k);
        return;
    }
    if (k == 0 && BlockPlace(b, kMinOrder) && Unclaimed(b, kMinOrder)) k = kMinOrder;
    if (k != 0) Claim(b, k);
    db_.Node(n).set_name(0);
    lost_.push_back(LostName{n, k ? b : 0, k});
}

void Checker::CheckLabel(NodeId n) {
    uint32_t b = db_.Node(n).label();
    if (b == 0) return;
    int k = RecordPlace(b) ? TextBlockOrder(b) : 0;
    if (k != 0) {
        SettleText(b, k);
        return;
    }
    // Dropped without freeing: the storage is not known to be a block.
    // SetLabel with none then measures the URL again.
    db_.Node(n).set_label(0);
    db_.SetLabel(n, 0);
    st_.fixes |= VRFixTexts;
}

// Host end and directory end that do not belong to the label view's text
// (settled by now) are worked out again, as SetLabel does; wrong ones
// would resolve every relative link on the page against the wrong
// directory. A node whose name was lost gets them with its new name.
void Checker::CheckLabelView(NodeId n) {
    if (db_.Name(n) == 0 && db_.Label(n) == 0) return;
    if (db_.MeasureLabelView(n)) st_.fixes |= VRFixViews;
}

void Checker::CheckTitle(NodeId n) {
    uint32_t b = db_.Node(n).title();
    if (b != 0) {
        int k = RecordPlace(b) ? TextBlockOrder(b) : 0;
        if (k != 0) {
            SettleText(b, k);
            return;
        }
        db_.Node(n).set_title(0);
        st_.fixes |= VRFixTexts;
    }
    db_.SetFlags(n, Untitled);
}

// A body is read as the purge will free it: a counted block for kinds with
// bit 14, a text block for every other kind (annotations have bit 15; any
// node may be given text). A body that is not such a block is dropped.
void Checker::CheckBody(NodeId n) {
    NodeRec rec = db_.Node(n);
    uint32_t b = rec.body();
    if (b == 0) return;
    if (RecordPlace(b)) {
        if (rec.flags() & CountedBodyKind) {
            int k = CountedOrder(Get32(db_.Ptr(b) + kCountedLength));
            if (k != 0 && BlockPlace(b, k) && Unclaimed(b, k)) {
                Claim(b, k);
                return;
            }
        } else {
            int k = TextBlockOrder(b);
            if (k != 0) {
                SettleText(b, k);
                return;
            }
        }
    }
    rec.set_body(0);
    st_.fixes |= VRFixTexts;
}

// A cell lies in a granule inside the block area that is either a cell
// block already or claimed by nothing, and has not been met before (in this
// list or any other: a cycle or a shared cell ends the walk).
bool Checker::CellUsable(LinkId c) const {
    if (c == 0 || c % kCellSize != 0 || c < kFirstBlock || Db::InBitmapPage(c)) return false;
    uint32_t granule = c & ~(kGranule - 1);
    if ((uint64_t)granule + kGranule > size_) return false;
    if (cells_.Test(c)) return false;
    return cell_blocks_.Test(granule) || !st_.used.Test(granule);
}

void Checker::TakeCell(LinkId c) {
    uint32_t granule = c & ~(kGranule - 1);
    if (!cell_blocks_.Test(granule)) {
        cell_blocks_.Set(granule);
        st_.used.Set(granule);
    }
    cells_.Set(c);
}

// Cuts the list before its first unusable cell and makes the tail its last
// cell.
void Checker::CheckCells(NodeId n, bool out_list) {
    NodeRec rec = db_.Node(n);
    LinkId prev = 0;
    for (LinkId c = out_list ? rec.out_head() : rec.in_head(); c != 0; c = db_.Cell(c).next()) {
        if (!CellUsable(c)) {
            if (prev)
                db_.Cell(prev).set_next(0);
            else if (out_list)
                rec.set_out_head(0);
            else
                rec.set_in_head(0);
            st_.fixes |= VRFixLinks;
            break;
        }
        TakeCell(c);
        CollectHalf(n, out_list, db_.Cell(c), c);
        prev = c;
    }
    LinkId tail = out_list ? rec.out_tail() : rec.in_tail();
    if (tail != prev) {
        if (out_list)
            rec.set_out_tail(prev);
        else
            rec.set_in_tail(prev);
        st_.fixes |= VRFixLinks;
    }
}

uint32_t Checker::Step() const {
    uint32_t step = st_.node_count / 20;
    return step < 20 ? 20 : step;
}

// Nodes are visited by offset rather than in URL order: records, and the
// texts and cells made with them, lie roughly in the order they were made,
// so this pass reads the file nearly front to back.
void Checker::CheckNodes() {
    RankNodes();
    db_.StartInLinkMirror();
    db_.StartIndexing(by_place_.size());
    uint32_t step = Step();
    uint32_t done = 0;
    // A list is followed from its head, which Prefetch asked for earlier.
    static_assert(ListsAhead::kNodes < kLookAhead, "lists followed before their heads were asked for");
    ListsAhead lists;
    for (size_t i = 0; i < by_place_.size(); ++i) {
        NodeId n = by_place_[i];
        if (i + kLookAhead < by_place_.size()) Prefetch(by_place_[i + kLookAhead]);
        size_t ahead = i + ListsAhead::kNodes;
        if (ahead < by_place_.size()) {
            NodeRec rec = db_.Node(by_place_[ahead]);
            lists.Start(ahead, rec.in_head(), rec.out_head());
        }
        lists.Step(db_, size_);
        CheckName(n);
        if (db_.Node(n).name() != 0) db_.IndexNode(n);
        CheckLabel(n);
        CheckLabelView(n);
        CheckTitle(n);
        CheckBody(n);
        db_.MirrorNode(n, st_.mark, db_.TestFlags(n, Deleted) != 0);
        CheckCells(n, false);
        CheckCells(n, true);
        db_.ClearFlags(n, Busy);
        if (db_.TestFlags(n, Deleted)) saw_deleted_ = true;
        if (++done % step == 0) st_.Progress(done, st_.node_count, 0);
    }
    db_.EndIndexing();
}

// The in-list's cells were made when other pages linked here, so they lie
// anywhere in the file; asking for a list's first cells and texts a few
// nodes ahead lets their reads overlap. A reference outside the file is
// not followed (the pass proper cuts it).
void Checker::Prefetch(NodeId n) const {
    NodeRec rec = db_.Node(n);
    uint32_t refs[4] = {rec.in_head(), rec.out_head(), rec.name(), rec.title()};
    for (uint32_t ref : refs)
        if (ref != 0 && ref < size_) PrefetchForRead(db_.Ptr(ref));
}

void Checker::RankNodes() {
    by_place_.reserve(st_.node_count);
    rank_base_.resize(nodes_.words.size());
    uint32_t count = 0;
    for (size_t w = 0; w < nodes_.words.size(); ++w) {
        rank_base_[w] = count;
        uint32_t bits = nodes_.words[w];
        for (int bit = 0; bits != 0; ++bit, bits >>= 1)
            if (bits & 1) by_place_.push_back((NodeId)((w * 32 + bit) << nodes_.shift));
        count = (uint32_t)by_place_.size();
    }
}

// The index in by_place_ of a node reached in the tree.
uint32_t Checker::RankOf(NodeId n) const {
    uint32_t unit = n >> nodes_.shift;
    uint32_t below = nodes_.words[unit / 32] & ((1u << (unit % 32)) - 1);
    return rank_base_[unit / 32] + (uint32_t)CountBits(below);
}

// Every link is two cells: A's out cell holding B|k and B's in cell holding
// A|k. A cell whose other node is not in the tree is dropped at once; the
// rest are tallied, and paired node by node only when the tallies differ.
void Checker::CollectHalf(NodeId n, bool out_list, LinkCell cell, LinkId c) {
    NodeId other = cell.node();
    if (!nodes_.Test(other)) {
        drop_.insert(c);
        return;
    }
    if (!collecting_) {
        if (out_list) {
            out_tally_.Add(n, other | cell.kind());
        } else {
            in_tally_.Add(other, n | cell.kind());
            db_.MirrorInLink(n, other | cell.kind());
        }
        return;
    }
    if (out_list) {
        outs_.push_back(HalfLink{cell.node() | cell.kind(), c});
    } else {
        uint32_t from = RankOf(other);
        ++in_count_[from];
        ins_.push_back(InHalf{from, HalfLink{n | cell.kind(), c}});
    }
}

// ---------------------------------------------------------------------------
// Link cells

// The spare cells' blocks are in use too; the list is cut at its first
// cell that cannot be one.
void Checker::WalkSpareCells() {
    LinkId prev = 0;
    for (LinkId c = db_.Header(kFreeLinkCells); c != 0; c = db_.Cell(c).next()) {
        if (!CellUsable(c)) {
            if (prev)
                db_.Cell(prev).set_next(0);
            else
                db_.SetHeader(kFreeLinkCells, 0);
            st_.fixes |= VRFixCells;
            break;
        }
        TakeCell(c);
        prev = c;
    }
}

void Checker::GiveCell(LinkId c) {
    LinkCell cell = db_.Cell(c);
    cell.set_target(0, 0);
    cell.set_next(db_.Header(kFreeLinkCells));
    db_.SetHeader(kFreeLinkCells, c);
}

// A cell whose partner was lost with a cut list, or never was, is dropped;
// otherwise a later walk (or the purge, which unhooks a node's links from
// the other end) would meet half a link. The in cells are sorted by the node
// they come from (a counting sort, stable, so each keeps the order it was
// met in) and each node's out cells are paired with the in cells naming it.
void Checker::PairLinks() {
    if (!(out_tally_ == in_tally_)) {
        PairHalves();
        // The mirror was filled before the pairing: made again on first use.
        db_.DropNameIndex();
    }
    if (drop_.empty()) return;
    for (NodeId n : by_place_) {
        RemoveCells(n, true, drop_);
        RemoveCells(n, false, drop_);
    }
    st_.fixes |= VRFixLinks;
}

// The lists as the node pass left them, each cell not already dropped.
void Checker::CollectHalves() {
    collecting_ = true;
    out_begin_.reserve(by_place_.size() + 1);
    in_count_.assign(by_place_.size(), 0);
    for (NodeId n : by_place_) {
        out_begin_.push_back((uint32_t)outs_.size());
        for (int out = 1; out >= 0; --out) {
            NodeRec rec = db_.Node(n);
            for (LinkId c = out ? rec.out_head() : rec.in_head(); c != 0; c = db_.Cell(c).next())
                if (drop_.count(c) == 0) CollectHalf(n, out != 0, db_.Cell(c), c);
        }
    }
    out_begin_.push_back((uint32_t)outs_.size());
}

void Checker::PairHalves() {
    CollectHalves();
    std::vector<uint32_t> in_begin(in_count_.size() + 1, 0);
    for (size_t i = 0; i < in_count_.size(); ++i) in_begin[i + 1] = in_begin[i] + in_count_[i];
    std::vector<HalfLink> ins(ins_.size());
    std::vector<uint32_t> fill(in_begin.begin(), in_begin.end() - 1);
    for (const InHalf& h : ins_) ins[fill[h.from_rank]++] = h.half;
    std::vector<InHalf>().swap(ins_);
    for (size_t i = 0; i < by_place_.size(); ++i)
        PairBucket(outs_.data() + out_begin_[i], out_begin_[i + 1] - out_begin_[i], ins.data() + in_begin[i],
                   in_begin[i + 1] - in_begin[i]);
}

// Of each (to, kind), as many cells stay on either side as the other side
// has; the ones met last go. Keys are sorted with their positions, outs
// first, so equal keys come in the order they were met.
void Checker::PairBucket(const HalfLink* outs, size_t n_outs, const HalfLink* ins, size_t n_ins) {
    if (n_outs == n_ins) {
        // The usual case: both sides list the same links in the same order.
        size_t i = 0;
        while (i < n_outs && outs[i].key == ins[i].key) ++i;
        if (i == n_outs) return;
    }
    scratch_.clear();
    for (size_t i = 0; i < n_outs; ++i) scratch_.push_back((uint64_t)outs[i].key << 32 | (uint32_t)i);
    size_t split = scratch_.size();
    for (size_t j = 0; j < n_ins; ++j) scratch_.push_back((uint64_t)ins[j].key << 32 | (uint32_t)j);
    std::sort(scratch_.begin(), scratch_.begin() + split);
    std::sort(scratch_.begin() + split, scratch_.end());
    size_t i = 0, j = split;
    while (i < split && j < scratch_.size()) {
        uint32_t a = (uint32_t)(scratch_[i] >> 32), b = (uint32_t)(scratch_[j] >> 32);
        if (a == b) {
            ++i;
            ++j;
        } else if (a < b) {
            drop_.insert(outs[(uint32_t)scratch_[i++]].cell);
        } else {
            drop_.insert(ins[(uint32_t)scratch_[j++]].cell);
        }
    }
    for (; i < split; ++i) drop_.insert(outs[(uint32_t)scratch_[i]].cell);
    for (; j < scratch_.size(); ++j) drop_.insert(ins[(uint32_t)scratch_[j]].cell);
}

void Checker::RemoveCells(NodeId n, bool out_list, const std::unordered_set<LinkId>& drop) {
    NodeRec rec = db_.Node(n);
    LinkId prev = 0;
    LinkId c = out_list ? rec.out_head() : rec.in_head();
    while (c != 0) {
        LinkId next = db_.Cell(c).next();
        if (drop.count(c)) {
            if (prev)
                db_.Cell(prev).set_next(next);
            else if (out_list)
                rec.set_out_head(next);
            else
                rec.set_in_head(next);
            GiveCell(c);
        } else {
            prev = c;
        }
        c = next;
    }
    if (out_list)
        rec.set_out_tail(prev);
    else
        rec.set_in_tail(prev);
}

// Cells of a cell block that are in no list and not spare (their list was
// cut) go back on the spare list, so that every cell block is whole.
void Checker::RecoverLostCells() {
    for (size_t w = 0; w < cell_blocks_.words.size(); ++w) {
        uint32_t bits = cell_blocks_.words[w];
        for (int bit = 0; bits != 0; ++bit, bits >>= 1) {
            if (!(bits & 1)) continue;
            uint32_t granule = (uint32_t)((w * 32 + bit) << 5);
            for (uint32_t c = granule; c < granule + kGranule; c += kCellSize) {
                if (cells_.Test(c)) continue;
                cells_.Set(c);
                GiveCell(c);
                st_.fixes |= VRFixCells;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Reclaiming storage

bool Checker::IsListed(uint32_t offset, int order) const {
    FreeListed key = {offset, order};
    std::vector<FreeListed>::const_iterator it = std::lower_bound(listed_.begin(), listed_.end(), key, ByOffset);
    return it != listed_.end() && it->offset == offset && it->order == order;
}

// The free storage is sound when no list was cut, no listed block is in
// use, every listed block has its order word and no free buddy of its
// order, every whole granule is in use or listed, and the bitmap bits are
// exactly the listed blocks' starts.
bool Checker::FreeStorageSound() const {
    if (st_.flags & VRFreeListCut) return false;
    OffsetMap starts;
    starts.Reset(size_, 5);
    for (const FreeListed& f : listed_) {
        if (st_.used.AnyInRange(f.offset, 1u << f.order)) return false;
        if (Get32(db_.Ptr(f.offset) + kFreeOrder) != (uint32_t)f.order) return false;
        if (f.order < kMaxOrder && IsListed(f.offset ^ (1u << f.order), f.order)) return false;
        starts.Set(f.offset);
    }
    uint32_t granules = size_ / kGranule;
    for (uint32_t w = 0; w * 32 < granules; ++w) {
        uint32_t valid = granules - w * 32 >= 32 ? ~0u : (1u << (granules - w * 32)) - 1;
        if (~(st_.used.words[w] | st_.free_map.words[w]) & valid) return false;
    }
    for (uint32_t chunk = 0; chunk < size_; chunk += kChunkSize) {
        for (uint32_t w = chunk ? 0 : 4; w < kBitmapSize / 4; ++w) {
            uint32_t index = (chunk >> 10) + w;
            uint32_t want = index < starts.words.size() ? starts.words[index] : 0;
            if (Get32(db_.Ptr(chunk) + w * 4) != want) return false;
        }
    }
    return true;
}

// Gives every granule nobody uses back to the allocator, from scratch: the
// lists and bits are cleared and each run of unused granules is released in
// the largest aligned blocks, which merge with their free buddies. This
// takes storage in use off the lists, returns leaked storage, clears the
// bits of blocks dropped from a cut list and of stray bits, and leaves the
// same blocks as freeing every leaked granule alone would.
void Checker::RebuildFreeStorage() {
    for (int k = kMinOrder; k <= kMaxOrder; ++k) Put32(db_.Ptr(FreeHeadOffset(k)), 0);
    for (uint32_t chunk = 0; chunk < size_; chunk += kChunkSize) {
        uint32_t from = chunk ? 0 : kFileHeaderSize;
        memset(db_.Ptr(chunk) + from, 0, kBitmapSize - from);
    }
    uint32_t end = size_ & ~(kGranule - 1);
    uint32_t g = 0;
    while (g < end) {
        if (st_.used.Test(g)) {
            g += kGranule;
            continue;
        }
        uint32_t run = g;
        while (g < end && !st_.used.Test(g)) g += kGranule;
        db_.ReleaseRegion(run, g);
    }
    st_.fixes |= VRFixStorage;
}

void Checker::ReclaimStorage() {
    if (!FreeStorageSound()) RebuildFreeStorage();
}

// ---------------------------------------------------------------------------
// Lost names and the tree

void Checker::CollectNames() {
    for (NodeId n : by_place_)
        if (db_.Name(n) != 0) names_.insert(NameOf(n));
}

// Writes a lost name, unique in the workspace, into the given block when
// it is large enough (giving back what the text does not need), else into
// a new one. When no block can be had (the file cannot grow) the node is
// marked Deleted: it is skipped by every walk and goes with the next purge.
bool Checker::GiveLostName(NodeId n, uint32_t block, int order) {
    char text[64];
    do {
        snprintf(text, sizeof text, kLostNameFormat, (long)db_.NextStamp());
    } while (names_.count(text));
    uint32_t length = (uint32_t)strlen(text);
    int need = TextOrder(length);
    uint32_t name = block;
    if (block != 0 && order >= need) {
        for (int k = order - 1; k >= need; --k) db_.Free(block + (1u << k), k);
    } else {
        name = db_.AllocText(length);
        // A block kept for a name that was lost is no one's any more; a
        // name that only doubled another's stays with its node.
        if (block != 0 && (name != 0 || db_.Name(n) == 0)) db_.Free(block, order);
        if (name == 0) {
            db_.SetFlags(n, Deleted);
            saw_deleted_ = true;
            return false;
        }
    }
    uint8_t* p = db_.Ptr(name);
    p[kTextOrder] = (uint8_t)need;
    memcpy(p + kTextChars, text, length + 1);
    db_.Node(n).set_name(name);
    names_.insert(text);
    st_.flags |= VRNameReplaced;
    // Host and directory ends follow the URL when there is no label.
    if (db_.Label(n) == 0) db_.SetLabel(n, 0);
    return true;
}

void Checker::GiveLostNames() {
    if (lost_.empty()) return;
    CollectNames();
    for (const LostName& lost : lost_) GiveLostName(lost.node, lost.block, lost.order);
}

// Step 8. No purge runs in a start that gave lost names: deleted nodes then
// wait for the next start's check, and a tree with cut children is not
// rebalanced here; SortTree still makes it searchable.
void Checker::PurgeIfDue() {
    if (st_.flags & VRNameReplaced) return;
    if (saw_deleted_ || (st_.flags & VRTreeCut)) {
        db_.Purge();
        purged_ = true;
    }
}

// The tree is sound in shape by now (children checked, or built by the
// purge); the bound on the walk is only a guard.
void Checker::InOrder(std::vector<NodeId>* seq) const {
    std::vector<NodeId> stack;
    NodeId x = db_.Root();
    size_t limit = st_.node_count;
    for (;;) {
        while (x && stack.size() <= limit) {
            stack.push_back(x);
            x = db_.Node(x).left();
        }
        if (stack.empty() || seq->size() > limit) return;
        x = stack.back();
        stack.pop_back();
        seq->push_back(x);
        x = db_.Node(x).right();
    }
}

// URL order is no order in the file: the records, names and children met
// along it are asked for ahead of their turn, a record two steps before
// what it names.
void Checker::PrefetchAlong(const std::vector<NodeId>& seq, size_t i) const {
    if (i + 2 * kLookAhead < seq.size()) PrefetchForRead(db_.Ptr(seq[i + 2 * kLookAhead]));
    if (i + kLookAhead < seq.size()) {
        NodeRec ahead = db_.Node(seq[i + kLookAhead]);
        uint32_t refs[3] = {ahead.name(), ahead.left(), ahead.right()};
        for (uint32_t ref : refs)
            if (ref != 0 && ref < size_) PrefetchForRead(db_.Ptr(ref));
    }
}

// One walk along URL order: each name follows the one before, each stored
// height agrees with the children's and the node is in balance; by
// induction from the leaves every stored height is then true.
bool Checker::TreeSound(const std::vector<NodeId>& seq) const {
    NodeDb& db = db_;
    if (!seq.empty() && db.Node(db.Root()).parent() != 0) return false;
    for (size_t i = 0; i < seq.size(); ++i) {
        PrefetchAlong(seq, i);
        NodeId n = seq[i];
        if (i > 0 && strcmp(db.Text(db.Name(seq[i - 1])), db.Text(db.Name(n))) >= 0) return false;
        NodeRec rec = db.Node(n);
        if ((rec.left() && db.Node(rec.left()).parent() != n) || (rec.right() && db.Node(rec.right()).parent() != n))
            return false;
        int l = rec.left() ? db.Node(rec.left()).height() + 1 : 0;
        int r = rec.right() ? db.Node(rec.right()).height() + 1 : 0;
        if (rec.height() != (l > r ? l : r) || l > r + 1 || r > l + 1) return false;
    }
    return true;
}

// Keys changed by lost names, or texts damaged in place, can leave the
// tree out of URL order; FindNode would then miss nodes and make doubles
// of them. Heights left wrong by a cut that no purge rebuilt would mislead
// the rebalancing of later insertions into rotating a missing child, which
// writes through node 0 into the file header. Either way the tree is built
// again, sorted, and balanced; a node whose URL equals an earlier one's (a
// live one is kept first) gets a lost name. This is no purge: nothing is
// destroyed and undo records stay valid.
void Checker::SortTree() {
    // The walk vouched for the tree as it found it. Names given or ended
    // since, or a purge that built the tree again, call for a look of its
    // own, in URL order.
    bool names_changed = !lost_.empty() || (st_.flags & VRTextTerminated);
    if (in_order_ && !names_changed && !purged_) {
        if (!db_.NamesIndexed()) db_.IndexNames(by_place_.data(), by_place_.size());
        return;
    }
    std::vector<NodeId> seq;
    InOrder(&seq);
    if (TreeSound(seq)) {
        // The node pass filed every name it found sound; a lost name given
        // since, a purge or a repair of the lists leaves that incomplete.
        if (!lost_.empty() || !db_.NamesIndexed()) db_.IndexNames(seq.data(), seq.size());
        return;
    }
    NodeDb& db = db_;
    auto by_name = [&db](NodeId a, NodeId b) {
        int c = strcmp(db.Text(db.Name(a)), db.Text(db.Name(b)));
        if (c != 0) return c < 0;
        return !db.TestFlags(a, Deleted) && db.TestFlags(b, Deleted);
    };
    std::stable_sort(seq.begin(), seq.end(), by_name);
    bool renamed = false;
    std::string kept;
    for (size_t i = 0; i < seq.size(); ++i) {
        std::string name = NameOf(seq[i]);
        if (i == 0 || name != kept) {
            kept = name;
            continue;
        }
        if (names_.empty()) CollectNames();
        uint32_t block = db_.Name(seq[i]);
        renamed |= GiveLostName(seq[i], block, block ? db_.Ptr(block)[kTextOrder] : 0);
    }
    if (renamed) std::stable_sort(seq.begin(), seq.end(), by_name);
    db_.SetHeader(kTreeRoot, seq.empty() ? 0 : db_.BuildBalanced(&seq[0], seq.size(), 0));
    st_.fixes |= VRFixTree;
    db_.IndexNames(seq.data(), seq.size());
}

// ---------------------------------------------------------------------------
// Progress and the whole run

void Checker::Show(uint32_t done, uint32_t total, int message, uint32_t count) {
    char text[256];
    snprintf(text, sizeof text, AppString(message), (int)count);
    st_.Progress(done, total, text);
}

int Checker::Run() {
    st_.Progress(0, 1, AppString(IDS_CHECK_START));
    int32_t size = db_.IsOpen() ? db_.size() : 0;
    if (size < (int32_t)kFirstBlock || !HeaderValid()) {
        st_.flags |= VRHeaderInvalid;
        return 0;
    }
    size_ = (uint32_t)size;
    st_.used.Reset(size_, 5);
    st_.free_map.Reset(size_, 5);
    nodes_.Reset(size_, 6);
    cells_.Reset(size_, 3);
    cell_blocks_.Reset(size_, 5);
    if (!ReserveFixedAreas()) return 0;
    if (db_.TakeListsCutAtOpen()) st_.flags |= VRFreeListCut;
    WalkFreeLists();
    WalkTree();
    SettleSessionsRoot();

    if (st_.node_count == 0) {
        WalkSpareCells();
        RecoverLostCells();
        ReclaimStorage();
        st_.Progress(0, 1, AppString(IDS_CHECK_EMPTY));
        return 1;
    }
    Show(0, st_.node_count, IDS_CHECK_PAGES, st_.node_count);
    CheckNodes();
    WalkSpareCells();
    PairLinks();
    RecoverLostCells();
    ReclaimStorage();
    // Nothing is allocated before this point: until the storage in use was
    // known, a free list could have handed out a block that is in use.
    GiveLostNames();
    PurgeIfDue();
    SortTree();

    if (st_.flags & VRNameCleared) {
        Show(0, st_.node_count, IDS_CHECK_REPAIR, st_.node_count);
        uint32_t step = Step();
        for (uint32_t done = 1; done <= st_.node_count; ++done)
            if (done % step == 0) st_.Progress(done, st_.node_count, 0);
    }
    st_.Progress(1, 1, 0);
    return 1;
}

}  // namespace

int CheckWorkspaceFile(NodeDb& db, VRStatus& status) {
    // The check renames and re-sorts nodes in place; it leaves the name
    // index and the in-link mirror made afresh from the file as it leaves it.
    db.DropNameIndex();
    // Every node record gets its display mark, so nearly every page is
    // written.
    db.PrepareToWriteAll();
    Checker checker(db, status);
    return checker.Run();
}
