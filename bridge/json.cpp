#include "bridge/json.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Cursor {
    const char* at;
    const char* end;
};

bool AtEnd(const Cursor& c) {
    return c.at >= c.end;
}

void SkipWhite(Cursor* c) {
    while (!AtEnd(*c) && (*c->at == ' ' || *c->at == '\t' || *c->at == '\n' || *c->at == '\r')) ++c->at;
}

bool Literal(Cursor* c, const char* word) {
    size_t n = strlen(word);
    if ((size_t)(c->end - c->at) < n || memcmp(c->at, word, n) != 0) return false;
    c->at += n;
    return true;
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back((char)code);
    } else if (code < 0x800) {
        out->push_back((char)(0xC0 | code >> 6));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back((char)(0xE0 | code >> 12));
        out->push_back((char)(0x80 | (code >> 6 & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    } else {
        out->push_back((char)(0xF0 | code >> 18));
        out->push_back((char)(0x80 | (code >> 12 & 0x3F)));
        out->push_back((char)(0x80 | (code >> 6 & 0x3F)));
        out->push_back((char)(0x80 | (code & 0x3F)));
    }
}

bool Hex4(Cursor* c, uint32_t* value) {
    if (c->end - c->at < 4) return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        char h = c->at[i];
        v <<= 4;
        if (h >= '0' && h <= '9')
            v |= (uint32_t)(h - '0');
        else if (h >= 'a' && h <= 'f')
            v |= (uint32_t)(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F')
            v |= (uint32_t)(h - 'A' + 10);
        else
            return false;
    }
    c->at += 4;
    *value = v;
    return true;
}

const uint32_t kReplacement = 0xFFFD;

// After "\u": one code point, a surrogate pair taken together.
bool UnicodeEscape(Cursor* c, std::string* out) {
    uint32_t code;
    if (!Hex4(c, &code)) return false;
    if (code >= 0xD800 && code <= 0xDBFF && c->end - c->at >= 6 && c->at[0] == '\\' && c->at[1] == 'u') {
        Cursor after = {c->at + 2, c->end};
        uint32_t low;
        if (Hex4(&after, &low) && low >= 0xDC00 && low <= 0xDFFF) {
            c->at = after.at;
            AppendUtf8(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00), out);
            return true;
        }
    }
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
    AppendUtf8(code, out);
    return true;
}

// After the opening quote.
bool ReadString(Cursor* c, std::string* out) {
    for (;;) {
        const char* start = c->at;
        while (!AtEnd(*c) && *c->at != '"' && *c->at != '\\' && (unsigned char)*c->at >= 0x20) ++c->at;
        out->append(start, (size_t)(c->at - start));
        if (AtEnd(*c) || (unsigned char)*c->at < 0x20) return false;
        if (*c->at++ == '"') return true;
        if (AtEnd(*c)) return false;
        char e = *c->at++;
        switch (e) {
        case '"': out->push_back('"'); break;
        case '\\': out->push_back('\\'); break;
        case '/': out->push_back('/'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'u':
            if (!UnicodeEscape(c, out)) return false;
            break;
        default: return false;
        }
    }
}

bool IsDigit(char d) {
    return d >= '0' && d <= '9';
}

// JSON's number grammar, checked; the value read by strtod from a copy.
bool ReadNumber(Cursor* c, double* out) {
    const char* start = c->at;
    if (!AtEnd(*c) && *c->at == '-') ++c->at;
    if (AtEnd(*c) || !IsDigit(*c->at)) return false;
    if (*c->at == '0') {
        ++c->at;
    } else {
        while (!AtEnd(*c) && IsDigit(*c->at)) ++c->at;
    }
    if (!AtEnd(*c) && *c->at == '.') {
        ++c->at;
        if (AtEnd(*c) || !IsDigit(*c->at)) return false;
        while (!AtEnd(*c) && IsDigit(*c->at)) ++c->at;
    }
    if (!AtEnd(*c) && (*c->at == 'e' || *c->at == 'E')) {
        ++c->at;
        if (!AtEnd(*c) && (*c->at == '+' || *c->at == '-')) ++c->at;
        if (AtEnd(*c) || !IsDigit(*c->at)) return false;
        while (!AtEnd(*c) && IsDigit(*c->at)) ++c->at;
    }
    std::string copy(start, (size_t)(c->at - start));
    *out = strtod(copy.c_str(), 0);
    return true;
}

JsonError ReadValue(Cursor* c, int depth, JsonValue* out);

JsonError ReadArray(Cursor* c, int depth, JsonValue* out) {
    out->type = JsonArray;
    SkipWhite(c);
    if (!AtEnd(*c) && *c->at == ']') {
        ++c->at;
        return JsonOk;
    }
    for (;;) {
        out->items.push_back(JsonValue());
        JsonError e = ReadValue(c, depth, &out->items.back());
        if (e != JsonOk) return e;
        SkipWhite(c);
        if (AtEnd(*c)) return JsonSyntax;
        char next = *c->at++;
        if (next == ']') return JsonOk;
        if (next != ',') return JsonSyntax;
    }
}

JsonError ReadObject(Cursor* c, int depth, JsonValue* out) {
    out->type = JsonObject;
    SkipWhite(c);
    if (!AtEnd(*c) && *c->at == '}') {
        ++c->at;
        return JsonOk;
    }
    for (;;) {
        SkipWhite(c);
        if (AtEnd(*c) || *c->at != '"') return JsonSyntax;
        ++c->at;
        out->members.push_back(std::make_pair(std::string(), JsonValue()));
        if (!ReadString(c, &out->members.back().first)) return JsonSyntax;
        SkipWhite(c);
        if (AtEnd(*c) || *c->at != ':') return JsonSyntax;
        ++c->at;
        JsonError e = ReadValue(c, depth, &out->members.back().second);
        if (e != JsonOk) return e;
        SkipWhite(c);
        if (AtEnd(*c)) return JsonSyntax;
        char next = *c->at++;
        if (next == '}') return JsonOk;
        if (next != ',') return JsonSyntax;
    }
}

JsonError ReadValue(Cursor* c, int depth, JsonValue* out) {
    SkipWhite(c);
    if (AtEnd(*c)) return JsonSyntax;
    switch (*c->at) {
    case '{':
    case '[':
        if (depth >= kJsonMaxDepth) return JsonTooDeep;
        return *c->at++ == '{' ? ReadObject(c, depth + 1, out) : ReadArray(c, depth + 1, out);
    case '"':
        ++c->at;
        out->type = JsonString;
        return ReadString(c, &out->text) ? JsonOk : JsonSyntax;
    case 't':
    case 'f':
        out->type = JsonBool;
        out->boolean = *c->at == 't';
        return Literal(c, out->boolean ? "true" : "false") ? JsonOk : JsonSyntax;
    case 'n': out->type = JsonNull; return Literal(c, "null") ? JsonOk : JsonSyntax;
    default: out->type = JsonNumber; return ReadNumber(c, &out->number) ? JsonOk : JsonSyntax;
    }
}

// Bytes in the well-formed UTF-8 sequence at `s` (up to `n` bytes there);
// 0 when it is none.
size_t Utf8Sequence(const unsigned char* s, size_t n) {
    unsigned char c = s[0];
    size_t length;
    uint32_t low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c == 0xE0)
        length = 3, low = 0xA0;
    else if (c == 0xED)
        length = 3, high = 0x9F;
    else if (c >= 0xE1 && c <= 0xEF)
        length = 3;
    else if (c == 0xF0)
        length = 4, low = 0x90;
    else if (c == 0xF4)
        length = 4, high = 0x8F;
    else if (c >= 0xF1 && c <= 0xF3)
        length = 4;
    else
        return 0;
    if (n < length || s[1] < low || s[1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (s[i] < 0x80 || s[i] > 0xBF) return 0;
    return length;
}

}  // namespace

const JsonValue* JsonValue::Find(const char* key) const {
    if (type != JsonObject) return 0;
    for (const auto& m : members)
        if (m.first == key) return &m.second;
    return 0;
}

const char* JsonValue::TextOf(const char* key) const {
    const JsonValue* v = Find(key);
    return v && v->type == JsonString ? v->text.c_str() : 0;
}

int64_t JsonValue::NumberOf(const char* key, int64_t otherwise) const {
    const JsonValue* v = Find(key);
    // Past 2^53 a double no longer holds every integer; nothing sent is that big.
    if (!v || v->type != JsonNumber || !(v->number >= -9007199254740992.0 && v->number <= 9007199254740992.0))
        return otherwise;
    return (int64_t)v->number;
}

bool JsonValue::BoolOf(const char* key, bool otherwise) const {
    const JsonValue* v = Find(key);
    return v && v->type == JsonBool ? v->boolean : otherwise;
}

JsonError ParseJson(const char* bytes, size_t size, JsonValue* out) {
    *out = JsonValue();
    Cursor c = {bytes, bytes + size};
    JsonError e = ReadValue(&c, 0, out);
    if (e == JsonOk) {
        SkipWhite(&c);
        if (!AtEnd(c)) e = JsonTrailing;
    }
    if (e != JsonOk) *out = JsonValue();
    return e;
}

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    const unsigned char* s = (const unsigned char*)text.data();
    size_t n = text.size();
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back((char)c);
            ++i;
        } else if (c < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
            ++i;
        } else if (c < 0x80) {
            out.push_back((char)c);
            ++i;
        } else if (size_t length = Utf8Sequence(s + i, n - i)) {
            out.append((const char*)s + i, length);
            i += length;
        } else {
            AppendUtf8(c, &out);
            ++i;
        }
    }
    out.push_back('"');
    return out;
}
