// The bridge between the extension's messages and the program: what is
// shown is echoed and answered, what the program asks becomes a message to
// the extension, and a fetched page reaches the file the program named.
#include "bridge/bridge_host.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "browser/verb_table.h"
#include "tools/scanreplay/call_log.h"

namespace {

class RecordingOutput : public ABridgeOutput {
public:
    void ToExtension(const std::string& json) override { sent.push_back(json); }
    void Echo(const std::string& url, const std::string& mime, uint32_t window, const std::string& referrer) override {
        echoes.push_back(url + " " + mime + " " + std::to_string(window) + " " + referrer);
    }
    bool WriteBody(const std::string& file, const std::string& body) override {
        files[file] = body;
        return writable;
    }
    void Progress(uint32_t transaction, uint32_t size) override {
        progress.push_back(std::to_string(transaction) + " " + std::to_string(size));
    }
    void FlushReports() override { ++flushes; }

    std::vector<std::string> sent, echoes, progress;
    std::map<std::string, std::string> files;
    bool writable = true;
    int flushes = 0;
};

class BridgeHostTest : public ::testing::Test {
protected:
    BridgeHostTest() : host_(&reports_, &out_), verbs_(BrowserIdentity(), &host_) {}

    // The reply text of a verb, as the program reads it.
    std::string Ask(int verb, const char* item) {
        VerbReply r = verbs_.Answer(verb, item);
        if (r.kind == ReplyNumber) return std::to_string(r.number);
        if (r.kind == ReplyText) return r.text;
        return "none";
    }

    CallLog reports_{kFirstBridgeId};
    RecordingOutput out_;
    BridgeHost host_;
    BrowserVerbs verbs_;
};

TEST_F(BridgeHostTest, ReportsBecomeCallsAndAreSentAtOnce) {
    EXPECT_TRUE(host_.FromExtension(R"({"type":"page","url":"http://h.test/","status":200})"));
    std::vector<std::string> expected = {"Request(http://h.test/,0)", "Status(200)", "Close()"};
    EXPECT_EQ(expected, reports_.lines);
    EXPECT_EQ(1, out_.flushes);
}

TEST_F(BridgeHostTest, AShownPageIsEchoedAndTheFrontTabAnswersForItsWindow) {
    EXPECT_EQ("none", Ask(WWW_GetWindowInfo, "4294967295")) << "nothing shown yet";
    ASSERT_TRUE(host_.FromExtension(R"({"type":"active","window":3,"url":"http://h.test/a","title":"A"})"));
    ASSERT_TRUE(host_.FromExtension(R"({"type":"active","window":5,"url":"http://h.test/b","title":"B"})"));
    ASSERT_TRUE(host_.FromExtension(
        R"({"type":"shown","url":"http://h.test/c","mime":"text/html","window":3,"referrer":"http://h.test/a"})"));
    ASSERT_TRUE(host_.FromExtension(R"({"type":"shown","url":"http://h.test/d","window":5,"active":false})"));
    std::vector<std::string> echoes = {"http://h.test/c text/html 3 http://h.test/a", "http://h.test/d  5 "};
    EXPECT_EQ(echoes, out_.echoes);
    EXPECT_EQ("\"http://h.test/b\",\"B\"", Ask(WWW_GetWindowInfo, "4294967295")) << "window 5 is in front";
    EXPECT_EQ("\"http://h.test/c\",\"\"", Ask(WWW_GetWindowInfo, "3"));
    ASSERT_TRUE(host_.FromExtension(R"({"type":"closed","window":5})"));
    EXPECT_EQ("none", Ask(WWW_GetWindowInfo, "4294967295")) << "the window in front was closed";
    EXPECT_EQ("none", Ask(WWW_GetWindowInfo, "5"));
}

TEST_F(BridgeHostTest, OpenAndActivateBecomeMessagesToTheExtension) {
    ASSERT_TRUE(host_.FromExtension(R"({"type":"active","window":3,"url":"http://h.test/a"})"));
    EXPECT_EQ("3", Ask(WWW_OpenURL, "\"http://h.test/x\",,4294967295,0"));
    EXPECT_EQ("2147483647", Ask(WWW_OpenURL, "\"http://h.test/\\\"q\",,0,0"));
    EXPECT_EQ("3", Ask(WWW_Activate, "3"));
    EXPECT_EQ("0", Ask(WWW_Activate, "9")) << "no such window";
    std::vector<std::string> sent = {
        R"({"type":"open","url":"http://h.test/x","window":3})",
        R"({"type":"open","url":"http://h.test/\\\"q","window":0})",
        R"({"type":"activate","window":3})",
    };
    EXPECT_EQ(sent, out_.sent);
}

TEST_F(BridgeHostTest, AFetchedBodyGoesIntoTheFileNamedAndItsLoadEnds) {
    EXPECT_EQ("1", Ask(WWW_OpenURL, "\"http://h.test/p\",\"C:\\\\t\\\\www1.tmp\",4294967295,4,,,skeind"));
    EXPECT_EQ("2", Ask(WWW_OpenURL, "\"http://h.test/q\",\"C:\\\\t\\\\www2.tmp\",4294967295,4,,,skeind"));
    std::vector<std::string> sent = {R"({"type":"fetch","id":1,"url":"http://h.test/p"})",
                                     R"({"type":"fetch","id":2,"url":"http://h.test/q"})"};
    EXPECT_EQ(sent, out_.sent);
    // "<p>héllo" in base64, and a fetch that failed.
    EXPECT_TRUE(host_.FromExtension(R"({"type":"fetched","id":1,"ok":true,"body":"PHA+aMOpbGxv"})"));
    EXPECT_TRUE(host_.FromExtension(R"({"type":"fetched","id":2,"ok":false})"));
    EXPECT_FALSE(host_.FromExtension(R"({"type":"fetched","id":1,"ok":true,"body":""})")) << "answered already";
    std::map<std::string, std::string> files = {{"C:\\\\t\\\\www1.tmp", "<p>h\xC3\xA9llo"}};
    EXPECT_EQ(files, out_.files);
    EXPECT_EQ(std::vector<std::string>{"1 9"}, out_.progress);
    EXPECT_EQ(0u, host_.pending_saves());
}

TEST_F(BridgeHostTest, EchoRegistrationsAndTheVersionAreABrowsers) {
    EXPECT_EQ("65536", Ask(WWW_Version, "1,0")) << "1.0, major in the high half";
    Ask(WWW_RegisterURLEcho, "\"skeind\"");
    Ask(WWW_RegisterURLEcho, "\"other\"");
    Ask(WWW_RegisterURLEcho, "\"skeind\"");
    EXPECT_EQ((std::vector<std::string>{"other", "skeind"}), verbs_.echo_receivers());
    Ask(WWW_UnRegisterURLEcho, "\"other\"");
    EXPECT_EQ(std::vector<std::string>{"skeind"}, verbs_.echo_receivers());
    EXPECT_EQ("none", Ask(WWW_ListWindows, ""));
}

TEST_F(BridgeHostTest, MessagesNotUnderstoodChangeNothing) {
    const char* bad[] = {
        "",
        "not json",
        "[]",
        "{}",
        R"({"type":7})",
        R"({"type":"shown"})",
        R"({"type":"active","window":-1})",
        R"({"type":"active","window":"3"})",
        R"({"type":"fetched","id":99,"ok":true})",
        R"({"type":"what"})",
    };
    for (const char* m : bad) EXPECT_FALSE(host_.FromExtension(m)) << m;
    EXPECT_TRUE(out_.echoes.empty());
    EXPECT_TRUE(out_.files.empty());
    EXPECT_EQ("none", Ask(WWW_GetWindowInfo, "4294967295"));
}

TEST(Base64, DecodesTheStandardAlphabet) {
    struct Case {
        const char* text;
        bool ok;
        std::string bytes;
    } cases[] = {
        {"", true, ""},      {"TWFu", true, "Man"},    {"TWE=", true, "Ma"},           {"TQ==", true, "M"},
        {"TQ", true, "M"},   {"T W\nFu", true, "Man"}, {"+/+/", true, "\xFB\xFF\xBF"}, {"TQ=a", false, ""},
        {"T*Fu", false, ""}, {"TQ===", false, ""},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(c.ok, DecodeBase64(c.text, &out)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.bytes, out) << c.text;
        }
    }
}

}  // namespace
