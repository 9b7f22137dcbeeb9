// The page loader over real files: local pages read at once, the copy the
// browser saves followed through its progress reports and the tick, the
// fallback to the network, and the sniffing of a file's first block.
#include "observe/page_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "observe/load_file.h"
#include "store/layout.h"
#include "store/nodedb.h"
#include "tests/support/temp_dir.h"
#include "tools/scanreplay/call_log.h"

namespace {

struct SniffCase {
    const char* bytes;
    size_t count;
    SniffedType type;
};

const SniffCase kSniffs[] = {
    {"<html><a href=x>", 16, SniffedHtml},   {"\r\n  <!DOCTYPE html>", 19, SniffedHtml},
    {"text <TITLE>", 12, SniffedHtml},       {"<p>a paragraph", 14, SniffedPlainText},
    {"no tag at all", 13, SniffedPlainText}, {"ends with <", 11, SniffedPlainText},
    {"\x99\xA0\xFF<h", 5, SniffedHtml},      {"GIF89a\x01\x00", 8, SniffedGif},
    {"GIF87a\x00", 7, SniffedGif},           {"GIF89a", 6, SniffedPlainText},  // six text bytes are text
    {"GIF89\x01\x02", 7, SniffedOther},      {"<html>\x01", 7, SniffedOther},
};

TEST(Sniff, FirstBlock) {
    for (const SniffCase& c : kSniffs) EXPECT_EQ(c.type, SniffFirstBlock(c.bytes, c.count)) << c.bytes;
    // Only the first 256 bytes count.
    std::string late(256, 'x');
    late += "\x01<html>";
    EXPECT_EQ(SniffedPlainText, SniffFirstBlock(late.data(), late.size()));
}

class RecordingSources : public APageSources, public AProgressbar {
public:
    uint32_t SaveToFile(const char* url, const char* file) override {
        saves.push_back(std::string(url) + " " + file);
        last_file = file;
        return save_answer;
    }
    int32_t FetchOverNetwork(const char* url) override {
        fetches.push_back(url);
        return 1;
    }
    void RefreshMap() override { ++refreshes; }
    int Progress(uint32_t done, uint32_t total, const char* text) override {
        progress.push_back(std::to_string(done) + "/" + std::to_string(total) + " " + (text ? text : "-"));
        return 1;
    }
    uint32_t save_answer = 7;
    std::string last_file;
    std::vector<std::string> saves, fetches, progress;
    int refreshes = 0;
};

const char kPage[] = "<html><title>T</title><a href=\"b.html\">B</a><img src=\"i.gif\"></html>";

class PageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(db_.CreateWorkspace(dir_.File("l.sk1").c_str())); }
    NodeId Page(const char* url) {
        NodeId page = db_.FindNode(url, true);
        db_.SetFlags(page, NotFetched);
        return page;
    }
    bool Busy_(NodeId page) { return db_.TestFlags(page, Busy) != 0; }
    // The calls without the connection id, which is random.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        for (const std::string& line : log_.lines) calls.push_back(line.substr(line.find("] ") + 2));
        return calls;
    }
    void Write(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(WriteWholeFile(path, bytes.data(), bytes.size()));
    }

    TempDir dir_;
    NodeDb db_;
    CallLog log_{1};
    RecordingSources sources_;
    PageLoader loader_{&log_, &sources_, &sources_};
};

const std::vector<std::string> kPageCalls = {"Status(200)",          "ContentType(text/html)",  "Title(\"T\",1)",
                                             "Link(b.html,0,\"B\")", "Link(i.gif,1,\"image\")", "Close()"};

std::vector<std::string> WithRequest(const std::string& url, std::vector<std::string> calls) {
    calls.insert(calls.begin(), "Request(" + url + ",0)");
    return calls;
}

// A local file is read before the call returns, by what its first block
// is, on a connection marked as the program's own.
TEST_F(PageLoaderTest, LocalFilesAreReadAtOnceByKind) {
    struct {
        const char* bytes;
        std::vector<std::string> calls;
    } cases[] = {
        {kPage, kPageCalls},
        {"GIF89a\x01\x02\x03", {"Status(200)", "ContentType(image/gif)", "Close()"}},
        {"<p>not <a href=x>html</a>", {"Status(200)", "ContentType(text/plain)", "Close()"}},
        {"\x01\x02\x03\x04<a href=x>", {"Close()"}},
        {"", {"Close()"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        log_.lines.clear();
        std::string path = dir_.File("f");
        Write(path, std::string(c.bytes));
        NodeId page = Page("http://h/f");
        loader_.LoadPage(&db_, page, path.c_str());
        EXPECT_EQ(WithRequest("http://h/f", c.calls), Calls());
        EXPECT_FALSE(Busy_(page));
        EXPECT_EQ(0u, loader_.entry_count());
        EXPECT_EQ("0/0 ", sources_.progress.back());  // the display is cleared
        uint32_t id = (uint32_t)std::stoul(log_.lines[0].substr(1));
        EXPECT_EQ(kLoaderIdBase, id & 0xFFFF8000u);
    }
    EXPECT_TRUE(sources_.saves.empty());
}

TEST_F(PageLoaderTest, BrowsersCopyFollowedThroughItsProgress) {
    NodeId page = Page("http://h/p.html");
    loader_.LoadPage(&db_, page, 0);
    ASSERT_EQ(1u, sources_.saves.size());
    std::string file = sources_.last_file;
    EXPECT_EQ("http://h/p.html " + file, sources_.saves[0]);
    EXPECT_EQ(std::string::npos, file.find('\\'));
    EXPECT_TRUE(Busy_(page));
    loader_.BeginProgress(7, "Loading");  // nothing written yet
    EXPECT_TRUE(log_.lines.empty());
    Write(file, std::string(kPage, 30));
    loader_.MakingProgress(7, "", 30);
    EXPECT_EQ(4u, log_.lines.size());  // request, status, type, title
    Write(file, kPage);                // the browser rewrote it whole; reading goes on at 30
    loader_.EndProgress(7);
    loader_.Tick();
    EXPECT_EQ(WithRequest("http://h/p.html", kPageCalls), Calls());
    EXPECT_FALSE(Busy_(page));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(0u, loader_.entry_count());
}

TEST_F(PageLoaderTest, ACopyNeverWrittenIsGivenUpAfterFiveTicks) {
    NodeId page = Page("http://h/p.html");
    loader_.LoadPage(&db_, page, 0);
    loader_.EndProgress(7);
    for (int i = 0; i < 4; ++i) loader_.Tick();
    EXPECT_EQ(1u, loader_.entry_count());
    EXPECT_TRUE(Busy_(page));
    loader_.Tick();
    EXPECT_EQ(0u, loader_.entry_count());
    EXPECT_FALSE(Busy_(page));
    EXPECT_TRUE(log_.lines.empty());
    EXPECT_FALSE(FileExists(sources_.last_file));
}

TEST_F(PageLoaderTest, AnUnsetWindowIsFinishedOnceItsFileIsThere) {
    sources_.save_answer = kUnsetWindow;
    NodeId page = Page("http://h/p.html");
    loader_.LoadPage(&db_, page, 0);
    loader_.Tick();
    EXPECT_EQ(1u, loader_.entry_count());
    Write(sources_.last_file, kPage);
    loader_.Tick();
    EXPECT_EQ(WithRequest("http://h/p.html", kPageCalls), Calls());
    EXPECT_EQ(0u, loader_.entry_count());
}

TEST_F(PageLoaderTest, BrowserThatCannotSaveFallsBackToTheNetwork) {
    sources_.save_answer = kBrowserCannotSave;
    NodeId page = Page("http://h/p.html");
    loader_.LoadPage(&db_, page, 0);
    EXPECT_EQ(std::vector<std::string>{"http://h/p.html"}, sources_.fetches);
    EXPECT_FALSE(FileExists(sources_.last_file));
    EXPECT_FALSE(Busy_(page));
    sources_.save_answer = 0;  // any other failure: nothing more
    loader_.LoadPage(&db_, page, 0);
    EXPECT_EQ(1u, sources_.fetches.size());
    EXPECT_EQ(0u, loader_.entry_count());
}

TEST_F(PageLoaderTest, ProgressOfAWindowNotOursIsFollowedAndThenAdopted) {
    loader_.BeginProgress(3, "Connecting");
    EXPECT_EQ("0/1 Connecting", sources_.progress.back());
    EXPECT_EQ(1u, loader_.entry_count());
    sources_.save_answer = 3;
    loader_.LoadPage(&db_, Page("http://h/p.html"), 0);
    EXPECT_EQ(1u, loader_.entry_count());
    loader_.EndProgress(3);
    loader_.BeginProgress(4, "Elsewhere");
    loader_.EndProgress(4);
    loader_.Tick();  // the foreign load's entry goes; ours waits for its file
    EXPECT_EQ(1u, loader_.entry_count());
    EXPECT_EQ(3u, loader_.entry(0).window);
}

}  // namespace
