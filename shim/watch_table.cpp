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

WatchTable::WatchTable(ALock* lock, ExchangeIds* ids, ADatagramSink* sink, MsClock clock)
    : lock_(lock), ids_(ids), client_(sink), clock_(clock), holding_(false), held_since_(0), call_start_(0), tick_(0) {
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
    BeginCall();
    Entry* e = Find(socket);
    if (e) Remove(e);
    e = FreeOrOldest();
    if (e->watch) Remove(e);
    try {
        e->watch = new HttpWatch(peer_host, peer_port, ids_, &client_);
        e->socket = socket;
        Touch(e);
    } catch (...) {
        // Out of memory: the connection goes unwatched.
    }
    FlushIfDue();
}

void WatchTable::Sent(uintptr_t socket, const uint8_t* bytes, size_t count) {
    Held held(lock_);
    BeginCall();
    Entry* e = Find(socket);
    if (!e) return;
    Touch(e);
    if (!Feed(e, true, bytes, count) || !e->watch->Watching()) Remove(e);
    FlushIfDue();
}

void WatchTable::Received(uintptr_t socket, const uint8_t* bytes, size_t count) {
    Held held(lock_);
    BeginCall();
    Entry* e = Find(socket);
    if (!e) return;
    Touch(e);
    if (!Feed(e, false, bytes, count) || !e->watch->Watching()) Remove(e);
    FlushIfDue();
}

void WatchTable::Closed(uintptr_t socket) {
    Held held(lock_);
    BeginCall();
    Entry* e = Find(socket);
    if (!e) return;
    Remove(e);
    FlushIfDue();
}

void WatchTable::EndAll() {
    Held held(lock_);
    BeginCall();
    for (Entry& e : entries_)
        if (e.watch) Remove(&e);
    FlushIfDue();
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

bool WatchTable::FlushIfHeldTooLong() {
    Held held(lock_);
    if (holding_ && clock_() - held_since_ >= kHoldMs) {
        client_.Flush();
        holding_ = false;
    }
    return holding_;
}

// Notes when the call began, for records it may leave held.
void WatchTable::BeginCall() {
    if (!holding_) call_start_ = clock_();
}

// Sends the records held once nothing more is coming soon (see the header).
void WatchTable::FlushIfDue() {
    if (!client_.Holding()) {
        holding_ = false;
        return;
    }
    if (!holding_) {
        holding_ = true;
        held_since_ = call_start_;
    }
    if (!AnyExchangeOpen() || clock_() - held_since_ >= kHoldMs) {
        client_.Flush();
        holding_ = false;
    }
}

bool WatchTable::AnyExchangeOpen() const {
    for (const Entry& e : entries_)
        if (e.watch && e.watch->Pending() > 0) return true;
    return false;
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
