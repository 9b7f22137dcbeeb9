// The browser link against the stand-in browser running as a second
// process: discovery, the items sent for each browser kind, URL echoes,
// loss and registration, a browser that hangs or refuses, and the prompt.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <memory>

#include "browser/browser_link_win32.h"
#include "browser/browser_registry_win32.h"
#include "browser/dde_instance_win32.h"
#include "browser/xdde.h"
#include "observe/settings.h"
#include "tests/browser/recording_tattler.h"
#include "tests/browser/test_browser_process.h"
#include "tests/support/temp_dir.h"

namespace {

const UINT kWake = 0x1403;

class CountingPrompt : public ABrowserPrompt {
public:
    explicit CountingPrompt(int answer) : answer(answer) {}
    int AskToStartBrowser(HWND, BrowserList&) override {
        ++count;
        return answer;
    }
    int answer;
    int count = 0;
};

class BrowserLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        DdeInstance::Process();
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
        window_ = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    }
    void TearDown() override {
        // What each browser received tells most about a failure.
        if (HasFailure())
            for (auto& b : browsers_)
                for (const std::string& line : b->Lines()) printf("  browser: %s\n", line.c_str());
        link_.reset();
        for (auto& b : browsers_) b->Stop();
        PumpMessages(100);
        DestroyWindow(window_);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
    }

    void SetFallback(const char* text) {
        SettingsKey key(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
        key.WriteText("fallback", text);
    }
    void AddKnown(const char* key_name, const char* service, int flags) {
        SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
        SettingsKey key(browsers, key_name, true);
        key.WriteText("service", service);
        key.WriteNumber("flags", (uint32_t)flags);
    }
    TestBrowserProcess& Browser(const std::string& args) {
        browsers_.emplace_back(new TestBrowserProcess);
        std::string log = dir_.File("browser" + std::to_string(browsers_.size()) + ".log");
        EXPECT_TRUE(browsers_.back()->Start(log, args)) << args;
        return *browsers_.back();
    }
    BrowserLink& Link() {
        if (!link_) link_.reset(new BrowserLink(window_, kWake, &tattler_, "skeind"));
        return *link_;
    }
    // Lets the DDE callback run, then delivers what it queued.
    void Deliver(int ms = 200) {
        PumpMessages(ms);
        Link().DrainBrowserMessages();
    }
    bool Ensure() {
        try {
            Link().EnsureBrowser(0);
            return true;
        } catch (const XDde&) {
            return false;
        }
    }
    bool Heard(const std::string& call) {
        for (int i = 0; i < 50; ++i) {
            Deliver(50);
            for (const std::string& c : tattler_.calls)
                if (c == call) return true;
        }
        return false;
    }

    TempDir dir_;
    HWND window_ = 0;
    RecordingTattler tattler_;
    std::unique_ptr<BrowserLink> link_;
    std::vector<std::unique_ptr<TestBrowserProcess>> browsers_;
};

struct KindCase {
    const char* service;
    uint32_t kind;
    const char* version_topic;
    const char* echo_registration;  // how WWW_RegisterURLEcho arrives
    const char* show_item;
    const char* file_item;  // null: no exchange at all
};

const KindCase kKinds[] = {
    {"netscape", 1, "connect WWW_Version", "poke WWW_RegisterURLEcho \"skeind\"",
     "request WWW_OpenURL \"ftp://h/x\",,4294967295,0",
     "request WWW_OpenURL \"ftp://h/x\",\"C:/t/www1.tmp\",4294967295,4,,,skeind"},
    {"iexplore", 2, "connect WWW_QueryVersion", "request WWW_RegisterURLEcho \"skeind\"",
     "request WWW_OpenURL \"ftp://h/x\",,4294967295,0,,,,\"skeind\"", nullptr},
    {"mosaic", 0, "connect WWW_QueryVersion", "request WWW_RegisterURLEcho \"skeind\"",
     "request WWW_OpenURL \"ftp://h/x\",,4294967295,0,,,,\"skeind\"",
     "request WWW_OpenURL \"ftp://h/x\",\"C:/t/www1.tmp\",4294967295,4,\"\",\"\",\"skeind\",\"skeind\""},
};

}  // namespace

// Each kind of browser, found through the default fallback list, is sent
// exactly the items its kind expects.
TEST_F(BrowserLinkTest, EachKindFoundAndSentItsItems) {
    for (const KindCase& c : kKinds) {
        SCOPED_TRACE(c.service);
        TestBrowserProcess& b =
            Browser(std::string("--service ") + c.service + " --kind " + std::to_string(c.kind) + " --version 3.1");
        ASSERT_TRUE(Ensure());
        BrowserLink& link = Link();
        EXPECT_EQ(c.kind, link.flags() & kLinkKindMask);
        EXPECT_EQ(LinkConnected, link.link_state());
        EXPECT_EQ("3.1", link.browser_version());
        EXPECT_EQ(c.kind & 1 ? "" : "TestBrowser", link.browser_name());
        EXPECT_TRUE(Heard("new 1"));

        EXPECT_EQ(1u, link.OpenUrl(0, "ftp://h/x", 0xFFFFFFFFu, 0));
        uint32_t file_answer = link.OpenUrlToFile(0, "ftp://h/x", "C:/t/www1.tmp", 4);
        EXPECT_EQ(9u, link.ActivateWindow(0, 9));
        b.Send("show http://Example.COM:80/a#frag");
        ASSERT_TRUE(b.Sync());
        EXPECT_EQ("http://example.com/a", link.GetWindowUrl(1, 0, 0xFFFFFFFFu));
        b.Send("show javascript:alert(1)");
        ASSERT_TRUE(b.Sync());
        EXPECT_EQ("", link.GetWindowUrl(1, 0, 0xFFFFFFFFu));
        ASSERT_TRUE(b.Sync());

        EXPECT_EQ(1u, b.LinesStarting(c.version_topic).size());
        EXPECT_EQ(1u, b.LinesStarting(c.echo_registration).size());
        EXPECT_EQ(1u, b.LinesStarting(c.show_item).size());
        EXPECT_EQ(2u, b.LinesStarting("request WWW_GetWindowInfo 4294967295").size());
        EXPECT_EQ(1u, b.LinesStarting("request WWW_Activate 9").size());
        if (c.file_item) {
            EXPECT_EQ(1u, b.LinesStarting(c.file_item).size());
            EXPECT_EQ(0u, file_answer);  // nothing could be fetched
        } else {
            EXPECT_EQ(kCannotFetchToFile, file_answer);
            EXPECT_EQ(1u, b.LinesStarting("request WWW_OpenURL").size());  // the show only
        }

        // A browser of the Netscape kind echoes its pages and is not polled.
        size_t polls = b.LinesStarting("request WWW_GetWindowInfo").size();
        link.GetWindowUrl(0, 0, 0xFFFFFFFFu);
        ASSERT_TRUE(b.Sync());
        EXPECT_EQ(polls + (c.kind & 1 ? 0 : 1), b.LinesStarting("request WWW_GetWindowInfo").size());

        link_.reset();  // unregisters its echo
        ASSERT_TRUE(b.Sync());
        EXPECT_EQ(1u,
                  b.LinesStarting(c.kind & 1 ? "poke WWW_UnRegisterURLEcho" : "request WWW_UnRegisterURLEcho").size());
        b.Stop();
        tattler_.calls.clear();
    }
}

// The second is asked first and, with version 0.0, is no browser.
TEST_F(BrowserLinkTest, KnownBrowsersLastToFirstAndNoNameTriedTwice) {
    AddKnown("first.exe", "tbfirst", 0);
    AddKnown("second.exe", "tbsecond", 0);
    SetFallback("tbsecond;tbthird");
    TestBrowserProcess& first = Browser("--service tbfirst");
    TestBrowserProcess& second = Browser("--service tbsecond --version 0.0");
    TestBrowserProcess& third = Browser("--service tbthird");
    ASSERT_TRUE(Ensure());
    ASSERT_TRUE(first.Sync() && second.Sync() && third.Sync());
    EXPECT_EQ(1u, second.LinesStarting("connect WWW_QueryVersion").size());
    EXPECT_EQ(1u, first.LinesStarting("connect WWW_QueryVersion").size());
    EXPECT_EQ(0u, third.LinesStarting("connect").size());
    EXPECT_EQ(1u, first.LinesStarting("request WWW_RegisterURLEcho").size());
    EXPECT_EQ(0u, second.LinesStarting("request WWW_RegisterURLEcho").size());
}

TEST_F(BrowserLinkTest, EchoesAndProgressArriveAsMessages) {
    TestBrowserProcess& b = Browser("--service mosaic");
    ASSERT_TRUE(Ensure());
    b.Send("echo http://h/e#x text/html 3 http://h/#top");
    EXPECT_TRUE(Heard("echo http://h/e text/html 3 http://h/"));
    b.Send("request WWW_BeginProgress 4294967295,\"Loading\"");
    EXPECT_TRUE(Heard("begin 2147483647 Loading"));
    EXPECT_TRUE(b.WaitFor("reply WWW_BeginProgress 4294967295"));
    b.Send("poke WWW_SetProgressRange 9,100");
    EXPECT_TRUE(Heard("range 9 100"));
    b.Send("poke WWW_OpenURLResult 5,26");
    EXPECT_TRUE(Heard("result 5 26"));
    b.Send("request WWW_RegisterNow 1");
    EXPECT_TRUE(b.WaitFor("reply WWW_RegisterNow none"));
}

// A browser that starts after the program is found by its registration; one
// that leaves is dropped, and a later need makes a new search.
TEST_F(BrowserLinkTest, RegistrationLossAndANewSearch) {
    EXPECT_FALSE(Ensure());
    EXPECT_EQ(LinkDeclined, Link().link_state());
    TestBrowserProcess& b = Browser("--service mosaic");
    EXPECT_TRUE(Heard("new 1"));
    EXPECT_TRUE(Link().connected());
    EXPECT_EQ(LinkConnected, Link().link_state());
    b.Send("unregister");
    EXPECT_TRUE(Heard("lost 1"));
    EXPECT_FALSE(Link().connected());
    EXPECT_EQ(LinkNone, Link().link_state());
    b.Send("register");
    ASSERT_TRUE(b.Sync());
    EXPECT_TRUE(Ensure());
    EXPECT_TRUE(Link().connected());
    EXPECT_EQ(2u, b.LinesStarting("request WWW_RegisterURLEcho").size());
}

// Sends the window a message from another thread a second into the wait.
DWORD WINAPI KnockAfterASecond(LPVOID window) {
    Sleep(1000);
    DWORD_PTR ignored;
    return SendMessageTimeoutA((HWND)window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &ignored) != 0;
}

TEST_F(BrowserLinkTest, ABrowserThatNeverAnswersIsGivenUp) {
    TestBrowserProcess& b = Browser("--service mosaic");
    ASSERT_TRUE(Ensure());
    b.Send("hang 6000");
    ASSERT_TRUE(b.Sync());
    HANDLE knock = CreateThread(0, 0, KnockAfterASecond, window_, 0, 0);
    DWORD start = GetTickCount();
    EXPECT_EQ("", Link().GetWindowUrl(1, 0, 0xFFFFFFFFu));
    DWORD took = GetTickCount() - start;
    DWORD answered = 0;
    WaitForSingleObject(knock, INFINITE);
    GetExitCodeThread(knock, &answered);
    CloseHandle(knock);
    EXPECT_EQ(1u, answered);  // the waiting thread still answers what is sent to it
    // Given up after its 5 s; ending the conversation, which waits for the
    // browser to take notice, is not the caller's wait.
    EXPECT_GE(took, 4900u);
    EXPECT_LT(took, 5800u);
    // While it is still stuck, the next call is refused at once.
    start = GetTickCount();
    EXPECT_EQ(0u, Link().ActivateWindow(0, 7));
    EXPECT_LT(GetTickCount() - start, 500u);
    b.Send("hang 0");
    ASSERT_TRUE(b.Sync());
    EXPECT_EQ(7u, Link().ActivateWindow(0, 7));
}

// A browser that starts a conversation with us (its URL echo) while we
// wait for its answer is served at once: neither waits for the other.
TEST_F(BrowserLinkTest, EchoesWhileWeWaitStallNeither) {
    TestBrowserProcess& b = Browser("--service mosaic");
    ASSERT_TRUE(Ensure());
    for (int i = 0; i < 5; ++i) {
        b.Send("echo http://h/" + std::to_string(i) + " text/html 1");
        DWORD start = GetTickCount();
        EXPECT_EQ(7u, Link().ActivateWindow(0, 7));
        EXPECT_LT(GetTickCount() - start, 1000u);
        EXPECT_TRUE(Heard("echo http://h/" + std::to_string(i) + " text/html 1 "));
    }
}

TEST_F(BrowserLinkTest, ARefusingBrowserFailsTheCallButStaysRecorded) {
    TestBrowserProcess& b = Browser("--service mosaic");
    ASSERT_TRUE(Ensure());
    b.Send("refuse 1");
    ASSERT_TRUE(b.Sync());
    EXPECT_EQ(kNoWindow, Link().OpenUrl(0, "ftp://h/", 0, 0));
    EXPECT_EQ(0u, Link().ActivateWindow(0, 1));
    EXPECT_EQ(LinkNone, Link().link_state());
    EXPECT_TRUE(Link().connected());
}

BOOL CALLBACK CountOurWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

size_t OurWindows() {
    size_t count = 0;
    EnumWindows(CountOurWindow, (LPARAM)&count);
    return count;
}

// Searching again and again (as the timer does) must not pile up windows.
TEST_F(BrowserLinkTest, FailedSearchesLeaveNoWindows) {
    Link().known_browsers().SetFallback("tbnobody;tbnone");
    EXPECT_FALSE(Ensure());
    size_t windows = OurWindows();
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(Ensure());
    EXPECT_EQ(windows, OurWindows());
}

TEST_F(BrowserLinkTest, PromptHeldOffForThreeSeconds) {
    CountingPrompt cancel(IDCANCEL);
    Link().set_prompt(&cancel);
    SetFallback("tbnobody");
    Link().known_browsers().SetFallback("tbnobody");
    try {
        Link().EnsureBrowser(0);
        FAIL();
    } catch (const XDde_no_browser&) {
    }
    EXPECT_THROW(Link().EnsureBrowser(0), XDde_retry);
    EXPECT_EQ(1, cancel.count);
    Sleep(3100);
    EXPECT_THROW(Link().EnsureBrowser(0), XDde_no_browser);
    EXPECT_EQ(2, cancel.count);
    EXPECT_EQ(LinkDeclined, Link().link_state());
    EXPECT_EQ("", Link().GetWindowUrl(1, 0, 0xFFFFFFFFu));  // declined: not asked below level 4
    EXPECT_EQ(2, cancel.count);

    CountingPrompt started(IDOK);
    Link().set_prompt(&started);
    Sleep(3100);
    EXPECT_THROW(Link().EnsureBrowser(0), XDde_retry);
    EXPECT_EQ(LinkStarting, Link().link_state());
    EXPECT_THROW(Link().EnsureBrowser(0), XDde_no_browser);  // one is coming: do not ask again
    EXPECT_EQ(1, started.count);
}
