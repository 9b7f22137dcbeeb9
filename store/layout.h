// Byte layout of a workspace file and of every record stored in it.
//
// All integers in the file are little-endian and every reference is a 32-bit
// byte offset from the start of the file, 0 meaning none. Code reads and
// writes records only through the names here, so that the layout is written
// down in exactly one place.
#ifndef SKEIND_STORE_LAYOUT_H
#define SKEIND_STORE_LAYOUT_H

#include <stdint.h>

typedef uint32_t NodeId;     // offset of a node record; a multiple of 64
typedef uint32_t LinkId;     // offset of a link cell; a multiple of 8
typedef uint16_t NodeFlags;  // bits 0-11 flags, bits 12-15 the node kind
typedef uint8_t LinkKind;    // 0..63, kept in the low bits of a link cell

// Little-endian access to the mapped bytes. Assembled byte by byte so the
// same code is right on any host; compilers reduce it to one load or store.
inline uint16_t Get16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

namespace layout {

// Allocator geometry.
const uint32_t kGranule = 32;
const int kMinOrder = 5;          // 32-byte blocks
const int kMaxOrder = 19;         // 512 KiB blocks
const int kChunkOrder = 20;       // 1 MiB chunks, each with its own bitmap
const int kOrderCount = kMaxOrder - kMinOrder + 1;
const uint32_t kChunkSize = 1u << kChunkOrder;
const uint32_t kChunkMask = kChunkSize - 1;
const uint32_t kBitmapSize = 4096;  // first bytes of every chunk
const uint32_t kPageSize = 4096;    // file sizes are multiples of this

// File header, at offset 0 (doubles as the unused head of chunk 0's bitmap).
const uint32_t kMagic = 0;            // 4 characters
const uint32_t kHeaderLayout = 4;     // u16, always 1
const uint32_t kVersion = 6;          // u16, major * 256 + minor
const uint32_t kWsHeaderSize = 8;     // u32
const uint32_t kLowestOrder = 12;     // u8
const uint32_t kHighestOrder = 13;    // u8
const uint32_t kChunkOrderField = 14; // u8
const uint32_t kFileHeaderSize = 16;

const char kWorkspaceMagic[4] = {'S', 'K', 'E', 'N'};
const uint16_t kHeaderLayoutValue = 1;
const uint8_t kWorkspaceMajor = 6;
const uint8_t kWorkspaceMinor = 0;
const uint32_t kMaxWsHeaderSize = 128;

// Free-list heads: one u32 per order 5..19.
const uint32_t kFreeHeads = 0x1000;
inline uint32_t FreeHeadOffset(int order) {
    return kFreeHeads + 4u * (uint32_t)(order - kMinOrder);
}
const uint32_t kAllocatorEnd = 0x103C;  // the workspace header follows

// Free block: the first three words of a block on a free list.
const uint32_t kFreeNext = 0;
const uint32_t kFreePrev = 4;
const uint32_t kFreeOrder = 8;

// Workspace header, at kAllocatorEnd.
const uint32_t kWorkspaceHeader = kAllocatorEnd;
const uint32_t kTreeRoot = 0x103C;
const uint32_t kFreeLinkCells = 0x1040;
const uint32_t kStampCounter = 0x1044;
const uint32_t kSessionsRoot = 0x1048;
const uint32_t kAnnotationCounter = 0x104C;
const uint32_t kPurgeMark = 0x1050;
const uint32_t kWorkspaceHeaderBytes = 24;
const uint32_t kFirstBlock = 0x1060;

// A new workspace: header size and room for records that give 32 KiB.
const uint32_t kNewWorkspaceRoom = 0x6000;

// Node record: a 64-byte (order 6) block.
const int kNodeOrder = 6;
const uint32_t kNodeSize = 64;
const uint32_t kNodeName = 0x00;         // u32 text block of the URL
const uint32_t kNodeHeight = 0x04;       // u16 subtree height, leaf 0
const uint32_t kNodeFlags = 0x06;        // u16 NodeFlags
const uint32_t kNodeParent = 0x08;       // u32
const uint32_t kNodeLeft = 0x0C;         // u32
const uint32_t kNodeRight = 0x10;        // u32
const uint32_t kNodeLabel = 0x14;        // u32 text block, 0 = show URL
const uint32_t kNodeHostEnd = 0x18;      // u16
const uint32_t kNodeDirEnd = 0x1A;       // u16
const uint32_t kNodeTitle = 0x1C;        // u32 text block
const uint32_t kNodeOutHead = 0x20;      // u32 LinkId
const uint32_t kNodeOutTail = 0x24;      // u32 LinkId
const uint32_t kNodeInHead = 0x28;       // u32 LinkId
const uint32_t kNodeInTail = 0x2C;       // u32 LinkId
const uint32_t kNodeStamp = 0x30;        // u32
const uint32_t kNodeDisplayMark = 0x34;  // u32
const uint32_t kNodeBody = 0x38;         // u32 text or counted block
const uint32_t kNodeContentType = 0x3C;  // u32, code in the low byte

// Link cell: 8 bytes, four to a 32-byte block.
const uint32_t kCellSize = 8;
const uint32_t kCellsPerBlock = 4;
const uint32_t kCellNext = 0;
const uint32_t kCellTarget = 4;          // NodeId | LinkKind
const uint32_t kLinkKindMask = 0x3F;

// Text block: order byte, characters, NUL.
const uint32_t kTextOrder = 0;
const uint32_t kTextChars = 1;
// Counted block: u32 length, then data.
const uint32_t kCountedLength = 0;
const uint32_t kCountedData = 4;

}  // namespace layout

// Node flags.
const NodeFlags Untitled = 0x0001;
const NodeFlags PageMarked = 0x0002;   // the traffic interpreter's page mark
const NodeFlags Pinned = 0x0004;
const NodeFlags NotFetched = 0x0008;
const NodeFlags Busy = 0x0010;
const NodeFlags PinFixed = 0x0020;
const NodeFlags Deleted = 0x0800;
const NodeFlags FlagBits = 0x0FFF;

// Node kinds (bits 12-15). Bit 15: the body is a text block; bit 14: the
// body is a counted block.
const NodeFlags KindMask = 0xF000;
const NodeFlags PageNode = 0x0000;
const NodeFlags GroupNode = 0x3000;
const NodeFlags SessionNode = 0x6000;
const NodeFlags AnnotationNode = 0x9000;
const NodeFlags TextBodyKind = 0x8000;
const NodeFlags CountedBodyKind = 0x4000;

// Link kinds.
const LinkKind LinkAnchor = 0x01;
const LinkKind LinkInclude = 0x02;
const LinkKind LinkOther = 0x04;
const LinkKind LinkQuery = 0x08;
const LinkKind LinkRedirect = 0x10;
const LinkKind LinkFrame = 0x12;
const LinkKind Attach = 0x20;

// Typed views of records in the mapped file. A view holds a pointer into the
// mapping, so it is valid only until the next allocation (which may move the
// mapping); make a new one after any call that can allocate.
class NodeRec {
public:
    explicit NodeRec(uint8_t* p) : p_(p) {}

    uint32_t name() const { return Get32(p_ + layout::kNodeName); }
    uint16_t height() const { return Get16(p_ + layout::kNodeHeight); }
    NodeFlags flags() const { return Get16(p_ + layout::kNodeFlags); }
    NodeId parent() const { return Get32(p_ + layout::kNodeParent); }
    NodeId left() const { return Get32(p_ + layout::kNodeLeft); }
    NodeId right() const { return Get32(p_ + layout::kNodeRight); }
    uint32_t label() const { return Get32(p_ + layout::kNodeLabel); }
    uint16_t host_end() const { return Get16(p_ + layout::kNodeHostEnd); }
    uint16_t dir_end() const { return Get16(p_ + layout::kNodeDirEnd); }
    uint32_t title() const { return Get32(p_ + layout::kNodeTitle); }
    LinkId out_head() const { return Get32(p_ + layout::kNodeOutHead); }
    LinkId out_tail() const { return Get32(p_ + layout::kNodeOutTail); }
    LinkId in_head() const { return Get32(p_ + layout::kNodeInHead); }
    LinkId in_tail() const { return Get32(p_ + layout::kNodeInTail); }
    uint32_t stamp() const { return Get32(p_ + layout::kNodeStamp); }
    uint32_t display_mark() const { return Get32(p_ + layout::kNodeDisplayMark); }
    uint32_t body() const { return Get32(p_ + layout::kNodeBody); }
    uint8_t content_type() const { return p_[layout::kNodeContentType]; }

    void set_name(uint32_t v) { Put32(p_ + layout::kNodeName, v); }
    void set_height(uint16_t v) { Put16(p_ + layout::kNodeHeight, v); }
    void set_flags(NodeFlags v) { Put16(p_ + layout::kNodeFlags, v); }
    void set_parent(NodeId v) { Put32(p_ + layout::kNodeParent, v); }
    void set_left(NodeId v) { Put32(p_ + layout::kNodeLeft, v); }
    void set_right(NodeId v) { Put32(p_ + layout::kNodeRight, v); }
    void set_label(uint32_t v) { Put32(p_ + layout::kNodeLabel, v); }
    void set_host_end(uint16_t v) { Put16(p_ + layout::kNodeHostEnd, v); }
    void set_dir_end(uint16_t v) { Put16(p_ + layout::kNodeDirEnd, v); }
    void set_title(uint32_t v) { Put32(p_ + layout::kNodeTitle, v); }
    void set_out_head(LinkId v) { Put32(p_ + layout::kNodeOutHead, v); }
    void set_out_tail(LinkId v) { Put32(p_ + layout::kNodeOutTail, v); }
    void set_in_head(LinkId v) { Put32(p_ + layout::kNodeInHead, v); }
    void set_in_tail(LinkId v) { Put32(p_ + layout::kNodeInTail, v); }
    void set_stamp(uint32_t v) { Put32(p_ + layout::kNodeStamp, v); }
    void set_display_mark(uint32_t v) { Put32(p_ + layout::kNodeDisplayMark, v); }
    void set_body(uint32_t v) { Put32(p_ + layout::kNodeBody, v); }
    void set_content_type(uint32_t v) { Put32(p_ + layout::kNodeContentType, v); }

private:
    uint8_t* p_;
};

class LinkCell {
public:
    explicit LinkCell(uint8_t* p) : p_(p) {}

    LinkId next() const { return Get32(p_ + layout::kCellNext); }
    NodeId node() const { return Get32(p_ + layout::kCellTarget) & ~layout::kLinkKindMask; }
    LinkKind kind() const { return (LinkKind)(Get32(p_ + layout::kCellTarget) & layout::kLinkKindMask); }
    uint32_t target_kind() const { return Get32(p_ + layout::kCellTarget); }

    void set_next(LinkId v) { Put32(p_ + layout::kCellNext, v); }
    void set_target(NodeId node, LinkKind kind) {
        Put32(p_ + layout::kCellTarget, node | (kind & layout::kLinkKindMask));
    }

private:
    uint8_t* p_;
};

// Sizes of the two kinds of body and text blocks.
// Smallest k >= 5 with 2^k >= bytes; 0 when no block is that large.
int OrderForSize(uint64_t bytes);
inline int TextOrder(uint32_t length) { return OrderForSize((uint64_t)length + 2); }
inline int CountedOrder(uint32_t length) { return OrderForSize((uint64_t)length + 4); }

#endif
