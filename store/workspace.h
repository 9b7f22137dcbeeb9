// AWorkspace: how every other part of the program reads and changes the
// map. Pages, groups, sessions and annotations are nodes, handed out as
// NodeId values; their links as LinkId values. Texts come back as pointers
// into the mapped file, valid only until the next call that may allocate.
#ifndef SKEIND_STORE_WORKSPACE_H
#define SKEIND_STORE_WORKSPACE_H

#include <stddef.h>
#include <stdint.h>

#include <ostream>
#include <vector>

#include "store/layout.h"

class Undo_delete;

// The text of an edit control, or of anything that stands in for one.
class ATextSource {
public:
    virtual size_t TextLength() const = 0;
    // Copies at most room - 1 characters and a NUL; gives the count copied.
    virtual size_t CopyText(char* out, size_t room) const = 0;

protected:
    ~ATextSource() {}
};

// What the display shows for a node: its label, or its URL when it has
// none, with the two offsets kept beside it.
struct LabelView {
    const char* text;
    uint16_t host_end;
    uint16_t dir_end;
};

class AWorkspace {
public:
    AWorkspace();

    virtual const char* Text(uint32_t block) = 0;
    virtual int AddVisited(const char* chars, size_t length) = 0;
    virtual uint32_t NextStamp() = 0;
    virtual NodeId FindNode(const char* url, bool create) = 0;
    // As FindNode(urls[i], true) for each URL in turn, into out[i]; in a
    // large workspace quicker for a batch of URLs, such as a page's links.
    virtual void FindNodes(const char* const* urls, size_t n, NodeId* out) = 0;
    virtual NodeId SessionsRoot() = 0;
    virtual NodeId NewAnnotation() = 0;
    virtual NodeId Touch(NodeId node) = 0;
    virtual uint32_t Stamp(NodeId node) = 0;
    virtual NodeFlags TestFlags(NodeId node, NodeFlags mask) = 0;
    virtual NodeId SetFlagsMasked(NodeId node, NodeFlags value, NodeFlags mask) = 0;
    virtual NodeId SetFlags(NodeId node, NodeFlags bits) = 0;
    virtual NodeId ClearFlags(NodeId node, NodeFlags bits) = 0;
    virtual NodeFlags ToggleFlags(NodeId node, NodeFlags bits) = 0;
    virtual NodeFlags Kind(NodeId node) = 0;
    virtual int SetKind(NodeId node, NodeFlags kind) = 0;
    virtual uint32_t Name(NodeId node) = 0;
    virtual uint32_t Title(NodeId node) = 0;
    virtual int SetTitleFromControl(NodeId node, const ATextSource& control) = 0;
    virtual uint32_t SetTitle(NodeId node, const char* text) = 0;
    virtual uint32_t Label(NodeId node) = 0;
    virtual LabelView GetLabelView(NodeId node) = 0;
    virtual uint32_t SetLabel(NodeId node, const char* text) = 0;
    virtual uint32_t ContentType(NodeId node) = 0;
    virtual NodeId SetContentType(NodeId node, uint32_t type) = 0;
    virtual uint32_t DisplayMark(NodeId node) = 0;
    virtual void SetDisplayMark(NodeId node, uint32_t mark) = 0;
    virtual LinkId FirstOut(NodeId node) = 0;
    virtual LinkId FirstIn(NodeId node) = 0;
    virtual Undo_delete* Delete(NodeId node, bool with_self, Undo_delete* undo) = 0;
    virtual uint32_t Body(NodeId node) = 0;
    virtual int SetBodyFromControl(NodeId node, const ATextSource& control) = 0;
    virtual int SetBodyBytes(NodeId node, const void* bytes, uint32_t n) = 0;
    virtual uint32_t BodyLength(NodeId node) = 0;
    virtual int SetBodyLength(NodeId node, uint32_t n) = 0;
    virtual uint8_t* BodyData(NodeId node) = 0;
    virtual NodeId FirstNode() = 0;
    virtual NodeId NextNode(NodeId node) = 0;
    // Appends every live node that has all of `flags`, in the order FirstNode
    // and NextNode give them; for start-up, where the walk of a large tree
    // would read every record out of order to find a few.
    virtual void FlaggedNodes(NodeFlags flags, std::vector<NodeId>* out) = 0;
    virtual LinkId AddLink(NodeId from, NodeId to, LinkKind kind) = 0;
    // The out-link that a walk with FirstOut and NextLink would meet with
    // exactly this target and kind, or 0; without walking a long list.
    virtual LinkId FindLiveOutLink(NodeId from, NodeId to, LinkKind kind) = 0;
    // Appends the node's live incoming links as source | kind, in the order
    // FirstIn and NextLink give them; for searches that visit many nodes.
    virtual void LiveInLinks(NodeId node, std::vector<uint32_t>* out) = 0;
    // Sets the display mark of every node, deleted ones included, to 0.
    virtual void ClearDisplayMarks() = 0;
    virtual int RemoveLinks(NodeId from, NodeId to, unsigned mask) = 0;
    virtual LinkId NextLink(LinkId link) = 0;
    virtual NodeId LinkNode(LinkId link) = 0;
    virtual LinkKind LinkKindOf(LinkId link) = 0;
    virtual std::ostream& Print(std::ostream& out);

    uint32_t serial() const { return serial_; }
    // Moves on whenever nodes may have been destroyed: by a purge, by the
    // check, or with the file closed or another one opened. A NodeId kept
    // from an earlier generation may name nothing any more, or a node made
    // since in the same storage; whoever keeps one across calls compares
    // the generation before using it again.
    uint32_t generation() const { return generation_; }

protected:
    ~AWorkspace() {}
    void NodesDestroyed() { ++generation_; }

private:
    uint32_t serial_;  // counts workspace objects made in this process
    uint32_t generation_;
};

inline std::ostream& operator<<(std::ostream& out, AWorkspace& w) { return w.Print(out); }

// The program's own nodes.
extern const char kVisitedRootUrl[];   // "x-skeind-1:/h/"
extern const char kSessionsRootUrl[];  // "x-skeind-1:/s/"
extern const char kAnnotationUrlFormat[];  // "x-skeind-1:/a/%ld"

#endif
