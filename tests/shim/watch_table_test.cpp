// WatchTable: calls reach the watch of their socket, the table never grows
// past its size, and two threads may feed their sockets at once.
#include "shim/watch_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "shim/std_lock.h"
#include "tests/shim/decoding_sink.h"

namespace {

const uint32_t kBase = 1;

// The table's clock: each reading moves it on by g_step (by default a
// whole hold, so that every call sends what it reported).
std::atomic<uint32_t> g_now(0);
std::atomic<uint32_t> g_step(kHoldMs);
uint32_t TestClock() {
    return g_now += g_step;
}

std::string Get(const std::string& target) {
    return "GET " + target + " HTTP/1.0\r\n\r\n";
}

std::string Titled(const std::string& title) {
    std::string body = "<title>" + title + "</title>";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
           body;
}

class WatchTableTest : public ::testing::Test {
protected:
    void Send(uintptr_t socket, const std::string& bytes) {
        table.Sent(socket, (const uint8_t*)bytes.data(), bytes.size());
    }
    void Receive(uintptr_t socket, const std::string& bytes) {
        table.Received(socket, (const uint8_t*)bytes.data(), bytes.size());
    }
    std::string Last() { return sink.log.lines.empty() ? "" : sink.log.lines.back(); }

    StdLock lock;
    ExchangeIds ids{kBase};
    DecodingSink sink{kBase};
    void TearDown() override { g_step = kHoldMs; }

    WatchTable table{&lock, &ids, &sink, TestClock};
};

TEST_F(WatchTableTest, BytesReachTheWatchOfTheirSocket) {
    table.Connected(10, "192.0.2.10", 80);
    table.Connected(11, "192.0.2.11", 8000);
    Send(10, Get("/a"));
    Send(11, Get("/b"));
    Send(99, Get("/never-connected"));
    Receive(11, Titled("B"));
    Receive(10, Titled("A"));
    EXPECT_EQ((Calls{"Request(http://192.0.2.10/a,0)", "[2] Request(http://192.0.2.11:8000/b,0)", "[2] Status(200)",
                     "[2] ContentType(text/html)", "[2] Title(\"B\",1)", "[2] Close()", "Status(200)",
                     "ContentType(text/html)", "Title(\"A\",1)", "Close()"}),
              sink.log.lines);
    EXPECT_EQ(2, table.Count());
    table.Closed(10);
    table.Closed(10);
    EXPECT_EQ(1, table.Count());
}

TEST_F(WatchTableTest, ClosingOrConnectingAgainEndsTheWatch) {
    table.Connected(10, "192.0.2.10", 80);
    Send(10, Get("/a"));
    table.Connected(10, "192.0.2.20", 80);  // the close was missed; the handle is in use again
    EXPECT_EQ("Close()", Last());
    Send(10, Get("/b"));
    EXPECT_EQ("[2] Request(http://192.0.2.20/b,0)", Last());
    table.Closed(10);
    EXPECT_EQ("[2] Close()", Last());
    EXPECT_EQ(0, table.Count());
    Receive(10, Titled("late"));
    EXPECT_EQ("[2] Close()", Last());
}

TEST_F(WatchTableTest, ConnectionsThatAreNotHttpLeaveAtOnce) {
    table.Connected(10, "192.0.2.10", 443);
    table.Connected(11, "192.0.2.11", 80);
    EXPECT_EQ(2, table.Count());
    Send(10, std::string("\x16\x03\x01\x00\x05", 5));
    EXPECT_EQ(1, table.Count());
    Send(10, Get("/"));
    EXPECT_TRUE(sink.log.lines.empty());
}

TEST_F(WatchTableTest, AFullTableEndsTheLeastRecentlyUsedWatch) {
    for (uintptr_t s = 1; s <= kWatchSlots; ++s) {
        table.Connected(s, "192.0.2.1", 80);
        Send(s, Get("/" + std::to_string(s)));  // exchange id s
    }
    EXPECT_EQ(kWatchSlots, table.Count());
    Receive(1, "HTTP/1.0 200 OK\r\n");  // socket 1 used last: socket 2 is now the oldest
    size_t before = sink.log.lines.size();
    table.Connected(1000, "192.0.2.1", 80);
    EXPECT_EQ(kWatchSlots, table.Count());
    ASSERT_EQ(before + 1, sink.log.lines.size());
    EXPECT_EQ("[2] Close()", Last());
    Receive(2, Titled("gone"));
    EXPECT_EQ(before + 1, sink.log.lines.size()) << "socket 2 is no longer watched";
    table.Connected(1001, "192.0.2.1", 80);
    EXPECT_EQ("[3] Close()", Last());
    Receive(1, "Content-Type: text/html\r\n\r\n<title>Kept</title>");
    table.Closed(1);
    EXPECT_EQ((Calls{"Status(200)", "ContentType(text/html)", "Title(\"Kept\",1)", "Close()"}),
              Calls(sink.log.lines.end() - 4, sink.log.lines.end()));
}

// Records wait for company while an exchange is open, for at most a hold;
// once no exchange is open they go at once.
TEST_F(WatchTableTest, RecordsShareADatagramUntilNothingIsOpen) {
    g_step = 0;
    table.Connected(10, "192.0.2.10", 80);
    table.Connected(11, "192.0.2.11", 80);
    Send(10, Get("/a"));
    Send(11, Get("/b"));
    Receive(10, Titled("A"));
    EXPECT_EQ(0, sink.datagrams) << "b is still open";
    g_now += kHoldMs - 1;
    Receive(11, "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(0, sink.datagrams) << "held since the first call, a millisecond short of a hold";
    g_now += 1;
    Receive(11, "Content-Type: text/html\r\n");
    EXPECT_EQ(1, sink.datagrams);
    EXPECT_EQ((Calls{"Request(http://192.0.2.10/a,0)", "[2] Request(http://192.0.2.11/b,0)", "Status(200)",
                     "ContentType(text/html)", "Title(\"A\",1)", "Close()"}),
              sink.log.lines);
    Receive(11, "Content-Length: 15\r\n\r\n<title>B</title>");
    EXPECT_EQ(2, sink.datagrams) << "nothing open: sent at once";
    EXPECT_EQ("[2] Close()", Last());
}

// The calls of each exchange, by id, from lines written for kBase.
std::map<uint32_t, Calls> ByExchange(const Calls& lines) {
    std::map<uint32_t, Calls> by_id;
    for (const std::string& line : lines) {
        uint32_t id = kBase;
        std::string call = line;
        if (line[0] == '[') {
            size_t end = line.find("] ");
            id = (uint32_t)std::stoul(line.substr(1, end - 1));
            call = line.substr(end + 2);
        }
        by_id[id].push_back(call);
    }
    return by_id;
}

TEST_F(WatchTableTest, TwoThreadsFeedTheirSocketsAtOnce) {
    const int kExchanges = 150;
    auto browse = [this](uintptr_t socket) {
        table.Connected(socket, "192.0.2.1", 80);
        for (int i = 0; i < kExchanges; ++i) {
            std::string name = std::to_string(socket) + "-" + std::to_string(i);
            Send(socket, Get("/" + name));
            std::string response = Titled(name);
            for (size_t at = 0; at < response.size(); at += 7) Receive(socket, response.substr(at, 7));
        }
        table.Closed(socket);
    };
    std::thread one(browse, (uintptr_t)1);
    std::thread two(browse, (uintptr_t)2);
    one.join();
    two.join();

    std::map<uint32_t, Calls> by_id = ByExchange(sink.log.lines);
    ASSERT_EQ((size_t)kExchanges * 2, by_id.size()) << "one id per exchange";
    std::map<std::string, int> pages;
    for (const auto& entry : by_id) {
        const Calls& calls = entry.second;
        ASSERT_EQ(5u, calls.size()) << entry.first;
        const std::string start = "Request(http://192.0.2.1/";
        ASSERT_EQ(0, calls[0].compare(0, start.size(), start)) << calls[0];
        std::string name = calls[0].substr(start.size());
        name = name.substr(0, name.find(','));
        EXPECT_EQ((Calls{"Request(http://192.0.2.1/" + name + ",0)", "Status(200)", "ContentType(text/html)",
                         "Title(\"" + name + "\",1)", "Close()"}),
                  calls);
        ++pages[name];
    }
    EXPECT_EQ((size_t)kExchanges * 2, pages.size()) << "every page once";
    EXPECT_EQ(0, table.Count());
}

}  // namespace
