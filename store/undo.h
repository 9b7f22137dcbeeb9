// Undoable actions, and the record of one deletion.
#ifndef SKEIND_STORE_UNDO_H
#define SKEIND_STORE_UNDO_H

#include <stddef.h>
#include <stdint.h>

#include "store/workspace.h"

class AUndo {
public:
    virtual ~AUndo() {}
    // The Edit menu's text for undoing this; written into `buffer`.
    virtual char* MenuText(char* buffer, size_t size) = 0;
    virtual bool CanUndo() = 0;
    virtual int Undo() = 0;
    virtual uint32_t Commit() = 0;
};

// A stack of node ids in chunks of 64: the first chunk lives in the owner,
// further ones come from the heap as it grows and go back as it empties.
class NodeStack {
public:
    NodeStack() : top_(&first_), used_(0) { first_.below = 0; }
    ~NodeStack();
    bool Push(NodeId node);
    NodeId Pop();  // 0 when empty
    bool Empty() const { return used_ == 0 && top_ == &first_; }

private:
    NodeStack(const NodeStack&);
    NodeStack& operator=(const NodeStack&);
    struct Chunk {
        NodeId items[64];
        Chunk* below;
    };
    Chunk first_;
    Chunk* top_;
    unsigned used_;  // entries in *top_
};

class Undo_delete : public AUndo {
public:
    explicit Undo_delete(AWorkspace& workspace);
    char* MenuText(char* buffer, size_t size) override;
    bool CanUndo() override;
    int Undo() override;
    uint32_t Commit() override;

    void Record(NodeId node);
    uint32_t count() const { return count_; }
    uint32_t stamp() const { return stamp_; }

private:
    AWorkspace& workspace_;
    uint32_t stamp_;
    uint32_t count_;
    NodeStack stack_;
};

#endif
