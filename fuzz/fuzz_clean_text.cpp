// fuzz_clean_text: CleanText over arbitrary text and result sizes.
//
// Input: bytes 0-1 give the size of the result buffer (below 64 most of
// the time, to reach the cutting rules; else up to 4095); the rest, up to
// its first NUL, is the source, copied into a heap block of exactly its
// length plus the NUL. The result buffer is a heap block of exactly the
// size (one guard byte when the size is 0). Checked:
//  - nothing is written for a size of 0;
//  - otherwise the answer is the length of a NUL-terminated result shorter
//    than the size; a result that does not end with "..." has at most
//    size - 4 characters (from 5 bytes of room up), and no result is
//    longer than its source and the "...";
//  - for a source without '&', the result is its white-space-folded form,
//    or the first size - 4 characters of it and "..." (cut to the room
//    below 5 bytes).
// DecodeUrlReferences over a heap copy of the same source: the answer is
// the length of the NUL-terminated result, no longer than the source, with
// no NUL brought in; a source without '&' stays as it is, and one whose
// every '&' starts "&amp;" loses exactly the "amp;" of each.
// Any break aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "observe/clean_text.h"

namespace {

void Fail(const char* what, const char* text) {
    fprintf(stderr, "fuzz_clean_text: %s\n  source: \"%s\"\n", what, text);
    abort();
}

#define CHECK(cond, text)                 \
    do {                                  \
        if (!(cond)) Fail(#cond, (text)); \
    } while (0)

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string Folded(const char* s) {
    std::string out;
    while (*s) {
        if (IsSpace(*s)) {
            while (IsSpace(*s)) ++s;
            out += ' ';
        } else {
            out += *s++;
        }
    }
    return out;
}

std::string Expected(const char* src, size_t size) {
    std::string full = Folded(src);
    if (full.empty()) return full;
    if (size >= 5 && full.size() <= size - 4) return full;
    std::string cut = size >= 5 ? full.substr(0, size - 4) : "";
    return cut + std::string("...").substr(0, std::min<size_t>(3, size - 1 - cut.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t n) {
    if (n < 2) return 0;
    size_t size = data[0] < 192 ? data[0] % 64 : ((data[0] & 15u) << 8 | data[1]);
    size_t len = strnlen((const char*)data + 2, n - 2);
    char* src = (char*)malloc(len + 1);
    memcpy(src, data + 2, len);
    src[len] = 0;

    char* dest = (char*)malloc(size ? size : 1);
    memset(dest, 0x5A, size ? size : 1);
    size_t got = CleanText(dest, size, src);
    if (size == 0) {
        CHECK(got == 0 && dest[0] == 0x5A, src);
    } else {
        CHECK(got < size, src);
        CHECK(dest[got] == 0 && strlen(dest) == got, src);
        // Without "..." at its end the source ran out while 5 bytes of room
        // were still there.
        bool dots = got >= 3 && memcmp(dest + got - 3, "...", 3) == 0;
        if (size >= 5 && !dots) CHECK(got <= size - 4, src);
        // Decoding never lengthens a text; folding and cutting shorten it.
        CHECK(got <= len + 3, src);
        if (!strchr(src, '&')) CHECK(Expected(src, size) == std::string(dest, got), src);
    }
    free(dest);

    char* url = (char*)malloc(len + 1);
    memcpy(url, src, len + 1);
    size_t decoded = DecodeUrlReferences(url);
    CHECK(decoded <= len && strlen(url) == decoded, src);
    if (!strchr(src, '&')) CHECK(strcmp(url, src) == 0, src);
    std::string plain;
    bool only_amp = true;
    for (const char* p = src; *p; ++p) {
        plain += *p;
        if (*p != '&') continue;
        if (strncmp(p + 1, "amp;", 4) != 0) {
            only_amp = false;
            break;
        }
        p += 4;
    }
    if (only_amp) CHECK(plain == url, src);
    free(url);
    free(src);
    return 0;
}
