// A burst of a site's pages as a doctored browser's shim reports them, and
// the tally of what of it reached a workspace. Shared by the sender, the
// counter and the kill test (scripts/burst.py, bench/README.md).
//
// Page i of the site is one connection: Request, Status 200, ContentType,
// Title, then `links` anchors to other pages of the site and two inline
// parts, then Close. The records go through the shim's own packing
// (DatagramClient), and each page ends its last datagram, as the shim does
// when a response ends.
#ifndef SKEIND_TOOLS_BURST_BURST_SITE_H
#define SKEIND_TOOLS_BURST_BURST_SITE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "observe/client.h"
#include "store/workspace.h"

struct BurstSite {
    int pages;
    int links;  // anchors per page

    BurstSite() : pages(3000), links(24) {}
};

typedef std::vector<uint8_t> Datagram;

std::string BurstPageUrl(int page);
std::string BurstPageTitle(int page);

// The calls the shim makes for one page.
void PlayBurstPage(const BurstSite& site, int page, AClient& client);
// Every page's datagrams, page after page; `page_of` (if given) gets the
// page of each.
std::vector<Datagram> BurstDatagrams(const BurstSite& site, std::vector<int>* page_of = 0);

// What one page left in a workspace.
enum BurstPageState {
    PageMissing = 0,  // no page, or never answered (its first datagram lost)
    PagePartial = 1,  // answered and titled, some of its links missing
    PageComplete = 2  // every link there
};

struct BurstTally {
    int kept;  // partial or complete
    int complete;
    std::vector<uint8_t> state;   // BurstPageState by page
    std::vector<uint16_t> links;  // by page: its anchors found in the workspace
};

BurstTally TallyBurst(AWorkspace& ws, const BurstSite& site);

#endif
