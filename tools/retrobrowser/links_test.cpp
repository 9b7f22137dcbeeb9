// retrobrowser's reading of pages and URLs, against values worked out by
// hand. Every page is also read cut short at each byte, from a buffer of
// exactly that size, so that a read past the end shows under a sanitizer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "tools/retrobrowser/links.h"

namespace {

void Collect(void* context, int kind, const char* value, size_t len) {
    std::vector<std::string>* out = (std::vector<std::string>*)context;
    EXPECT_EQ(strlen(value), len);
    const char* names[] = {"?", "page", "inclusion", "base"};
    out->push_back(std::string(names[kind]) + " " + std::string(value, len));
}

std::vector<std::string> Links(const std::string& html) {
    std::vector<std::string> found;
    ReadLinks(html.data(), html.size(), Collect, &found);
    return found;
}

std::string Resolve(const char* base, const char* ref) {
    HttpUrl b, out;
    char text[URL_TEXT_MAX];
    if (!ParseHttpUrl(base, strlen(base), &b)) return "bad base";
    if (!ResolveUrl(&b, ref, strlen(ref), &out)) return "none";
    if (!FormatUrl(&out, text, sizeof text)) return "too long";
    return text;
}

std::string Parse(const char* text) {
    HttpUrl url;
    char out[URL_TEXT_MAX];
    if (!ParseHttpUrl(text, strlen(text), &url)) return "none";
    if (!FormatUrl(&url, out, sizeof out)) return "too long";
    return out;
}

TEST(ReadLinks, EachKindOfLink) {
    std::vector<std::string> want = {
        "page a.html",      "page map.html",   "page left.html", "page ad.html",     "inclusion logo.gif",
        "inclusion bg.gif", "inclusion s.css", "inclusion s.js", "base http://h/d/",
    };
    EXPECT_EQ(want, Links("<A HREF=\"a.html\">A</a><area shape=rect href='map.html'><FRAME SRC=left.html>"
                          "<iframe src=ad.html></iframe><img alt=\"x\" src=logo.gif><Body BackGround=\"bg.gif\">"
                          "<link rel=stylesheet href=s.css><script src=\"s.js\"></script><base href=http://h/d/>"));
}

TEST(ReadLinks, ValuesAsASimpleBrowserReadsThem) {
    EXPECT_EQ(std::vector<std::string>({"page a b.html"}), Links("<a href = \"a b.html\">"));
    EXPECT_EQ(std::vector<std::string>({"page x>y.html"}), Links("<a title='>' href='x>y.html'>"));
    EXPECT_EQ(std::vector<std::string>({"page q?a=1&b=2"}), Links("<a href=\"q?a=1&amp;b=2\">"));
    EXPECT_EQ(std::vector<std::string>({"page it's.html"}), Links("<a href=\"it's.html\">"));
    EXPECT_EQ(std::vector<std::string>({"inclusion a.gif/"}), Links("<img src=a.gif/>"));
    EXPECT_EQ(std::vector<std::string>({"page "}), Links("<a href=\"\">"));
    // The first href counts; names without values and other tags do not.
    EXPECT_EQ(std::vector<std::string>({"page one"}), Links("<a href=one href=two>"));
    EXPECT_EQ(std::vector<std::string>({"page two"}), Links("<a name href=two>"));
    EXPECT_TRUE(Links("<abbr href=x><img srcset=y><a name=z><p src=w><a src=v>").empty());
}

TEST(ReadLinks, SkipsCommentsAndScriptText) {
    EXPECT_EQ(std::vector<std::string>({"page after"}), Links("<!-- <a href=in> --><a href=after>"));
    EXPECT_EQ(std::vector<std::string>({"inclusion x.js", "page after"}),
              Links("<script src=x.js>document.write('<a href=no>')</SCRIPT><a href=after>"));
    EXPECT_EQ(std::vector<std::string>({"page after"}), Links("<style>a<img src=no></style><a href=after>"));
    EXPECT_EQ(std::vector<std::string>({"page a"}), Links("1 < 2, </a> <!DOCTYPE html> <a href=a>"));
}

TEST(ReadLinks, PagesCutShort) {
    EXPECT_TRUE(Links("<a href=\"never-closed.html>text").empty());
    EXPECT_TRUE(Links("<!-- <a href=x>").empty());
    EXPECT_TRUE(Links("<script><a href=x>").empty());
    // Unclosed tag at the end: the value is read up to the end.
    EXPECT_EQ(std::vector<std::string>({"page x"}), Links("<a href=x"));
    std::string page =
        "<html><head><title>T</title><script src='s.js'></script><!-- c --></head>"
        "<body background=bg.gif><a href=\"a.html#f\">a</a> <img src=i.gif alt='<'><a\nhref\n=\nb.html>";
    for (size_t n = 0; n <= page.size(); n++) {
        std::vector<char> exact(page.begin(), page.begin() + n);
        std::vector<std::string> found;
        ReadLinks(n ? &exact[0] : "", n, Collect, &found);
        EXPECT_LE(found.size(), 5u) << n;
    }
}

TEST(ReadLinks, ValueTooLongForAUrlIsNoLink) {
    std::string longer(URL_TEXT_MAX, 'x');
    EXPECT_TRUE(Links("<a href=" + longer + ">").empty());
    EXPECT_EQ(1u, Links("<a href=" + longer.substr(0, URL_TEXT_MAX - 1) + ">").size());
}

TEST(ResolveUrl, RelativeReferences) {
    const char* base = "http://h:81/d/e/page.html?q=1";
    EXPECT_EQ("http://h:81/d/e/g.html", Resolve(base, "g.html"));
    EXPECT_EQ("http://h:81/d/e/g.html", Resolve(base, "./g.html"));
    EXPECT_EQ("http://h:81/d/g.html", Resolve(base, "../g.html"));
    EXPECT_EQ("http://h:81/g.html", Resolve(base, "../../../../g.html"));
    EXPECT_EQ("http://h:81/d/", Resolve(base, ".."));
    EXPECT_EQ("http://h:81/d/e/", Resolve(base, "."));
    EXPECT_EQ("http://h:81/d/e/", Resolve(base, "./"));
    EXPECT_EQ("http://h:81/x/y", Resolve(base, "/x/./z/../y"));
    EXPECT_EQ("http://h:81/d/e/page.html?r=2", Resolve(base, "?r=2"));
    EXPECT_EQ("http://h:81/d/e/page.html?q=1", Resolve(base, ""));
    EXPECT_EQ("http://h:81/d/e/page.html?q=1", Resolve(base, "#top"));
    EXPECT_EQ("http://h:81/d/e/g.html", Resolve(base, "  g.html#part \n"));
    EXPECT_EQ("http://h:81/d/e/a?b/../c", Resolve(base, "a?b/../c"));
    EXPECT_EQ("http://h:81/d/e/old.html", Resolve(base, "HTTP:old.html"));
}

TEST(ResolveUrl, AbsoluteAndOtherSchemes) {
    const char* base = "http://h:81/d/page.html";
    EXPECT_EQ("http://other.example/x", Resolve(base, "http://Other.Example/x"));
    EXPECT_EQ("http://other.example:8080/", Resolve(base, "//other.example:8080"));
    EXPECT_EQ("http://h/", Resolve(base, "http://user@h:80"));
    EXPECT_EQ("none", Resolve(base, "mailto:guild@h"));
    EXPECT_EQ("none", Resolve(base, "javascript:void(0)"));
    EXPECT_EQ("none", Resolve(base, "ftp://h/file"));
    EXPECT_EQ("none", Resolve(base, "http://h:99999/"));
    EXPECT_EQ("none", Resolve(base, "http://h:8x/"));
    EXPECT_EQ("none", Resolve(base, "http:///x"));
    EXPECT_EQ("none", Resolve(base, "http://h%20x/"));
}

TEST(ResolveUrl, UnsafeBytesEscaped) {
    EXPECT_EQ("http://h/a%20b%0D%0AHost:%20x%E9", Resolve("http://h/", "a b\r\nHost: x\xe9"));
}

TEST(ResolveUrl, TooLongIsNone) {
    std::string path(URL_PATH_MAX - 1, 'p');
    EXPECT_EQ("http://h/" + path.substr(1), Resolve("http://h/", path.substr(1).c_str()));
    EXPECT_EQ("none", Resolve("http://h/", path.c_str()));
    std::string spaces(URL_PATH_MAX / 3 + 1, ' ');
    EXPECT_EQ("none", Resolve("http://h/", ("a" + spaces + "b").c_str()));
}

TEST(ParseHttpUrl, StartUrls) {
    EXPECT_EQ("http://127.0.0.1:8080/", Parse("http://127.0.0.1:8080"));
    EXPECT_EQ("http://www.quillmere.example/a", Parse("HTTP://WWW.Quillmere.example:/a#b"));
    EXPECT_EQ("http://h/?x", Parse("http://h?x"));
    EXPECT_EQ("none", Parse("www.quillmere.example/"));
    EXPECT_EQ("none", Parse("http://:80/"));
    EXPECT_EQ("none", Parse("http://h:0/"));
    EXPECT_EQ("none", Parse("https://h/"));
    EXPECT_EQ("none", Parse(""));
}

TEST(FormatUrl, ShortBuffer) {
    HttpUrl url;
    ASSERT_TRUE(ParseHttpUrl("http://h:81/abc", 15, &url));
    char text[16];
    EXPECT_FALSE(FormatUrl(&url, text, 15));
    EXPECT_TRUE(FormatUrl(&url, text, 16));
    EXPECT_STREQ("http://h:81/abc", text);
}

}  // namespace
