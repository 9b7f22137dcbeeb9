#include "tools/burst/burst_site.h"

#include <stdio.h>
#include <string.h>

#include <set>

#include "shim/datagram_client.h"
#include "store/layout.h"

namespace {

// Connection ids as a shim's socket handles: reused, but never by two
// connections open at once.
uint32_t ConnectionOf(int page) { return 0x100u + 4u * (uint32_t)(page % 4096); }

// The k-th page linked from `page`: the next one, then pages spread evenly
// over the site, so that every anchor of a page names a different page.
int LinkTarget(const BurstSite& site, int page, int k) {
    int stride = site.links > 0 ? site.pages / (site.links + 1) : 1;
    if (stride < 1) stride = 1;
    return (page + 1 + k * stride) % site.pages;
}

class Collect : public ADatagramSink {
public:
    explicit Collect(std::vector<Datagram>* out) : out_(out) {}
    void Send(const uint8_t* bytes, size_t count) override { out_->push_back(Datagram(bytes, bytes + count)); }

private:
    std::vector<Datagram>* out_;
};

}  // namespace

std::string BurstPageUrl(int page) {
    char url[96];
    snprintf(url, sizeof url, "http://www.burst.example/docs/part%02d/page%05d.html", page % 20, page);
    return url;
}

std::string BurstPageTitle(int page) {
    char title[64];
    snprintf(title, sizeof title, "Burst site, page %d", page);
    return title;
}

void PlayBurstPage(const BurstSite& site, int page, AClient& client) {
    uint32_t id = ConnectionOf(page);
    client.Request(id, BurstPageUrl(page).c_str(), OP_GET);
    client.Status(id, 200);
    client.ContentType(id, "text/html");
    client.Title(id, BurstPageTitle(page).c_str(), TT_TITLE);
    client.Link(id, "/style/site.css", LT_MISC, 0);
    client.Link(id, "/images/logo.gif", LT_INCLUDE, "Burst site");
    for (int k = 0; k < site.links && k < site.pages - 1; ++k) {
        int target = LinkTarget(site, page, k);
        char text[48];
        snprintf(text, sizeof text, "Page %d of the site", target);
        client.Link(id, BurstPageUrl(target).c_str(), LT_ANCHOR, text);
    }
    client.Close(id);
}

std::vector<Datagram> BurstDatagrams(const BurstSite& site, std::vector<int>* page_of) {
    std::vector<Datagram> out;
    Collect sink(&out);
    DatagramClient shim(&sink);
    for (int page = 0; page < site.pages; ++page) {
        PlayBurstPage(site, page, shim);
        shim.Flush();
        if (page_of) page_of->resize(out.size(), page);
    }
    return out;
}

BurstTally TallyBurst(AWorkspace& ws, const BurstSite& site) {
    BurstTally tally;
    tally.kept = 0;
    tally.complete = 0;
    tally.state.assign((size_t)site.pages, PageMissing);
    tally.links.assign((size_t)site.pages, 0);
    int expected_links = site.links < site.pages - 1 ? site.links : site.pages - 1;
    for (int page = 0; page < site.pages; ++page) {
        NodeId node = ws.FindNode(BurstPageUrl(page).c_str(), false);
        if (node == 0 || ws.TestFlags(node, NotFetched) || ws.Title(node) == 0) continue;
        if (BurstPageTitle(page) != ws.Text(ws.Title(node))) continue;
        std::set<std::string> targets;
        for (LinkId l = ws.FirstOut(node); l != 0; l = ws.NextLink(l))
            if (ws.LinkKindOf(l) == LinkAnchor) targets.insert(ws.Text(ws.Name(ws.LinkNode(l))));
        int found = 0;
        for (int k = 0; k < expected_links; ++k)
            if (targets.count(BurstPageUrl(LinkTarget(site, page, k)))) ++found;
        tally.links[(size_t)page] = (uint16_t)found;
        tally.state[(size_t)page] = found == expected_links ? PageComplete : PagePartial;
        ++tally.kept;
        if (found == expected_links) ++tally.complete;
    }
    return tally;
}
