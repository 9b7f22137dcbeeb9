// Finding or making the pages of several URLs at once. In a large workspace
// a new URL's walk down the name tree is a chain of misses, a record and a
// name a level, each waiting on the one before. Walking a few URLs side by
// side lets their misses overlap. The URLs are then found or made one after
// another as FindNode would, each starting from where its walk ended unless
// an earlier one of the batch has come in between, so that the file ends up
// exactly as FindNode would leave it.
#include "store/nodedb.h"

using namespace layout;

namespace {
// Enough walks to cover a miss with the others' work; few enough that
// their paths stay in the caches until the URLs are made.
const size_t kSideBySide = 16;
}  // namespace

// One URL's walk down the tree.
struct NodeDb::Descent {
    const char* url;
    size_t length;
    uint32_t hash;
    NodeId at;         // the last node reached; 0 when there was no walk
    int side;          // the URL against at's name: below, at or above 0
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

// Where a walk ended, at a node whose child slot on the URL's side was
// empty, is still the URL's place if that slot is still empty and the URL
// still sorts before the next name beyond it in URL order. That name is an
// ancestor's: the first one reached from the other side when climbing.
bool NodeDb::StillBelongsBelow(const Descent& d) const {
    bool left = d.side < 0;
    NodeRec at = Node(d.at);
    if ((left ? at.left() : at.right()) != 0) return false;
    NodeId x = d.at;
    for (int depth = 0; depth < kMostDepth; ++depth) {
        NodeId p = Node(x).parent();
        if (p == 0) return x == Root();
        if (!Fits(p, kNodeSize)) return false;
        NodeRec up = Node(p);
        if ((left ? up.right() : up.left()) == x) {
            int c = Compare(d.url, d.length, p);
            return left ? c > 0 : c < 0;
        }
        // A parent that does not have x on this side: the tree's links
        // disagree, and only a walk from the root can be trusted.
        if ((left ? up.left() : up.right()) != x) return false;
        x = p;
    }
    return false;
}

NodeId NodeDb::FindFrom(const Descent& d) {
    if (d.url == 0) return 0;
    NodeId known = IndexedNode(d.url, d.length, d.hash);
    if (known != 0) {
        ClearFlags(known, Deleted);
        return known;
    }
    if (d.at != 0 && d.side != 0 && StillBelongsBelow(d)) return InsertBelow(d.at, d.side, d.url, d.hash);
    return FindNode(d.url, true);
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
