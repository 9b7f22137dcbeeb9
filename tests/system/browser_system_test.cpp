// The real program beside the stand-in browser, two processes talking DDE:
// the program finds the browser when it starts, the browser's URL echo
// makes a page the map's open page, and Open sends the page to the browser.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "browser/browser_registry_win32.h"
#include "store/nodedb.h"
#include "tests/browser/test_browser_process.h"
#include "tests/support/temp_dir.h"
#include "tests/system/program.h"
#include "tools/uiprobe/probe.h"

namespace {

const int kTimeout = 20000;

}  // namespace

TEST(BrowserSystem, EchoedPageIsOpenedInTheMapAndOpenGoesToTheBrowser) {
    using ::testing::Test;
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);  // the default fallback list
    TempDir dir;
    TestBrowserProcess browser;
    ASSERT_TRUE(browser.Start(dir.File("browser.log"), "--service mosaic"));
    std::string name = dir.File("map.sk1");
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
    }
    Program program;
    ASSERT_TRUE(program.Start(BesideThisProgram("skeind.exe"), "map.sk1", dir.path()));
    HWND main = ProbeWaitForWindow("QMR Skeindle", "Skeindle", program.pid(), kTimeout);
    ASSERT_TRUE(main != 0);
    // Found at start-up, and asked for the pages it shows.
    ASSERT_TRUE(browser.WaitFor("request WWW_RegisterURLEcho \"skeind\"", kTimeout));

    browser.Send("echo http://example.org/a/page.html#part text/html 1");
    ASSERT_TRUE(browser.WaitFor("poked WWW_URLEcho ack", kTimeout));
    HWND graph = FindWindowExA(main, 0, "lumvane-graph-window", 0);
    ASSERT_TRUE(graph != 0);
    // The open page is shown under its host, its domain and the visited
    // sites: Down reaches it at the fourth row. The program may be busy
    // asking the browser for its page (up to 5 s each time) meanwhile.
    std::string current;
    for (int i = 0; i < 120 && current != "http://example.org/a/page.html"; ++i) {
        PostMessageA(graph, WM_KEYDOWN, VK_DOWN, 1);
        Sleep(250);
        current = ProbeStatusText(main);
    }
    ASSERT_EQ("http://example.org/a/page.html", current);

    ASSERT_TRUE(ProbeSendCommand(main, 36));  // Open
    EXPECT_TRUE(browser.WaitFor("request WWW_OpenURL \"http://example.org/a/page.html\",,4294967295,0,,,,\"skeind\"",
                                kTimeout));
    ASSERT_TRUE(ProbeSendCommand(main, 47));  // Open in New Window
    EXPECT_TRUE(
        browser.WaitFor("request WWW_OpenURL \"http://example.org/a/page.html\",,0,0,,,,\"skeind\"", kTimeout));

    if (Test::HasFailure())
        for (const std::string& line : browser.Lines()) printf("  browser: %s\n", line.c_str());
    EXPECT_TRUE(ProbeCloseWindow(main));
    DWORD code = 1;
    EXPECT_TRUE(program.WaitForExit(kTimeout, &code));
    EXPECT_EQ(0u, code);
    // The program said goodbye to the browser on its way out.
    EXPECT_TRUE(browser.WaitFor("request WWW_UnRegisterURLEcho \"skeind\"", kTimeout));

    NodeDb db;
    ASSERT_TRUE(db.OpenWorkspace(name.c_str()));
    NodeId page = db.FindNode("http://example.org/a/page.html", false);
    ASSERT_NE(0u, page);
    EXPECT_EQ(0x45u, db.ContentType(page));  // text/html, from the echo
    NodeId host = db.FindNode("http://example.org/", false);
    ASSERT_NE(0u, host);  // filed under its host
}
