// An AClient that writes down every call as one line, for tests that
// compare what a decoder or scanner reported with what they expect.
#ifndef SKEIND_TESTS_RECORDING_CLIENT_H
#define SKEIND_TESTS_RECORDING_CLIENT_H

#include <string>
#include <vector>

#include "observe/client.h"

class RecordingClient final : public AClient {
public:
    std::vector<std::string> calls;
    uint32_t answer = 1;  // what every call answers

    uint32_t Open(uint32_t id, const char* text) override { return Note(id, "Open", Quote(text)); }
    uint32_t Request(uint32_t id, const char* url, int op) override {
        return Note(id, "Request", Quote(url) + "," + std::to_string(op));
    }
    uint32_t Status(uint32_t id, int code) override { return Note(id, "Status", std::to_string(code)); }
    uint32_t Base(uint32_t id, const char* url) override { return Note(id, "Base", Quote(url)); }
    uint32_t MarkPage(uint32_t id, const char* text) override { return Note(id, "MarkPage", Quote(text)); }
    uint32_t ContentType(uint32_t id, const char* mime) override { return Note(id, "ContentType", Quote(mime)); }
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        return Note(id, "Link", Quote(url) + "," + std::to_string(type) + "," + Quote(extra));
    }
    uint32_t Title(uint32_t id, const char* text, int kind) override {
        return Note(id, "Title", Quote(text) + "," + std::to_string(kind));
    }
    uint32_t Close(uint32_t id) override { return Note(id, "Close", ""); }

    // Calls without their connection ids, joined by newlines.
    std::string Joined() const {
        std::string all;
        for (const std::string& call : calls) all += call.substr(call.find(' ') + 1) + "\n";
        return all;
    }

private:
    static std::string Quote(const char* text) { return text ? "\"" + std::string(text) + "\"" : "none"; }
    uint32_t Note(uint32_t id, const char* what, const std::string& args) {
        calls.push_back(std::to_string(id) + " " + what + "(" + args + ")");
        return answer;
    }
};

#endif
