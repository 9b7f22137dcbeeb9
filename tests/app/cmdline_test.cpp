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

TEST(CommandLine, PlainNamesAndWhiteSpace) {
    EXPECT_EQ((std::vector<Tok>{}), Tokens(""));
    EXPECT_EQ((std::vector<Tok>{}), Tokens(" \t\r\n\v\f"));
    EXPECT_EQ((std::vector<Tok>{{N, "a.sk1"}}), Tokens("a.sk1"));
    EXPECT_EQ((std::vector<Tok>{{N, "a"}, {N, "b"}}), Tokens("  a\tb  "));
    EXPECT_EQ((std::vector<Tok>{{N, "C:\\maps\\x.sk1"}}), Tokens("C:\\maps\\x.sk1"));
}

TEST(CommandLine, QuotedNamesKeepSpacesAndUndoubleMarks) {
    EXPECT_EQ((std::vector<Tok>{{N, "my map.sk1"}}), Tokens("\"my map.sk1\""));
    EXPECT_EQ((std::vector<Tok>{{N, "say \"hi\".sk1"}}), Tokens("\"say \"\"hi\"\".sk1\""));
    EXPECT_EQ((std::vector<Tok>{{N, "it's"}}), Tokens("'it''s'"));
    EXPECT_EQ((std::vector<Tok>{{N, "a\"b"}}), Tokens("'a\"b'"));
    EXPECT_EQ((std::vector<Tok>{{N, "open ended"}}), Tokens("\"open ended"));
    EXPECT_EQ((std::vector<Tok>{{N, ""}}), Tokens("\"\""));
    EXPECT_EQ((std::vector<Tok>{{N, "x"}, {N, "y"}}), Tokens("\"x\"y"));
}

TEST(CommandLine, ColonAndEqualsBeforeATokenAreSkipped) {
    EXPECT_EQ((std::vector<Tok>{{N, "map.sk1"}}), Tokens("=map.sk1"));
    EXPECT_EQ((std::vector<Tok>{{N, "map.sk1"}}), Tokens(":  map.sk1"));
    EXPECT_EQ((std::vector<Tok>{{N, "a b"}}), Tokens("= \"a b\""));
    EXPECT_EQ((std::vector<Tok>{}), Tokens(" = "));
}

TEST(CommandLine, KeywordsFoldCaseAndStopAtSeparators) {
    EXPECT_EQ((std::vector<Tok>{{K, "/verbose"}}), Tokens("/VERBOSE"));
    EXPECT_EQ((std::vector<Tok>{{K, "-ws"}, {N, "x.sk1"}}), Tokens("-WS=x.sk1"));
    EXPECT_EQ((std::vector<Tok>{{K, "/a"}, {K, "/b"}}), Tokens("/a/B"));
    EXPECT_EQ((std::vector<Tok>{{K, "/k"}, {N, "v"}}), Tokens("/k:v"));
    EXPECT_EQ((std::vector<Tok>{{K, "/"}, {K, "-"}}), Tokens("/ -"));
    EXPECT_EQ((std::vector<Tok>{{K, "/"}, {K, "/"}, {K, "/x"}}), Tokens("///x"));
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
