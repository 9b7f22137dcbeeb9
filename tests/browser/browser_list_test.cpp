// The fallback list's names and kinds, and the service a program file is
// guessed to serve.
#include <gtest/gtest.h>

#include "browser/browser_list.h"
#include "browser/verb_table.h"

static std::string Names(const char* fallback) {
    BrowserList list;
    list.SetFallback(fallback);
    std::string out;
    for (const FallbackName& n : list.FallbackNames()) out += n.name + ":" + std::to_string(n.kind) + " ";
    return out;
}

TEST(BrowserList, FallbackNamesWithTheirKinds) {
    EXPECT_EQ("netscape:1 iexplore:2 mosaic:0 ", Names(kDefaultFallbackList));
    EXPECT_EQ("both:3 plus:2 *star:2 ", Names("*+Both;+PLUS;;+*star;"));  // "+*": the star is part of the name
    EXPECT_EQ("", Names(""));
    EXPECT_EQ("", Names(";*;+;*+"));
}

TEST(BrowserList, ContainsComparesExactly) {
    BrowserList list;
    BrowserEntry e = {1, "netscape.exe", "netscape", "", "", 0};
    list.Append(e);
    EXPECT_TRUE(list.Contains("netscape"));
    EXPECT_FALSE(list.Contains("Netscape"));
    EXPECT_FALSE(list.Contains("net"));
    EXPECT_FALSE(list.Contains(nullptr));
}

TEST(BrowserList, ServiceGuessedFromProgramFile) {
    struct Case { const char* path; const char* service; } cases[] = {
        {"C:\\Program Files\\Netscape\\NETSCAPE.EXE", "netscape"},
        {"c:/x/iexplore.exe", "iexplore"},
        {"opera.exe", "mosaic"},
        {"netscape", "netscape"},
        {"C:\\dir.with.dots\\netscape.v2.exe", "netscape"},
        {"", "mosaic"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.service, GuessServiceName(c.path)) << c.path;
    EXPECT_EQ(kNetscapeKind, KindOfRegisteredService("netscape"));
    EXPECT_EQ(kExplorerKind, KindOfRegisteredService("iexplore"));
    EXPECT_EQ(0u, KindOfRegisteredService("mosaic"));
}
