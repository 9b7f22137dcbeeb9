// Every invariant of a workspace file, checked from the outside: the name
// tree (order, parents, heights, balance), both copies of every link, the
// spare cells, the texts, and the allocator with every block accounted for.
#ifndef SKEIND_TESTS_WORKSPACE_CHECKER_H
#define SKEIND_TESTS_WORKSPACE_CHECKER_H

#include <string>

#include "store/nodedb.h"

// Empty when all holds; else the first fault found.
std::string CheckWorkspace(const NodeDb& db);

#endif
