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

// ---- Percent normalisation ----------------------------------------------

TEST(PercentNormalisation, DecodesEscapesOfOrdinaryCharacters) {
    EXPECT_EQ("~", Percent("%7e"));
    EXPECT_EQ("~", Percent("%7E"));
    EXPECT_EQ("/A/b", Percent("/%41/%62"));
    EXPECT_EQ("a.b-c_d", Percent("a%2eb%2Dc%5fd"));
}

TEST(PercentNormalisation, KeepsEscapesOfReservedAndUnsafeBytesInUpperCase) {
    EXPECT_EQ("%2F", Percent("%2f"));
    EXPECT_EQ("%3A", Percent("%3a"));
    EXPECT_EQ("%3F%2B%23%25", Percent("%3f%2b%23%25"));
    EXPECT_EQ("%20%00%7F%80%E9%FF", Percent("%20%00%7f%80%e9%ff"));
    // A decoded '%' is not read again as the start of an escape.
    EXPECT_EQ("%2541", Percent("%2541"));
}

TEST(PercentNormalisation, EscapesSpacesControlsAndHighBytes) {
    EXPECT_EQ("a%20b", Percent("a b"));
    EXPECT_EQ("%09%0D%0A%1F", Percent("\t\r\n\x1f"));
    EXPECT_EQ("%7F", Percent("\x7f"));
    EXPECT_EQ("caf%E9", Percent("caf\xe9"));
    EXPECT_EQ("%80%FF", Percent("\x80\xff"));
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

TEST(PercentNormalisation, NonHexDigitsAreReadByTheOldArithmetic) {
    // 'z' counts 122-87 = 35: 35*16 kept to 8 bits is 48, plus 35 is 'S'.
    EXPECT_EQ("S", Percent("%zz"));
    // 'G' counts 71-87 = -16, so the high digit vanishes: byte 1.
    EXPECT_EQ("%01", Percent("%G1"));
    // '%' counts -11: -176 + 4 is 84 modulo 256, 'T'.
    EXPECT_EQ("T1", Percent("%%41"));
    // 'G' is past the upper-case range: as a low digit it counts -16.
    EXPECT_EQ("%00", Percent("%1G"));
    EXPECT_EQ("%F0", Percent("%0G"));
    // '@' is above '9' and below 'G': 64-55 = 9.
    EXPECT_EQ("%99", Percent("%@@"));
    // A space after '%' is part of the escape, never copied raw.
    EXPECT_EQ("%00", Percent("% 0"));
}

// ---- CanonicalUrl: hosts and ports ----------------------------------------

TEST(CanonicalUrl, LowersTheHostAndEndsItWithASlash) {
    EXPECT_EQ("http://host/", Canon("http://Host"));
    EXPECT_EQ("http://host.domain/Path/File.HTML", Canon("http://HOST.Domain/Path/File.HTML"));
    EXPECT_EQ("http://h/?Q", Canon("http://H/?Q"));
    EXPECT_EQ("http://user@h/", Canon("http://User@H"));
}

TEST(CanonicalUrl, DropsOnlyTheDefaultPortOfHttpAndGopher) {
    EXPECT_EQ("http://host/x", Canon("http://host:80/x"));
    EXPECT_EQ("http://host/", Canon("http://host:80"));
    EXPECT_EQ("http://h:81/", Canon("http://h:81"));
    EXPECT_EQ("gopher://h/1", Canon("gopher://h:70/1"));
    EXPECT_EQ("gopher://h:80/1", Canon("gopher://h:80/1"));
    EXPECT_EQ("http://h:70/", Canon("http://h:70/"));
    EXPECT_EQ("ftp://h:21/", Canon("ftp://h:21/"));
    EXPECT_EQ("http://h:8080/", Canon("http://h:8080/"));
    EXPECT_EQ("http://h:800/", Canon("http://h:800/"));
    // Only the first ':' after "//" counts: a user:password hides the port.
    EXPECT_EQ("http://u:p@h:80/", Canon("http://u:p@h:80/"));
}

TEST(CanonicalUrl, KeepsTheCaseOfTheSchemeSoUpperCaseHttpKeepsItsPort) {
    EXPECT_EQ("HTTP://host.domain:80/", Canon("HTTP://Host.Domain:80"));
    EXPECT_EQ("Gopher://h:70/", Canon("Gopher://h:70"));
}

TEST(CanonicalUrl, OnlyADoubleSlashAtTheFirstSlashMakesAHost) {
    EXPECT_EQ("mailto:Someone@Example.COM", Canon("mailto:Someone@Example.COM"));
    EXPECT_EQ("news:Comp.Infosystems", Canon("news:Comp.Infosystems"));
    EXPECT_EQ("http:X/Y//Z", Canon("http:X/Y//Z"));
    EXPECT_EQ("//host/", Canon("//Host"));
    EXPECT_EQ("http:///x", Canon("http:///x"));
    EXPECT_EQ("http:///", Canon("http://"));
}

TEST(CanonicalUrl, DropsOneLeadingViewSource) {
    EXPECT_EQ("http://h/", Canon("view-source:http://h/"));
    EXPECT_EQ("http://h/", Canon("view-source:http://H:80"));
    EXPECT_EQ("View-Source:http://h/", Canon("View-Source:http://H/"));
    EXPECT_EQ("view-source:http://h/", Canon("view-source:view-source:http://h/"));
    EXPECT_EQ("", Canon("view-source:"));
}

TEST(CanonicalUrl, NormalisesEscapesEverywhere) {
    EXPECT_EQ("http://h/A", Canon("http://h/%41"));
    EXPECT_EQ("http://h/a%3Ab", Canon("http://h/a%3ab"));
    EXPECT_EQ("http://h/caf%E9", Canon("http://h/caf\xe9"));
    EXPECT_EQ("http://h/a%20b?x=%2F#f", Canon("http://h/a b?x=%2f#f"));
    // Escapes in the host are lowered along with it.
    EXPECT_EQ("http://a%20b%c3%a9/", Canon("http://a b%C3%a9"));
    EXPECT_EQ("http://host/", Canon("http://%48ost"));
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

TEST(CanonicalFileUrl, DriveLettersBecomeThreeSlashesAndABar) {
    EXPECT_EQ("file:///c|/x", Canon("file:c:\\x"));
    EXPECT_EQ("file:///c|/web/index.htm", Canon("file:C:\\Web\\Index.HTM"));
    EXPECT_EQ("file:///c|/x", Canon("file:/c:/x"));
    EXPECT_EQ("file:///c|/x", Canon("file:///c:/x"));
    EXPECT_EQ("file:///c|/x", Canon("file:///C|/X"));
    EXPECT_EQ("file:///c|/a/b", Canon("file:///C:\\A\\B"));
    EXPECT_EQ("file:///c|", Canon("file:c:"));
}

TEST(CanonicalFileUrl, NetworkNamesBecomeFourSlashes) {
    EXPECT_EQ("file:////server/x", Canon("file://server/x"));
    EXPECT_EQ("file:////name/x", Canon("file://Name/x"));
    EXPECT_EQ("file:////host/share/a.htm", Canon("file:\\\\Host\\Share\\A.htm"));
    EXPECT_EQ("file:////srv/x", Canon("file:////srv/x"));
    EXPECT_EQ("file:////srv/x", Canon("file://///srv/x"));
    // A name after two slashes gets no bar, even with a colon.
    EXPECT_EQ("file:////c:/x", Canon("file://c:/x"));
}

TEST(CanonicalFileUrl, DottedHostsAreFetchedByFtp) {
    EXPECT_EQ("ftp://host.domain/x", Canon("file://host.domain/x"));
    EXPECT_EQ("ftp://host.domain/pub", Canon("file://host.domain/pub"));
    EXPECT_EQ("ftp://h.d/pub/readme.txt", Canon("file://H.D/Pub/ReadMe.TXT"));
    EXPECT_EQ("ftp://h.d/", Canon("file://h.d"));
    // Backslashes are turned from the host's first dot on only.
    EXPECT_EQ("ftp://a\\b.c/d/e", Canon("file://a\\b.c/d\\e"));
}

TEST(CanonicalFileUrl, ShortAndOddFileUrls) {
    EXPECT_EQ("file:///", Canon("file:"));
    EXPECT_EQ("file:///", Canon("file:/"));
    EXPECT_EQ("file:///", Canon("file://"));
    EXPECT_EQ("file:///", Canon("file:///"));
    EXPECT_EQ("file:///x", Canon("file:x"));
    EXPECT_EQ("file:////x", Canon("file:\\x"));
    EXPECT_EQ("file:///readme", Canon("file:/README"));
    EXPECT_EQ("file:///c|/a%20b%e9", Canon("file:c:\\a b%E9"));
    // Scheme matching is exact: FILE: is left alone apart from its host.
    EXPECT_EQ("FILE:C:\\X", Canon("FILE:C:\\X"));
}

// Two consequences of applying the rules once, in their order.
TEST(CanonicalFileUrl, SixSlashesLoseOnlyOneAndBackslashesAreCountedLate) {
    EXPECT_EQ("file://///x", Canon("file://////x"));
    EXPECT_EQ("file://///x", Canon("file:\\\\/x"));
    EXPECT_EQ("file://///x", Canon("file:///\\\\x"));
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

TEST(ResolveUrl, PlainRelativeNamesGoIntoTheBaseDirectory) {
    EXPECT_EQ("http://h/a/c.html", Resolve(kPage, "c.html"));
    EXPECT_EQ("http://h/a/d/e.gif", Resolve(kPage, "d/e.gif"));
    EXPECT_EQ("http://h/a/", Resolve(kPage, ""));
    EXPECT_EQ("http://h/a/a%20b~", Resolve(kPage, "a b%7e"));
    EXPECT_EQ("http://h/a/:x", Resolve(kPage, ":x"));
}

TEST(ResolveUrl, QueriesAndFragmentsAreNamesInTheDirectory) {
    EXPECT_EQ("http://h/a/#top", Resolve(kPage, "#top"));
    EXPECT_EQ("http://h/a/?q=1", Resolve(kPage, "?q=1"));
    EXPECT_EQ("http://h/a/c.html?q=%2F#f", Resolve(kPage, "c.html?q=%2f#f"));
}

TEST(ResolveUrl, RootRelativeReferencesKeepSchemeAndHost) {
    EXPECT_EQ("http://h/x", Resolve(kPage, "/x"));
    EXPECT_EQ("http://h/", Resolve(kPage, "/"));
    EXPECT_EQ("http://h:81/x", Resolve("http://h:81/a/b", "/x"));
}

TEST(ResolveUrl, DotSegmentsMoveUpButNeverAboveTheRoot) {
    EXPECT_EQ("http://h/a/x", Resolve(kPage, "./x"));
    EXPECT_EQ("http://h/x", Resolve(kPage, "../x"));
    EXPECT_EQ("http://h/x", Resolve(kPage, "../../x"));
    EXPECT_EQ("http://h/x", Resolve(kPage, "../../../../x"));
    EXPECT_EQ("http://h/a/x", Resolve("http://h/a/b/c/d.html", "../.././x"));
    EXPECT_EQ("http://h/a/", Resolve(kPage, "./"));
    EXPECT_EQ("http://h/", Resolve(kPage, "../"));
}

TEST(ResolveUrl, AFinalDotOrDotDotLeavesNoTrailingSlash) {
    EXPECT_EQ("http://h/a/b", Resolve("http://h/a/b/c.html", "."));
    EXPECT_EQ("http://h/a", Resolve("http://h/a/b/c.html", ".."));
    EXPECT_EQ("http://h/a", Resolve("http://h/a/b/c.html", "./.."));
    EXPECT_EQ("http://h", Resolve(kPage, ".."));
    EXPECT_EQ("http://h", Resolve("http://h/", "."));
}

TEST(ResolveUrl, DotsFollowedByOtherCharactersAreNames) {
    EXPECT_EQ("http://h/a/.profile", Resolve(kPage, ".profile"));
    EXPECT_EQ("http://h/a/..x", Resolve(kPage, "..x"));
    EXPECT_EQ("http://h/...", Resolve(kPage, "../..."));
}

TEST(ResolveUrl, SameSchemeWithoutSlashesIsRelative) {
    EXPECT_EQ("http://h/a/foo.html", Resolve(kPage, "http:foo.html"));
    EXPECT_EQ("http://h/x", Resolve(kPage, "http:/x"));
    EXPECT_EQ("http://h/x", Resolve(kPage, "http:../x"));
}

TEST(ResolveUrl, OtherSchemesAndDoubleSlashesAreAbsolute) {
    EXPECT_EQ("mailto:someone", Resolve(kPage, "mailto:someone"));
    EXPECT_EQ("mailto:Some%20One", Resolve(kPage, "mailto:Some One"));
    EXPECT_EQ("http://other/y", Resolve(kPage, "http://Other:80/y"));
    EXPECT_EQ("HTTP:c.html", Resolve(kPage, "HTTP:c.html"));
    EXPECT_EQ("https:c", Resolve(kPage, "https:c"));
    EXPECT_EQ("http:", Resolve(kPage, "http:"));
    EXPECT_EQ("http://h/", Resolve(kPage, "view-source:http://H/"));
    EXPECT_EQ("file:///c|/x.htm", Resolve(kPage, "file:C:\\X.htm"));
}

TEST(ResolveUrl, NetworkPathsTakeTheBaseScheme) {
    EXPECT_EQ("http://other/p", Resolve(kPage, "//Other/p"));
    EXPECT_EQ("http://other/", Resolve(kPage, "//other:80"));
    EXPECT_EQ("ftp://other/p", Resolve("ftp://f/x", "//other/p"));
    EXPECT_EQ("gopher://g/", Resolve("gopher://f/1", "//g:70"));
    EXPECT_EQ("://h/x", Resolve("", "//H/x"));
}

TEST(ResolveUrl, AngleBracketsAndUrlPrefixAreUnwrapped) {
    EXPECT_EQ("http://h/x", Resolve(kPage, "<URL:http://h/x>"));
    EXPECT_EQ("http://h/a/c.html", Resolve(kPage, "<c.html>"));
    EXPECT_EQ("http://h/a/c.html", Resolve(kPage, "URL:c.html"));
    EXPECT_EQ("http://h", Resolve(kPage, "<..>"));
    EXPECT_EQ("http://h/a/c.html>", Resolve(kPage, "c.html>"));
    EXPECT_EQ("http://h/a/", Resolve(kPage, "<>"));
    EXPECT_EQ("http://h/a/", Resolve(kPage, "<"));
    // Only "URL:" in capitals is the prefix; "url:" is a scheme.
    EXPECT_EQ("url:x", Resolve(kPage, "url:x"));
    // With a network path the '>' stays.
    EXPECT_EQ("http://h/x>", Resolve(kPage, "<//h/x>"));
}

TEST(ResolveUrl, FileBasesAreNormalisedAfterJoining) {
    const char base[] = "file:///c|/web/a.htm";
    EXPECT_EQ("file:///c|/web/b.htm", Resolve(base, "b.htm"));
    EXPECT_EQ("file:///c|/web/sub/page.htm", Resolve(base, "Sub\\Page.HTM"));
    EXPECT_EQ("file:///c|/x.htm", Resolve(base, "../x.htm"));
    EXPECT_EQ("file:///x", Resolve(base, "../../../x"));
    EXPECT_EQ("file:///c|/top.htm", Resolve(base, "/c|/Top.htm"));
}

TEST(ResolveUrl, BasesWithoutHostOrDirectory) {
    EXPECT_EQ("mailto:x/y", Resolve("mailto:x", "y"));
    EXPECT_EQ("x-skeind-1:/a/2", Resolve("x-skeind-1:/a/1", "2"));
    EXPECT_EQ("/y", Resolve("", "y"));
    EXPECT_EQ("http://h/y", Resolve("http://h", "y"));
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
        for (const char* base : bases) EXPECT_EQ(want, Resolve(base, ref)) << ref << " @ " << base;
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

void ExpectSplit(const char* url, int host_end, int dir_end) {
    UrlSplit s = SplitUrl(url);
    EXPECT_EQ(host_end, s.host_end) << url;
    EXPECT_EQ(dir_end, s.dir_end) << url;
}

TEST(SplitUrl, HostEndAndDirectoryEnd) {
    ExpectSplit("http://h/a/b.html", 8, 11);
    ExpectSplit("http://h/", 8, 9);
    ExpectSplit("http://h:81/a/", 11, 14);
    ExpectSplit("http://h/a/b/", 8, 13);
    ExpectSplit("http://h?x/y", 10, 11);
    ExpectSplit("file:///c|/web/x.htm", 7, 15);
    ExpectSplit("file:////srv/x", 7, 13);
}

TEST(SplitUrl, WithoutAHostSlashes) {
    ExpectSplit("http://h", 8, 0);
    ExpectSplit("http://", 7, 0);
    ExpectSplit("x-skeind-1:/h/com", 0, 14);
    ExpectSplit("x-skeind-1/lost-name-2", 0, 11);
    ExpectSplit("mailto:x", 0, 0);
    ExpectSplit("", 0, 0);
    ExpectSplit(nullptr, 0, 0);
    // The first "//" counts, wherever it is.
    ExpectSplit("a/b//c/d", 6, 7);
}

// ---- UrlDisplayName -------------------------------------------------------

TEST(UrlDisplayName, NamesFromTheLastSegment) {
    EXPECT_EQ("(b.html)", Name("http://h/a/b.html"));
    EXPECT_EQ("(b.html?x=1)", Name("http://h/a/b.html?x=1"));
    EXPECT_EQ("(b/)", Name("http://h/a/b/"));
    EXPECT_EQ("(a/)", Name("http://h/a/"));
    EXPECT_EQ("(c|/)", Name("file:///c|/"));
    EXPECT_EQ("(srv/)", Name("file:////srv/"));
}

TEST(UrlDisplayName, IndexPagesNameTheirDirectory) {
    EXPECT_EQ("(a/index.html)", Name("http://h/a/index.html"));
    EXPECT_EQ("(b/Welcome.html)", Name("http://h/a/b/Welcome.html"));
    EXPECT_EQ("(h/index.html)", Name("http://h/index.html"));
    EXPECT_EQ("(h:81/Welcome.htm)", Name("http://h:81/Welcome.htm"));
    EXPECT_EQ("(welcome.html)", Name("http://h/a/welcome.html"));
    EXPECT_EQ("(index)", Name("http://h/a/index"));
}

TEST(UrlDisplayName, RootsNameTheirHost) {
    EXPECT_EQ("(h/)", Name("http://h/"));
    EXPECT_EQ("(h)", Name("http://h"));
    EXPECT_EQ("()", Name("http://"));
    EXPECT_EQ(AppString(IDS_LOCAL_DISC_FILES), Name("file:///"));
    EXPECT_EQ(AppString(IDS_LOCAL_DISC_FILES), Name("file://"));
    EXPECT_EQ("(srv/)", Name("file:////srv/"));
}

TEST(UrlDisplayName, UrlsWithoutHostAreShownWhole) {
    EXPECT_EQ("(x-skeind-1:/h/)", Name("x-skeind-1:/h/"));
    EXPECT_EQ("(x-skeind-1:/a/12)", Name("x-skeind-1:/a/12"));
    EXPECT_EQ("(mailto:someone)", Name("mailto:someone"));
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

TEST(LocalPathOfUrl, DrivePaths) {
    EXPECT_EQ("c:/web/a b.htm", LocalPath("file:///c|/web/a%20b.htm"));
    EXPECT_EQ("c:/", LocalPath("file:///c|/"));
    EXPECT_EQ("c:/x", LocalPath("file:///c:/x"));
    EXPECT_EQ("c:/x", LocalPath("file:/c|/x"));
    EXPECT_EQ("c:/x", LocalPath("file:/c:/x"));
    EXPECT_EQ("c:/caf\xe9", LocalPath("file:///c|/caf%e9"));
}

TEST(LocalPathOfUrl, NetworkPaths) {
    EXPECT_EQ("//srv/pub/x.htm", LocalPath("file:////srv/pub/x.htm"));
    EXPECT_EQ("//srv/x", LocalPath("file://///srv/x"));
}

TEST(LocalPathOfUrl, OtherUrlsGiveNothing) {
    EXPECT_EQ("<none>", LocalPath("http://h/x"));
    EXPECT_EQ("<none>", LocalPath("FILE:///c|/x"));
    EXPECT_EQ("<none>", LocalPath("fil"));
    EXPECT_EQ("<none>", LocalPath(""));
    UrlBuffer b;
    EXPECT_FALSE(LocalPathOfUrl(nullptr, &b));
}

TEST(LocalPathOfUrl, EdgesOfFileUrls) {
    EXPECT_EQ("", LocalPath("file:///"));
    EXPECT_EQ("", LocalPath("file:"));
    EXPECT_EQ("x", LocalPath("file:x"));
    EXPECT_EQ("/x", LocalPath("file:/x"));
    EXPECT_EQ("//host/x", LocalPath("file://host/x"));
    EXPECT_EQ("c:/a%00b", LocalPath("file:///c|/a%00b"));
    EXPECT_EQ("c:/a%", LocalPath("file:///c|/a%"));
    EXPECT_EQ("c:/a%4", LocalPath("file:///c|/a%4"));
    EXPECT_EQ("c:/100%", LocalPath("file:///c|/100%25"));
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

TEST(ContentTypeOfMime, KnownTypes) {
    EXPECT_EQ(0x45, ContentTypeOfMime("text/html"));
    EXPECT_EQ(0x85, ContentTypeOfMime("text/plain"));
    EXPECT_EQ(0x33, ContentTypeOfMime("image/gif"));
    EXPECT_EQ(0x53, ContentTypeOfMime("image/jpeg"));
    EXPECT_EQ(0x22, ContentTypeOfMime("audio/basic"));
    EXPECT_EQ(0x12, ContentTypeOfMime("audio/aiff"));
    EXPECT_EQ(0x66, ContentTypeOfMime("video/mpeg"));
    EXPECT_EQ(0x96, ContentTypeOfMime("video/quicktime"));
}

TEST(ContentTypeOfMime, ExperimentalPrefixesAreDropped) {
    EXPECT_EQ(0xA2, ContentTypeOfMime("audio/x-wav"));
    EXPECT_EQ(0xB3, ContentTypeOfMime("image/x-xbitmap"));
    EXPECT_EQ(0x76, ContentTypeOfMime("video/x-msvideo"));
    EXPECT_EQ(0x00, ContentTypeOfMime("x-world/x-vrml"));
    EXPECT_EQ(0x45, ContentTypeOfMime("x-text/x-html"));
}

TEST(ContentTypeOfMime, UnknownHalvesGiveZeroHalves) {
    EXPECT_EQ(0x01, ContentTypeOfMime("application/zip"));
    EXPECT_EQ(0x04, ContentTypeOfMime("multipart/x-mixed-replace"));
    EXPECT_EQ(0x30, ContentTypeOfMime("foo/gif"));
    EXPECT_EQ(0x00, ContentTypeOfMime("foo/bar"));
    EXPECT_EQ(0x00, ContentTypeOfMime("nonsense"));
    // Byte-wise, so upper case matches nothing.
    EXPECT_EQ(0x40, ContentTypeOfMime("TEXT/html"));
    EXPECT_EQ(0x00, ContentTypeOfMime("Image/GIF"));
}

TEST(ContentTypeOfMime, PartsMatchNamesTheyArePrefixesOf) {
    EXPECT_EQ(0x45, ContentTypeOfMime("te/html"));
    EXPECT_EQ(0x33, ContentTypeOfMime("im/gi"));
    EXPECT_EQ(0x96, ContentTypeOfMime("vid/q"));
    EXPECT_EQ(0x00, ContentTypeOfMime("texts/htmls"));
    // An empty half matches nothing.
    EXPECT_EQ(0x03, ContentTypeOfMime("image/"));
    EXPECT_EQ(0x30, ContentTypeOfMime("/gif"));
    EXPECT_EQ(0x00, ContentTypeOfMime("/"));
}

TEST(ContentTypeOfMime, TheTokenEndsAtSemicolonOrWhiteSpace) {
    EXPECT_EQ(0x45, ContentTypeOfMime("text/html; charset=iso-8859-1"));
    EXPECT_EQ(0x85, ContentTypeOfMime("text/plain\r\n"));
    EXPECT_EQ(0x33, ContentTypeOfMime("image/gif\tx"));
    EXPECT_EQ(0x53, ContentTypeOfMime("image/jpeg;q=1"));
}

TEST(ContentTypeOfMime, PrefixesOfTextHtmlAndTheEmptyTokenAreHtml) {
    EXPECT_EQ(0x45, ContentTypeOfMime(""));
    EXPECT_EQ(0x45, ContentTypeOfMime(nullptr));
    EXPECT_EQ(0x45, ContentTypeOfMime("text"));
    EXPECT_EQ(0x45, ContentTypeOfMime("text/"));
    EXPECT_EQ(0x45, ContentTypeOfMime("text/h"));
    EXPECT_EQ(0x45, ContentTypeOfMime(";charset=x"));
    EXPECT_EQ(0x45, ContentTypeOfMime(" text/plain"));
    EXPECT_EQ(0x05, ContentTypeOfMime("text/html5"));
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

TEST(ContentTypeOfUrl, ExtensionsAreLoweredBeforeLookup) {
    EXPECT_EQ(0x33, TypeOfUrl("http://h/X.GIF"));
    EXPECT_EQ(0x45, TypeOfUrl("http://h/a.HtMl"));
}

TEST(ContentTypeOfUrl, NoExtensionGivesZero) {
    EXPECT_EQ(0, TypeOfUrl("http://h/"));
    EXPECT_EQ(0, TypeOfUrl("http://h/readme"));
    EXPECT_EQ(0, TypeOfUrl("http://h/a."));
    EXPECT_EQ(0, TypeOfUrl("http://h.gif/"));
    EXPECT_EQ(0, TypeOfUrl("http://h/a.gif/b"));
    EXPECT_EQ(0, TypeOfUrl("http://h/a.exe"));
    EXPECT_EQ(0, TypeOfUrl(""));
    EXPECT_EQ(0, ContentTypeOfUrl(nullptr, 0));
}

TEST(ContentTypeOfUrl, TheSegmentRunsToTheEndQueryAndFragmentIncluded) {
    EXPECT_EQ(0, TypeOfUrl("http://h/a.cgi?x=1.2"));
    EXPECT_EQ(0x33, TypeOfUrl("http://h/a.cgi?img=b.gif"));
    EXPECT_EQ(0, TypeOfUrl("http://h/a.html#top"));
    EXPECT_EQ(0, TypeOfUrl("http://h/a.html?x"));
}

TEST(ContentTypeOfUrl, LongExtensionsGiveZero) {
    std::string ext31(31, 'g'), ext32(32, 'g');
    EXPECT_EQ(0, TypeOfUrl("http://h/a." + ext31));
    EXPECT_EQ(0, TypeOfUrl("http://h/a." + ext32));
    // The limit is on the extension, not on the segment.
    EXPECT_EQ(0x33, TypeOfUrl("http://h/" + std::string(5000, 'x') + ".gif"));
}

TEST(ContentTypeOfUrl, TheSegmentStartsAtTheGivenDirectoryEnd) {
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
