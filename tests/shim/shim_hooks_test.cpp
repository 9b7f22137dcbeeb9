// qmrsk32.dll's hooks in this process: real sockets opened, connected,
// written and read through the shim's exports against a loopback server,
// and the datagrams it sends caught on the program's UDP port. The peer's
// address and port (no Host header is sent) make the page's URL.
#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "observe/datagram.h"
#include "shim/socket_calls_win32.h"
#include "tests/shim/decoding_sink.h"
#include "tests/support/loopback_server_win32.h"

namespace {

const char kPage[] =
    "<title>Shim page</title><a href=\"next.html\">Next</a>"
    "<img src=\"pic.gif\" alt=\"Picture\">";

// The shim's exports, as a doctored browser calls them.
struct Shim {
    HMODULE module = LoadLibraryA(SKEIND_SHIM_DLL);
    StartupCall startup = (StartupCall)Get("WSAStartup");
    CleanupCall cleanup = (CleanupCall)Get("WSACleanup");
    SocketCall socket = (SocketCall)Get("socket");
    ConnectCall connect = (ConnectCall)Get("connect");
    SendCall send = (SendCall)Get("send");
    RecvCall recv = (RecvCall)Get("recv");
    RecvFromCall recvfrom = (RecvFromCall)Get("recvfrom");
    RecvExCall recv_ex = (RecvExCall)Get("WSARecvEx");
    CloseCall close = (CloseCall)Get("closesocket");
    IoctlCall ioctl = (IoctlCall)Get("ioctlsocket");
    LastErrorCall last_error = (LastErrorCall)Get("WSAGetLastError");

    void* Get(const char* name) { return module ? (void*)GetProcAddress(module, name) : 0; }
};

// How the browser reads: which call, and how much at a time.
enum ReadCall { ByRecv, ByPeekThenRecv, ByRecvFrom, ByRecvEx };

// The program's end of the datagrams: the calls they carry, every id
// left out (each test has one exchange open at a time).
class DatagramCatcher {
public:
    DatagramCatcher() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at = {};
        at.sin_family = AF_INET;
        at.sin_port = htons(kShimPort);
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = bind(socket_, (const sockaddr*)&at, sizeof at) == 0;
    }
    ~DatagramCatcher() {
        closesocket(socket_);
        WSACleanup();
    }
    bool bound() const { return bound_; }

    // The calls up to and with the next Close(), or all that came while
    // datagrams kept coming within `wait_ms`.
    Calls UpToClose(DWORD wait_ms = 3000) {
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, (const char*)&wait_ms, sizeof wait_ms);
        Calls calls;
        while (calls.empty() || calls.back() != "Close()") {
            uint8_t datagram[kDatagramMax + 1];
            int n = ::recv(socket_, (char*)datagram, sizeof datagram, 0);
            if (n <= 0) break;
            DecodingSink sink;
            sink.Send(datagram, (size_t)n);
            for (std::string line : sink.log.lines) {
                if (line[0] == '[') line.erase(0, line.find("] ") + 2);
                calls.push_back(line);
            }
        }
        return calls;
    }

private:
    SOCKET socket_;
    bool bound_;
};

class ShimHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(shim.module && shim.recv_ex && shim.last_error) << "the shim and its exports";
        ASSERT_TRUE(catcher.bound()) << "the program's UDP port is taken";
        WSADATA data;
        ASSERT_EQ(0, shim.startup(MAKEWORD(1, 1), &data));
        server.Answer("/page.html", {HttpResponse(200, "Content-Type: text/html\r\n", kPage)});
        page_url = "http://127.0.0.1:" + std::to_string(server.port()) + "/page.html";
    }
    void TearDown() override { shim.cleanup(); }

    int ConnectToServer(SOCKET s) {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(server.port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return shim.connect(s, (const sockaddr*)&to, sizeof to);
    }
    SOCKET Connected() {
        SOCKET s = shim.socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(0, ConnectToServer(s));
        return s;
    }
    void Request(SOCKET s, const char* path) {
        std::string request = std::string("GET ") + path + " HTTP/1.0\r\nAccept: */*\r\n\r\n";
        EXPECT_EQ((int)request.size(), shim.send(s, request.data(), (int)request.size(), 0));
    }
    // Everything the peer sends, `piece` bytes at a time.
    std::string ReadAll(SOCKET s, ReadCall call, int piece) {
        std::string got;
        char block[4096];
        for (;;) {
            int n = 0, flags = 0;
            switch (call) {
            case ByPeekThenRecv:
                if (shim.recv(s, block, piece, MSG_PEEK) <= 0) return got;
                n = shim.recv(s, block, piece, 0);  // the same bytes, read for real
                break;
            case ByRecv: n = shim.recv(s, block, piece, 0); break;
            case ByRecvFrom: n = shim.recvfrom(s, block, piece, 0, 0, 0); break;
            case ByRecvEx: n = shim.recv_ex(s, block, piece, &flags); break;
            }
            if (n <= 0) return got;
            got.append(block, (size_t)n);
        }
    }

    Shim shim;
    DatagramCatcher catcher;
    LoopbackServer server;
    std::string page_url;
};

// Every way of reading, whole and a byte at a time: the browser gets the
// server's bytes unchanged and the program the page's records.
TEST_F(ShimHooksTest, APageReadThroughTheShimBecomesItsRecords) {
    const Calls expected = {"Request(" + page_url + ",0)",
                            "Status(200)",
                            "ContentType(text/html)",
                            "Title(\"Shim page\",1)",
                            "Link(next.html,0,\"Next\")",
                            "Link(pic.gif,1,\"image\")",
                            "Close()"};
    const std::string served = HttpResponse(200, "Content-Type: text/html\r\n", kPage);
    for (ReadCall call : {ByRecv, ByPeekThenRecv, ByRecvFrom, ByRecvEx}) {
        for (int piece : {4096, 1}) {
            SCOPED_TRACE("read call " + std::to_string(call) + ", " + std::to_string(piece) + " bytes");
            SOCKET s = Connected();
            Request(s, "/page.html");
            EXPECT_EQ(served, ReadAll(s, call, piece));
            EXPECT_EQ(0, shim.close(s));
            EXPECT_EQ(expected, catcher.UpToClose());
        }
    }
}

// The watching happens between the real call and the browser: the error
// codes the browser reads after a non-blocking call are the real ones.
TEST_F(ShimHooksTest, TheBrowsersErrorCodesAreKept) {
    SOCKET s = shim.socket(AF_INET, SOCK_STREAM, 0);
    u_long non_blocking = 1;
    ASSERT_EQ(0, shim.ioctl(s, FIONBIO, &non_blocking));
    if (ConnectToServer(s) != 0) {
        EXPECT_EQ(WSAEWOULDBLOCK, shim.last_error());
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval wait = {5, 0};
    ASSERT_EQ(1, select(0, 0, &writable, 0, &wait));
    char byte;
    EXPECT_EQ(SOCKET_ERROR, shim.recv(s, &byte, 1, 0));
    EXPECT_EQ(WSAEWOULDBLOCK, shim.last_error());
    // Watched from the non-blocking connect on: the request makes a page.
    Request(s, "/page.html");
    EXPECT_EQ(0, shim.close(s));
    EXPECT_EQ((Calls{"Request(" + page_url + ",0)", "Close()"}), catcher.UpToClose());
}

// A response cut off by the server, and a connection the browser never
// closes: both end their exchange, the second at the browser's last
// WSACleanup.
TEST_F(ShimHooksTest, ConnectionsThatEndWithoutAnAnswerAreClosed) {
    LoopbackReply cut = {HttpResponse(200, "Content-Type: text/html\r\n", kPage)};
    cut.how = kReplyCut;
    cut.cut = cut.bytes.find("<a");
    server.Answer("/cut.html", cut);
    SOCKET s = Connected();
    Request(s, "/cut.html");
    ReadAll(s, ByRecv, 4096);
    std::string cut_url = "http://127.0.0.1:" + std::to_string(server.port()) + "/cut.html";
    EXPECT_EQ((Calls{"Request(" + cut_url + ",0)", "Status(200)", "ContentType(text/html)", "Title(\"Shim page\",1)",
                     "Close()"}),
              catcher.UpToClose());
    shim.close(s);

    s = Connected();
    Request(s, "/page.html");
    EXPECT_EQ((Calls{"Request(" + page_url + ",0)"}), catcher.UpToClose(300));
    WSADATA data;
    ASSERT_EQ(0, shim.startup(MAKEWORD(1, 1), &data));
    shim.cleanup();  // not the last: the exchange goes on
    EXPECT_EQ(Calls{}, catcher.UpToClose(300));
    shim.cleanup();
    EXPECT_EQ((Calls{"Close()"}), catcher.UpToClose());
    ASSERT_EQ(0, shim.startup(MAKEWORD(1, 1), &data));  // for TearDown
}

}  // namespace
