// Reading the browser's traffic: which first bytes may start a request or
// a response, what request and response heads say, and chunked bodies in
// any pieces.
#include <gtest/gtest.h>

#include <string>

#include "shim/chunk_reader.h"
#include "shim/http_head.h"

namespace {

std::string Text(TextSpan s) { return std::string(s.text, s.length); }

TEST(HttpFraming, FirstBytesSayWhetherAMessageMayFollow) {
    struct Case {
        const char* bytes;
        Plausibility request;
        Plausibility response;
    } cases[] = {
        {"", PlausibleSoFar, PlausibleSoFar},
        {"G", PlausibleSoFar, Implausible},
        {"GET", PlausibleSoFar, Implausible},
        {"GET ", Plausible, Implausible},
        {"GETX", Implausible, Implausible},
        {"get ", Implausible, Implausible},
        {"P", PlausibleSoFar, Implausible},
        {"PATCH ", Plausible, Implausible},
        {"PRI * HTTP/2.0", Implausible, Implausible},
        {"\x16\x03\x01\x02", Implausible, Implausible},
        {"HTT", Implausible, PlausibleSoFar},
        {"HTTP/1.1 200 OK", Implausible, Plausible},
        {"http/1.1 200 OK", Implausible, Implausible},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.request, RequestStart(c.bytes, strlen(c.bytes))) << c.bytes;
        EXPECT_EQ(c.response, ResponseStart(c.bytes, strlen(c.bytes))) << c.bytes;
    }
}

TEST(HttpFraming, RequestHeads) {
    struct Case {
        const char* head;
        HttpMethod method;
        const char* target;
        const char* host;
        BodyFraming body;
        uint64_t length;
    } cases[] = {
        {"GET /a HTTP/1.1\r\nHost: h.example:8080\r\n\r\n", MethodGet, "/a", "h.example:8080", BodyNone, 0},
        {"HEAD http://p.example/x?y HTTP/1.0\r\n\r\n", MethodHead, "http://p.example/x?y", "", BodyNone, 0},
        {"POST /f HTTP/1.0\nhost:   h  \nContent-Length: 12\n\n", MethodPost, "/f", "h", BodyLength, 12},
        {"POST /f HTTP/1.1\r\nContent-Length: 0\r\n\r\n", MethodPost, "/f", "", BodyNone, 0},
        {"POST /f HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 5\r\n\r\n", MethodPost, "/f", "",
         BodyLength, 5},
        {"POST /f HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", MethodPost, "/f", "",
         BodyUnknown, 0},
        {"POST /f HTTP/1.1\r\nContent-Length: +5\r\n\r\n", MethodPost, "/f", "", BodyUnknown, 0},
        {"POST /f HTTP/1.1\r\nContent-Length: 1234567890123456789\r\n\r\n", MethodPost, "/f", "", BodyUnknown,
         0},
        {"POST /f HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", MethodPost, "/f", "",
         BodyChunked, 0},
        {"PUT /f HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n", MethodPut, "/f", "", BodyUnknown, 0},
        {"GET /a HTTP/1.1\r\nHost: evil.example/x\r\n\r\n", MethodGet, "/a", "", BodyNone, 0},
        {"GET /a HTTP/1.1\r\nX: 1\r\n Host: folded\r\nnot a header\r\n\r\n", MethodGet, "/a", "", BodyNone,
         0},
        {"CONNECT h.example:443 HTTP/1.1\r\n\r\n", MethodConnect, "h.example:443", "", BodyNone, 0},
    };
    for (const Case& c : cases) {
        RequestHead r;
        ASSERT_TRUE(ReadRequestHead(c.head, strlen(c.head), &r)) << c.head;
        EXPECT_EQ(c.method, r.method) << c.head;
        EXPECT_EQ(c.target, Text(r.target)) << c.head;
        EXPECT_EQ(c.host, Text(r.host)) << c.head;
        EXPECT_EQ(c.body, r.body) << c.head;
        EXPECT_EQ(c.length, r.length) << c.head;
        EXPECT_FALSE(r.upgrade) << c.head;
    }
    const char* unreadable[] = {
        "GET  /a HTTP/1.1\r\n\r\n", "GET /a HTTP/1.1 x\r\n\r\n", "GET /a\tb HTTP/1.1\r\n\r\n",
        "GET /a HTP/1.1\r\n\r\n",   "GET /a HTTP/1.\r\n\r\n",    "GET /a\r\n\r\n",
        "FOO /a HTTP/1.1\r\n\r\n",  "get /a HTTP/1.1\r\n\r\n",   "",
    };
    for (const char* head : unreadable) {
        RequestHead r;
        EXPECT_FALSE(ReadRequestHead(head, strlen(head), &r)) << head;
    }
    const char* upgrade = "GET /chat HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n";
    RequestHead r;
    ASSERT_TRUE(ReadRequestHead(upgrade, strlen(upgrade), &r));
    EXPECT_TRUE(r.upgrade);
}

TEST(HttpFraming, ResponseHeads) {
    struct Case {
        const char* head;
        int status;
        BodyFraming body;
        uint64_t length;
        bool coded;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", 200, BodyLength, 10, false},
        {"HTTP/1.0 200\r\n\r\n", 200, BodyUntilClose, 0, false},
        {"HTTP/1.1\t301\tMoved\nLocation: /x\n\n", 301, BodyUntilClose, 0, false},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 1x\r\n\r\n", 404, BodyUnknown, 0, false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 3\r\n\r\n", 200, BodyChunked,
         0, false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n", 200, BodyUntilClose, 0, false},
        {"HTTP/1.1 200 OK\r\nTRANSFER-ENCODING: Chunked\r\n\r\n", 200, BodyChunked, 0, false},
        {"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\n", 200, BodyLength, 4, true},
        {"HTTP/1.1 200 OK\r\nContent-Encoding: identity\r\nContent-Length: 4\r\n\r\n", 200, BodyLength, 4,
         false},
    };
    for (const Case& c : cases) {
        ResponseHead r;
        ASSERT_TRUE(ReadResponseHead(c.head, strlen(c.head), &r)) << c.head;
        EXPECT_EQ(c.status, r.status) << c.head;
        EXPECT_EQ(c.body, r.body) << c.head;
        EXPECT_EQ(c.length, r.length) << c.head;
        EXPECT_EQ(c.coded, r.coded) << c.head;
    }
    const char* unreadable[] = {
        "HTTP/1.1 20 OK\r\n\r\n",
        "HTTP/1.1 2000 OK\r\n\r\n",
        "HTTP/1.1200 OK\r\n\r\n",
        "HTTP/x.1 200 OK\r\n\r\n",
        "HTTP/1 200 OK\r\n\r\n",
        "ICY 200 OK\r\n\r\n",
        "",
    };
    for (const char* head : unreadable) {
        ResponseHead r;
        EXPECT_FALSE(ReadResponseHead(head, strlen(head), &r)) << head;
    }
}

// What a chunk reader makes of `body` read in pieces of `piece` bytes: the
// data, and how many bytes it read before it was done or failed.
struct ChunkResult {
    std::string data;
    size_t read;
    bool done;
    bool failed;
    bool operator==(const ChunkResult& o) const {
        return data == o.data && read == o.read && done == o.done && failed == o.failed;
    }
};

ChunkResult ReadChunked(const std::string& body, size_t piece) {
    ChunkReader reader;
    ChunkResult r = {"", 0, false, false};
    while (r.read < body.size() && !reader.Done() && !reader.Failed()) {
        size_t n = std::min(piece, body.size() - r.read);
        const char* data;
        size_t data_count;
        size_t used = reader.Read(body.data() + r.read, n, &data, &data_count);
        EXPECT_LE(used, n);
        if (data_count > 0) {
            EXPECT_EQ(body.data() + r.read + used, data + data_count) << "data ends what was read";
        }
        r.data.append(data, data_count);
        r.read += used;
    }
    r.done = reader.Done();
    r.failed = reader.Failed();
    return r;
}

TEST(HttpFraming, ChunkedBodiesInAnyPieces) {
    struct Case {
        const char* what;
        std::string body;
        ChunkResult expected;
    } cases[] = {
        {"one chunk, then the next message", "5\r\nhello\r\n0\r\n\r\nNEXT", {"hello", 15, true, false}},
        {"extensions, blanks and trailers",
         "5;name=v\r\nhello\r\n6 \t\r\n world\r\n0\r\nTrailer: x\r\n\r\n",
         {"hello world", 47, true, false}},
        {"line feeds alone", "3\nabc\n0\n\n", {"abc", 9, true, false}},
        {"hex sizes in either case",
         "A\r\n0123456789\r\nb\r\nABCDEFGHIJK\r\n0\r\n\r\n",
         {"0123456789ABCDEFGHIJK", 36, true, false}},
        {"unfinished", "5\r\nhel", {"hel", 6, false, false}},
        {"not a size", "x\r\n", {"", 1, false, true}},
        {"no size at all", "\r\n", {"", 1, false, true}},
        {"sixteen hex digits", "1000000000000000\r\n", {"", 16, false, true}},
        {"data not followed by its line end", "5\r\nhelloX", {"hello", 9, false, true}},
        {"carriage return without line feed", "0\r\n\rX", {"", 5, false, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ReadChunked(c.body, c.body.size())) << c.what;
        EXPECT_EQ(c.expected, ReadChunked(c.body, 1)) << c.what << ", one byte at a time";
        EXPECT_EQ(c.expected, ReadChunked(c.body, 4)) << c.what << ", four bytes at a time";
    }
}

}  // namespace
