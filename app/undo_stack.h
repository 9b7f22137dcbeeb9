// The main window's undo stack: owned undo records, newest on top.
#ifndef SKEIND_APP_UNDO_STACK_H
#define SKEIND_APP_UNDO_STACK_H

#include <stddef.h>

#include "app/chunked_stack.h"
#include "store/undo.h"

class UndoStack {
public:
    UndoStack() {}
    // Records still here are neither undone nor made final.
    ~UndoStack();

    void Push(AUndo* record);  // takes ownership; null is ignored
    bool Empty() const { return records_.Empty(); }

    // Destroys records on top that can no longer be undone and gives the
    // one left on top, or null. The Edit menu asks this as it opens.
    AUndo* DropStaleTop();
    // Takes the top record off and undoes it when it still can; true when
    // something was undone.
    bool UndoTop();
    // Makes every record that still could be undone final, and empties
    // the stack: after this nothing can be undone.
    void CommitAll();

private:
    UndoStack(const UndoStack&);
    UndoStack& operator=(const UndoStack&);

    ChunkedStack<AUndo*> records_;
};

#endif
