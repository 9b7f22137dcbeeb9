// HttpWatch: what one TCP connection of the browser says in HTTP, reported
// as calls on a client (the shim's datagrams). The DLL shows it the bytes the browser has
// sent and read; it only reads them, keeping what it needs of a head, and
// never changes, withholds or waits for them.
//
// Sending side: each request head (request line, header lines, empty
// line) starts an exchange. GET, HEAD and POST requests are reported: a
// PageScanner is made for the exchange and given the request line, with a
// path made absolute from the Host header ("http://" host path), or from
// the peer's address and port when there is none. An absolute target (a
// request to a proxy) is taken as it is. POST is reported as a GET: the
// datagrams know only GET and HEAD, and the answer to a form is a page.
// Other methods are framed but not reported. Request bodies (by
// Content-Length or chunked) are passed over.
//
// Receiving side: responses are matched to requests in order (requests may
// be pipelined). Each response head is gathered whole and given to the
// oldest exchange's scanner in one piece; then its body, by Content-Length,
// chunked (the scanner gets the data without the chunk framing) or up to
// the end of the connection. No body follows a response to HEAD, nor a
// 204 or 304. An exchange ends with its body: its scanner gets Feed(0, 0)
// and the program Close for its id.
//
// Decisions:
//  - Interim responses (1xx) are passed over and the exchange waits for its
//    final response; 101 (another protocol follows) and a 2xx answer to
//    CONNECT (a tunnel follows) end watching.
//  - A body with a Content-Encoding other than identity is framed but not
//    scanned: its bytes are not the page's text.
//  - Empty lines before a request or a response are passed over (old
//    browsers send one after a POST body).
//
// Watching ends for good, every open exchange ended, when the connection
// stops looking like HTTP: the first bytes of a request are not a known
// method in capitals and a space, a response does not start with "HTTP/",
// a head is unreadable or longer than kHeadMax, bytes arrive with no
// request waiting, a body's framing is not to be trusted, or more than
// kPendingMax requests wait for their responses. Closed, the end of the
// peer's data (Received with a count of 0) and destruction end every open
// exchange the same way, so the program never keeps half a connection.
//
// Memory per connection is bounded: two heads of at most kHeadMax bytes
// (one each way), at most kPendingMax scanners of about 2 KB.
//
// Not thread-safe: the DLL's WatchTable serialises the calls on one
// connection.
#ifndef SKEIND_SHIM_HTTP_WATCH_H
#define SKEIND_SHIM_HTTP_WATCH_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "observe/client.h"
#include "observe/page_scanner.h"
#include "shim/chunk_reader.h"
#include "shim/exchange_ids.h"
#include "shim/http_head.h"

// The longest request or response head that is read; browsers' heads are
// a few hundred bytes to a few KB.
const size_t kHeadMax = 8192;
// The most requests that may wait for their responses on one connection.
const int kPendingMax = 16;

class HttpWatch {
public:
    // `peer_host` is the connected peer's address as text (copied); `ids`
    // and `client` must outlive the watch.
    HttpWatch(const char* peer_host, int peer_port, ExchangeIds* ids, AClient* client);
    // Ends every open exchange, as Closed does.
    ~HttpWatch();

    // What the browser sent.
    void Sent(const uint8_t* bytes, size_t count);
    // What the browser read; a count of 0 is the end of the peer's data.
    void Received(const uint8_t* bytes, size_t count);
    // The browser closed the socket.
    void Closed();

    bool Watching() const { return watching_; }
    // Requests waiting for the end of their responses.
    int Pending() const { return pending_count_; }

private:
    HttpWatch(const HttpWatch&);
    HttpWatch& operator=(const HttpWatch&);

    // One request and its response.
    struct Exchange {
        uint32_t id;
        HttpMethod method;
        PageScanner* scanner;  // owned; none when the exchange is not reported
        bool scan_body;        // the response's body goes to the scanner
    };

    // A head being gathered, one way.
    struct Head {
        std::string bytes;
        size_t line_length = 0;  // bytes of the current line, carriage returns not counted
        bool ended = false;

        size_t Take(const char* p, size_t count);
        void Clear();
    };

    enum SendState { SendHead, SendBodyLength, SendBodyChunked };
    enum ReceiveState { ReceiveHead, ReceiveBodyLength, ReceiveBodyChunked, ReceiveUntilClose };

    size_t TakeRequestHead(const char* p, size_t count);
    void BeginExchange(const RequestHead& request);
    std::string AbsoluteUrl(const RequestHead& request) const;
    size_t SkipRequestBody(const char* p, size_t count);

    size_t TakeResponseHead(const char* p, size_t count);
    void BeginResponse(const ResponseHead& response);
    size_t TakeResponseBody(const char* p, size_t count);
    void FeedBody(const char* p, size_t count);

    Exchange& Oldest() { return pending_[pending_first_]; }
    void EndOldest();
    void End(Exchange& exchange);
    void StopWatching();

    std::string peer_;  // host[:port] for paths without a Host header
    ExchangeIds* ids_;
    AClient* client_;
    bool watching_;

    SendState send_state_;
    Head request_head_;
    uint64_t send_left_;  // request body bytes to pass over
    ChunkReader send_chunks_;

    ReceiveState receive_state_;
    Head response_head_;
    uint64_t receive_left_;
    ChunkReader receive_chunks_;

    // Requests in the order sent, the oldest at pending_first_.
    Exchange pending_[kPendingMax];
    int pending_first_;
    int pending_count_;
};

#endif
