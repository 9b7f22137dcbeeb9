#include "shim/http_head.h"

#include <string.h>

namespace {

struct MethodName {
    HttpMethod method;
    const char* name;
};

const MethodName kMethods[] = {
    {MethodGet, "GET"},     {MethodHead, "HEAD"},       {MethodPost, "POST"},
    {MethodPut, "PUT"},     {MethodDelete, "DELETE"},   {MethodOptions, "OPTIONS"},
    {MethodTrace, "TRACE"}, {MethodConnect, "CONNECT"}, {MethodPatch, "PATCH"},
};
const size_t kMethodCount = sizeof kMethods / sizeof kMethods[0];

const char kHttpVersionStart[] = "HTTP/";
const size_t kHttpVersionStartLength = 5;
// Longer lengths are no body that a browser receives; 18 digits cannot overflow.
const size_t kLengthDigitsMax = 18;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lowered(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

bool Is(TextSpan s, const char* lower) {
    size_t n = strlen(lower);
    if (s.length != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (Lowered(s.text[i]) != lower[i]) return false;
    return true;
}

TextSpan Trimmed(TextSpan s) {
    while (s.length > 0 && (s.text[0] == ' ' || s.text[0] == '\t')) {
        ++s.text;
        --s.length;
    }
    while (s.length > 0 && (s.text[s.length - 1] == ' ' || s.text[s.length - 1] == '\t')) --s.length;
    return s;
}

// The lines of a head, each without its line feed and carriage return.
struct LineReader {
    const char* at;
    const char* end;

    bool Next(TextSpan* line) {
        if (at >= end) return false;
        const char* lf = (const char*)memchr(at, '\n', (size_t)(end - at));
        const char* stop = lf ? lf : end;
        line->text = at;
        line->length = (size_t)(stop - at);
        if (line->length > 0 && line->text[line->length - 1] == '\r') --line->length;
        at = lf ? lf + 1 : end;
        return true;
    }
};

bool SplitHeader(TextSpan line, TextSpan* name, TextSpan* value) {
    if (line.length == 0 || line.text[0] == ' ' || line.text[0] == '\t') return false;
    const char* colon = (const char*)memchr(line.text, ':', line.length);
    if (!colon) return false;
    name->text = line.text;
    name->length = (size_t)(colon - line.text);
    TextSpan rest = {colon + 1, line.length - name->length - 1};
    *value = Trimmed(rest);
    return true;
}

// "HTTP/" digits "." digits from `s`; answers the bytes read, 0 when they
// are not a version.
size_t VersionLength(TextSpan s) {
    if (s.length < kHttpVersionStartLength || memcmp(s.text, kHttpVersionStart, kHttpVersionStartLength) != 0)
        return 0;
    size_t i = kHttpVersionStartLength;
    size_t digits = i;
    while (i < s.length && IsDigit(s.text[i])) ++i;
    if (i == digits || i == s.length || s.text[i] != '.') return 0;
    digits = ++i;
    while (i < s.length && IsDigit(s.text[i])) ++i;
    return i == digits ? 0 : i;
}

// The Content-Length headers of one head: all must say the same number.
struct LengthHeaders {
    bool seen = false;
    bool bad = false;
    uint64_t value = 0;

    void Take(TextSpan v) {
        uint64_t n = 0;
        bool number = v.length > 0 && v.length <= kLengthDigitsMax;
        for (size_t i = 0; number && i < v.length; ++i) {
            if (!IsDigit(v.text[i])) {
                number = false;
                break;
            }
            n = n * 10 + (uint64_t)(v.text[i] - '0');
        }
        if (!number || (seen && n != value)) bad = true;
        seen = true;
        value = n;
    }
};

// The last coding named by a list header, such as "gzip, chunked".
TextSpan LastCoding(TextSpan v) {
    TextSpan last = {v.text, 0};
    size_t start = 0;
    for (size_t i = 0; i <= v.length; ++i) {
        if (i < v.length && v.text[i] != ',') continue;
        TextSpan item = Trimmed(TextSpan{v.text + start, i - start});
        if (item.length > 0) last = item;
        start = i + 1;
    }
    return last;
}

// Whether a list header names a coding other than "identity".
bool NamesRealCoding(TextSpan v) {
    size_t start = 0;
    for (size_t i = 0; i <= v.length; ++i) {
        if (i < v.length && v.text[i] != ',') continue;
        TextSpan item = Trimmed(TextSpan{v.text + start, i - start});
        if (item.length > 0 && !Is(item, "identity")) return true;
        start = i + 1;
    }
    return false;
}

// Letters, digits and the bytes that a host name, an address in brackets
// or a port may hold.
bool UsableHost(TextSpan v) {
    if (v.length == 0) return false;
    for (size_t i = 0; i < v.length; ++i) {
        unsigned char c = (unsigned char)v.text[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit((char)c) ||
                  (c != 0 && strchr("-._~:[]%!$&'()*+,;=", c) != 0);
        if (!ok) return false;
    }
    return true;
}

// The framing headers shared by both directions.
struct FramingHeaders {
    LengthHeaders length;
    bool transfer_coding = false;  // a Transfer-Encoding header was seen
    bool chunked = false;          // and its last coding is chunked

    bool Take(TextSpan name, TextSpan value) {
        if (Is(name, "content-length")) {
            length.Take(value);
        } else if (Is(name, "transfer-encoding")) {
            transfer_coding = true;
            chunked = Is(LastCoding(value), "chunked");
        } else {
            return false;
        }
        return true;
    }
};

bool ReadRequestLine(TextSpan line, RequestHead* out) {
    const char* space = (const char*)memchr(line.text, ' ', line.length);
    if (!space) return false;
    TextSpan method = {line.text, (size_t)(space - line.text)};
    out->method = MethodNone;
    for (size_t m = 0; m < kMethodCount; ++m)
        if (method.length == strlen(kMethods[m].name) &&
            memcmp(method.text, kMethods[m].name, method.length) == 0)
            out->method = kMethods[m].method;
    if (out->method == MethodNone) return false;

    const char* target = space + 1;
    const char* end = line.text + line.length;
    const char* p = target;
    while (p < end && (unsigned char)*p > ' ' && *p != 0x7F) ++p;
    if (p == target || p == end || *p != ' ') return false;
    out->target.text = target;
    out->target.length = (size_t)(p - target);

    TextSpan version = {p + 1, (size_t)(end - p - 1)};
    return VersionLength(version) == version.length;
}

bool ReadStatusLine(TextSpan line, int* status) {
    size_t i = VersionLength(line);
    if (i == 0) return false;
    size_t blanks = i;
    while (i < line.length && (line.text[i] == ' ' || line.text[i] == '\t')) ++i;
    if (i == blanks || line.length - i < 3) return false;
    const char* code = line.text + i;
    if (!IsDigit(code[0]) || !IsDigit(code[1]) || !IsDigit(code[2])) return false;
    i += 3;
    if (i < line.length && line.text[i] != ' ' && line.text[i] != '\t') return false;
    *status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    return true;
}

}  // namespace

Plausibility RequestStart(const char* bytes, size_t count) {
    bool so_far = false;
    for (size_t m = 0; m < kMethodCount; ++m) {
        const char* name = kMethods[m].name;
        size_t k = strlen(name);
        size_t compared = count < k ? count : k;
        if (memcmp(bytes, name, compared) != 0) continue;
        if (count <= k) {
            so_far = true;
        } else if (bytes[k] == ' ') {
            return Plausible;
        }
    }
    return so_far ? PlausibleSoFar : Implausible;
}

Plausibility ResponseStart(const char* bytes, size_t count) {
    size_t compared = count < kHttpVersionStartLength ? count : kHttpVersionStartLength;
    if (memcmp(bytes, kHttpVersionStart, compared) != 0) return Implausible;
    return count < kHttpVersionStartLength ? PlausibleSoFar : Plausible;
}

bool ReadRequestHead(const char* head, size_t count, RequestHead* out) {
    LineReader lines = {head, head + count};
    TextSpan line;
    if (!lines.Next(&line) || !ReadRequestLine(line, out)) return false;
    out->host.text = head;
    out->host.length = 0;
    out->upgrade = false;
    FramingHeaders framing;
    while (lines.Next(&line)) {
        TextSpan name, value;
        if (!SplitHeader(line, &name, &value)) continue;
        if (framing.Take(name, value)) continue;
        if (Is(name, "host")) out->host = UsableHost(value) ? value : TextSpan{head, 0};
        if (Is(name, "upgrade")) out->upgrade = true;
    }
    out->length = 0;
    if (framing.transfer_coding) {
        out->body = framing.chunked ? BodyChunked : BodyUnknown;
    } else if (framing.length.bad) {
        out->body = BodyUnknown;
    } else if (framing.length.seen && framing.length.value > 0) {
        out->body = BodyLength;
        out->length = framing.length.value;
    } else {
        out->body = BodyNone;
    }
    return true;
}

bool ReadResponseHead(const char* head, size_t count, ResponseHead* out) {
    LineReader lines = {head, head + count};
    TextSpan line;
    if (!lines.Next(&line) || !ReadStatusLine(line, &out->status)) return false;
    FramingHeaders framing;
    out->coded = false;
    while (lines.Next(&line)) {
        TextSpan name, value;
        if (!SplitHeader(line, &name, &value)) continue;
        if (framing.Take(name, value)) continue;
        if (Is(name, "content-encoding") && NamesRealCoding(value)) out->coded = true;
    }
    out->length = 0;
    if (framing.transfer_coding) {
        out->body = framing.chunked ? BodyChunked : BodyUntilClose;
    } else if (framing.length.bad) {
        out->body = BodyUnknown;
    } else if (framing.length.seen) {
        out->body = BodyLength;
        out->length = framing.length.value;
    } else {
        out->body = BodyUntilClose;
    }
    return true;
}
