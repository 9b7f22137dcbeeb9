// The URL prefixes of every site filed under a host group, sorted byte-wise.
// Lives in memory only; rebuilt each time a workspace is opened.
#ifndef SKEIND_STORE_VISITED_LIST_H
#define SKEIND_STORE_VISITED_LIST_H

#include "store/earray.h"

class Visited_list : public EArray<char*> {
public:
    // Takes ownership of a malloc'd copy: inserts it in order and gives 1,
    // or frees it and gives 0 when an equal prefix is already there.
    int InsertSorted(char* copy);
    bool Contains(const char* prefix) const;

private:
    // Position of the first item not less than `s`; *found when equal.
    size_t Find(const char* s, bool* found) const;
};

#endif
