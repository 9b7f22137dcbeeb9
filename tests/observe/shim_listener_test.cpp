// The listener on a real UDP socket: datagrams sent to it from this
// process arrive as window messages and are dispatched; datagrams from
// another address, or too large, are not.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "observe/shim_listener.h"
#include "tests/support/program_win32.h"
#include "tests/support/temp_dir.h"
#include "tools/scanreplay/call_log.h"

namespace {

class ShimListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
        window_ = CreateWindowExA(0, "STATIC", "shim test", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        ASSERT_TRUE(listener_.Start(kShimPort)) << listener_.last_error();
        ASSERT_TRUE(listener_.RequestNotification(window_)) << listener_.last_error();
        sender_ = socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_NE(INVALID_SOCKET, sender_);
    }
    void TearDown() override {
        closesocket(sender_);
        listener_.Stop();
        DestroyWindow(window_);
        WSACleanup();
    }

    void SendFrom(const void* bytes, size_t n, u_long to_address) {
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(kShimPort);
        to.sin_addr.s_addr = to_address;
        ASSERT_EQ((int)n, sendto(sender_, (const char*)bytes, (int)n, 0, (const sockaddr*)&to, sizeof to));
    }
    void Send(const DatagramWriter& w, size_t n) { SendFrom(w.bytes, n, htonl(INADDR_LOOPBACK)); }

    // Receives what the listener's next message brings; -1 when none comes
    // within 5 s.
    int ReceiveOne() {
        MSG msg;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(5))
            while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE))
                if (msg.message == kShimMessage) return listener_.Receive();
        return -1;
    }

    CallLog client_{42};
    ShimListener listener_{&client_};
    HWND window_ = 0;
    SOCKET sender_ = INVALID_SOCKET;
};

TEST_F(ShimListenerTest, DatagramsFromThisMachineAreDispatchedOnePerMessage) {
    DatagramWriter first;
    first.Add(RecRequest, 42, OP_GET, "http://h/", 0);
    first.Add(RecResync, 42, 0, 0, 0);
    Send(first, first.Finish());
    DatagramWriter second;
    second.Add(RecClose, 42, 0, 0, 0);
    Send(second, second.Finish());

    EXPECT_EQ(DatagramDispatched | DatagramResync, ReceiveOne());
    EXPECT_EQ("Request(http://h/,0)\n", client_.Text());
    EXPECT_EQ(DatagramDispatched, ReceiveOne());
    EXPECT_EQ("Close()", client_.lines.back());
    EXPECT_EQ(0u, listener_.last_error());
}

TEST_F(ShimListenerTest, MalformedAndOversizedDatagramsDispatchNothing) {
    DatagramWriter w;
    w.Add(RecClose, 1, 0, 0, 0);
    size_t n = w.Finish();
    w.bytes[2] = (uint8_t)(n + 1);  // length one more than sent
    Send(w, n);
    EXPECT_EQ(0, ReceiveOne());

    std::vector<uint8_t> big(600, 0);
    big[0] = 1;
    big[2] = (uint8_t)(600 & 0xFF);
    big[3] = (uint8_t)(600 >> 8);
    SendFrom(big.data(), big.size(), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(0, ReceiveOne());
    EXPECT_EQ((uint32_t)WSAEMSGSIZE, listener_.last_error());
    EXPECT_TRUE(client_.lines.empty());
}

// A burst sent while the window is busy waits in the socket's buffer: 300
// datagrams of nearly 512 bytes are more than a socket's default buffer
// holds, here and on Windows.
TEST_F(ShimListenerTest, ABurstWaitsInTheReceiveBufferUntilRead) {
    const int kBurst = 300;
    std::string url = "http://h/" + std::string(200, 'u');
    std::string title(250, 't');
    DatagramWriter w;
    ASSERT_TRUE(w.Add(RecRequest, 42, OP_GET, url.c_str(), 0));
    ASSERT_TRUE(w.Add(RecTitle, 42, TT_TITLE, title.c_str(), 0));
    size_t n = w.Finish();
    ASSERT_GE(n, 480u);
    for (int i = 0; i < kBurst; ++i) Send(w, n);

    int dispatched = 0;
    while (dispatched < kBurst && ReceiveOne() == DatagramDispatched) ++dispatched;
    EXPECT_EQ(kBurst, dispatched);
    EXPECT_EQ((size_t)(2 * kBurst), client_.lines.size());
}

// This machine's address on its network, if it has one.
u_long NetworkAddress() {
    char name[256];
    if (gethostname(name, sizeof name) != 0) return 0;
    hostent* host = gethostbyname(name);
    if (host == 0 || host->h_addrtype != AF_INET) return 0;
    for (char** a = host->h_addr_list; *a; ++a) {
        u_long address;
        memcpy(&address, *a, 4);
        if ((ntohl(address) >> 24) != 127) return address;
    }
    return 0;
}

TEST_F(ShimListenerTest, DatagramsFromAnotherAddressAreDropped) {
    u_long address = NetworkAddress();
    if (address == 0) GTEST_SKIP() << "this machine has no network address besides loopback";
    DatagramWriter w;
    w.Add(RecRequest, 1, OP_GET, "http://intruder/", 0);
    size_t n = w.Finish();
    // Sent to the machine's own network address, the datagram arrives from
    // that address rather than from loopback.
    SendFrom(w.bytes, n, address);
    EXPECT_EQ(0, ReceiveOne());
    EXPECT_TRUE(client_.lines.empty());
}

// The sender tool, run as its own process, plays a script into the socket.
TEST_F(ShimListenerTest, TheSenderToolsScriptArrivesRecordForRecord) {
    TempDir dir;
    std::string script = dir.File("script.txt");
    const std::string text = "id 42\nrequest http://h/\nstatus 200\nsend\ntitle title Home\nclose\nresync\n";
    ASSERT_TRUE(WriteWholeFile(script, text.data(), text.size()));
    EXPECT_EQ(0, ExitCodeOf(BesideThisProgram("shimsend.exe"), "\"" + script + "\"", "", 20000));

    EXPECT_EQ(DatagramDispatched, ReceiveOne());
    EXPECT_EQ(DatagramDispatched | DatagramResync, ReceiveOne());
    EXPECT_EQ("Request(http://h/,0)\nStatus(200)\nTitle(\"Home\",1)\nClose()\n", client_.Text());
}

TEST(ShimListenerStart, SecondListenerOnThePortFailsWithItsError) {
    CallLog client;
    ShimListener first(&client), second(&client);
    ASSERT_TRUE(first.Start(kShimPort));
    EXPECT_FALSE(second.Start(kShimPort));
    EXPECT_EQ((uint32_t)WSAEADDRINUSE, second.last_error());
    EXPECT_EQ(0, second.Receive());
}

}  // namespace
