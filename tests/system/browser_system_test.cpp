// The real program beside the stand-in browser, two processes talking DDE:
// the program finds the browser when it starts, the browser's URL echo
// makes a page the map's open page, Open sends the page to the browser,
// and a page whose links were never seen is read: from the copy the
// browser saves for the program, or over the program's own HTTP client.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "browser/browser_registry_win32.h"
#include "store/nodedb.h"
#include "tests/browser/test_browser_process.h"
#include "tests/support/loopback_server_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/system/skeind_run.h"
#include "tools/uiprobe/probe.h"

namespace {

class BrowserSystemTest : public ::testing::Test {
protected:
    // The browser first, so that the program finds it as it starts.
    void StartBoth(const std::string& browser_args) {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);  // the default fallback list
        ASSERT_TRUE(browser_.Start(dir_.File("browser.log"), browser_args));
        name_ = dir_.File("map.sk1");
        ASSERT_TRUE(MakeWorkspace(name_));
        main_ = run_.StartOn("map.sk1", dir_.path(), false);
        ASSERT_TRUE(main_ != 0);
        // Found at start-up, and asked for the pages it shows.
        ASSERT_TRUE(browser_.WaitFor("request WWW_RegisterURLEcho \"skeind\"", kSystemTimeout));
    }
    // Closes the program and opens what it left in the workspace.
    void CloseAndOpen(NodeDb* db) {
        if (HasFailure())
            for (const std::string& line : browser_.Lines()) printf("  browser: %s\n", line.c_str());
        EXPECT_EQ(0u, run_.Close());
        ASSERT_TRUE(db->OpenWorkspace(name_.c_str()));
    }
    void ExpectEchoedPageRead(int kind);

    TempDir dir_;
    TestBrowserProcess browser_;
    SkeindRun run_;
    std::string name_;
    HWND main_ = 0;
};

}  // namespace

TEST_F(BrowserSystemTest, EchoedPageIsOpenedInTheMapAndOpenGoesToTheBrowser) {
    StartBoth("--service mosaic");
    browser_.Send("echo http://example.org/a/page.html#part text/html 1");
    ASSERT_TRUE(browser_.WaitFor("poked WWW_URLEcho ack", kSystemTimeout));
    HWND graph = run_.Map();
    ASSERT_TRUE(graph != 0);
    // The open page is shown under its host, its domain and the visited
    // sites: Down reaches it at the fourth row.
    std::string current;
    for (int i = 0; i < 120 && current != "http://example.org/a/page.html"; ++i) {
        PostMessageA(graph, WM_KEYDOWN, VK_DOWN, 1);
        Sleep(250);
        current = ProbeStatusText(main_);
    }
    ASSERT_EQ("http://example.org/a/page.html", current);

    ASSERT_TRUE(ProbeSendCommand(main_, 36));  // Open
    EXPECT_TRUE(browser_.WaitFor("request WWW_OpenURL \"http://example.org/a/page.html\",,4294967295,0,,,,\"skeind\"",
                                 kSystemTimeout));
    ASSERT_TRUE(ProbeSendCommand(main_, 47));  // Open in New Window
    EXPECT_TRUE(
        browser_.WaitFor("request WWW_OpenURL \"http://example.org/a/page.html\",,0,0,,,,\"skeind\"", kSystemTimeout));

    NodeDb db;
    CloseAndOpen(&db);
    // The program said goodbye to the browser on its way out.
    EXPECT_TRUE(browser_.WaitFor("request WWW_UnRegisterURLEcho \"skeind\"", kSystemTimeout));
    NodeId page = db.FindNode("http://example.org/a/page.html", false);
    ASSERT_NE(0u, page);
    EXPECT_EQ(0x45u, db.ContentType(page));                    // text/html, from the echo
    ASSERT_NE(0u, db.FindNode("http://example.org/", false));  // filed under its host
}

// An echoed page never fetched under the program's eyes is read on a
// later tick: a browser of kind 0 saves a copy for it; one of the
// Internet Explorer kind cannot, and the program fetches the page itself.
void BrowserSystemTest::ExpectEchoedPageRead(int kind) {
    LoopbackServer server;
    ASSERT_NE(0, server.port());
    server.Answer("/p.html", {HttpResponse(200, "Content-Type: text/html\r\n",
                                           "<title>Served</title><a href=\"next.html\">n</a><img src=\"i.gif\">")});
    // The default fallback list knows "iexplore" as the kind that cannot.
    StartBoth(kind == 2 ? "--service iexplore --kind 2" : "--service mosaic");
    std::string base = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    browser_.Send("echo " + base + "p.html text/html 1");
    if (kind == 0) {
        // Saved, reported, then read and deleted by the program.
        ASSERT_TRUE(browser_.WaitFor("saved ", kSystemTimeout));
        std::string saved = browser_.LinesStarting("saved ")[0];
        std::string file = saved.substr(6, saved.rfind(' ') - 6);
        for (int i = 0; i < 200 && PathFileExistsA(file.c_str()); ++i) Sleep(100);
        EXPECT_FALSE(PathFileExistsA(file.c_str()));
    } else {
        for (int i = 0; i < 200 && server.Requests().empty(); ++i) Sleep(100);
        ASSERT_EQ(1u, server.Requests().size());
        EXPECT_EQ(0u, server.Requests()[0].find("GET /p.html HTTP/1.0\r\nUser-Agent: QMR-Skeindle/1.0.16d\r\n"))
            << server.Requests()[0];
        Sleep(1000);  // the response's end reaches the program
    }
    NodeDb db;
    CloseAndOpen(&db);
    NodeId page = db.FindNode((base + "p.html").c_str(), false);
    ASSERT_NE(0u, page);
    ASSERT_NE(0u, db.Title(page));
    EXPECT_STREQ("Served", db.Text(db.Title(page)));
    EXPECT_EQ((std::vector<std::string>{"1 " + base + "next.html", "2 " + base + "i.gif"}), LinksOf(db, page));
}

TEST_F(BrowserSystemTest, AnEchoedPageIsReadThroughTheBrowsersCopy) {
    ExpectEchoedPageRead(0);
}
TEST_F(BrowserSystemTest, AnEchoedPageIsReadOverTheNetworkWhenTheBrowserCannotSave) {
    ExpectEchoedPageRead(2);
}
