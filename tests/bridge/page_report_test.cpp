// The extension's reports reach the program's decoder as the calls the
// socket shim makes for the same traffic: one connection per request,
// redirects as requests of their own, each link with the scanner's type
// and extra text.
#include "bridge/page_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/shim/decoding_sink.h"

namespace {

const uint32_t kFirst = 100;

// The calls a report makes, through the datagrams the host sends.
Calls Report(const std::string& json, ReportResult expected = ReportSent) {
    JsonValue report;
    EXPECT_EQ(JsonOk, ParseJson(json.data(), json.size(), &report)) << json;
    DecodingSink sink(kFirst);
    {
        DatagramClient datagrams(&sink);
        PageReporter reporter(&datagrams, kFirst);
        EXPECT_EQ(expected, reporter.Report(report)) << json;
    }
    return sink.log.lines;
}

TEST(PageReporter, APageIsOneConnectionWithTitlesAndLinksOfEveryKind) {
    Calls calls = Report(R"({"type":"page","method":"GET","url":"http://h.test/a.html","status":200,
        "mime":"text/html","base":"http://h.test/base/","title":"A page","heading":"Welcome",
        "links":[{"kind":"anchor","url":"http://h.test/b.html","text":"Next page"},
                 {"kind":"include","url":"http://h.test/i.png","text":"image"},
                 {"kind":"include","url":"http://h.test/s.css","text":"stylesheet"},
                 {"kind":"frame","url":"http://h.test/f.html","text":"ignored"},
                 {"kind":"query","url":"http://h.test/find"},
                 {"kind":"other","url":"http://h.test/o"},
                 {"kind":"unknown","url":"http://h.test/u"},
                 {"kind":"anchor"},
                 {"kind":"anchor","url":""}]})");
    Calls expected = {
        "Request(http://h.test/a.html,0)",
        "Status(200)",
        "ContentType(text/html)",
        "Base(http://h.test/base/)",
        "Title(\"A page\",1)",
        "Title(\"Welcome\",2)",
        "Link(http://h.test/b.html,0,\"Next page\")",
        "Link(http://h.test/i.png,1,\"image\")",
        "Link(http://h.test/s.css,1,\"stylesheet\")",
        "Link(http://h.test/f.html,1,\"frame\")",
        "Link(http://h.test/find,2,\"query\")",
        "Link(http://h.test/o,2,null)",
        "Close()",
    };
    EXPECT_EQ(expected, calls);
}

TEST(PageReporter, EachRedirectIsARequestOfItsOwnBeforeThePage) {
    Calls calls = Report(R"({"type":"page","method":"HEAD","url":"http://h.test/c","status":200,
        "redirects":[{"url":"http://h.test/a","status":301,"to":"http://h.test/b"},
                     {"url":"http://h.test/b","status":302,"to":"http://h.test/c"}]})");
    Calls expected = {
        "Request(http://h.test/a,1)",
        "Status(301)",
        "Link(http://h.test/b,3,null)",
        "Close()",
        "[101] Request(http://h.test/b,1)",
        "[101] Status(302)",
        "[101] Link(http://h.test/c,3,null)",
        "[101] Close()",
        "[102] Request(http://h.test/c,1)",
        "[102] Status(200)",
        "[102] Close()",
    };
    EXPECT_EQ(expected, calls);
}

TEST(PageReporter, APartSeenLoadingGetsItsTypeAndAnIncludeFromItsPage) {
    Calls calls = Report(R"({"type":"load","url":"http://h.test/late.png","status":200,"mime":"image/png",
                             "page":"http://h.test/a.html","what":"image"})");
    Calls expected = {
        "Request(http://h.test/late.png,0)",
        "Status(200)",
        "ContentType(image/png)",
        "Close()",
        "[101] Request(http://h.test/a.html,0)",
        "[101] Link(http://h.test/late.png,1,\"image\")",
        "[101] Close()",
    };
    EXPECT_EQ(expected, calls);
}

TEST(PageReporter, WhatNamesNoPageSendsNothing) {
    struct Case {
        const char* json;
        ReportResult result;
    } cases[] = {
        {R"({"type":"page","title":"no url"})", ReportNoUrl},
        {R"({"type":"page","url":""})", ReportNoUrl},
        {R"({"type":"page","url":7})", ReportNoUrl},
        {R"({"type":"load","page":"http://h.test/"})", ReportNoUrl},
        {R"({"type":"shown","url":"http://h.test/"})", ReportNotAReport},
        {R"({"url":"http://h.test/"})", ReportNotAReport},
        {R"([1,2])", ReportNotAReport},
    };
    for (const Case& c : cases) EXPECT_TRUE(Report(c.json, c.result).empty()) << c.json;
}

TEST(PageReporter, ValuesOfTheWrongShapeAreLeftUnsaid) {
    Calls calls = Report(R"({"type":"page","url":"http://h.test/","status":70000,"mime":5,"title":["x"],
                             "links":{"kind":"anchor"},"redirects":"none"})");
    Calls expected = {"Request(http://h.test/,0)", "Close()"};
    EXPECT_EQ(expected, calls);
}

}  // namespace
