// A real link graph for the store comparison: every .html file under the
// given folders is a page of a site named after its top folder, and its
// links are read by the program's own page scanner and resolved as the
// program resolves them.
#ifndef SKEIND_BENCH_HTML_LINK_GRAPH_H
#define SKEIND_BENCH_HTML_LINK_GRAPH_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct LinkGraph {
    // In the order a browser would report them: each page, then the
    // targets of its links as the page names them.
    std::vector<std::string> urls;
    std::vector<std::pair<uint32_t, uint32_t>> links;  // distinct (from, to)
    size_t pages = 0;                                  // files read
};

// Files of 1 MiB or more are left out, as are links that are no http URL
// (mailto:, javascript: and the like) and links from a page to itself.
LinkGraph LoadHtmlLinkGraph(const std::vector<std::string>& roots, size_t max_pages);

#endif
