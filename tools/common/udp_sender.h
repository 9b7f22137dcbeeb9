// UdpSender: one UDP socket aimed at one address, for the test tools that
// send the program datagrams as its shim would. Header only; Windows
// builds link ws2_32.
#ifndef SKEIND_TOOLS_COMMON_UDP_SENDER_H
#define SKEIND_TOOLS_COMMON_UDP_SENDER_H

#ifdef _WIN32
#include <windows.h>
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stddef.h>

class UdpSender {
public:
    UdpSender() : socket_(kNone), to_() {}
    ~UdpSender() {
        if (socket_ != kNone) Close(socket_);
    }

    // `host` is a dotted IPv4 address. False when no socket can be made.
    bool Open(const char* host, int port) {
#ifdef _WIN32
        WSADATA data;
        if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
#endif
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (socket_ == kNone) return false;
        to_.sin_family = AF_INET;
        to_.sin_port = htons((unsigned short)port);
        to_.sin_addr.s_addr = inet_addr(host);
        return true;
    }

    // True when the whole datagram went.
    bool Send(const void* bytes, size_t n) {
        return sendto(socket_, (const char*)bytes, (int)n, 0, (const sockaddr*)&to_, sizeof to_) == (int)n;
    }

private:
#ifdef _WIN32
    typedef SOCKET Handle;
    static void Close(Handle s) {
        closesocket(s);
    }
    static const Handle kNone = INVALID_SOCKET;
#else
    typedef int Handle;
    static void Close(Handle s) {
        close(s);
    }
    static const Handle kNone = -1;
#endif
    Handle socket_;
    sockaddr_in to_;
};

#endif
