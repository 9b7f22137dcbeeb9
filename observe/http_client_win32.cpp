#include "observe/http_client.h"

#include <string.h>

#include "observe/settings.h"

namespace {

const char kInternetSettingsPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// Where an older browser keeps its proxy; read when the system has none.
const char kOlderProxyPath[] = "Software\\Netscape\\Netscape Navigator\\Proxy Information";

const int kReceiveBlock = 2048;

// Clears the text and gives its memory back.
void Release(std::string* text) { std::string().swap(*text); }

}  // namespace

HttpClient::HttpClient() : next_number_(1), idle_limit_(kFetchIdleLimit), started_(false), bytes_received_(0) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

HttpClient::~HttpClient() {
    for (int i = 0; i < kFetchSlots; ++i)
        if (!slots_[i].url.empty()) Finish(&slots_[i]);
    if (started_) WSACleanup();
}

void HttpClient::ReadProxySettings() {
    std::string proxy, overrides;
    {
        SettingsKey key(HKEY_CURRENT_USER, kInternetSettingsPath, false);
        key.ReadText("ProxyServer", &proxy, "");
        key.ReadText("ProxyOverride", &overrides, "");
    }
    if (proxy.empty()) {
        SettingsKey key(HKEY_CURRENT_USER, kOlderProxyPath, false);
        key.ReadText("HTTP_Proxy", &proxy, "");
        key.ReadText("No_Proxy", &overrides, "");
    }
    proxy_.Set(proxy.c_str(), overrides.c_str());
}

int32_t HttpClient::Fetch(const char* url, AClient* client, AProgressbar* progress, HWND window, UINT message) {
    // An empty URL would look like a free slot.
    if (!started_ || url == 0 || *url == 0) return -1;
    Slot* slot = 0;
    for (int i = 0; i < kFetchSlots; ++i) {
        if (slots_[i].url == url) return slots_[i].number;
        if (slots_[i].url.empty()) slot = &slots_[i];
    }
    if (slot == 0) return -1;
    int32_t number = next_number_++;

    FetchPlan plan;
    if (!PlanFetch(proxy_, url, &plan)) return -1;
    SOCKET s = StartConnect(plan, window, message);
    if (s == INVALID_SOCKET) return -1;

    slot->url = url;
    slot->host = plan.host;
    slot->progress = progress;
    slot->number = number;
    slot->socket = s;
    slot->request = plan.request;
    slot->sent = 0;
    slot->client = client;
    slot->last_activity = GetTickCount();
    slot->connect_seen = false;
    slot->scanner = new PageScanner((uint32_t)number | kFetchIdBase, client, slot->host.c_str(), plan.port, progress);
    // The client hears of the request before any byte goes out.
    slot->scanner->RequestLine(slot->request.c_str());
    return number;
}

SOCKET HttpClient::StartConnect(const FetchPlan& plan, HWND window, UINT message) {
    hostent* host = gethostbyname(plan.connect_host.c_str());
    if (host == 0 || host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list[0] == 0)
        return INVALID_SOCKET;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(plan.connect_port);
    memcpy(&address.sin_addr, host->h_addr_list[0], 4);

    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return INVALID_SOCKET;
    if (WSAAsyncSelect(s, window, message, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (connect(s, (const sockaddr*)&address, sizeof address) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

HttpClient::Slot* HttpClient::SlotOfSocket(SOCKET socket) {
    for (int i = 0; i < kFetchSlots; ++i)
        if (!slots_[i].url.empty() && slots_[i].socket == socket) return &slots_[i];
    return 0;
}

void HttpClient::Notify(WPARAM socket, LPARAM event) {
    Slot* slot = SlotOfSocket((SOCKET)socket);
    if (slot == 0) return;
    if (WSAGETSELECTEVENT(event) == FD_CONNECT)
        slot->connect_seen = true;
    else if (!slot->connect_seen)
        return;
    switch (WSAGETSELECTEVENT(event)) {
    case FD_READ: Receive(slot); break;
    case FD_WRITE: SendMore(slot); break;
    case FD_CONNECT:
        // A failed connect may never be followed by a close notification.
        if (WSAGETSELECTERROR(event) != 0)
            Finish(slot);
        else if (slot->progress)
            slot->progress->Progress(0, 1, slot->url.c_str());
        break;
    case FD_CLOSE:
        ReceiveRest(slot);
        Finish(slot);
        break;
    default: break;
    }
}

void HttpClient::Receive(Slot* slot) {
    char block[kReceiveBlock];
    int n = recv(slot->socket, block, sizeof block, 0);
    if (n > 0) {
        slot->last_activity = GetTickCount();
        bytes_received_ += (uint64_t)n;
        slot->scanner->Feed(block, (size_t)n);
    } else if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
        Finish(slot);
    }
}

// After the peer closed: what is still buffered, up to the end.
void HttpClient::ReceiveRest(Slot* slot) {
    char block[kReceiveBlock];
    for (;;) {
        int n = recv(slot->socket, block, sizeof block, 0);
        if (n <= 0) break;
        slot->last_activity = GetTickCount();
        bytes_received_ += (uint64_t)n;
        slot->scanner->Feed(block, (size_t)n);
    }
}

void HttpClient::SendMore(Slot* slot) {
    while (slot->sent < slot->request.size()) {
        int n = send(slot->socket, slot->request.data() + slot->sent, (int)(slot->request.size() - slot->sent), 0);
        if (n == SOCKET_ERROR) {
            // Would block: the next FD_WRITE goes on. Anything else is a
            // broken connection that nothing more will come from.
            if (WSAGetLastError() != WSAEWOULDBLOCK) Finish(slot);
            return;
        }
        slot->sent += (size_t)n;
        slot->last_activity = GetTickCount();
    }
    if (slot->sent > 0) {
        Release(&slot->request);
        slot->sent = 0;
    }
}

void HttpClient::Finish(Slot* slot) {
    slot->scanner->Feed(0, 0);
    slot->client->Close((uint32_t)slot->number | kFetchIdBase);
    delete slot->scanner;
    WSAAsyncSelect(slot->socket, 0, 0, 0);  // no more notifications of it
    closesocket(slot->socket);
    AProgressbar* progress = slot->progress;
    Release(&slot->url);
    Release(&slot->host);
    Release(&slot->request);
    slot->scanner = 0;
    slot->client = 0;
    slot->progress = 0;
    slot->socket = INVALID_SOCKET;
    slot->sent = 0;
    slot->number = 0;
    if (progress) progress->Progress(0, 0, "");
}

void HttpClient::CloseIdle() {
    DWORD now = GetTickCount();
    for (int i = 0; i < kFetchSlots; ++i)
        if (!slots_[i].url.empty() && now - slots_[i].last_activity > idle_limit_) Finish(&slots_[i]);
}

int HttpClient::busy_slots() const {
    int busy = 0;
    for (int i = 0; i < kFetchSlots; ++i)
        if (!slots_[i].url.empty()) ++busy;
    return busy;
}
