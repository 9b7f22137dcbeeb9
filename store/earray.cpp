#include "store/earray.h"

#include <stdlib.h>
#include <string.h>

EArray_base::~EArray_base() { free(items_); }

bool EArray_base::InsertAt(size_t at, void* item) {
    if (at > count_) return false;
    if (count_ == capacity_) {
        size_t grown = (count_ + 1 + 15) & ~(size_t)15;
        void** more = (void**)realloc(items_, grown * sizeof(void*));
        if (!more) return false;
        items_ = more;
        capacity_ = grown;
    }
    memmove(items_ + at + 1, items_ + at, (count_ - at) * sizeof(void*));
    items_[at] = item;
    ++count_;
    return true;
}

void* EArray_base::RemoveAt(size_t at) {
    void* item = items_[at];
    memmove(items_ + at, items_ + at + 1, (count_ - at - 1) * sizeof(void*));
    --count_;
    return item;
}

void EArray_base::Clear() { count_ = 0; }

void EArray<char*>::FreeAll() {
    for (size_t i = 0; i < Count(); ++i) free(At(i));
    Clear();
}
