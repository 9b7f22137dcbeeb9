// scan_bench: the page scanner beside libxml2's HTML parser, gumbo (when
// built with it) and a plain memchr('<') pass, over the same pages in the
// same run.
//
//   scan_bench [--rounds N] [--block BYTES] [--only SIDE] FILE...
//
// Every page is read into memory first. A round runs each side once over
// every page, the sides in a different order each round so that a change
// in the machine's load falls on all of them alike:
//  - memchr: counts the '<' of each block with memchr, the least any
//    reader of the page must do;
//  - scanner: a PageScanner per page, begun as a local page (status 200,
//    "text/html"), fed the page in blocks, its reports counted;
//  - libxml2: a push parser per page (htmlCreatePushParserCtxt), fed the
//    same blocks with htmlParseChunk, the document built and freed;
//  - gumbo: gumbo_parse_with_options over the whole page (gumbo has no
//    way to take a page in pieces), the tree built and freed.
// Blocks are 1024 bytes by default, as the page loader reads them.
// Printed: per side the MB/s of each round's wall-clock time (median,
// lowest, highest), and the scanner's speed over each other side's in the
// same round (median, lowest, highest). --only runs one side alone and
// prints each round's MB/s, for a profiler or for comparing two builds.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#ifdef SKEIND_HAVE_GUMBO
#include <gumbo.h>
#endif

#include "observe/page_scanner.h"
#include "tools/scancompare/read_page.h"

namespace {

typedef std::vector<std::string> Pages;

// Counts the reports, so that the scanner's work cannot be left out.
class CountingClient : public QuietClient {
public:
    uint32_t Link(uint32_t, const char*, int, const char*) override {
        ++links;
        return 1;
    }
    uint32_t Title(uint32_t, const char*, int) override {
        ++titles;
        return 1;
    }
    long links = 0;
    long titles = 0;
};

double Now() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

long MemchrSide(const Pages& pages, size_t block) {
    long found = 0;
    for (const std::string& page : pages) {
        for (size_t at = 0; at < page.size(); at += block) {
            const char* p = page.data() + at;
            const char* end = p + std::min(block, page.size() - at);
            while ((p = (const char*)memchr(p, '<', (size_t)(end - p))) != 0) {
                ++found;
                ++p;
            }
        }
    }
    return found;
}

long ScannerSide(const Pages& pages, size_t block) {
    CountingClient client;
    for (const std::string& page : pages) {
        PageScanner scanner(1, &client);
        scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
        for (size_t at = 0; at < page.size(); at += block)
            if (!scanner.Feed(page.data() + at, std::min(block, page.size() - at))) break;
        scanner.Feed(0, 0);
    }
    return client.links + client.titles;
}

long Libxml2Side(const Pages& pages, size_t block) {
    long nodes = 0;
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    for (const std::string& page : pages) {
        htmlParserCtxtPtr ctxt = htmlCreatePushParserCtxt(0, 0, 0, 0, "page.html", XML_CHAR_ENCODING_NONE);
        if (!ctxt) continue;
        htmlCtxtUseOptions(ctxt, options);
        for (size_t at = 0; at < page.size(); at += block)
            htmlParseChunk(ctxt, page.data() + at, (int)std::min(block, page.size() - at), 0);
        htmlParseChunk(ctxt, 0, 0, 1);
        if (ctxt->myDoc) {
            if (xmlDocGetRootElement(ctxt->myDoc)) ++nodes;
            xmlFreeDoc(ctxt->myDoc);
        }
        htmlFreeParserCtxt(ctxt);
    }
    return nodes;
}

#ifdef SKEIND_HAVE_GUMBO
long GumboSide(const Pages& pages, size_t) {
    long nodes = 0;
    for (const std::string& page : pages) {
        GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
        if (out->root) ++nodes;
        gumbo_destroy_output(&kGumboDefaultOptions, out);
    }
    return nodes;
}
#endif

struct Side {
    const char* name;
    long (*run)(const Pages&, size_t);
    std::vector<double> seconds;
    long result;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintSpread(const char* label, const std::vector<double>& v, const char* unit) {
    double lo = *std::min_element(v.begin(), v.end());
    double hi = *std::max_element(v.begin(), v.end());
    double med = Median(v);
    printf("%-26s %10.2f %10.2f %10.2f %7.0f%%  %s\n", label, med, lo, hi, med > 0 ? 100.0 * (hi - lo) / med : 0.0,
           unit);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    size_t block = 1024;
    const char* only = 0;
    int first = 1;
    while (first + 1 < argc && argv[first][0] == '-') {
        if (strcmp(argv[first], "--rounds") == 0)
            rounds = atoi(argv[first + 1]);
        else if (strcmp(argv[first], "--block") == 0)
            block = (size_t)atol(argv[first + 1]);
        else if (strcmp(argv[first], "--only") == 0)
            only = argv[first + 1];
        else
            break;
        first += 2;
    }
    if (first >= argc || rounds < 1 || block < 1) {
        fprintf(stderr, "usage: scan_bench [--rounds N] [--block BYTES] [--only SIDE] FILE...\n");
        return 2;
    }
    Pages pages;
    double bytes = 0;
    for (int i = first; i < argc; ++i) {
        std::string page;
        if (!ReadPage(argv[i], &page)) {
            fprintf(stderr, "scan_bench: cannot read %s\n", argv[i]);
            continue;
        }
        bytes += (double)page.size();
        pages.push_back(page);
    }
    printf("%zu pages, %.1f MB, blocks of %zu bytes, %d rounds\n", pages.size(), bytes / 1e6, block, rounds);

    std::vector<Side> sides = {
        {"memchr('<')", MemchrSide, {}, 0},
        {"scanner", ScannerSide, {}, 0},
        {"libxml2", Libxml2Side, {}, 0},
#ifdef SKEIND_HAVE_GUMBO
        {"gumbo", GumboSide, {}, 0},
#endif
    };
    if (only) {
        std::vector<Side> kept;
        for (const Side& s : sides)
            if (strncmp(s.name, only, strlen(only)) == 0) kept.push_back(s);
        if (kept.size() != 1) {
            fprintf(stderr, "scan_bench: no side %s\n", only);
            return 2;
        }
        for (int r = 0; r < rounds; ++r) {
            double t0 = Now();
            kept[0].run(pages, block);
            printf("%s %.1f MB/s\n", kept[0].name, bytes / 1e6 / (Now() - t0));
        }
        return 0;
    }
    for (int r = 0; r < rounds; ++r) {
        for (size_t k = 0; k < sides.size(); ++k) {
            Side& s = sides[(k + (size_t)r) % sides.size()];
            double t0 = Now();
            s.result = s.run(pages, block);
            s.seconds.push_back(Now() - t0);
        }
    }

    printf("\n%-26s %10s %10s %10s %8s\n", "MB/s", "median", "lowest", "highest", "spread");
    for (const Side& s : sides) {
        std::vector<double> speed;
        for (double t : s.seconds) speed.push_back(bytes / 1e6 / t);
        char unit[64];
        snprintf(unit, sizeof unit, "(result %ld)", s.result);
        PrintSpread(s.name, speed, unit);
    }
    const Side& scanner = sides[1];
    printf("\n%-26s %10s %10s %10s %8s\n", "scanner speed / other's", "median", "lowest", "highest", "spread");
    for (const Side& s : sides) {
        if (&s == &scanner) continue;
        std::vector<double> ratio;
        for (int r = 0; r < rounds; ++r) ratio.push_back(s.seconds[r] / scanner.seconds[r]);
        std::string label = std::string("vs ") + s.name;
        PrintSpread(label.c_str(), ratio, "times");
    }
    xmlCleanupParser();
    return 0;
}
