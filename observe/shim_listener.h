// ShimListener: the UDP socket on which the shim's datagrams arrive. The
// socket reports readiness as a window message; each message reads one
// datagram and dispatches it to the client. Windows only.
#ifndef SKEIND_OBSERVE_SHIM_LISTENER_H
#define SKEIND_OBSERVE_SHIM_LISTENER_H

#include <stdint.h>

#include "observe/client.h"
#include "observe/datagram.h"

// The message the socket's read readiness is posted as.
const unsigned kShimMessage = 0x1401;

// The receive buffer asked for: a burst of a few thousand datagrams waits
// in it while the window reads them one a message. Linux caps what is
// granted at net.core.rmem_max (and doubles it for its bookkeeping);
// Windows grants it as asked.
const int kShimReceiveBuffer = 4 << 20;

// Error code stored when the socket library is older than 1.1.
const uint32_t kErrorOldSocketLibrary = 0x2D000000;

class ShimListener {
public:
    explicit ShimListener(AClient* client);
    ~ShimListener();

    // Starts the socket library (first user), makes the socket, asks for
    // the receive buffer above and binds it to every local address at
    // `port`. On failure the error stays in last_error(); a smaller buffer
    // than asked for is no failure.
    bool Start(uint16_t port = kShimPort);
    // Asks for kShimMessage at `window` (an HWND) whenever a datagram waits.
    bool RequestNotification(void* window);
    // Reads one datagram and dispatches it: 0 (nothing done or rejected),
    // DatagramDispatched, or that with DatagramResync. Datagrams from
    // another machine are dropped: only this machine's shim may write into
    // the user's map.
    int Receive();
    // Closes the socket; the library is shut down with its last user.
    void Stop();

    uint32_t last_error() const { return error_; }

private:
    ShimListener(const ShimListener&);
    ShimListener& operator=(const ShimListener&);

    uint32_t error_;
    uintptr_t socket_;  // SOCKET; INVALID_SOCKET when there is none
    bool library_;      // this listener counts as a user of the library
    AClient* client_;
};

#endif
