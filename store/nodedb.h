// NodeDb: the workspace over the mapped file. Nodes sit in an AVL tree
// ordered by URL; links are pairs of cells, one in the source's out-list and
// one in the target's in-list.
#ifndef SKEIND_STORE_NODEDB_H
#define SKEIND_STORE_NODEDB_H

#include <string.h>

#include <string>
#include <vector>

#include "store/bits.h"
#include "store/db.h"
#include "store/in_link_mirror.h"
#include "store/name_index.h"
#include "store/out_link_sets.h"
#include "store/visited_list.h"
#include "store/workspace.h"

class NodeDb final : public AWorkspace, public Db, public Visited_list {
public:
    NodeDb() {}
    // Display marks kept in memory go back into the file before it closes.
    ~NodeDb() { DropInLinkMirror(); }

    // The file operations of Db; each starts the name index afresh and a
    // new generation of nodes.
    bool Open(const char* name);
    bool Create(const char* name);
    bool CreateWith(const char* name, const char magic[4], uint8_t minor, uint8_t major, uint32_t header_size,
                    uint32_t room);
    void Close();
    // For code that renames or destroys nodes behind the operations' backs
    // (the check): the index is built again on the next lookup, and a new
    // generation of nodes begins.
    void DropNameIndex() {
        index_.Drop();
        out_sets_.DropAll();
        DropInLinkMirror();
        NodesDestroyed();
    }

    // Open or create the file (Db), then build the visited-sites list.
    bool OpenWorkspace(const char* name);
    bool CreateWorkspace(const char* name);
    // Rebuilds Visited_list from the group nodes; makes the visited-sites
    // root when the workspace is new.
    void BuildVisitedList();
    // Memory held beside the file: the name index and the out-link sets.
    size_t IndexBytes() const { return index_.Bytes() + out_sets_.Bytes() + in_mirror_.Bytes(); }

    const char* Text(uint32_t block) override;
    int AddVisited(const char* chars, size_t length) override;
    uint32_t NextStamp() override;
    NodeId FindNode(const char* url, bool create) override;
    void FindNodes(const char* const* urls, size_t n, NodeId* out) override;
    // From how many pages FindNodes walks a batch's URLs side by side; the
    // tests lower it.
    static const size_t kSideBySideFrom;
    void SetSideBySideFrom(size_t pages) { side_by_side_from_ = pages; }
    NodeId SessionsRoot() override;
    NodeId NewAnnotation() override;
    NodeId Touch(NodeId node) override;
    uint32_t Stamp(NodeId node) override;
    NodeFlags TestFlags(NodeId node, NodeFlags mask) override;
    NodeId SetFlagsMasked(NodeId node, NodeFlags value, NodeFlags mask) override;
    NodeId SetFlags(NodeId node, NodeFlags bits) override;
    NodeId ClearFlags(NodeId node, NodeFlags bits) override;
    NodeFlags ToggleFlags(NodeId node, NodeFlags bits) override;
    NodeFlags Kind(NodeId node) override;
    int SetKind(NodeId node, NodeFlags kind) override;
    uint32_t Name(NodeId node) override;
    uint32_t Title(NodeId node) override;
    int SetTitleFromControl(NodeId node, const ATextSource& control) override;
    uint32_t SetTitle(NodeId node, const char* text) override;
    uint32_t Label(NodeId node) override;
    LabelView GetLabelView(NodeId node) override;
    uint32_t SetLabel(NodeId node, const char* text) override;
    uint32_t ContentType(NodeId node) override;
    NodeId SetContentType(NodeId node, uint32_t type) override;
    uint32_t DisplayMark(NodeId node) override;
    void SetDisplayMark(NodeId node, uint32_t mark) override;
    LinkId FirstOut(NodeId node) override;
    LinkId FirstIn(NodeId node) override;
    Undo_delete* Delete(NodeId node, bool with_self, Undo_delete* undo) override;
    uint32_t Body(NodeId node) override;
    int SetBodyFromControl(NodeId node, const ATextSource& control) override;
    int SetBodyBytes(NodeId node, const void* bytes, uint32_t n) override;
    uint32_t BodyLength(NodeId node) override;
    int SetBodyLength(NodeId node, uint32_t n) override;
    uint8_t* BodyData(NodeId node) override;
    NodeId FirstNode() override;
    NodeId NextNode(NodeId node) override;
    void FlaggedNodes(NodeFlags flags, std::vector<NodeId>* out) override;
    LinkId AddLink(NodeId from, NodeId to, LinkKind kind) override;
    LinkId FindLiveOutLink(NodeId from, NodeId to, LinkKind kind) override;
    void LiveInLinks(NodeId node, std::vector<uint32_t>* out) override;
    void ClearDisplayMarks() override;
    int RemoveLinks(NodeId from, NodeId to, unsigned mask) override;
    LinkId NextLink(LinkId link) override;
    NodeId LinkNode(LinkId link) override;
    LinkKind LinkKindOf(LinkId link) override;

    // Destroys every Deleted node with its links and texts and rebuilds the
    // name tree perfectly balanced. Voids older undo records and begins a
    // new generation of nodes. Gives the number of live nodes.
    uint32_t Purge();

    // Raw access for the check, the tests and the purge.
    // A record or cell that a damaged file names but cannot hold (0, or
    // reaching past the end; the start-up check has not run yet) reads as
    // zeros, and what is written to it goes nowhere.
    NodeRec Node(NodeId node) const { return NodeRec(Fits(node, layout::kNodeSize) ? Ptr(node) : Blank()); }
    LinkCell Cell(LinkId link) const { return LinkCell(Fits(link, layout::kCellSize) ? Ptr(link) : Blank()); }
    // Offset 0 wraps round to fail too. (A closed file has size 0: nothing
    // of it was ever to be read.)
    bool Fits(uint32_t offset, uint32_t bytes) const { return offset - 1u < (uint32_t)size() - bytes; }
    uint32_t Header(uint32_t field) const { return Get32(Ptr(field)); }
    void SetHeader(uint32_t field, uint32_t v) { Put32(Ptr(field), v); }
    NodeId Root() const { return Header(layout::kTreeRoot); }
    // Works host end and directory end out from the label view's text (the
    // label, or the URL when there is none) and stores them; true when the
    // stored ones differed. SetLabel and the check both measure with it.
    bool MeasureLabelView(NodeId node);
    // The first node in URL order and its successor, Deleted ones included.
    NodeId FirstInTree() const;
    NodeId NextInTree(NodeId node) const;
    // The check reads every node and every in-list once: it fills the
    // in-link mirror as it goes and the name index from the tree it leaves,
    // so that the first search and lookup after start-up need not walk the
    // tree again. A repair of the lists drops the mirror (DropNameIndex).
    void StartInLinkMirror() {
        DropInLinkMirror();
        in_mirror_.Start((uint32_t)size());
    }
    void MirrorNode(NodeId node, uint32_t mark, bool deleted) { in_mirror_.AddNode(node, mark, deleted); }
    void MirrorInLink(NodeId node, uint32_t source_kind) { in_mirror_.Append(node, source_kind); }
    // The name index filled by a pass that reads every name anyway:
    // StartIndexing, IndexNode for each node whose name is sound, then
    // EndIndexing. IndexNames fills it from nodes in URL order.
    void StartIndexing(size_t expected);
    void IndexNode(NodeId node);
    void EndIndexing();
    bool NamesIndexed() const { return index_.built(); }
    void IndexNames(const NodeId* in_url_order, size_t n);
    // Hangs nodes[0..count) (in URL order) from `parent` as a perfectly
    // balanced tree with true heights; gives its top. The purge and the
    // check rebuild the name tree with it.
    NodeId BuildBalanced(const NodeId* nodes, size_t count, NodeId parent);

private:
    bool IsDeleted(NodeId node) const { return (Node(node).flags() & Deleted) != 0; }
    // A hint only: never faults, so a damaged reference costs nothing.
    void PrefetchNode(NodeId node) const { PrefetchForRead(Ptr(node)); }
    int Compare(const char* url, size_t length, NodeId node) const;
    NodeId LeftMost(NodeId x) const;
    NodeId MakeNode(const char* url, NodeId parent);
    NodeId FindOrMakeBelow(NodeId x, const char* url, size_t length, uint32_t hash);
    NodeId InsertBelow(NodeId parent, int side, const char* url, uint32_t hash);
    struct Descent;
    bool StepDown(Descent* d) const;
    void WalkSideBySide(Descent* d, size_t n) const;
    NodeId PlaceInReach(const Descent& d) const;
    NodeId FindFrom(const Descent& d);
    void Rebalance(NodeId from);
    NodeId RotateLeft(NodeId x);
    NodeId RotateRight(NodeId x);
    void ReplaceChild(NodeId parent, NodeId old_child, NodeId new_child);
    void FixHeight(NodeId node);
    int HeightOf(NodeId node) const;  // stored height + 1, 0 for none

    // The cells a purge gives back, a bit each by offset, so that they go
    // onto the spare list in the order they lie in the file.
    struct SpareCells {
        std::vector<uint64_t> bits;
        // What a damaged list names outside the file, or off a cell's
        // place, is not kept.
        void Add(LinkId c) {
            size_t w = c / layout::kCellSize / 64;
            if (c % layout::kCellSize == 0 && w < bits.size()) bits[w] |= 1ull << (c / layout::kCellSize % 64);
        }
    };

    // The blocks a purge frees, given back together from the end of the
    // file down, so that each free list runs in the order of the file.
    struct FreedBlocks {
        std::vector<uint64_t> blocks;  // offset << 8 | order
        void Add(uint32_t offset, int order) {
            if (offset != 0 && order != 0) blocks.push_back((uint64_t)offset << 8 | (uint8_t)order);
        }
    };

    LinkId TakeCell();
    void GiveCell(LinkId cell);
    void AppendCell(NodeId node, bool out_list, LinkId cell);
    int RemoveCells(NodeId node, bool out_list, NodeId other, unsigned mask, SpareCells* given);
    bool NamesDeleted(LinkId cell) const;
    LinkId SkipDeleted(LinkId cell) const;
    LinkId FindOutCell(NodeId from, uint32_t target_kind);

    int TextOrderOf(uint32_t block) const;
    int CountedOrderOf(uint32_t body) const;
    void FreeText(uint32_t block);
    void FreeTextBody(NodeId node);
    void FreeCountedBody(NodeId node);
    uint32_t StoreText(const char* text, size_t length);
    bool InMapping(const void* p) const;

    void DestroyNode(NodeId node, SpareCells* spare, FreedBlocks* freed);
    void UnhookDoomed(const std::vector<NodeId>& doomed, SpareCells* spare);
    void GiveSpareCells(const SpareCells& spare);
    void FreeInOrder(FreedBlocks* freed);
    void BuildNameIndex();
    NodeId IndexedNode(const char* url, size_t length, uint32_t hash);

    void BuildInLinkMirror();
    // Writes the mirror's display marks back into the records, then drops it.
    void DropInLinkMirror();
    void NoteFlags(NodeId node, NodeFlags flags) {
        if (in_mirror_.built()) in_mirror_.SetDeleted(node, (flags & Deleted) != 0);
    }

    uint8_t* Blank() const;
    // Steps that walk a list or the tree of a damaged file stop after as
    // many as the file could hold, so that a cycle cannot hold them for ever.
    uint32_t MostCells() const { return (uint32_t)size() / layout::kCellSize; }
    uint32_t MostNodes() const { return (uint32_t)size() / layout::kNodeSize; }
    // Deeper than any balanced tree a file of 2 GiB can hold.
    static const int kMostDepth = 64;

    mutable uint8_t blank_[layout::kNodeSize];
    NameIndex index_;
    static const size_t kPendingNames = 8;
    uint64_t pending_[kPendingNames];  // hashed, not yet filed: hash << 32 | node
    size_t pending_count_ = 0;
    size_t side_by_side_from_ = kSideBySideFrom;
    OutLinkSets out_sets_;
    InLinkMirror in_mirror_;
};

#endif
