// Walks a Db's free lists and bitmaps and reports the first broken rule.
// With the set of blocks the caller holds, it also proves that every byte
// of the file is accounted for exactly once: headers, bitmap pages, blocks
// in use and free blocks.
#ifndef SKEIND_TESTS_DB_CHECKER_H
#define SKEIND_TESTS_DB_CHECKER_H

#include <stdint.h>

#include <map>
#include <string>

#include "store/db.h"

// Empty when all is well, else a description of the first fault.
// `in_use` maps block offsets to orders; pass null to skip the coverage
// check (when the caller does not know every block).
std::string CheckDb(const Db& db, const std::map<uint32_t, int>* in_use);

// Every free block, by order then list position.
std::map<uint32_t, int> FreeBlocksOf(const Db& db);

#endif
