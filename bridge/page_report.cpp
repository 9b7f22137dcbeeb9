#include "bridge/page_report.h"

#include <string.h>

namespace {

// A link kind as the scanner reports the same tag: the link type and the
// extra text that goes with it (null: the link's own text).
struct KindOfLink {
    const char* name;
    int type;
    const char* extra;
};

const KindOfLink kKinds[] = {
    {"anchor", LT_ANCHOR, 0},    {"include", LT_INCLUDE, 0}, {"frame", LT_INCLUDE, "frame"},
    {"query", LT_MISC, "query"}, {"other", LT_MISC, 0},
};

const KindOfLink* FindKind(const char* name) {
    if (name == 0) return 0;
    for (const KindOfLink& k : kKinds)
        if (strcmp(k.name, name) == 0) return &k;
    return 0;
}

bool NamesAPage(const char* url) {
    return url != 0 && *url != 0;
}

// An HTTP status is three digits; anything else is left unsaid.
int StatusOf(const JsonValue& v) {
    int64_t status = v.NumberOf("status", 0);
    return status >= 100 && status <= 999 ? (int)status : 0;
}

int OperationOf(const JsonValue& report) {
    const char* method = report.TextOf("method");
    return method != 0 && strcmp(method, "HEAD") == 0 ? OP_HEAD : OP_GET;
}

}  // namespace

ReportResult PageReporter::Report(const JsonValue& report) {
    const char* type = report.TextOf("type");
    if (type == 0) return ReportNotAReport;
    if (strcmp(type, "page") == 0) return Page(report);
    if (strcmp(type, "load") == 0) return Load(report);
    return ReportNotAReport;
}

void PageReporter::Redirect(const JsonValue& hop, int op) {
    const char* url = hop.TextOf("url");
    if (!NamesAPage(url)) return;
    uint32_t id = next_id_++;
    client_->Request(id, url, op);
    int status = StatusOf(hop);
    if (status) client_->Status(id, status);
    const char* to = hop.TextOf("to");
    if (NamesAPage(to)) client_->Link(id, to, LT_REDIRECT, 0);
    client_->Close(id);
}

void PageReporter::Links(uint32_t id, const JsonValue& links) {
    for (const JsonValue& link : links.items) {
        const KindOfLink* kind = FindKind(link.TextOf("kind"));
        const char* url = link.TextOf("url");
        if (kind == 0 || !NamesAPage(url)) continue;
        const char* text = link.TextOf("text");
        client_->Link(id, url, kind->type, kind->extra ? kind->extra : text);
    }
}

ReportResult PageReporter::Page(const JsonValue& report) {
    const char* url = report.TextOf("url");
    if (!NamesAPage(url)) return ReportNoUrl;
    int op = OperationOf(report);
    const JsonValue* redirects = report.Find("redirects");
    if (redirects && redirects->type == JsonArray)
        for (const JsonValue& hop : redirects->items) Redirect(hop, op);
    uint32_t id = next_id_++;
    client_->Request(id, url, op);
    int status = StatusOf(report);
    if (status) client_->Status(id, status);
    const char* mime = report.TextOf("mime");
    if (mime && *mime) client_->ContentType(id, mime);
    const char* base = report.TextOf("base");
    if (NamesAPage(base)) client_->Base(id, base);
    const char* title = report.TextOf("title");
    if (title && *title) client_->Title(id, title, TT_TITLE);
    const char* heading = report.TextOf("heading");
    if (heading && *heading) client_->Title(id, heading, TT_H1);
    const JsonValue* links = report.Find("links");
    if (links && links->type == JsonArray) Links(id, *links);
    client_->Close(id);
    return ReportSent;
}

ReportResult PageReporter::Load(const JsonValue& report) {
    const char* url = report.TextOf("url");
    if (!NamesAPage(url)) return ReportNoUrl;
    uint32_t id = next_id_++;
    client_->Request(id, url, OP_GET);
    int status = StatusOf(report);
    if (status) client_->Status(id, status);
    const char* mime = report.TextOf("mime");
    if (mime && *mime) client_->ContentType(id, mime);
    client_->Close(id);
    const char* page = report.TextOf("page");
    if (NamesAPage(page)) {
        uint32_t from = next_id_++;
        client_->Request(from, page, OP_GET);
        const char* what = report.TextOf("what");
        client_->Link(from, url, LT_INCLUDE, what);
        client_->Close(from);
    }
    return ReportSent;
}
