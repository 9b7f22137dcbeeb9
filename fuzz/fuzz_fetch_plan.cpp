// fuzz_fetch_plan: a proxy setting, its override list and a URL, all as
// found in the registry or a page, planned into a fetch. The plan's parts
// must agree with each other whatever the texts hold.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "observe/fetch_plan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Three texts separated by NUL bytes: proxy, overrides, URL.
    std::string texts[3];
    int part = 0;
    for (size_t i = 0; i < size && part < 3; ++i) {
        if (data[i] == 0)
            ++part;
        else
            texts[part] += (char)data[i];
    }
    ProxySettings proxy;
    proxy.Set(texts[0].c_str(), texts[1].c_str());
    for (const std::string& o : proxy.overrides)
        if (o.empty() || o.find_first_of(",; \t\n\r\f\v") != std::string::npos) abort();
    FetchPlan plan;
    if (!PlanFetch(proxy, texts[2].c_str(), &plan)) return 0;
    if (plan.via_proxy != (plan.connect_host == proxy.host && plan.target == texts[2])) abort();
    if (!plan.via_proxy && (plan.target.empty() || plan.target[0] != '/')) abort();
    std::string head = "GET " + plan.target + " HTTP/1.0\r\n";
    if (plan.request.compare(0, head.size(), head) != 0) abort();
    return 0;
}
