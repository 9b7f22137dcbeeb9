// ExchangeIds: the connection ids that a browser process's shim gives its
// HTTP exchanges, one per request and its response. The program keys its
// table of connections under way by these ids, whatever sent them, so ids
// must not repeat among exchanges that are still open anywhere.
//
// An id is the base plus a count that wraps at 65536. The DLL takes its
// base from ExchangeIdBase (its process id), so browsers running side by
// side use different ranges; the count's range is many times what can be
// open in one process at once (kWatchSlots watches of kPendingMax
// exchanges each).
#ifndef SKEIND_SHIM_EXCHANGE_IDS_H
#define SKEIND_SHIM_EXCHANGE_IDS_H

#include <stdint.h>

#include <atomic>

const uint32_t kExchangeIdRange = 0x10000;

class ExchangeIds {
public:
    explicit ExchangeIds(uint32_t base) : base_(base), count_(0) {}
    // Safe to call from any thread.
    uint32_t Next() { return base_ + (count_.fetch_add(1) % kExchangeIdRange); }

private:
    const uint32_t base_;
    std::atomic<uint32_t> count_;
};

// A base for the process with id `process_id`: the top bit set keeps the
// range clear of the program's own reader and fetcher ids (0x0986xxxx and
// 0x0987xxxx); the next 15 bits come from the process id, whose two low
// bits are always 0 on Windows.
inline uint32_t ExchangeIdBase(uint32_t process_id) {
    return 0x80000000u | (((process_id >> 2) & 0x7FFFu) << 16);
}

#endif
