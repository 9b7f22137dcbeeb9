// skeindbridge.exe as the browser starts it: a second process whose
// standard input and output are the pipe, sending its datagrams over real
// UDP and talked to by the program's own browser link over DDE, as a
// browser of the Netscape kind.
#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "bridge/native_frames.h"
#include "browser/browser_link_win32.h"
#include "browser/browser_registry_win32.h"
#include "browser/dde_instance_win32.h"
#include "browser/xdde.h"
#include "observe/datagram.h"
#include "observe/settings.h"
#include "tests/browser/recording_tattler.h"
#include "tests/browser/test_browser_process.h"
#include "tests/support/program_win32.h"
#include "tests/support/temp_dir.h"
#include "tools/scanreplay/call_log.h"

namespace {

const char kService[] = "bridgetest";

// The host with its pipe, as the browser holds it.
class HostProcess {
public:
    ~HostProcess() {
        if (to_host_) CloseHandle(to_host_);
        if (from_host_) CloseHandle(from_host_);
        if (process_) {
            if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
    }
    bool Start(const std::string& args) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
        HANDLE in_read = 0, out_write = 0;
        if (!CreatePipe(&in_read, &to_host_, &inherit, 0) || !CreatePipe(&from_host_, &out_write, &inherit, 0))
            return false;
        SetHandleInformation(to_host_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(from_host_, HANDLE_FLAG_INHERIT, 0);
        std::string exe = BesideThisProgram("skeindbridge.exe");
        std::string line = "\"" + exe + "\" chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/ " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = in_read;
        si.hStdOutput = out_write;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi;
        BOOL started = CreateProcessA(exe.c_str(), &line[0], 0, 0, TRUE, 0, 0, 0, &si, &pi);
        CloseHandle(in_read);
        CloseHandle(out_write);
        if (!started) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        return true;
    }
    void Send(const std::string& json) {
        std::string frame = Frame(json);
        DWORD n;
        WriteFile(to_host_, frame.data(), (DWORD)frame.size(), &n, 0);
    }
    // The next message the host sends the extension; "" after `ms`.
    std::string Receive(int ms) {
        DWORD end = GetTickCount() + (DWORD)ms;
        for (;;) {
            std::string message;
            if (frames_.Next(&message)) return message;
            DWORD ready = 0;
            if (PeekNamedPipe(from_host_, 0, 0, 0, &ready, 0) && ready > 0) {
                std::vector<char> bytes(ready);
                DWORD n = 0;
                if (ReadFile(from_host_, bytes.data(), ready, &n, 0)) frames_.Feed(bytes.data(), n);
                continue;
            }
            if ((int)(end - GetTickCount()) <= 0) return "";
            PumpMessages(20);
        }
    }
    // The browser closes the pipe: the host ends.
    bool CloseAndWait() {
        CloseHandle(to_host_);
        to_host_ = 0;
        return WaitForSingleObject(process_, 10000) == WAIT_OBJECT_0;
    }

private:
    HANDLE process_ = 0, to_host_ = 0, from_host_ = 0;
    FrameReader frames_;
};

class BridgeProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA wsa;
        WSAStartup(MAKEWORD(1, 1), &wsa);
        udp_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at = {};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(0, bind(udp_, (sockaddr*)&at, sizeof at));
        int size = sizeof at;
        getsockname(udp_, (sockaddr*)&at, &size);
        DdeInstance::Process();
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
        window_ = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        log_ = dir_.File("host.log");
        ASSERT_TRUE(host_.Start(std::string("--service ") + kService + " --port " + std::to_string(ntohs(at.sin_port)) +
                                " --log \"" + log_ + "\""));
        for (int i = 0; i < 100 && !Logged("ready"); ++i) PumpMessages(50);
    }
    void TearDown() override {
        link_.reset();
        closesocket(udp_);
        WSACleanup();
        DestroyWindow(window_);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
    }
    bool Logged(const std::string& prefix) {
        FILE* f = fopen(log_.c_str(), "r");
        if (!f) return false;
        char line[1024];
        bool found = false;
        while (!found && fgets(line, sizeof line, f)) found = std::string(line).compare(0, prefix.size(), prefix) == 0;
        fclose(f);
        return found;
    }
    // The calls of the datagrams that arrive within `ms`.
    std::vector<std::string> Datagrams(int ms) {
        CallLog log(0x40000000u);
        DWORD end = GetTickCount() + (DWORD)ms;
        while ((int)(end - GetTickCount()) > 0) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(udp_, &ready);
            timeval wait = {0, 50000};
            if (select(0, &ready, 0, 0, &wait) == 1) {
                uint8_t bytes[kDatagramMax + 1];
                int n = recv(udp_, (char*)bytes, sizeof bytes, 0);
                EXPECT_EQ(DatagramDispatched, DispatchDatagram(bytes, (size_t)n, log));
            }
        }
        return log.lines;
    }
    // The program's browser link, with the bridge as its one known browser.
    BrowserLink& Link() {
        if (!link_) {
            SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
            SettingsKey entry(browsers, "~skeindbridge", true);
            entry.WriteText("service", kService);
            entry.WriteNumber("flags", 1);
            link_.reset(new BrowserLink(window_, 0x1403, &tattler_, "skeind"));
        }
        return *link_;
    }
    bool Heard(const std::string& call) {
        for (int i = 0; i < 60; ++i) {
            PumpMessages(50);
            Link().DrainBrowserMessages();
            for (const std::string& c : tattler_.calls)
                if (c == call) return true;
        }
        return false;
    }

    TempDir dir_;
    SOCKET udp_ = INVALID_SOCKET;
    HWND window_ = 0;
    std::string log_;
    HostProcess host_;
    RecordingTattler tattler_;
    std::unique_ptr<BrowserLink> link_;
};

}  // namespace

TEST_F(BridgeProcessTest, ReportsArriveAsDatagramsAndTheHostEndsWithThePipe) {
    host_.Send(R"({"type":"page","url":"http://h.test/","status":200,"mime":"text/html","title":"Home",)"
               R"("links":[{"kind":"anchor","url":"http://h.test/a","text":"A"}]})");
    host_.Send("not json");
    host_.Send(R"({"type":"load","url":"http://h.test/i.png","status":200,"mime":"image/png"})");
    std::vector<std::string> expected = {
        "Request(http://h.test/,0)",
        "Status(200)",
        "ContentType(text/html)",
        "Title(\"Home\",1)",
        "Link(http://h.test/a,0,\"A\")",
        "Close()",
        "[1073741825] Request(http://h.test/i.png,0)",
        "[1073741825] Status(200)",
        "[1073741825] ContentType(image/png)",
        "[1073741825] Close()",
    };
    EXPECT_EQ(expected, Datagrams(1500));
    EXPECT_TRUE(Logged("not-understood - not json"));
    EXPECT_TRUE(host_.CloseAndWait());
    EXPECT_TRUE(Logged("exited"));
}

TEST_F(BridgeProcessTest, TheProgramsLinkFindsItAndIsToldWhatTheBrowserShows) {
    BrowserLink& link = Link();
    ASSERT_NO_THROW(link.EnsureBrowser(0));
    EXPECT_EQ(1u, link.flags() & kLinkKindMask);
    EXPECT_EQ("1.0", link.browser_version());
    ASSERT_TRUE(Heard("new 1"));
    for (int i = 0; i < 40 && !Logged("poke WWW_RegisterURLEcho \"skeind\""); ++i) PumpMessages(50);
    host_.Send(R"({"type":"active","window":7,"url":"http://h.test/front#x","title":"Front"})");
    host_.Send(
        R"({"type":"shown","url":"http://h.test/b#part","mime":"text/html","window":7,"referrer":"http://h.test/"})");
    EXPECT_TRUE(Heard("echo http://h.test/b text/html 7 http://h.test/"));
    EXPECT_EQ("http://h.test/b", link.GetWindowUrl(1, 0, 0xFFFFFFFFu));

    EXPECT_EQ(7u, link.OpenUrl(0, "http://h.test/c", 0xFFFFFFFFu, 0));
    EXPECT_EQ(R"({"type":"open","url":"http://h.test/c","window":7})", host_.Receive(5000));
    EXPECT_EQ(7u, link.ActivateWindow(0, 7));
    EXPECT_EQ(R"({"type":"activate","window":7})", host_.Receive(5000));
}

TEST_F(BridgeProcessTest, APageFetchedForTheProgramIsWrittenAndItsLoadEnds) {
    BrowserLink& link = Link();
    ASSERT_NO_THROW(link.EnsureBrowser(0));
    for (int i = 0; i < 40 && !Logged("poke WWW_RegisterURLEcho"); ++i) PumpMessages(50);
    std::string file = dir_.File("www1.tmp");
    EXPECT_EQ(0x7FFFFFFFu, link.OpenUrlToFile(0, "http://h.test/p", file.c_str(), 4)) << "a load has begun";
    std::string ask = host_.Receive(5000);
    EXPECT_EQ(R"({"type":"fetch","id":1,"url":"http://h.test/p"})", ask);
    host_.Send(R"({"type":"fetched","id":1,"ok":true,"mime":"text/html","body":"PHA+aGk="})");  // "<p>hi"
    EXPECT_TRUE(Heard("end 1"));
    std::vector<unsigned char> body = ReadWholeFile(file);
    EXPECT_EQ("<p>hi", std::string(body.begin(), body.end()));
}

namespace {

std::string RegText(HKEY root, const std::string& key, const char* value) {
    char text[MAX_PATH * 2];
    DWORD size = sizeof text;
    if (RegGetValueA(root, key.c_str(), value, RRF_RT_REG_SZ, 0, text, &size) != ERROR_SUCCESS) return "";
    return text;
}

// Each browser finds the host through a key of its own that names a
// manifest; the manifests lie beside the host and name it, and the bridge
// heads Skeindle's list of browsers.
class BridgeInstallTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* vendor : {"Google\\Chrome", "Chromium", "Microsoft\\Edge", "Mozilla"})
            SHDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + vendor + "\\NativeMessagingHosts").c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kBrowsersKeyPath) + "\\~skeindbridge").c_str());
    }
};

TEST_F(BridgeInstallTest, WritesTheManifestsAndTheKeysTheBrowsersRead) {
    std::string exe = BesideThisProgram("skeindbridge.exe");
    std::string dir = exe.substr(0, exe.find_last_of("\\/") + 1);
    ASSERT_EQ(0, ExitCodeOf(exe, "--install", "", 20000));
    std::string quoted_exe;
    for (char c : exe) quoted_exe += c == '\\' ? std::string("\\\\") : std::string(1, c);
    struct Row {
        const char* key;
        const char* manifest;
        const char* allowed;
    } rows[] = {
        {"Software\\Google\\Chrome", "skeindle_bridge-chromium.json",
         "\"allowed_origins\": [\"chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/\"]"},
        {"Software\\Chromium", "skeindle_bridge-chromium.json",
         "\"allowed_origins\": [\"chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/\"]"},
        {"Software\\Microsoft\\Edge", "skeindle_bridge-chromium.json",
         "\"allowed_origins\": [\"chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/\"]"},
        {"Software\\Mozilla", "skeindle_bridge-firefox.json", "\"allowed_extensions\": [\"bridge@skeindle.invalid\"]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        std::string manifest =
            RegText(HKEY_CURRENT_USER, std::string(row.key) + "\\NativeMessagingHosts\\skeindle_bridge", 0);
        EXPECT_EQ(dir + row.manifest, manifest);
        std::string text = FileText(manifest);
        EXPECT_NE(std::string::npos, text.find("\"name\": \"skeindle_bridge\"")) << text;
        EXPECT_NE(std::string::npos, text.find("\"path\": \"" + quoted_exe + "\"")) << text;
        EXPECT_NE(std::string::npos, text.find("\"type\": \"stdio\"")) << text;
        EXPECT_NE(std::string::npos, text.find(row.allowed)) << text;
    }
    EXPECT_EQ("skeindbridge",
              RegText(HKEY_LOCAL_MACHINE, std::string(kBrowsersKeyPath) + "\\~skeindbridge", "service"));
}

}  // namespace
