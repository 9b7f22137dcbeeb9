// burstcheck: opens a workspace as the program does at start-up (the check
// and its repairs, then the list of visited sites) and tallies the pages of
// a burst (burst_site.h) in it.
//
//   burstcheck WORKSPACE [--pages N] [--links N] [--save FILE] [--expect FILE]
//   burstcheck WORKSPACE --create
//
// --save writes every page found, with its state and links found; --expect
// reads such a file and counts the pages and links of it that are missing
// now (a page acknowledged before a kill must survive it). --create makes
// a new, empty workspace instead. Prints one line of name=value pairs;
// exits 1 when the file is refused or, with --expect, anything expected is
// missing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "store/check.h"
#include "store/nodedb.h"
#include "tools/burst/burst_site.h"

namespace {

int Usage() {
    fprintf(stderr, "usage: burstcheck WORKSPACE [--pages N] [--links N] [--save FILE] [--expect FILE]\n");
    return 2;
}

bool Save(const char* path, const BurstTally& tally) {
    FILE* f = fopen(path, "w");
    if (f == 0) return false;
    for (size_t page = 0; page < tally.state.size(); ++page)
        if (tally.state[page] != PageMissing) fprintf(f, "%zu %d %d\n", page, tally.state[page], tally.links[page]);
    return fclose(f) == 0;
}

// Pages of the file that are missing from `tally`, or have fewer links.
bool CountLost(const char* path, const BurstTally& tally, int* expected, int* lost_pages, int* lost_links) {
    FILE* f = fopen(path, "r");
    if (f == 0) return false;
    *expected = *lost_pages = *lost_links = 0;
    size_t page;
    int state, links;
    while (fscanf(f, "%zu %d %d", &page, &state, &links) == 3) {
        ++*expected;
        if (page >= tally.state.size() || tally.state[page] < state) {
            ++*lost_pages;
            fprintf(stderr, "burstcheck: page %zu was there (state %d, %d links), now state %d\n", page, state, links,
                    page < tally.state.size() ? tally.state[page] : -1);
        } else if (tally.links[page] < links) {
            *lost_links += links - tally.links[page];
            fprintf(stderr, "burstcheck: page %zu had %d links, now %d\n", page, links, tally.links[page]);
        }
    }
    fclose(f);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    BurstSite site;
    const char* workspace = 0;
    const char* save = 0;
    const char* expect = 0;
    bool create = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            workspace = argv[i];
            continue;
        }
        if (!strcmp(argv[i], "--create")) {
            create = true;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        if (!strcmp(argv[i], "--pages"))
            site.pages = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--links"))
            site.links = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--save"))
            save = argv[++i];
        else if (!strcmp(argv[i], "--expect"))
            expect = argv[++i];
        else
            return Usage();
    }
    if (workspace == 0 || site.pages < 1) return Usage();

    NodeDb db;
    if (create) return db.CreateWorkspace(workspace) ? 0 : 1;
    if (!db.Open(workspace)) {
        printf("opened=0 error=%u\n", (unsigned)db.error());
        return 1;
    }
    VRStatus status(0);
    int usable = CheckWorkspaceFile(db, status);
    printf("opened=1 checked=%d flags=0x%02x fixes=0x%02x repaired=%d nodes=%u", usable, (unsigned)status.flags,
           (unsigned)status.fixes, usable && !status.FoundNothing(), (unsigned)status.node_count);
    if (!usable) {
        printf("\n");
        return 1;
    }
    db.BuildVisitedList();
    BurstTally tally = TallyBurst(db, site);
    printf(" pages=%d kept=%d complete=%d", site.pages, tally.kept, tally.complete);
    int failed = 0;
    if (save && !Save(save, tally)) {
        fprintf(stderr, "burstcheck: cannot write %s\n", save);
        failed = 1;
    }
    if (expect) {
        int expected, lost_pages, lost_links;
        if (!CountLost(expect, tally, &expected, &lost_pages, &lost_links)) {
            fprintf(stderr, "burstcheck: cannot read %s\n", expect);
            failed = 1;
        } else {
            printf(" expected=%d lost_pages=%d lost_links=%d", expected, lost_pages, lost_links);
            if (lost_pages || lost_links) failed = 1;
        }
    }
    printf("\n");
    return failed;
}
