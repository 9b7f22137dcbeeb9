// Finding or making the pages of several URLs at once. In a large workspace
// a new URL's walk down the name tree is a chain of misses, a record and a
// name a level, each waiting on the one before. Walking a few URLs side by
// side lets their misses overlap. The URLs are then found or made one after
// another as FindNode would, each going on from where its walk ended, or
// from a node a little above when earlier URLs of the batch went in there,
// so that the file ends up exactly as FindNode would leave it.
#include "store/nodedb.h"

using namespace layout;

namespace {
// Enough walks to cover a miss with the others' work; few enough that
// their paths stay in the caches until the URLs are made.
const size_t kSideBySide = 16;
}  // namespace

// Below this many pages the tree's records and names (some 128 bytes a
// page) fit the caches of most machines, and a batch's URLs, often
// neighbours, are quicker made one walk after another.
const size_t NodeDb::kSideBySideFrom = 1u << 17;

// One URL's walk down the tree.
struct NodeDb::Descent {
    const char* url;
    size_t length;
    uint32_t hash;
    NodeId at;  // the last node reached; 0 when there was no walk
    int side;   // the URL against at's name: below, at or above 0
    int depth;
    bool name_asked;  // at's name has been asked for, its record is read
};

// One step of a walk: ask for the name of the node reached, or compare
// with it and go down. False when the walk has ended.
bool NodeDb::StepDown(Descent* d) const {
    NodeRec rec = Node(d->at);
    if (!d->name_asked) {
        uint32_t name = rec.name();
        if (Fits(name, kTextChars + 1)) PrefetchForRead(Ptr(name));
        d->name_asked = true;
        return true;
    }
    d->side = Compare(d->url, d->length, d->at);
    NodeId child = d->side < 0 ? rec.left() : rec.right();
    if (d->side == 0 || !Fits(child, kNodeSize) || ++d->depth == kMostDepth) return false;
    d->at = child;
    d->name_asked = false;
    PrefetchNode(child);
    // The rebalancing after an insertion reads the heights of the path's
    // siblings.
    NodeId sibling = d->side < 0 ? rec.right() : rec.left();
    if (Fits(sibling, kNodeSize)) PrefetchNode(sibling);
    return true;
}

// Only reads: the walks' ends are hints, checked before they are used.
void NodeDb::WalkSideBySide(Descent* d, size_t n) const {
    size_t going[kSideBySide];
    size_t live = 0;
    NodeId root = Root();
    for (size_t i = 0; i < n; ++i) {
        if (d[i].url == 0) continue;
        index_.Prefetch(d[i].hash);
        if (!Fits(root, kNodeSize)) continue;
        d[i].at = root;
        going[live++] = i;
    }
    if (live != 0) PrefetchNode(root);
    while (live != 0) {
        for (size_t k = 0; k < live;) {
            if (StepDown(&d[going[k]]))
                ++k;
            else
                going[k] = going[--live];
        }
    }
}

// Where to go on from where a walk ended, after earlier URLs of the batch
// may have been put in below that node and rotations moved it: the lowest
// node on its way up whose subtree's range of names still holds the URL.
// Going up from a left child, the parent bounds the range from above; from
// a right child, from below. The walk ended on the URL's side of its last
// node, so only bounds on that side need comparing. 0 when the tree's links
// disagree, and only a walk from the root can be trusted.
NodeId NodeDb::PlaceInReach(const Descent& d) const {
    bool below = d.side < 0;  // the URL sorts before the node the walk ended at
    NodeId x = d.at;
    for (int depth = 0; depth < kMostDepth; ++depth) {
        NodeId p = Node(x).parent();
        if (p == 0) return x == Root() ? x : 0;
        if (!Fits(p, kNodeSize)) return 0;
        NodeRec up = Node(p);
        bool from_left = up.left() == x;
        if (!from_left && up.right() != x) return 0;
        if (from_left != below) {
            // p bounds x's range on the URL's side.
            int c = Compare(d.url, d.length, p);
            if (below ? c > 0 : c < 0) return x;
        }
        x = p;
    }
    return 0;
}

NodeId NodeDb::FindFrom(const Descent& d) {
    if (d.url == 0) return 0;
    NodeId known = IndexedNode(d.url, d.length, d.hash);
    if (known != 0) {
        ClearFlags(known, Deleted);
        return known;
    }
    NodeId from = d.at != 0 && d.side != 0 ? PlaceInReach(d) : 0;
    if (from == 0) return FindNode(d.url, true);
    if (from != d.at) return FindOrMakeBelow(from, d.url, d.length, d.hash);
    // The URL's side of the walk's last node is known.
    NodeId child = d.side < 0 ? Node(d.at).left() : Node(d.at).right();
    return child == 0 ? InsertBelow(d.at, d.side, d.url, d.hash) : FindOrMakeBelow(child, d.url, d.length, d.hash);
}

void NodeDb::FindNodes(const char* const* urls, size_t n, NodeId* out) {
    if (!IsOpen()) {
        for (size_t i = 0; i < n; ++i) out[i] = 0;
        return;
    }
    // URLs inside the mapping would move with it when the file grows.
    std::vector<std::string> copies;
    std::vector<const char*> stable;
    for (size_t i = 0; i < n; ++i) {
        if (!InMapping(urls[i])) continue;
        if (stable.empty()) {
            stable.assign(urls, urls + n);
            copies.resize(n);
        }
        copies[i] = urls[i];
        stable[i] = copies[i].c_str();
    }
    if (!stable.empty()) urls = stable.data();
    if (!index_.built()) BuildNameIndex();
    Descent d[kSideBySide];
    for (size_t first = 0; first < n; first += kSideBySide) {
        size_t m = n - first < kSideBySide ? n - first : kSideBySide;
        if (index_.count() < side_by_side_from_) {
            for (size_t i = 0; i < m; ++i) out[first + i] = FindNode(urls[first + i], true);
            continue;
        }
        for (size_t i = 0; i < m; ++i) {
            const char* url = urls[first + i];
            bool none = url == 0 || url[0] == 0;
            d[i].url = none ? 0 : url;
            d[i].length = none ? 0 : strlen(url);
            d[i].hash = none ? 0 : NameIndex::Hash(url);
            d[i].at = 0;
            d[i].side = 0;
            d[i].depth = 0;
            d[i].name_asked = false;
        }
        WalkSideBySide(d, m);
        for (size_t i = 0; i < m; ++i) out[first + i] = FindFrom(d[i]);
    }
}
