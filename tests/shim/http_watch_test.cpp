// HttpWatch: transcripts of a browser's connections, and the calls that
// reach the program through real datagrams. Every transcript is also played
// one byte at a time and in random pieces: the calls must not change.
#include "shim/http_watch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/shim/decoding_sink.h"

namespace {

// The first exchange's id; the log writes its calls without "[id] ".
const uint32_t kBase = 1;
const char kPeer[] = "192.0.2.7";

struct Step {
    char way;  // 'S' sent, 'R' received, 'E' end of the peer's data, 'C' closed
    std::string bytes;
};
typedef std::vector<Step> Transcript;

// Piece sizes: every step whole (0), a fixed size, or random sizes up to
// `largest` from `seed`.
struct Cutter {
    size_t fixed;
    size_t largest;
    uint32_t seed;
    size_t Next(size_t left) {
        size_t n = fixed;
        if (largest) {
            seed = seed * 1103515245u + 12345u;
            n = (seed >> 16) % largest + 1;
        }
        return n == 0 || n > left ? left : n;
    }
};
const Cutter kWhole = {0, 0, 0};

Calls Play(const Transcript& steps, Cutter cut, int peer_port = 80) {
    DecodingSink sink(kBase);
    ExchangeIds ids(kBase);
    {
        DatagramClient client(&sink);
        HttpWatch watch(kPeer, peer_port, &ids, &client);
        for (const Step& s : steps) {
            if (s.way == 'C') watch.Closed();
            if (s.way == 'E') watch.Received(0, 0);
            for (size_t at = 0; at < s.bytes.size();) {
                size_t n = cut.Next(s.bytes.size() - at);
                // A block of exactly the piece's size: a read past it is caught.
                std::vector<uint8_t> piece(s.bytes.begin() + at, s.bytes.begin() + at + n);
                if (s.way == 'S')
                    watch.Sent(piece.data(), n);
                else
                    watch.Received(piece.data(), n);
                at += n;
            }
        }
    }
    return sink.log.lines;
}

// ---- Messages -----------------------------------------------------------------

std::string Get(const std::string& target, const std::string& host = "www.example.org") {
    return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\nAccept: */*\r\n\r\n";
}

std::string Page(const std::string& body, const std::string& status = "200 OK",
                 const std::string& headers = "Content-Type: text/html\r\n") {
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string Titled(const std::string& title) { return Page("<title>" + title + "</title>"); }

// The calls on exchange `id`, written as the log writes them.
Calls On(uint32_t id, const Calls& calls) {
    Calls out;
    for (const std::string& c : calls) out.push_back(id == kBase ? c : "[" + std::to_string(id) + "] " + c);
    return out;
}

Calls RequestOf(uint32_t id, const std::string& url, int op = OP_GET) {
    return On(id, {"Request(" + url + "," + std::to_string(op) + ")"});
}

// What a Titled page reports after its request.
Calls TitledCalls(uint32_t id, const std::string& title) {
    return On(id, {"Status(200)", "ContentType(text/html)", "Title(\"" + title + "\",1)", "Close()"});
}

Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const std::string kSite = "http://www.example.org";

struct Case {
    const char* name;
    Transcript steps;
    Calls calls;
    int peer_port = 80;
};

void CheckTranscripts(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        int port = c.peer_port;
        Calls whole = Play(c.steps, kWhole, port);
        EXPECT_EQ(c.calls, whole) << c.name;
        EXPECT_EQ(whole, Play(c.steps, Cutter{1, 0, 0}, port)) << c.name << ", one byte at a time";
        for (uint32_t seed = 1; seed <= 4; ++seed)
            EXPECT_EQ(whole, Play(c.steps, Cutter{0, seed * 7, seed}, port)) << c.name << ", seed " << seed;
    }
}

// ---- Transcripts ------------------------------------------------------------------

TEST(HttpWatch, PagesAndTheirUrls) {
    CheckTranscripts({
        {"a page",
         {{'S', Get("/index.html")}, {'R', Page("<title>Home</title><a href=a.html>A</a>")}},
         Join({RequestOf(1, kSite + "/index.html"),
               {"Status(200)", "ContentType(text/html)", "Title(\"Home\",1)", "Link(a.html,0,\"A\")",
                "Close()"}})},
        {"a path with the Host's port",
         {{'S', Get("/x", "h.example:8080")}, {'R', Titled("X")}},
         Join({RequestOf(1, "http://h.example:8080/x"), TitledCalls(1, "X")})},
        {"a path without Host: the peer's address and port",
         {{'S', "GET /x HTTP/1.0\r\n\r\n"}, {'R', Titled("X")}},
         Join({RequestOf(1, "http://192.0.2.7:8080/x"), TitledCalls(1, "X")}),
         8080},
        {"a request to a proxy",
         {{'S', Get("http://other.example/p?q=1", "other.example")}, {'R', Titled("P")}},
         Join({RequestOf(1, "http://other.example/p?q=1"), TitledCalls(1, "P")})},
    });
}

TEST(HttpWatch, KeepAliveAndPipelining) {
    std::string chunked =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
        "a;ext=1\r\n<title>Chu\r\n"
        "13\r\nnky</title><a href=\r\n"
        "C\r\nb.html>B</a>\r\n"
        "0\r\nExpires: never\r\n\r\n";
    CheckTranscripts({
        {"two requests one after the other",
         {{'S', Get("/1")}, {'R', Titled("One")}, {'S', Get("/2")}, {'R', Titled("Two")}},
         Join({RequestOf(1, kSite + "/1"), TitledCalls(1, "One"), RequestOf(2, kSite + "/2"),
               TitledCalls(2, "Two")})},
        {"three requests before any response",
         {{'S', Get("/1") + Get("/2") + Get("/3")},
          {'R', Titled("One") + Titled("Two") + "\r\n" + Titled("Three")}},
         Join({RequestOf(1, kSite + "/1"), RequestOf(2, kSite + "/2"), RequestOf(3, kSite + "/3"),
               TitledCalls(1, "One"), TitledCalls(2, "Two"), TitledCalls(3, "Three")})},
        {"a chunked page, then the next",
         {{'S', Get("/c")}, {'R', chunked}, {'S', Get("/n")}, {'R', Titled("Next")}},
         Join({RequestOf(1, kSite + "/c"),
               {"Status(200)", "ContentType(text/html)", "Title(\"Chunky\",1)", "Link(b.html,0,\"B\")",
                "Close()"},
               RequestOf(2, kSite + "/n"),
               TitledCalls(2, "Next")})},
        {"HEAD, 304 and 204 have no body",
         {{'S', "HEAD /h HTTP/1.1\r\nHost: www.example.org\r\n\r\n" + Get("/m") + Get("/e") + Get("/n")},
          {'R',
           "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5000\r\n\r\n"
           "HTTP/1.1 304 Not Modified\r\nContent-Length: 100\r\n\r\n"
           "HTTP/1.1 204 No Content\r\n\r\n" +
               Titled("Next")}},
         Join({RequestOf(1, kSite + "/h", OP_HEAD),
               RequestOf(2, kSite + "/m"),
               RequestOf(3, kSite + "/e"),
               RequestOf(4, kSite + "/n"),
               {"Status(200)", "ContentType(text/html)", "Close()"},
               On(2, {"Status(304)", "Close()"}),
               On(3, {"Status(204)", "Close()"}),
               TitledCalls(4, "Next")})},
        {"an interim response before the page",
         {{'S',
           "POST /f HTTP/1.1\r\nHost: www.example.org\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n"},
          {'R', "HTTP/1.1 100 Continue\r\n\r\n"},
          {'S', "a=b"},
          {'R', Titled("Posted")}},
         Join({RequestOf(1, kSite + "/f"), TitledCalls(1, "Posted")})},
        {"request bodies are passed over",
         {{'S',
           "POST /form HTTP/1.1\r\nHost: www.example.org\r\nContent-Length: 24\r\n\r\n"
           "q=GET /x HTTP/1.1\r\n\r\n..."
           "\r\n" +  // old browsers end a form with a line of their own
               Get("/next") +
               "PUT /up HTTP/1.1\r\nHost: www.example.org\r\nTransfer-Encoding: chunked\r\n\r\n"
               "8\r\nGET / HT\r\n0\r\n\r\n" +
               Get("/last")},
          {'R', Titled("Form") + Titled("Next") + Titled("Up") + Titled("Last")}},
         Join({RequestOf(1, kSite + "/form"), RequestOf(2, kSite + "/next"), RequestOf(3, kSite + "/last"),
               TitledCalls(1, "Form"), TitledCalls(2, "Next"), TitledCalls(3, "Last")})},
        {"other methods are framed but not reported",
         {{'S', "OPTIONS /o HTTP/1.1\r\nHost: www.example.org\r\n\r\n" + Get("/g")},
          {'R', Titled("Options") + Titled("G")}},
         Join({RequestOf(1, kSite + "/g"), TitledCalls(1, "G")})},
        {"a coded body is framed but not scanned",
         {{'S', Get("/z") + Get("/n")},
          {'R', Page("<title>Z</title>", "200 OK", "Content-Type: text/html\r\nContent-Encoding: gzip\r\n") +
                    Titled("N")}},
         Join({RequestOf(1, kSite + "/z"),
               RequestOf(2, kSite + "/n"),
               {"Status(200)", "ContentType(text/html)", "Close()"},
               TitledCalls(2, "N")})},
    });
}

TEST(HttpWatch, EndsOfConnections) {
    std::string old_page =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<title>Old</title><a href=x>X</a>";
    Calls old_calls =
        Join({RequestOf(1, kSite + "/old"),
              {"Status(200)", "ContentType(text/html)", "Title(\"Old\",1)", "Link(x,0,\"X\")", "Close()"}});
    CheckTranscripts({
        {"a body up to the close", {{'S', Get("/old")}, {'R', old_page}, {'C', ""}}, old_calls},
        {"a body up to the end of the peer's data",
         {{'S', Get("/old")}, {'R', old_page}, {'E', ""}},
         old_calls},
        {"closed in the middle of a response",
         {{'S', Get("/half")},
          {'R',
           "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\n<title>Half</title>"},
          {'C', ""},
          {'R', "more"}},
         Join({RequestOf(1, kSite + "/half"),
               {"Status(200)", "ContentType(text/html)", "Title(\"Half\",1)", "Close()"}})},
        {"closed with requests unanswered",
         {{'S', Get("/1") + Get("/2")}, {'R', Titled("One")}, {'C', ""}},
         Join({RequestOf(1, kSite + "/1"), RequestOf(2, kSite + "/2"), TitledCalls(1, "One"),
               On(2, {"Close()"})})},
        {"never closed: the watch's end closes",
         {{'S', Get("/1")}},
         Join({RequestOf(1, kSite + "/1"), {"Close()"}})},
    });
}

TEST(HttpWatch, WhatIsNotHttpIsLeftAlone) {
    std::string hello("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\x03\x03", 11);
    CheckTranscripts({
        {"a secure connection",
         {{'S', hello}, {'R', "\x16\x03\x03"}, {'S', Get("/")}, {'R', Titled("T")}},
         {}},
        {"a method in lower case", {{'S', "get / HTTP/1.1\r\n\r\n"}, {'R', Titled("T")}}, {}},
        {"the server speaks first", {{'R', "220 mail ready\r\n"}, {'S', Get("/")}}, {}},
        {"a response that is not HTTP",
         {{'S', Get("/")}, {'R', "<html><title>T</title>"}},
         Join({RequestOf(1, kSite + "/"), {"Close()"}})},
        {"a response nobody asked for",
         {{'S', Get("/1")}, {'R', Titled("One") + Titled("Extra")}, {'S', Get("/2")}},
         Join({RequestOf(1, kSite + "/1"), TitledCalls(1, "One")})},
        {"a body whose length cannot be read",
         {{'S', Get("/1") + Get("/2")},
          {'R', "HTTP/1.1 200 OK\r\nContent-Length: 12x\r\n\r\n" + Titled("Two")}},
         Join({RequestOf(1, kSite + "/1"),
               RequestOf(2, kSite + "/2"),
               {"Status(200)", "Close()"},
               On(2, {"Close()"})})},
        {"chunks that are not chunks",
         {{'S', Get("/1")},
          {'R', "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n<title>T</title>"}},
         Join({RequestOf(1, kSite + "/1"), {"Status(200)", "Close()"}})},
        {"another protocol after 101",
         {{'S', "GET /chat HTTP/1.1\r\nHost: www.example.org\r\nUpgrade: websocket\r\n\r\n"},
          {'R', "HTTP/1.1 101 Switching Protocols\r\n\r\n\x81\x05hello"},
          {'S', Get("/")},
          {'R', Titled("T")}},
         {}},
        {"a tunnel after CONNECT",
         {{'S', "CONNECT www.example.org:443 HTTP/1.1\r\n\r\n"},
          {'R', "HTTP/1.1 200 Connection established\r\n\r\n"},
          {'S', Get("/")},
          {'R', Titled("T")}},
         {}},
        {"a request head over the cap",
         {{'S', Get("/1")},
          {'S', "GET /2 HTTP/1.1\r\nX: " + std::string(kHeadMax, 'x') + "\r\n\r\n"},
          {'R', Titled("One")}},
         Join({RequestOf(1, kSite + "/1"), {"Close()"}})},
        {"a response head over the cap",
         {{'S', Get("/1")}, {'R', "HTTP/1.1 200 OK\r\nX: " + std::string(kHeadMax, 'x') + "\r\n\r\n"}},
         Join({RequestOf(1, kSite + "/1"), {"Close()"}})},
    });
}

// ---- Limits and ids --------------------------------------------------------------

TEST(HttpWatch, HeadsUpToTheCapAreRead) {
    std::string start = "GET /x HTTP/1.1\r\nX: ";
    for (size_t extra = 0; extra <= 1; ++extra) {
        std::string head = start + std::string(kHeadMax - start.size() - 4 + extra, 'x') + "\r\n\r\n";
        ASSERT_EQ(kHeadMax + extra, head.size());
        Calls calls = Play({{'S', head}}, kWhole);
        if (extra == 0)
            EXPECT_EQ(Join({RequestOf(1, "http://192.0.2.7/x"), {"Close()"}}), calls);
        else
            EXPECT_EQ(Calls(), calls);
    }
}

TEST(HttpWatch, PendingRequestsAreCapped) {
    CallLog log(kBase);
    ExchangeIds ids(kBase);
    HttpWatch watch(kPeer, 80, &ids, &log);
    std::string get = Get("/p");
    for (int i = 0; i < kPendingMax; ++i) watch.Sent((const uint8_t*)get.data(), get.size());
    EXPECT_EQ(kPendingMax, watch.Pending());
    EXPECT_EQ((size_t)kPendingMax, log.lines.size()) << "one Request each";
    watch.Sent((const uint8_t*)get.data(), get.size());
    EXPECT_FALSE(watch.Watching());
    EXPECT_EQ(0, watch.Pending());
    ASSERT_EQ((size_t)kPendingMax * 2, log.lines.size()) << "every one closed, none added";
    EXPECT_EQ("Close()", log.lines[kPendingMax]);
    EXPECT_EQ("[16] Close()", log.lines.back());
}

TEST(HttpWatch, IdsAreNotSharedBetweenConnections) {
    CallLog log(kBase);
    ExchangeIds ids(kBase);
    std::unique_ptr<HttpWatch> a(new HttpWatch(kPeer, 80, &ids, &log));
    std::unique_ptr<HttpWatch> b(new HttpWatch(kPeer, 80, &ids, &log));
    std::string get_a = Get("/a"), get_b = Get("/b");
    a->Sent((const uint8_t*)get_a.data(), get_a.size());
    b->Sent((const uint8_t*)get_b.data(), get_b.size());
    a->Sent((const uint8_t*)get_a.data(), get_a.size());
    EXPECT_EQ(Join({RequestOf(1, kSite + "/a"), RequestOf(2, kSite + "/b"), RequestOf(3, kSite + "/a")}),
              log.lines);
    b.reset();
    a.reset();
    EXPECT_EQ(Join({RequestOf(1, kSite + "/a"),
                    RequestOf(2, kSite + "/b"),
                    RequestOf(3, kSite + "/a"),
                    On(2, {"Close()"}),
                    {"Close()"},
                    On(3, {"Close()"})}),
              log.lines);
}

TEST(HttpWatch, IdBasesKeepProcessesApart) {
    EXPECT_NE(ExchangeIdBase(4), ExchangeIdBase(8));
    EXPECT_EQ(0x80000000u, ExchangeIdBase(4) & 0x8000FFFFu) << "top bit set, count bits clear";
    ExchangeIds ids(ExchangeIdBase(4));
    uint32_t first = ids.Next();
    for (uint32_t i = 1; i < kExchangeIdRange; ++i) ids.Next();
    EXPECT_EQ(first, ids.Next()) << "the count wraps inside the process's range";
}

}  // namespace
