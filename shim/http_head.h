// Reading HTTP/1.x message heads as the shim sees them in a browser's
// traffic: which request a request head makes and how long its body is,
// and what a response head says about its status and its body.
//
// Heads are given whole (request or status line, header lines, the empty
// line), as plain bytes that need not be NUL-terminated; lines end with a
// line feed, a carriage return before it is dropped. Nothing outside the
// given bytes is read. Header names are matched without regard to case;
// values lose spaces and tabs at both ends; continuation lines (starting
// with a space or tab) and lines without ':' are passed over, since none
// of the headers read here is folded by a browser or a server that means
// it.
#ifndef SKEIND_SHIM_HTTP_HEAD_H
#define SKEIND_SHIM_HTTP_HEAD_H

#include <stddef.h>
#include <stdint.h>

// The methods a browser's request may start with; any other first word is
// not HTTP.
enum HttpMethod {
    MethodNone = 0,
    MethodGet,
    MethodHead,
    MethodPost,
    MethodPut,
    MethodDelete,
    MethodOptions,
    MethodTrace,
    MethodConnect,
    MethodPatch
};

enum Plausibility { Implausible, PlausibleSoFar, Plausible };

// Whether the first `count` bytes sent can start a request line: a known
// method in capitals followed by a space. PlausibleSoFar while the bytes
// are too few to tell.
Plausibility RequestStart(const char* bytes, size_t count);

// Whether the first `count` bytes received can start a status line
// ("HTTP/"): PlausibleSoFar while they are fewer than five.
Plausibility ResponseStart(const char* bytes, size_t count);

struct TextSpan {
    const char* text;
    size_t length;
};

// How a body's end is found.
enum BodyFraming {
    BodyNone,        // no body
    BodyLength,      // `length` bytes
    BodyChunked,     // chunked transfer coding
    BodyUntilClose,  // to the end of the connection
    BodyUnknown      // the head's framing headers cannot be trusted
};

struct RequestHead {
    HttpMethod method;
    TextSpan target;   // as written: a path, an absolute URL, "*", host:port
    TextSpan host;     // the Host header's value; length 0 when absent or unusable
    bool upgrade;      // an Upgrade header: another protocol is asked for, not a page
    BodyFraming body;  // BodyNone, BodyLength, BodyChunked or BodyUnknown
    uint64_t length;   // for BodyLength
};

// Reads a request head; false when its first line is not
// "METHOD SP target SP HTTP/d.d". A Host value with bytes that cannot be
// part of a host and port (white space, '/', '@', control bytes) is
// unusable. A Transfer-Encoding other than chunked, or a Content-Length
// that is not a decimal number of at most 18 digits, or two that differ,
// make BodyUnknown; a Content-Length of 0 is no body.
bool ReadRequestHead(const char* head, size_t count, RequestHead* out);

struct ResponseHead {
    int status;        // the three-digit code
    BodyFraming body;  // BodyLength, BodyChunked, BodyUntilClose or BodyUnknown,
                       // from the headers alone: the status and the request
                       // decide whether there is a body at all
    uint64_t length;   // for BodyLength
    bool coded;        // a Content-Encoding other than identity: the body
                       // bytes are not the page's text
};

// Reads a response head; false when its first line is not
// "HTTP/d.d", spaces or tabs, three digits, then a space, a tab or the end
// (the line that the page scanner takes for a status line). A
// Transfer-Encoding whose last coding is chunked makes BodyChunked, any
// other BodyUntilClose; without one, a Content-Length makes BodyLength
// (BodyUnknown when it is not a decimal number of at most 18 digits, or
// two differ).
bool ReadResponseHead(const char* head, size_t count, ResponseHead* out);

#endif
