// The bridge's own logic, apart from its pipes and its DDE service: what
// each message from the extension makes of the program's datagrams, URL
// echoes and saved files, and what each verb the program sends asks of
// the extension.
//
// From the extension (one JSON object each):
//   {"type":"page"...} / {"type":"load"...}   bridge/page_report.h
//   {"type":"shown", "url":U, "mime":M, "window":W, "referrer":R, "active":A}
//       a navigation committed in a tab of window W (its tab in front
//       unless A is false): echoed
//   {"type":"active", "window":W, "url":U, "title":T}
//       the tab in front of window W, and W in front of the others
//   {"type":"closed", "window":W}
//   {"type":"fetched", "id":N, "ok":true, "body":BASE64}
//       the answer to a fetch; the body goes into the file asked for
// To the extension:
//   {"type":"open", "url":U, "window":W}   W: a window, 0 a new one
//   {"type":"fetch", "id":N, "url":U}
//   {"type":"activate", "window":W}
#ifndef SKEIND_BRIDGE_BRIDGE_HOST_H
#define SKEIND_BRIDGE_BRIDGE_HOST_H

#include <stdint.h>

#include <map>
#include <string>

#include "bridge/browser_verbs.h"
#include "bridge/page_report.h"

// What the bridge does outside itself.
class ABridgeOutput {
public:
    virtual void ToExtension(const std::string& json) = 0;
    // Pokes WWW_URLEcho to every registered receiver.
    virtual void Echo(const std::string& url, const std::string& mime, uint32_t window,
                      const std::string& referrer) = 0;
    // Writes a fetched body into the file the program named; false when it
    // cannot.
    virtual bool WriteBody(const std::string& file, const std::string& body) = 0;
    // Reports a load's begin, size and end to the receivers.
    virtual void Progress(uint32_t transaction, uint32_t size) = 0;
    // Sends what the reports made, now that a message is done.
    virtual void FlushReports() = 0;

protected:
    ~ABridgeOutput() {}
};

// Connection ids of the bridge's reports start here, far above the socket
// handles a shim uses as ids.
const uint32_t kFirstBridgeId = 0x40000000u;

class BridgeHost : public ABrowserSide {
public:
    BridgeHost(AClient* reports, ABridgeOutput* out) : reporter_(reports, kFirstBridgeId), out_(out) {}

    // One message from the extension; false when it was not understood
    // (and it then changed nothing).
    bool FromExtension(const std::string& message);

    bool Showing(uint32_t window, std::string* url, std::string* title) override;
    uint32_t ShowUrl(const std::string& url, uint32_t window, uint32_t flags) override;
    uint32_t SaveUrl(const std::string& url, const std::string& file) override;
    uint32_t Activate(uint32_t window) override;

    // Saves not yet answered by the extension.
    size_t pending_saves() const { return saves_.size(); }

private:
    struct Shown {
        std::string url;
        std::string title;
    };
    bool Fetched(const JsonValue& m);

    PageReporter reporter_;
    ABridgeOutput* out_;
    std::map<uint32_t, Shown> windows_;
    uint32_t front_ = 0;                     // the window in front; 0 before the extension said
    std::map<uint32_t, std::string> saves_;  // transaction -> file
    uint32_t next_save_ = 1;
};

// Decodes standard base64 (white space passed over, padding optional);
// false on any other byte.
bool DecodeBase64(const std::string& text, std::string* out);

#endif
