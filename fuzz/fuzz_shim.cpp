// fuzz_shim: the shim's watch of one connection over arbitrary traffic.
//
// Input: byte 0 chooses how the connection ends (bit 0: Closed, else the
// watch is destroyed without it) and the piece size of the second run
// (bits 1-4: 1 to 16 bytes). The rest is the traffic: bytes go to Sent
// until a marker byte changes that: 0xFE sent, 0xFF received, 0xFD the end
// of the peer's data (Received with a count of 0). The traffic is played
// twice into fresh watches: each stretch whole, then cut into pieces.
// Checked:
//  - every datagram fits the listener's 512 bytes and is accepted whole
//    (it is decoded from a heap block of exactly its size);
//  - every exchange starts with Request, reports nothing after its Close,
//    and is closed when the watch ends; no id is used for two exchanges;
//    Open and MarkPage never come; texts are at most 254 characters,
//    operation codes GET or HEAD;
//  - both runs report the same calls: how the bytes were split does not
//    matter.
// Any break aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "observe/datagram.h"
#include "shim/datagram_client.h"
#include "shim/http_watch.h"
#include "tools/scanreplay/call_log.h"

namespace {

void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz_shim: %s\n  %s\n", what, detail.c_str());
    abort();
}

#define CHECK(cond, detail)                 \
    do {                                    \
        if (!(cond)) Fail(#cond, (detail)); \
    } while (0)

const uint8_t kToSent = 0xFE;
const uint8_t kToReceived = 0xFF;
const uint8_t kPeerEnd = 0xFD;

void CheckText(const char* text) {
    if (text) CHECK(strlen(text) <= kRecordTextMax, text);
}

// The program's side: what reaches it, checked call by call.
class CheckingLog : public CallLog {
public:
    uint32_t Open(uint32_t, const char* text) override {
        Fail("Open from the shim", text ? text : "null");
        return 0;
    }
    uint32_t MarkPage(uint32_t, const char* text) override {
        Fail("MarkPage from a datagram", text ? text : "null");
        return 0;
    }
    uint32_t Request(uint32_t id, const char* url, int op) override {
        CHECK(seen.insert(id).second, "an id used twice: " + std::to_string(id));
        CHECK(url != 0, "a request without its URL");
        CheckText(url);
        CHECK(op == OP_GET || op == OP_HEAD, std::to_string(op));
        open.insert(id);
        return CallLog::Request(id, url, op);
    }
    uint32_t Status(uint32_t id, int code) override {
        Inside(id);
        return CallLog::Status(id, code);
    }
    uint32_t Base(uint32_t id, const char* url) override {
        Inside(id);
        CheckText(url);
        return CallLog::Base(id, url);
    }
    uint32_t ContentType(uint32_t id, const char* mime) override {
        Inside(id);
        CheckText(mime);
        return CallLog::ContentType(id, mime);
    }
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        Inside(id);
        CheckText(url);
        CheckText(extra);
        return CallLog::Link(id, url, type, extra);
    }
    uint32_t Title(uint32_t id, const char* text, int kind) override {
        Inside(id);
        CheckText(text);
        return CallLog::Title(id, text, kind);
    }
    uint32_t Close(uint32_t id) override {
        Inside(id);
        open.erase(id);
        return CallLog::Close(id);
    }

    std::set<uint32_t> seen;
    std::set<uint32_t> open;

private:
    void Inside(uint32_t id) { CHECK(open.count(id) == 1, "a call outside its exchange: " + std::to_string(id)); }
};

class CheckingSink final : public ADatagramSink {
public:
    void Send(const uint8_t* bytes, size_t count) override {
        CHECK(count <= kDatagramMax, std::to_string(count));
        uint8_t* copy = (uint8_t*)malloc(count);
        memcpy(copy, bytes, count);
        int answer = DispatchDatagram(copy, count, log);
        free(copy);
        CHECK(answer == DatagramDispatched, "a datagram the listener refuses");
    }
    CheckingLog log;
};

struct Stretch {
    uint8_t way;  // kToSent, kToReceived or kPeerEnd
    std::string bytes;
};

std::vector<Stretch> Stretches(const uint8_t* data, size_t size) {
    std::vector<Stretch> out;
    Stretch current = {kToSent, ""};
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        if (b != kToSent && b != kToReceived && b != kPeerEnd) {
            current.bytes += (char)b;
            continue;
        }
        if (!current.bytes.empty()) out.push_back(current);
        current.bytes.clear();
        if (b == kPeerEnd) {
            out.push_back(Stretch{kPeerEnd, ""});
            current.way = kToReceived;
        } else {
            current.way = b;
        }
    }
    if (!current.bytes.empty()) out.push_back(current);
    return out;
}

// Plays the traffic in pieces of at most `piece` bytes (0: whole) and
// answers the calls that reached the program.
std::string Play(const std::vector<Stretch>& traffic, size_t piece, bool closed) {
    CheckingSink sink;
    ExchangeIds ids(0x80010000u);
    DatagramClient* client = new DatagramClient(&sink);
    HttpWatch* watch = new HttpWatch("192.0.2.1", 8080, &ids, client);
    for (const Stretch& s : traffic) {
        if (s.way == kPeerEnd) {
            watch->Received(0, 0);
            continue;
        }
        for (size_t at = 0; at < s.bytes.size();) {
            size_t n = s.bytes.size() - at;
            if (piece && n > piece) n = piece;
            // A heap block of the piece's size: a read past it is caught.
            uint8_t* block = (uint8_t*)malloc(n);
            memcpy(block, s.bytes.data() + at, n);
            if (s.way == kToSent)
                watch->Sent(block, n);
            else
                watch->Received(block, n);
            free(block);
            at += n;
        }
    }
    if (closed) watch->Closed();
    delete watch;
    delete client;
    CHECK(sink.log.open.empty(), "an exchange left open: " + std::to_string(*sink.log.open.begin()));
    return sink.log.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    bool closed = data[0] & 1;
    size_t piece = ((data[0] >> 1) & 15) + 1;
    std::vector<Stretch> traffic = Stretches(data + 1, size - 1);
    std::string whole = Play(traffic, 0, closed);
    std::string cut = Play(traffic, piece, closed);
    if (whole != cut) Fail("the calls depend on the pieces", whole + "-- against --\n" + cut);
    return 0;
}
