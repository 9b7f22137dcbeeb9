// sitehost: serves the files of a folder over HTTP on 127.0.0.1, for the
// demonstration site and for timing browsers on the loopback. GET and HEAD,
// a thread per connection, Keep-Alive (HTTP/1.1 unless "Connection: close";
// HTTP/1.0 when asked with "Connection: Keep-Alive"), pipelined requests
// answered in order. Runs until killed or until /quit is asked for.
//
//   sitehost --root DIR [--port N] [--port-file FILE] [--log FILE]
//
// Port 0 (the default) takes any free port; the port is printed and, with
// --port-file, written to that file. The log has a line per request:
// "<connection> <method> <target> <status> <body bytes>".
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const size_t kMaxRequestHead = 16 * 1024;
const DWORD kIdleMs = 30000;

struct Server {
    std::string root;  // no trailing separator
    SOCKET listener = INVALID_SOCKET;
    FILE* log = 0;
    CRITICAL_SECTION log_lock;
    volatile LONG stopping = 0;
    volatile LONG connections = 0;
};

struct Client {
    Server* server;
    SOCKET s;
    long id;
};

struct Request {
    std::string method, target;
    bool http11 = false;
    bool keep_alive = false;
    bool has_body = false;  // a body we do not read: the connection ends after the answer
};

struct Answer {
    int status = 200;
    std::string type = "text/html";
    std::string location;
    std::string file;  // sent from disk when set, else body
    std::string body;
};

void Log(Server* server, long id, const Request& r, int status, unsigned long long bytes) {
    EnterCriticalSection(&server->log_lock);
    if (server->log)
        fprintf(server->log, "%ld %s %s %d %llu\n", id, r.method.empty() ? "-" : r.method.c_str(),
                r.target.empty() ? "-" : r.target.c_str(), status, bytes);
    if (server->log) fflush(server->log);
    LeaveCriticalSection(&server->log_lock);
}

bool SameText(const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; }

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool HasToken(const std::string& value, const char* token) {
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        if (SameText(Trim(value.substr(start, comma - start)), token)) return true;
        start = comma + 1;
    }
    return false;
}

// Reads the request line and the headers that matter here. False when it
// is not a request at all.
bool ParseRequest(const std::string& head, Request* r) {
    size_t eol = head.find('\n');
    std::string line = Trim(head.substr(0, eol));
    size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return false;
    r->method = line.substr(0, sp1);
    r->target = Trim(line.substr(sp1 + 1, sp2 - sp1 - 1));
    std::string version = line.substr(sp2 + 1);
    if (r->target.empty() || version.compare(0, 5, "HTTP/") != 0) return false;
    r->http11 = version != "HTTP/1.0" && version != "HTTP/0.9";
    bool close = false, keep = false;
    while (eol != std::string::npos && eol + 1 < head.size()) {
        size_t start = eol + 1;
        eol = head.find('\n', start);
        std::string header = head.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
        size_t colon = header.find(':');
        if (colon == std::string::npos) continue;
        std::string name = Trim(header.substr(0, colon)), value = Trim(header.substr(colon + 1));
        if (SameText(name, "Connection")) {
            close = close || HasToken(value, "close");
            keep = keep || HasToken(value, "keep-alive");
        } else if (SameText(name, "Content-Length")) {
            r->has_body = r->has_body || value != "0";
        } else if (SameText(name, "Transfer-Encoding")) {
            r->has_body = true;
        }
    }
    r->keep_alive = r->http11 ? !close : keep && !close;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Names Windows keeps for devices, in any folder and with any extension.
bool IsDeviceName(const std::string& segment) {
    std::string base = segment.substr(0, segment.find('.'));
    static const char* names[] = {"con", "prn", "aux", "nul", "clock$", "conin$", "conout$"};
    for (const char* n : names)
        if (SameText(base, n)) return true;
    if (base.size() == 4 && (_strnicmp(base.c_str(), "com", 3) == 0 || _strnicmp(base.c_str(), "lpt", 3) == 0) &&
        base[3] >= '0' && base[3] <= '9')
        return true;
    return false;
}

// The path of a request target, as sent (*raw) and decoded (*path): "/"
// and names, nothing that could leave the root. False for a target that
// may not name a file here.
bool TargetPath(const std::string& target, std::string* raw, std::string* path) {
    std::string t = target;
    if (_strnicmp(t.c_str(), "http://", 7) == 0) {
        size_t slash = t.find('/', 7);
        t = slash == std::string::npos ? "/" : t.substr(slash);
    }
    t = t.substr(0, t.find_first_of("?#"));
    *raw = t;
    if (t.empty() || t[0] != '/') return false;
    path->clear();
    for (size_t i = 0; i < t.size(); i++) {
        char c = t[i];
        if (c == '%') {
            int hi = i + 2 < t.size() ? HexValue(t[i + 1]) : -1, lo = hi >= 0 ? HexValue(t[i + 2]) : -1;
            if (lo < 0) return false;
            c = (char)(hi * 16 + lo);
            if (c == '.' || c == '/' || c == '\\') return false;  // encoded dots and separators: never
            i += 2;
        }
        if ((unsigned char)c < 0x20 || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            return false;
        *path += c;
    }
    if (path->find("..") != std::string::npos) return false;
    size_t start = 1;
    while (start < path->size()) {
        size_t end = path->find('/', start);
        if (end == std::string::npos) end = path->size();
        if (IsDeviceName(path->substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

const char* TypeOf(const std::string& name) {
    static const struct {
        const char* ext;
        const char* type;
    } types[] = {{".html", "text/html"}, {".htm", "text/html"},  {".gif", "image/gif"},
                 {".png", "image/png"},  {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
                 {".txt", "text/plain"}, {".css", "text/css"},   {".js", "application/javascript"}};
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && name.find('/', dot) == std::string::npos)
        for (const auto& t : types)
            if (SameText(name.substr(dot), t.ext)) return t.type;
    return "application/octet-stream";
}

void ErrorPage(Answer* a, int status, const char* title, const char* text) {
    a->status = status;
    a->type = "text/html";
    a->body = std::string("<html><head><title>") + title + "</title></head>\n<body><h1>" + title + "</h1>\n<p>" + text +
              "</p></body></html>\n";
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What to answer to a GET or HEAD of target.
void Find(Server* server, const std::string& target, Answer* a) {
    std::string raw, path;
    if (!TargetPath(target, &raw, &path)) {
        ErrorPage(a, 400, "Bad Request", "That is not a name of a file here.");
        return;
    }
    std::string file = server->root;
    for (char c : path) file += c == '/' ? '\\' : c;
    if (IsFolder(file)) {
        if (path.back() != '/') {
            // Relative links of the folder's index work from "dir/", not "dir".
            ErrorPage(a, 301, "Moved Permanently", "The folder's page is elsewhere.");
            a->location = raw + "/";
            return;
        }
        file += "index.html";
        path += "index.html";
    }
    if (!IsFile(file)) {
        ErrorPage(a, 404, "Not Found", "The requested URL was not found on this server.");
        return;
    }
    a->type = TypeOf(path);
    a->file = file;
}

bool SendAll(SOCKET s, const char* data, size_t n) {
    while (n > 0) {
        int sent = send(s, data, (int)(n > 65536 ? 65536 : n), 0);
        if (sent <= 0) return false;
        data += sent;
        n -= (size_t)sent;
    }
    return true;
}

// Sends the answer; false when the connection cannot go on. *bytes is the
// body's length.
bool SendAnswer(SOCKET s, const Request& r, const Answer& a, bool keep_alive, unsigned long long* bytes) {
    static const struct {
        int status;
        const char* reason;
    } reasons[] = {
        {200, "OK"}, {301, "Moved Permanently"}, {400, "Bad Request"}, {404, "Not Found"}, {501, "Not Implemented"}};
    const char* reason = "OK";
    for (const auto& x : reasons)
        if (x.status == a.status) reason = x.reason;

    HANDLE file = INVALID_HANDLE_VALUE;
    unsigned long long length = a.body.size();
    if (!a.file.empty()) {
        file = CreateFileA(a.file.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        LARGE_INTEGER size;
        if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) {
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            Answer failed;
            ErrorPage(&failed, 404, "Not Found", "The requested URL was not found on this server.");
            return SendAnswer(s, r, failed, keep_alive, bytes);
        }
        length = (unsigned long long)size.QuadPart;
    }
    char head[1024];
    snprintf(head, sizeof head,
             "HTTP/1.1 %d %s\r\nServer: sitehost/1.0\r\nContent-Type: %s\r\nContent-Length: %llu\r\n%s%s%s"
             "Connection: %s\r\n\r\n",
             a.status, reason, a.type.c_str(), length, a.location.empty() ? "" : "Location: ", a.location.c_str(),
             a.location.empty() ? "" : "\r\n", keep_alive ? "Keep-Alive" : "close");
    *bytes = length;
    bool head_only = r.method == "HEAD";
    if (file == INVALID_HANDLE_VALUE) {
        std::string all = std::string(head) + (head_only ? std::string() : a.body);
        return SendAll(s, all.data(), all.size());
    }
    bool ok = SendAll(s, head, strlen(head));
    static const DWORD kChunk = 64 * 1024;
    char* chunk = head_only ? 0 : (char*)malloc(kChunk);
    unsigned long long left = head_only ? 0 : length;
    if (!head_only && !chunk) ok = false;
    while (ok && left > 0) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, kChunk, &got, 0) || got == 0) ok = false;  // shrank under us: end it
        if (ok) ok = SendAll(s, chunk, got > left ? (size_t)left : got);
        left -= got > left ? left : got;
    }
    free(chunk);
    CloseHandle(file);
    return ok;
}

// Waits for more of a request: false when the client went or stayed idle.
bool ReceiveMore(SOCKET s, std::string* in) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = {(long)(kIdleMs / 1000), 0};
    if (select(0, &readable, 0, 0, &wait) <= 0) return false;
    char buffer[8192];
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    in->append(buffer, (size_t)n);
    return true;
}

size_t HeadEnd(const std::string& in) {
    size_t crlf = in.find("\r\n\r\n"), lf = in.find("\n\n");
    if (crlf != std::string::npos && (lf == std::string::npos || crlf + 2 < lf)) return crlf + 4;
    return lf == std::string::npos ? std::string::npos : lf + 2;
}

void Stop(Server* server) {
    InterlockedExchange(&server->stopping, 1);
    closesocket(server->listener);  // the accept loop ends
}

DWORD WINAPI Serve(void* param) {
    Client* client = (Client*)param;
    Server* server = client->server;
    SOCKET s = client->s;
    std::string in;
    for (;;) {
        size_t end;
        while ((end = HeadEnd(in)) == std::string::npos && in.size() <= kMaxRequestHead && ReceiveMore(s, &in)) {
        }
        if (end == std::string::npos || end > kMaxRequestHead) {
            if (in.size() > kMaxRequestHead) {
                Request none;
                Answer a;
                unsigned long long bytes = 0;
                ErrorPage(&a, 400, "Bad Request", "The request's head is too long.");
                SendAnswer(s, none, a, false, &bytes);
                Log(server, client->id, none, 400, bytes);
            }
            break;
        }
        Request r;
        Answer a;
        bool parsed = ParseRequest(in.substr(0, end), &r);
        in.erase(0, end);
        bool keep = parsed && r.keep_alive && !r.has_body;
        bool quit = false;
        if (!parsed) {
            ErrorPage(&a, 400, "Bad Request", "That is not an HTTP request.");
        } else if (r.method != "GET" && r.method != "HEAD") {
            ErrorPage(&a, 501, "Not Implemented", "Only GET and HEAD are served here.");
        } else if (r.target == "/quit") {
            ErrorPage(&a, 200, "Goodbye", "The server stops.");
            keep = false;
            quit = true;
        } else {
            Find(server, r.target, &a);
        }
        unsigned long long bytes = 0;
        bool sent = SendAnswer(s, r, a, keep, &bytes);
        Log(server, client->id, r, a.status, bytes);
        if (quit) {
            shutdown(s, SD_SEND);
            Stop(server);
        }
        if (!sent || !keep) break;
    }
    shutdown(s, SD_SEND);
    closesocket(s);
    delete client;
    return 0;
}

bool WritePortFile(const char* name, unsigned port) {
    std::string temporary = std::string(name) + ".tmp";
    FILE* f = fopen(temporary.c_str(), "wb");  // "N\n" for the scripts that read it
    if (!f) return false;
    fprintf(f, "%u\n", port);
    if (fclose(f) != 0) return false;
    // Whole or not at all, for a script that waits for the file.
    return MoveFileExA(temporary.c_str(), name, MOVEFILE_REPLACE_EXISTING) != 0;
}

int Usage() {
    fprintf(stderr, "usage: sitehost --root DIR [--port N] [--port-file FILE] [--log FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Server server;
    const char* port_file = 0;
    const char* log_name = 0;
    long port = 0;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        if (a == "--root") {
            server.root = argv[++i];
        } else if (a == "--port") {
            char* end;
            port = strtol(argv[++i], &end, 10);
            if (*end || port < 0 || port > 65535) return Usage();
        } else if (a == "--port-file") {
            port_file = argv[++i];
        } else if (a == "--log") {
            log_name = argv[++i];
        } else {
            return Usage();
        }
    }
    while (!server.root.empty() && (server.root.back() == '\\' || server.root.back() == '/')) server.root.pop_back();
    if (server.root.empty() || !IsFolder(server.root)) {
        fprintf(stderr, "sitehost: no folder to serve (--root)\n");
        return 2;
    }
    if (log_name && !(server.log = fopen(log_name, "w"))) {
        fprintf(stderr, "sitehost: cannot write %s\n", log_name);
        return 2;
    }
    InitializeCriticalSection(&server.log_lock);

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        fprintf(stderr, "sitehost: no Winsock\n");
        return 2;
    }
    server.listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (server.listener == INVALID_SOCKET || bind(server.listener, (sockaddr*)&address, sizeof address) != 0 ||
        listen(server.listener, SOMAXCONN) != 0 || getsockname(server.listener, (sockaddr*)&address, &length) != 0) {
        fprintf(stderr, "sitehost: cannot listen on 127.0.0.1:%ld (error %d)\n", port, WSAGetLastError());
        return 1;
    }
    unsigned chosen = ntohs(address.sin_port);
    if (port_file && !WritePortFile(port_file, chosen)) {
        fprintf(stderr, "sitehost: cannot write %s\n", port_file);
        return 1;
    }
    printf("%u\n", chosen);
    fflush(stdout);

    while (!server.stopping) {
        SOCKET s = accept(server.listener, 0, 0);
        if (s == INVALID_SOCKET) {
            if (server.stopping) break;
            Sleep(10);  // out of handles for a moment, perhaps
            continue;
        }
        BOOL on = TRUE;
        // Heads and bodies go out as written: no waiting for the peer's delayed ACK.
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, (const char*)&on, sizeof on);
        Client* client = new Client{&server, s, InterlockedIncrement(&server.connections)};
        HANDLE thread = CreateThread(0, 0, Serve, client, 0, 0);
        if (thread) {
            CloseHandle(thread);
        } else {
            closesocket(s);
            delete client;
        }
    }
    // Give the last answers a moment to leave before the process ends.
    Sleep(100);
    EnterCriticalSection(&server.log_lock);
    if (server.log) fclose(server.log);
    server.log = 0;
    LeaveCriticalSection(&server.log_lock);
    WSACleanup();
    return 0;
}
