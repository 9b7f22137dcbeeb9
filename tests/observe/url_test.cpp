// The URL model: canonical keys, resolution, offsets, display names, local
// file names and content-type codes, against values worked out by hand.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "observe/content_type.h"
#include "observe/url.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

// Every result is NUL-terminated at its length and within kUrlMax.
::testing::AssertionResult WellFormed(const UrlBuffer& b) {
    if (b.length < 0 || b.length > kUrlMax)
        return ::testing::AssertionFailure() << "length " << b.length;
    if (strlen(b.text) != (size_t)b.length)
        return ::testing::AssertionFailure() << "NUL at " << strlen(b.text) << ", length "
                                             << b.length;
    return ::testing::AssertionSuccess();
}

std::string Percent(const std::string& text) {
    UrlBuffer b;
    PercentNormalise(text.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}

std::string Canon(const std::string& url) {
    UrlBuffer b;
    CanonicalUrl(url.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}

// Resolution against a base whose offsets come from SplitUrl, as the
// workspace stores them.
std::string Resolve(const std::string& base, const std::string& ref) {
    UrlSplit s = SplitUrl(base.c_str());
    UrlBuffer b;
    ResolveUrl(base.c_str(), s.host_end, s.dir_end, ref.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}

std::string Name(const std::string& url) {
    UrlSplit s = SplitUrl(url.c_str());
    UrlBuffer b;
    UrlDisplayName(url.c_str(), s.host_end, s.dir_end, &b);
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}

std::string LocalPath(const std::string& url) {
    UrlBuffer b;
    if (!LocalPathOfUrl(url.c_str(), &b)) {
        EXPECT_EQ(0, b.length);
        return "<none>";
    }
    EXPECT_TRUE(WellFormed(b));
    return b.text;
}

int TypeOfUrl(const std::string& url) {
    return ContentTypeOfUrl(url.c_str(), SplitUrl(url.c_str()).dir_end);
}

// Rows of the tables below; a row's text is shown escaped when it fails.
struct TextCase {
    const char* input;
    std::string want;
};
struct CodeCase {
    const char* input;
    int code;
};
struct ResolveCase {
    const char* base;
    const char* ref;
    const char* want;
};
struct SplitCase {
    const char* url;
    int host_end, dir_end;
};

std::string Shown(const char* text) {
    return text ? ::testing::PrintToString(std::string(text)) : "nullptr";
}

// ---- Percent normalisation ----------------------------------------------

TEST(PercentNormalisation, EscapesDecodedKeptOrMade) {
    const TextCase rows[] = {
        // Decodes escapes of ordinary characters:
        {"%7e", "~"},
        {"%7E", "~"},
        {"/%41/%62", "/A/b"},
        {"a%2eb%2Dc%5fd", "a.b-c_d"},
        // Keeps escapes of reserved and unsafe bytes in upper case:
        {"%2f", "%2F"},
        {"%3a", "%3A"},
        {"%3f%2b%23%25", "%3F%2B%23%25"},
        {"%20%00%7f%80%e9%ff", "%20%00%7F%80%E9%FF"},
        // A decoded '%' is not read again as the start of an escape.
        {"%2541", "%2541"},
        // Escapes spaces controls and high bytes:
        {"a b", "a%20b"},
        {"\t\r\n\x1f", "%09%0D%0A%1F"},
        {"\x7f", "%7F"},
        {"caf\xe9", "caf%E9"},
        {"\x80\xff", "%80%FF"},
        // Non hex digits are read by the old arithmetic:
        // 'z' counts 122-87 = 35: 35*16 kept to 8 bits is 48, plus 35 is 'S'.
        {"%zz", "S"},
        // 'G' counts 71-87 = -16, so the high digit vanishes: byte 1.
        {"%G1", "%01"},
        // '%' counts -11: -176 + 4 is 84 modulo 256, 'T'.
        {"%%41", "T1"},
        // 'G' is past the upper-case range: as a low digit it counts -16.
        {"%1G", "%00"},
        {"%0G", "%F0"},
        // '@' is above '9' and below 'G': 64-55 = 9.
        {"%@@", "%99"},
        // A space after '%' is part of the escape, never copied raw.
        {"% 0", "%00"},
    };
    for (const TextCase& row : rows) EXPECT_EQ(row.want, Percent(row.input)) << "input: " << Shown(row.input);
}

TEST(PercentNormalisation, CopiesEverythingElseWithItsCase) {
    std::string printable;
    for (int c = 33; c <= 126; ++c)
        if (c != '%') printable += (char)c;
    EXPECT_EQ(printable, Percent(printable));
    EXPECT_EQ("HTTP://Host/Path", Percent("HTTP://Host/Path"));
}

TEST(PercentNormalisation, PercentWithoutTwoCharactersAfterItStaysAsItIs) {
    EXPECT_EQ("%", Percent("%"));
    EXPECT_EQ("a%", Percent("a%"));
    EXPECT_EQ("a%4", Percent("a%4"));
    EXPECT_EQ("", Percent(""));
    UrlBuffer b;
    PercentNormalise(nullptr, &b);
    EXPECT_EQ(0, b.length);
    EXPECT_STREQ("", b.text);
}

// ---- CanonicalUrl: hosts and ports ----------------------------------------

TEST(CanonicalUrl, HostsPortsSchemesAndEscapes) {
    const TextCase rows[] = {
        // Lowers the host and ends it with a slash:
        {"http://Host", "http://host/"},
        {"http://HOST.Domain/Path/File.HTML", "http://host.domain/Path/File.HTML"},
        {"http://H/?Q", "http://h/?Q"},
        {"http://User@H", "http://user@h/"},
        // Drops only the default port of http and gopher:
        {"http://host:80/x", "http://host/x"},
        {"http://host:80", "http://host/"},
        {"http://h:81", "http://h:81/"},
        {"gopher://h:70/1", "gopher://h/1"},
        {"gopher://h:80/1", "gopher://h:80/1"},
        {"http://h:70/", "http://h:70/"},
        {"ftp://h:21/", "ftp://h:21/"},
        {"http://h:8080/", "http://h:8080/"},
        {"http://h:800/", "http://h:800/"},
        // Only the first ':' after "//" counts: a user:password hides the port.
        {"http://u:p@h:80/", "http://u:p@h:80/"},
        // Keeps the case of the scheme so upper case http keeps its port:
        {"HTTP://Host.Domain:80", "HTTP://host.domain:80/"},
        {"Gopher://h:70", "Gopher://h:70/"},
        // Only a double slash at the first slash makes a host:
        {"mailto:Someone@Example.COM", "mailto:Someone@Example.COM"},
        {"news:Comp.Infosystems", "news:Comp.Infosystems"},
        {"http:X/Y//Z", "http:X/Y//Z"},
        {"//Host", "//host/"},
        {"http:///x", "http:///x"},
        {"http://", "http:///"},
        // Drops one leading view source:
        {"view-source:http://h/", "http://h/"},
        {"view-source:http://H:80", "http://h/"},
        {"View-Source:http://H/", "View-Source:http://h/"},
        {"view-source:view-source:http://h/", "view-source:http://h/"},
        {"view-source:", ""},
        // Normalises escapes everywhere:
        {"http://h/%41", "http://h/A"},
        {"http://h/a%3ab", "http://h/a%3Ab"},
        {"http://h/caf\xe9", "http://h/caf%E9"},
        {"http://h/a b?x=%2f#f", "http://h/a%20b?x=%2F#f"},
        // Escapes in the host are lowered along with it.
        {"http://a b%C3%a9", "http://a%20b%c3%a9/"},
        {"http://%48ost", "http://host/"},
    };
    for (const TextCase& row : rows) EXPECT_EQ(row.want, Canon(row.input)) << "input: " << Shown(row.input);
}

TEST(CanonicalUrl, EmptyAndDegenerateInputs) {
    EXPECT_EQ("", Canon(""));
    UrlBuffer b;
    CanonicalUrl(nullptr, &b);
    EXPECT_STREQ("", b.text);
    EXPECT_EQ("http:", Canon("http:"));
    EXPECT_EQ("/", Canon("/"));
    EXPECT_EQ("///", Canon("//"));
    EXPECT_EQ("%", Canon("%"));
    EXPECT_EQ("http://h/%", Canon("http://h/%"));
}

TEST(CanonicalUrl, LeavesTheProgramsOwnUrlsAsTheyAre) {
    for (const char* own : {"x-skeind-1:/h/", "x-skeind-1:/h/com", "x-skeind-1:/h/NUMBER",
                            "x-skeind-1:/s/", "x-skeind-1:/a/17", "x-skeind-1/lost-name-5"}) {
        EXPECT_EQ(own, Canon(own));
        EXPECT_EQ(0, SplitUrl(own).host_end) << own;
    }
}

// ---- CanonicalUrl: file: URLs --------------------------------------------

TEST(CanonicalFileUrl, DrivesNetworkNamesAndFtpHosts) {
    const TextCase rows[] = {
        // Drive letters become three slashes and a bar:
        {"file:c:\\x", "file:///c|/x"},
        {"file:C:\\Web\\Index.HTM", "file:///c|/web/index.htm"},
        {"file:/c:/x", "file:///c|/x"},
        {"file:///c:/x", "file:///c|/x"},
        {"file:///C|/X", "file:///c|/x"},
        {"file:///C:\\A\\B", "file:///c|/a/b"},
        {"file:c:", "file:///c|"},
        // Network names become four slashes:
        {"file://server/x", "file:////server/x"},
        {"file://Name/x", "file:////name/x"},
        {"file:\\\\Host\\Share\\A.htm", "file:////host/share/a.htm"},
        {"file:////srv/x", "file:////srv/x"},
        {"file://///srv/x", "file:////srv/x"},
        // A name after two slashes gets no bar, even with a colon.
        {"file://c:/x", "file:////c:/x"},
        // Dotted hosts are fetched by ftp:
        {"file://host.domain/x", "ftp://host.domain/x"},
        {"file://host.domain/pub", "ftp://host.domain/pub"},
        {"file://H.D/Pub/ReadMe.TXT", "ftp://h.d/pub/readme.txt"},
        {"file://h.d", "ftp://h.d/"},
        // Backslashes are turned from the host's first dot on only.
        {"file://a\\b.c/d\\e", "ftp://a\\b.c/d/e"},
        // Short and odd file urls:
        {"file:", "file:///"},
        {"file:/", "file:///"},
        {"file://", "file:///"},
        {"file:///", "file:///"},
        {"file:x", "file:///x"},
        {"file:\\x", "file:////x"},
        {"file:/README", "file:///readme"},
        {"file:c:\\a b%E9", "file:///c|/a%20b%e9"},
        // Scheme matching is exact: FILE: is left alone apart from its host.
        {"FILE:C:\\X", "FILE:C:\\X"},
        // Two consequences of applying the rules once, in their order.
        // Six slashes lose only one and backslashes are counted late:
        {"file://////x", "file://///x"},
        {"file:\\\\/x", "file://///x"},
        {"file:///\\\\x", "file://///x"},
    };
    for (const TextCase& row : rows) EXPECT_EQ(row.want, Canon(row.input)) << "input: " << Shown(row.input);
}

// ---- CanonicalUrl: length ---------------------------------------------------

TEST(CanonicalUrlLength, ExactlyFullFitsAndOneMoreIsCut) {
    std::string base = "http://h/";
    std::string full = base + std::string(kUrlMax - base.size(), 'a');
    UrlBuffer b;
    CanonicalUrl(full.c_str(), &b);
    EXPECT_EQ(full, b.text);
    EXPECT_FALSE(b.truncated);

    std::string over = full + "bcd";
    CanonicalUrl(over.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_EQ(full, b.text);
    EXPECT_TRUE(b.truncated);
}

TEST(CanonicalUrlLength, AnEscapeThatDoesNotFitIsLeftOutWhole) {
    std::string head = "http://h/" + std::string(kUrlMax - 9 - 2, 'a');  // two places left
    UrlBuffer b;
    CanonicalUrl((head + " tail").c_str(), &b);
    EXPECT_EQ(head, b.text);
    EXPECT_TRUE(b.truncated);

    std::string spaces = "http://h/" + std::string(2000, ' ');
    CanonicalUrl(spaces.c_str(), &b);
    EXPECT_EQ(kUrlMax, b.length);  // 9 + 338 * 3
    EXPECT_EQ(std::string("%20"), std::string(b.text + kUrlMax - 3));
}

TEST(CanonicalUrlLength, LongHostsAndPortsStayConsistent) {
    // The port goes even though the text was cut: the key is three shorter.
    std::string ported = "http://h:80/" + std::string(1100, 'a');
    std::string canon = Canon(ported);
    EXPECT_EQ("http://h/" + std::string(kUrlMax - 12, 'a'), canon);
    EXPECT_EQ(canon, Canon(canon));

    // A host that fills the buffer has no room for its '/'.
    std::string host = "http://" + std::string(1100, 'H');
    canon = Canon(host);
    EXPECT_EQ("http://" + std::string(kUrlMax - 7, 'h'), canon);
    EXPECT_EQ(canon, Canon(canon));

    // Cut just after ":80", the rest of the port is lost and ":80" dropped.
    std::string cut = "http://" + std::string(kUrlMax - 10, 'h') + ":8000/x";
    canon = Canon(cut);
    EXPECT_EQ("http://" + std::string(kUrlMax - 10, 'h') + "/", canon);
    EXPECT_EQ(canon, Canon(canon));
}

TEST(CanonicalUrlLength, FileInsertionsDropWhatIsPushedOffTheEnd) {
    std::string file = "file:c:\\" + std::string(1100, 'A');
    std::string canon = Canon(file);
    EXPECT_EQ((size_t)kUrlMax, canon.size());
    EXPECT_EQ("file:///c|/" + std::string(kUrlMax - 11, 'a'), canon);
    EXPECT_EQ(canon, Canon(canon));
}

TEST(CanonicalUrlLength, AFullDottedFileHostBecomesAnFtpHostWithItsSlash) {
    std::string file = "file://h." + std::string(1100, 'X');
    UrlBuffer b;
    CanonicalUrl(file.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    std::string want = "ftp://h." + std::string(kUrlMax - 9, 'x') + "/";
    EXPECT_EQ(want, b.text);
    EXPECT_EQ(want, Canon(b.text));
}

// ---- CanonicalUrl: properties ----------------------------------------------

const char* const kVariedUrls[] = {
    "http://Host",
    "http://host:80/x",
    "HTTP://Host.Domain:80",
    "gopher://h:70/1",
    "ftp://H:21/Pub/",
    "http://h/a b/%7e%2f%3a%zz",
    "http://h/caf\xe9?q=\x01#\x7f",
    "http://u:p@H:81/x?y#z",
    "view-source:http://H/",
    "mailto:Someone@Example.COM",
    "news:comp.infosystems.www",
    "x-skeind-1:/h/com",
    "x-skeind-1/lost-name-3",
    "file:C:\\Web\\Index.HTM",
    "file:/c:/x",
    "file:///C:/X",
    "file://server/x",
    "file://host.domain/pub",
    "file:\\\\srv\\share\\F.txt",
    "file://///srv/x",
    "file:",
    "file:x",
    "",
    "%",
    "a%",
    "//Host",
    "http://",
    "http:x/y",
    "http://h/%",
    "http://h/%4",
    "http://h:80%2f/",
    "  http://h/ ",
};

TEST(CanonicalUrlProperties, CanonicalOfCanonicalIsCanonical) {
    for (const char* url : kVariedUrls) {
        std::string once = Canon(url);
        EXPECT_EQ(once, Canon(once)) << "input: " << url;
    }
}

TEST(CanonicalUrlProperties, CanonicalUrlsWithAHostHaveASlashAtTheHostEnd) {
    for (const char* url : kVariedUrls) {
        std::string c = Canon(url);
        UrlSplit s = SplitUrl(c.c_str());
        if (s.host_end == 0) continue;
        ASSERT_LT((size_t)s.host_end, c.size()) << c;
        EXPECT_EQ('/', c[s.host_end]) << c;
        EXPECT_GT(s.dir_end, s.host_end) << c;
    }
}

// Shapes for which one application of the rules is not the last: a second
// "view-source:" is exposed, a '/' appended after "%x" or an escape after a
// lone '%' completes a new escape, a sixth slash survives the one that is
// removed, and escapes lowered by the file: rules stand in an ftp: URL.
TEST(CanonicalUrlProperties, ShapesThatChangeAgainWhenCanonicalisedTwice) {
    EXPECT_EQ("http://h/", Canon(Canon("view-source:view-source:http://h/")));
    EXPECT_EQ("http://h%4/", Canon("http://h%4"));
    EXPECT_EQ("http://h%3f/", Canon(Canon("http://h%4")));
    EXPECT_EQ("file:////x", Canon(Canon("file://////x")));
    // A '%' copied because too little followed it meets an escape.
    EXPECT_EQ("http://h/%%01", Canon("http://h/%\x01"));
    EXPECT_EQ("http://h/P1", Canon("http://h/%%01"));
    // The file: rules lower escapes, which stay lowered only in file: URLs.
    EXPECT_EQ("ftp://h.d/a%c3%a9", Canon("file://h.d/A%C3%A9"));
    EXPECT_EQ("ftp://h.d/a%C3%A9", Canon("ftp://h.d/a%c3%a9"));
}

// ---- ResolveUrl ------------------------------------------------------------

const char kPage[] = "http://h/a/b.html";

TEST(ResolveUrl, ReferencesAgainstABase) {
    const ResolveCase rows[] = {
        // Plain relative names go into the base directory:
        {kPage, "c.html", "http://h/a/c.html"},
        {kPage, "d/e.gif", "http://h/a/d/e.gif"},
        {kPage, "", "http://h/a/"},
        {kPage, "a b%7e", "http://h/a/a%20b~"},
        {kPage, ":x", "http://h/a/:x"},
        // Queries and fragments are names in the directory:
        {kPage, "#top", "http://h/a/#top"},
        {kPage, "?q=1", "http://h/a/?q=1"},
        {kPage, "c.html?q=%2f#f", "http://h/a/c.html?q=%2F#f"},
        // Root relative references keep scheme and host:
        {kPage, "/x", "http://h/x"},
        {kPage, "/", "http://h/"},
        {"http://h:81/a/b", "/x", "http://h:81/x"},
        // Dot segments move up but never above the root:
        {kPage, "./x", "http://h/a/x"},
        {kPage, "../x", "http://h/x"},
        {kPage, "../../x", "http://h/x"},
        {kPage, "../../../../x", "http://h/x"},
        {"http://h/a/b/c/d.html", "../.././x", "http://h/a/x"},
        {kPage, "./", "http://h/a/"},
        {kPage, "../", "http://h/"},
        // A final dot or dot dot leaves no trailing slash:
        {"http://h/a/b/c.html", ".", "http://h/a/b"},
        {"http://h/a/b/c.html", "..", "http://h/a"},
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
        {kPage, "mailto:someone", "mailto:someone"},
        {kPage, "mailto:Some One", "mailto:Some%20One"},
        {kPage, "http://Other:80/y", "http://other/y"},
        {kPage, "HTTP:c.html", "HTTP:c.html"},
        {kPage, "https:c", "https:c"},
        {kPage, "http:", "http:"},
        {kPage, "view-source:http://H/", "http://h/"},
        {kPage, "file:C:\\X.htm", "file:///c|/x.htm"},
        // Network paths take the base scheme:
        {kPage, "//Other/p", "http://other/p"},
        {kPage, "//other:80", "http://other/"},
        {"ftp://f/x", "//other/p", "ftp://other/p"},
        {"gopher://f/1", "//g:70", "gopher://g/"},
        {"", "//H/x", "://h/x"},
        // Angle brackets and url prefix are unwrapped:
        {kPage, "<URL:http://h/x>", "http://h/x"},
        {kPage, "<c.html>", "http://h/a/c.html"},
        {kPage, "URL:c.html", "http://h/a/c.html"},
        {kPage, "<..>", "http://h"},
        {kPage, "c.html>", "http://h/a/c.html>"},
        {kPage, "<>", "http://h/a/"},
        {kPage, "<", "http://h/a/"},
        // Only "URL:" in capitals is the prefix; "url:" is a scheme.
        {kPage, "url:x", "url:x"},
        // With a network path the '>' stays.
        {kPage, "<//h/x>", "http://h/x>"},
        // File bases are normalised after joining:
        {"file:///c|/web/a.htm", "b.htm", "file:///c|/web/b.htm"},
        {"file:///c|/web/a.htm", "Sub\\Page.HTM", "file:///c|/web/sub/page.htm"},
        {"file:///c|/web/a.htm", "../x.htm", "file:///c|/x.htm"},
        {"file:///c|/web/a.htm", "../../../x", "file:///x"},
        {"file:///c|/web/a.htm", "/c|/Top.htm", "file:///c|/top.htm"},
        // Bases without host or directory:
        {"mailto:x", "y", "mailto:x/y"},
        {"x-skeind-1:/a/1", "2", "x-skeind-1:/a/2"},
        {"", "y", "/y"},
        {"http://h", "y", "http://h/y"},
    };
    for (const ResolveCase& row : rows)
        EXPECT_EQ(row.want, Resolve(row.base, row.ref)) << "base: " << row.base << ", reference: " << Shown(row.ref);
}

TEST(ResolveUrl, OffsetsOutsideTheBaseAreBroughtIntoIt) {
    UrlBuffer b;
    ResolveUrl(kPage, -5, 9999, "c", &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_EQ(std::string(kPage) + "c", b.text);
    ResolveUrl(kPage, 9999, -1, "../x", &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_EQ(std::string(kPage) + "/x", b.text);
    ResolveUrl(nullptr, 3, 3, nullptr, &b);
    EXPECT_STREQ("/", b.text);
}

TEST(ResolveUrl, LongResultsAreCutLikeCanonicalOnes) {
    std::string ref = std::string(2000, 'r');
    UrlBuffer b;
    ResolveUrl(kPage, 8, 11, ref.c_str(), &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("http://h/a/" + std::string(kUrlMax - 11, 'r'), b.text);

    std::string base = "http://h/" + std::string(1010, 'd') + "/";
    UrlSplit s = SplitUrl(base.c_str());
    ResolveUrl(base.c_str(), s.host_end, s.dir_end, "x y", &b);
    EXPECT_TRUE(WellFormed(b));
    EXPECT_EQ(base + "x", b.text);  // "%20" does not fit in the one place left
}

TEST(ResolveUrlProperties, AbsoluteReferencesDoNotDependOnTheBase) {
    const char* refs[] = {"http://Other:80/y", "ftp://F/pub", "gopher://g:70/1",
                          "file://host.domain/x", "HTTP://X", "http://h/a b",
                          "<URL:http://H/x>", "news://n/g"};
    const char* bases[] = {kPage, "", "ftp://f/x/", "mailto:x", "file:///c|/a/b.htm",
                           "x-skeind-1:/h/"};
    for (const char* ref : refs) {
        std::string want = Resolve("", ref);
        for (const char* base : bases) EXPECT_EQ(want, Resolve("file:///c|/web/a.htm", ref)) << ref << " @ " << base;
    }
    EXPECT_EQ(Canon("http://Other:80/y"), Resolve(kPage, "http://Other:80/y"));
}

TEST(ResolveUrlProperties, RelativeReferencesStayOnTheBaseSite) {
    const char* refs[] = {"x", "../x", "../../../../x", "./../y/", "..", ".", "/", "/../x",
                          "#f", "?q", "", "http:../../z"};
    for (const char* ref : refs) {
        std::string r = Resolve("http://h/a/b/c.html", ref);
        EXPECT_EQ(0u, r.find("http://h")) << ref << " -> " << r;
    }
}

// ---- SplitUrl --------------------------------------------------------------

TEST(SplitUrl, HostEndAndDirectoryEnd) {
    const SplitCase rows[] = {
        // Host end and directory end:
        {"http://h/a/b.html", 8, 11},
        {"http://h/", 8, 9},
        {"http://h:81/a/", 11, 14},
        {"http://h/a/b/", 8, 13},
        {"http://h?x/y", 10, 11},
        {"file:///c|/web/x.htm", 7, 15},
        {"file:////srv/x", 7, 13},
        // Without a host slashes:
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
    for (const SplitCase& row : rows) {
        UrlSplit split = SplitUrl(row.url);
        EXPECT_EQ(row.host_end, split.host_end) << "url: " << Shown(row.url);
        EXPECT_EQ(row.dir_end, split.dir_end) << "url: " << Shown(row.url);
    }
}

// ---- UrlDisplayName -------------------------------------------------------

TEST(UrlDisplayName, NamesOfUrls) {
    const TextCase rows[] = {
        // Names from the last segment:
        {"http://h/a/b.html", "(b.html)"},
        {"http://h/a/b.html?x=1", "(b.html?x=1)"},
        {"http://h/a/b/", "(b/)"},
        {"http://h/a/", "(a/)"},
        {"file:///c|/", "(c|/)"},
        {"file:////srv/", "(srv/)"},
        // Index pages name their directory:
        {"http://h/a/index.html", "(a/index.html)"},
        {"http://h/a/b/Welcome.html", "(b/Welcome.html)"},
        {"http://h/index.html", "(h/index.html)"},
        {"http://h:81/Welcome.htm", "(h:81/Welcome.htm)"},
        {"http://h/a/welcome.html", "(welcome.html)"},
        {"http://h/a/index", "(index)"},
        // Roots name their host:
        {"http://h/", "(h/)"},
        {"http://h", "(h)"},
        {"http://", "()"},
        {"file:///", AppString(IDS_LOCAL_DISC_FILES)},
        {"file://", AppString(IDS_LOCAL_DISC_FILES)},
        {"file:////srv/", "(srv/)"},
        // Urls without host are shown whole:
        {"x-skeind-1:/h/", "(x-skeind-1:/h/)"},
        {"x-skeind-1:/a/12", "(x-skeind-1:/a/12)"},
        {"mailto:someone", "(mailto:someone)"},
    };
    for (const TextCase& row : rows) EXPECT_EQ(row.want, Name(row.input)) << "input: " << Shown(row.input);
}

TEST(UrlDisplayName, EmptyOrColonLessUrlsAreNullAddresses) {
    UrlBuffer b;
    EXPECT_EQ(UrlNameNullAddress, UrlDisplayName("", 0, 0, &b));
    EXPECT_STREQ("-- error: null address --", b.text);
    EXPECT_EQ(UrlNameNullAddress, UrlDisplayName(nullptr, 0, 0, &b));
    EXPECT_STREQ(kNullAddressName, b.text);
    EXPECT_EQ(UrlNameNullAddress, UrlDisplayName("x-skeind-1/lost-name-4", 0, 11, &b));
    EXPECT_EQ(UrlNameShort, UrlDisplayName("http://h/", 7, 9, &b));
    EXPECT_EQ(UrlNameLocalDisc, UrlDisplayName("file:///", 7, 8, &b));
    EXPECT_STREQ("Files on local disc", b.text);
}

TEST(UrlDisplayName, OffsetsThatDoNotFitTheTextAreWorkedOutAgain) {
    UrlBuffer b;
    UrlDisplayName("http://h/a/b.html", 500, -3, &b);
    EXPECT_STREQ("(b.html)", b.text);
    UrlDisplayName("http://h/a/b.html", -1, 11, &b);
    EXPECT_STREQ("(b.html)", b.text);
}

TEST(UrlDisplayName, LongNamesKeepTheirParentheses) {
    std::string own = "x-skeind-1:/a/" + std::string(1500, '7');
    UrlBuffer b;
    EXPECT_EQ(UrlNameShort, UrlDisplayName(own.c_str(), 0, 14, &b));
    EXPECT_TRUE(WellFormed(b));
    EXPECT_EQ(kUrlMax, b.length);
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("(" + own.substr(0, kUrlMax - 2) + ")", b.text);
}

// ---- LocalPathOfUrl ---------------------------------------------------------

TEST(LocalPathOfUrl, FileUrlsToPaths) {
    const TextCase rows[] = {
        // Drive paths:
        {"file:///c|/web/a%20b.htm", "c:/web/a b.htm"},
        {"file:///c|/", "c:/"},
        {"file:///c:/x", "c:/x"},
        {"file:/c|/x", "c:/x"},
        {"file:/c:/x", "c:/x"},
        {"file:///c|/caf%e9", "c:/caf\xe9"},
        // Network paths:
        {"file:////srv/pub/x.htm", "//srv/pub/x.htm"},
        {"file://///srv/x", "//srv/x"},
        // Edges of file urls:
        {"file:///", ""},
        {"file:", ""},
        {"file:x", "x"},
        {"file:/x", "/x"},
        {"file://host/x", "//host/x"},
        {"file:///c|/a%00b", "c:/a%00b"},
        {"file:///c|/a%", "c:/a%"},
        {"file:///c|/a%4", "c:/a%4"},
        {"file:///c|/100%25", "c:/100%"},
    };
    for (const TextCase& row : rows) EXPECT_EQ(row.want, LocalPath(row.input)) << "input: " << Shown(row.input);
}

TEST(LocalPathOfUrl, OtherUrlsGiveNothing) {
    EXPECT_EQ("<none>", LocalPath("http://h/x"));
    EXPECT_EQ("<none>", LocalPath("FILE:///c|/x"));
    EXPECT_EQ("<none>", LocalPath("fil"));
    EXPECT_EQ("<none>", LocalPath(""));
    UrlBuffer b;
    EXPECT_FALSE(LocalPathOfUrl(nullptr, &b));
}

TEST(LocalPathOfUrl, LongNamesAreCut) {
    std::string url = "file:///c|/" + std::string(1500, 'x');
    UrlBuffer b;
    EXPECT_TRUE(LocalPathOfUrl(url.c_str(), &b));
    EXPECT_TRUE(WellFormed(b));
    EXPECT_TRUE(b.truncated);
    EXPECT_EQ("c:/" + std::string(kUrlMax - 3, 'x'), b.text);
}

// ---- ContentTypeOfMime ----------------------------------------------------------

TEST(ContentTypeOfMime, CodesOfTypes) {
    const CodeCase rows[] = {
        // Known types:
        {"text/html", 0x45},
        {"text/plain", 0x85},
        {"image/gif", 0x33},
        {"image/jpeg", 0x53},
        {"audio/basic", 0x22},
        {"audio/aiff", 0x12},
        {"video/mpeg", 0x66},
        {"video/quicktime", 0x96},
        // Experimental prefixes are dropped:
        {"audio/x-wav", 0xA2},
        {"image/x-xbitmap", 0xB3},
        {"video/x-msvideo", 0x76},
        {"x-world/x-vrml", 0x00},
        {"x-text/x-html", 0x45},
        // Unknown halves give zero halves:
        {"application/zip", 0x01},
        {"multipart/x-mixed-replace", 0x04},
        {"foo/gif", 0x30},
        {"foo/bar", 0x00},
        {"nonsense", 0x00},
        // Byte-wise, so upper case matches nothing.
        {"TEXT/html", 0x40},
        {"Image/GIF", 0x00},
        // Parts match names they are prefixes of:
        {"te/html", 0x45},
        {"im/gi", 0x33},
        {"vid/q", 0x96},
        {"texts/htmls", 0x00},
        // An empty half matches nothing.
        {"image/", 0x03},
        {"/gif", 0x30},
        {"/", 0x00},
        // The token ends at semicolon or white space:
        {"text/html; charset=iso-8859-1", 0x45},
        {"text/plain\r\n", 0x85},
        {"image/gif\tx", 0x33},
        {"image/jpeg;q=1", 0x53},
        // Prefixes of text html and the empty token are html:
        {"", 0x45},
        {nullptr, 0x45},
        {"text", 0x45},
        {"text/", 0x45},
        {"text/h", 0x45},
        {";charset=x", 0x45},
        {" text/plain", 0x45},
        {"text/html5", 0x05},
    };
    for (const CodeCase& row : rows)
        EXPECT_EQ(row.code, (int)ContentTypeOfMime(row.input)) << "input: " << Shown(row.input);
}

TEST(ContentTypeOfMime, CodesAreBuiltFromTheNamedHalves) {
    EXPECT_EQ(kTextHtml, MakeContentType(kMajorText, kMinorHtml));
    EXPECT_EQ(kTextPlain, MakeContentType(kMajorText, kMinorPlain));
    EXPECT_EQ(kImageGif, MakeContentType(kMajorImage, kMinorGif));
    EXPECT_EQ(kMajorAudio, MajorTypeOf(ContentTypeOfMime("audio/x-wav")));
    EXPECT_EQ(kMinorWav, MinorTypeOf(ContentTypeOfMime("audio/x-wav")));
}

// ---- ContentTypeOfUrl and the extension table -------------------------------

TEST(ContentTypeOfUrl, EveryListedExtension) {
    struct Case {
        const char* list;
        int code;
    };
    const Case cases[] = {
        {"htm,html", 0x45}, {"txt,text", 0x85}, {"au,snd", 0x22}, {"wav", 0xA2},
        {"aif,aiff,aifc", 0x12}, {"mpe,mpeg,mpg", 0x66}, {"qt,mov", 0x96}, {"avi", 0x76},
        {"rgb,ppm,pgm,pbm,pnm,xwd,xpm,ras,tiff,tif", 0x03}, {"xbm", 0xB3}, {"gif", 0x33},
        {"jpe,jpeg,jpg", 0x53},
    };
    int total = 0;
    for (const Case& c : cases) {
        std::string list = c.list;
        size_t from = 0;
        for (;;) {
            size_t comma = list.find(',', from);
            std::string ext = list.substr(from, comma == std::string::npos ? comma : comma - from);
            EXPECT_EQ(c.code, TypeOfUrl("http://h/d/file." + ext)) << ext;
            ++total;
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    EXPECT_EQ(total, ProgramExtensionTable().count);
}

TEST(ContentTypeOfUrl, CodesOfExtensions) {
    const CodeCase rows[] = {
        // Extensions are lowered before lookup:
        {"http://h/X.GIF", 0x33},
        {"http://h/a.HtMl", 0x45},
        // No extension gives zero:
        {"http://h/", 0},
        {"http://h/readme", 0},
        {"http://h/a.", 0},
        {"http://h.gif/", 0},
        {"http://h/a.gif/b", 0},
        {"http://h/a.exe", 0},
        {"", 0},
        // The segment runs to the end query and fragment included:
        {"http://h/a.cgi?x=1.2", 0},
        {"http://h/a.cgi?img=b.gif", 0x33},
        {"http://h/a.html#top", 0},
        {"http://h/a.html?x", 0},
    };
    for (const CodeCase& row : rows) EXPECT_EQ(row.code, TypeOfUrl(row.input)) << "url: " << row.input;
}

TEST(ContentTypeOfUrl, LongExtensionsGiveZero) {
    std::string ext31(31, 'g'), ext32(32, 'g');
    EXPECT_EQ(0, TypeOfUrl("http://h/a." + ext31));
    EXPECT_EQ(0, TypeOfUrl("http://h/a." + ext32));
    // The limit is on the extension, not on the segment.
    EXPECT_EQ(0x33, TypeOfUrl("http://h/" + std::string(5000, 'x') + ".gif"));
}

TEST(ContentTypeOfUrl, TheSegmentStartsAtTheGivenDirectoryEnd) {
    EXPECT_EQ(0, ContentTypeOfUrl(nullptr, 0));
    EXPECT_EQ(0x33, ContentTypeOfUrl("a.gif", 0));
    EXPECT_EQ(0x33, ContentTypeOfUrl("x-skeind-1:/a/b.gif", 14));
    EXPECT_EQ(0, ContentTypeOfUrl("http://h/a.gif", 20));  // past the end: empty
    EXPECT_EQ(0x33, ContentTypeOfUrl("http://h/a.gif", -4));
    EXPECT_EQ(0, ContentTypeOfUrl("http://h/a.gif/b", 9));
}

TEST(ExtensionTable, TheProgramTableIsSortedByteWise) {
    const ExtensionTable& t = ProgramExtensionTable();
    ASSERT_EQ(31, t.count);
    for (int i = 1; i < t.count; ++i)
        EXPECT_LT(strcmp(t.entries[i - 1].text, t.entries[i].text), 0) << t.entries[i].text;
}

TEST(ExtensionTable, AnExtensionKeepsItsFirstCode) {
    ExtensionTable t;
    ClearExtensionTable(&t);
    EXPECT_TRUE(AddExtensions(&t, "htm,html", 0x45));
    EXPECT_TRUE(AddExtensions(&t, "html,shtml,htm", 0x85));
    EXPECT_EQ(3, t.count);
    EXPECT_EQ(0x45, LookupExtension(t, "htm", 3));
    EXPECT_EQ(0x45, LookupExtension(t, "html", 4));
    EXPECT_EQ(0x85, LookupExtension(t, "shtml", 5));
    EXPECT_EQ(0, LookupExtension(t, "ht", 2));
    EXPECT_EQ(0, LookupExtension(t, "htmls", 5));
    EXPECT_EQ(0x45, LookupExtension(t, "html5", 4));
}

TEST(ExtensionTable, BadItemsAreSkippedAndReported) {
    ExtensionTable t;
    ClearExtensionTable(&t);
    EXPECT_FALSE(AddExtensions(&t, "a,,b", 1));
    EXPECT_EQ(2, t.count);
    std::string longest(kExtensionMax, 'z');
    EXPECT_TRUE(AddExtensions(&t, longest.c_str(), 2));
    EXPECT_FALSE(AddExtensions(&t, (longest + "z").c_str(), 3));
    EXPECT_EQ(3, t.count);
    EXPECT_EQ(2, LookupExtension(t, longest.c_str(), kExtensionMax));
    EXPECT_FALSE(AddExtensions(&t, "", 4));
    EXPECT_FALSE(AddExtensions(&t, nullptr, 4));
    EXPECT_EQ(3, t.count);
}

TEST(ExtensionTable, AFullTableRefusesMore) {
    ExtensionTable t;
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
    for (int i = 1; i < t.count; ++i)
        EXPECT_LT(strcmp(t.entries[i - 1].text, t.entries[i].text), 0);
    EXPECT_EQ(kExtensionCapacity, LookupExtension(t, "e00", 3));
}

}  // namespace
