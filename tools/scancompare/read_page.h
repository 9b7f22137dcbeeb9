// ReadPage: a whole file appended to a string, for the tools that run the
// scanner over saved pages (scancompare, bench/scan_bench).
#ifndef SKEIND_TOOLS_SCANCOMPARE_READ_PAGE_H
#define SKEIND_TOOLS_SCANCOMPARE_READ_PAGE_H

#include <stdio.h>

#include <string>

inline bool ReadPage(const char* name, std::string* page) {
    FILE* f = fopen(name, "rb");
    if (!f) return false;
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) page->append(block, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

#endif
