#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cmdline.h"

namespace {

struct Tok {
    TokenKind kind;
    std::string text;
    bool operator==(const Tok& o) const { return kind == o.kind && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
    return os << (t.kind == TokenName ? "name[" : "keyword[") << t.text << "]";
}

std::vector<Tok> Tokens(const char* line) {
    std::vector<Tok> out;
    CommandToken t;
    const char* cursor = line;
    while (NextToken(&cursor, &t) != TokenEnd) {
        out.push_back(Tok{t.kind, std::string(t.text, t.length)});
        if (out.size() > 100) break;  // a tokeniser that stops moving
    }
    return out;
}

const TokenKind N = TokenName;
const TokenKind K = TokenKeyword;

struct Case {
    const char* line;
    std::vector<Tok> want;
};

TEST(CommandLine, TokensOfLines) {
    const Case rows[] = {
        // Plain names and white space:
        {"", {}},
        {" \t\r\n\v\f", {}},
        {"a.sk1", {{N, "a.sk1"}}},
        {"  a\tb  ", {{N, "a"}, {N, "b"}}},
        {"C:\\maps\\x.sk1", {{N, "C:\\maps\\x.sk1"}}},
        // Quoted names keep spaces and undouble marks:
        {"\"my map.sk1\"", {{N, "my map.sk1"}}},
        {"\"say \"\"hi\"\".sk1\"", {{N, "say \"hi\".sk1"}}},
        {"'it''s'", {{N, "it's"}}},
        {"'a\"b'", {{N, "a\"b"}}},
        {"\"open ended", {{N, "open ended"}}},
        {"\"\"", {{N, ""}}},
        {"\"x\"y", {{N, "x"}, {N, "y"}}},
        // Colon and equals before a token are skipped:
        {"=map.sk1", {{N, "map.sk1"}}},
        {":  map.sk1", {{N, "map.sk1"}}},
        {"= \"a b\"", {{N, "a b"}}},
        {" = ", {}},
        // Keywords fold case and stop at separators:
        {"/VERBOSE", {{K, "/verbose"}}},
        {"-WS=x.sk1", {{K, "-ws"}, {N, "x.sk1"}}},
        {"/a/B", {{K, "/a"}, {K, "/b"}}},
        {"/k:v", {{K, "/k"}, {N, "v"}}},
        {"/ -", {{K, "/"}, {K, "-"}}},
        {"///x", {{K, "/"}, {K, "/"}, {K, "/x"}}},
    };
    for (const Case& row : rows)
        EXPECT_EQ(row.want, Tokens(row.line)) << "line: " << ::testing::PrintToString(std::string(row.line));
}

TEST(CommandLine, LongTokensAreCutWithoutOverrun) {
    std::string longest(kTokenMax, 'n');
    std::string too_long(kTokenMax + 500, 'm');
    std::string line = longest + " \"" + too_long + "\" /" + too_long + " tail";
    CommandToken t;
    const char* cursor = line.c_str();
    ASSERT_EQ(TokenName, NextToken(&cursor, &t));
    EXPECT_FALSE(t.too_long);
    EXPECT_EQ(longest, t.text);
    ASSERT_EQ(TokenName, NextToken(&cursor, &t));
    EXPECT_TRUE(t.too_long);
    EXPECT_EQ(kTokenMax, strlen(t.text));
    ASSERT_EQ(TokenKeyword, NextToken(&cursor, &t));
    EXPECT_TRUE(t.too_long);
    ASSERT_EQ(TokenName, NextToken(&cursor, &t));
    EXPECT_STREQ("tail", t.text);
    EXPECT_EQ(TokenEnd, NextToken(&cursor, &t));
    EXPECT_EQ(TokenEnd, NextToken(&cursor, &t));  // stays at the end
}

TEST(CommandLine, NamesOf123CharactersAndMoreAreWhole) {
    std::string name(200, 'w');
    EXPECT_EQ((std::vector<Tok>{{N, name}}), Tokens(name.c_str()));
}

}  // namespace
