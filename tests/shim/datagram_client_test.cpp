// DatagramClient: calls made on it reach the program's decoder as the same
// calls, packed into few datagrams, with long texts cut where the program
// can still read them.
#include "shim/datagram_client.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "tests/shim/decoding_sink.h"

namespace {

// Makes the same calls on any client.
void MakeEveryCall(AClient& c) {
    c.Open(7, "shim 1.0");
    c.Open(7, 0);
    c.Request(7, "http://h.example/a?b=c", OP_GET);
    c.Request(0xFFFFFFFF, "http://h.example/", OP_HEAD);
    c.Request(7, 0, OP_GET);
    c.Status(7, 200);
    c.Status(7, -2);
    c.ContentType(7, "text/html");
    c.Base(7, "http://h.example/base/");
    c.Title(7, "A \"quoted\" title", TT_TITLE);
    c.Title(7, "", TT_H1);
    c.Link(7, "x.html", LT_ANCHOR, "Next page");
    c.Link(7, "y.gif", LT_INCLUDE, "image");
    c.Link(7, "z", LT_REDIRECT, 0);
    c.Link(7, 0, LT_MISC, "made");
    c.Close(7);
}

TEST(DatagramClient, EveryCallArrivesAsItWasMade) {
    CallLog direct(7);
    MakeEveryCall(direct);
    DecodingSink sink(7);
    {
        DatagramClient client(&sink);
        MakeEveryCall(client);
    }  // the last records go out when the client ends
    EXPECT_EQ(direct.lines, sink.log.lines);
    EXPECT_GE(sink.datagrams, 1);
}

TEST(DatagramClient, MarkPageHasNoRecord) {
    DecodingSink sink;
    DatagramClient client(&sink);
    EXPECT_EQ(0u, client.MarkPage(1, "x"));
    client.Flush();
    EXPECT_EQ(0, sink.datagrams);
}

TEST(DatagramClient, RecordsWaitForAFullDatagramOrAFlush) {
    DecodingSink sink(1);
    DatagramClient client(&sink);
    const int kLinks = 100;
    for (int i = 0; i < kLinks; ++i)
        client.Link(1, ("page" + std::to_string(i) + ".html").c_str(), LT_ANCHOR, "text");
    // Each record takes 12 + 13 or so + 5 bytes, rounded up: about 16 fit a datagram.
    EXPECT_GE(sink.datagrams, kLinks / 20);
    EXPECT_LE(sink.datagrams, kLinks / 10);
    size_t before_flush = sink.log.lines.size();
    EXPECT_LT(before_flush, (size_t)kLinks);
    client.Flush();
    EXPECT_EQ((size_t)kLinks, sink.log.lines.size());
    EXPECT_EQ("Link(page99.html,0,\"text\")", sink.log.lines.back());
    int sent = sink.datagrams;
    client.Flush();
    EXPECT_EQ(sent, sink.datagrams) << "nothing held, nothing sent";
}

TEST(DatagramClient, ValuesOutsideSixteenBitsAreHeldToTheEnds) {
    DecodingSink sink(1);
    {
        DatagramClient client(&sink);
        client.Status(1, 70000);
        client.Status(1, -40000);
        client.Status(1, 32767);
    }
    EXPECT_EQ((Calls{"Status(32767)", "Status(-32768)", "Status(32767)"}), sink.log.lines);
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST(DatagramClient, LongTextsAreCutWhereTheyStayReadable) {
    struct Case {
        const char* what;
        std::string text;
        RecordTextKind kind;
        std::string carried;
    } cases[] = {
        {"short URL as it is", "http://h/", RecordUrl, "http://h/"},
        {"URL of exactly 254", Repeat('a', 254), RecordUrl, Repeat('a', 254)},
        {"long URL cut at 254", Repeat('a', 300), RecordUrl, Repeat('a', 254)},
        {"escape across the cut", Repeat('a', 253) + "%41bc", RecordUrl, Repeat('a', 253)},
        {"escape ending at the cut", Repeat('a', 251) + "%41bc", RecordUrl, Repeat('a', 251) + "%41"},
        {"escapes read from the start", Repeat('a', 250) + "%%41%42", RecordUrl, Repeat('a', 250) + "%%41"},
        {"UTF-8 sequence across the cut", Repeat('a', 253) + "\xC3\xA9xyz", RecordUrl, Repeat('a', 253)},
        {"three-byte sequence across the cut", Repeat('a', 252) + "\xE2\x82\xAC!", RecordUrl,
         Repeat('a', 252)},
        {"8-bit text is no sequence", Repeat('a', 254) + "\xA0\xA0", RecordUrl, Repeat('a', 254)},
        {"title cut with a mark", Repeat('t', 300), RecordFreeText, Repeat('t', 251) + "..."},
        {"entity across the cut", Repeat('t', 247) + "&eacute;tail", RecordFreeText,
         Repeat('t', 247) + "..."},
        {"entity ended before the cut", Repeat('t', 244) + "AT&T rocks and rolls", RecordFreeText,
         Repeat('t', 244) + "AT&T ro..."},
        {"ampersand alone at the cut", Repeat('t', 250) + "& more", RecordFreeText,
         Repeat('t', 250) + "&..."},
    };
    for (const Case& c : cases) {
        char out[kRecordTextMax + 1];
        const char* got = RecordText(c.text.c_str(), kRecordTextMax, c.kind, out);
        EXPECT_EQ(c.carried, got) << c.what;
        EXPECT_LE(strlen(got), kRecordTextMax) << c.what;
    }
    char out[kRecordTextMax + 1];
    EXPECT_EQ(nullptr, RecordText(0, kRecordTextMax, RecordUrl, out));
}

TEST(DatagramClient, LongTextsStillMakeTheirRecords) {
    std::string url = "http://h.example/" + Repeat('q', 400);
    std::string text = Repeat('w', 400);
    DecodingSink sink(1);
    {
        DatagramClient client(&sink);
        client.Request(1, url.c_str(), OP_GET);
        client.Title(1, text.c_str(), TT_TITLE);
        client.Link(1, url.c_str(), LT_ANCHOR, text.c_str());  // both texts in one datagram
        client.Close(1);
    }
    std::string cut_url = url.substr(0, 254);
    EXPECT_EQ((Calls{"Request(" + cut_url + ",0)", "Title(\"" + Repeat('w', 251) + "...\",1)",
                     // 508 bytes for the record: 12 + 255 + 241.
                     "Link(" + cut_url + ",0,\"" + Repeat('w', 237) + "...\")", "Close()"}),
              sink.log.lines);
}

}  // namespace
