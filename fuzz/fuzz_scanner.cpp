// fuzz_scanner: the page scanner over arbitrary bytes.
//
// Input: byte 0 chooses how the exchange starts (bits 0-1: a response read
// from its first byte; a bare page begun without a head; a request line,
// the input up to its first line feed, then a response; a response with a
// progress display) and how the rest is cut (bits 2-7: blocks of 1-64
// bytes, or pseudo-random sizes); byte 1 is the length of the first block.
// The data is fed twice to scanners on the heap: first block, then the rest
// whole; first block, then the rest cut up. Checked:
//  - both runs report the same calls (only the first block decides whether
//    a status line starts the data);
//  - every text is NUL-terminated, shorter than the scanner's buffer and
//    free of carriage returns; link types, title kinds and operation codes
//    are in range; no link has an empty URL; the URLs of anchors, includes
//    and link tags hold no '#' and no white space at either end; includes
//    say "image", "frame" or "script";
//  - Feed answers 0 exactly when stopped, and nothing is reported after
//    the scanner has stopped;
//  - progress never counts more than the bytes fed.
// Any break aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "observe/page_scanner.h"
#include "tools/scanreplay/call_log.h"

namespace {

void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz_scanner: %s\n  %s\n", what, detail.c_str());
    abort();
}

#define CHECK(cond, detail)                 \
    do {                                    \
        if (!(cond)) Fail(#cond, (detail)); \
    } while (0)

const char kBlanks[] = " \t\n\f";

// Reads every byte of a text up to its NUL: ASan sees any read outside it.
void CheckText(const char* text) {
    if (!text) return;
    size_t n = strlen(text);
    CHECK(n < (size_t)kScanBufferSize, std::to_string(n));
    CHECK(memchr(text, '\r', n) == 0, text);
}

class CheckingLog : public CallLog {
public:
    uint32_t Request(uint32_t id, const char* url, int op) override {
        Check();
        CheckText(url);
        CHECK(op == OP_GET || op == OP_HEAD, std::to_string(op));
        return CallLog::Request(id, url, op);
    }
    uint32_t Status(uint32_t id, int code) override {
        Check();
        CHECK(code >= 0 && code <= 0xFFFF, std::to_string(code));
        return CallLog::Status(id, code);
    }
    uint32_t Base(uint32_t id, const char* url) override {
        Check();
        CheckText(url);
        CHECK(url && *url, "empty base");
        return CallLog::Base(id, url);
    }
    uint32_t ContentType(uint32_t id, const char* mime) override {
        Check();
        CheckText(mime);
        return CallLog::ContentType(id, mime);
    }
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        Check();
        CheckText(url);
        CheckText(extra);
        CHECK(type >= LT_ANCHOR && type <= LT_REDIRECT, std::to_string(type));
        CHECK(url && *url, "empty link");
        if (type != LT_REDIRECT) {
            CHECK(!strchr(url, '#'), url);
            CHECK(!strchr(kBlanks, url[0]) && !strchr(kBlanks, url[strlen(url) - 1]), url);
        }
        if (type == LT_INCLUDE)
            CHECK(extra && (strcmp(extra, "image") == 0 || strcmp(extra, "frame") == 0 || strcmp(extra, "script") == 0),
                  url);
        return CallLog::Link(id, url, type, extra);
    }
    uint32_t Title(uint32_t id, const char* text, int kind) override {
        Check();
        CheckText(text);
        CHECK(kind >= TT_HEADER && kind <= TT_H1, std::to_string(kind));
        return CallLog::Title(id, text, kind);
    }

    bool stopped = false;  // set by the harness once Feed has answered 0

private:
    void Check() const { CHECK(!stopped, "a report after the scanner stopped"); }
};

class CountingProgress : public AProgressbar {
public:
    int Progress(uint32_t done, uint32_t total, const char* text) override {
        (void)total;
        CHECK(text == 0, text);
        CHECK(done <= fed, std::to_string(done) + " of " + std::to_string(fed));
        return 1;
    }
    uint32_t fed = 0;
};

// Block sizes after the first: fixed, or from a small generator.
struct Cutter {
    unsigned choice;
    uint32_t state;
    size_t Next() {
        if (choice < 48) return choice + 1;
        state = state * 1103515245u + 12345u;
        return (state >> 16) % (choice * 4) + 1;
    }
};

std::string Run(const std::string& data, const char* request, int start, size_t first, Cutter* cut) {
    CheckingLog log;
    CountingProgress progress;
    PageScanner* scanner = new PageScanner(0, &log, "host", 8080, start == 3 ? &progress : 0);
    if (request) scanner->RequestLine(request);
    if (start == 1) scanner->BeginWithoutHead(200, "text/html", 0, TT_HEADER);
    log.stopped = scanner->Stopped();

    size_t at = 0;
    size_t block = first;
    while (at < data.size()) {
        size_t n = std::min(block, data.size() - at);
        progress.fed += (uint32_t)n;
        int answer = scanner->Feed(data.data() + at, n);
        CHECK(answer == (scanner->Stopped() ? 0 : 1), "answer");
        CHECK(!(log.stopped && answer), "a stopped scanner took a block");
        log.stopped = scanner->Stopped();
        at += n;
        block = cut ? cut->Next() : data.size();
    }
    CHECK(scanner->Feed(data.data(), 0) == 0, "end");
    log.stopped = true;
    CHECK(scanner->Feed("<title>x</title>", 16) == 0, "after the end");
    delete scanner;
    return log.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 2) return 0;
    const int start = bytes[0] & 3;
    const unsigned choice = bytes[0] >> 2;
    std::string data((const char*)bytes + 2, size - 2);

    std::string request;
    if (start == 2) {
        size_t lf = data.find('\n');
        size_t end = lf == std::string::npos ? data.size() : lf + 1;
        request = data.substr(0, end);
        request.resize(strlen(request.c_str()));  // up to any NUL
        data.erase(0, end);
    }
    size_t first = bytes[1] ? bytes[1] : data.size();
    if (first == 0) first = 1;

    const char* line = start == 2 ? request.c_str() : 0;
    std::string whole = Run(data, line, start, first, 0);
    Cutter cut = {choice, (uint32_t)size};
    std::string split = Run(data, line, start, first, &cut);
    if (whole != split) Fail("the calls depend on the blocks", whole + "-- against --\n" + split);
    return 0;
}
