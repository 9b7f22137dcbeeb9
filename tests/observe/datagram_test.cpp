// Datagram decoding: the record layout, the length rule, and what happens
// to datagrams and records that do not hold together.
#include "observe/datagram.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "tools/scanreplay/call_log.h"

namespace {

std::vector<uint8_t> Head(size_t length) {
    std::vector<uint8_t> d(length, 0);
    d[0] = 1;
    if (length >= 4) {
        d[2] = (uint8_t)length;
        d[3] = (uint8_t)(length >> 8);
    }
    return d;
}

// Writes a record head at `at`: type, L1, L2, L3, id, value.
void PutRecord(std::vector<uint8_t>* d, size_t at, int type, int l1, int l2, int l3, uint32_t id, int value) {
    uint8_t* r = &(*d)[at];
    r[0] = (uint8_t)type;
    r[1] = (uint8_t)l1;
    r[2] = (uint8_t)l2;
    r[3] = (uint8_t)l3;
    memcpy(r + 4, &id, 4);  // little-endian machines only, as the targets are
    r[8] = (uint8_t)value;
    r[9] = (uint8_t)(value >> 8);
}

// The calls a datagram makes, for connection 1.
std::string Decode(const std::vector<uint8_t>& d, int* answer = 0) {
    CallLog client(1);
    int a = DispatchDatagram(d.data(), d.size(), client);
    if (answer) *answer = a;
    return client.Text();
}

TEST(DatagramTest, WrongVersionOrLengthIsDroppedWhole) {
    DatagramWriter w;
    ASSERT_TRUE(w.Add(RecClose, 1, 0, 0, 0));
    size_t n = w.Finish();
    std::vector<uint8_t> good(w.bytes, w.bytes + n);
    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
    } cases[] = {{"version 2.0", 0, 2},
                 {"version 1.1", 1, 1},
                 {"length one more", 2, (uint8_t)(n + 1)},
                 {"length one less", 2, (uint8_t)(n - 1)}};
    for (const Case& c : cases) {
        std::vector<uint8_t> d = good;
        d[c.offset] = c.value;
        int answer = -1;
        EXPECT_EQ("", Decode(d, &answer)) << c.what;
        EXPECT_EQ(0, answer) << c.what;
    }
    CallLog none;
    EXPECT_EQ(0, DispatchDatagram(good.data(), 3, none)) << "shorter than a head";
    EXPECT_EQ("Close()\n", Decode(good));
    int answer = -1;
    EXPECT_EQ("", Decode(Head(4), &answer)) << "a head alone is whole";
    EXPECT_EQ(DatagramDispatched, answer);
}

TEST(DatagramTest, EveryRecordTypeReachesItsCall) {
    DatagramWriter w;
    ASSERT_TRUE(w.Add(RecOpen, 1, 0, "hello", 0));
    ASSERT_TRUE(w.Add(RecRequest, 1, OP_HEAD, "http://h/", 0));
    ASSERT_TRUE(w.Add(RecStatus, 1, 404, 0, 0));
    ASSERT_TRUE(w.Add(RecContentType, 1, 0, "text/html", 0));
    ASSERT_TRUE(w.Add(RecBase, 1, 0, "http://h/b/", 0));
    ASSERT_TRUE(w.Add(RecSkipped, 1, 0, "skipped", 0));
    ASSERT_TRUE(w.Add(RecTitle, 1, TT_H1, "Heading", 0));
    ASSERT_TRUE(w.Add(RecLink, 1, LT_INCLUDE, "a.gif", "image"));
    ASSERT_TRUE(w.Add((RecordType)200, 1, 0, "unknown", 0));
    ASSERT_TRUE(w.Add(RecClose, 1, 0, 0, 0));
    size_t n = w.Finish();
    int answer = -1;
    EXPECT_EQ(
        "Open(\"hello\")\nRequest(http://h/,1)\nStatus(404)\nContentType(text/html)\n"
        "Base(http://h/b/)\nTitle(\"Heading\",2)\nLink(a.gif,1,\"image\")\nClose()\n",
        Decode(std::vector<uint8_t>(w.bytes, w.bytes + n), &answer));
    EXPECT_EQ(DatagramDispatched, answer);
}

TEST(DatagramTest, LengthRuleStepsOverTextsAndFurtherData) {
    // Type 7 with L1 = 10, L2 = 6: the second text at offset 22, the next
    // record 28 bytes on.
    std::vector<uint8_t> d = Head(4 + 28 + 12 + 8 + 12);
    PutRecord(&d, 4, RecLink, 10, 6, 0, 1, LT_ANCHOR);
    memcpy(&d[4 + 12], "123456789", 10);
    memcpy(&d[4 + 22], "extra", 6);
    // L3 = 5 counts only for the step: 12 + 0 + 0 + 5 rounds up to 20.
    PutRecord(&d, 32, RecSkipped, 0, 0, 5, 1, 0);
    // Values are sign-extended, ids passed on whole.
    PutRecord(&d, 52, RecStatus, 0, 0, 0, 0xDEADBEEF, 0xFFFE);
    EXPECT_EQ("Link(123456789,0,\"extra\")\n[" + std::to_string(0xDEADBEEFu) + "] Status(-2)\n", Decode(d));
}

TEST(DatagramTest, TwoResyncMarksGiveOneResync) {
    DatagramWriter w;
    ASSERT_TRUE(w.Add(RecResync, 0, 0, 0, 0));
    ASSERT_TRUE(w.Add(RecResync, 0, 0, 0, 0));
    size_t n = w.Finish();
    int answer = -1;
    EXPECT_EQ("", Decode(std::vector<uint8_t>(w.bytes, w.bytes + n), &answer));
    EXPECT_EQ(DatagramDispatched | DatagramResync, answer);
}

TEST(DatagramTest, RecordsReachingPastTheEndEndTheDatagramThere) {
    // A first record that is whole, then a head cut short, then texts that
    // run past the end: the first stands, nothing after it is read.
    std::vector<uint8_t> cut_head = Head(4 + 12 + 8);
    PutRecord(&cut_head, 4, RecClose, 0, 0, 0, 1, 0);
    cut_head[16] = RecClose;
    EXPECT_EQ("Close()\n", Decode(cut_head));

    std::vector<uint8_t> long_text = Head(4 + 12 + 12 + 4);
    PutRecord(&long_text, 4, RecClose, 0, 0, 0, 1, 0);
    PutRecord(&long_text, 16, RecTitle, 200, 0, 0, 1, TT_TITLE);
    memcpy(&long_text[28], "abc", 4);
    EXPECT_EQ("Close()\n", Decode(long_text));

    // A text exactly reaching the end is whole.
    std::vector<uint8_t> exact = Head(4 + 12 + 4);
    PutRecord(&exact, 4, RecTitle, 4, 0, 0, 1, TT_TITLE);
    memcpy(&exact[16], "abc", 4);
    EXPECT_EQ("Title(\"abc\",1)\n", Decode(exact));
}

// Missing texts, and one without its NUL, are passed as none for their
// record only.
TEST(DatagramTest, MissingOrUnterminatedTextsAreNone) {
    std::vector<uint8_t> d = Head(4 + 16 + 16 + 12 + 12);
    PutRecord(&d, 4, RecLink, 4, 0, 0, 1, LT_ANCHOR);
    memcpy(&d[16], "abcd", 4);  // no NUL in its 4 bytes
    PutRecord(&d, 20, RecTitle, 4, 0, 0, 1, TT_TITLE);
    memcpy(&d[32], "xy\0z", 4);  // NUL inside: the text ends there
    PutRecord(&d, 36, RecRequest, 0, 0, 0, 1, OP_GET);
    PutRecord(&d, 48, RecLink, 0, 0, 0, 1, 9);
    EXPECT_EQ("Link(null,0,null)\nTitle(\"xy\",1)\nRequest(null,0)\nLink(null,9,null)\n", Decode(d));
}

TEST(DatagramTest, WriterRefusesWhatDoesNotFit) {
    DatagramWriter w;
    std::string long_text(255, 'x');
    EXPECT_FALSE(w.Add(RecTitle, 1, 0, long_text.c_str(), 0));
    std::string max_text(254, 'x');
    EXPECT_TRUE(w.Add(RecTitle, 1, 0, max_text.c_str(), 0));  // 4 + 268 bytes
    EXPECT_FALSE(w.Add(RecTitle, 1, 0, max_text.c_str(), 0));
    EXPECT_TRUE(w.Add(RecTitle, 1, 0, std::string(200, 'y').c_str(), 0));
    size_t n = w.Finish();
    EXPECT_LE(n, kDatagramMax);
    CallLog client(1);
    EXPECT_EQ(DatagramDispatched, DispatchDatagram(w.bytes, n, client));
    EXPECT_EQ(2u, client.lines.size());
}

}  // namespace
