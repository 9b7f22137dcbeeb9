#include "observe/db_client.h"

#include <string.h>

#include <string>
#include <vector>

#include "observe/clean_text.h"
#include "observe/content_type.h"
#include "observe/url.h"
#include "store/node_ref.h"

namespace {

// Room for a cleaned anchor text (252 characters and "...") and a cleaned
// title (1,020 and "...").
const size_t kAnchorTitleRoom = 256;
const size_t kTitleRoom = 1024;

const LinkKind kKindOfLinkType[] = {LinkAnchor, LinkInclude, LinkOther, LinkRedirect};

// A link with a URL and one of the types above; others are passed over.
bool Takes(const char* url, int type) {
    return url != 0 && type >= LT_ANCHOR && type <= LT_REDIRECT;
}

bool HandledStatus(int code) {
    switch (code) {
    case 200: case 201: case 202: case 301: case 302: case 303: case 304: return true;
    default: return false;
    }
}

// A reference resolved against the page's label view (its base, or its
// URL), or made canonical when the page has neither.
void ResolveOnPage(AWorkspace& ws, NodeId page, const char* ref, UrlBuffer* out) {
    LabelView view = ws.GetLabelView(page);
    if (view.text != 0 && view.text[0] != 0)
        ResolveUrl(view.text, view.host_end, view.dir_end, ref, out);
    else
        CanonicalUrl(ref, out);
}

}  // namespace

DbClient::DbClient(AWorkspace* workspace) : workspace_(workspace), count_(0), tick_(0) {
    memset(slots_, 0, sizeof slots_);
}

ConnectionSlot* DbClient::FindSlot(uint32_t id) {
    for (int i = 0; i < count_; ++i) {
        if (slots_[i].connection_id == id) {
            slots_[i].last_used = ++tick_;
            return &slots_[i];
        }
    }
    return 0;
}

// The connection's slot, appended when new. With every slot in use, a
// Request (take_over) takes over the one idle longest: a shim that lost a
// Close must not keep the table full for ever. Any other report for an
// unknown connection then gets no slot: a stray datagram must not cost a
// live connection its page.
ConnectionSlot* DbClient::SlotOf(uint32_t id, bool take_over) {
    ConnectionSlot* s = FindSlot(id);
    if (s) return s;
    if (count_ < kConnectionSlots) {
        s = &slots_[count_++];
    } else {
        if (!take_over) return 0;
        s = &slots_[0];
        for (int i = 1; i < count_; ++i)
            if (slots_[i].last_used < s->last_used) s = &slots_[i];
    }
    s->connection_id = id;
    s->workspace = 0;
    s->page = 0;
    s->last_used = ++tick_;
    return s;
}

// The connection's slot when it has a page. A page bound before the last
// purge may be gone, its storage serving another page by now: the
// connection is then left without a page until Close.
ConnectionSlot* DbClient::PageSlot(uint32_t id) {
    ConnectionSlot* s = SlotOf(id, false);
    if (s == 0 || s->workspace == 0 || s->page == 0) return 0;
    if (s->workspace->generation() != s->generation) {
        s->workspace = 0;
        s->page = 0;
        return 0;
    }
    return s;
}

uint32_t DbClient::Open(uint32_t, const char*) { return 0; }

uint32_t DbClient::Request(uint32_t id, const char* url, int) {
    NodeId page = 0;
    if (workspace_ != 0 && url != 0) {
        UrlBuffer canonical;
        CanonicalUrl(url, &canonical);
        // An empty URL names no page.
        if (canonical.text[0] != 0) page = workspace_->FindNode(canonical.text, true);
    }
    if (page == 0) {
        // A connection that had a page is left without one until Close;
        // an unknown one gets no slot.
        ConnectionSlot* s = FindSlot(id);
        if (s != 0) {
            s->workspace = 0;
            s->page = 0;
        }
        return 0;
    }
    ConnectionSlot* s = SlotOf(id, true);
    s->workspace = workspace_;
    s->page = page;
    s->generation = workspace_->generation();
    return 1;
}

// The form or script that was queried gets a query link to the page.
void DbClient::FileQueriedPage(AWorkspace& ws, NodeId page) {
    const char* name = ws.Text(ws.Name(page));
    const char* query = strchr(name, '?');
    if (query == 0) return;
    std::string before(name, (size_t)(query - name));  // the name moves when the file grows
    UrlBuffer url;
    ResolveOnPage(ws, page, before.c_str(), &url);
    NodeId form = ws.FindNode(url.text, true);
    if (form == 0) return;
    NodeRef(ws, form).FileUnderHost();
    NodeRef(ws, form).LinkTo(ws, page, LinkQuery);
}

uint32_t DbClient::Status(uint32_t id, int code) {
    if (!HandledStatus(code)) return 0;
    ConnectionSlot* s = PageSlot(id);
    if (s == 0) return 0;
    FileQueriedPage(*s->workspace, s->page);
    NodeRef(*s->workspace, s->page).FileUnderHost();
    s->workspace->ClearFlags(s->page, NotFetched);
    return 1;
}

uint32_t DbClient::Base(uint32_t id, const char* url) {
    ConnectionSlot* s = PageSlot(id);
    if (s == 0 || url == 0) return 0;
    AWorkspace& ws = *s->workspace;
    UrlBuffer canonical;
    CanonicalUrl(url, &canonical);
    ws.Touch(s->page);
    ws.SetLabel(s->page, canonical.text);
    if (ws.ContentType(s->page) == 0) {
        LabelView view = ws.GetLabelView(s->page);
        ws.SetContentType(s->page, ContentTypeOfUrl(view.text, view.dir_end));
    }
    return 1;
}

uint32_t DbClient::MarkPage(uint32_t id, const char*) {
    ConnectionSlot* s = PageSlot(id);
    if (s != 0) s->workspace->SetFlags(s->page, PageMarked);
    return 0;
}

uint32_t DbClient::ContentType(uint32_t id, const char* mime) {
    ConnectionSlot* s = PageSlot(id);
    if (s == 0 || mime == 0) return 0;
    s->workspace->SetContentType(s->page, ContentTypeOfMime(mime));
    return 1;
}

uint32_t DbClient::Link(uint32_t id, const char* url, int type, const char* extra) {
    ConnectionSlot* s = PageSlot(id);
    if (s == 0 || !Takes(url, type)) return 0;
    AWorkspace& ws = *s->workspace;
    UrlBuffer resolved;
    ResolveOnPage(ws, s->page, url, &resolved);
    FileLink(ws, s->page, ws.FindNode(resolved.text, true), type, extra);
    return 1;
}

// As Link for each, but the targets are found or made together, which in a
// large workspace is quicker than one at a time.
void DbClient::Links(uint32_t id, const LinkReport* links, size_t n) {
    ConnectionSlot* s = PageSlot(id);
    if (s == 0) return;
    AWorkspace& ws = *s->workspace;
    std::vector<UrlBuffer> resolved(n);
    std::vector<const char*> urls(n);
    std::vector<NodeId> targets(n);
    for (size_t i = 0; i < n; ++i) {
        const LinkReport& l = links[i];
        bool taken = Takes(l.url, l.type);
        if (taken) ResolveOnPage(ws, s->page, l.url, &resolved[i]);
        urls[i] = taken ? resolved[i].text : 0;
    }
    ws.FindNodes(urls.data(), n, targets.data());
    for (size_t i = 0; i < n; ++i)
        if (urls[i] != 0) FileLink(ws, s->page, targets[i], links[i].type, links[i].extra);
}

void DbClient::FileLink(AWorkspace& ws, NodeId page, NodeId target, int type, const char* extra) {
    if (target == 0) return;
    LinkKind kind = kKindOfLinkType[type];
    if (type == LT_INCLUDE && extra != 0 && strcmp(extra, "frame") == 0) kind = LinkFrame;
    NodeRef(ws, page).LinkTo(ws, target, kind);
    if (type == LT_ANCHOR && extra != 0 && extra[0] != 0) {
        char title[kAnchorTitleRoom];
        CleanText(title, sizeof title, extra);
        NodeRef(ws, target).SetTitleText(title, true);
    }
}

uint32_t DbClient::Title(uint32_t id, const char* text, int kind) {
    ConnectionSlot* s = PageSlot(id);
    if (s == 0 || text == 0 || kind < TT_HEADER || kind > TT_H1) return 0;
    char title[kTitleRoom];
    CleanText(title, sizeof title, text);
    NodeRef(*s->workspace, s->page).SetTitleText(title, kind == TT_H1);
    return 1;
}

// An unknown id leaves the table as it was: it is not appended only to be
// removed, which with a full table would cost another connection its slot.
uint32_t DbClient::Close(uint32_t id) {
    ConnectionSlot* s = FindSlot(id);
    if (s != 0) {
        *s = slots_[count_ - 1];
        --count_;
    }
    return 1;
}
