// Proxy settings, the choice of proxy or direct, and the request text.
#include "observe/fetch_plan.h"

#include <gtest/gtest.h>

TEST(FetchPlan, ProxyTextAndOverrides) {
    ProxySettings p;
    p.Set("proxy:81", "Intranet; a.b:8080,,\tc\n");
    EXPECT_EQ("proxy", p.host);
    EXPECT_EQ(81, p.port);
    EXPECT_EQ((std::vector<std::string>{"intranet", "a.b:8080", "c"}), p.overrides);
    p.Set("p2:0x51", 0);
    EXPECT_EQ(81, p.port);
    p.Set("p3:010", "");
    EXPECT_EQ(8, p.port);
    p.Set("p4", "");
    EXPECT_EQ(80, p.port);
    p.Set(0, "x");
    EXPECT_EQ("", p.host);
}

struct PlanCase {
    const char* proxy;
    const char* url;
    bool fetched;
    const char* connect;  // host:port
    const char* target;
};

const PlanCase kPlans[] = {
    {"", "http://Example.COM/a/b?q=1", true, "example.com:80", "/a/b?q=1"},
    {"", "http://h:8080", true, "h:8080", "/"},
    {"", "ftp://h/x", false, "", ""},
    {"", "http:///x", false, "", ""},
    {"proxy:81", "http://intranet/", true, "intranet:80", "/"},
    {"proxy:81", "http://host:82/x", true, "proxy:81", "http://host:82/x"},
    {"proxy:81", "http://a.b:8080/", true, "a.b:8080", "/"},  // override with its port
    {"proxy:81", "http://a.b/", true, "proxy:81", "http://a.b/"},
    {"proxy:81", "http://intranet:81/", true, "proxy:81", "http://intranet:81/"},
    {"proxy:81", "ftp://intranet/f", true, "proxy:81", "ftp://intranet/f"},
    {"proxy:81", "gopher://h/", true, "proxy:81", "gopher://h/"},
};

TEST(FetchPlan, ProxyOrDirectAndTarget) {
    for (const PlanCase& c : kPlans) {
        SCOPED_TRACE(std::string(c.proxy) + " " + c.url);
        ProxySettings p;
        p.Set(c.proxy, "intranet a.b:8080");
        FetchPlan plan;
        ASSERT_EQ(c.fetched, PlanFetch(p, c.url, &plan));
        if (!c.fetched) continue;
        EXPECT_EQ(c.connect, plan.connect_host + ":" + std::to_string(plan.connect_port));
        EXPECT_EQ(c.target, plan.target);
        EXPECT_EQ("GET " + std::string(c.target) +
                      " HTTP/1.0\r\nUser-Agent: QMR-Skeindle/1.0.16d\r\nAccept: text/html\r\n\r\n",
                  plan.request);
    }
}
