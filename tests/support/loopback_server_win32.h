// LoopbackServer: a small HTTP server on 127.0.0.1 for tests of the
// program's own fetches. It listens on a free port, serves each connection
// on a thread of its own with blocking sockets, keeps the head of every
// request it reads, and answers by the request's target from a table the
// test fills. A target that is a whole URL is looked up as it is and then
// by its path, so the same server stands in for a proxy and the test reads
// which target arrived. Windows only.
#ifndef SKEIND_TESTS_SUPPORT_LOOPBACK_SERVER_WIN32_H
#define SKEIND_TESTS_SUPPORT_LOOPBACK_SERVER_WIN32_H

#include <winsock2.h>
#include <windows.h>

#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum ReplyHow {
    kReplyWhole,    // every byte, then close
    kReplyCut,      // the first `cut` bytes, then close
    kReplySilent,   // nothing; closes when the client does or the server stops
    kReplyTrickle,  // one byte every `interval` ms, then close
};

struct LoopbackReply {
    std::string bytes;
    ReplyHow how = kReplyWhole;
    size_t cut = 0;
    DWORD interval = 0;
};

// A whole HTTP/1.0 response: the status line, `headers` (each line ended
// by CRLF), Content-Length and the body.
std::string HttpResponse(int code, const std::string& headers, const std::string& body);

class LoopbackServer {
public:
    // Listens at once; port() is 0 when it could not.
    LoopbackServer();
    ~LoopbackServer();

    uint16_t port() const { return port_; }
    void Answer(const std::string& target, const LoopbackReply& reply);
    // For targets not in the table; a 404 until set.
    void AnswerOthers(const LoopbackReply& reply);
    // The head of every request read so far, in the order they arrived.
    std::vector<std::string> Requests() const;
    // Connections answered to the end and closed.
    size_t answered() const;
    // Closes the listener, ends every connection and waits for the threads.
    void Stop();

private:
    LoopbackServer(const LoopbackServer&);
    LoopbackServer& operator=(const LoopbackServer&);
    void AcceptConnections();
    void Serve(SOCKET connection);
    bool ReadHead(SOCKET connection, std::string* head);
    LoopbackReply ReplyFor(const std::string& head) const;
    void Send(SOCKET connection, const LoopbackReply& reply);
    // Waits until `s` is readable; false once the server is stopping.
    bool WaitReadable(SOCKET s);

    bool started_;
    SOCKET listener_;
    uint16_t port_;
    HANDLE stop_;  // set when the server stops
    mutable std::mutex mutex_;
    std::map<std::string, LoopbackReply> replies_;
    LoopbackReply others_;
    std::vector<std::string> requests_;
    size_t answered_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

#endif
