#include "observe/fetch_plan.h"

#include <stdlib.h>
#include <string.h>

const char kUserAgent[] = "QMR-Skeindle/1.0.16d";

namespace {

std::string LowerAscii(std::string text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] = (char)(text[i] - 'A' + 'a');
    return text;
}

}  // namespace

void ProxySettings::Set(const char* proxy, const char* override_text) {
    std::string text = proxy ? proxy : "";
    size_t colon = text.find(':');
    host = text.substr(0, colon);
    port = 80;
    if (colon != std::string::npos) port = (uint16_t)strtoul(text.c_str() + colon + 1, 0, 0);
    overrides.clear();
    const char* separators = ",; \t\n\r\f\v";
    const char* p = override_text ? override_text : "";
    while (*p) {
        size_t n = strcspn(p, separators);
        if (n > 0) overrides.push_back(LowerAscii(std::string(p, n)));
        p += n;
        p += strspn(p, separators);
    }
}

bool ProxySettings::UsedFor(const std::string& url_host, uint16_t url_port) const {
    if (host.empty()) return false;
    std::string key = url_host;
    if (url_port != 80) key += ":" + std::to_string(url_port);
    for (size_t i = 0; i < overrides.size(); ++i)
        if (overrides[i] == key) return false;
    return true;
}

bool PlanFetch(const ProxySettings& proxy, const char* url, FetchPlan* plan) {
    std::string u = url ? url : "";
    bool http = u.compare(0, 7, "http://") == 0;
    size_t scheme_end = u.find("://");
    size_t host_start = scheme_end == std::string::npos ? 0 : scheme_end + 3;
    size_t host_end = u.find('/', host_start);
    std::string host_port = u.substr(host_start, host_end == std::string::npos ? std::string::npos : host_end - host_start);
    size_t colon = host_port.find(':');
    plan->host = LowerAscii(host_port.substr(0, colon));
    plan->port = 80;
    if (colon != std::string::npos) {
        unsigned long p = strtoul(host_port.c_str() + colon + 1, 0, 10);
        if (p != 0) plan->port = (uint16_t)p;
    }
    plan->via_proxy = http ? proxy.UsedFor(plan->host, plan->port) : !proxy.host.empty();
    if (!http && !plan->via_proxy) return false;
    if (plan->host.empty() && !plan->via_proxy) return false;
    if (plan->via_proxy) {
        plan->connect_host = proxy.host;
        plan->connect_port = proxy.port;
        plan->target = u;
    } else {
        plan->connect_host = plan->host;
        plan->connect_port = plan->port;
        plan->target = host_end == std::string::npos ? "/" : u.substr(host_end);
    }
    plan->request = "GET " + plan->target + " HTTP/1.0\r\nUser-Agent: " + kUserAgent + "\r\nAccept: text/html\r\n\r\n";
    return true;
}
