#include <winsock2.h>
#include <windows.h>

#include "observe/shim_listener.h"

namespace {

// Users of the socket library in this process; it is started with the
// first and shut down with the last.
int g_library_users = 0;

bool FromThisMachine(const sockaddr_in& from) { return (ntohl(from.sin_addr.s_addr) >> 24) == 127; }

}  // namespace

ShimListener::ShimListener(AClient* client) : error_(0), socket_(INVALID_SOCKET), library_(false), client_(client) {}

ShimListener::~ShimListener() { Stop(); }

bool ShimListener::Start(uint16_t port) {
    if (!library_) {
        library_ = true;
        if (g_library_users++ == 0) {
            WSADATA data;
            int e = WSAStartup(MAKEWORD(1, 1), &data);
            if (e != 0) {
                error_ = (uint32_t)e;
                return false;
            }
            if (LOBYTE(data.wVersion) < 1 || (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) < 1)) {
                error_ = kErrorOldSocketLibrary;
                return false;
            }
        }
    }
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        error_ = (uint32_t)WSAGetLastError();
        return false;
    }
    int buffer = kShimReceiveBuffer;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, (const char*)&buffer, sizeof buffer);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, (const sockaddr*)&address, sizeof address) != 0) {
        error_ = (uint32_t)WSAGetLastError();
        closesocket(s);
        return false;
    }
    socket_ = s;
    return true;
}

bool ShimListener::RequestNotification(void* window) {
    if (socket_ == INVALID_SOCKET) return false;
    if (WSAAsyncSelect((SOCKET)socket_, (HWND)window, kShimMessage, FD_READ) != 0) {
        error_ = (uint32_t)WSAGetLastError();
        return false;
    }
    return true;
}

int ShimListener::Receive() {
    if (socket_ == INVALID_SOCKET) return 0;
    uint8_t buffer[kDatagramMax];
    sockaddr_in from = {};
    int from_length = sizeof from;
    int received = recvfrom((SOCKET)socket_, (char*)buffer, sizeof buffer, 0, (sockaddr*)&from, &from_length);
    if (received == SOCKET_ERROR) {
        // A datagram larger than the buffer ends here too (WSAEMSGSIZE).
        error_ = (uint32_t)WSAGetLastError();
        return 0;
    }
    if (from.sin_family != AF_INET || !FromThisMachine(from)) return 0;
    return DispatchDatagram(buffer, (size_t)received, *client_);
}

void ShimListener::Stop() {
    if (socket_ != INVALID_SOCKET) {
        closesocket((SOCKET)socket_);
        socket_ = INVALID_SOCKET;
    }
    if (library_) {
        library_ = false;
        if (--g_library_users == 0) WSACleanup();
    }
}
