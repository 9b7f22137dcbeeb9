// The browsers the program knows: one entry per configured browser, and
// the fallback list of DDE service names to try when none of them
// answers ("*netscape;+iexplore;mosaic": '*' marks the Netscape kind,
// '+' the Internet Explorer kind).
#ifndef SKEIND_BROWSER_BROWSER_LIST_H
#define SKEIND_BROWSER_BROWSER_LIST_H

#include <stdint.h>

#include <string>
#include <vector>

extern const char kDefaultFallbackList[];  // "*netscape;+iexplore;mosaic"

struct BrowserEntry {
    uint32_t flags;  // low two bits: the browser kind
    std::string key_name;
    std::string service;  // lower case
    std::string command;
    std::string description;
    uint32_t list_item;  // the data of its item in the Start Web Browser list
};

// One name of the fallback list with the kind its prefixes give.
struct FallbackName {
    std::string name;
    uint32_t kind;
};

class BrowserList {
public:
    BrowserList() : fallback_(kDefaultFallbackList) {}

    const std::vector<BrowserEntry>& entries() const { return entries_; }
    const std::string& fallback() const { return fallback_; }

    void Clear();
    void Append(const BrowserEntry& entry) { entries_.push_back(entry); }
    // Which list-box item shows entry `index` (the item's data).
    void SetListItem(size_t index, uint32_t item) { entries_[index].list_item = item; }
    // Lower-cased as it is stored.
    void SetFallback(const char* text);
    // Whether some entry's service is exactly `service`.
    bool Contains(const char* service) const;
    // The fallback names in order, each with its kind; empty names are
    // left out.
    std::vector<FallbackName> FallbackNames() const;

private:
    std::vector<BrowserEntry> entries_;
    std::string fallback_;
};

// ASCII letters in lower case.
std::string LowerAscii(const char* text);

// The DDE service a program file is guessed to serve: its file name, lower
// case, cut at the first '.', kept when it is "netscape" or "iexplore",
// else "mosaic".
std::string GuessServiceName(const char* program_path);

// The kind a service name has when it registers on its own.
uint32_t KindOfRegisteredService(const std::string& service);

#endif
