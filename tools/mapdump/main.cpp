// mapdump: every page of a workspace in URL order, read with the store's
// own reader: its content type, title, whether it was fetched, and its
// outgoing links with their kinds, one line each, for tests and people.
//
//   mapdump WORKSPACE [PREFIX]
//
// Only pages whose URL starts with PREFIX (default "http") are written:
//   page URL
//     type CODE
//     title TEXT          (named TEXT: only a link's text so far)
//     fetched
//     link KIND URL       (KIND in hexadecimal, links sorted)
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/layout.h"
#include "store/nodedb.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: mapdump WORKSPACE [PREFIX]\n");
        return 2;
    }
    const char* prefix = argc == 3 ? argv[2] : "http";
    NodeDb db;
    if (!db.OpenWorkspace(argv[1])) {
        fprintf(stderr, "mapdump: cannot open %s\n", argv[1]);
        return 1;
    }
    for (NodeId page = db.FirstInTree(); page; page = db.NextInTree(page)) {
        if (db.TestFlags(page, Deleted)) continue;
        std::string url = db.Text(db.Name(page));
        if (url.compare(0, strlen(prefix), prefix) != 0) continue;
        printf("page %s\n", url.c_str());
        printf("  type %u\n", (unsigned)db.ContentType(page));
        if (db.Title(page))
            printf("  %s %s\n", db.TestFlags(page, Untitled) ? "named" : "title", db.Text(db.Title(page)));
        if (!db.TestFlags(page, NotFetched)) printf("  fetched\n");
        std::vector<std::string> links;
        for (LinkId l = db.FirstOut(page); l; l = db.NextLink(l)) {
            char kind[16];
            snprintf(kind, sizeof kind, "%02x", (unsigned)db.LinkKindOf(l));
            links.push_back(std::string("  link ") + kind + " " + db.Text(db.Name(db.LinkNode(l))));
        }
        std::sort(links.begin(), links.end());
        for (const std::string& line : links) printf("%s\n", line.c_str());
    }
    return 0;
}
