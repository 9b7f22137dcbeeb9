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

#include <ddeml.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browser/dde_args.h"
#include "browser/verb_table.h"

namespace {

const UINT kCommandMessage = WM_APP + 1;

struct Browser {
    DWORD dde = 0;
    HSZ service = 0;
    std::string service_name = "mosaic";
    unsigned kind = 0;
    unsigned major = 1, minor = 0;
    std::string name = "TestBrowser";
    std::string showing;
    unsigned open_answer = 1;
    unsigned next_transaction = 1;
    DWORD hang_ms = 0;
    bool refuse = false;
    std::vector<std::string> echo_services;  // registered with WWW_RegisterURLEcho
    FILE* log = 0;
    HWND window = 0;
};

Browser g;

void Log(const char* kind, const char* verb, const std::string& text) {
    if (!g.log) return;
    fprintf(g.log, "%s %s %s\n", kind, verb, text.c_str());
    fflush(g.log);
}

std::string QueryString(HSZ handle) {
    if (!handle) return std::string();
    DWORD n = DdeQueryStringA(g.dde, handle, 0, 0, CP_WINANSI);
    std::vector<char> text(n + 1, 0);
    DdeQueryStringA(g.dde, handle, &text[0], n + 1, CP_WINANSI);
    return &text[0];
}

HDDEDATA Data(const void* bytes, DWORD size, HSZ item) {
    return DdeCreateDataHandle(g.dde, (LPBYTE)bytes, size, 0, item, CF_TEXT, 0);
}

HDDEDATA Number(uint32_t value, HSZ item) {
    BYTE b[4] = {(BYTE)value, (BYTE)(value >> 8), (BYTE)(value >> 16), (BYTE)(value >> 24)};
    return Data(b, 4, item);
}

HDDEDATA Text(const std::string& text, HSZ item) { return Data(text.c_str(), (DWORD)text.size() + 1, item); }

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

// --- Talking to the services that asked for URL echoes

void SendToEchoServices(const char* verb, const std::string& item, bool poke) {
    HSZ topic = DdeCreateStringHandleA(g.dde, verb, CP_WINANSI);
    HSZ it = DdeCreateStringHandleA(g.dde, item.c_str(), CP_WINANSI);
    std::vector<std::string> services = g.echo_services;
    for (const std::string& name : services) {
        HSZ service = DdeCreateStringHandleA(g.dde, name.c_str(), CP_WINANSI);
        HCONV c = DdeConnect(g.dde, service, topic, 0);
        // The program may be starting a conversation with us just now.
        for (int tries = 0; !c && tries < 5; ++tries) {
            MSG msg;
            DWORD until = GetTickCount() + 50;
            while ((int)(until - GetTickCount()) > 0)
                if (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg); else Sleep(5);
            c = DdeConnect(g.dde, service, topic, 0);
        }
        if (!c) {
            Log("no-conversation", verb, name);
        } else if (poke) {
            DWORD result = 0;
            HDDEDATA r = DdeClientTransaction((LPBYTE) "", 1, c, it, CF_TEXT, XTYP_POKE, 5000, &result);
            Log("poked", verb, r ? "ack" : "nak");
        } else {
            HDDEDATA r = DdeClientTransaction(0, 0, c, it, CF_TEXT, XTYP_REQUEST, 5000, 0);
            DWORD size = 0;
            const BYTE* b = r ? DdeAccessData(r, &size) : 0;
            char text[32] = "none";
            if (b && size >= 4) snprintf(text, sizeof text, "%lu", (unsigned long)(b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24));
            if (b) DdeUnaccessData(r);
            if (r) DdeFreeDataHandle(r);
            Log("reply", verb, text);
        }
        if (c) DdeDisconnect(c);
        DdeFreeStringHandle(g.dde, service);
    }
    DdeFreeStringHandle(g.dde, it);
    DdeFreeStringHandle(g.dde, topic);
}

void EchoPage(const std::string& url, const std::string& mime, unsigned window, const std::string& referrer) {
    DdeArgWriter w;
    w.AddString(url.c_str());
    w.AddString(mime.c_str());
    w.AddNumber(window);
    w.AddString(referrer.c_str());
    SendToEchoServices("WWW_URLEcho", w.text(), true);
}

// --- The verbs served

HDDEDATA OpenUrl(const std::string& item, HSZ hitem) {
    DdeArgReader args(item.c_str());
    const char* u = args.ReadString();
    const char* file = args.ReadString();
    unsigned window = args.ReadNumber();
    std::string address = u ? u : "";
    std::string body, mime = "text/html";
    bool fetched = Fetch(address, &body, &mime);
    if (file && *file) {
        if (!fetched) return Number(0, hitem);
        FILE* out = fopen(file, "wb");
        if (!out) return Number(0, hitem);
        fwrite(body.data(), 1, body.size(), out);
        fclose(out);
        Log("saved", file, std::to_string(body.size()));
        unsigned transaction = g.next_transaction++;
        // Its progress is reported once this transaction is over.
        PostMessageA(g.window, kCommandMessage, 0,
                     (LPARAM) new std::string("progress " + std::to_string(transaction) + " " + std::to_string(body.size())));
        return Number(transaction, hitem);
    }
    g.showing = address;
    // Echoed once this transaction is over: a conversation cannot be
    // started from inside the callback.
    char echo[64];
    snprintf(echo, sizeof echo, " %s %u", mime.c_str(), window == 0 ? g.open_answer + 1 : g.open_answer);
    PostMessageA(g.window, kCommandMessage, 0, (LPARAM) new std::string("echo " + address + echo));
    return Number(g.open_answer, hitem);
}

HDDEDATA Request(int verb, const std::string& item, HSZ hitem) {
    switch (verb) {
    case WWW_Version:
        return Number(g.major << 16 | g.minor, hitem);
    case WWW_QueryVersion: {
        DdeArgWriter w;
        w.AddNumber(g.major);
        w.AddNumber(g.minor);
        w.AddString(g.name.c_str());
        return Text(w.text(), hitem);
    }
    case WWW_GetWindowInfo: {
        DdeArgWriter w;
        w.AddString(g.showing.c_str());
        w.AddString("A page");
        return Text(w.text(), hitem);
    }
    case WWW_OpenURL:
        return OpenUrl(item, hitem);
    case WWW_Activate: {
        DdeArgReader r(item.c_str());
        return Number(r.ReadNumber(), hitem);
    }
    case WWW_RegisterURLEcho:
    case WWW_UnRegisterURLEcho:
        break;
    default:
        return 0;
    }
    // Echo registrations come as requests or pokes, by kind.
    DdeArgReader r(item.c_str());
    const char* s = r.ReadString();
    std::string name = s ? s : "";
    std::vector<std::string>& list = g.echo_services;
    list.erase(std::remove(list.begin(), list.end(), name), list.end());
    if (verb == WWW_RegisterURLEcho && !name.empty()) list.push_back(name);
    return Number(1, hitem);
}

HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    std::string topic = QueryString(hsz1);
    switch (type) {
    case XTYP_CONNECT:
        Log(g.refuse ? "refused" : "connect", topic.c_str(), QueryString(hsz2));
        return (HDDEDATA)(ULONG_PTR)(g.refuse ? FALSE : TRUE);
    case XTYP_REQUEST:
    case XTYP_POKE: {
        std::string item = QueryString(hsz2);
        Log(type == XTYP_REQUEST ? "request" : "poke", topic.c_str(), item);
        if (g.hang_ms) Sleep(g.hang_ms);
        int verb = VerbIndex(topic.c_str());
        HDDEDATA reply = Request(verb, item, hsz2);
        if (type == XTYP_POKE) {
            if (reply) DdeFreeDataHandle(reply);
            return (HDDEDATA)(ULONG_PTR)DDE_FACK;
        }
        return reply;
    }
    default:
        return 0;
    }
}

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

void Command(std::string line) {
    std::string verb = Word(&line);
    if (verb == "show") {
        g.showing = line;
    } else if (verb == "version") {
        sscanf(line.c_str(), "%u.%u", &g.major, &g.minor);
    } else if (verb == "open-answer") {
        g.open_answer = (unsigned)strtoul(line.c_str(), 0, 0);
    } else if (verb == "hang") {
        g.hang_ms = (DWORD)atoi(line.c_str());
    } else if (verb == "refuse") {
        g.refuse = atoi(line.c_str()) != 0;
    } else if (verb == "echo") {
        std::string url = Word(&line), mime = Word(&line), window = Word(&line), referrer = Word(&line);
        EchoPage(url, mime, (unsigned)strtoul(window.c_str(), 0, 0), referrer);
    } else if (verb == "poke" || verb == "request") {
        std::string name = Word(&line);
        SendToEchoServices(name.c_str(), line, verb == "poke");
    } else if (verb == "progress") {
        std::string id = Word(&line), size = Word(&line);
        SendToEchoServices("WWW_BeginProgress", id + ",\"Loading\"", false);
        SendToEchoServices("WWW_SetProgressRange", id + "," + size, true);
        SendToEchoServices("WWW_EndProgress", id, false);
    } else if (verb == "register") {
        DdeNameService(g.dde, g.service, 0, DNS_REGISTER);
    } else if (verb == "unregister") {
        DdeNameService(g.dde, g.service, 0, DNS_UNREGISTER);
    } else if (verb == "mark") {
        Log("mark", line.c_str(), "");
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
            PostMessageA(g.window, kCommandMessage, 0, (LPARAM) new std::string(line));
        }
    }
    PostMessageA(g.window, kCommandMessage, 0, (LPARAM) new std::string("exit"));
    return 0;
}

LRESULT CALLBACK WindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    if (message == kCommandMessage) {
        std::string* line = (std::string*)lp;
        Command(*line);
        delete line;
        return 0;
    }
    return DefWindowProcA(w, message, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    bool register_service = true;
    const char* log_name = 0;
    for (int i = 1; i < __argc; ++i) {
        std::string a = __argv[i];
        const char* v = i + 1 < __argc ? __argv[i + 1] : "";
        if (a == "--service") g.service_name = v, ++i;
        else if (a == "--kind") g.kind = (unsigned)atoi(v), ++i;
        else if (a == "--version") sscanf(v, "%u.%u", &g.major, &g.minor), ++i;
        else if (a == "--name") g.name = v, ++i;
        else if (a == "--log") log_name = v, ++i;
        else if (a == "--no-register") register_service = false;
    }
    if (log_name) g.log = fopen(log_name, "w");
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "SkeindleTestBrowser";
    RegisterClassA(&wc);
    g.window = CreateWindowA(wc.lpszClassName, "testbrowser", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, instance, 0);
    if (DdeInitializeA(&g.dde, Callback, APPCLASS_STANDARD | CBF_FAIL_EXECUTES | CBF_FAIL_ADVISES |
                                             CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0) != DMLERR_NO_ERROR)
        return 2;
    g.service = DdeCreateStringHandleA(g.dde, g.service_name.c_str(), CP_WINANSI);
    if (register_service) DdeNameService(g.dde, g.service, 0, DNS_REGISTER);
    Log("ready", g.service_name.c_str(), "");
    CloseHandle(CreateThread(0, 0, ReadCommands, 0, 0, 0));
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DdeNameService(g.dde, g.service, 0, DNS_UNREGISTER);
    DdeFreeStringHandle(g.dde, g.service);
    DdeUninitialize(g.dde);
    Log("exited", g.service_name.c_str(), "");
    if (g.log) fclose(g.log);
    WSACleanup();
    return 0;
}
