#include "app/undo_stack.h"

UndoStack::~UndoStack() {
    AUndo* record;
    while (records_.Pop(&record)) delete record;
}

void UndoStack::Push(AUndo* record) {
    if (record) records_.Push(record);
}

AUndo* UndoStack::DropStaleTop() {
    AUndo* record;
    while (records_.Peek(&record)) {
        if (record->CanUndo()) return record;
        records_.Pop(&record);
        delete record;
    }
    return 0;
}

bool UndoStack::UndoTop() {
    AUndo* record;
    if (!records_.Pop(&record)) return false;
    bool undone = record->CanUndo();
    if (undone) record->Undo();
    delete record;
    return undone;
}

void UndoStack::CommitAll() {
    AUndo* record;
    while (records_.Pop(&record)) {
        if (record->CanUndo()) record->Commit();
        delete record;
    }
}
