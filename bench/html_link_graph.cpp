#include "bench/html_link_graph.h"

#include <dirent.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "observe/page_scanner.h"
#include "observe/url.h"
#include "tools/scancompare/read_page.h"

namespace {

const size_t kMaxFile = 1u << 20;

void FindHtmlFiles(const std::string& dir, std::vector<std::string>* out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string path = dir + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            FindHtmlFiles(path, out);
        else if (S_ISREG(st.st_mode) && st.st_size < (off_t)kMaxFile && name.size() > 5 &&
                 name.compare(name.size() - 5, 5, ".html") == 0)
            out->push_back(path);
    }
}

// Keeps the raw references the scanner reports.
class LinkCollector : public QuietClient {
public:
    uint32_t Link(uint32_t, const char* url, int, const char*) override {
        if (url) refs.push_back(url);
        return 1;
    }
    std::vector<std::string> refs;
};

class UrlNumbers {
public:
    explicit UrlNumbers(LinkGraph* graph) : graph_(graph) {}
    uint32_t Of(const std::string& url) {
        auto it = numbers_.find(url);
        if (it != numbers_.end()) return it->second;
        uint32_t n = (uint32_t)graph_->urls.size();
        numbers_.emplace(url, n);
        graph_->urls.push_back(url);
        return n;
    }

private:
    LinkGraph* graph_;
    std::unordered_map<std::string, uint32_t> numbers_;
};

}  // namespace

LinkGraph LoadHtmlLinkGraph(const std::vector<std::string>& roots, size_t max_pages) {
    LinkGraph graph;
    UrlNumbers numbers(&graph);
    std::string text;
    for (const std::string& root : roots) {
        std::vector<std::string> files;
        FindHtmlFiles(root, &files);
        for (const std::string& path : files) {
            if (graph.pages >= max_pages) return graph;
            text.clear();
            if (!ReadPage(path.c_str(), &text)) continue;
            // /usr/share/doc/pkg/html/a.html under /usr/share/doc is
            // http://pkg.local/html/a.html.
            std::string rest = path.substr(root.size() + 1);
            size_t slash = rest.find('/');
            std::string site = slash == std::string::npos ? "top" : rest.substr(0, slash);
            std::string page_path = slash == std::string::npos ? rest : rest.substr(slash + 1);
            UrlBuffer page;
            CanonicalUrl(("http://" + site + ".local/" + page_path).c_str(), &page);
            uint32_t from = numbers.Of(page.text);
            ++graph.pages;

            LinkCollector collector;
            PageScanner scanner(1, &collector);
            scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
            bool going = true;
            for (size_t at = 0; going && at < text.size(); at += kScanBufferSize)
                going = scanner.Feed(text.data() + at, std::min((size_t)kScanBufferSize, text.size() - at)) != 0;
            if (going) scanner.Feed(0, 0);
            UrlSplit split = SplitUrl(page.text);
            size_t first_link = graph.links.size();
            for (std::string& ref : collector.refs) {
                size_t hash = ref.find('#');
                if (hash != std::string::npos) ref.resize(hash);
                UrlBuffer target;
                ResolveUrl(page.text, split.host_end, split.dir_end, ref.c_str(), &target);
                if (strncmp(target.text, "http://", 7) != 0) continue;
                uint32_t to = numbers.Of(target.text);
                if (to == from) continue;
                graph.links.push_back({from, to});
            }
            // Each page's links once, in the order first met.
            std::vector<std::pair<uint32_t, uint32_t>> mine(graph.links.begin() + first_link, graph.links.end());
            graph.links.resize(first_link);
            std::unordered_set<uint32_t> seen;
            for (const auto& l : mine)
                if (seen.insert(l.second).second) graph.links.push_back(l);
        }
    }
    return graph;
}
