// What a Web browser answers to the verbs a program sends it over DDE: its
// version, registrations for URL echoes, the page a window shows, opening
// a URL in a window or into a file, and bringing a window forward. The
// stand-in browser (tools/testbrowser) and the bridge to today's browsers
// (skeindbridge.exe) both answer through it; what showing, saving and
// activating do is theirs.
#ifndef SKEIND_BRIDGE_BROWSER_VERBS_H
#define SKEIND_BRIDGE_BROWSER_VERBS_H

#include <stdint.h>

#include <string>
#include <vector>

enum VerbReplyKind { ReplyNone, ReplyNumber, ReplyText };

struct VerbReply {
    VerbReplyKind kind = ReplyNone;
    uint32_t number = 0;
    std::string text;  // sent with its NUL
};

const uint32_t kCurrentWindow = 0xFFFFFFFFu;

// The browser behind the verbs.
class ABrowserSide {
public:
    // The URL and title window `window` shows (kCurrentWindow: the one in
    // front); false when there is no such window.
    virtual bool Showing(uint32_t window, std::string* url, std::string* title) = 0;
    // Shows `url` in `window` (0: a new one, kCurrentWindow: the one in
    // front); the window that took it, 0 when refused.
    virtual uint32_t ShowUrl(const std::string& url, uint32_t window, uint32_t flags) = 0;
    // Loads `url` into the file `file`; the load's transaction number,
    // which its progress reports carry, or 0 when refused.
    virtual uint32_t SaveUrl(const std::string& url, const std::string& file) = 0;
    // Brings `window` forward; the window brought forward, 0 when none.
    virtual uint32_t Activate(uint32_t window) = 0;

protected:
    ~ABrowserSide() {}
};

struct BrowserIdentity {
    unsigned major = 1, minor = 0;
    std::string name = "Browser";  // in the other kind's version reply
};

class BrowserVerbs {
public:
    BrowserVerbs(const BrowserIdentity& identity, ABrowserSide* side) : identity_(identity), side_(side) {}

    // The answer to verb number `verb` (browser/verb_table.h) with `item`
    // (null reads as empty), requested or poked alike.
    VerbReply Answer(int verb, const char* item);

    // The services registered for URL echoes, oldest first.
    const std::vector<std::string>& echo_receivers() const { return receivers_; }

    void SetVersion(unsigned major, unsigned minor) {
        identity_.major = major;
        identity_.minor = minor;
    }

private:
    VerbReply OpenUrl(const char* item);
    VerbReply Register(int verb, const char* item);

    BrowserIdentity identity_;
    ABrowserSide* side_;
    std::vector<std::string> receivers_;
};

// The item of a WWW_URLEcho poke.
std::string UrlEchoItem(const std::string& url, const std::string& mime, uint32_t window, const std::string& referrer);

#endif
