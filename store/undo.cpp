#include "store/undo.h"

#include <stdio.h>

#include <string>

#include "res/resource.h"
#include "res/strings.h"
#include "store/nodedb.h"

NodeStack::~NodeStack() {
    while (top_ != &first_) {
        Chunk* below = top_->below;
        delete top_;
        top_ = below;
    }
}

bool NodeStack::Push(NodeId node) {
    if (used_ == 64) {
        Chunk* more = new (std::nothrow) Chunk;
        if (!more) return false;
        more->below = top_;
        top_ = more;
        used_ = 0;
    }
    top_->items[used_++] = node;
    return true;
}

NodeId NodeStack::Pop() {
    if (used_ == 0) {
        if (top_ == &first_) return 0;
        Chunk* below = top_->below;
        delete top_;
        top_ = below;
        used_ = 64;
    }
    return top_->items[--used_];
}

Undo_delete::Undo_delete(AWorkspace& workspace)
    : workspace_(workspace), stamp_(workspace.NextStamp()), count_(0) {}

void Undo_delete::Record(NodeId node) {
    if (stack_.Push(node)) ++count_;
}

char* Undo_delete::MenuText(char* buffer, size_t size) {
    // Loaded once per process and kept.
    static const std::string one = AppString(IDS_UNDO_DELETE_PAGE);
    static const std::string many = AppString(IDS_UNDO_DELETE_PAGES);
    if (count_ == 1)
        snprintf(buffer, size, "%s", one.c_str());
    else
        snprintf(buffer, size, many.c_str(), (int)count_);
    return buffer;
}

bool Undo_delete::CanUndo() {
    NodeDb& db = static_cast<NodeDb&>(workspace_);
    return count_ != 0 && db.Header(layout::kPurgeMark) < stamp_;
}

int Undo_delete::Undo() {
    for (NodeId n = stack_.Pop(); n != 0; n = stack_.Pop()) {
        workspace_.ClearFlags(n, Deleted);
        workspace_.Touch(n);
    }
    count_ = 0;
    return 1;
}

uint32_t Undo_delete::Commit() { return static_cast<NodeDb&>(workspace_).Purge(); }
