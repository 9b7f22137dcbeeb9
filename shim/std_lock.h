// StdLock: ALock on std::mutex, for builds whose threads std::mutex serves
// (native, and mingw-w64 with posix threads as this project builds).
#ifndef SKEIND_SHIM_STD_LOCK_H
#define SKEIND_SHIM_STD_LOCK_H

#include <mutex>

#include "shim/watch_table.h"

class StdLock final : public ALock {
public:
    void Lock() override { mutex_.lock(); }
    void Unlock() override { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

#endif
