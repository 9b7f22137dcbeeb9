// The program's own fetches against a server on loopback: what the client
// hears for each kind of response, what goes out direct and through a
// proxy, the four slots, idle fetches, and the proxy settings read from
// the registry.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "observe/db_client.h"
#include "observe/http_client.h"
#include "observe/settings.h"
#include "store/nodedb.h"
#include "tests/store/progress_recorder.h"
#include "tests/support/loopback_server_win32.h"
#include "tests/support/temp_dir.h"
#include "tools/scanreplay/call_log.h"

namespace {

typedef std::vector<std::string> Calls;
const UINT kSocketMessage = WM_APP + 0x51;
const uint32_t kFirstId = kFetchIdBase | 1;

LoopbackReply Reply(const std::string& bytes, ReplyHow how = kReplyWhole) {
    LoopbackReply r;
    r.bytes = bytes;
    r.how = how;
    return r;
}

// Every page with its title, content type and links, in URL order.
std::string PagesAndLinks(NodeDb& db) {
    std::vector<std::string> lines;
    for (NodeId n = db.FirstNode(); n; n = db.NextNode(n)) {
        std::string line = std::string(db.Text(db.Name(n))) + " type " + std::to_string(db.ContentType(n));
        if (db.Title(n)) line += " \"" + std::string(db.Text(db.Title(n))) + "\"";
        std::vector<std::string> links;
        for (LinkId l = db.FirstOut(n); l; l = db.NextLink(l))
            links.push_back(" ->" + std::to_string(db.LinkKindOf(l)) + " " + db.Text(db.Name(db.LinkNode(l))));
        std::sort(links.begin(), links.end());
        for (const std::string& link : links) line += link;
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(0, server_.port());
        window_ = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
        ASSERT_TRUE(window_ != 0);
    }
    void TearDown() override { DestroyWindow(window_); }

    std::string Url(const std::string& path) { return "http://127.0.0.1:" + std::to_string(server_.port()) + path; }
    int32_t Fetch(HttpClient& client, CallLog& log, const std::string& url) {
        return client.Fetch(url.c_str(), &log, &progress_, window_, kSocketMessage);
    }

    // Hands the sockets' notifications to `client`, closing idle fetches as
    // the main window's timer would, until `done` or `limit` ms.
    bool PumpUntil(HttpClient& client, const std::function<bool()>& done, DWORD limit) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > limit) return false;
            MsgWaitForMultipleObjects(0, 0, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
                if (msg.message != kSocketMessage) {
                    DispatchMessageA(&msg);
                    continue;
                }
                last_socket_ = msg.wParam;
                if (!(hold_reads_ && WSAGETSELECTEVENT(msg.lParam) == FD_READ)) client.Notify(msg.wParam, msg.lParam);
            }
            client.CloseIdle();
        }
        return true;
    }
    bool PumpUntilIdle(HttpClient& client, DWORD limit = 5000) {
        return PumpUntil(
            client, [&] { return client.busy_slots() == 0; }, limit);
    }
    // Notifications left for sockets already closed: a later socket may get
    // the same handle.
    void DropStaleNotifications() {
        MSG msg;
        while (PeekMessageA(&msg, 0, kSocketMessage, kSocketMessage, PM_REMOVE)) {
        }
    }

    // One fetch by a client of its own, to its end: what the client heard.
    Calls FetchAlone(const std::string& url, DWORD idle_limit = kFetchIdleLimit) {
        CallLog log(kFirstId);
        {
            HttpClient client;
            client.set_idle_limit(idle_limit);
            EXPECT_EQ(1, Fetch(client, log, url));
            EXPECT_TRUE(PumpUntilIdle(client)) << url;
        }
        DropStaleNotifications();
        return log.lines;
    }

    LoopbackServer server_;  // first, so that it outlives every client
    ProgressRecorder progress_;
    HWND window_ = 0;
    // Reads left to the close, as Windows may order them; Wine never does.
    bool hold_reads_ = false;
    WPARAM last_socket_ = 0;
};

TEST_F(HttpClientTest, APageIsRequestedAndReportedInOrder) {
    server_.Answer("/dir/page.html", Reply(HttpResponse(200, "Content-Type: text/html\r\n",
                                                        "<html><title>Home</title><a href=next.html>Next page</a>"
                                                        "<img src=pic.gif></html>")));
    std::string url = Url("/dir/page.html");
    EXPECT_EQ(Calls({"Request(" + url + ",0)", "Status(200)", "ContentType(text/html)", "Title(\"Home\",1)",
                     "Link(next.html,0,\"Next page\")", "Link(pic.gif,1,\"image\")", "Close()"}),
              FetchAlone(url));

    std::vector<std::string> requests = server_.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET /dir/page.html HTTP/1.0\r\nUser-Agent: QMR-Skeindle/1.0.16d\r\nAccept: text/html\r\n\r\n",
              requests[0]);
    // Shown from the connect to the end, then cleared.
    ASSERT_LE(2u, progress_.calls.size());
    EXPECT_EQ(Shown(0, 1, url), progress_.calls.front());
    EXPECT_EQ(Shown(0, 0, ""), progress_.calls.back());
}

TEST_F(HttpClientTest, EachKindOfResponseIsReportedAndClosed) {
    const std::string page = "<title>T</title><a href=a.html>A</a><a href=b.html>B</a>";
    const std::string html = "Content-Type: text/html\r\n";
    LoopbackReply cut = Reply(HttpResponse(200, html, page), kReplyCut);
    cut.cut = cut.bytes.find("<a href=b");
    const char kGif[] = "GIF89a<a href=x>\0\1\xFF";
    struct Case {
        const char* path;
        LoopbackReply reply;
        Calls between;  // after the Request, before the Close
    };
    const Case cases[] = {
        {"/moved", Reply(HttpResponse(301, "Location: /new.html\r\n", "")), {"Status(301)", "Link(/new.html,3,null)"}},
        {"/found",
         Reply(HttpResponse(302, html + "Location: http://h/x\r\n", "<a href=y>y</a>")),
         {"Status(302)", "ContentType(text/html)", "Link(http://h/x,3,null)", "Link(y,0,\"y\")"}},
        {"/missing", Reply(HttpResponse(404, html, page)), {"Status(404)", "ContentType(text/html)"}},
        {"/broken", Reply(HttpResponse(500, html, page)), {"Status(500)", "ContentType(text/html)"}},
        {"/untyped",
         Reply(HttpResponse(200, "", page)),
         {"Status(200)", "Title(\"T\",1)", "Link(a.html,0,\"A\")", "Link(b.html,0,\"B\")"}},
        {"/picture",
         Reply(HttpResponse(200, "Content-Type: image/gif\r\n", std::string(kGif, sizeof kGif - 1))),
         {"Status(200)", "ContentType(image/gif)"}},
        {"/cut", cut, {"Status(200)", "ContentType(text/html)", "Title(\"T\",1)", "Link(a.html,0,\"A\")"}},
    };
    for (const Case& c : cases) server_.Answer(c.path, c.reply);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Calls expected = c.between;
        expected.insert(expected.begin(), "Request(" + Url(c.path) + ",0)");
        expected.push_back("Close()");
        EXPECT_EQ(expected, FetchAlone(Url(c.path)));
    }
}

TEST_F(HttpClientTest, ACloseWithDataStillUnreadDeliversItAll) {
    // Windows may post the close before the last reads; Wine holds it back
    // until everything is read, so the test hands it over itself. The body
    // takes several receives.
    const std::string body = "<title>L</title>" + std::string(20000, ' ') + "<a href=end>E</a>";
    const std::string response = HttpResponse(200, "Content-Type: text/html\r\n", body);
    server_.Answer("/long", Reply(response));
    HttpClient client;
    CallLog log(kFirstId);
    hold_reads_ = true;
    ASSERT_EQ(1, Fetch(client, log, Url("/long")));
    ASSERT_TRUE(PumpUntil(
        client, [&] { return server_.answered() == 1; }, 5000));
    client.Notify(last_socket_, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    EXPECT_EQ(0, client.busy_slots());
    EXPECT_EQ(Calls({"Request(" + Url("/long") + ",0)", "Status(200)", "ContentType(text/html)", "Title(\"L\",1)",
                     "Link(end,0,\"E\")", "Close()"}),
              log.lines);
    // Every byte is counted, those read after the close too.
    EXPECT_EQ(response.size(), client.bytes_received());
}

TEST_F(HttpClientTest, OnlyAFetchWithNothingComingIsClosedAsIdle) {
    // A byte every 50 ms keeps the fetch alive under a 400 ms limit.
    LoopbackReply trickle = Reply("HTTP/1.0 200 OK\r\n\r\n<title>Slow</title><a href=x>x</a>", kReplyTrickle);
    trickle.interval = 50;
    server_.Answer("/slow", trickle);
    EXPECT_EQ(
        Calls({"Request(" + Url("/slow") + ",0)", "Status(200)", "Title(\"Slow\",1)", "Link(x,0,\"x\")", "Close()"}),
        FetchAlone(Url("/slow"), 400));

    server_.Answer("/silent", Reply("", kReplySilent));
    DWORD start = GetTickCount();
    EXPECT_EQ(Calls({"Request(" + Url("/silent") + ",0)", "Close()"}), FetchAlone(Url("/silent"), 400));
    EXPECT_LE(400u, GetTickCount() - start);
}

TEST_F(HttpClientTest, TheTargetIsTheWholeUrlThroughAProxyAndThePathDirect) {
    const std::string port = std::to_string(server_.port());
    server_.AnswerOthers(Reply(HttpResponse(200, "Content-Type: text/html\r\n", "<title>Any</title>")));
    struct Case {
        std::string url;
        std::string request_line;
    };
    const Case cases[] = {
        {"http://example.invalid/x", "GET http://example.invalid/x HTTP/1.0"},
        {"http://localhost:" + port + "/y", "GET /y HTTP/1.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        size_t before = server_.Requests().size();
        CallLog log(kFirstId);
        {
            HttpClient client;
            client.proxy().Set(("127.0.0.1:" + port).c_str(), ("localhost:" + port).c_str());
            ASSERT_EQ(1, Fetch(client, log, c.url));
            ASSERT_TRUE(PumpUntilIdle(client));
        }
        DropStaleNotifications();
        std::vector<std::string> requests = server_.Requests();
        ASSERT_EQ(before + 1, requests.size());
        EXPECT_EQ(c.request_line, requests.back().substr(0, requests.back().find("\r\n")));
        EXPECT_EQ("Title(\"Any\",1)", log.lines.at(log.lines.size() - 2));
    }

    HttpClient direct;
    CallLog log(kFirstId);
    EXPECT_EQ(-1, Fetch(direct, log, "ftp://127.0.0.1:" + port + "/f"));
    EXPECT_EQ(-1, Fetch(direct, log, ""));
    EXPECT_EQ(0, direct.busy_slots());
    EXPECT_EQ(Calls(), log.lines);
}

TEST_F(HttpClientTest, FourFetchesAtOnceAndTheSlotsComeBack) {
    server_.AnswerOthers(Reply("", kReplySilent));
    HttpClient client;
    CallLog log(kFirstId);
    for (int i = 1; i <= kFetchSlots; ++i) EXPECT_EQ(i, Fetch(client, log, Url("/s" + std::to_string(i))));
    EXPECT_EQ(-1, Fetch(client, log, Url("/s5")));
    EXPECT_EQ(1, Fetch(client, log, Url("/s1")));
    EXPECT_EQ(kFetchSlots, client.busy_slots());
    // Every request went out; none is idle under the default limit.
    ASSERT_TRUE(PumpUntil(
        client, [&] { return server_.Requests().size() == (size_t)kFetchSlots; }, 5000));
    EXPECT_EQ(kFetchSlots, client.busy_slots());

    client.set_idle_limit(100);
    ASSERT_TRUE(PumpUntilIdle(client));
    int closes = 0;
    for (const std::string& line : log.lines) closes += line.find("Close()") != std::string::npos;
    EXPECT_EQ(kFetchSlots, closes);
    EXPECT_EQ(5, Fetch(client, log, Url("/s5")));
    EXPECT_EQ(1, client.busy_slots());
}

// What a fetch leaves in a workspace is what the same bytes leave when the
// browser's traffic carrying them is observed: the shim runs the same
// scanner over what the browser reads.
TEST_F(HttpClientTest, AFetchedPageLandsInTheWorkspaceAsObservedTrafficDoes) {
    const std::string response =
        HttpResponse(200, "Content-Type: text/html\r\nLink: <style.css>; rel=stylesheet\r\n",
                     "<title>Both</title><base href=\"/d/\"><a href=\"a.html\">A</a><frame src=\"f.html\">"
                     "<form action=\"/q\"><img src=\"i.gif\"><h1>Head</h1>" +
                         std::string(3000, ' ') + "<a href=\"z.html\">Z</a>");
    server_.Answer("/p.html", Reply(response));
    TempDir dir;
    NodeDb fetched, observed;
    ASSERT_TRUE(fetched.CreateWorkspace(dir.File("f.sk1").c_str()));
    ASSERT_TRUE(observed.CreateWorkspace(dir.File("o.sk1").c_str()));
    {
        DbClient client(&fetched);
        HttpClient http;
        ASSERT_EQ(1, http.Fetch(Url("/p.html").c_str(), &client, 0, window_, kSocketMessage));
        ASSERT_TRUE(PumpUntilIdle(http));
    }
    DropStaleNotifications();
    {
        DbClient client(&observed);
        PageScanner scanner(7, &client, "127.0.0.1", server_.port());
        scanner.RequestLine("GET /p.html HTTP/1.0\r\n");
        for (size_t at = 0; at < response.size(); at += 1000)
            scanner.Feed(response.data() + at, std::min<size_t>(1000, response.size() - at));
        scanner.Feed(0, 0);
        client.Close(7);
    }
    std::string pages = PagesAndLinks(fetched);
    EXPECT_EQ(PagesAndLinks(observed), pages);
    EXPECT_NE(std::string::npos, pages.find("\"Both\"")) << pages;
    EXPECT_NE(std::string::npos, pages.find("/d/z.html")) << pages;
}

TEST_F(HttpClientTest, AFailedConnectFreesItsSlot) {
    // A port nothing listens on any more.
    LoopbackServer gone;
    gone.Stop();
    std::string url = "http://127.0.0.1:" + std::to_string(gone.port()) + "/";
    EXPECT_EQ(Calls({"Request(" + url + ",0)", "Close()"}), FetchAlone(url));
    EXPECT_EQ(Shown(0, 0, ""), progress_.calls.back());
}

const char kSystemProxyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kOlderRoot[] = "Software\\Netscape";
const char kOlderProxyPath[] = "Software\\Netscape\\Netscape Navigator\\Proxy Information";
const char* const kSystemNames[] = {"ProxyServer", "ProxyOverride"};

// The proxy values are the user's own: what was there is put back.
class ProxySettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        older_root_existed_ = SettingsKey(HKEY_CURRENT_USER, kOlderRoot, false).IsOpen();
        SettingsKey system(HKEY_CURRENT_USER, kSystemProxyPath, false);
        for (int i = 0; i < 2; ++i) had_[i] = system.ReadText(kSystemNames[i], &old_[i], 0);
    }
    void TearDown() override {
        SettingsKey system(HKEY_CURRENT_USER, kSystemProxyPath, true);
        for (int i = 0; i < 2; ++i) {
            if (had_[i])
                system.WriteText(kSystemNames[i], old_[i].c_str());
            else
                RegDeleteValueA(system.handle(), kSystemNames[i]);
        }
        if (!older_root_existed_) {
            SHDeleteKeyA(HKEY_CURRENT_USER, kOlderRoot);
        } else {
            SettingsKey older(HKEY_CURRENT_USER, kOlderProxyPath, true);
            RegDeleteValueA(older.handle(), "HTTP_Proxy");
            RegDeleteValueA(older.handle(), "No_Proxy");
        }
    }

    bool older_root_existed_ = false;
    bool had_[2] = {false, false};
    std::string old_[2];
};

TEST_F(ProxySettingsTest, TheSystemProxyFirstThenTheOlderBrowsers) {
    SettingsKey system(HKEY_CURRENT_USER, kSystemProxyPath, true);
    SettingsKey older(HKEY_CURRENT_USER, kOlderProxyPath, true);
    ASSERT_EQ(0, system.WriteText("ProxyOverride", "a;b"));
    ASSERT_EQ(0, older.WriteText("HTTP_Proxy", "second:82"));
    ASSERT_EQ(0, older.WriteText("No_Proxy", "c"));
    struct Case {
        const char* system_proxy;  // null: no value
        const char* host;
        int port;
        std::vector<std::string> overrides;
    };
    const Case cases[] = {
        {"first:81", "first", 81, {"a", "b"}},
        {"", "second", 82, {"c"}},
        {0, "second", 82, {"c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system_proxy ? c.system_proxy : "none");
        if (c.system_proxy)
            system.WriteText("ProxyServer", c.system_proxy);
        else
            RegDeleteValueA(system.handle(), "ProxyServer");
        HttpClient client;
        client.ReadProxySettings();
        EXPECT_EQ(c.host, client.proxy().host);
        EXPECT_EQ(c.port, client.proxy().port);
        EXPECT_EQ(c.overrides, client.proxy().overrides);
    }
}

}  // namespace
