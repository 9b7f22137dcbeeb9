// CleanText: white space, entities and cutting, and the entity table;
// DecodeUrlReferences: references in URL values.
#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "observe/clean_text.h"

namespace {

// The result in a buffer of exactly `size` bytes between guard bytes, which
// must stay untouched.
std::string Clean(const char* src, size_t size = 256) {
    std::string area(size + 2, '\x5A');
    size_t n = CleanText(&area[1], size, src);
    EXPECT_EQ('\x5A', area[0]);
    EXPECT_EQ('\x5A', area[size + 1]);
    if (size == 0) {
        EXPECT_EQ(0u, n);
        return "<untouched>";
    }
    EXPECT_EQ(n, strlen(&area[1]));
    EXPECT_LT(n, size);
    return std::string(&area[1], n);
}

struct Case {
    const char* src;
    const char* want;
};

TEST(CleanText, FoldsWhiteSpaceAndDecodesEntities) {
    const Case cases[] = {
        {"caf&eacute;  &amp&unknown;", "caf\xE9 &&unknown;"},
        {"  a \t\r\n\f\v b  ", " a b "},
        {"", ""},
        {"&lt;&gt;&quot;&amp;", "<>\"&"},
        {"&Eacute;&eacute;&EACUTE;", "\xC9\xE9&EACUTE;"},
        {"&copy 1996 &copy1996 &nbsp;", "\xA9 1996 &copy1996 \xA0"},
        {"&hibar;&macr;&yuml;&AElig;", "\xAF&macr;\xFF\xC6"},
        {"& &; a& &&amp;", "& &; a& &&"},
        {"&#65;&#66&#x41;&#;&#", "AB&#x41;&#;&#"},
        {"&#321;&#0;&#256;&#00065;", "A&#0;&#256;A"},
        {"&abcdefghijklmnopqrs;&abcdefghijklmnopqrst;", "&abcdefghijklmnopqrs;&abcdefghijklmnopqrst;"},
        {"\x80\xFF plain", "\x80\xFF plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, Clean(c.src)) << c.src;
    EXPECT_EQ("", Clean(nullptr));
}

TEST(CleanText, CutsWithDotsWhenRoomRunsShort) {
    struct SizedCase {
        size_t size;
        const char* src;
        const char* want;
    };
    const SizedCase cases[] = {
        {10, "abcdefghijkl", "abcdef..."},
        {10, "abcdef", "abcdef"},
        {10, "abcdefg", "abcdef..."},
        {10, "abcdef  ", "abcdef..."},  // what remains is only white space
        {10, "a    b    c", "a b c"},   // a run costs one byte of room
        {10, "&eacute;&eacute;&eacute;&eacute;&eacute;&eacute;", "\xE9\xE9\xE9\xE9\xE9\xE9"},
        {10, "&eacute;&eacute;&eacute;&eacute;&eacute;&eacute;&eacute;", "\xE9\xE9\xE9\xE9\xE9\xE9..."},
        {5, "abc", "a..."},
        {5, "a", "a"},
        {4, "abc", "..."},
        {4, "", ""},
        {3, "abc", ".."},
        {2, "abc", "."},
        {1, "abc", ""},
        {0, "abc", "<untouched>"},
    };
    for (const SizedCase& c : cases) EXPECT_EQ(c.want, Clean(c.src, c.size)) << c.src << " in " << c.size;
}

TEST(DecodeUrlReferences, DecodesAsABrowserReadsAUrlValue) {
    const Case cases[] = {
        {"a?x=1&amp;y=2&amp;z", "a?x=1&y=2&z"},
        {"p&#47;q&#x2F;r&#X2f;s&#0047t", "p/q/r/s/t"},
        {"caf&eacute;&#233;&#xE9;", "caf\xC3\xA9\xC3\xA9\xC3\xA9"},
        {"&#2048;&#x10FFFF;&#128;", "\xE0\xA0\x80\xF4\x8F\xBF\xBF\xC2\x80"},
        {"a&#9;b&#10;c&#x0D;d&#32;e", "abcd e"},
        // Kept as written: no number, none that is a character, no name
        // of the table, a name that a '=' follows.
        {"&#;&#x;&#0;&#xD800;&#1114112;&#99999999999999999999;",
         "&#;&#x;&#0;&#xD800;&#1114112;&#99999999999999999999;"},
        {"?a&copy=1&lt=2&ampx&apos;&AMP;&", "?a&copy=1&lt=2&ampx&apos;&AMP;&"},
        {"?a&copy&lt;&gt", "?a\xC2\xA9<>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        std::string text = c.src;
        size_t n = DecodeUrlReferences(&text[0]);
        EXPECT_EQ(c.want, std::string(text.c_str())) << c.src;
        EXPECT_EQ(strlen(c.want), n) << c.src;
    }
}

TEST(CleanText, EntityTableIsSortedAndCoversLatin1) {
    ASSERT_EQ(100, kEntityCount);
    std::set<int> characters;
    for (int i = 0; i < kEntityCount; ++i) {
        if (i > 0) {
            EXPECT_LT(strcmp(kEntities[i - 1].name, kEntities[i].name), 0) << kEntities[i].name;
        }
        EXPECT_EQ(kEntities[i].character, LookupEntity(kEntities[i].name, strlen(kEntities[i].name)));
        characters.insert(kEntities[i].character);
    }
    std::set<int> want = {34, 38, 60, 62};
    for (int c = 160; c <= 255; ++c) want.insert(c);
    EXPECT_EQ(want, characters);
    EXPECT_EQ(175, LookupEntity("hibar", 5));
    EXPECT_EQ(0, LookupEntity("ampx", 4));
    EXPECT_EQ(38, LookupEntity("ampx", 3));
    EXPECT_EQ(0, LookupEntity("A", 1));
}

}  // namespace
