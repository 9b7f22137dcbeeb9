// The shim's hooks: the socket calls that carry a browser's HTTP traffic,
// made exactly as the browser asked and then shown to the watch table.
// Data arrives through recv, recvfrom and WSARecvEx whichever way the
// browser waits for it (blocking, select or WSAAsyncSelect), so those
// waits need no hook of their own.
//
// Every hook makes the real call first and returns its result and its
// error code unchanged: the watching happens after, never alters the
// browser's bytes, and never lets an exception out.
#include <winsock2.h>

#include <stdio.h>

#include <atomic>

#include "observe/datagram.h"
#include "shim/exchange_ids.h"
#include "shim/real_exports_win32.h"
#include "shim/socket_calls_win32.h"
#include "shim/std_lock.h"
#include "shim/watch_table.h"

namespace {

// The browser's error code, as the real call left it, given back when the
// watching is done.
class KeptError {
public:
    KeptError() : error_(GetLastError()) {}
    ~KeptError() { SetLastError(error_); }

private:
    DWORD error_;
};

// The datagrams' way to the program: a non-blocking UDP socket on the real
// library, made when the first datagram is sent (Winsock is started by
// then: it is sent from inside a socket call). A datagram that cannot go
// at once is dropped; nobody listening loses them all, as it should.
// Called with the table's lock held.
class UdpSink final : public ADatagramSink {
public:
    UdpSink() : socket_(INVALID_SOCKET) {
        ZeroMemory(&to_, sizeof to_);
        to_.sin_family = AF_INET;
        to_.sin_port = (u_short)((kShimPort >> 8) | ((kShimPort & 0xFF) << 8));
        to_.sin_addr.s_addr = 0x0100007F;  // 127.0.0.1, in network order
    }

    void Send(const uint8_t* bytes, size_t count) override {
        if (socket_ == INVALID_SOCKET && !Open()) return;
        ((SendToCall)real_sendto)(socket_, (const char*)bytes, (int)count, 0, (const sockaddr*)&to_, sizeof to_);
    }

    // Closes the socket before the browser's last WSACleanup would, so
    // that its handle can never be reused for one of the browser's own.
    void Shut() {
        if (socket_ == INVALID_SOCKET) return;
        ((CloseCall)real_closesocket)(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    bool Open() {
        socket_ = ((SocketCall)real_socket)(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (socket_ == INVALID_SOCKET) return false;
        u_long non_blocking = 1;
        if (((IoctlCall)real_ioctlsocket)(socket_, FIONBIO, &non_blocking) != 0) Shut();
        return socket_ != INVALID_SOCKET;
    }

    SOCKET socket_;
    sockaddr_in to_;
};

// Made once at attach and never destroyed (see DllMain).
StdLock* g_lock = 0;
UdpSink* g_sink = 0;
WatchTable* g_table = 0;
// The browser's WSAStartup calls not yet matched by WSACleanup, under g_lock.
int g_startups = 0;

// The flusher: a thread that sends records which have waited kHoldMs with
// no socket call to send them (a stalled exchange, an idle browser). While
// the browser is busy it looks every kHoldMs; after a second with nothing
// held it parks on g_wake, and g_flusher_idle tells the hooks that it
// needs waking. Waking costs a system call, so it is done once a burst
// rather than once a page.
HANDLE g_wake = 0;
std::atomic<bool> g_flusher_idle(true);
const int kQuietLooks = 1000 / kHoldMs;

DWORD WINAPI Flusher(void*) {
    for (;;) {
        g_flusher_idle = true;
        // Records held before the flag was set found it false and did not
        // wake us: look again before parking.
        if (!g_table->Holding()) WaitForSingleObject(g_wake, INFINITE);
        g_flusher_idle = false;
        for (int quiet = 0; quiet < kQuietLooks;) {
            Sleep(kHoldMs);
            quiet = g_table->FlushIfHeldTooLong() ? 0 : quiet + 1;
        }
    }
}

// After each watched call: wake the flusher when the call left records held.
void WakeFlusherIfHolding() {
    if (g_table->Holding() && g_flusher_idle.exchange(false)) SetEvent(g_wake);
}

uint32_t TickClock() {
    return GetTickCount();
}

// A stream socket connected (or connecting) to an IPv4 peer.
bool IsStreamToIPv4(SOCKET s, const sockaddr* name, int length) {
    if (!name || length < (int)sizeof(sockaddr_in) || name->sa_family != AF_INET) return false;
    int type = 0, size = sizeof type;
    if (((GetOptionCall)real_getsockopt)(s, SOL_SOCKET, SO_TYPE, (char*)&type, &size) != 0) return false;
    return type == SOCK_STREAM;
}

void Connected(SOCKET s, const sockaddr* name, int length) {
    if (!IsStreamToIPv4(s, name, length)) return;
    const sockaddr_in* peer = (const sockaddr_in*)name;
    const uint8_t* a = (const uint8_t*)&peer->sin_addr;
    const uint8_t* p = (const uint8_t*)&peer->sin_port;
    char host[16];
    snprintf(host, sizeof host, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    g_table->Connected((uintptr_t)s, host, (p[0] << 8) | p[1]);
}

// The table's calls, made after the real call: the browser's error code
// kept, and no exception let out into the browser.
void Sent(SOCKET s, const char* bytes, int sent) {
    if (sent <= 0) return;
    KeptError kept;
    try {
        g_table->Sent((uintptr_t)s, (const uint8_t*)bytes, (size_t)sent);
        WakeFlusherIfHolding();
    } catch (...) {
    }
}

// What a read call gave the browser: bytes, or (0 from a read of some
// bytes) the end of the peer's data. Peeked bytes are read again later.
void Read(SOCKET s, const char* bytes, int asked, int got, int flags) {
    if (got < 0 || asked <= 0 || (flags & MSG_PEEK)) return;
    KeptError kept;
    try {
        g_table->Received((uintptr_t)s, (const uint8_t*)bytes, (size_t)got);
        WakeFlusherIfHolding();
    } catch (...) {
    }
}

void Closed(SOCKET s) {
    KeptError kept;
    try {
        g_table->Closed((uintptr_t)s);
        WakeFlusherIfHolding();
    } catch (...) {
    }
}

int WINAPI HookWSAStartup(WORD version, WSADATA* data) {
    int result = ((StartupCall)real_WSAStartup)(version, data);
    if (result == 0) {
        KeptError kept;
        g_lock->Lock();
        ++g_startups;
        g_lock->Unlock();
    }
    return result;
}

// The browser's last WSACleanup closes all its sockets: their exchanges
// end, and the datagram socket goes first.
int WINAPI HookWSACleanup(void) {
    g_lock->Lock();
    bool last = g_startups == 1;
    if (g_startups > 0) --g_startups;
    g_lock->Unlock();
    if (last) {
        try {
            g_table->EndAll();
        } catch (...) {
        }
        g_lock->Lock();
        g_sink->Shut();
        g_lock->Unlock();
    }
    return ((CleanupCall)real_WSACleanup)();
}

int WINAPI HookConnect(SOCKET s, const sockaddr* name, int length) {
    int result = ((ConnectCall)real_connect)(s, name, length);
    KeptError kept;
    if (result == 0 || GetLastError() == WSAEWOULDBLOCK) {
        try {
            Connected(s, name, length);
            WakeFlusherIfHolding();
        } catch (...) {
        }
    }
    return result;
}

int WINAPI HookSend(SOCKET s, const char* bytes, int count, int flags) {
    int sent = ((SendCall)real_send)(s, bytes, count, flags);
    Sent(s, bytes, sent);
    return sent;
}

// sendto on a connected stream socket is send.
int WINAPI HookSendTo(SOCKET s, const char* bytes, int count, int flags, const sockaddr* to, int length) {
    int sent = ((SendToCall)real_sendto)(s, bytes, count, flags, to, length);
    Sent(s, bytes, sent);
    return sent;
}

int WINAPI HookRecv(SOCKET s, char* bytes, int count, int flags) {
    int got = ((RecvCall)real_recv)(s, bytes, count, flags);
    Read(s, bytes, count, got, flags);
    return got;
}

int WINAPI HookRecvFrom(SOCKET s, char* bytes, int count, int flags, sockaddr* from, int* length) {
    int got = ((RecvFromCall)real_recvfrom)(s, bytes, count, flags, from, length);
    Read(s, bytes, count, got, flags);
    return got;
}

int WINAPI HookWSARecvEx(SOCKET s, char* bytes, int count, int* flags) {
    int asked_flags = flags ? *flags : 0;
    int got = ((RecvExCall)real_WSARecvEx)(s, bytes, count, flags);
    Read(s, bytes, count, got, asked_flags);
    return got;
}

// The watch ends before the handle is given back: once closed, another
// thread's new socket may get the same handle.
int WINAPI HookCloseSocket(SOCKET s) {
    Closed(s);
    return ((CloseCall)real_closesocket)(s);
}

}  // namespace

bool InstallHooks() {
    if (!real_WSAStartup || !real_WSACleanup || !real_socket || !real_sendto || !real_ioctlsocket || !real_getsockopt ||
        !real_closesocket)
        return false;
    try {
        g_lock = new StdLock;
        g_sink = new UdpSink;
        ExchangeIds* ids = new ExchangeIds(ExchangeIdBase(GetCurrentProcessId()));
        g_table = new WatchTable(g_lock, ids, g_sink, TickClock);
    } catch (...) {
        return false;
    }
    // The thread starts running once the loader is done with this library.
    g_wake = CreateEventA(0, FALSE, FALSE, 0);
    HANDLE flusher = g_wake ? CreateThread(0, 0, Flusher, 0, 0, 0) : 0;
    if (!flusher) return false;
    CloseHandle(flusher);
    jump_WSAStartup = (void*)&HookWSAStartup;
    jump_WSACleanup = (void*)&HookWSACleanup;
    if (real_connect) jump_connect = (void*)&HookConnect;
    if (real_send) jump_send = (void*)&HookSend;
    jump_sendto = (void*)&HookSendTo;
    if (real_recv) jump_recv = (void*)&HookRecv;
    if (real_recvfrom) jump_recvfrom = (void*)&HookRecvFrom;
    if (real_WSARecvEx) jump_WSARecvEx = (void*)&HookWSARecvEx;
    jump_closesocket = (void*)&HookCloseSocket;
    return true;
}
