// A small JSON reader for the messages the browser extension sends, and the
// quoting the host needs to answer it. The reader takes a buffer of known
// length (no NUL needed), never reads outside it, and refuses what is not
// one well-formed JSON value: deep nesting, bad escapes, stray bytes after
// the value. Strings come out as UTF-8; \u escapes of lone surrogates and
// of U+0000 become U+FFFD, so no text handed on holds a NUL.
#ifndef SKEIND_BRIDGE_JSON_H
#define SKEIND_BRIDGE_JSON_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

enum JsonType { JsonNull, JsonBool, JsonNumber, JsonString, JsonArray, JsonObject };

struct JsonValue {
    JsonType type = JsonNull;
    bool boolean = false;
    double number = 0;
    std::string text;                                         // JsonString
    std::vector<JsonValue> items;                             // JsonArray
    std::vector<std::pair<std::string, JsonValue> > members;  // JsonObject, in their order

    // The member named `key` of an object; null when absent or not an object.
    const JsonValue* Find(const char* key) const;
    // The member's text when it is a string; null otherwise.
    const char* TextOf(const char* key) const;
    // The member's value when it is a number that fits, else `otherwise`.
    int64_t NumberOf(const char* key, int64_t otherwise) const;
    // The member's value when it is a boolean, else `otherwise`.
    bool BoolOf(const char* key, bool otherwise) const;
};

enum JsonError {
    JsonOk = 0,
    JsonSyntax,    // not JSON
    JsonTooDeep,   // arrays and objects nested past kJsonMaxDepth
    JsonTrailing,  // bytes after the value
};

const int kJsonMaxDepth = 32;

// Reads `size` bytes as one JSON value (white space around it allowed).
// On failure `out` is left null.
JsonError ParseJson(const char* bytes, size_t size, JsonValue* out);

// `text` as a JSON string literal, quotes included. Bytes below 0x20, the
// quote and the backslash are escaped; well-formed UTF-8 is copied, and any
// other byte is read as Latin-1 (the program's 8-bit texts), so that the
// literal is always valid UTF-8, which the browser insists on.
std::string JsonQuote(const std::string& text);

#endif
