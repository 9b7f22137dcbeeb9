// scancompare: the page scanner beside libxml2's HTML parser, over real
// pages, to see where the scanner's links differ from a full parser's and
// why.
//
//   scancompare [-v] FILE...     compare; -v lists every difference
//   scancompare --list FILE      the scanner's links, one "a URL" or
//                                "img URL" a line, in page order
//
// Each file is read as the program reads a local page: status 200,
// "text/html", no head. Compared per page, as multisets:
//  - anchors: the scanner's LT_ANCHOR links; libxml2's a href values,
//    white space trimmed and cut at '#';
//  - images: the scanner's LT_INCLUDE "image" links; libxml2's src of img,
//    input, embed and bgsound and background of body, the same way.
// A difference is put down to the first kind that explains it (kKinds).
#include <stdio.h>
#include <string.h>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <map>
#include <string>
#include <vector>

#include "observe/clean_text.h"
#include "observe/page_scanner.h"
#include "tools/scancompare/read_page.h"

namespace {

typedef std::vector<std::string> Links;

struct PageLinks {
    Links anchors;
    Links images;
};

// Keeps the scanner's anchor and image links, in order.
class LinkCollector : public QuietClient {
public:
    explicit LinkCollector(PageLinks* out) : out_(out) {}
    virtual ~LinkCollector() {}
    uint32_t Link(uint32_t, const char* url, int type, const char* extra) override {
        if (type == LT_ANCHOR) out_->anchors.push_back(url);
        if (type == LT_INCLUDE && extra && strcmp(extra, "image") == 0) out_->images.push_back(url);
        return 1;
    }

private:
    PageLinks* out_;
};

PageLinks ScannerLinks(const std::string& page) {
    PageLinks links;
    LinkCollector collector(&links);
    PageScanner scanner(1, &collector);
    scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
    scanner.Feed(page.data(), page.size());
    scanner.Feed(0, 0);
    return links;
}

// ---- libxml2's side -------------------------------------------------------

std::string AsUrl(const xmlChar* value) {
    std::string s = (const char*)value;
    s = s.substr(0, s.find('#'));
    const char* blanks = " \t\n\f\r";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

void TakeAttribute(xmlNode* node, const char* name, Links* out) {
    xmlChar* value = xmlGetProp(node, (const xmlChar*)name);
    if (!value) return;
    out->push_back(AsUrl(value));
    xmlFree(value);
}

void Walk(xmlNode* node, PageLinks* out) {
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            const char* name = (const char*)node->name;
            if (strcmp(name, "a") == 0) TakeAttribute(node, "href", &out->anchors);
            if (strcmp(name, "img") == 0 || strcmp(name, "input") == 0 || strcmp(name, "embed") == 0 ||
                strcmp(name, "bgsound") == 0)
                TakeAttribute(node, "src", &out->images);
            if (strcmp(name, "body") == 0) TakeAttribute(node, "background", &out->images);
        }
        Walk(node->children, out);
    }
}

bool ParserLinks(const std::string& page, const char* name, PageLinks* out) {
    int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    htmlDocPtr doc = htmlReadMemory(page.data(), (int)page.size(), name, 0, options);
    if (!doc) return false;
    Walk(xmlDocGetRootElement(doc), out);
    xmlFreeDoc(doc);
    return true;
}

// ---- Kinds of difference ------------------------------------------------------

enum Kind {
    kReferenceCut,
    kEntity,
    kSingleQuotes,
    kValueEnd,
    kEncoding,
    kEmptyHref,
    kOpenAtEnd,
    kCommentRules,
    kScriptText,
    kNulPage,
    kParserOnly,
    kScannerOnly,
    kKindCount
};

const char* const kKinds[kKindCount] = {
    "character reference \"&#...;\" cut at its '#'",
    "entity in the URL left as written",
    "single-quoted value read with its quotes",
    "unquoted value ends elsewhere",
    "character encoding of the URL",
    "empty or fragment-only href not reported",
    "anchor open at the end of the data",
    "comment ends elsewhere (\"--\" pairs)",
    "markup inside script or style read as tags",
    "page with NUL bytes (UTF-16, UTF-32): the scanner stops",
    "only libxml2: other",
    "only the scanner: other",
};

std::string DecodeEntities(const std::string& s) {
    std::vector<char> out(s.size() + 8);
    CleanText(out.data(), out.size(), s.c_str());
    return out.data();
}

std::string Latin1ToUtf8(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += (char)c;
        } else {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool IsPrefix(const std::string& a, const std::string& b) {
    return !a.empty() && a.size() < b.size() && b.compare(0, a.size(), a) == 0;
}

// Does the scanner's reading of one link explain the parser's `other`?
int PairKind(const std::string& scanner, const std::string& parser) {
    if (!scanner.empty() && scanner.back() == '&' &&
        parser.compare(0, scanner.size() - 1, scanner, 0, scanner.size() - 1) == 0)
        return kReferenceCut;
    if (scanner.find('&') != std::string::npos &&
        (DecodeEntities(scanner) == parser || Latin1ToUtf8(DecodeEntities(scanner)) == parser))
        return kEntity;
    if (scanner.size() >= 1 && scanner[0] == '\'') {
        std::string inner = scanner.substr(1);
        if (!inner.empty() && inner.back() == '\'') inner.pop_back();
        if (inner == parser) return kSingleQuotes;
    }
    if (IsPrefix(scanner, parser) || IsPrefix(parser, scanner)) return kValueEnd;
    if (Latin1ToUtf8(scanner) == parser) return kEncoding;
    return -1;
}

// Where `url` first stands in the page as an attribute value, or npos.
size_t FindValue(const std::string& page, const std::string& url) {
    if (url.empty()) return std::string::npos;
    for (size_t at = page.find(url); at != std::string::npos; at = page.find(url, at + 1)) {
        char before = at > 0 ? page[at - 1] : 0;
        if (before == '"' || before == '\'' || before == '=' || before == ' ') return at;
    }
    return std::string::npos;
}

// Inside "<!--" ... "-->", as a browser of today reads comments.
bool InHtmlComment(const std::string& page, size_t at) {
    size_t open = page.rfind("<!--", at);
    if (open == std::string::npos) return false;
    size_t close = page.find("-->", open + 4);
    return close == std::string::npos || close > at;
}

// Inside "<!" ... ">", as the scanner reads declarations: a '>' between a
// pair of "--" does not end one.
bool InDeclaration(const std::string& page, size_t at) {
    for (size_t i = page.find("<!"); i != std::string::npos && i < at; i = page.find("<!", i)) {
        size_t j = i + 2;
        bool in_comment = false;
        for (; j < page.size(); ++j) {
            if (page.compare(j, 2, "--") == 0) {
                in_comment = !in_comment;
                ++j;
            } else if (!in_comment && page[j] == '>') {
                break;
            }
        }
        if (at < j) return true;
        i = j;
    }
    return false;
}

bool InElementText(const std::string& page, size_t at, const char* open, const char* close) {
    std::string lower = page.substr(0, at);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    size_t o = lower.rfind(open);
    return o != std::string::npos && lower.find(close, o) == std::string::npos;
}

struct Difference {
    int kind;
    bool scanner_side;  // reported by the scanner only
    std::string url;
};

typedef std::map<std::string, int> Multiset;

Multiset Count(const Links& links) {
    Multiset m;
    for (const std::string& s : links) ++m[s];
    return m;
}

// Takes the links both sides have out of both; answers how many.
int Match(Multiset* a, Multiset* b) {
    int matched = 0;
    for (auto& e : *a) {
        auto f = b->find(e.first);
        if (f == b->end()) continue;
        int n = std::min(e.second, f->second);
        e.second -= n;
        f->second -= n;
        matched += n;
    }
    return matched;
}

Links Remaining(const Multiset& m) {
    Links out;
    for (const auto& e : m)
        for (int i = 0; i < e.second; ++i) out.push_back(e.first);
    return out;
}

void Classify(const std::string& page, const Links& scanner_only, const Links& parser_only,
              const Multiset& flushed_extra, std::vector<Difference>* out) {
    std::vector<bool> paired(parser_only.size(), false);
    Multiset flushed = flushed_extra;
    for (const std::string& s : scanner_only) {
        int kind = -1;
        for (size_t i = 0; i < parser_only.size() && kind < 0; ++i) {
            if (paired[i]) continue;
            kind = PairKind(s, parser_only[i]);
            if (kind >= 0) paired[i] = true;
        }
        if (kind < 0) {
            size_t at = FindValue(page, s);
            if (at != std::string::npos &&
                (InElementText(page, at, "<script", "</script") || InElementText(page, at, "<style", "</style")))
                kind = kScriptText;
            else if (at != std::string::npos && InHtmlComment(page, at) && !InDeclaration(page, at))
                kind = kCommentRules;
            else
                kind = kScannerOnly;
        }
        out->push_back(Difference{kind, true, s});
    }
    for (size_t i = 0; i < parser_only.size(); ++i) {
        if (paired[i]) continue;
        const std::string& p = parser_only[i];
        int kind = kParserOnly;
        if (p.empty()) {
            kind = kEmptyHref;
        } else if (page.find('\0') != std::string::npos) {
            kind = kNulPage;
        } else if (flushed[p] > 0) {
            --flushed[p];
            kind = kOpenAtEnd;
        } else {
            size_t at = FindValue(page, p);
            if (at != std::string::npos && InDeclaration(page, at) && !InHtmlComment(page, at)) kind = kCommentRules;
        }
        out->push_back(Difference{kind, false, p});
    }
}

// ---- Pages and totals ---------------------------------------------------

struct Totals {
    int pages = 0;
    int unreadable = 0;
    int agreeing_pages = 0;
    int parser_links = 0;
    int scanner_links = 0;
    int matched = 0;
    int kinds[kKindCount] = {};
};

// One kind of link on one page; answers the links matched.
int CompareLinks(const std::string& page, const char* what, const Links& scanner, const Links& parser,
                 const Links& flushed, std::vector<Difference>* differences) {
    Multiset s = Count(scanner);
    Multiset p = Count(parser);
    int matched = Match(&s, &p);
    // The links a closing tag after the data would have brought.
    Multiset f = Count(flushed);
    Multiset before = Count(scanner);
    Match(&f, &before);
    size_t first = differences->size();
    Classify(page, Remaining(s), Remaining(p), f, differences);
    for (size_t i = first; i < differences->size(); ++i)
        (*differences)[i].url = std::string(what) + " " + (*differences)[i].url;
    return matched;
}

void ComparePage(const char* name, bool verbose, Totals* totals) {
    std::string page;
    PageLinks parser;
    if (!ReadPage(name, &page) || !ParserLinks(page, name, &parser)) {
        printf("%s: cannot read\n", name);
        ++totals->unreadable;
        return;
    }
    PageLinks scanner = ScannerLinks(page);
    PageLinks flushed = ScannerLinks(page + "<a>");

    std::vector<Difference> differences;
    int matched = CompareLinks(page, "a", scanner.anchors, parser.anchors, flushed.anchors, &differences) +
                  CompareLinks(page, "img", scanner.images, parser.images, flushed.images, &differences);
    int parser_count = (int)(parser.anchors.size() + parser.images.size());
    int scanner_count = (int)(scanner.anchors.size() + scanner.images.size());

    ++totals->pages;
    totals->parser_links += parser_count;
    totals->scanner_links += scanner_count;
    totals->matched += matched;
    if (differences.empty()) ++totals->agreeing_pages;
    for (const Difference& d : differences) ++totals->kinds[d.kind];

    printf("%s: libxml2 %d, scanner %d, matched %d%s\n", name, parser_count, scanner_count, matched,
           differences.empty() ? ", agree" : "");
    if (!verbose) return;
    for (const Difference& d : differences)
        printf("    %s %s: %s\n", d.scanner_side ? "scanner only" : "libxml2 only", d.url.c_str(), kKinds[d.kind]);
}

double Percent(int part, int whole) {
    return whole ? 100.0 * part / whole : 100.0;
}

void PrintTotals(const Totals& t) {
    int differences = 0;
    for (int k = 0; k < kKindCount; ++k) differences += t.kinds[k];
    // Empty hrefs name no other page: leaving them out is the point.
    int counted = differences - t.kinds[kEmptyHref];
    printf("\npages %d (unreadable %d), agreeing in full %d (%.1f%%)\n", t.pages, t.unreadable, t.agreeing_pages,
           Percent(t.agreeing_pages, t.pages));
    printf("links: libxml2 %d (%d with an empty URL), scanner %d, matched %d\n", t.parser_links, t.kinds[kEmptyHref],
           t.scanner_links, t.matched);
    printf("agreement: %.2f%% of %d links compared; %.2f%% counting the empty hrefs\n",
           Percent(t.matched, t.matched + counted), t.matched + counted, Percent(t.matched, t.matched + differences));
    printf("differences by kind (a link read differently by the two counts once):\n");
    for (int k = 0; k < kKindCount; ++k)
        if (t.kinds[k]) printf("  %6d  %s\n", t.kinds[k], kKinds[k]);
}

// Prints the scanner's anchor and image links in page order.
class LinkPrinter : public LinkCollector {
public:
    explicit LinkPrinter(PageLinks* links) : LinkCollector(links) {}
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override {
        if (type == LT_ANCHOR) printf("a %s\n", url);
        if (type == LT_INCLUDE && extra && strcmp(extra, "image") == 0) printf("img %s\n", url);
        return LinkCollector::Link(id, url, type, extra);
    }
};

int ListLinks(const char* name) {
    std::string page;
    if (!ReadPage(name, &page)) {
        fprintf(stderr, "scancompare: cannot read %s\n", name);
        return 1;
    }
    PageLinks links;
    LinkPrinter printer(&links);
    PageScanner scanner(1, &printer);
    scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
    scanner.Feed(page.data(), page.size());
    scanner.Feed(0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--list") == 0) return ListLinks(argv[2]);
    int first = 1;
    bool verbose = false;
    if (first < argc && strcmp(argv[first], "-v") == 0) {
        verbose = true;
        ++first;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: scancompare [-v] FILE... | scancompare --list FILE\n");
        return 2;
    }
    Totals totals;
    for (int i = first; i < argc; ++i) ComparePage(argv[i], verbose, &totals);
    PrintTotals(totals);
    xmlCleanupParser();
    return 0;
}
