// Where one of the program's own HTTP fetches connects and what it sends:
// the browser's proxy settings, the choice between proxy and direct, and
// the HTTP/1.0 request text. Pure text work, no sockets.
#ifndef SKEIND_OBSERVE_FETCH_PLAN_H
#define SKEIND_OBSERVE_FETCH_PLAN_H

#include <stdint.h>

#include <string>
#include <vector>

extern const char kUserAgent[];  // "QMR-Skeindle/1.0.16d"

struct ProxySettings {
    std::string host;  // empty: no proxy
    uint16_t port = 80;
    std::vector<std::string> overrides;  // lower-case hosts, "host:port" off port 80

    // `proxy` is "host" or "host:port" (port in decimal, 0x-hex or
    // 0-octal); `overrides` is split at ",; \t\n\r\f\v". Null texts are
    // empty; an empty proxy text means no proxy.
    void Set(const char* proxy, const char* override_text);
    bool UsedFor(const std::string& host, uint16_t port) const;
};

struct FetchPlan {
    std::string host;  // the URL's host, lower case
    uint16_t port = 80;
    bool via_proxy = false;
    std::string connect_host;  // the host or the proxy host
    uint16_t connect_port = 80;
    std::string target;        // the whole URL through a proxy, else the path
    std::string request;       // the whole request text
};

// False when the URL cannot be fetched: only http: URLs go direct.
bool PlanFetch(const ProxySettings& proxy, const char* url, FetchPlan* plan);

#endif
