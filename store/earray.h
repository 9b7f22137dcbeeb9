// EArray_base: a growable array of pointers whose capacity is kept at the
// count rounded up to a multiple of 16. EArray<char*> owns its strings.
#ifndef SKEIND_STORE_EARRAY_H
#define SKEIND_STORE_EARRAY_H

#include <stddef.h>

class EArray_base {
public:
    EArray_base() : count_(0), capacity_(0), items_(0) {}
    ~EArray_base();

    size_t Count() const { return count_; }
    void* At(size_t i) const { return items_[i]; }
    // Inserts at position `at` (0..Count()); false when memory ran out.
    bool InsertAt(size_t at, void* item);
    void* RemoveAt(size_t at);
    void Clear();

private:
    EArray_base(const EArray_base&);
    EArray_base& operator=(const EArray_base&);
    size_t count_;
    size_t capacity_;
    void** items_;
};

template <class T>
class EArray;

// Owned heap strings: removing or clearing frees them.
template <>
class EArray<char*> : public EArray_base {
public:
    ~EArray() { FreeAll(); }
    const char* operator[](size_t i) const { return (const char*)At(i); }
    void FreeAll();
};

#endif
