// The length of the random runs: a count from the environment (as set by
// the benchmarks and long soak runs), else the default.
#ifndef SKEIND_TESTS_STORE_RANDOM_RUNS_H
#define SKEIND_TESTS_STORE_RANDOM_RUNS_H

#include <stdlib.h>

inline int FromEnvironment(const char* name, int fallback) {
    const char* s = getenv(name);
    return s && atoi(s) > 0 ? atoi(s) : fallback;
}

#endif
