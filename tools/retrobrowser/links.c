/* links.c: the links of an HTML page and the http URLs they resolve to,
 * read the way a simple browser of the old kind read them. */
#include "tools/retrobrowser/links.h"

#include <stdio.h>
#include <string.h>

static int IsSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
static int IsAlpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static int IsDigit(int c) { return c >= '0' && c <= '9'; }
static int Lower(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

/* 1 when the n bytes at a are the NUL-terminated word, in any case. */
static int SameWord(const char *a, size_t n, const char *word) {
    size_t i;
    for (i = 0; i < n; i++)
        if (word[i] == 0 || Lower((unsigned char)a[i]) != Lower((unsigned char)word[i])) return 0;
    return word[n] == 0;
}

/* --- URLs */

typedef struct {
    char *text;
    size_t len, size;
    int overflow;
} Builder;

static void Put(Builder *b, const char *s, size_t n) {
    if (b->overflow || n >= b->size - b->len) {
        b->overflow = 1;
        return;
    }
    memcpy(b->text + b->len, s, n);
    b->len += n;
    b->text[b->len] = 0;
}

/* Removes "." and ".." segments from the absolute path of len bytes, in
 * place, and returns the new length. ".." at the root stays at the root,
 * as browsers do. Every piece of the output is "/" and a segment, so the
 * last '/' written is where the last piece begins. */
static size_t RemoveDots(char *path, size_t len) {
    size_t in = 0, out = 0;
    while (in < len) {
        size_t segment = in + 1, end = segment;
        while (end < len && path[end] != '/') end++;
        if (end - segment == 1 && path[segment] == '.') {
            if (end == len) path[out++] = '/';
        } else if (end - segment == 2 && path[segment] == '.' && path[segment + 1] == '.') {
            while (out > 0 && path[out - 1] != '/') out--;
            if (out > 0) out--;
            if (end == len) path[out++] = '/';
        } else {
            memmove(path + out, path + in, end - in);
            out += end - in;
        }
        in = end;
    }
    if (out == 0) path[out++] = '/';
    return out;
}

/* Sets url->path to dir followed by ref: dot segments removed from the
 * path part, a '/' put in front when there is none, and spaces, control
 * and 8-bit bytes escaped so that the request line stays one line. */
static int SetPath(HttpUrl *url, const char *dir, size_t dir_len, const char *ref, size_t ref_len) {
    char joined[URL_PATH_MAX * 2];
    Builder b = {joined, 0, sizeof joined, 0};
    Builder out = {url->path, 0, URL_PATH_MAX, 0};
    const char *query;
    size_t path_len, kept, i;

    joined[0] = 0;
    if (dir_len == 0 && (ref_len == 0 || ref[0] != '/')) Put(&b, "/", 1);
    Put(&b, dir, dir_len);
    Put(&b, ref, ref_len);
    if (b.overflow) return 0;
    query = (const char *)memchr(joined, '?', b.len);
    path_len = query ? (size_t)(query - joined) : b.len;
    kept = RemoveDots(joined, path_len);
    memmove(joined + kept, joined + path_len, b.len - path_len);
    b.len = kept + (b.len - path_len);

    url->path[0] = 0;
    for (i = 0; i < b.len; i++) {
        unsigned char c = (unsigned char)joined[i];
        if (c <= 0x20 || c >= 0x7f) {
            char escape[4];
            snprintf(escape, sizeof escape, "%%%02X", c);
            Put(&out, escape, 3);
        } else {
            Put(&out, (const char *)&c, 1);
        }
    }
    return !out.overflow;
}

/* Reads "[user@]host[:port]" at s, up to the path; *used is its length. */
static int ParseAuthority(const char *s, size_t len, HttpUrl *url, size_t *used) {
    size_t end = 0, start = 0, colon, i;
    unsigned port = 0;

    while (end < len && s[end] != '/' && s[end] != '?' && s[end] != '#') end++;
    for (i = 0; i < end; i++)
        if (s[i] == '@') start = i + 1;
    colon = start;
    while (colon < end && s[colon] != ':') colon++;
    if (colon == start || colon - start >= URL_HOST_MAX) return 0;
    for (i = start; i < colon; i++) {
        int c = (unsigned char)s[i];
        if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return 0;
        url->host[i - start] = (char)Lower(c);
    }
    url->host[colon - start] = 0;
    for (i = colon + 1; i < end; i++) {
        if (!IsDigit((unsigned char)s[i])) return 0;
        port = port * 10 + (unsigned)(s[i] - '0');
        if (port > 65535) return 0;
    }
    if (colon + 1 < end && port == 0) return 0;
    url->port = colon + 1 < end ? port : 80;
    *used = end;
    return 1;
}

static void Trim(const char **s, size_t *len) {
    while (*len > 0 && IsSpace((unsigned char)(*s)[0])) (*s)++, (*len)--;
    while (*len > 0 && IsSpace((unsigned char)(*s)[*len - 1])) (*len)--;
}

static void CutFragment(const char *s, size_t *len) {
    const char *hash = (const char *)memchr(s, '#', *len);
    if (hash) *len = (size_t)(hash - s);
}

int ParseHttpUrl(const char *text, size_t len, HttpUrl *url) {
    size_t used;
    Trim(&text, &len);
    CutFragment(text, &len);
    if (len < 7 || !SameWord(text, 7, "http://")) return 0;
    if (!ParseAuthority(text + 7, len - 7, url, &used)) return 0;
    return SetPath(url, "", 0, text + 7 + used, len - 7 - used);
}

int ResolveUrl(const HttpUrl *base, const char *ref, size_t len, HttpUrl *out) {
    HttpUrl b = *base; /* out may be base */
    size_t scheme = 0, path_len, dir_len, used;
    const char *query;

    Trim(&ref, &len);
    CutFragment(ref, &len);
    while (scheme < len && (IsAlpha((unsigned char)ref[scheme]) || IsDigit((unsigned char)ref[scheme]) ||
                            ref[scheme] == '+' || ref[scheme] == '-' || ref[scheme] == '.'))
        scheme++;
    if (scheme > 0 && scheme < len && ref[scheme] == ':' && IsAlpha((unsigned char)ref[0])) {
        if (!SameWord(ref, scheme, "http")) return 0;
        /* "http:page.html" is relative to the page, as old browsers took it. */
        ref += scheme + 1;
        len -= scheme + 1;
    }
    if (len >= 2 && ref[0] == '/' && ref[1] == '/') {
        if (!ParseAuthority(ref + 2, len - 2, out, &used)) return 0;
        return SetPath(out, "", 0, ref + 2 + used, len - 2 - used);
    }

    memcpy(out->host, b.host, sizeof out->host);
    out->port = b.port;
    query = strchr(b.path, '?');
    path_len = query ? (size_t)(query - b.path) : strlen(b.path);
    if (len == 0) return SetPath(out, b.path, strlen(b.path), "", 0);
    if (ref[0] == '/') return SetPath(out, "", 0, ref, len);
    if (ref[0] == '?') return SetPath(out, b.path, path_len, ref, len);
    dir_len = path_len;
    while (dir_len > 0 && b.path[dir_len - 1] != '/') dir_len--;
    return SetPath(out, b.path, dir_len, ref, len);
}

int FormatUrl(const HttpUrl *url, char *buf, size_t size) {
    int n;
    if (url->port == 80)
        n = snprintf(buf, size, "http://%s%s", url->host, url->path);
    else
        n = snprintf(buf, size, "http://%s:%u%s", url->host, url->port, url->path);
    return n > 0 && (size_t)n < size;
}

/* --- Reading a page */

static const struct {
    const char *tag;
    const char *attribute;
    int kind;
} kLinkAttributes[] = {
    {"a", "href", LINK_PAGE},         {"area", "href", LINK_PAGE},       {"frame", "src", LINK_PAGE},
    {"iframe", "src", LINK_PAGE},     {"img", "src", LINK_INCLUSION},    {"body", "background", LINK_INCLUSION},
    {"link", "href", LINK_INCLUSION}, {"script", "src", LINK_INCLUSION}, {"base", "href", LINK_BASE},
};

/* Where word first occurs at or after from, in any case; len when nowhere. */
static size_t FindWord(const char *text, size_t len, size_t from, const char *word) {
    size_t n = strlen(word), i, j;
    for (i = from; i < len && n <= len - i; i++) {
        for (j = 0; j < n && Lower((unsigned char)text[i + j]) == Lower((unsigned char)word[j]); j++) {
        }
        if (j == n) return i;
    }
    return len;
}

/* Hands the value on with &amp; decoded; a value too long for a URL is no link. */
static void Report(LinkFound found, void *context, int kind, const char *v, size_t n) {
    char value[URL_TEXT_MAX];
    size_t i = 0, out = 0;
    while (i < n) {
        if (out + 1 >= sizeof value) return;
        if (v[i] == '&' && n - i >= 5 && SameWord(v + i, 5, "&amp;")) {
            value[out++] = '&';
            i += 5;
        } else {
            value[out++] = v[i++];
        }
    }
    value[out] = 0;
    found(context, kind, value, out);
}

/* Reads the tag whose name begins at i; returns where the text after it
 * begins (after the raw text of a script or style element). */
static size_t ReadTag(const char *html, size_t len, size_t i, LinkFound found, void *context) {
    size_t name = i, name_len, k;
    const char *attribute = NULL;
    int kind = 0, reported = 0;

    while (i < len && (IsAlpha((unsigned char)html[i]) || IsDigit((unsigned char)html[i]))) i++;
    name_len = i - name;
    for (k = 0; k < sizeof kLinkAttributes / sizeof kLinkAttributes[0]; k++) {
        if (SameWord(html + name, name_len, kLinkAttributes[k].tag)) {
            attribute = kLinkAttributes[k].attribute;
            kind = kLinkAttributes[k].kind;
            break;
        }
    }
    for (;;) {
        size_t at, at_len, value, value_len;
        while (i < len && (IsSpace((unsigned char)html[i]) || html[i] == '/')) i++;
        if (i >= len) return len;
        if (html[i] == '>') {
            i++;
            break;
        }
        at = i;
        while (i < len && !IsSpace((unsigned char)html[i]) && html[i] != '=' && html[i] != '>' && html[i] != '/') i++;
        at_len = i - at;
        while (i < len && IsSpace((unsigned char)html[i])) i++;
        if (i >= len || html[i] != '=') continue;
        i++;
        while (i < len && IsSpace((unsigned char)html[i])) i++;
        if (i < len && (html[i] == '"' || html[i] == '\'')) {
            const char *close = (const char *)memchr(html + i + 1, html[i], len - i - 1);
            if (!close) return len; /* the page ends inside the value */
            value = i + 1;
            value_len = (size_t)(close - html) - value;
            i = value + value_len + 1;
        } else {
            value = i;
            while (i < len && !IsSpace((unsigned char)html[i]) && html[i] != '>') i++;
            value_len = i - value;
        }
        if (attribute && !reported && SameWord(html + at, at_len, attribute)) {
            reported = 1;
            Report(found, context, kind, html + value, value_len);
        }
    }
    if (SameWord(html + name, name_len, "script")) return FindWord(html, len, i, "</script");
    if (SameWord(html + name, name_len, "style")) return FindWord(html, len, i, "</style");
    return i;
}

void ReadLinks(const char *html, size_t len, LinkFound found, void *context) {
    size_t i = 0;
    while (i < len) {
        const char *open = (const char *)memchr(html + i, '<', len - i);
        if (!open) return;
        i = (size_t)(open - html) + 1;
        if (len - i >= 3 && memcmp(html + i, "!--", 3) == 0) {
            i = FindWord(html, len, i + 3, "-->");
            if (i >= len) return;
            i += 3;
        } else if (i < len && IsAlpha((unsigned char)html[i])) {
            i = ReadTag(html, len, i, found, context);
        }
    }
}
