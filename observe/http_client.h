// HttpClient: the program's own HTTP/1.0 fetches, at most four at once,
// each read by a PageScanner that reports to the given client as the
// shim would. Sockets are non-blocking and report to a window with a
// message; the window hands every notification back to Notify. Windows
// only.
#ifndef SKEIND_OBSERVE_HTTP_CLIENT_H
#define SKEIND_OBSERVE_HTTP_CLIENT_H

#include <winsock2.h>
#include <windows.h>

#include <stdint.h>

#include <string>

#include "observe/client.h"
#include "observe/fetch_plan.h"
#include "observe/page_scanner.h"
#include "store/progress.h"

const int kFetchSlots = 4;
const uint32_t kFetchIdBase = 0x09860000;
// A fetch that sends or receives nothing for this long is closed.
const DWORD kFetchIdleLimit = 60000;

class HttpClient {
public:
    // Starts the socket library (version 1.1).
    HttpClient();
    // Closes every fetch still open and ends the socket library.
    ~HttpClient();

    // The browser's proxy settings, read once from the registry.
    void ReadProxySettings();
    ProxySettings& proxy() { return proxy_; }

    // Starts a fetch; answers its number, the number of a fetch of the same
    // URL under way, or -1 (no free slot, a URL that cannot be fetched, a
    // host that cannot be resolved, a socket that cannot be made).
    int32_t Fetch(const char* url, AClient* client, AProgressbar* progress, HWND window, UINT message);
    // A socket notification: wparam is the socket, lparam the event and
    // error as WSAAsyncSelect gives them.
    void Notify(WPARAM socket, LPARAM event);
    // Closes fetches idle for kFetchIdleLimit; called on the main window's
    // timer.
    void CloseIdle();
    // Tests wait milliseconds, not a minute.
    void set_idle_limit(DWORD ms) { idle_limit_ = ms; }

    int busy_slots() const;
    // Bytes read from every fetch's socket so far, heads and bodies: what
    // a throughput figure counts.
    uint64_t bytes_received() const { return bytes_received_; }

private:
    struct Slot {
        std::string url;  // empty: the slot is free
        std::string host;
        AProgressbar* progress = 0;
        int32_t number = 0;
        SOCKET socket = INVALID_SOCKET;
        std::string request;  // what is still to be sent
        size_t sent = 0;
        PageScanner* scanner = 0;
        AClient* client = 0;
        DWORD last_activity = 0;
        // Events before the connect's are stale ones of an earlier socket
        // with the same handle, still queued when it closed.
        bool connect_seen = false;
    };
    HttpClient(const HttpClient&);
    HttpClient& operator=(const HttpClient&);
    Slot* SlotOfSocket(SOCKET socket);
    // Opens the socket and starts connecting; INVALID_SOCKET on failure.
    SOCKET StartConnect(const FetchPlan& plan, HWND window, UINT message);
    void Finish(Slot* slot);
    void SendMore(Slot* slot);
    void Receive(Slot* slot);
    void ReceiveRest(Slot* slot);

    Slot slots_[kFetchSlots];
    int32_t next_number_;
    DWORD idle_limit_;
    ProxySettings proxy_;
    bool started_;
    uint64_t bytes_received_;
};

#endif
