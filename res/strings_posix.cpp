// Texts from the table generated out of the resource script.
#include "res/strings.h"
#include "res/strings_table.h"

const char* AppString(int id) {
    unsigned lo = 0, hi = kAppStringCount;
    while (lo < hi) {
        unsigned mid = (lo + hi) / 2;
        if (kAppStrings[mid].id == id) return kAppStrings[mid].text;
        if (kAppStrings[mid].id < id)
            lo = mid + 1;
        else
            hi = mid;
    }
    return "";
}
