// fuzz_cmdline: the command-line tokeniser over arbitrary bytes.
//
// The input, cut at its first NUL, is the command line. It is copied into a
// heap block of exactly its length plus the NUL, so AddressSanitizer sees
// any read past the end. Each token is checked against the rules in
// app/cmdline.h, worked out again here from the bytes the cursor passed
// over, so that a token with the wrong text fails as well as one that runs
// past the end or never ends.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/cmdline.h"

namespace {

void Fail(const char* what, size_t at) {
    fprintf(stderr, "fuzz_cmdline: %s (token starting at byte %zu)\n", what, at);
    abort();
}

#define CHECK(cond, at)                   \
    do {                                  \
        if (!(cond)) Fail(#cond, (at));   \
    } while (0)

bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text a token should have, from its first character `s` to where the
// cursor stopped, following the rules in app/cmdline.h.
std::string Expected(const char* s, const char* stop) {
    std::string out;
    if (*s == '"' || *s == '\'') {
        char mark = *s;
        for (const char* p = s + 1; p < stop; ++p) {
            if (*p == mark) {
                if (p + 1 < stop && p[1] == mark) {
                    out += mark;
                    ++p;
                }
                // else the closing mark, the last byte passed over
            } else {
                out += *p;
            }
        }
    } else if (*s == '-' || *s == '/') {
        out += *s;
        for (const char* p = s + 1; p < stop; ++p)
            out += (*p >= 'A' && *p <= 'Z') ? (char)(*p - 'A' + 'a') : *p;
    } else {
        out.assign(s, stop);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t n = strnlen((const char*)data, size);
    char* line = (char*)malloc(n + 1);
    memcpy(line, data, n);
    line[n] = 0;

    // A null cursor reads as an empty line.
    CommandToken token;
    const char* none = 0;
    CHECK(NextToken(&none, &token) == TokenEnd && none != 0 && *none == 0, 0);

    const char* cursor = line;
    size_t calls = 0;
    for (;;) {
        const char* before = cursor;
        size_t at = (size_t)(before - line);
        ++calls;
        CHECK(calls <= n + 1, at);  // each token takes at least one byte

        memset(&token, 0xA5, sizeof token);
        TokenKind kind = NextToken(&cursor, &token);
        CHECK(cursor >= before && cursor <= line + n, at);
        CHECK(token.kind == kind, at);
        CHECK(token.length <= kTokenMax, at);
        CHECK(token.text[token.length] == 0, at);
        CHECK(strlen(token.text) == token.length, at);
        CHECK(!token.too_long || token.length == kTokenMax, at);

        // Where the token proper starts: past white space and one ':' or '='.
        const char* s = before;
        while (Space(*s)) ++s;
        if (*s == ':' || *s == '=') {
            ++s;
            while (Space(*s)) ++s;
        }

        if (kind == TokenEnd) {
            CHECK(*s == 0 && cursor == line + n && token.length == 0 && !token.too_long, at);
            break;
        }
        CHECK(kind == TokenName || kind == TokenKeyword, at);
        CHECK(cursor > s, at);
        CHECK(kind == ((*s == '-' || *s == '/') ? TokenKeyword : TokenName), at);

        // The token ends where its rules say it does.
        if (*s == '"' || *s == '\'') {
            CHECK(*cursor == 0 || cursor[-1] == *s, at);
        } else if (kind == TokenKeyword) {
            for (const char* p = s + 1; p < cursor; ++p)
                CHECK(!Space(*p) && *p != '/' && *p != '=' && *p != ':', at);
            CHECK(*cursor == 0 || Space(*cursor) || *cursor == '/' || *cursor == '=' ||
                      *cursor == ':',
                  at);
        } else {
            for (const char* p = s; p < cursor; ++p) CHECK(!Space(*p), at);
            CHECK(*cursor == 0 || Space(*cursor), at);
        }

        // Its text: all of it, or the first kTokenMax characters and too_long.
        std::string want = Expected(s, cursor);
        if (want.size() > kTokenMax) {
            CHECK(token.too_long, at);
            want.resize(kTokenMax);
        } else {
            CHECK(!token.too_long, at);
        }
        CHECK(want.size() == token.length && memcmp(want.data(), token.text, token.length) == 0, at);
    }
    free(line);
    return 0;
}
