// AClient: what an observer of one page's traffic reports, whoever the
// observer is (the shim's datagrams, or the program's own scanner). Every
// call names the connection it is about; texts are NUL-terminated or null.
// A non-zero answer means "go on".
#ifndef SKEIND_OBSERVE_CLIENT_H
#define SKEIND_OBSERVE_CLIENT_H

#include <stddef.h>
#include <stdint.h>

// Operation codes of Request.
const int OP_GET = 0;
const int OP_HEAD = 1;

// Link types of Link.
const int LT_ANCHOR = 0;
const int LT_INCLUDE = 1;
const int LT_MISC = 2;
const int LT_REDIRECT = 3;

// Title kinds of Title.
const int TT_HEADER = 0;
const int TT_TITLE = 1;
const int TT_H1 = 2;

// One link of several reported together (AClient::Links).
struct LinkReport {
    const char* url;
    int type;
    const char* extra;
};

class AClient {
public:
    virtual uint32_t Open(uint32_t id, const char* text) = 0;
    virtual uint32_t Request(uint32_t id, const char* url, int op) = 0;
    virtual uint32_t Status(uint32_t id, int code) = 0;
    virtual uint32_t Base(uint32_t id, const char* url) = 0;
    virtual uint32_t MarkPage(uint32_t id, const char* text) = 0;
    virtual uint32_t ContentType(uint32_t id, const char* mime) = 0;
    virtual uint32_t Link(uint32_t id, const char* url, int type, const char* extra) = 0;
    // Several links of one connection, read together (the page scanner
    // reports those of a block so); the same as Link for each in turn,
    // which is all a client that gains nothing from a batch need do.
    virtual void Links(uint32_t id, const LinkReport* links, size_t n) {
        for (size_t i = 0; i < n; ++i) Link(id, links[i].url, links[i].type, links[i].extra);
    }
    virtual uint32_t Title(uint32_t id, const char* text, int kind) = 0;
    virtual uint32_t Close(uint32_t id) = 0;

protected:
    // Clients are owned and destroyed through their own types.
    ~AClient() {}
};

// Hears every report and does nothing with it: the base of tools and
// benchmarks that want only some of the reports.
class QuietClient : public AClient {
public:
    uint32_t Open(uint32_t, const char*) override { return 1; }
    uint32_t Request(uint32_t, const char*, int) override { return 1; }
    uint32_t Status(uint32_t, int) override { return 1; }
    uint32_t Base(uint32_t, const char*) override { return 1; }
    uint32_t MarkPage(uint32_t, const char*) override { return 1; }
    uint32_t ContentType(uint32_t, const char*) override { return 1; }
    uint32_t Link(uint32_t, const char*, int, const char*) override { return 1; }
    uint32_t Title(uint32_t, const char*, int) override { return 1; }
    uint32_t Close(uint32_t) override { return 1; }
};

#endif
