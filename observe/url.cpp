#include "observe/url.h"

#include "res/resource.h"
#include "res/strings.h"

#include <string.h>

const char kNullAddressName[] = "-- error: null address --";

namespace {

// ---- The result buffer --------------------------------------------------

void Clear(UrlBuffer* b) {
    b->length = 0;
    b->truncated = false;
    b->text[0] = 0;
}

// Copying: once something has not fitted, nothing after it is written, so
// a cut text is always a prefix of the whole one.
void PutChars(UrlBuffer* b, const char* s, int n) {
    if (b->truncated) return;
    if (b->length + n > kUrlMax) {
        b->truncated = true;
        return;
    }
    memcpy(b->text + b->length, s, (size_t)n);
    b->length += n;
    b->text[b->length] = 0;
}

void PutChar(UrlBuffer* b, char c) { PutChars(b, &c, 1); }

void PutText(UrlBuffer* b, const char* s, const char* end) {
    while (s < end && !b->truncated) PutChar(b, *s++);
}

// The character at i, or NUL past the end.
char At(const UrlBuffer* b, int i) { return i >= 0 && i < b->length ? b->text[i] : 0; }

bool StartsWith(const UrlBuffer* b, const char* prefix) {
    size_t n = strlen(prefix);
    return (size_t)b->length >= n && memcmp(b->text, prefix, n) == 0;
}

// Editing in place: characters pushed past kUrlMax by an insertion are lost.
void InsertAt(UrlBuffer* b, int at, const char* s, int n) {
    if (at > b->length) at = b->length;
    int tail = b->length - at;
    int room = kUrlMax - at;
    int put = n < room ? n : room;
    int kept = tail < room - put ? tail : room - put;
    if (put < n || kept < tail) b->truncated = true;
    memmove(b->text + at + put, b->text + at, (size_t)kept);
    memcpy(b->text + at, s, (size_t)put);
    b->length = at + put + kept;
    b->text[b->length] = 0;
}

void RemoveAt(UrlBuffer* b, int at, int n) {
    if (at >= b->length) return;
    if (n > b->length - at) n = b->length - at;
    memmove(b->text + at, b->text + at + n, (size_t)(b->length - at - n + 1));
    b->length -= n;
}

void LowerFrom(UrlBuffer* b, int from, int to) {
    for (int i = from; i < to; ++i)
        if (b->text[i] >= 'A' && b->text[i] <= 'Z') b->text[i] = (char)(b->text[i] - 'A' + 'a');
}

int FindChar(const UrlBuffer* b, char c, int from) {
    for (int i = from; i < b->length; ++i)
        if (b->text[i] == c) return i;
    return -1;
}

// ---- Percent normalisation ----------------------------------------------

// A hex digit as the escapes were always read: anything above '9' and
// below 'G' is upper case, anything else above '9' lower case. Letters
// past 'f' and non-digits give values out of range; the caller keeps the
// byte to 8 bits.
int HexValue(unsigned char c) {
    if (c > '9' && c < 'G') return c - 55;
    if (c > '9') return c - 87;
    return c - 48;
}

// Bytes that stay escaped even when an escape spells them.
bool KeepsEscape(unsigned char c) {
    return c < 33 || c > 126 || strchr(":/?+#%", c) != 0;
}

bool MustEscape(unsigned char c) { return c < 33 || c >= 127; }

void PutEscape(UrlBuffer* b, unsigned char c) {
    static const char kHex[] = "0123456789ABCDEF";
    char e[3] = {'%', kHex[c >> 4], kHex[c & 15]};
    PutChars(b, e, 3);
}

void PutNormalised(UrlBuffer* b, const char* text, const char* end) {
    const unsigned char* s = (const unsigned char*)text;
    const unsigned char* e = (const unsigned char*)end;
    while (s < e && !b->truncated) {
        unsigned char c = *s;
        if (c == '%' && e - s >= 3) {
            unsigned char v = (unsigned char)(HexValue(s[1]) * 16 + HexValue(s[2]));
            if (KeepsEscape(v))
                PutEscape(b, v);
            else
                PutChar(b, (char)v);
            s += 3;
        } else {
            if (MustEscape(c))
                PutEscape(b, c);
            else
                PutChar(b, (char)c);
            ++s;
        }
    }
}

// ---- Host and file normalisation ----------------------------------------

bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '+';
}

const char* SchemeEnd(const char* s, const char* end) {
    while (s < end && IsSchemeChar(*s)) ++s;
    return s;
}

bool IsDefaultPort(const UrlBuffer* b, int colon) {
    if (At(b, colon + 1) == '8' && At(b, colon + 2) == '0') return StartsWith(b, "http:");
    if (At(b, colon + 1) == '7' && At(b, colon + 2) == '0') return StartsWith(b, "gopher:");
    return false;
}

// The host after the first "//" (if the first '/' starts one) is lowered,
// a default port dropped and the host ended by '/'.
void NormaliseHost(UrlBuffer* b) {
    int slash = FindChar(b, '/', 0);
    if (slash < 0 || At(b, slash + 1) != '/') return;
    int host = slash + 2;
    int host_end = FindChar(b, '/', host);
    if (host_end < 0) host_end = b->length;
    LowerFrom(b, host, host_end);

    // The port test looks at where the '/' after the host is or will be;
    // dropping the port first leaves room for the '/' in a full buffer.
    int colon = FindChar(b, ':', host);
    if (colon >= 0 && colon == host_end - 3 && IsDefaultPort(b, colon)) {
        RemoveAt(b, colon, 3);
        host_end -= 3;
    }
    if (host_end == b->length) InsertAt(b, host_end, "/", 1);
}

// file: URLs, by the slashes after "file:" (position 5 on). Returns where
// backslashes start to be turned into slashes.
int NormaliseFileSlashes(UrlBuffer* b) {
    if (At(b, 5) != '/') {
        if (At(b, 5) == '\\' && At(b, 6) == '\\') {  // \\host\share
            InsertAt(b, 7, "//", 2);
        } else {  // c:\dir or a bare name
            if (At(b, 6) == ':') b->text[6] = '|';
            InsertAt(b, 5, "///", 3);
        }
    } else if (At(b, 6) != '/') {  // /c:/dir
        if (At(b, 7) == ':') b->text[7] = '|';
        InsertAt(b, 6, "//", 2);
    } else if (At(b, 7) != '/') {  // //name/...
        int end = FindChar(b, '/', 7);
        if (end < 0) end = b->length;
        const char* dot = (const char*)memchr(b->text + 7, '.', (size_t)(end - 7));
        if (dot) {
            // A dotted name is a remote host: fetch it by FTP instead.
            int dot_at = (int)(dot - b->text);
            RemoveAt(b, 0, 1);
            memcpy(b->text, "ftp", 3);
            // A host cut short by a full buffer gets its '/' now there is room.
            if (end - 1 == b->length) InsertAt(b, b->length, "/", 1);
            return dot_at - 1;
        }
        InsertAt(b, 5, "//", 2);
    } else if (At(b, 8) != '/') {  // ///c:/dir
        if (At(b, 9) == ':') b->text[9] = '|';
    } else if (At(b, 9) == '/') {  // five slashes become four
        RemoveAt(b, 5, 1);
    }
    return 5;
}

void NormaliseFile(UrlBuffer* b) {
    int from = NormaliseFileSlashes(b);
    for (int i = from; i < b->length; ++i)
        if (b->text[i] == '\\') b->text[i] = '/';
    LowerFrom(b, 0, b->length);
}

void Canonical(const char* url, const char* end, UrlBuffer* out) {
    Clear(out);
    static const char kViewSource[] = "view-source:";
    const size_t skip = sizeof kViewSource - 1;
    if ((size_t)(end - url) >= skip && memcmp(url, kViewSource, skip) == 0) url += skip;
    PutNormalised(out, url, end);
    NormaliseHost(out);
    if (StartsWith(out, "file:")) NormaliseFile(out);
}

// ---- Resolution ----------------------------------------------------------

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

bool StartsWithText(const char* s, const char* end, const char* prefix) {
    size_t n = strlen(prefix);
    return (size_t)(end - s) >= n && memcmp(s, prefix, n) == 0;
}

// "//host/..." takes the base's scheme.
void ResolveNetworkPath(const char* base, const char* ref, const char* end, UrlBuffer* out) {
    PutText(out, base, SchemeEnd(base, base + strlen(base)));
    PutChar(out, ':');
    PutNormalised(out, ref, end);
    NormaliseHost(out);
}

// True when "scheme:rest" names another resource than the relative
// reference "rest" would: always when rest begins with "//" or is empty,
// and whenever the base has another scheme.
bool IsAbsolute(const char* base, const char* ref, const char* colon, const char* end) {
    const char* rest = colon + 1;
    if (rest == end) return true;
    if (end - rest >= 2 && rest[0] == '/' && rest[1] == '/') return true;
    size_t n = (size_t)(colon - ref);
    return !(strncmp(base, ref, n) == 0 && base[n] == ':');
}

// Leading "./" and "../" move the directory P back, never above the root
// at host_end; a final "." or ".." also takes off the trailing '/'.
const char* ApplyDots(const char* base, int host_end, const char* ref, const char* end, int* p) {
    while (ref < end && ref[0] == '.') {
        bool more = end - ref >= 2;
        if (more && ref[1] == '/') {
            ref += 2;
        } else if (more && ref[1] == '.' && (end - ref == 2 || ref[2] == '/')) {
            bool final = end - ref == 2;
            if (*p > host_end + 1) {
                --*p;
                while (*p > host_end && base[*p - 1] != '/') --*p;
            }
            ref += final ? 2 : 3;
            if (final && *p > 0) --*p;
        } else if (!more) {
            ref += 1;
            if (*p > 0) --*p;
        } else {
            break;  // ".profile" is a name
        }
    }
    return ref;
}

void ResolveRelative(const char* base, int host_end, int dir_end, const char* ref, const char* end,
                     UrlBuffer* out) {
    int p = dir_end;
    ref = ApplyDots(base, host_end, ref, end, &p);
    if (ref < end && ref[0] == '/') {
        PutNormalised(out, base, base + host_end);
    } else if (p == 0) {
        PutNormalised(out, base, base + strlen(base));
        PutChar(out, '/');
    } else {
        PutNormalised(out, base, base + p);
    }
    PutNormalised(out, ref, end);
    if (StartsWith(out, "file:")) NormaliseFile(out);
}

// ---- Display names -------------------------------------------------------

// Start of the name that ends just before `at`: one past the previous '/'.
int AfterPreviousSlash(const char* url, int at) {
    while (at > 0 && url[at - 1] != '/') --at;
    return at;
}

void PutParenthesised(const char* name, int n, UrlBuffer* out) {
    if (n > kUrlMax - 2) {
        n = kUrlMax - 2;
        out->truncated = true;
    }
    out->text[0] = '(';
    memcpy(out->text + 1, name, (size_t)n);
    out->text[n + 1] = ')';
    out->text[n + 2] = 0;
    out->length = n + 2;
}

void PutFixed(const char* text, UrlBuffer* out) {
    Clear(out);
    PutChars(out, text, (int)strlen(text));
}

bool SegmentBegins(const char* segment, const char* prefix) {
    return strncmp(segment, prefix, strlen(prefix)) == 0;
}

// ---- Local paths -----------------------------------------------------------

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the file name starts after "file:".
int LocalPathStart(const char* url) {
    if (url[5] == '/' && url[6] != '/') {
        if (IsLetter(url[6]) && (url[7] == ':' || url[7] == '|')) return 6;
        return 5;
    }
    if (url[5] == '/' && url[6] == '/' && url[7] == '/') {
        if (url[8] != '/') return 8;
        return url[9] == '/' ? 8 : 7;
    }
    return 5;
}

}  // namespace

void PercentNormalise(const char* text, UrlBuffer* out) {
    Clear(out);
    if (text) PutNormalised(out, text, text + strlen(text));
}

void CanonicalUrl(const char* url, UrlBuffer* out) {
    if (!url) url = "";
    Canonical(url, url + strlen(url), out);
}

void ResolveUrl(const char* base, int host_end, int dir_end, const char* ref, UrlBuffer* out) {
    if (!base) base = "";
    if (!ref) ref = "";
    int base_length = (int)strlen(base);
    host_end = Clamp(host_end, 0, base_length);
    dir_end = Clamp(dir_end, 0, base_length);
    Clear(out);

    bool angle = ref[0] == '<';
    if (angle) ++ref;
    const char* end = ref + strlen(ref);
    if (StartsWithText(ref, end, "URL:")) ref += 4;

    if (StartsWithText(ref, end, "//")) {
        ResolveNetworkPath(base, ref, end, out);
        return;
    }
    if (angle && end > ref && end[-1] == '>') --end;

    const char* scheme_end = SchemeEnd(ref, end);
    if (scheme_end > ref && scheme_end < end && *scheme_end == ':') {
        if (IsAbsolute(base, ref, scheme_end, end)) {
            Canonical(ref, end, out);
            return;
        }
        ref = scheme_end + 1;  // http:foo.html under an http: page
    }
    ResolveRelative(base, host_end, dir_end, ref, end, out);
}

UrlSplit SplitUrl(const char* url) {
    UrlSplit split = {0, 0};
    if (!url) return split;
    const char* slashes = strstr(url, "//");
    const char* from = url;
    if (slashes) {
        const char* host_end = strchr(slashes + 2, '/');
        split.host_end = host_end ? (int)(host_end - url) : (int)strlen(url);
        if (!host_end) return split;
        from = host_end;
    }
    const char* last = strrchr(from, '/');
    if (last) split.dir_end = (int)(last - url) + 1;
    return split;
}

UrlNameKind UrlDisplayName(const char* url, int host_end, int dir_end, UrlBuffer* out) {
    Clear(out);
    if (!url || !url[0] || !strchr(url, ':')) {
        PutFixed(kNullAddressName, out);
        return UrlNameNullAddress;
    }
    int length = (int)strlen(url);
    if (host_end < 0 || host_end > length || dir_end < 0 || dir_end > length) {
        UrlSplit split = SplitUrl(url);
        host_end = split.host_end;
        dir_end = split.dir_end;
    }

    int start = 0;  // the name runs from here to the end
    const char* segment = url + dir_end;
    bool below_root = dir_end - 1 > host_end;
    if (host_end == 0) {
        start = 0;
    } else if (dir_end > 0 && *segment == 0 && below_root) {
        start = AfterPreviousSlash(url, dir_end - 1);  // (b/)
    } else if (dir_end > 0 && (SegmentBegins(segment, "index.") ||
                               SegmentBegins(segment, "Welcome."))) {
        // (a/index.html), or (h/index.html) at the root
        start = AfterPreviousSlash(url, below_root ? dir_end - 1 : host_end);
    } else if (dir_end > 0 && *segment) {
        start = dir_end;  // (b.html)
    } else {
        start = AfterPreviousSlash(url, host_end);  // (h/)
        if (start == host_end && strncmp(url, "file:", 5) == 0) {
            PutFixed(AppString(IDS_LOCAL_DISC_FILES), out);
            return UrlNameLocalDisc;
        }
    }
    PutParenthesised(url + start, length - start, out);
    return UrlNameShort;
}

bool LocalPathOfUrl(const char* url, UrlBuffer* out) {
    Clear(out);
    if (!url || strncmp(url, "file:", 5) != 0) return false;
    const char* s = url + LocalPathStart(url);
    if (*s == 0) return true;
    PutChar(out, *s++);
    if (*s == '|') {
        PutChar(out, ':');
        ++s;
    }
    while (*s && !out->truncated) {
        if (s[0] == '%' && s[1] && s[2]) {
            unsigned char v = (unsigned char)(HexValue((unsigned char)s[1]) * 16 +
                                              HexValue((unsigned char)s[2]));
            if (v == 0)
                PutChars(out, s, 3);
            else
                PutChar(out, (char)v);
            s += 3;
        } else {
            PutChar(out, *s++);
        }
    }
    return true;
}
