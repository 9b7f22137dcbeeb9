#include "store/visited_list.h"

#include <stdlib.h>
#include <string.h>

size_t Visited_list::Find(const char* s, bool* found) const {
    size_t lo = 0, hi = Count();
    *found = false;
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        int c = strcmp((*this)[mid], s);  // strcmp compares as unsigned char
        if (c == 0) {
            *found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int Visited_list::InsertSorted(char* copy) {
    bool found;
    size_t at = Find(copy, &found);
    if (found || !InsertAt(at, copy)) {
        free(copy);
        return 0;
    }
    return 1;
}

bool Visited_list::Contains(const char* prefix) const {
    bool found;
    Find(prefix, &found);
    return found;
}
