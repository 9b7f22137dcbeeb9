#include "store/nodedb.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "observe/content_type.h"
#include "observe/url.h"
#include "res/resource.h"
#include "res/strings.h"
#include "store/node_ref.h"

using namespace layout;

const char kVisitedRootUrl[] = "x-skeind-1:/h/";
const char kSessionsRootUrl[] = "x-skeind-1:/s/";
const char kAnnotationUrlFormat[] = "x-skeind-1:/a/%ld";

namespace {

// Offsets are kept in 16 bits beside each URL, so longer texts are refused.
const size_t kMaxNameLength = 0xFFFF;

uint16_t Max16(int a, int b) {
    return (uint16_t)(a > b ? a : b);
}

}  // namespace

static uint32_t g_workspace_serial = 0;

AWorkspace::AWorkspace() : serial_(g_workspace_serial++), generation_(0) {}

std::ostream& AWorkspace::Print(std::ostream& out) {
    return out << "<workspace " << serial_ << ">";
}

// ---------------------------------------------------------------------------
// Opening

bool NodeDb::Open(const char* name) {
    DropNameIndex();
    return Db::Open(name);
}

bool NodeDb::Create(const char* name) {
    DropNameIndex();
    return Db::Create(name);
}

bool NodeDb::CreateWith(const char* name, const char magic[4], uint8_t minor, uint8_t major, uint32_t header_size,
                        uint32_t room) {
    DropNameIndex();
    return Db::CreateWith(name, magic, minor, major, header_size, room);
}

void NodeDb::Close() {
    DropNameIndex();
    Db::Close();
}

bool NodeDb::OpenWorkspace(const char* name) {
    if (!Open(name)) return false;
    BuildVisitedList();
    return true;
}

bool NodeDb::CreateWorkspace(const char* name) {
    if (!Create(name)) return false;
    BuildVisitedList();
    return true;
}

void NodeDb::BuildVisitedList() {
    FreeAll();
    NodeId root = FindNode(kVisitedRootUrl, true);
    if (root == 0) return;
    if (FirstOut(root) == 0) {
        SetKind(root, GroupNode);
        SetFlags(root, Pinned | PinFixed);
        NodeRef(*this, root).SetTitleText(AppString(IDS_VISITED_SITES_TITLE), false);
    }
    uint32_t steps = MostCells();
    for (LinkId g = FirstOut(root); g != 0 && steps != 0; g = NextLink(g), --steps) {
        if (!(LinkKindOf(g) & LinkAnchor)) continue;
        NodeId group = LinkNode(g);
        for (LinkId s = FirstOut(group); s != 0 && steps != 0; s = NextLink(s), --steps) {
            if (!(LinkKindOf(s) & LinkAnchor)) continue;
            const char* site = Text(Name(LinkNode(s)));
            char* copy = strdup(site);
            if (copy) InsertSorted(copy);
        }
    }
}

// ---------------------------------------------------------------------------
// Texts

bool NodeDb::InMapping(const void* p) const {
    const uint8_t* b = (const uint8_t*)p;
    return IsOpen() && b >= Ptr(0) && b < Ptr(0) + size();
}

// A text that would run past the end of the file (a damaged one, before
// the check) reads as empty.
const char* NodeDb::Text(uint32_t block) {
    if (!Fits(block, kTextChars + 1)) return "";
    const char* text = (const char*)Ptr(block) + kTextChars;
    return memchr(text, 0, (uint32_t)size() - block - kTextChars) ? text : "";
}

// The order a text block or a counted body says it has; 0 (which Free
// refuses) for a reference outside the file.
int NodeDb::TextOrderOf(uint32_t block) const {
    return Fits(block, kTextChars) ? Ptr(block)[kTextOrder] : 0;
}

int NodeDb::CountedOrderOf(uint32_t body) const {
    return Fits(body, kCountedData) ? CountedOrder(Get32(Ptr(body) + kCountedLength)) : 0;
}

void NodeDb::FreeText(uint32_t block) {
    Free(block, TextOrderOf(block));
}

// A new text block holding `length` characters of `text`. The text may lie
// in the mapping itself, which an allocation can move, so it is copied out
// first in that case.
uint32_t NodeDb::StoreText(const char* text, size_t length) {
    if (length > 0xFFFFFFFDu) return 0;
    std::string stable;
    if (InMapping(text)) {
        stable.assign(text, length);
        text = stable.data();
    }
    uint32_t block = AllocText((uint32_t)length);
    if (block == 0) return 0;
    memcpy(Ptr(block) + kTextChars, text, length);
    return block;
}

int NodeDb::AddVisited(const char* chars, size_t length) {
    bool slash_in_text = strchr(chars, '/') != 0;
    size_t n = strnlen(chars, length);
    bool add_slash = (n == 0 || chars[n - 1] != '/') && slash_in_text;
    char* copy = (char*)malloc(n + 2);
    if (!copy) return 0;
    memcpy(copy, chars, n);
    if (add_slash) copy[n++] = '/';
    copy[n] = 0;
    return InsertSorted(copy);
}

uint32_t NodeDb::NextStamp() {
    uint32_t stamp = Header(kStampCounter);
    SetHeader(kStampCounter, stamp + 1);
    return stamp;
}

// ---------------------------------------------------------------------------
// The name tree

// Byte-wise, as unsigned characters. strcmp reads no further into the name
// than the URL's length and its end; a name nearer than that to the end of
// a damaged file is compared only up to there.
int NodeDb::Compare(const char* url, size_t length, NodeId node) const {
    uint32_t name = Node(node).name();
    if (!Fits(name, kTextChars + 1)) return url[0] == 0 ? 0 : 1;
    const char* text = (const char*)Ptr(name) + kTextChars;
    uint32_t room = (uint32_t)size() - name - kTextChars;
    return length < room ? strcmp(url, text) : strncmp(url, text, room);
}

uint8_t* NodeDb::Blank() const {
    memset(blank_, 0, sizeof blank_);
    return blank_;
}

// An empty URL names no page: it is never made, so never found either.
NodeId NodeDb::FindNode(const char* url, bool create) {
    if (!IsOpen() || url == 0 || url[0] == 0) return 0;
    std::string stable;
    if (create && InMapping(url)) {
        stable = url;
        url = stable.c_str();
    }
    if (!index_.built()) BuildNameIndex();
    size_t length = strlen(url);
    uint32_t hash = NameIndex::Hash(url);
    NodeId known = IndexedNode(url, length, hash);
    if (known != 0) {
        ClearFlags(known, Deleted);
        return known;
    }
    if (!create) return 0;
    // Not in the workspace: walk down to where it belongs.
    NodeId x = Root();
    if (x == 0) {
        NodeId made = MakeNode(url, 0);
        if (made) {
            SetHeader(kTreeRoot, made);
            index_.Insert(hash, made);
        }
        return made;
    }
    return FindOrMakeBelow(x, url, length, hash);
}

// The walk down from `x` to where `url` is or belongs, making it there.
// Right from the root; from a node below, right when the URL sorts inside
// the range of names its subtree may hold.
NodeId NodeDb::FindOrMakeBelow(NodeId x, const char* url, size_t length, uint32_t hash) {
    for (int depth = 0;; ++depth) {
        if (depth == kMostDepth) return 0;  // no tree a file holds is this deep
        // Both children's records are asked for while this node's name is
        // read and compared: the step down then finds its record on hand.
        NodeRec rec = Node(x);
        if (rec.left()) PrefetchForRead(Ptr(rec.left()));
        if (rec.right()) PrefetchForRead(Ptr(rec.right()));
        int c = Compare(url, length, x);
        if (c == 0) {
            ClearFlags(x, Deleted);
            return x;
        }
        NodeId child = c < 0 ? Node(x).left() : Node(x).right();
        if (child == 0) return InsertBelow(x, c, url, hash);
        x = child;
    }
}

// A new node for `url` as the child of `parent` on the side `side` gives
// (below 0 the left), whose slot the caller found empty.
NodeId NodeDb::InsertBelow(NodeId parent, int side, const char* url, uint32_t hash) {
    NodeId made = MakeNode(url, parent);
    if (made == 0) return 0;
    index_.Insert(hash, made);
    if (side < 0)
        Node(parent).set_left(made);
    else
        Node(parent).set_right(made);
    Rebalance(parent);
    return made;
}

NodeId NodeDb::IndexedNode(const char* url, size_t length, uint32_t hash) {
    NameIndex::Probe probe;
    for (NodeId n = index_.First(hash, &probe); n != 0; n = index_.Next(&probe))
        if (Compare(url, length, n) == 0) return n;
    return 0;
}

void NodeDb::BuildNameIndex() {
    StartIndexing(0);
    uint32_t nodes = MostNodes();
    for (NodeId x = FirstInTree(); x != 0 && nodes != 0; x = NextInTree(x), --nodes) IndexNode(x);
    EndIndexing();
}

// Names are hashed when met and filed a few nodes later, their slots asked
// for in between: filing a million names is a million misses, and this
// lets them overlap.
void NodeDb::StartIndexing(size_t expected) {
    index_.Start(expected);
    pending_count_ = 0;
}

void NodeDb::IndexNode(NodeId node) {
    uint32_t hash = NameIndex::Hash(Text(Name(node)));
    index_.Prefetch(hash);
    uint64_t& slot = pending_[pending_count_++ % kPendingNames];
    if (pending_count_ > kPendingNames) index_.Insert((uint32_t)(slot >> 32), (NodeId)slot);
    slot = (uint64_t)hash << 32 | node;
}

void NodeDb::EndIndexing() {
    size_t first = pending_count_ > kPendingNames ? pending_count_ - kPendingNames : 0;
    for (size_t i = first; i < pending_count_; ++i) {
        uint64_t slot = pending_[i % kPendingNames];
        index_.Insert((uint32_t)(slot >> 32), (NodeId)slot);
    }
    pending_count_ = 0;
}

// URL order is no order in the file: records and names are asked for
// ahead of their turn, a record two steps before its name.
void NodeDb::IndexNames(const NodeId* in_url_order, size_t n) {
    const size_t kAhead = 8;
    StartIndexing(n);
    for (size_t i = 0; i < n; ++i) {
        if (i + 2 * kAhead < n) PrefetchNode(in_url_order[i + 2 * kAhead]);
        if (i + kAhead < n) {
            uint32_t name = Node(in_url_order[i + kAhead]).name();
            if (name != 0 && name < (uint32_t)size()) PrefetchForRead(Ptr(name));
        }
        IndexNode(in_url_order[i]);
    }
    EndIndexing();
}

NodeId NodeDb::MakeNode(const char* url, NodeId parent) {
    size_t length = strlen(url);
    if (length > kMaxNameLength) return 0;
    NodeId node = AllocOrder(kNodeOrder);
    if (node == 0) return 0;
    uint32_t name = StoreText(url, length);
    if (name == 0) {
        Free(node, kNodeOrder);
        return 0;
    }
    memset(Ptr(node), 0, kNodeSize);
    if (in_mirror_.built()) in_mirror_.AddNode(node, 0, false);
    NodeRec rec = Node(node);
    rec.set_name(name);
    rec.set_parent(parent);
    rec.set_stamp(NextStamp());
    Touch(node);
    SetLabel(node, 0);
    if (ContentType(node) == 0) {
        LabelView view = GetLabelView(node);
        SetContentType(node, ContentTypeOfUrl(view.text, view.dir_end));
    }
    SetFlags(node, Untitled | NotFetched);
    return node;
}

int NodeDb::HeightOf(NodeId node) const {
    return node ? Node(node).height() + 1 : 0;
}

void NodeDb::FixHeight(NodeId node) {
    NodeRec rec = Node(node);
    rec.set_height(Max16(HeightOf(rec.left()), HeightOf(rec.right())));
}

void NodeDb::ReplaceChild(NodeId parent, NodeId old_child, NodeId new_child) {
    if (parent == 0) {
        SetHeader(kTreeRoot, new_child);
        return;
    }
    NodeRec p = Node(parent);
    if (p.left() == old_child)
        p.set_left(new_child);
    else
        p.set_right(new_child);
    FixHeight(parent);
}

NodeId NodeDb::RotateLeft(NodeId x) {
    NodeRec xr = Node(x);
    NodeId y = xr.right();
    NodeRec yr = Node(y);
    NodeId parent = xr.parent();
    NodeId inner = yr.left();
    xr.set_right(inner);
    if (inner) Node(inner).set_parent(x);
    yr.set_left(x);
    FixHeight(x);
    yr.set_height(Max16(HeightOf(yr.right()), xr.height() + 1));
    yr.set_parent(parent);
    xr.set_parent(y);
    ReplaceChild(parent, x, y);
    return y;
}

NodeId NodeDb::RotateRight(NodeId x) {
    NodeRec xr = Node(x);
    NodeId y = xr.left();
    NodeRec yr = Node(y);
    NodeId parent = xr.parent();
    NodeId inner = yr.right();
    xr.set_left(inner);
    if (inner) Node(inner).set_parent(x);
    yr.set_right(x);
    FixHeight(x);
    yr.set_height(Max16(HeightOf(yr.left()), xr.height() + 1));
    yr.set_parent(parent);
    xr.set_parent(y);
    ReplaceChild(parent, x, y);
    return y;
}

// AVL rebalancing on the path from `from` up to the root.
void NodeDb::Rebalance(NodeId from) {
    NodeId p = from;
    for (int depth = 0; p != 0 && depth < kMostDepth; ++depth) {
        NodeRec rec = Node(p);
        int before = rec.height();
        int l = HeightOf(rec.left());
        int r = HeightOf(rec.right());
        rec.set_height(Max16(l, r));
        if (l > r + 1) {
            if (HeightOf(Node(rec.left()).left()) < r + 1) RotateLeft(rec.left());
            p = RotateRight(p);
        } else if (r > l + 1) {
            if (HeightOf(Node(rec.right()).right()) < l + 1) RotateRight(rec.right());
            p = RotateLeft(p);
        }
        // Above the first subtree that kept its height (rotated or not),
        // no height changes.
        if (Node(p).height() == before) break;
        p = Node(p).parent();
    }
}

// A child or parent that the file cannot hold is no node, and no walk up
// or down goes deeper than a tree can be.
NodeId NodeDb::LeftMost(NodeId x) const {
    for (int depth = 0; depth < kMostDepth; ++depth) {
        NodeId left = Node(x).left();
        if (!Fits(left, kNodeSize)) break;
        x = left;
    }
    return x;
}

NodeId NodeDb::FirstInTree() const {
    NodeId x = Root();
    return Fits(x, kNodeSize) ? LeftMost(x) : 0;
}

NodeId NodeDb::NextInTree(NodeId x) const {
    NodeId right = Node(x).right();
    if (Fits(right, kNodeSize)) return LeftMost(right);
    NodeId p = Node(x).parent();
    for (int depth = 0; Fits(p, kNodeSize) && Node(p).right() == x; ++depth) {
        if (depth == kMostDepth) return 0;
        x = p;
        p = Node(p).parent();
    }
    return Fits(p, kNodeSize) ? p : 0;
}

NodeId NodeDb::FirstNode() {
    NodeId x = IsOpen() ? FirstInTree() : 0;
    return x != 0 && IsDeleted(x) ? NextNode(x) : x;
}

NodeId NodeDb::NextNode(NodeId node) {
    NodeId x = NextInTree(node);
    for (uint32_t steps = MostNodes(); x != 0 && IsDeleted(x) && steps != 0; --steps) x = NextInTree(x);
    return x != 0 && IsDeleted(x) ? 0 : x;
}

// The mirror holds the same nodes as the tree, in file order: records read
// in that order stream from memory, and the few that qualify are put in the
// tree's order (its names' byte order) afterwards.
void NodeDb::FlaggedNodes(NodeFlags flags, std::vector<NodeId>* out) {
    if (!IsOpen()) return;
    if (!in_mirror_.built()) {
        // Bounded, as the tree of an unchecked file may run in a circle.
        uint32_t steps = MostNodes();
        for (NodeId n = FirstNode(); n != 0 && steps != 0; n = NextNode(n), --steps)
            if ((Node(n).flags() & flags) == flags) out->push_back(n);
        return;
    }
    size_t first = out->size();
    for (NodeId n = in_mirror_.NextNode(0); n != 0; n = in_mirror_.NextNode(n)) {
        NodeFlags f = Node(n).flags();
        if ((f & flags) == flags && !(f & Deleted)) out->push_back(n);
    }
    std::sort(out->begin() + (ptrdiff_t)first, out->end(),
              [this](NodeId a, NodeId b) { return strcmp(Text(Name(a)), Text(Name(b))) < 0; });
}

// ---------------------------------------------------------------------------
// Program nodes

NodeId NodeDb::SessionsRoot() {
    NodeId root = Header(kSessionsRoot);
    if (root != 0) return root;
    root = FindNode(kSessionsRootUrl, true);
    if (root == 0) return 0;
    SetHeader(kSessionsRoot, root);
    SetKind(root, GroupNode);
    if (!TestFlags(root, Pinned)) SetFlags(root, Pinned);
    NodeRef(*this, root).SetTitleText(AppString(IDS_SAVED_SESSIONS_TITLE), false);
    return root;
}

NodeId NodeDb::NewAnnotation() {
    uint32_t n = Header(kAnnotationCounter);
    SetHeader(kAnnotationCounter, n + 1);
    char url[64];
    snprintf(url, sizeof url, kAnnotationUrlFormat, (long)n);
    NodeId node = FindNode(url, true);
    if (node) SetKind(node, AnnotationNode);
    return node;
}

// ---------------------------------------------------------------------------
// Node fields

NodeId NodeDb::Touch(NodeId node) {
    uint32_t stamp = NextStamp();
    Node(node).set_stamp(stamp);
    return node;
}

uint32_t NodeDb::Stamp(NodeId node) {
    return Node(node).stamp();
}

NodeFlags NodeDb::TestFlags(NodeId node, NodeFlags mask) {
    return Node(node).flags() & mask;
}

NodeId NodeDb::SetFlagsMasked(NodeId node, NodeFlags value, NodeFlags mask) {
    NodeRec rec = Node(node);
    rec.set_flags((NodeFlags)((rec.flags() & ~mask) | value));
    NoteFlags(node, rec.flags());
    return node;
}

NodeId NodeDb::SetFlags(NodeId node, NodeFlags bits) {
    NodeRec rec = Node(node);
    rec.set_flags(rec.flags() | bits);
    NoteFlags(node, rec.flags());
    return node;
}

NodeId NodeDb::ClearFlags(NodeId node, NodeFlags bits) {
    NodeRec rec = Node(node);
    rec.set_flags(rec.flags() & (NodeFlags)~bits);
    NoteFlags(node, rec.flags());
    return node;
}

NodeFlags NodeDb::ToggleFlags(NodeId node, NodeFlags bits) {
    NodeRec rec = Node(node);
    rec.set_flags(rec.flags() ^ bits);
    NoteFlags(node, rec.flags());
    return rec.flags();
}

NodeFlags NodeDb::Kind(NodeId node) {
    return TestFlags(node, KindMask);
}

int NodeDb::SetKind(NodeId node, NodeFlags kind) {
    SetFlagsMasked(node, kind, KindMask);
    return 1;
}

uint32_t NodeDb::Name(NodeId node) {
    return Node(node).name();
}
uint32_t NodeDb::Title(NodeId node) {
    return Node(node).title();
}
uint32_t NodeDb::Label(NodeId node) {
    return Node(node).label();
}

uint32_t NodeDb::SetTitle(NodeId node, const char* text) {
    std::string stable;
    if (text && InMapping(text)) {
        stable = text;
        text = stable.c_str();
    }
    FreeText(Node(node).title());
    Node(node).set_title(0);
    if (text == 0 || *text == 0) return 0;
    uint32_t block = StoreText(text, strlen(text));
    Node(node).set_title(block);
    return block;
}

// The new title is stored before the old one is freed: when there is no
// room for it, the node keeps the title it had.
int NodeDb::SetTitleFromControl(NodeId node, const ATextSource& control) {
    size_t length = control.TextLength();
    if (length == 0) return 0;
    std::vector<char> text(length + 1);
    control.CopyText(&text[0], text.size());
    if (text[0] == 0) return 0;
    uint32_t block = StoreText(&text[0], strlen(&text[0]));
    if (block == 0) return 0;
    FreeText(Node(node).title());
    Node(node).set_title(block);
    return 1;
}

LabelView NodeDb::GetLabelView(NodeId node) {
    NodeRec rec = Node(node);
    LabelView view;
    view.text = Text(rec.label() ? rec.label() : rec.name());
    view.host_end = rec.host_end();
    view.dir_end = rec.dir_end();
    return view;
}

uint32_t NodeDb::SetLabel(NodeId node, const char* text) {
    std::string stable;
    if (text && InMapping(text)) {
        stable = text;
        text = stable.c_str();
    }
    FreeText(Node(node).label());
    Node(node).set_label(0);
    uint32_t block = 0;
    if (text != 0 && strlen(text) <= kMaxNameLength) block = StoreText(text, strlen(text));
    Node(node).set_label(block);
    // Offsets of the text stored, or of the URL when none was given (or
    // none could be stored): they always fit what GetLabelView shows.
    MeasureLabelView(node);
    return block;
}

bool NodeDb::MeasureLabelView(NodeId node) {
    NodeRec rec = Node(node);
    UrlSplit parts = SplitUrl(Text(rec.label() ? rec.label() : rec.name()));
    uint16_t host_end = (uint16_t)parts.host_end;
    uint16_t dir_end = (uint16_t)parts.dir_end;
    if (rec.host_end() == host_end && rec.dir_end() == dir_end) return false;
    rec.set_host_end(host_end);
    rec.set_dir_end(dir_end);
    return true;
}

uint32_t NodeDb::ContentType(NodeId node) {
    return Fits(node, kNodeSize) ? Get32(Ptr(node) + kNodeContentType) : 0;
}

NodeId NodeDb::SetContentType(NodeId node, uint32_t type) {
    Node(node).set_content_type(type);
    return node;
}

// While the mirror stands the marks are kept there: a search sets tens of
// thousands of them, and each record is a cache miss of its own.
uint32_t NodeDb::DisplayMark(NodeId node) {
    return in_mirror_.built() ? in_mirror_.Mark(node) : Node(node).display_mark();
}

void NodeDb::SetDisplayMark(NodeId node, uint32_t mark) {
    if (in_mirror_.built())
        in_mirror_.SetMark(node, mark);
    else
        Node(node).set_display_mark(mark);
}

// ---------------------------------------------------------------------------
// Bodies

uint32_t NodeDb::Body(NodeId node) {
    return Node(node).body();
}

void NodeDb::FreeTextBody(NodeId node) {
    FreeText(Node(node).body());
    Node(node).set_body(0);
}

void NodeDb::FreeCountedBody(NodeId node) {
    uint32_t body = Node(node).body();
    Free(body, CountedOrderOf(body));
    Node(node).set_body(0);
}

// As with the title, the new body is stored before the old one is freed.
int NodeDb::SetBodyFromControl(NodeId node, const ATextSource& control) {
    size_t length = control.TextLength();
    std::vector<char> text(length + 1);
    length = length ? control.CopyText(&text[0], text.size()) : 0;
    uint32_t block = 0;
    if (length != 0) {
        block = StoreText(&text[0], length);
        if (block == 0) return 0;
    }
    FreeTextBody(node);
    Node(node).set_body(block);
    return 1;
}

int NodeDb::SetBodyBytes(NodeId node, const void* bytes, uint32_t n) {
    std::string stable;
    if (bytes && InMapping(bytes)) {
        stable.assign((const char*)bytes, n);
        bytes = stable.data();
    }
    FreeTextBody(node);
    if (bytes != 0 && n > 0) {
        uint32_t block = StoreText((const char*)bytes, n);  // may move the mapping
        Node(node).set_body(block);
    }
    return 1;
}

// A length that reaches past the end of the file (damage) is none.
uint32_t NodeDb::BodyLength(NodeId node) {
    uint32_t body = Node(node).body();
    if (!Fits(body, kCountedData)) return 0;
    uint32_t n = Get32(Ptr(body) + kCountedLength);
    return n <= (uint32_t)size() - body - kCountedData ? n : 0;
}

int NodeDb::SetBodyLength(NodeId node, uint32_t n) {
    FreeCountedBody(node);
    if (n == 0) return 1;
    int order = CountedOrder(n);
    uint32_t block = order ? AllocOrder(order) : 0;
    if (block == 0) return 0;
    Put32(Ptr(block) + kCountedLength, n);
    Node(node).set_body(block);
    return 1;
}

uint8_t* NodeDb::BodyData(NodeId node) {
    uint32_t body = Node(node).body();
    return Fits(body, kCountedData) ? Ptr(body) + kCountedData : 0;
}

// ---------------------------------------------------------------------------
// Links

// Whether a cell names a deleted node; a cell or node the file cannot hold
// is none. Read straight from the file rather than through the blank
// record: a walk of many links overlaps their misses only while each step
// is a few instructions.
bool NodeDb::NamesDeleted(LinkId cell) const {
    if (!Fits(cell, kCellSize)) return false;
    NodeId node = Get32(Ptr(cell) + kCellTarget) & ~kLinkKindMask;
    return Fits(node, kNodeSize) && (Get16(Ptr(node) + kNodeFlags) & Deleted) != 0;
}

LinkId NodeDb::SkipDeleted(LinkId cell) const {
    if (!NamesDeleted(cell)) return cell;
    // NamesDeleted holds only for a cell inside the file.
    for (uint32_t steps = MostCells(); steps != 0 && NamesDeleted(cell); --steps) cell = Get32(Ptr(cell) + kCellNext);
    return NamesDeleted(cell) ? 0 : cell;
}

// Node 0 (a lookup that found nothing) has no links: its "record" is the
// file header, whose words are no cells.
LinkId NodeDb::FirstOut(NodeId node) {
    if (!Fits(node, kNodeSize)) return 0;
    return SkipDeleted(Get32(Ptr(node) + kNodeOutHead));
}
// A walk of incoming links goes on to each source's own incoming links (the
// map's backward search), and each source record is a cache miss of its own.
// Asking for the first few sources' records at once lets those misses
// overlap instead of following one another.
LinkId NodeDb::FirstIn(NodeId node) {
    if (node == 0) return 0;
    LinkId head = Node(node).in_head();
    LinkId c = head;
    for (int i = 0; i < 16 && c != 0; ++i, c = Cell(c).next()) PrefetchNode(Cell(c).node());
    return SkipDeleted(head);
}

// The next source's first incoming cell is asked for (see FirstIn).
LinkId NodeDb::NextLink(LinkId link) {
    if (!Fits(link, kCellSize)) return 0;
    LinkId next = SkipDeleted(Get32(Ptr(link) + kCellNext));
    if (Fits(next, kCellSize)) {
        NodeId node = Get32(Ptr(next) + kCellTarget) & ~kLinkKindMask;
        if (Fits(node, kNodeSize)) PrefetchForRead(Ptr(Get32(Ptr(node) + kNodeInHead)));
    }
    return next;
}
NodeId NodeDb::LinkNode(LinkId link) {
    return Cell(link).node();
}
LinkKind NodeDb::LinkKindOf(LinkId link) {
    return Cell(link).kind();
}

// A spare cell, carving a new 32-byte block into four when none is left:
// the first is used and the other three join the spare list in order.
// A spare cell the file names but that cannot be one (outside the file,
// in a bitmap page, or in storage the allocator holds free) ends the list:
// handing it out would give away storage that is not spare.
LinkId NodeDb::TakeCell() {
    LinkId cell = Header(kFreeLinkCells);
    if (cell != 0 && (!Fits(cell, kCellSize) || cell % kCellSize != 0 || cell < kFirstBlock || InBitmapPage(cell) ||
                      FreeBit(cell & ~(kGranule - 1)))) {
        SetHeader(kFreeLinkCells, 0);
        cell = 0;
    }
    if (cell != 0) {
        SetHeader(kFreeLinkCells, Cell(cell).next());
        return cell;
    }
    uint32_t block = AllocOrder(kMinOrder);
    if (block == 0) return 0;
    uint32_t old_head = Header(kFreeLinkCells);
    Cell(block + 8).set_next(block + 16);
    Cell(block + 16).set_next(block + 24);
    Cell(block + 24).set_next(old_head);
    SetHeader(kFreeLinkCells, block + 8);
    return block;
}

void NodeDb::GiveCell(LinkId cell) {
    Cell(cell).set_target(0, (LinkKind)0);
    Cell(cell).set_next(Header(kFreeLinkCells));
    SetHeader(kFreeLinkCells, cell);
}

void NodeDb::AppendCell(NodeId node, bool out_list, LinkId cell) {
    NodeRec rec = Node(node);
    Cell(cell).set_next(0);
    LinkId tail = out_list ? rec.out_tail() : rec.in_tail();
    if (tail != 0)
        Cell(tail).set_next(cell);
    else if (out_list)
        rec.set_out_head(cell);
    else
        rec.set_in_head(cell);
    if (out_list)
        rec.set_out_tail(cell);
    else
        rec.set_in_tail(cell);
}

// The first cell of the whole out-list holding exactly target | kind.
LinkId NodeDb::FindOutCell(NodeId from, uint32_t target_kind) {
    if (LinkSet* set = out_sets_.Find(from)) return set->Find(target_kind);
    uint32_t walked = 0;
    uint32_t most = MostCells();
    for (LinkId c = Node(from).out_head(); c != 0 && walked < most; c = Cell(c).next(), ++walked)
        if (Cell(c).target_kind() == target_kind) return c;
    if (walked >= OutLinkSets::kLeastCells) {
        LinkSet* set = out_sets_.Make(from);
        uint32_t steps = 0;
        for (LinkId c = Node(from).out_head(); c != 0 && steps < most; c = Cell(c).next(), ++steps)
            set->Insert(Cell(c).target_kind(), c);
    }
    return 0;
}

LinkId NodeDb::FindLiveOutLink(NodeId from, NodeId to, LinkKind kind) {
    if (from == 0 || to == 0) return 0;
    if (IsDeleted(to)) return 0;  // the walk skips every link to it
    return FindOutCell(from, to | (kind & kLinkKindMask));
}

// The search for an existing link starts at FirstOut, which passes over the
// leading cells whose targets are deleted; unless the target itself is
// deleted, no cell to it is among those, and the whole list may be searched.
LinkId NodeDb::AddLink(NodeId from, NodeId to, LinkKind kind) {
    if (!Fits(from, kNodeSize) || !Fits(to, kNodeSize)) return 0;
    kind &= kLinkKindMask;
    if (IsDeleted(to)) {
        uint32_t steps = MostCells();
        for (LinkId c = FirstOut(from); c != 0 && steps != 0; c = Cell(c).next(), --steps)
            if (Cell(c).node() == to && Cell(c).kind() == kind) return c;
    } else if (LinkId c = FindOutCell(from, to | kind)) {
        return c;
    }
    LinkId out = TakeCell();
    if (out == 0) return 0;
    LinkId in = TakeCell();
    if (in == 0) {
        GiveCell(out);
        return 0;
    }
    Cell(out).set_target(to, kind);
    AppendCell(from, true, out);
    if (LinkSet* set = out_sets_.Find(from)) set->Insert(to | kind, out);
    Cell(in).set_target(from, kind);
    AppendCell(to, false, in);
    if (in_mirror_.built()) in_mirror_.Append(to, from | kind);
    return out;
}

// Removes from one list of `node` every cell to `other` whose kind shares
// a bit with `mask`; gives the number removed.
// Takes out of one list the cells naming `other` with a kind in `mask`, or,
// with `other` 0, every cell naming a deleted node (the purge, which drops
// the link sets and the mirror first), giving the cells back, or adding
// them to `given` when there is one.
int NodeDb::RemoveCells(NodeId node, bool out_list, NodeId other, unsigned mask, SpareCells* given) {
    LinkSet* set = out_list ? out_sets_.Find(node) : 0;
    if (!out_list && other != 0 && in_mirror_.built()) in_mirror_.Remove(node, other, mask);
    NodeRec rec = Node(node);
    LinkId prev = 0;
    LinkId cell = out_list ? rec.out_head() : rec.in_head();
    int removed = 0;
    for (uint32_t steps = MostCells(); cell != 0 && steps != 0; --steps) {
        LinkId next = Cell(cell).next();
        NodeId to = Cell(cell).node();
        if (other != 0 ? to == other && (Cell(cell).kind() & mask) : IsDeleted(to)) {
            if (prev)
                Cell(prev).set_next(next);
            else if (out_list)
                rec.set_out_head(next);
            else
                rec.set_in_head(next);
            if (set) set->Erase(Cell(cell).target_kind());
            if (given)
                given->Add(cell);
            else
                GiveCell(cell);
            ++removed;
        } else {
            prev = cell;
        }
        cell = next;
    }
    if (out_list)
        rec.set_out_tail(prev);
    else
        rec.set_in_tail(prev);
    return removed;
}

int NodeDb::RemoveLinks(NodeId from, NodeId to, unsigned mask) {
    if (from == 0 || to == 0) return 0;
    if (RemoveCells(from, true, to, mask, 0) == 0) return 0;
    return RemoveCells(to, false, from, mask, 0) != 0;
}

// ---------------------------------------------------------------------------
// The in-memory mirror of incoming links

void NodeDb::BuildInLinkMirror() {
    in_mirror_.Start((uint32_t)size());
    uint32_t nodes = MostNodes();
    for (NodeId n = FirstInTree(); n != 0 && nodes != 0; n = NextInTree(n), --nodes) {
        NodeRec rec = Node(n);
        in_mirror_.AddNode(n, rec.display_mark(), (rec.flags() & Deleted) != 0);
        uint32_t cells = MostCells();
        for (LinkId c = rec.in_head(); c != 0 && cells != 0; c = Cell(c).next(), --cells)
            in_mirror_.Append(n, Cell(c).target_kind());
    }
}

void NodeDb::DropInLinkMirror() {
    if (!in_mirror_.built()) return;
    // By the nodes the mirror knows rather than by the tree, which the
    // caller (the check) may be about to find damaged.
    if (IsOpen())
        for (NodeId n = in_mirror_.NextNode(0); n != 0; n = in_mirror_.NextNode(n))
            if (n + kNodeSize <= (uint32_t)size() && Node(n).display_mark() != in_mirror_.Mark(n))
                Node(n).set_display_mark(in_mirror_.Mark(n));
    in_mirror_.Drop();
}

void NodeDb::LiveInLinks(NodeId node, std::vector<uint32_t>* out) {
    if (node == 0) return;
    if (!in_mirror_.built()) BuildInLinkMirror();
    in_mirror_.LiveIn(node, out);
}

// The search that needs this reads the marks through the mirror anyway, so
// the mirror is made first and the marks cleared there, in memory.
void NodeDb::ClearDisplayMarks() {
    if (!IsOpen()) return;
    if (!in_mirror_.built()) BuildInLinkMirror();
    in_mirror_.ClearMarks();
}
