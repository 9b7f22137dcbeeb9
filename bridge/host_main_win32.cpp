// skeindbridge.exe: the native-messaging host the browser starts for the
// Skeindle extension. Its standard input and output are the browser's pipe
// (bridge/native_frames.h); it sends what the extension reports to the
// program as the socket shim's datagrams, and serves the browser verbs
// over DDE as a browser of the Netscape kind, under its own service name.
// It ends when the browser closes the pipe.
//
// Usage: skeindbridge [--service NAME] [--port N] [--log FILE]
//        skeindbridge --register [--description TEXT] [--command TEXT]
//        skeindbridge --install [--description TEXT] [--command TEXT]
// --register puts the bridge into Skeindle's browser list; --install
// (Windows) does that and makes the host known to the browsers as well.
// Other arguments (the browser passes the extension's origin, a window
// handle, the manifest's path) are passed over.
#include <winsock2.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "bridge/bridge_host.h"
#include "bridge/browser_verbs.h"
#include "bridge/dde_browser_win32.h"
#include "bridge/native_frames.h"
#include "bridge/register_win32.h"
#include "observe/datagram.h"
#include "shim/datagram_client.h"

namespace {

const UINT kFromExtension = WM_APP + 1;  // lParam: a new std::string
const UINT kPipeClosed = WM_APP + 2;

HWND g_window = 0;

// Datagrams to the program on this machine only.
class LoopbackSink : public ADatagramSink {
public:
    explicit LoopbackSink(unsigned short port) {
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~LoopbackSink() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    void Send(const uint8_t* bytes, size_t count) override {
        if (socket_ != INVALID_SOCKET) sendto(socket_, (const char*)bytes, (int)count, 0, (sockaddr*)&to_, sizeof to_);
    }

private:
    SOCKET socket_;
    sockaddr_in to_ = {};
};

class HostOutput : public ABridgeOutput {
public:
    HostOutput(DatagramClient* datagrams) : datagrams_(datagrams) {}
    void set_server(DdeBrowserServer* server) { server_ = server; }

    void ToExtension(const std::string& json) override {
        std::string frame = Frame(json);
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        for (size_t done = 0; done < frame.size();) {
            DWORD n = 0;
            if (!WriteFile(out, frame.data() + done, (DWORD)(frame.size() - done), &n, 0) || n == 0) return;
            done += n;
        }
    }
    void Echo(const std::string& url, const std::string& mime, uint32_t window, const std::string& referrer) override {
        server_->EchoPage(url, mime, window, referrer);
    }
    bool WriteBody(const std::string& file, const std::string& body) override {
        HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, 0, CREATE_ALWAYS, 0, 0);
        if (f == INVALID_HANDLE_VALUE) return false;
        DWORD n = 0;
        BOOL ok = WriteFile(f, body.data(), (DWORD)body.size(), &n, 0) && n == body.size();
        CloseHandle(f);
        if (server_) server_->Log("saved", file.c_str(), std::to_string(body.size()));
        return ok != 0;
    }
    void Progress(uint32_t transaction, uint32_t size) override { server_->ReportProgress(transaction, size); }
    void FlushReports() override { datagrams_->Flush(); }

private:
    DatagramClient* datagrams_;
    DdeBrowserServer* server_ = 0;
};

// The browser's messages, handed to the window one at a time.
DWORD WINAPI ReadPipe(LPVOID) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FrameReader frames;
    char buffer[65536];
    DWORD n;
    while (ReadFile(in, buffer, sizeof buffer, &n, 0) && n > 0) {
        frames.Feed(buffer, n);
        std::string message;
        while (frames.Next(&message)) PostMessageA(g_window, kFromExtension, 0, (LPARAM) new std::string(message));
    }
    PostMessageA(g_window, kPipeClosed, 0, 0);
    return 0;
}

BridgeHost* g_host = 0;
DdeBrowserServer* g_server = 0;

LRESULT CALLBACK WindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    if (message == kFromExtension) {
        std::string* text = (std::string*)lp;
        bool understood = g_host->FromExtension(*text);
        g_server->Log(understood ? "message" : "not-understood", "-", text->substr(0, 160));
        delete text;
        return 0;
    }
    if (message == kPipeClosed) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, message, wp, lp);
}

struct Options {
    std::string service = kBridgeService;
    unsigned short port = kShimPort;
    const char* log = 0;
    bool register_only = false;
    bool install = false;
    std::string description = kBridgeDescription;
    std::string command;
};

Options ReadOptions() {
    Options o;
    for (int i = 1; i < __argc; ++i) {
        std::string a = __argv[i];
        const char* v = i + 1 < __argc ? __argv[i + 1] : "";
        if (a == "--service")
            o.service = v, ++i;
        else if (a == "--port")
            o.port = (unsigned short)atoi(v), ++i;
        else if (a == "--log")
            o.log = v, ++i;
        else if (a == "--register")
            o.register_only = true;
        else if (a == "--install")
            o.install = true;
        else if (a == "--description")
            o.description = v, ++i;
        else if (a == "--command")
            o.command = v, ++i;
    }
    return o;
}

int Serve(const Options& o, HINSTANCE instance) {
    FILE* log = o.log ? fopen(o.log, "w") : 0;
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "SkeindleBridge";
    RegisterClassA(&wc);
    g_window = CreateWindowA(wc.lpszClassName, "skeindbridge", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, instance, 0);
    {
        LoopbackSink sink(o.port);
        DatagramClient datagrams(&sink);
        HostOutput output(&datagrams);
        BridgeHost host(&datagrams, &output);
        g_host = &host;
        BrowserIdentity identity;
        identity.name = "Skeindle bridge";
        BrowserVerbs verbs(identity, &host);
        DdeBrowserServer server(&verbs, log);
        output.set_server(&server);
        g_server = &server;
        if (!server.Start(o.service, true)) return 2;
        server.Log("ready", o.service.c_str(), "");
        CloseHandle(CreateThread(0, 0, ReadPipe, 0, 0, 0));
        MSG msg;
        while (GetMessageA(&msg, 0, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        server.Log("exited", o.service.c_str(), "");
    }
    if (log) fclose(log);
    WSACleanup();
    return 0;
}

}  // namespace

int main() {
    Options o = ReadOptions();
    if (o.install) {
        char exe[MAX_PATH];
        DWORD n = GetModuleFileNameA(0, exe, sizeof exe);
        if (n == 0 || n >= sizeof exe || !RegisterWithBrowsers(exe)) return 1;
    }
    if (o.register_only || o.install) return RegisterWithSkeindle(o.description, o.command) ? 0 : 1;
    return Serve(o, GetModuleHandleA(0));
}
