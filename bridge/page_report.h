// The extension's reports of what the browser loaded, made into the calls
// the socket shim makes for the same traffic, so that the program records
// them as it records a doctored browser's pages: one connection id per
// request, Request, Status, ContentType, Base, titles and links, Close.
//
// A "page" report (a navigation):
//   {"type":"page", "method":"GET", "url":U, "status":200, "mime":"text/html",
//    "redirects":[{"url":U0, "status":301, "to":U1}, ...],
//    "title":T, "heading":H, "base":B,
//    "links":[{"kind":K, "url":U, "text":T}, ...]}
// Each redirect is a request of its own whose answer is a redirect link.
// Link kinds: "anchor" (its text is the anchor text), "include" (its text
// says what: image, script, stylesheet...), "frame", "query" (a form's
// target), "other".
//
// A "load" report (a part of a page seen loading):
//   {"type":"load", "url":U, "status":200, "mime":M, "page":P, "what":W}
// gives the part its status and type, and the page an include link to it.
#ifndef SKEIND_BRIDGE_PAGE_REPORT_H
#define SKEIND_BRIDGE_PAGE_REPORT_H

#include <stdint.h>

#include "bridge/json.h"
#include "observe/client.h"

enum ReportResult {
    ReportSent = 0,
    ReportNoUrl,       // no page named: nothing sent
    ReportNotAReport,  // not a page or load report
};

class PageReporter {
public:
    // `client` receives the calls (a DatagramClient in the host); ids are
    // handed out from `first_id` on.
    PageReporter(AClient* client, uint32_t first_id) : client_(client), next_id_(first_id) {}

    ReportResult Report(const JsonValue& report);

private:
    ReportResult Page(const JsonValue& report);
    ReportResult Load(const JsonValue& report);
    void Redirect(const JsonValue& hop, int op);
    void Links(uint32_t id, const JsonValue& links);

    AClient* client_;
    uint32_t next_id_;
};

#endif
