#include "browser/browser_list.h"

#include <string.h>

#include "browser/verb_table.h"

const char kDefaultFallbackList[] = "*netscape;+iexplore;mosaic";

std::string LowerAscii(const char* text) {
    std::string out = text ? text : "";
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i] >= 'A' && out[i] <= 'Z') out[i] = (char)(out[i] + ('a' - 'A'));
    return out;
}

void BrowserList::Clear() { entries_.clear(); }

void BrowserList::SetFallback(const char* text) { fallback_ = LowerAscii(text); }

bool BrowserList::Contains(const char* service) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].service == (service ? service : "")) return true;
    return false;
}

std::vector<FallbackName> BrowserList::FallbackNames() const {
    std::vector<FallbackName> names;
    size_t at = 0;
    while (at <= fallback_.size()) {
        size_t end = fallback_.find(';', at);
        if (end == std::string::npos) end = fallback_.size();
        FallbackName n = {fallback_.substr(at, end - at), 0};
        size_t skip = 0;
        if (skip < n.name.size() && n.name[skip] == '*') {
            n.kind |= kNetscapeKind;
            ++skip;
        }
        if (skip < n.name.size() && n.name[skip] == '+') {
            n.kind |= kExplorerKind;
            ++skip;
        }
        n.name.erase(0, skip);
        if (!n.name.empty()) names.push_back(n);
        at = end + 1;
    }
    return names;
}

std::string GuessServiceName(const char* program_path) {
    const char* path = program_path ? program_path : "";
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    std::string name = LowerAscii(base);
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name == "netscape" || name == "iexplore") return name;
    return "mosaic";
}

uint32_t KindOfRegisteredService(const std::string& service) {
    if (service == "netscape") return kNetscapeKind;
    if (service == "iexplore") return kExplorerKind;
    return 0;
}
