// The argument strings of the browser verbs, the verb table, and what the
// served verbs make of any item a browser may send.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "browser/dde_args.h"
#include "browser/served_verbs.h"
#include "browser/verb_table.h"

TEST(VerbTable, SortedIgnoringCaseAndEveryNameFoundInAnyCase) {
    std::string previous;
    for (int i = 0; i < kVerbCount; ++i) {
        std::string lower = kVerbTable[i].name, upper = lower;
        for (char& c : lower) c = (char)tolower((unsigned char)c);
        for (char& c : upper) c = (char)toupper((unsigned char)c);
        EXPECT_EQ(i, VerbIndex(kVerbTable[i].name));
        EXPECT_EQ(i, VerbIndex(lower.c_str())) << lower;
        EXPECT_EQ(i, VerbIndex(upper.c_str())) << upper;
        if (i > 0) {
            EXPECT_LT(previous, lower);
        }
        previous = lower;
    }
    EXPECT_EQ(10, VerbIndex("www_openurl"));
    EXPECT_EQ(35, VerbIndex("www_viewdocfile"));
    const char* strangers[] = {"", "WWW_", "WWW_OpenURLs", "WWW_Zzz", "AAA", "www_viewdoc"};
    for (const char* s : strangers) EXPECT_EQ(kVerbCount, VerbIndex(s)) << s;
    EXPECT_EQ(kVerbCount, VerbIndex(0));
}

TEST(VerbTable, PokeOrRequestByBrowserKind) {
    struct Case {
        int verb;
        bool netscape_poke, other_poke;
    } cases[] = {
        {WWW_RegisterURLEcho, true, false},
        {WWW_URLEcho, true, true},
        {WWW_OpenURL, false, false},
        {WWW_UnRegisterURLEcho, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.netscape_poke, SentAsPoke(c.verb, kNetscapeKind)) << c.verb;
        EXPECT_EQ(c.netscape_poke, SentAsPoke(c.verb, kNetscapeKind | kExplorerKind)) << c.verb;
        EXPECT_EQ(c.other_poke, SentAsPoke(c.verb, kExplorerKind)) << c.verb;
        EXPECT_EQ(c.other_poke, SentAsPoke(c.verb, 0)) << c.verb;
    }
    EXPECT_FALSE(SentAsPoke(-1, kNetscapeKind));  // outside the table: no read of it
    EXPECT_FALSE(SentAsPoke(kVerbCount, kExplorerKind));
}

// Each row reads the item with a little program: 'n' a number, 's' a
// string; the result lists what came out, "-" for an absent string.
static std::string Read(const char* item, const char* program) {
    DdeArgReader r(item);
    std::ostringstream out;
    for (const char* p = program; *p; ++p) {
        if (p != program) out << '|';
        if (*p == 'n') {
            out << r.ReadNumber();
        } else {
            const char* s = r.ReadString();
            out << (s ? s : "-");
        }
    }
    return out.str();
}

TEST(DdeArgReader, Fields) {
    struct Case {
        const char* item;
        const char* program;
        const char* expect;
    } cases[] = {
        {"1,0", "nn", "1|0"},
        {"4294967295,\"Loading\"", "ns", "4294967295|Loading"},
        {"-1", "n", "4294967295"},
        {" +12,0x1f,017,0X10", "nnnn", "12|31|15|16"},
        {"99999999999,5", "nn", "4294967295|5"},
        {"-99999999999,5", "nn", "4294967295|5"},
        {",,7", "nnn", "0|0|7"},
        {"\"a,b\",3", "sn", "a,b|3"},
        {"\"say \\\"hi\\\"\",5", "sn", "say \\\"hi\\\"|5"},  // the backslashes stay
        {"\"open", "sn", "open|0"},                          // no closing quote: the rest
        {"plain", "ss", "plain|-"},                          // bare field at the end exhausts
        {"a,,b", "sss", "a||b"},
        {"\"x\"y,2", "snn", "x|0|0"},  // stuck on y: nothing skipped
        {"12abc,3", "nsn", "12|abc|3"},
        {"\t0X1F", "n", "31"},    // upper-case digits; a tab is blank
        {"\r0xg", "ns", "0|xg"},  // no hex digit after 0x: octal 0, stopped at x
        {"0x", "ns", "0|x"},
        {"", "nsn", "0|-|0"},
        {"5,", "nns", "5|0|-"},
        {"\"\\", "s", "\\"},  // a backslash at the very end
        {"\"\"", "ss", "|"},  // the closing quote ends the text, not the fields
    };
    for (const Case& c : cases) EXPECT_EQ(c.expect, Read(c.item, c.program)) << c.item;
}

TEST(DdeArgReader, NullAndCountedTexts) {
    DdeArgReader none(0);
    EXPECT_EQ(0u, none.ReadNumber());
    EXPECT_EQ(nullptr, none.ReadString());
    const char bytes[] = {'7', ',', '"', 'a', 0, 'z'};
    DdeArgReader counted(bytes, sizeof bytes);
    EXPECT_EQ(7u, counted.ReadNumber());
    EXPECT_STREQ("a", counted.ReadString());
    EXPECT_TRUE(counted.exhausted());
    const char unterminated[] = {'4', '2'};
    DdeArgReader cut(unterminated, sizeof unterminated);
    EXPECT_EQ(42u, cut.ReadNumber());
}

TEST(DdeArgWriter, ItemsAsSent) {
    DdeArgWriter show;
    show.AddString("http://h/");
    show.AddEmpty();
    show.AddNumber(0);
    show.AddNumber(0);
    EXPECT_STREQ("\"http://h/\",,0,0", show.text());
    DdeArgWriter to_file;
    to_file.AddString("http://h/");
    to_file.AddString("C:/t/www1.tmp");
    to_file.AddNumber(0xFFFFFFFFu);
    to_file.AddNumber(4);
    to_file.AddEmpty();
    to_file.AddEmpty();
    to_file.RawNext();
    to_file.AddString("skeind");
    to_file.AddString("skeind");
    EXPECT_STREQ("\"http://h/\",\"C:/t/www1.tmp\",4294967295,4,,,skeind,\"skeind\"", to_file.text());
}

// The served verbs print what they post; the table gives the item and the
// message it becomes.
TEST(ServedVerbs, ItemsBecomeMessagesAndAnswers) {
    struct Case {
        int verb;
        ServedKind kind;
        const char* item;
        bool replies;
        uint32_t answer;
        const char* printed;  // null: no message
    } cases[] = {
        {WWW_BeginProgress, ServedRequest, "4294967295,\"Loading\"", true, 0xFFFFFFFFu,
         "<begin-progress 2147483647, msg=\"Loading\">"},
        {WWW_BeginProgress, ServedRequest, "", true, 0, "<begin-progress 0>"},
        {WWW_MakingProgress, ServedRequest, "3,\"Reading\",40", true, 0,
         "<making-progress 3, msg=\"Reading\", progress=40>"},
        {WWW_EndProgress, ServedRequest, "-1", true, 1, "<end-progress 2147483647>"},
        {WWW_RegisterNow, ServedRequest, "1", false, 0, nullptr},
        {WWW_OpenURL, ServedRequest, "\"http://x/\"", false, 0, nullptr},
        {WWW_BeginProgress, ServedPoke, "9,\"Go\"", false, 0, "<begin-progress 9, msg=\"Go\">"},
        {WWW_SetProgressRange, ServedPoke, "9,1000", false, 0, "<set-progress-range 9, max=1000>"},
        {WWW_EndProgress, ServedPoke, "9", false, 0, "<end-progress 9>"},
        {WWW_OpenURLResult, ServedPoke, "5,26", false, kDdeAck, "<open-url-result 5, win=0x1a>"},
        {WWW_OpenURLResult, ServedPoke, "4294967295,4294967295", false, kDdeAck,
         "<open-url-result 4294967295, win=0xffffffff>"},
        {WWW_URLEcho, ServedPoke, "\"http://Host:80/a#frag\",\"text/html\",26,\"\"", false, kDdeAck,
         "<url-echo \"http://host/a\", content-type=\"text/html\", win=0x1a, parent=\"\">"},
        {WWW_URLEcho, ServedPoke, "\"http://h/p.gif\",\"image/gif\",1,\"http://h/#top\"", false, kDdeAck,
         "<url-echo \"http://h/p.gif\", content-type=\"image/gif\", win=0x1, parent=\"http://h/\">"},
        {WWW_URLEcho, ServedPoke, "", false, kDdeAck, "<url-echo \"\", content-type=\"\", win=0x0, parent=\"\">"},
        {WWW_Alert, ServedPoke, "\"x\"", false, 0, nullptr},
    };
    for (const Case& c : cases) {
        ServedVerb v = ServeVerb(c.verb, c.kind, c.item);
        SCOPED_TRACE(c.item);
        EXPECT_EQ(c.answer, v.answer);
        if (c.kind == ServedRequest) {
            EXPECT_EQ(c.replies, v.replies);
        }
        if (c.printed == nullptr) {
            EXPECT_EQ(nullptr, v.message);
            continue;
        }
        ASSERT_NE(nullptr, v.message);
        std::ostringstream out;
        v.message->Print(out);
        out << 17;  // the stream is left in decimal
        EXPECT_EQ(std::string(c.printed) + "17", out.str());
        delete v.message;
    }
}

TEST(ServedVerbs, HostileItemsNeverFault) {
    std::string long_text(100000, 'q');
    std::string items[] = {"\"",
                           "\\",
                           "\"\\\"",
                           ",,,,,,,,",
                           "\"" + long_text,
                           long_text + "," + long_text,
                           "-",
                           "0x",
                           "--5",
                           "\"a\"\"b\"",
                           std::string("\x01\xff\x7f", 3)};
    for (const std::string& item : items)
        for (int verb = 0; verb <= kVerbCount; ++verb)
            for (ServedKind kind : {ServedRequest, ServedPoke}) delete ServeVerb(verb, kind, item.c_str()).message;
}
