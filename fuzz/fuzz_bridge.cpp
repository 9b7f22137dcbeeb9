// fuzz_bridge: the bridge host's reading of the browser's pipe over
// arbitrary bytes: the stream cut into messages (in pieces whose size the
// first byte chooses), each message read as JSON and handled as the host
// handles it. Every datagram the reports make must be one the program
// accepts whole, every message to the extension JSON, and a text quoted,
// read back and quoted again must come out the same.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "bridge/bridge_host.h"
#include "bridge/json.h"
#include "bridge/native_frames.h"
#include "browser/verb_table.h"
#include "observe/datagram.h"
#include "shim/datagram_client.h"
#include "tools/scanreplay/call_log.h"

namespace {

void Fail(const char* what) {
    fprintf(stderr, "fuzz_bridge: %s\n", what);
    abort();
}

class CheckingSink final : public ADatagramSink {
public:
    void Send(const uint8_t* bytes, size_t count) override {
        if (count > kDatagramMax) Fail("datagram longer than the listener reads");
        std::vector<uint8_t> copy(bytes, bytes + count);
        CallLog log;
        if (DispatchDatagram(copy.data(), copy.size(), log) != DatagramDispatched) Fail("datagram rejected");
    }
};

class NullOutput final : public ABridgeOutput {
public:
    explicit NullOutput(DatagramClient* d) : datagrams(d) {}
    void ToExtension(const std::string& json) override {
        JsonValue v;
        if (ParseJson(json.data(), json.size(), &v) != JsonOk) Fail("a message to the extension is no JSON");
    }
    void Echo(const std::string&, const std::string&, uint32_t, const std::string&) override {}
    bool WriteBody(const std::string&, const std::string&) override { return true; }
    void Progress(uint32_t, uint32_t) override {}
    void FlushReports() override { datagrams->Flush(); }
    DatagramClient* datagrams;
};

void CheckQuoteReadsBack(const JsonValue& v) {
    if (v.type == JsonString) {
        std::string quoted = JsonQuote(v.text);
        JsonValue back;
        if (ParseJson(quoted.data(), quoted.size(), &back) != JsonOk || JsonQuote(back.text) != quoted)
            Fail("a quoted text does not read back");
    }
    for (const JsonValue& item : v.items) CheckQuoteReadsBack(item);
    for (const auto& m : v.members) CheckQuoteReadsBack(m.second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t piece = data[0] % 16 + 1;
    ++data;
    --size;
    CheckingSink sink;
    DatagramClient datagrams(&sink);
    NullOutput out(&datagrams);
    BridgeHost host(&datagrams, &out);
    BrowserVerbs verbs(BrowserIdentity(), &host);
    FrameReader frames;
    for (size_t at = 0; at < size; at += piece) {
        std::vector<char> bytes(data + at, data + at + (piece < size - at ? piece : size - at));
        frames.Feed(bytes.data(), bytes.size());
        std::string message;
        while (frames.Next(&message)) {
            std::vector<char> exact(message.begin(), message.end());
            JsonValue v;
            if (ParseJson(exact.data(), exact.size(), &v) == JsonOk) CheckQuoteReadsBack(v);
            host.FromExtension(message);
            verbs.Answer(WWW_GetWindowInfo, message.c_str());
            verbs.Answer(WWW_OpenURL, message.c_str());
        }
    }
    return 0;
}
