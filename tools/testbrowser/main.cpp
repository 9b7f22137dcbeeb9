// testbrowser: a stand-in Web browser for tests and demonstrations. It
// serves the browser verbs over DDE under a service name and kind it is
// given, records every transaction it receives in a log, and takes
// commands, one per line, on its standard input:
//
//   show URL               what WWW_GetWindowInfo reports as shown
//   version MAJOR.MINOR    the version it answers (0.0: "not a browser")
//   open-answer N          what WWW_OpenURL answers for showing a page
//   hang MS                answer every later transaction MS ms late
//   refuse 0|1             refuse (1) or take (0) every conversation
//   echo URL MIME WINDOW [REFERRER]   poke WWW_URLEcho to the registered
//   poke VERB ITEM         poke VERB with ITEM (the rest of the line) to
//   request VERB ITEM      ...or request it of, every service that
//                          registered for URL echoes; replies are logged
//   progress ID SIZE       reports a load's begin, range and end to them
//   register / unregister  its DDE service name
//   mark TEXT              writes "mark TEXT" to the log (a sync point)
//   exit
//
// WWW_OpenURL of an http: URL fetches the page from its server; into a
// file, the response body is written to the file named in the item and
// the load's progress is reported as "progress" does.
//
// Usage: testbrowser --service NAME --kind K --version M.m --log FILE
//                    [--name TEXT] [--no-register]
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "bridge/browser_verbs.h"
#include "bridge/dde_browser_win32.h"

namespace {

const UINT kCommandMessage = WM_APP + 1;

// The browser's own state; its verbs and DDE service are shared with the
// bridge to today's browsers.
struct Browser {
    std::string service_name = "mosaic";
    std::string showing;
    unsigned open_answer = 1;
    unsigned next_transaction = 1;
    HWND window = 0;
    DdeBrowserServer* server = 0;
};

Browser g;

void Later(const std::string& command) {
    PostMessageA(g.window, kCommandMessage, 0, (LPARAM) new std::string(command));
}

// --- Fetching a page from a server on this machine or anywhere

bool Fetch(const std::string& url, std::string* body, std::string* mime) {
    if (url.compare(0, 7, "http://") != 0) return false;
    std::string rest = url.substr(7);
    size_t slash = rest.find('/');
    std::string host = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    unsigned short port = 80;
    size_t colon = host.find(':');
    if (colon != std::string::npos) {
        port = (unsigned short)atoi(host.c_str() + colon + 1);
        host.resize(colon);
    }
    hostent* h = gethostbyname(host.c_str());
    if (!h) return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) return false;
    DWORD timeout = 3000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    memcpy(&to.sin_addr, h->h_addr_list[0], 4);
    std::string response;
    if (connect(s, (sockaddr*)&to, sizeof to) == 0) {
        std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
        send(s, request.data(), (int)request.size(), 0);
        char buffer[4096];
        int n;
        while ((n = recv(s, buffer, sizeof buffer, 0)) > 0) response.append(buffer, n);
    }
    closesocket(s);
    size_t end = response.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    *body = response.substr(end + 4);
    *mime = "text/html";
    std::string head = response.substr(0, end);
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    size_t type = lower.find("\r\ncontent-type:");
    if (type != std::string::npos) {
        size_t from = head.find_first_not_of(' ', type + 15);
        size_t to_end = head.find_first_of(";\r", from);
        *mime = head.substr(from, to_end == std::string::npos ? std::string::npos : to_end - from);
    }
    return true;
}

// --- What the verbs ask of it

class StandIn : public ABrowserSide {
public:
    bool Showing(uint32_t, std::string* url, std::string* title) override {
        *url = g.showing;
        *title = "A page";
        return true;
    }
    // Echoed once this transaction is over: a conversation cannot be
    // started from inside the callback.
    uint32_t ShowUrl(const std::string& url, uint32_t window, uint32_t) override {
        std::string body, mime = "text/html";
        Fetch(url, &body, &mime);
        g.showing = url;
        unsigned echoed = window == 0 ? g.open_answer + 1 : g.open_answer;
        Later("echo " + url + " " + mime + " " + std::to_string(echoed));
        return g.open_answer;
    }
    // Its progress is reported once this transaction is over.
    uint32_t SaveUrl(const std::string& url, const std::string& file) override {
        std::string body, mime;
        if (!Fetch(url, &body, &mime)) return 0;
        FILE* out = fopen(file.c_str(), "wb");
        if (!out) return 0;
        fwrite(body.data(), 1, body.size(), out);
        fclose(out);
        g.server->Log("saved", file.c_str(), std::to_string(body.size()));
        unsigned transaction = g.next_transaction++;
        Later("progress " + std::to_string(transaction) + " " + std::to_string(body.size()));
        return transaction;
    }
    uint32_t Activate(uint32_t window) override { return window; }
};

// --- Commands

std::string Word(std::string* line) {
    size_t start = line->find_first_not_of(' ');
    if (start == std::string::npos) {
        line->clear();
        return std::string();
    }
    size_t end = line->find(' ', start);
    std::string word = line->substr(start, end == std::string::npos ? std::string::npos : end - start);
    *line = end == std::string::npos ? std::string() : line->substr(end + 1);
    return word;
}

void Command(BrowserVerbs& verbs, std::string line) {
    DdeBrowserServer& server = *g.server;
    std::string verb = Word(&line);
    if (verb == "show") {
        g.showing = line;
    } else if (verb == "version") {
        unsigned major = 0, minor = 0;
        sscanf(line.c_str(), "%u.%u", &major, &minor);
        verbs.SetVersion(major, minor);
    } else if (verb == "open-answer") {
        g.open_answer = (unsigned)strtoul(line.c_str(), 0, 0);
    } else if (verb == "hang") {
        server.set_hang((DWORD)atoi(line.c_str()));
    } else if (verb == "refuse") {
        server.set_refuse(atoi(line.c_str()) != 0);
    } else if (verb == "echo") {
        std::string url = Word(&line), mime = Word(&line), window = Word(&line), referrer = Word(&line);
        server.EchoPage(url, mime, (unsigned)strtoul(window.c_str(), 0, 0), referrer);
    } else if (verb == "poke" || verb == "request") {
        std::string name = Word(&line);
        server.SendToReceivers(name.c_str(), line, verb == "poke");
    } else if (verb == "progress") {
        std::string id = Word(&line), size = Word(&line);
        server.ReportProgress((uint32_t)strtoul(id.c_str(), 0, 10), (uint32_t)strtoul(size.c_str(), 0, 10));
    } else if (verb == "register") {
        server.Register();
    } else if (verb == "unregister") {
        server.Unregister();
    } else if (verb == "mark") {
        server.Log("mark", line.c_str(), "");
    } else if (verb == "exit") {
        PostQuitMessage(0);
    }
}

// Lines from standard input, handed to the window one at a time.
DWORD WINAPI ReadCommands(LPVOID) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[512];
    DWORD n;
    while (ReadFile(in, buffer, sizeof buffer, &n, 0) && n > 0) {
        pending.append(buffer, n);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.erase(0, end + 1);
            Later(line);
        }
    }
    Later("exit");
    return 0;
}

BrowserVerbs* g_verbs = 0;

LRESULT CALLBACK WindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    if (message == kCommandMessage) {
        std::string* line = (std::string*)lp;
        Command(*g_verbs, *line);
        delete line;
        return 0;
    }
    return DefWindowProcA(w, message, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    bool register_service = true;
    const char* log_name = 0;
    BrowserIdentity identity;
    identity.name = "TestBrowser";
    for (int i = 1; i < __argc; ++i) {
        std::string a = __argv[i];
        const char* v = i + 1 < __argc ? __argv[i + 1] : "";
        if (a == "--service") g.service_name = v, ++i;
        else if (a == "--kind") ++i;  // it answers both kinds' version verbs alike
        else if (a == "--version") sscanf(v, "%u.%u", &identity.major, &identity.minor), ++i;
        else if (a == "--name") identity.name = v, ++i;
        else if (a == "--log") log_name = v, ++i;
        else if (a == "--no-register") register_service = false;
    }
    FILE* log = log_name ? fopen(log_name, "w") : 0;
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "SkeindleTestBrowser";
    RegisterClassA(&wc);
    g.window = CreateWindowA(wc.lpszClassName, "testbrowser", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, instance, 0);
    StandIn side;
    BrowserVerbs verbs(identity, &side);
    g_verbs = &verbs;
    {
        DdeBrowserServer server(&verbs, log);
        g.server = &server;
        if (!server.Start(g.service_name, register_service)) return 2;
        server.Log("ready", g.service_name.c_str(), "");
        CloseHandle(CreateThread(0, 0, ReadCommands, 0, 0, 0));
        MSG msg;
        while (GetMessageA(&msg, 0, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        server.Unregister();
    }
    if (log) {
        fprintf(log, "exited %s \n", g.service_name.c_str());
        fclose(log);
    }
    WSACleanup();
    return 0;
}
