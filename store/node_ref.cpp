#include "store/node_ref.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "observe/url.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
    return *a == *b;
}

bool StartsWith(const char* s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

// "Index of /pub/a/very/long/path" → "Index of .../long/path (host)".
std::string FtpDirectoryTitle(const char* text, size_t prefix, const char* url) {
    size_t length = strlen(text);
    std::string title(text);
    if (length > 32) {
        size_t from = prefix + length - 29;
        size_t cut = std::string::npos;
        const char* slash = strchr(text + from, '/');
        if (slash) {
            cut = (size_t)(slash - text);
        } else {
            for (size_t i = from; i-- > prefix + 1;)
                if (text[i] == '/') {
                    cut = i;
                    break;
                }
            if (cut == std::string::npos) cut = prefix;
        }
        if (cut > prefix + 3) title = std::string(text, prefix) + "..." + (text + cut);
    }
    const char* host = url + 6;  // after "ftp://"
    const char* end = strchr(host, '/');
    title += " (";
    title.append(host, end ? (size_t)(end - host) : strlen(host));
    title += ")";
    return title;
}

bool IsSchemeChar(char c) {
    return isalnum((unsigned char)c) || c == '+' || c == '-' || c == '.';
}

}  // namespace

void NodeRef::SetTitleText(const char* text, bool provisional) {
    AWorkspace& w = *workspace_;
    if (text == 0) return;
    while (IsSpace(*text)) ++text;
    if (*text == 0) return;
    if (provisional && !w.TestFlags(node_, Untitled)) return;
    if (EqualNoCase(text, "gopher menu")) return;
    std::string kept(text);  // the text may lie in the mapping
    w.Touch(node_);
    std::string url = w.Text(w.Name(node_));
    if (!provisional && StartsWith(url.c_str(), "ftp://")) {
        size_t prefix = 0;
        if (StartsWith(kept.c_str(), "Index of "))
            prefix = 9;
        else if (StartsWith(kept.c_str(), "Directory of "))
            prefix = 13;
        if (prefix == 0) {
            w.SetTitle(node_, kept.c_str());
            return;
        }
        std::string title = FtpDirectoryTitle(kept.c_str(), prefix, url.c_str());
        if (w.SetTitle(node_, title.c_str())) w.ClearFlags(node_, Untitled);
        return;
    }
    if (w.SetTitle(node_, kept.c_str()) && !provisional) w.ClearFlags(node_, Untitled);
}

void NodeRef::LinkTo(AWorkspace& tw, NodeId target, LinkKind kind) {
    AWorkspace& w = *workspace_;
    if (&tw == workspace_ && target == node_) return;
    if (w.FindLiveOutLink(node_, target, kind) != 0) return;
    LinkId first_in = tw.FirstIn(target);
    if (first_in != 0 && tw.LinkKindOf(first_in) == Attach)
        tw.RemoveLinks(tw.LinkNode(first_in), target, Attach);
    w.AddLink(node_, target, kind);
}

void NodeRef::FileUnderHost() {
    AWorkspace& w = *workspace_;
    std::string url = w.Text(w.Name(node_));
    const char* u = url.c_str();

    size_t scheme = 0;
    while (IsSchemeChar(u[scheme])) ++scheme;
    if (u[scheme] != ':') return;
    size_t host_start = scheme + 1;
    size_t prefix_end = host_start;
    bool has_host = u[host_start] == '/' && u[host_start + 1] == '/';
    if (has_host) {
        host_start += 2;
        const char* slash = strchr(u + host_start, '/');
        prefix_end = slash ? (size_t)(slash - u) + 1 : url.size();
    }

    bool new_site = w.AddVisited(u, prefix_end) != 0;
    bool has_in = w.FirstIn(node_) != 0;
    if (has_in && !new_site) return;

    std::string site(u, prefix_end);
    if (has_host && (site.empty() || site.back() != '/')) site += '/';
    NodeId s = w.FindNode(site.c_str(), true);
    if (s == 0) return;
    if (StartsWith(site.c_str(), "file:")) w.SetKind(s, GroupNode);
    if (w.FirstIn(node_) == 0) NodeRef(w, s).LinkTo(w, node_, Attach);
    if (!new_site) return;

    // The ending: after the last '.' of the site URL, up to '/' or ':'.
    std::string ending;
    const char* dot = strrchr(site.c_str(), '.');
    if (dot && has_host) {
        for (const char* p = dot + 1; *p && *p != '/' && *p != ':' && ending.size() < 19; ++p) ending += *p;
    }
    std::string group = kVisitedRootUrl;
    char title[128];
    // A host ending in a dot has no ending to speak of; it is local too.
    if (!dot || !has_host || ending.empty()) {
        group += "LOCAL";
        snprintf(title, sizeof title, "%s", AppString(IDS_GROUP_LOCAL));
    } else if (!ending.empty() && ending[0] >= '0' && ending[0] <= '9') {
        group += "NUMBER";
        snprintf(title, sizeof title, "%s", AppString(IDS_GROUP_NUMERIC));
    } else {
        group += ending;
        snprintf(title, sizeof title, AppString(IDS_GROUP_NAMES_ENDING), ending.c_str());
    }
    NodeId g = w.FindNode(group.c_str(), true);
    NodeId r = w.FindNode(kVisitedRootUrl, true);
    if (g == 0 || r == 0) return;
    NodeRef(w, r).LinkTo(w, g, LinkAnchor);
    NodeRef(w, g).LinkTo(w, s, LinkAnchor);
    if (w.TestFlags(g, Untitled)) {
        w.SetKind(g, GroupNode);
        NodeRef(w, g).SetTitleText(title, false);
    }
}

const char* NodeRef::DisplayTitle() {
    AWorkspace& w = *workspace_;
    uint32_t title = w.Title(node_);
    if (title) return w.Text(title);
    LabelView view = w.GetLabelView(node_);
    static UrlBuffer name;
    UrlDisplayName(view.text, view.host_end, view.dir_end, &name);
    uint32_t stored = w.SetTitle(node_, name.text);
    return stored ? w.Text(stored) : name.text;
}
