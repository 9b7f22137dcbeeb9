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
#ifndef SKEIND_SHIM_WATCH_TABLE_H
#define SKEIND_SHIM_WATCH_TABLE_H

#include <stddef.h>
#include <stdint.h>

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

class WatchTable {
public:
    // `lock`, `ids` and `sink` must outlive the table. `sink` is called
    // with the lock held.
    WatchTable(ALock* lock, ExchangeIds* ids, ADatagramSink* sink);
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
    Entry* FreeOrOldest();
    void Remove(Entry* entry);
    void Touch(Entry* entry);

    ALock* lock_;
    ExchangeIds* ids_;
    ADatagramSink* sink_;
    Entry entries_[kWatchSlots];
    uint64_t tick_;
};

#endif
