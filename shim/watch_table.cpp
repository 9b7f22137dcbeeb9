#include "shim/watch_table.h"

namespace {

// Holds a lock for one scope.
class Held {
public:
    explicit Held(ALock* lock) : lock_(lock) { lock_->Lock(); }
    ~Held() { lock_->Unlock(); }

private:
    Held(const Held&);
    Held& operator=(const Held&);
    ALock* lock_;
};

}  // namespace

WatchTable::WatchTable(ALock* lock, ExchangeIds* ids, ADatagramSink* sink)
    : lock_(lock), ids_(ids), sink_(sink), tick_(0) {
    for (Entry& e : entries_) {
        e.socket = 0;
        e.watch = 0;
        e.last_used = 0;
    }
}

WatchTable::~WatchTable() {
    EndAll();
}

void WatchTable::Connected(uintptr_t socket, const char* peer_host, int peer_port) {
    Held held(lock_);
    Entry* e = Find(socket);
    if (e) Remove(e);
    e = FreeOrOldest();
    if (e->watch) Remove(e);
    try {
        e->watch = new HttpWatch(peer_host, peer_port, ids_, sink_);
    } catch (...) {
        return;  // out of memory: the connection goes unwatched
    }
    e->socket = socket;
    Touch(e);
}

void WatchTable::Sent(uintptr_t socket, const uint8_t* bytes, size_t count) {
    Held held(lock_);
    Entry* e = Find(socket);
    if (!e) return;
    Touch(e);
    if (!Feed(e, true, bytes, count) || !e->watch->Watching()) Remove(e);
}

void WatchTable::Received(uintptr_t socket, const uint8_t* bytes, size_t count) {
    Held held(lock_);
    Entry* e = Find(socket);
    if (!e) return;
    Touch(e);
    if (!Feed(e, false, bytes, count) || !e->watch->Watching()) Remove(e);
}

void WatchTable::Closed(uintptr_t socket) {
    Held held(lock_);
    Entry* e = Find(socket);
    if (e) Remove(e);
}

void WatchTable::EndAll() {
    Held held(lock_);
    for (Entry& e : entries_)
        if (e.watch) Remove(&e);
}

int WatchTable::Count() {
    Held held(lock_);
    int n = 0;
    for (const Entry& e : entries_)
        if (e.watch) ++n;
    return n;
}

WatchTable::Entry* WatchTable::Find(uintptr_t socket) {
    for (Entry& e : entries_)
        if (e.watch && e.socket == socket) return &e;
    return 0;
}

WatchTable::Entry* WatchTable::FreeOrOldest() {
    Entry* oldest = &entries_[0];
    for (Entry& e : entries_) {
        if (!e.watch) return &e;
        if (e.last_used < oldest->last_used) oldest = &e;
    }
    return oldest;
}

// False when the watch ran out of memory: the hooks run inside the
// browser's socket calls, where no exception may escape, and a watch that
// lost bytes can no longer follow its connection.
bool WatchTable::Feed(Entry* entry, bool sent, const uint8_t* bytes, size_t count) {
    try {
        if (sent)
            entry->watch->Sent(bytes, count);
        else
            entry->watch->Received(bytes, count);
        return true;
    } catch (...) {
        return false;
    }
}

// Ends the watch's exchanges (its destructor closes them) and frees the entry.
void WatchTable::Remove(Entry* entry) {
    delete entry->watch;
    entry->watch = 0;
    entry->socket = 0;
}

void WatchTable::Touch(Entry* entry) {
    entry->last_used = ++tick_;
}
