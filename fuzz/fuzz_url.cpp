// fuzz_url: the URL model and content types over arbitrary bytes.
//
// The input up to its first NUL is a URL (also used as a base, a MIME type
// text and a display-name source); the bytes after that NUL, up to the
// next, are a reference as written in a page. Each text is copied into a
// heap block of exactly its length plus the NUL, so AddressSanitizer sees
// any read past the end. Checked after every call:
//  - results are NUL-terminated at their length and at most kUrlMax long,
//    and a canonical URL of a short enough input is never cut;
//  - canonical and resolved URLs hold printable ASCII only (33..126);
//  - CanonicalUrl of a canonical URL changes nothing, except for the
//    shapes where one application of the rules is not the last (a second
//    "view-source:", five slashes after "file:", a '%' that with what
//    follows it now reads as a different escape, or escapes lowered by the
//    file: rules in what has become an ftp: URL);
//  - a reference "scheme://..." resolves the same against any base;
//  - SplitUrl's offsets lie in the text and point where they should;
//  - display names are parenthesised unless they are one of the fixed
//    texts; LocalPathOfUrl answers for "file:" URLs only;
//  - content-type codes have halves within their lists.
// Any break aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "observe/content_type.h"
#include "observe/url.h"
#include "res/resource.h"
#include "res/strings.h"

namespace {

void Fail(const char* what, const char* text) {
    fprintf(stderr, "fuzz_url: %s\n  text: \"%s\"\n", what, text ? text : "(null)");
    abort();
}

#define CHECK(cond, text)              \
    do {                               \
        if (!(cond)) Fail(#cond, (text)); \
    } while (0)

char* Copy(const uint8_t* data, size_t n) {
    char* s = (char*)malloc(n + 1);
    memcpy(s, data, n);
    s[n] = 0;
    return s;
}

void CheckBuffer(const UrlBuffer& b, const char* input) {
    CHECK(b.length >= 0 && b.length <= kUrlMax, input);
    CHECK(strlen(b.text) == (size_t)b.length, input);
}

void CheckPrintable(const UrlBuffer& b, const char* input) {
    for (int i = 0; i < b.length; ++i) {
        unsigned char c = (unsigned char)b.text[i];
        CHECK(c >= 33 && c <= 126, input);
    }
}

// The hex reading of the URL model, to tell which escapes read back alike.
int HexValue(unsigned char c) {
    if (c > '9' && c < 'G') return c - 55;
    if (c > '9') return c - 87;
    return c - 48;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// True when every '%' with two characters after it is an escape that
// percent normalisation writes back as it is (up to the case of its
// digits): a byte that stays escaped, spelt in hex.
bool EscapesAreStable(const char* s) {
    size_t n = strlen(s);
    for (size_t i = 0; i + 2 < n; ++i) {
        if (s[i] != '%') continue;
        unsigned char v = (unsigned char)(HexValue((unsigned char)s[i + 1]) * 16 +
                                          HexValue((unsigned char)s[i + 2]));
        bool kept = v < 33 || v > 126 || strchr(":/?+#%", v) != 0;
        if (!kept || !IsHex(s[i + 1]) || !IsHex(s[i + 2])) return false;
        i += 2;
    }
    return true;
}

// Where the host ends by the canonical rule: only a "//" at the first '/'
// starts a host. 0 without one.
size_t CanonicalHostEnd(const char* s) {
    const char* slash = strchr(s, '/');
    if (!slash || slash[1] != '/') return 0;
    const char* end = strchr(slash + 2, '/');
    return end ? (size_t)(end - s) : strlen(s);
}

// File normalisation lowers escapes too; when it turned the URL into an
// ftp: one, the next round writes them in upper case again.
bool HasLowerCaseEscapeAfterHost(const char* s) {
    if (strncmp(s, "file:", 5) == 0) return false;
    size_t n = strlen(s);
    for (size_t i = CanonicalHostEnd(s); i + 2 < n; ++i) {
        bool lower1 = s[i + 1] >= 'a' && s[i + 1] <= 'f';
        bool lower2 = s[i + 2] >= 'a' && s[i + 2] <= 'f';
        if (s[i] == '%' && (lower1 || lower2)) return true;
    }
    return false;
}

bool ShapeChangesAgain(const char* c) {
    return strncmp(c, "view-source:", 12) == 0 || strncmp(c, "file://///", 10) == 0 ||
           !EscapesAreStable(c) || HasLowerCaseEscapeAfterHost(c);
}

void CheckSplit(const char* url) {
    UrlSplit s = SplitUrl(url);
    int n = (int)strlen(url);
    CHECK(s.host_end >= 0 && s.host_end <= n, url);
    CHECK(s.dir_end >= 0 && s.dir_end <= n, url);
    CHECK(s.host_end == 0 || s.host_end == n || url[s.host_end] == '/', url);
    CHECK(s.dir_end == 0 || url[s.dir_end - 1] == '/', url);
    CHECK(s.dir_end == 0 || s.host_end == 0 || s.dir_end > s.host_end, url);
    CHECK((s.host_end == 0) == (strstr(url, "//") == 0), url);
}

void CheckName(const char* url, int host_end, int dir_end) {
    UrlBuffer b;
    UrlNameKind kind = UrlDisplayName(url, host_end, dir_end, &b);
    CheckBuffer(b, url);
    if (kind == UrlNameShort) {
        CHECK(b.length >= 2 && b.text[0] == '(' && b.text[b.length - 1] == ')', url);
    } else if (kind == UrlNameNullAddress) {
        CHECK(strcmp(b.text, kNullAddressName) == 0, url);
        CHECK(url[0] == 0 || strchr(url, ':') == 0, url);
    } else {
        CHECK(kind == UrlNameLocalDisc && strcmp(b.text, AppString(IDS_LOCAL_DISC_FILES)) == 0, url);
        CHECK(strncmp(url, "file:", 5) == 0, url);
    }
}

void CheckTypeCode(ContentTypeCode code, const char* text) {
    CHECK(MajorTypeOf(code) <= kMajorVideo, text);
    CHECK(MinorTypeOf(code) <= kMinorXbitmap, text);
}

// The reference after "<" and "URL:", if it is "scheme://...".
bool NamesItsScheme(const char* ref) {
    if (*ref == '<') ++ref;
    if (strncmp(ref, "URL:", 4) == 0) ref += 4;
    const char* p = ref;
    while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
           *p == '-' || *p == '.' || *p == '+')
        ++p;
    return p > ref && p[0] == ':' && p[1] == '/' && p[2] == '/';
}

void CheckCanonical(const char* url, UrlBuffer* canon) {
    CanonicalUrl(url, canon);
    CheckBuffer(*canon, url);
    CheckPrintable(*canon, url);
    // Escaping at most triples a text and file URLs gain at most three.
    CHECK(!canon->truncated || strlen(url) > (size_t)(kUrlMax - 3) / 3, url);

    UrlBuffer again;
    CanonicalUrl(canon->text, &again);
    CheckBuffer(again, canon->text);
    if (!ShapeChangesAgain(canon->text))
        CHECK(strcmp(again.text, canon->text) == 0, canon->text);
}

void CheckResolve(const char* base, const char* ref) {
    UrlSplit s = SplitUrl(base);
    UrlBuffer r;
    ResolveUrl(base, s.host_end, s.dir_end, ref, &r);
    CheckBuffer(r, ref);
    CheckPrintable(r, ref);

    // Offsets that do not belong to the base must still be safe.
    UrlBuffer odd;
    ResolveUrl(base, s.dir_end + 7, s.host_end - 3, ref, &odd);
    CheckBuffer(odd, ref);

    if (NamesItsScheme(ref)) {
        UrlBuffer alone;
        ResolveUrl("", 0, 0, ref, &alone);
        CHECK(strcmp(alone.text, r.text) == 0, ref);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t n = strnlen((const char*)data, size);
    size_t rest = n < size ? size - n - 1 : 0;
    const uint8_t* ref_data = data + n + (n < size ? 1 : 0);
    size_t m = strnlen((const char*)ref_data, rest);
    char* url = Copy(data, n);
    char* ref = Copy(ref_data, m);

    UrlBuffer b;
    PercentNormalise(url, &b);
    CheckBuffer(b, url);
    CheckPrintable(b, url);

    UrlBuffer canon;
    CheckCanonical(url, &canon);
    CheckSplit(url);
    CheckSplit(canon.text);

    CheckResolve(canon.text, ref);
    CheckResolve(url, ref);

    UrlSplit s = SplitUrl(canon.text);
    CheckName(canon.text, s.host_end, s.dir_end);
    CheckName(url, (int)m - 2, (int)n / 2);

    bool is_file = strncmp(canon.text, "file:", 5) == 0;
    CHECK(LocalPathOfUrl(canon.text, &b) == is_file, canon.text);
    CheckBuffer(b, canon.text);
    CHECK(b.length <= canon.length, canon.text);
    CHECK(LocalPathOfUrl(url, &b) == (strncmp(url, "file:", 5) == 0), url);
    CheckBuffer(b, url);

    CheckTypeCode(ContentTypeOfMime(url), url);
    CheckTypeCode(ContentTypeOfMime(ref), ref);
    CheckTypeCode(ContentTypeOfUrl(canon.text, s.dir_end), canon.text);
    CheckTypeCode(ContentTypeOfUrl(url, (int)m - 5), url);

    free(url);
    free(ref);
    return 0;
}
