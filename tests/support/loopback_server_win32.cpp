#include "tests/support/loopback_server_win32.h"

namespace {

// A request head larger than this is cut off: no test sends one.
const size_t kHeadLimit = 65536;
// How often waiting threads look whether the server is stopping.
const long kPollMicroseconds = 20000;

void SendAll(SOCKET s, const char* bytes, size_t n) {
    while (n > 0) {
        int sent = send(s, bytes, (int)n, 0);
        if (sent <= 0) return;
        bytes += sent;
        n -= (size_t)sent;
    }
}

// "GET /x HTTP/1.0\r\n..." gives "/x".
std::string TargetOf(const std::string& head) {
    size_t start = head.find(' ');
    if (start == std::string::npos) return "";
    ++start;
    size_t end = head.find_first_of(" \r\n", start);
    return head.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

std::string HttpResponse(int code, const std::string& headers, const std::string& body) {
    return "HTTP/1.0 " + std::to_string(code) + " Test\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

LoopbackServer::LoopbackServer()
    : started_(false), listener_(INVALID_SOCKET), port_(0), stop_(CreateEventA(0, TRUE, FALSE, 0)), answered_(0) {
    others_.bytes = HttpResponse(404, "Content-Type: text/html\r\n", "<title>Not here</title>");
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, (const sockaddr*)&address, sizeof address) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, (sockaddr*)&address, &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread(&LoopbackServer::AcceptConnections, this);
}

LoopbackServer::~LoopbackServer() {
    Stop();
    CloseHandle(stop_);
    if (started_) WSACleanup();
}

void LoopbackServer::Answer(const std::string& target, const LoopbackReply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = reply;
}

void LoopbackServer::AnswerOthers(const LoopbackReply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    others_ = reply;
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

size_t LoopbackServer::answered() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return answered_;
}

void LoopbackServer::Stop() {
    SetEvent(stop_);
    if (acceptor_.joinable()) acceptor_.join();
    // The acceptor has ended, so no thread is added any more.
    for (std::thread& t : connections_)
        if (t.joinable()) t.join();
    connections_.clear();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
}

bool LoopbackServer::WaitReadable(SOCKET s) {
    while (WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval wait = {0, kPollMicroseconds};
        int ready = select(0, &readable, 0, 0, &wait);
        if (ready != 0) return ready > 0;
    }
    return false;
}

void LoopbackServer::AcceptConnections() {
    while (WaitReadable(listener_)) {
        SOCKET connection = accept(listener_, 0, 0);
        if (connection == INVALID_SOCKET) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace_back(&LoopbackServer::Serve, this, connection);
    }
}

void LoopbackServer::Serve(SOCKET connection) {
    std::string head;
    bool whole = ReadHead(connection, &head);
    if (!head.empty()) {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(head);
    }
    if (whole) Send(connection, ReplyFor(head));
    closesocket(connection);
    if (whole) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++answered_;
    }
}

// True when the head arrived up to its blank line.
bool LoopbackServer::ReadHead(SOCKET connection, std::string* head) {
    char block[1024];
    while (head->size() < kHeadLimit && WaitReadable(connection)) {
        int n = recv(connection, block, sizeof block, 0);
        if (n <= 0) return false;
        head->append(block, (size_t)n);
        size_t end = head->find("\r\n\r\n");
        if (end != std::string::npos) {
            head->resize(end + 4);
            return true;
        }
    }
    return false;
}

LoopbackReply LoopbackServer::ReplyFor(const std::string& head) const {
    std::string target = TargetOf(head);
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<std::string, LoopbackReply>::const_iterator found = replies_.find(target);
    if (found == replies_.end() && target.compare(0, 7, "http://") == 0) {
        size_t path = target.find('/', 7);
        found = replies_.find(path == std::string::npos ? "/" : target.substr(path));
    }
    return found == replies_.end() ? others_ : found->second;
}

void LoopbackServer::Send(SOCKET connection, const LoopbackReply& reply) {
    switch (reply.how) {
    case kReplyWhole: SendAll(connection, reply.bytes.data(), reply.bytes.size()); break;
    case kReplyCut:
        SendAll(connection, reply.bytes.data(), reply.cut < reply.bytes.size() ? reply.cut : reply.bytes.size());
        break;
    case kReplySilent: {
        // Until the client gives up or the server stops.
        char block[256];
        while (WaitReadable(connection) && recv(connection, block, sizeof block, 0) > 0) {
        }
        return;
    }
    case kReplyTrickle:
        for (size_t i = 0; i < reply.bytes.size(); ++i) {
            SendAll(connection, reply.bytes.data() + i, 1);
            if (WaitForSingleObject(stop_, reply.interval) == WAIT_OBJECT_0) break;
        }
        break;
    }
    shutdown(connection, SD_SEND);
}
