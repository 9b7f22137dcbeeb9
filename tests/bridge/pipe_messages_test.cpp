// The browser's pipe: messages cut out of a byte stream however it is
// split, and the JSON in them read exactly, or refused whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bridge/json.h"
#include "bridge/native_frames.h"

namespace {

JsonError Parse(const std::string& text, JsonValue* v) {
    // A copy of exactly the text's size: a read past it is caught.
    std::vector<char> bytes(text.begin(), text.end());
    return ParseJson(bytes.data(), bytes.size(), v);
}

std::string ParsedText(const std::string& literal) {
    JsonValue v;
    EXPECT_EQ(JsonOk, Parse(literal, &v)) << literal;
    EXPECT_EQ(JsonString, v.type);
    return v.text;
}

TEST(Json, ReadsAReportWithItsMembersInOrder) {
    JsonValue v;
    ASSERT_EQ(JsonOk, Parse(" {\"type\":\"page\",\"status\":301,\"ok\":true,\"none\":null,"
                            "\"links\":[{\"url\":\"a\"},[],-2.5e1]}\n",
                            &v));
    EXPECT_STREQ("page", v.TextOf("type"));
    EXPECT_EQ(301, v.NumberOf("status", 0));
    EXPECT_TRUE(v.BoolOf("ok", false));
    EXPECT_EQ(JsonNull, v.Find("none")->type);
    EXPECT_EQ(7, v.NumberOf("type", 7)) << "a text is no number";
    EXPECT_EQ(0, v.TextOf("status")) << "a number is no text";
    const JsonValue* links = v.Find("links");
    ASSERT_EQ(3u, links->items.size());
    EXPECT_STREQ("a", links->items[0].TextOf("url"));
    EXPECT_EQ(-25.0, links->items[2].number);
    EXPECT_EQ("links", v.members.back().first);
}

TEST(Json, DecodesEscapesToUtf8) {
    struct Case {
        const char* literal;
        const char* text;
    } cases[] = {
        {"\"a\\\"b\\\\c\\/d\"", "a\"b\\c/d"},
        {"\"\\b\\f\\n\\r\\t\"", "\b\f\n\r\t"},
        {"\"\\u00e9\\u20AC\"", "\xC3\xA9\xE2\x82\xAC"},
        {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},  // a surrogate pair
        {"\"\\ud83d x\"", "\xEF\xBF\xBD x"},         // a lone high half
        {"\"\\ude00\"", "\xEF\xBF\xBD"},             // a lone low half
        {"\"a\\u0000b\"",
         "a\xEF\xBF\xBD"
         "b"},                               // never a NUL inside
        {"\"caf\xC3\xA9\"", "caf\xC3\xA9"},  // UTF-8 as it came
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, ParsedText(c.literal)) << c.literal;
}

TEST(Json, RefusesWhatIsNotOneValue) {
    const char* bad[] = {
        "",
        " ",
        "{",
        "[1,]",
        "{\"a\"}",
        "{\"a\":1,}",
        "{a:1}",
        "\"open",
        "\"a\\x\"",
        "\"\\u12\"",
        "\"tab\there\"",
        "01",
        "1.",
        "-",
        ".5",
        "1e",
        "tru",
        "nul",
        "[1 2]",
        "{\"a\":1 \"b\":2}",
    };
    for (const char* text : bad) {
        JsonValue v;
        EXPECT_NE(JsonOk, Parse(text, &v)) << text;
        EXPECT_EQ(JsonNull, v.type) << text;
    }
    JsonValue v;
    EXPECT_EQ(JsonTrailing, Parse("{} {}", &v));
    EXPECT_EQ(JsonTooDeep, Parse(std::string(kJsonMaxDepth + 1, '[') + std::string(kJsonMaxDepth + 1, ']'), &v));
    EXPECT_EQ(JsonOk, Parse(std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']'), &v));
}

TEST(Json, QuotedTextsAreValidUtf8ThatReadsBack) {
    struct Case {
        std::string text;
        std::string literal;
        std::string read_back;
    } cases[] = {
        {"plain", "\"plain\"", "plain"},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "a\"b\\c"},
        {std::string("\x01\n", 2), "\"\\u0001\\u000a\"", std::string("\x01\n", 2)},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},                             // UTF-8 kept
        {"caf\xE9", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},                                 // an 8-bit text read as Latin-1
        {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xC2\x80\"", "\xC3\xAD\xC2\xA0\xC2\x80"},  // no surrogates in UTF-8
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.literal, JsonQuote(c.text));
        EXPECT_EQ(c.read_back, ParsedText(JsonQuote(c.text)));
    }
}

TEST(FrameReader, CutsMessagesHoweverTheStreamIsSplit) {
    std::string stream = Frame("{\"a\":1}") + Frame("") + Frame(std::string(70000, 'x'));
    for (size_t piece : {1u, 3u, 4u, 5u, 4096u, 1000000u}) {
        FrameReader reader;
        std::vector<std::string> messages;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            std::string m;
            while (reader.Next(&m)) messages.push_back(m);
        }
        ASSERT_EQ(3u, messages.size()) << "pieces of " << piece;
        EXPECT_EQ("{\"a\":1}", messages[0]);
        EXPECT_EQ("", messages[1]);
        EXPECT_EQ(70000u, messages[2].size());
    }
}

TEST(FrameReader, PassesOverAnOverlongMessageAndGoesOn) {
    uint32_t n = kFrameMax + 1;
    std::string head = {(char)n, (char)(n >> 8), (char)(n >> 16), (char)(n >> 24)};
    FrameReader reader;
    reader.Feed(head.data(), 4);
    std::string chunk(1 << 20, 'y');
    for (uint32_t sent = 0; sent < n; sent += (uint32_t)chunk.size())
        reader.Feed(chunk.data(), std::min<size_t>(chunk.size(), n - sent));
    std::string after = Frame("{}");
    reader.Feed(after.data(), after.size());
    std::string m;
    ASSERT_TRUE(reader.Next(&m));
    EXPECT_EQ("{}", m);
    EXPECT_EQ(1u, reader.skipped());
    EXPECT_FALSE(reader.Next(&m));
}

}  // namespace
