// The string table as data, for builds without Windows resources.
#ifndef SKEIND_RES_STRINGS_TABLE_H
#define SKEIND_RES_STRINGS_TABLE_H

struct AppStringEntry {
    int id;
    const char* text;
};

extern const AppStringEntry kAppStrings[];  // sorted by id
extern const unsigned kAppStringCount;

#endif
