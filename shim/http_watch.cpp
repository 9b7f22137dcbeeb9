#include "shim/http_watch.h"

#include <stdio.h>
#include <string.h>

#include <new>

namespace {

bool IsReported(HttpMethod method) {
    return method == MethodGet || method == MethodHead || method == MethodPost;
}

// scheme "://": a target that is already a whole URL.
bool IsAbsolute(TextSpan target) {
    size_t i = 0;
    while (i < target.length) {
        char c = target.text[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) break;
        ++i;
    }
    return i > 0 && target.length - i >= 3 && memcmp(target.text + i, "://", 3) == 0;
}

size_t Smaller(size_t count, uint64_t left) {
    return left < count ? (size_t)left : count;
}

}  // namespace

// ---- Heads ----------------------------------------------------------------

size_t HttpWatch::Head::Take(const char* p, size_t count) {
    size_t i = 0;
    while (i < count && !ended) {
        char c = p[i];
        if (bytes.empty() && (c == '\r' || c == '\n')) {
            ++i;  // a stray line end between messages
            continue;
        }
        if (bytes.size() >= kHeadMax) break;
        bytes += c;
        ++i;
        if (c == '\n') {
            ended = line_length == 0;
            line_length = 0;
        } else if (c != '\r') {
            ++line_length;
        }
    }
    return i;
}

void HttpWatch::Head::Clear() {
    bytes.clear();
    line_length = 0;
    ended = false;
}

// ---- The watch ------------------------------------------------------------------

HttpWatch::HttpWatch(const char* peer_host, int peer_port, ExchangeIds* ids, AClient* client)
    : ids_(ids),
      client_(client),
      watching_(true),
      send_state_(SendHead),
      send_left_(0),
      receive_state_(ReceiveHead),
      receive_left_(0),
      pending_first_(0),
      pending_count_(0) {
    if (!peer_host) peer_host = "";
    bool address6 = strchr(peer_host, ':') != 0;
    if (address6) peer_ += '[';
    peer_ += peer_host;
    if (address6) peer_ += ']';
    if (peer_port != 80) {
        char port[16];
        snprintf(port, sizeof port, ":%d", peer_port);
        peer_ += port;
    }
}

HttpWatch::~HttpWatch() {
    Closed();
}

void HttpWatch::Sent(const uint8_t* bytes, size_t count) {
    const char* p = (const char*)bytes;
    while (watching_ && count > 0) {
        size_t used = send_state_ == SendHead ? TakeRequestHead(p, count) : SkipRequestBody(p, count);
        p += used;
        count -= used;
    }
}

void HttpWatch::Received(const uint8_t* bytes, size_t count) {
    if (count == 0) StopWatching();  // no response can follow
    const char* p = (const char*)bytes;
    while (watching_ && count > 0) {
        size_t used = receive_state_ == ReceiveHead ? TakeResponseHead(p, count) : TakeResponseBody(p, count);
        p += used;
        count -= used;
    }
}

void HttpWatch::Closed() {
    StopWatching();
}

// ---- Requests ---------------------------------------------------------------

size_t HttpWatch::TakeRequestHead(const char* p, size_t count) {
    Head& head = request_head_;
    size_t used = head.Take(p, count);
    if (!head.bytes.empty() && RequestStart(head.bytes.data(), head.bytes.size()) == Implausible) {
        StopWatching();
        return used;
    }
    if (!head.ended) {
        if (head.bytes.size() >= kHeadMax) StopWatching();
        return used;
    }
    RequestHead request;
    if (!ReadRequestHead(head.bytes.data(), head.bytes.size(), &request) || request.body == BodyUnknown ||
        pending_count_ == kPendingMax) {
        StopWatching();
        return used;
    }
    BeginExchange(request);
    head.Clear();
    if (request.body == BodyLength) {
        send_left_ = request.length;
        send_state_ = SendBodyLength;
    } else if (request.body == BodyChunked) {
        send_chunks_.Reset();
        send_state_ = SendBodyChunked;
    }
    return used;
}

void HttpWatch::BeginExchange(const RequestHead& request) {
    Exchange& e = pending_[(pending_first_ + pending_count_) % kPendingMax];
    ++pending_count_;
    e.id = 0;
    e.method = request.method;
    e.scanner = 0;
    e.scan_body = false;
    if (!IsReported(request.method) || request.upgrade) return;
    std::string url = AbsoluteUrl(request);
    if (url.empty()) return;
    e.id = ids_->Next();
    e.scanner = new (std::nothrow) PageScanner(e.id, client_);
    if (!e.scanner) return;
    // The scanner reads the URL from a request line, and knows GET and HEAD.
    std::string line = (request.method == MethodHead ? "HEAD " : "GET ") + url + " HTTP/1.0\r\n";
    e.scanner->RequestLine(line.c_str());
}

// "" when the target is neither a path nor a whole URL ("*", host:port).
std::string HttpWatch::AbsoluteUrl(const RequestHead& request) const {
    const TextSpan& target = request.target;
    if (target.length > 0 && target.text[0] == '/') {
        std::string url = "http://";
        if (request.host.length > 0)
            url.append(request.host.text, request.host.length);
        else
            url += peer_;
        url.append(target.text, target.length);
        return url;
    }
    if (IsAbsolute(target)) return std::string(target.text, target.length);
    return std::string();
}

size_t HttpWatch::SkipRequestBody(const char* p, size_t count) {
    if (send_state_ == SendBodyLength) {
        size_t n = Smaller(count, send_left_);
        send_left_ -= n;
        if (send_left_ == 0) send_state_ = SendHead;
        return n;
    }
    const char* data;
    size_t data_count;
    size_t used = send_chunks_.Read(p, count, &data, &data_count);
    if (send_chunks_.Failed())
        StopWatching();
    else if (send_chunks_.Done())
        send_state_ = SendHead;
    return used;
}

// ---- Responses ----------------------------------------------------------------

size_t HttpWatch::TakeResponseHead(const char* p, size_t count) {
    Head& head = response_head_;
    size_t used = head.Take(p, count);
    if (!head.bytes.empty() &&
        (pending_count_ == 0 || ResponseStart(head.bytes.data(), head.bytes.size()) == Implausible)) {
        StopWatching();
        return used;
    }
    if (!head.ended) {
        if (head.bytes.size() >= kHeadMax) StopWatching();
        return used;
    }
    ResponseHead response;
    if (!ReadResponseHead(head.bytes.data(), head.bytes.size(), &response)) {
        StopWatching();
        return used;
    }
    BeginResponse(response);
    return used;
}

void HttpWatch::BeginResponse(const ResponseHead& response) {
    Exchange& e = Oldest();
    int status = response.status;
    if (status == 101 || (e.method == MethodConnect && status / 100 == 2)) {
        StopWatching();  // what follows is not HTTP
        return;
    }
    if (status / 100 == 1) {
        response_head_.Clear();  // interim: the final response follows
        return;
    }
    if (e.scanner) e.scanner->Feed(response_head_.bytes.data(), response_head_.bytes.size());
    response_head_.Clear();
    e.scan_body = !response.coded;
    if (e.method == MethodHead || status == 204 || status == 304) {
        EndOldest();
        return;
    }
    switch (response.body) {
    case BodyLength:
        if (response.length == 0) {
            EndOldest();
        } else {
            receive_left_ = response.length;
            receive_state_ = ReceiveBodyLength;
        }
        break;
    case BodyChunked:
        receive_chunks_.Reset();
        receive_state_ = ReceiveBodyChunked;
        break;
    case BodyUntilClose: receive_state_ = ReceiveUntilClose; break;
    default: StopWatching(); break;  // the body's end cannot be found
    }
}

size_t HttpWatch::TakeResponseBody(const char* p, size_t count) {
    if (receive_state_ == ReceiveBodyLength) {
        size_t n = Smaller(count, receive_left_);
        FeedBody(p, n);
        receive_left_ -= n;
        if (receive_left_ == 0) EndOldest();
        return n;
    }
    if (receive_state_ == ReceiveUntilClose) {
        FeedBody(p, count);
        return count;
    }
    const char* data;
    size_t data_count;
    size_t used = receive_chunks_.Read(p, count, &data, &data_count);
    FeedBody(data, data_count);
    if (receive_chunks_.Failed())
        StopWatching();
    else if (receive_chunks_.Done())
        EndOldest();
    return used;
}

void HttpWatch::FeedBody(const char* p, size_t count) {
    Exchange& e = Oldest();
    if (e.scanner && e.scan_body && count > 0 && !e.scanner->Stopped()) e.scanner->Feed(p, count);
}

// ---- Ends -------------------------------------------------------------------

void HttpWatch::EndOldest() {
    End(Oldest());
    pending_first_ = (pending_first_ + 1) % kPendingMax;
    --pending_count_;
    receive_state_ = ReceiveHead;
}

void HttpWatch::End(Exchange& e) {
    if (!e.scanner) return;
    e.scanner->Feed(0, 0);
    client_->Close(e.id);
    delete e.scanner;
    e.scanner = 0;
}

void HttpWatch::StopWatching() {
    if (!watching_) return;
    while (pending_count_ > 0) EndOldest();
    watching_ = false;
    // A connection no longer watched keeps no buffers.
    std::string().swap(request_head_.bytes);
    std::string().swap(response_head_.bytes);
}
