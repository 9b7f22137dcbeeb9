// The URL model: canonical keys, resolution, offsets, display names, local
// file names and content-type codes, against values worked out by hand.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "observe/content_type.h"
#include "observe/url.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

// Every result is NUL-terminated at its length and within kUrlMax.
::testing::AssertionResult WellFormed(const UrlBuffer& b) {
    if (b.length < 0 || b.length > kUrlMax || strlen(b.text) != (size_t)b.length)
        return ::testing::AssertionFailure() << "length " << b.length << ", NUL at " << strlen(b.text);
    return ::testing::AssertionSuccess();
}

// Splitting functions get the offsets SplitUrl gives, as the workspace
// stores them.
std::string Percent(const char* text) {
    UrlBuffer b;
    PercentNormalise(text, &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}
std::string Canon(const std::string& url) {
    UrlBuffer b;
    CanonicalUrl(url.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}
std::string Resolve(const std::string& base, const std::string& ref) {
    UrlSplit s = SplitUrl(base.c_str());
    UrlBuffer b;
    ResolveUrl(base.c_str(), s.host_end, s.dir_end, ref.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}
std::string Name(const char* url) {
    UrlSplit s = SplitUrl(url);
    UrlBuffer b;
    UrlDisplayName(url, s.host_end, s.dir_end, &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}
std::string LocalPath(const char* url) {
    UrlBuffer b;
    if (!LocalPathOfUrl(url, &b)) return b.length == 0 ? "<none>" : "<none, but text left>";
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}
std::string TypeOfUrl(const char* url) {
    char hex[8];
    snprintf(hex, sizeof hex, "0x%02X", ContentTypeOfUrl(url, url ? SplitUrl(url).dir_end : 0));
    return hex;
}
std::string TypeOfMime(const char* mime) {
    char hex[8];
    snprintf(hex, sizeof hex, "0x%02X", ContentTypeOfMime(mime));
    return hex;
}

// One row of a table: input and the result wanted; a null input is tested
// as such.
struct Row {
    const char* input;
    std::string want;
};
template <typename F>
void ExpectRows(const std::vector<Row>& rows, F f) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input ? ::testing::PrintToString(std::string(row.input)) : "nullptr");
        EXPECT_EQ(row.want, f(row.input));
    }
}

TEST(PercentNormalisation, EscapesDecodedKeptOrMade) {
    ExpectRows(
        {
            {"/%41/%62a%2eb%2Dc%5fd%7e", "/A/ba.b-c_d~"},
            // Escapes of reserved and unsafe bytes are kept, in upper case;
            // a decoded '%' is not read again as the start of an escape.
            {"%3f%2b%23%25%20%00%7f%80%e9%ff", "%3F%2B%23%25%20%00%7F%80%E9%FF"},
            {"%2541", "%2541"},
            {"a b\t\r\n\x1f\x7f"
             "caf\xe9\x80\xff",
             "a%20b%09%0D%0A%1F%7Fcaf%E9%80%FF"},
            // Non hex digits are read by the old arithmetic: 'z' counts
            // 122-87 = 35, 35*16 kept to 8 bits is 48, plus 35 is 'S'.
            {"%zz", "S"},
            // 'G' counts 71-87 = -16: high, the digit vanishes; low, -16.
            {"%G1", "%01"},
            {"%1G", "%00"},
            // '%' counts -11: -176 + 4 is 84 modulo 256, 'T'.
            {"%%41", "T1"},
            // '@' is above '9' and below 'G': 64-55 = 9.
            {"%@@", "%99"},
            // A space after '%' is part of the escape, never copied raw.
            {"% 0", "%00"},
            // Too little after a '%' leaves it as it is.
            {"a%4", "a%4"},
            {"%", "%"},
            {"", ""},
            {nullptr, ""},
        },
        Percent);
    std::string printable;
    for (int c = 33; c <= 126; ++c)
        if (c != '%') printable += (char)c;
    EXPECT_EQ(printable, Percent(printable.c_str()));
}

TEST(CanonicalUrl, HostsPortsSchemesAndEscapes) {
    ExpectRows(
        {
            // Lowers the host and ends it with a slash:
            {"http://HOST.Domain/Path/File.HTML", "http://host.domain/Path/File.HTML"},
            {"http://H/?Q", "http://h/?Q"},
            {"http://User@H", "http://user@h/"},
            // Drops only the default port of http and gopher:
            {"http://host:80", "http://host/"},
            {"http://h:81", "http://h:81/"},
            {"gopher://h:70/1", "gopher://h/1"},
            {"gopher://h:80/1", "gopher://h:80/1"},
            {"http://h:70/", "http://h:70/"},
            {"ftp://h:21/", "ftp://h:21/"},
            {"http://h:800/", "http://h:800/"},
            // Only the first ':' after "//" counts: a user:password hides the port.
            {"http://u:p@h:80/", "http://u:p@h:80/"},
            // The scheme keeps its case, so upper-case http keeps its port:
            {"HTTP://Host.Domain:80", "HTTP://host.domain:80/"},
            {"Gopher://h:70", "Gopher://h:70/"},
            // Only a double slash at the first slash makes a host:
            {"mailto:Someone@Example.COM", "mailto:Someone@Example.COM"},
            {"http:X/Y//Z", "http:X/Y//Z"},
            {"//Host", "//host/"},
            {"http:///x", "http:///x"},
            {"http://", "http:///"},
            // One leading view source is dropped:
            {"view-source:http://H:80", "http://h/"},
            {"View-Source:http://H/", "View-Source:http://h/"},
            {"view-source:view-source:http://h/", "view-source:http://h/"},
            {"view-source:", ""},
            // Escapes are normalised everywhere, and lowered in the host:
            {"http://h/a b?x=%2f#f%41", "http://h/a%20b?x=%2F#fA"},
            {"http://a b%C3%a9", "http://a%20b%c3%a9/"},
            {"http://%48ost", "http://host/"},
            // Degenerate inputs:
            {"", ""},
            {nullptr, ""},
            {"http:", "http:"},
            {"/", "/"},
            {"//", "///"},
            {"http://h/%", "http://h/%"},
            // The program's own URLs are left as they are.
            {"x-skeind-1:/h/NUMBER", "x-skeind-1:/h/NUMBER"},
            {"x-skeind-1/lost-name-5", "x-skeind-1/lost-name-5"},
        },
        [](const char* url) {
            UrlBuffer b;
            CanonicalUrl(url, &b);
            EXPECT_TRUE(WellFormed(b));
            return std::string(b.text);
        });
}

TEST(CanonicalUrl, FileUrlsDrivesNetworkNamesAndFtpHosts) {
    ExpectRows(
        {
            // Drive letters become three slashes and a bar:
            {"file:C:\\Web\\Index.HTM", "file:///c|/web/index.htm"},
            {"file:/c:/x", "file:///c|/x"},
            {"file:///C|/X", "file:///c|/x"},
            {"file:///C:\\A\\B", "file:///c|/a/b"},
            {"file:c:", "file:///c|"},
            // Network names become four slashes:
            {"file://Name/x", "file:////name/x"},
            {"file:\\\\Host\\Share\\A.htm", "file:////host/share/a.htm"},
            {"file:////srv/x", "file:////srv/x"},
            {"file://///srv/x", "file:////srv/x"},
            // A name after two slashes gets no bar, even with a colon.
            {"file://c:/x", "file:////c:/x"},
            // Dotted hosts are fetched by ftp:
            {"file://H.D/Pub/ReadMe.TXT", "ftp://h.d/pub/readme.txt"},
            {"file://h.d", "ftp://h.d/"},
            // Backslashes are turned from the host's first dot on only.
            {"file://a\\b.c/d\\e", "ftp://a\\b.c/d/e"},
            // Short and odd file urls:
            {"file:", "file:///"},
            {"file:/", "file:///"},
            {"file://", "file:///"},
            {"file:x", "file:///x"},
            {"file:\\x", "file:////x"},
            {"file:c:\\a b%E9", "file:///c|/a%20b%e9"},
            // Scheme matching is exact: FILE: is left alone apart from its host.
            {"FILE:C:\\X", "FILE:C:\\X"},
            // The rules apply once, in their order: six slashes lose only
            // one, and backslashes are counted late.
            {"file://////x", "file://///x"},
            {"file:\\\\/x", "file://///x"},
            {"file:///\\\\x", "file://///x"},
        },
        [](const char* url) { return Canon(url); });
}

// Each cut keeps the key well-formed and canonical: canonicalising it again
// changes nothing.
TEST(CanonicalUrl, LongUrlsAreCutToConsistentKeys) {
    std::string full = "http://h/" + std::string(kUrlMax - 9, 'a');
    UrlBuffer b;
    CanonicalUrl(full.c_str(), &b);
    EXPECT_EQ(full, b.text);
    EXPECT_FALSE(b.truncated);
    CanonicalUrl((full + "bcd").c_str(), &b);
    EXPECT_EQ(full, b.text);
    EXPECT_TRUE(b.truncated);

    std::string head = "http://h/" + std::string(kUrlMax - 11, 'a');  // two places left
    struct Case {
        std::string url, want;
    } cases[] = {
        // An escape that does not fit is left out whole.
        {head + " tail", head},
        {"http://h/" + std::string(2000, ' '), "http://h/" +
                                                   [] {
                                                       std::string s;
                                                       for (int i = 0; i < (kUrlMax - 9) / 3; ++i) s += "%20";
                                                       return s;
                                                   }()},
        // The port goes even though the text was cut: the key is three shorter.
        {"http://h:80/" + std::string(1100, 'a'), "http://h/" + std::string(kUrlMax - 12, 'a')},
        // A host that fills the buffer has no room for its '/'.
        {"http://" + std::string(1100, 'H'), "http://" + std::string(kUrlMax - 7, 'h')},
        // Cut just after ":80", the rest of the port is lost and ":80" dropped.
        {"http://" + std::string(kUrlMax - 10, 'h') + ":8000/x", "http://" + std::string(kUrlMax - 10, 'h') + "/"},
        // What the file: rules insert pushes the end off.
        {"file:c:\\" + std::string(1100, 'A'), "file:///c|/" + std::string(kUrlMax - 11, 'a')},
        // A full dotted file host becomes an ftp host with its slash.
        {"file://h." + std::string(1100, 'X'), "ftp://h." + std::string(kUrlMax - 9, 'x') + "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.substr(0, 20));
        CanonicalUrl(c.url.c_str(), &b);
        EXPECT_TRUE(WellFormed(b));
        EXPECT_TRUE(b.truncated);
        EXPECT_EQ(c.want, b.text);
        EXPECT_EQ(c.want, Canon(c.want));
    }
}

TEST(CanonicalUrl, CanonicalKeysAreStableAndEndTheirHostWithASlash) {
    const char* const varied[] = {
        "http://Host",
        "http://host:80/x",
        "HTTP://Host.Domain:80",
        "ftp://H:21/Pub/",
        "http://h/a b/%7e%2f%3a%zz",
        "http://h/caf\xe9?q=\x01#\x7f",
        "http://u:p@H:81/x?y#z",
        "view-source:http://H/",
        "news:comp.infosystems.www",
        "x-skeind-1:/h/com",
        "file:C:\\Web\\Index.HTM",
        "file:///C:/X",
        "file://server/x",
        "file://host.domain/pub",
        "file:\\\\srv\\share\\F.txt",
        "file:",
        "",
        "a%",
        "http://",
        "http:x/y",
        "http://h/%4",
        "http://h:80%2f/",
        "  http://h/ ",
    };
    for (const char* url : varied) {
        SCOPED_TRACE(url);
        std::string c = Canon(url);
        EXPECT_EQ(c, Canon(c));
        UrlSplit s = SplitUrl(c.c_str());
        if (s.host_end == 0) continue;
        ASSERT_LT((size_t)s.host_end, c.size());
        EXPECT_EQ('/', c[s.host_end]);
        EXPECT_GT(s.dir_end, s.host_end);
    }
    // Shapes for which one application of the rules is not the last: a
    // second "view-source:" is exposed, a '/' appended after "%x" or an
    // escape after a lone '%' completes a new escape, a sixth slash survives
    // the one removed, and escapes lowered by the file: rules stand in an
    // ftp: URL.
    EXPECT_EQ("http://h/", Canon(Canon("view-source:view-source:http://h/")));
    EXPECT_EQ("http://h%4/", Canon("http://h%4"));
    EXPECT_EQ("http://h%3f/", Canon(Canon("http://h%4")));
    EXPECT_EQ("file:////x", Canon(Canon("file://////x")));
    EXPECT_EQ("http://h/%%01", Canon("http://h/%\x01"));
    EXPECT_EQ("http://h/P1", Canon("http://h/%%01"));
    EXPECT_EQ("ftp://h.d/a%c3%a9", Canon("file://h.d/A%C3%A9"));
    EXPECT_EQ("ftp://h.d/a%C3%A9", Canon("ftp://h.d/a%c3%a9"));
}

const char kPage[] = "http://h/a/b.html";

TEST(ResolveUrl, ReferencesAgainstABase) {
    struct Case {
        const char* base;
        const char* ref;
        const char* want;
    };
    const Case rows[] = {
        // Plain relative names, queries and fragments go into the base directory:
        {kPage, "d/e.gif", "http://h/a/d/e.gif"},
        {kPage, "", "http://h/a/"},
        {kPage, "a b%7e", "http://h/a/a%20b~"},
        {kPage, ":x", "http://h/a/:x"},
        {kPage, "#top", "http://h/a/#top"},
        {kPage, "c.html?q=%2f#f", "http://h/a/c.html?q=%2F#f"},
        // Root relative references keep scheme and host:
        {kPage, "/", "http://h/"},
        {"http://h:81/a/b", "/x", "http://h:81/x"},
        // Dot segments move up but never above the root:
        {kPage, "./x", "http://h/a/x"},
        {kPage, "../../../../x", "http://h/x"},
        {"http://h/a/b/c/d.html", "../.././x", "http://h/a/x"},
        {kPage, "../", "http://h/"},
        // A final dot or dot dot leaves no trailing slash:
        {"http://h/a/b/c.html", ".", "http://h/a/b"},
        {"http://h/a/b/c.html", "./..", "http://h/a"},
        {kPage, "..", "http://h"},
        {"http://h/", ".", "http://h"},
        // Dots followed by other characters are names:
        {kPage, ".profile", "http://h/a/.profile"},
        {kPage, "..x", "http://h/a/..x"},
        {kPage, "../...", "http://h/..."},
        // Same scheme without slashes is relative:
        {kPage, "http:foo.html", "http://h/a/foo.html"},
        {kPage, "http:/x", "http://h/x"},
        {kPage, "http:../x", "http://h/x"},
        // Other schemes and double slashes are absolute:
        {kPage, "mailto:Some One", "mailto:Some%20One"},
        {kPage, "http://Other:80/y", "http://other/y"},
        {kPage, "HTTP:c.html", "HTTP:c.html"},
        {kPage, "Aa0Z9z-.+:x", "Aa0Z9z-.+:x"},  // every end of the scheme's ranges
        {kPage, "http:", "http:"},
        {kPage, "view-source:http://H/", "http://h/"},
        {kPage, "file:C:\\X.htm", "file:///c|/x.htm"},
        // Network paths take the base scheme:
        {kPage, "//other:80", "http://other/"},
        {"gopher://f/1", "//g:70", "gopher://g/"},
        {"", "//H/x", "://h/x"},
        // Angle brackets and the "URL:" prefix (in capitals only) are unwrapped:
        {kPage, "<URL:http://h/x>", "http://h/x"},
        {kPage, "URL:c.html", "http://h/a/c.html"},
        {kPage, "<..>", "http://h"},
        {kPage, "c.html>", "http://h/a/c.html>"},
        {kPage, "<>", "http://h/a/"},
        {kPage, "<", "http://h/a/"},
        {kPage, "url:x", "url:x"},
        // With a network path the '>' stays.
        {kPage, "<//h/x>", "http://h/x>"},
        // File bases are normalised after joining:
        {"file:///c|/web/a.htm", "Sub\\Page.HTM", "file:///c|/web/sub/page.htm"},
        {"file:///c|/web/a.htm", "../../../x", "file:///x"},
        {"file:///c|/web/a.htm", "/c|/Top.htm", "file:///c|/top.htm"},
        // Bases without host or directory:
        {"mailto:x", "y", "mailto:x/y"},
        {"x-skeind-1:/a/1", "2", "x-skeind-1:/a/2"},
        {"", "y", "/y"},
        {"http://h", "y", "http://h/y"},
    };
    for (const Case& row : rows) EXPECT_EQ(row.want, Resolve(row.base, row.ref)) << row.base << " + " << row.ref;

    // Absolute references do not depend on the base; relative ones stay on
    // the base's site.
    for (const char* ref : {"http://Other:80/y", "ftp://F/pub", "file://host.domain/x", "<URL:http://H/x>"})
        for (const char* base : {kPage, "", "mailto:x", "file:///c|/a/b.htm", "x-skeind-1:/h/"})
            EXPECT_EQ(Canon(ref[0] == '<' ? "http://H/x" : ref), Resolve(base, ref)) << ref << " @ " << base;
    for (const char* ref : {"../../../../x", "./../y/", "..", "/../x", "?q", "http:../../z"})
        EXPECT_EQ(0u, Resolve("http://h/a/b/c.html", ref).find("http://h")) << ref;
}

TEST(ResolveUrl, BadOffsetsAndLongResults) {
    UrlBuffer b;
    // Offsets outside the base are brought into it.
    ResolveUrl(kPage, -5, 9999, "c", &b);
    EXPECT_EQ(std::string(kPage) + "c", b.text);
    ResolveUrl(kPage, 9999, -1, "../x", &b);
    EXPECT_EQ(std::string(kPage) + "/x", b.text);
    ResolveUrl(nullptr, 3, 3, nullptr, &b);
    EXPECT_STREQ("/", b.text);
    // Long results are cut like canonical ones.
    ResolveUrl(kPage, 8, 11, std::string(2000, 'r').c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("http://h/a/" + std::string(kUrlMax - 11, 'r'), b.text);
    std::string base = "http://h/" + std::string(1010, 'd') + "/";
    EXPECT_EQ(base + "x", Resolve(base, "x y"));  // "%20" does not fit in the one place left
}

TEST(SplitUrl, HostEndAndDirectoryEnd) {
    struct Case {
        const char* url;
        int host_end, dir_end;
    };
    const Case rows[] = {
        {"http://h/a/b.html", 8, 11},
        {"http://h:81/a/", 11, 14},
        {"http://h/a/b/", 8, 13},
        {"http://h?x/y", 10, 11},
        {"file:///c|/web/x.htm", 7, 15},
        {"file:////srv/x", 7, 13},
        {"http://h", 8, 0},
        {"http://", 7, 0},
        {"x-skeind-1:/h/com", 0, 14},
        {"x-skeind-1/lost-name-2", 0, 11},
        {"mailto:x", 0, 0},
        {"", 0, 0},
        {nullptr, 0, 0},
        // The first "//" counts, wherever it is.
        {"a/b//c/d", 6, 7},
    };
    for (const Case& row : rows) {
        UrlSplit split = SplitUrl(row.url);
        EXPECT_EQ(row.host_end, split.host_end) << (row.url ? row.url : "nullptr");
        EXPECT_EQ(row.dir_end, split.dir_end) << (row.url ? row.url : "nullptr");
    }
}

TEST(UrlDisplayName, NamesOfUrls) {
    ExpectRows(
        {
            // Names from the last segment:
            {"http://h/a/b.html?x=1", "(b.html?x=1)"},
            {"http://h/a/b/", "(b/)"},
            {"file:////srv/", "(srv/)"},
            // Index pages name their directory:
            {"http://h/a/index.html", "(a/index.html)"},
            {"http://h/a/b/Welcome.html", "(b/Welcome.html)"},
            {"http://h:81/Welcome.htm", "(h:81/Welcome.htm)"},
            {"http://h/a/welcome.html", "(welcome.html)"},
            {"http://h/a/index", "(index)"},
            // Roots name their host:
            {"http://h/", "(h/)"},
            {"http://h", "(h)"},
            {"http://", "()"},
            {"file:///", AppString(IDS_LOCAL_DISC_FILES)},
            {"file://", AppString(IDS_LOCAL_DISC_FILES)},
            // Urls without host are shown whole:
            {"x-skeind-1:/a/12", "(x-skeind-1:/a/12)"},
            {"mailto:someone", "(mailto:someone)"},
            // Empty or colon-less ones are null addresses.
            {"", kNullAddressName},
            {"x-skeind-1/lost-name-4", kNullAddressName},
        },
        Name);
}

TEST(UrlDisplayName, KindsOffsetsAndLength) {
    UrlBuffer b;
    EXPECT_EQ(UrlNameNullAddress, UrlDisplayName(nullptr, 0, 0, &b));
    EXPECT_STREQ("-- error: null address --", b.text);
    EXPECT_EQ(UrlNameShort, UrlDisplayName("http://h/", 7, 9, &b));
    EXPECT_EQ(UrlNameLocalDisc, UrlDisplayName("file:///", 7, 8, &b));
    EXPECT_STREQ("Files on local disc", b.text);
    // Offsets that do not fit the text are worked out again.
    UrlDisplayName("http://h/a/b.html", 500, -3, &b);
    EXPECT_STREQ("(b.html)", b.text);
    UrlDisplayName("http://h/a/b.html", -1, 11, &b);
    EXPECT_STREQ("(b.html)", b.text);
    // Long names keep their parentheses.
    std::string own = "x-skeind-1:/a/" + std::string(1500, '7');
    EXPECT_EQ(UrlNameShort, UrlDisplayName(own.c_str(), 0, 14, &b));
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("(" + own.substr(0, kUrlMax - 2) + ")", b.text);
}

TEST(LocalPathOfUrl, FileUrlsToPathsAndOthersToNothing) {
    ExpectRows(
        {
            {"file:///c|/web/a%20b.htm", "c:/web/a b.htm"},
            {"file:///c:/x", "c:/x"},
            {"file:/c|/x", "c:/x"},
            {"file:/c:/x", "c:/x"},
            {"file:///c|/caf%e9", "c:/caf\xe9"},
            {"file:////srv/pub/x.htm", "//srv/pub/x.htm"},
            {"file://///srv/x", "//srv/x"},
            {"file:///", ""},
            {"file:", ""},
            {"file:x", "x"},
            {"file:/x", "/x"},
            {"file://host/x", "//host/x"},
            // Escapes that make no byte, or no whole escape, stay.
            {"file:///c|/a%00b", "c:/a%00b"},
            {"file:///c|/a%", "c:/a%"},
            {"file:///c|/a%4", "c:/a%4"},
            {"file:///c|/100%25", "c:/100%"},
            {"http://h/x", "<none>"},
            {"FILE:///c|/x", "<none>"},
            {"fil", "<none>"},
            {nullptr, "<none>"},
        },
        LocalPath);
    std::string url = "file:///c|/" + std::string(1500, 'x');
    UrlBuffer b;
    EXPECT_TRUE(LocalPathOfUrl(url.c_str(), &b));
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("c:/" + std::string(kUrlMax - 3, 'x'), b.text);
}

TEST(ContentTypeOfMime, CodesOfTypes) {
    ExpectRows(
        {
            {"text/html", "0x45"},
            {"text/plain", "0x85"},
            {"image/gif", "0x33"},
            {"audio/basic", "0x22"},
            {"audio/aiff", "0x12"},
            {"video/mpeg", "0x66"},
            {"video/quicktime", "0x96"},
            // Experimental prefixes are dropped:
            {"audio/x-wav", "0xA2"},
            {"image/x-xbitmap", "0xB3"},
            {"video/x-msvideo", "0x76"},
            {"x-world/x-vrml", "0x00"},
            {"x-text/x-html", "0x45"},
            // Unknown halves give zero halves:
            {"application/zip", "0x01"},
            {"multipart/x-mixed-replace", "0x04"},
            {"foo/gif", "0x30"},
            {"nonsense", "0x00"},
            // Byte-wise, so upper case matches nothing.
            {"TEXT/html", "0x40"},
            // Parts match names they are prefixes of; an empty half nothing.
            {"im/gi", "0x33"},
            {"texts/htmls", "0x00"},
            {"image/", "0x03"},
            {"/gif", "0x30"},
            // The token ends at semicolon or white space:
            {"text/html; charset=iso-8859-1", "0x45"},
            {"text/plain\r\n", "0x85"},
            {"image/gif\tx", "0x33"},
            {"image/jpeg;q=1", "0x53"},
            // Prefixes of text/html and the empty token are html:
            {"", "0x45"},
            {nullptr, "0x45"},
            {"text/", "0x45"},
            {";charset=x", "0x45"},
            {" text/plain", "0x45"},
            {"text/html5", "0x05"},
        },
        TypeOfMime);
    // The codes are built from the named halves.
    EXPECT_EQ(kImageGif, MakeContentType(kMajorImage, kMinorGif));
    EXPECT_EQ(kMajorAudio, MajorTypeOf(ContentTypeOfMime("audio/x-wav")));
    EXPECT_EQ(kMinorWav, MinorTypeOf(ContentTypeOfMime("audio/x-wav")));
}

TEST(ContentTypeOfUrl, EveryListedExtensionAndWhereTheSegmentIs) {
    struct Case {
        const char* list;
        int code;
    };
    const Case cases[] = {
        {"htm,html", 0x45}, {"txt,text", 0x85},      {"au,snd", 0x22},
        {"wav", 0xA2},      {"aif,aiff,aifc", 0x12}, {"mpe,mpeg,mpg", 0x66},
        {"qt,mov", 0x96},   {"avi", 0x76},           {"rgb,ppm,pgm,pbm,pnm,xwd,xpm,ras,tiff,tif", 0x03},
        {"xbm", 0xB3},      {"gif", 0x33},           {"jpe,jpeg,jpg", 0x53},
    };
    int total = 0;
    for (const Case& c : cases) {
        std::string list = std::string(c.list) + ",";
        for (size_t from = 0, comma; (comma = list.find(',', from)) != std::string::npos; from = comma + 1, ++total) {
            std::string url = "http://h/d/file." + list.substr(from, comma - from);
            EXPECT_EQ(c.code, ContentTypeOfUrl(url.c_str(), 11)) << url;
        }
    }
    EXPECT_EQ(total, ProgramExtensionTable().count);

    std::string long_name = "http://h/" + std::string(5000, 'x') + ".gif";
    std::string ext32 = "http://h/a." + std::string(kExtensionMax + 1, 'g');
    std::string ext_long = "http://h/a." + std::string(1000, 'g');  // far past the copy's room
    ExpectRows(
        {
            // Extensions are lowered before lookup:
            {"http://h/a.HtMl", "0x45"},
            // No extension gives zero:
            {"http://h/", "0x00"},
            {"http://h/readme", "0x00"},
            {"http://h/a.", "0x00"},
            {"http://h.gif/", "0x00"},
            {"http://h/a.gif/b", "0x00"},
            {"http://h/a.exe", "0x00"},
            {nullptr, "0x00"},
            // The segment runs to the end, query and fragment included:
            {"http://h/a.cgi?img=b.gif", "0x33"},
            {"http://h/a.html#top", "0x00"},
            // The limit is on the extension, not on the segment.
            {ext32.c_str(), "0x00"},
            {ext_long.c_str(), "0x00"},
            {long_name.c_str(), "0x33"},
        },
        TypeOfUrl);
    // The segment starts at the directory end given, brought into the text.
    EXPECT_EQ(0x33, ContentTypeOfUrl("a.gif", 0));
    EXPECT_EQ(0x33, ContentTypeOfUrl("x-skeind-1:/a/b.gif", 14));
    EXPECT_EQ(0, ContentTypeOfUrl("http://h/a.gif", 20));
    EXPECT_EQ(0x33, ContentTypeOfUrl("http://h/a.gif", -4));
}

TEST(ExtensionTable, FirstCodeKeptBadItemsReportedFullTableRefuses) {
    ExtensionTable t;
    ClearExtensionTable(&t);
    EXPECT_TRUE(AddExtensions(&t, "htm,html", 0x45));
    EXPECT_TRUE(AddExtensions(&t, "html,shtml,htm", 0x85));
    EXPECT_EQ(3, t.count);
    EXPECT_EQ(0x45, LookupExtension(t, "html", 4));
    EXPECT_EQ(0x85, LookupExtension(t, "shtml", 5));
    EXPECT_EQ(0, LookupExtension(t, "ht", 2));
    EXPECT_EQ(0, LookupExtension(t, "htmls", 5));
    EXPECT_EQ(0x45, LookupExtension(t, "html5", 4));

    ClearExtensionTable(&t);
    EXPECT_FALSE(AddExtensions(&t, "a,,b", 1));
    EXPECT_EQ(2, t.count);
    std::string longest(kExtensionMax, 'z');
    EXPECT_TRUE(AddExtensions(&t, longest.c_str(), 2));
    EXPECT_FALSE(AddExtensions(&t, (longest + "z").c_str(), 3));
    EXPECT_EQ(2, LookupExtension(t, longest.c_str(), kExtensionMax));
    EXPECT_FALSE(AddExtensions(&t, "", 4));
    EXPECT_FALSE(AddExtensions(&t, nullptr, 4));
    EXPECT_EQ(3, t.count);

    ClearExtensionTable(&t);
    for (int i = 0; i < kExtensionCapacity; ++i) {
        char ext[8];
        snprintf(ext, sizeof ext, "e%02d", kExtensionCapacity - 1 - i);  // descending
        ASSERT_TRUE(AddExtensions(&t, ext, (ContentTypeCode)(i + 1))) << ext;
    }
    EXPECT_FALSE(AddExtensions(&t, "zzz", 9));
    EXPECT_TRUE(AddExtensions(&t, "e05", 9));  // already there
    EXPECT_EQ(kExtensionCapacity, t.count);
    EXPECT_EQ(0, LookupExtension(t, "zzz", 3));
    for (int i = 1; i < t.count; ++i) EXPECT_LT(strcmp(t.entries[i - 1].text, t.entries[i].text), 0);
    EXPECT_EQ(kExtensionCapacity, LookupExtension(t, "e00", 3));
}

}  // namespace
