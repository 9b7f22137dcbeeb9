// The page scanner: what it reports for heads, tags, comments, long and
// broken input, and that the reports do not depend on where blocks end.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

#include "observe/keywords.h"
#include "observe/page_scanner.h"
#include "tests/store/progress_recorder.h"
#include "tests/support/temp_dir.h"
#include "tools/scanreplay/call_log.h"

namespace {

const uint32_t kId = 7;
typedef std::vector<std::string> Calls;

// How a run begins: a bare page (status 200, "text/html", no head) or a
// response read from its first byte, optionally after a request line.
struct Start {
    bool bare;
    const char* host;
    int port;
    const char* request;
};
const Start kBare = {true, 0, 0, 0};
const Start kResponse = {false, 0, 0, 0};

// Feeds `data` in blocks: the first `first` bytes, then blocks of `rest`
// bytes; then the end. Every Feed after a stop must refuse.
Calls Feeding(const std::string& data, size_t first, size_t rest, Start how = kResponse, AProgressbar* progress = 0) {
    CallLog log(kId);
    PageScanner scanner(kId, &log, how.host, how.port, progress);
    if (how.request) scanner.RequestLine(how.request);
    if (how.bare) scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
    size_t at = 0;
    size_t block = first;
    while (at < data.size()) {
        size_t n = std::min(block, data.size() - at);
        bool was_stopped = scanner.Stopped();
        int answer = scanner.Feed(data.data() + at, n);
        EXPECT_EQ(scanner.Stopped() || was_stopped ? 0 : 1, answer);
        at += n;
        block = rest;
    }
    EXPECT_EQ(0, scanner.Feed(data.data(), 0));
    EXPECT_EQ(0, scanner.Feed("<title>late</title>", 19));
    return log.lines;
}

Calls Whole(const std::string& data, Start how = kResponse) {
    return Feeding(data, data.size() ? data.size() : 1, 1, how);
}

// A bare page's calls after its Status and ContentType.
Calls Body(const std::string& html) {
    Calls all = Whole(html, kBare);
    EXPECT_GE(all.size(), 2u);
    EXPECT_EQ("Status(200)", all[0]);
    EXPECT_EQ("ContentType(text/html)", all[1]);
    return Calls(all.begin() + 2, all.end());
}

// The same calls whether the data after `first` bytes comes whole, split in
// two anywhere, or one byte at a time. Long data is split in two at every
// 17th byte only: the byte-at-a-time run still ends a block everywhere.
void ExpectSplitsAgree(const std::string& data, size_t first, Start how, const char* name) {
    Calls whole = Whole(data, how);
    const size_t step = data.size() > 4000 ? 17 : 1;
    for (size_t k = first; k < data.size(); k += step)
        ASSERT_EQ(whole, Feeding(data, k, data.size(), how)) << name << ", split at " << k;
    ASSERT_EQ(whole, Feeding(data, first, 1, how)) << name << ", one byte at a time";
}

size_t StatusLineLength(const std::string& data) {
    size_t lf = data.find('\n');
    return lf == std::string::npos ? data.size() : lf + 1;
}

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

struct Case {
    const char* name;
    std::string data;
    Calls calls;
};

void CheckCases(const std::vector<Case>& cases, Start how) {
    for (const Case& c : cases) {
        Calls got = how.bare ? Body(c.data) : Whole(c.data, how);
        EXPECT_EQ(c.calls, got) << c.name;
        ExpectSplitsAgree(c.data, how.bare ? 1 : StatusLineLength(c.data), how, c.name);
    }
}

// ---- Tags, attributes and containers ------------------------------------

TEST(PageScanner, ReportsLinksTitlesAndBasesFromTags) {
    CheckCases(
        {
            {"anchor with inner tags", "<A HREF=\"x.html#sec\">Next <b>page</b></A>", {"Link(x.html,0,\"Next page\")"}},
            {"image in anchor", "<a href=x><img src=y></a>", {"Link(x,0,\"\")", "Link(y,1,\"image\")"}},
            {"title ended by its end tag", "<title>A</title>", {"Title(\"A\",1)"}},
            {"title never ended", "<title>A", {}},
            {"anchor ended by an unknown tag only", "<a href=x>text<p>more<br>", {}},
            {"h1 and inner markup", "<h1>Big <i>news</i>\n today</h1>", {"Title(\"Big news\\n today\",2)"}},
            {"any known tag ends a container",
             "<title>Foo <img src=i.gif> bar</title>",
             {"Title(\"Foo \",1)", "Link(i.gif,1,\"image\")"}},
            {"link rel and rev",
             "<link rel=next href=\"n.html\"><LINK HREF=m REV=\"made\"><link rel=x>",
             {"Link(n.html,2,\"next\")", "Link(m,2,\"~made\")"}},
            {"base", "<base href=\"http://h/d/\">", {"Base(http://h/d/)"}},
            {"frames and includes",
             "<frame src=f.html><body background=bg.gif><input type=image src=b.gif>"
             "<embed src=m.mid><bgsound src=s.wav><input type=text name=q>",
             {"Link(f.html,1,\"frame\")", "Link(bg.gif,1,\"image\")", "Link(b.gif,1,\"image\")",
              "Link(m.mid,1,\"image\")", "Link(s.wav,1,\"image\")"}},
            {"isindex reports nothing", "<isindex prompt=\"Find:\" href=s.html>", {}},
            {"url values trimmed and cut at '#'",
             "<img src=\" \tsp ace.gif#x\n \"><a href=\"#top\">up</a><img src=\"\">"
             "<a name=n>named</a>",
             {"Link(sp ace.gif,1,\"image\")"}},
            {"values without quotes, with spaces, over lines",
             "<a\nhref\n=\n\"x\" >a</a><A HREF = y\tTARGET=_top>b</A><img ismap src=z>",
             {"Link(x,0,\"a\")", "Link(y,0,\"b\")", "Link(z,1,\"image\")"}},
            {"single quotes",
             "<a href='q.html' title='it\"s'>q</a><img src='a b.gif'>",
             {"Link(q.html,0,\"q\")", "Link(a b.gif,1,\"image\")"}},
            {"quotes of the other kind inside",
             "<a href=\"it's.html\">i</a><a href='\"d\"'>d</a>",
             {"Link(it's.html,0,\"i\")", "Link(\"d\",0,\"d\")"}},
            {"a single-quoted value ends at '>'",
             "<a href='x.html>t</a><img src=y>",
             {"Link(x.html,0,\"t\")", "Link(y,1,\"image\")"}},
            {"a quoted value ends at '>'",
             "<a href=\"x.html>t</a><img src=y>",
             {"Link(x.html,0,\"t\")", "Link(y,1,\"image\")"}},
            {"empty tag and empty value", "<><a href=>e</a><img src= >", {}},
            {"last url attribute wins", "<img src=a href=b>", {"Link(b,1,\"image\")"}},
            {"anchor text keeps entities for later",
             "<a href=x>&lt;A&amp;B&gt;</a>",
             {"Link(x,0,\"&lt;A&amp;B&gt;\")"}},
        },
        kBare);
}

// Links come in batches (so that a client can make their pages together):
// those of a block before Feed returns, never more than a batch holds, and
// every one before any later report of another kind.
TEST(PageScanner, LinksComeInBatchesThatKeepTheOrderOfReports) {
    struct BatchLog : CallLog {
        explicit BatchLog(uint32_t id) : CallLog(id) {}
        void Links(uint32_t id, const LinkReport* links, size_t n) override {
            lines.push_back("Links(" + std::to_string(n) + ")");
            CallLog::Links(id, links, n);
        }
        // The batches and the other reports; each Link only counted.
        std::string Shape(int* links) const {
            std::string shape;
            for (const std::string& line : lines) {
                if (line.compare(0, 5, "Link(") == 0)
                    ++*links;
                else
                    shape += line.substr(0, line.find(')')) + ") ";
            }
            return shape;
        }
    };
    std::string page = "<a href=a1>1</a><a href=a2>2</a><img src=i><title>T</title>";
    for (int i = 0; i < 20; ++i) page += "<a href=b" + std::to_string(i) + ">b</a>";
    page += "<base href=\"http://h/\"><a href=c>c</a>";
    const struct {
        size_t first;  // bytes in the first block; the rest in a second
        const char* shape;
    } kCases[] = {
        {page.size(),
         "Status(200) ContentType(text/html) Links(3) Title(\"T\",1) Links(16) Links(4) Base(http://h/) Links(1) "},
        // b7's anchor ends at byte 187, b8's at 203.
        {200,
         "Status(200) ContentType(text/html) Links(3) Title(\"T\",1) Links(8) Links(12) Base(http://h/) Links(1) "},
    };
    for (const auto& c : kCases) {
        BatchLog log(kId);
        PageScanner scanner(kId, &log);
        scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
        scanner.Feed(page.data(), c.first);
        scanner.Feed(page.data() + c.first, page.size() - c.first);
        scanner.Feed(0, 0);
        int links = 0;
        EXPECT_EQ(c.shape, log.Shape(&links)) << "first block " << c.first;
        EXPECT_EQ(24, links);
    }
}

TEST(PageScanner, MetaTagsActAsHeaders) {
    CheckCases(
        {
            {"refresh", "<meta http-equiv=\"Refresh\" content=\"0; URL=next.html\">", {"Link(next.html,3,null)"}},
            {"refresh with its content first",
             "<META CONTENT=\"5;url = a.html#b\" HTTP-EQUIV=REFRESH>",
             {"Link(a.html,3,null)"}},
            {"refresh without a url", "<meta http-equiv=refresh content=30>", {}},
            {"content type keeps scanning",
             "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
             "<title>T</title>",
             {"ContentType(text/html; charset=utf-8)", "Title(\"T\",1)"}},
            {"link", "<meta http-equiv=link content=\"href=s.css; rel=stylesheet\">", {"Link(s.css,2,\"stylesheet\")"}},
            {"title and location",
             "<meta http-equiv=title content=\"Hi\"><meta http-equiv=location content=l.html>",
             {"Title(\"Hi\",0)", "Link(l.html,3,null)"}},
            {"without content, or not a header",
             "<meta http-equiv=refresh><meta name=keywords content=a><meta http-equiv=x content=y>",
             {}},
            {"http-equiv elsewhere", "<a http-equiv=#>t<a><img http-equiv=refresh content=\"0;url=x\">", {}},
        },
        kBare);
}

TEST(PageScanner, ReadsScriptsAndStylesAsTextUpToTheirEndTags) {
    CheckCases(
        {
            {"markup in a script",
             "<script>document.write(\"<a href=x>x</a><title>T</title>\")</script>"
             "<a href=y>y</a><p>",
             {"Link(y,0,\"y\")"}},
            {"a script's src", "<SCRIPT SRC=\"s.js#v\" type=module></SCRIPT >", {"Link(s.js,1,\"script\")"}},
            {"end tags in any case, ended by blank, '/' or '>'",
             "<script>a</SCRIPT\n><img src=i><style>b</Style/><img src=j><script>c</script x>"
             "<img src=k>",
             {"Link(i,1,\"image\")", "Link(j,1,\"image\")", "Link(k,1,\"image\")"}},
            {"what only begins an end tag",
             "<script>if (a<</script2 || b</scrip) s = \"<img src=x>\";</script><img src=y>",
             {"Link(y,1,\"image\")"}},
            {"a style sheet", "<style>a[href=\"<a href=x>\"] { }</style><img src=i>", {"Link(i,1,\"image\")"}},
            {"the old way of hiding a script",
             "<script><!-- document.write(\"<a href=x>\") // --></script><a href=y>y</a><p>",
             {"Link(y,0,\"y\")"}},
            {"a script closes the anchor it is in",
             "<a href=x>Home<script>s()</script> page</a>",
             {"Link(x,0,\"Home\")"}},
            {"never ended", "<script>x<a href=y>y</a><img src=z>", {}},
            {"an end tag by itself", "</script><a href=z>z</a><p>", {"Link(z,0,\"z\")"}},
        },
        kBare);
}

TEST(PageScanner, DecodesReferencesInUrlValues) {
    CheckCases(
        {
            {"in attribute values",
             "<a href=\"a?x=1&amp;y=2\">t</a><img src='p&#47;q&#x2F;r.gif'>"
             "<body background=caf&eacute;.gif>",
             {"Link(a?x=1&y=2,0,\"t\")", "Link(p/q/r.gif,1,\"image\")", "Link(caf\\xC3\\xA9.gif,1,\"image\")"}},
            {"before the fragment is cut and the ends trimmed",
             "<a href=\"&#32;x.html&#35;top\">t</a><a href=\"&#35;top\">u</a>",
             {"Link(x.html,0,\"t\")"}},
            {"kept where they are no references (so a '#' there cuts)",
             "<a href=\"a?b&copy=1&c&unknown;&#xD800;\">t</a>",
             {"Link(a?b&copy=1&c&unknown;&,0,\"t\")"}},
            {"in a meta tag's URL, not its title",
             "<meta http-equiv=refresh content=\"0; url=a?b=1&amp;c=2\">"
             "<meta http-equiv=title content=\"A &amp; B\"><link rel=\"a&amp;b\" href=c>",
             {"Link(a?b=1&c=2,3,null)", "Title(\"A &amp; B\",0)", "Link(c,2,\"a&amp;b\")"}},
        },
        kBare);
    // A header comes over HTTP, not in HTML: its value is taken as it is.
    EXPECT_EQ(Calls({"Status(302)", "Link(a?b&amp;c,3,null)"}),
              Whole("HTTP/1.0 302 Found\r\nLocation: a?b&amp;c\r\n\r\n"));
}

TEST(PageScanner, PassesOverCommentsAndDeclarations) {
    CheckCases(
        {
            {"anchor in a comment", "<!-- <a href=x> -->", {}},
            {"doctype", "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><title>T</title>", {"Title(\"T\",1)"}},
            {"two comments in one declaration",
             "<!-- x -- -- <a href=y>y</a> --><a href=z>z</a><p>",
             {"Link(z,0,\"z\")"}},
            // Text between comments ends at its '>'; "--" before the '>'
            // opens another comment that only the next "--" closes.
            {"text between comments", "<!-- x -- y --><a href=z>z</a> -- ><a href=w>w</a><p>", {"Link(w,0,\"w\")"}},
            {"declaration ends at a lone dash and '>'", "<!x-><a href=a>a</a>", {"Link(a,0,\"a\")"}},
            {"comment inside anchor text", "<a href=x>Next <!-- c --> page</a>", {"Link(x,0,\"Next  page\")"}},
        },
        kBare);
}

// ---- Heads ------------------------------------------------------------

TEST(PageScanner, ReadsTheResponseHead) {
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    CheckCases(
        {
            {"status, type, body",
             ok + "Content-Type: text/html\r\n\r\n<title>T</title>",
             {"Status(200)", "ContentType(text/html)", "Title(\"T\",1)"}},
            {"line feeds alone, tab after the code",
             "HTTP/1.1 200\tOK\nContent-type: text/html\n\n<title>T</title>",
             {"Status(200)", "ContentType(text/html)", "Title(\"T\",1)"}},
            {"continuation line",
             ok + "Title: a\r\n  b\r\nX-Other: y\r\n\r\n<title>T</title>",
             {"Status(200)", "Title(\"a b\",0)", "Title(\"T\",1)"}},
            {"continuation of an unknown header",
             ok + "X-A: 1\r\n 2\r\nWWW-Title: t \r\n\r\n",
             {"Status(200)", "Title(\"t\",0)"}},
            {"parameters refuse the body",
             ok + "Content-Type: text/html; charset=x\r\n\r\n<title>T</title>",
             {"Status(200)", "ContentType(text/html; charset=x)"}},
            {"other types refuse the body",
             ok + "CONTENT-TYPE: image/gif\r\n\r\n<title>T</title>",
             {"Status(200)", "ContentType(image/gif)"}},
            {"errors refuse the body, headers still read",
             "HTTP/1.0 404 Not Found\r\nTitle: gone\r\n\r\n<title>T</title>",
             {"Status(404)", "Title(\"gone\",0)"}},
            {"399 is no error", "HTTP/1.0 399 X\r\n\r\n<title>T</title>", {"Status(399)", "Title(\"T\",1)"}},
            {"400 refuses", "HTTP/1.0 400 X\r\n\r\n<title>T</title>", {"Status(400)"}},
            {"location and uri",
             "HTTP/1.0 302 Found\r\nLocation: http://h/n#f\r\nURI: n.fr; Vary = language\r\n"
             "URI: n.html\r\n\r\n",
             {"Status(302)", "Link(http://h/n#f,3,null)", "Link(n.fr,3,\"language\")", "Link(n.html,3,null)"}},
            {"refresh",
             ok + "Refresh: 5; URL=http://h/p#x\r\nRefresh: 5\r\nRefresh: 1;url=\r\n\r\n",
             {"Status(200)", "Link(http://h/p,3,null)"}},
            {"link headers",
             ok + "Link: href=\"s.css\"; rel=\"style;sheet\"\r\n"
                  "WWW-Link: rev=made; href=mailto:a@b\r\nLink: rel=x\r\n\r\n",
             {"Status(200)", "Link(s.css,2,\"style;sheet\")", "Link(mailto:a@b,2,\"~made\")"}},
            {"a line without ':' is passed over",
             ok + "garbage\r\nTitle: t\r\n\r\n",
             {"Status(200)", "Title(\"t\",0)"}},
            {"header name of 64 bytes",
             ok + Repeat('x', 64) + ": v\r\nTitle: t\r\n\r\n",
             {"Status(200)", "Title(\"t\",0)"}},
            {"header name of 65 bytes stops", ok + Repeat('x', 65) + ": v\r\nTitle: t\r\n\r\n", {"Status(200)"}},
            {"a head only", "HTTP/1.0 200 OK\r\n\r\n", {"Status(200)"}},
            {"no status line: a body", "<html><title>T</title>", {"Title(\"T\",1)"}},
            {"no reason phrase: not a status line",
             "HTTP/1.0 200\r\nTitle: t\r\n\r\n<title>T</title>",
             {"Title(\"T\",1)"}},
            {"four-digit code: not a status line", "HTTP/1.0 2000 X\r\n\r\n<title>T</title>", {"Title(\"T\",1)"}},
            {"lower-case http: not a status line", "http/1.0 200 OK\r\n\r\n<title>T</title>", {"Title(\"T\",1)"}},
        },
        kResponse);
}

TEST(PageScanner, StatusLineIsJudgedOnTheFirstBlockAlone) {
    // Whole, the line without a reason phrase is no status line; a first
    // block that ends before it could differ is taken as one.
    const std::string data = "HTTP/1.0 200 OK\r\n\r\n<title>T</title>";
    const Calls head = {"Status(200)", "Title(\"T\",1)"};
    for (size_t first = 1; first < 12; ++first) EXPECT_EQ(head, Feeding(data, first, 100)) << first;
    EXPECT_EQ(Calls({"Title(\"T\",1)"}), Whole("HTTP/1.0 200\r\n\r\n<title>T</title>"));
    EXPECT_EQ(Calls(), Feeding("", 1, 1));
}

TEST(PageScanner, RequestLineReportsTheUrl) {
    struct RequestCase {
        const char* host;
        int port;
        const char* line;
        const char* call;  // null: refused
    };
    const RequestCase cases[] = {
        {"www.x.org", 80, "GET /a/b.html HTTP/1.0\r\n\r\n", "Request(http://www.x.org/a/b.html,0)"},
        {"www.x.org", 0, "HEAD /?q=1 HTTP/1.0", "Request(http://www.x.org/?q=1,1)"},
        {"h", 8080, "GET\t /x\tHTTP/1.0", "Request(http://h:8080/x,0)"},
        {"proxy", 81, "GET http://h/p HTTP/1.0", "Request(http://h/p,0)"},
        {0, 0, "GET /a\rb\n", "Request(/ab,0)"},
        {0, 0, "GET", "Request(,0)"},
        {"h", 80, "POST /x HTTP/1.0", 0},
        {"h", 80, "get /x HTTP/1.0", 0},
        {"h", 80, "GETTING /x", 0},
        {"h", 80, " GET /x", 0},
    };
    for (const RequestCase& c : cases) {
        CallLog log(kId);
        PageScanner scanner(kId, &log, c.host, c.port);
        EXPECT_EQ(c.call ? 1 : 0, scanner.RequestLine(c.line)) << c.line;
        EXPECT_EQ(c.call ? Calls({c.call}) : Calls(), log.lines) << c.line;
        EXPECT_EQ(c.call ? 1 : 0, scanner.Feed("<title>T</title>", 16)) << c.line;
    }
    // A request the client refuses stops the scanner.
    CallLog log(kId);
    log.request_answer = 0;
    PageScanner scanner(kId, &log, "h", 80);
    EXPECT_EQ(0, scanner.RequestLine("GET / HTTP/1.0"));
    EXPECT_EQ(0, scanner.Feed("HTTP/1.0 200 OK\r\n\r\n", 19));
    EXPECT_EQ(Calls({"Request(http://h/,0)"}), log.lines);
}

TEST(PageScanner, RequestComesBeforeTheResponse) {
    Start how = {false, "h", 80, "GET /p HTTP/1.0\r\n"};
    const std::string data = "HTTP/1.0 200 OK\r\n\r\n<a href=q>q</a><p>";
    EXPECT_EQ(Calls({"Request(http://h/p,0)", "Status(200)", "Link(q,0,\"q\")"}), Whole(data, how));
    ExpectSplitsAgree(data, 1, how, "request");
    // A path too long for the buffer is cut, not refused.
    std::string line = "GET /" + Repeat('p', 3000);
    Start none = {false, 0, 0, line.c_str()};
    Calls calls = Whole("", none);
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("Request(/" + Repeat('p', kScanBufferSize - 2) + ",0)", calls[0]);
}

TEST(PageScanner, BeginWithoutHeadScansOnlyHtml) {
    struct BeginCase {
        int status;
        const char* type;
        const char* title;
        int stopped;
        Calls calls;
    };
    const BeginCase cases[] = {
        {200, "text/html", 0, 0, {"Status(200)", "ContentType(text/html)", "Title(\"T\",1)"}},
        {200, "text/html", "F", 0, {"Status(200)", "ContentType(text/html)", "Title(\"F\",0)", "Title(\"T\",1)"}},
        {200, "text/plain", 0, 1, {"Status(200)", "ContentType(text/plain)"}},
        {200, "text/HTML", 0, 1, {"Status(200)", "ContentType(text/HTML)"}},
        {200, 0, 0, 1, {"Status(200)", "ContentType(null)"}},
        {400, "text/html", 0, 1, {"Status(400)", "ContentType(text/html)"}},
    };
    for (const BeginCase& c : cases) {
        CallLog log(kId);
        PageScanner scanner(kId, &log);
        EXPECT_EQ(c.stopped, scanner.BeginWithoutHead(c.status, c.type, c.title, TT_HEADER));
        scanner.Feed("<title>T</title>", 16);
        EXPECT_EQ(c.calls, log.lines) << (c.type ? c.type : "null");
    }
}

TEST(PageScanner, CountsBodyBytesAgainstTheContentLength) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 30\r\n\r\n";
    const std::string data = head + Repeat('b', 30);
    struct ProgressCase {
        const char* name;
        std::string data;
        size_t first;
        std::vector<ProgressCall> calls;
    };
    const ProgressCase cases[] = {
        // The block that ends the head is not counted; each later one is,
        // and the end of the data reports once more.
        {"counted", data, head.size() + 10, {Moved(10, 30), Moved(20, 30), Moved(20, 30)}},
        {"no content length", "HTTP/1.0 200 OK\r\n\r\n" + Repeat('b', 30), 25, {}},
        {"refused", "HTTP/1.0 500 E\r\nContent-Length: 30\r\n\r\n" + Repeat('b', 30), 45, {}},
    };
    for (const ProgressCase& c : cases) {
        ProgressRecorder progress;
        Feeding(c.data, c.first, 10, kResponse, &progress);
        EXPECT_EQ(c.calls, progress.calls) << c.name;
    }
    ProgressRecorder bare;
    Feeding(Repeat('b', 30), 10, 10, kBare, &bare);
    EXPECT_TRUE(bare.calls.empty());
}

// ---- Long and broken input --------------------------------------------

TEST(PageScanner, CutsWhatDoesNotFitTheBuffer) {
    const std::string x = Repeat('x', 5000);
    const std::string cut = Repeat('x', kScanBufferSize - 1);
    CheckCases(
        {
            {"5000-byte url",
             "<a href=\"" + x + "\">t</a><img src=y>",
             {"Link(" + cut + ",0,\"\")", "Link(y,1,\"image\")"}},
            {"5000-byte unknown attribute", "<img alt=\"" + x + "\" src=y>", {"Link(y,1,\"image\")"}},
            {"values that fill the buffer hide the rest of the tag",
             "<img rel=\"" + Repeat('r', 1500) + "\" rel=\"" + x + "\" src=y><img src=z>",
             {"Link(z,1,\"image\")"}},
            {"5000-byte tag name", "<" + x + " src=y><img src=z>", {"Link(z,1,\"image\")"}},
            {"long anchor text", "<a href=u>" + x + "</a>", {"Link(u,0,\"" + Repeat('x', kScanBufferSize - 3) + "\")"}},
        },
        kBare);
    // Titles of every length around the point where the text leaves no
    // room for a tag name come out whole up to what the buffer holds.
    for (size_t n : {2037, 2038, 2039, 2046, 2047, 2048, 3000}) {
        size_t kept = std::min(n, (size_t)kScanBufferSize - 1);
        EXPECT_EQ(Calls({"Title(\"" + Repeat('t', kept) + "\",1)", "Link(z,0,\"z\")"}),
                  Body("<title>" + Repeat('t', n) + "</title><a href=z>z</a><p>"))
            << n;
    }
}

TEST(PageScanner, NulByteStopsForGood) {
    struct NulCase {
        const char* name;
        std::string data;
        Calls calls;
    };
    using std::string;
    const NulCase cases[] = {
        {"in a header name", string("HTTP/1.0 200 OK\r\nTi\0tle: x\r\n\r\n", 29), {"Status(200)"}},
        {"in a header value", string("HTTP/1.0 200 OK\r\nTitle: x\0y\r\n\r\n", 30), {"Status(200)"}},
        {"in body text", string("<title>A</title>\0<title>B</title>", 33), {"Title(\"A\",1)"}},
        {"at a tag start", string("<\0title>B</title>", 17), {}},
        {"in a value", string("<a href=\"x\0y\">t</a>", 19), {}},
        {"in a comment", string("<!-- \0 --><title>B</title>", 26), {}},
    };
    for (const NulCase& c : cases) {
        EXPECT_EQ(c.calls, Whole(c.data)) << c.name;
        ExpectSplitsAgree(c.data, StatusLineLength(c.data), kResponse, c.name);
    }
}

TEST(PageScanner, StopsAtTheEndOfTheData) {
    CallLog log(kId);
    PageScanner scanner(kId, &log);
    EXPECT_EQ(1, scanner.Feed("<title>A", 8));
    EXPECT_EQ(0, scanner.Feed(0, 5));  // no block: the end
    EXPECT_TRUE(scanner.Stopped());
    EXPECT_EQ(0, scanner.Feed("</title>", 8));
    EXPECT_EQ(0, scanner.RequestLine("GET / HTTP/1.0"));
    EXPECT_EQ(1, scanner.BeginWithoutHead(200, "text/html", 0, 0));
    EXPECT_TRUE(log.lines.empty());
}

// ---- Saved pages ------------------------------------------------------

std::string ReadFile(const std::string& name) {
    std::string path = std::string(SKEIND_OBSERVE_DATA) + "/" + name;
    EXPECT_TRUE(FileExists(path)) << path;
    return FileText(path);
}

// The file's lines, one call each.
Calls Lines(const std::string& text) {
    Calls lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Each page's calls were read through by hand against the page; the split
// runs then hold them to the same calls.
TEST(PageScanner, SavedPagesGiveTheSameCallsHoweverSplit) {
    for (const char* name : {"catalogue.http", "moved.http", "missing.http", "frames.html", "club.htm"}) {
        std::string data = ReadFile(name);
        Start how = strstr(name, ".htm") ? kBare : kResponse;
        EXPECT_EQ(Lines(ReadFile(std::string(name) + ".calls")), Whole(data, how)) << name;
        ExpectSplitsAgree(data, 1, how, name);
    }
}

// The anchor and image links of a page, as "a URL" and "img URL".
class LinkList : public CallLog {
public:
    uint32_t Link(uint32_t, const char* url, int type, const char* extra) override {
        if (type == LT_ANCHOR) links.push_back(std::string("a ") + url);
        if (type == LT_INCLUDE && strcmp(extra, "image") == 0) links.push_back(std::string("img ") + url);
        return 1;
    }
    Calls links;
};

// Pages from Debian's documentation (data/real/README), their links listed
// once by tools/scancompare and checked by hand against libxml2's reading:
// among them a page whose script writes links, one with "&amp;" in links
// and one with single-quoted values.
TEST(PageScanner, RealPagesGiveTheirLinks) {
    for (const char* name :
         {"users-and-groups.html", "zlib_how.html", "Primitive-Types.html", "Closure-Example.html",
          "Multiple-ABIs.html", "libxslt-extra.html", "libxslt-internals.html", "httplib2-about.html"}) {
        std::string path = std::string("real/") + name;
        std::string page = ReadFile(path);
        LinkList list;
        PageScanner scanner(kId, &list);
        scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
        scanner.Feed(page.data(), page.size());
        scanner.Feed(0, 0);
        EXPECT_EQ(Lines(ReadFile(path + ".expected")), list.links) << name;
    }
}

// The lookup matches the category asked for and the whole name, exactly.
TEST(Keywords, LookupMatchesCategoryAndExactName) {
    struct KeywordCase {
        int category;
        const char* name;
        int code;
    };
    const KeywordCase cases[] = {
        {kKeywordTag, "title", kTagTitle},
        {kKeywordHeader, "title", kHeaderTitle},
        {kKeywordAttribute, "title", 0},
        {kKeywordTag, "TITLE", 0},
        {kKeywordMethod, "get", 0},
        {kKeywordContentType, "text/html ", 0},
        {kKeywordTag, "", 0},
        {kKeywordTag, 0, 0},
        {kKeywordTag | kKeywordHeader, "location", kHeaderLocation},
        {kKeywordHeader, "content-lengthx", 0},
    };
    for (const KeywordCase& c : cases)
        EXPECT_EQ(c.code, LookupKeyword(c.category, c.name)) << (c.name ? c.name : "null");
}

}  // namespace
