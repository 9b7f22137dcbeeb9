// WatchTable: the browser's watched connections by socket handle, for the
// DLL's hooks, which may be called on any thread.
//
// One lock guards the table and every watch in it, held for the whole of
// each call: a socket used from two threads (one sending, one reading)
// then reaches its watch one call at a time, and a watch cannot be ended
// by one thread while another feeds it. The work under the lock is bounded
// by the bytes of the one call.
//
// The table has kWatchSlots entries and never grows: when it is full, a
// new connection ends the least recently used watch (its open exchanges
// closed to the program) and takes its entry, so a browser that never
// calls closesocket cannot make the shim hold more. A watch that has
// stopped watching (not HTTP, or its framing lost) leaves the table at
// once; later calls on its socket find nothing and are passed over, as
// are calls on sockets that were never connected through the shim.
//
// Datagrams: every watch reports into one client, so that records of
// several exchanges and socket calls share a datagram; each datagram
// costs the browser a send, dear under some systems. At the end of each
// call the records held are sent when no exchange is open anywhere (the
// browser has what it asked for, and so has the program) or when they
// have waited kHoldMs; the DLL's flusher thread sends those that wait
// that long with no call coming.
#ifndef SKEIND_SHIM_WATCH_TABLE_H
#define SKEIND_SHIM_WATCH_TABLE_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>

#include "shim/datagram_client.h"
#include "shim/exchange_ids.h"
#include "shim/http_watch.h"

// The lock the DLL provides (shim/std_lock.h has one on std::mutex).
class ALock {
public:
    virtual void Lock() = 0;
    virtual void Unlock() = 0;

protected:
    ~ALock() {}
};

const int kWatchSlots = 256;
// How long records may wait for more to fill their datagram while an
// exchange is open somewhere (milliseconds).
const uint32_t kHoldMs = 50;

// A clock in milliseconds that may wrap (the DLL's is GetTickCount).
typedef uint32_t (*MsClock)();

class WatchTable {
public:
    // `lock`, `ids` and `sink` must outlive the table. `sink` is called
    // with the lock held.
    WatchTable(ALock* lock, ExchangeIds* ids, ADatagramSink* sink, MsClock clock);
    // Ends every watch.
    ~WatchTable();

    // The browser connected `socket` to `peer_host` (its address as text)
    // and `peer_port`. A watch still held for the same handle (its close was
    // missed) is ended first.
    void Connected(uintptr_t socket, const char* peer_host, int peer_port);
    void Sent(uintptr_t socket, const uint8_t* bytes, size_t count);
    // A count of 0 is the end of the peer's data.
    void Received(uintptr_t socket, const uint8_t* bytes, size_t count);
    void Closed(uintptr_t socket);
    // Sends the records held if they have waited kHoldMs; answers whether
    // records are still held.
    bool FlushIfHeldTooLong();
    // Records are held (read without the lock: a hint for the flusher).
    bool Holding() const { return holding_; }
    // Ends every watch: the browser's sockets are all going (its last
    // WSACleanup).
    void EndAll();

    // Watches held.
    int Count();

private:
    WatchTable(const WatchTable&);
    WatchTable& operator=(const WatchTable&);

    struct Entry {
        uintptr_t socket;
        HttpWatch* watch;    // owned; none when the entry is free
        uint64_t last_used;  // tick of the last call on the socket
    };

    Entry* Find(uintptr_t socket);
    bool Feed(Entry* entry, bool sent, const uint8_t* bytes, size_t count);
    void BeginCall();
    void FlushIfDue();
    bool AnyExchangeOpen() const;
    Entry* FreeOrOldest();
    void Remove(Entry* entry);
    void Touch(Entry* entry);

    ALock* lock_;
    ExchangeIds* ids_;
    // Every watch's records, packed together.
    DatagramClient client_;
    MsClock clock_;
    std::atomic<bool> holding_;  // client_ holds records
    uint32_t held_since_;        // since when, by clock_: the start of the call that made them
    uint32_t call_start_;
    Entry entries_[kWatchSlots];
    uint64_t tick_;
};

#endif
