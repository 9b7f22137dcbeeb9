#include "observe/keywords.h"

#include <stdint.h>
#include <string.h>

// In search order: "title" the tag comes before "title" the header, and a
// lookup's category tells them apart.
constexpr Keyword kKeywords[] = {
    {kTagA, "a"},
    {kTagAEnd, "/a"},
    {kTagImage, "img"},
    {kTagH1, "h1"},
    {kTagH1End, "/h1"},
    {kTagTitle, "title"},
    {kTagTitleEnd, "/title"},
    {kTagLink, "link"},
    {kTagBase, "base"},
    {kTagIsindex, "isindex"},
    {kTagBody, "body"},
    {kTagFrame, "frame"},
    {kTagImage, "bgsound"},
    {kTagImage, "input"},
    {kTagImage, "embed"},
    {kTagMeta, "meta"},
    {kTagScript, "script"},
    {kTagStyle, "style"},
    {kAttrHref, "href"},
    {kAttrSrc, "src"},
    {kAttrRel, "rel"},
    {kAttrRev, "rev"},
    {kAttrPrompt, "prompt"},
    {kAttrBackground, "background"},
    {kAttrHttpEquiv, "http-equiv"},
    {kAttrContent, "content"},
    {kMethodGet, "GET"},
    {kMethodHead, "HEAD"},
    {kHeaderTitle, "title"},
    {kHeaderTitle, "www-title"},
    {kHeaderLink, "link"},
    {kHeaderLink, "www-link"},
    {kHeaderContentType, "content-type"},
    {kHeaderUri, "uri"},
    {kHeaderLocation, "location"},
    {kHeaderRefresh, "refresh"},
    {kHeaderContentLength, "content-length"},
    {kTypeTextHtml, "text/html"},
};

constexpr int kKeywordCount = (int)(sizeof kKeywords / sizeof kKeywords[0]);

namespace {

const int kHashSize = 64;
const int kMaxKeywords = 64;
static_assert(kKeywordCount <= kMaxKeywords, "the index holds 64 keywords");

constexpr int Length(const char* s) {
    int n = 0;
    while (s[n]) ++n;
    return n;
}

// Any hash would do; this one puts at most two of the names on a chain.
constexpr int Hash(const char* name, int length) {
    return (length * 3 + (unsigned char)name[0] * 8 + (unsigned char)name[length - 1] * 13) % kHashSize;
}

// Chains of the entries that share a hash, each in table order, so that
// the first entry of a category on a chain is its first in the table.
struct KeywordIndex {
    int8_t first[kHashSize];
    int8_t next[kMaxKeywords];
    uint8_t length[kMaxKeywords];
};

constexpr KeywordIndex MakeIndex() {
    KeywordIndex index = {};
    for (int h = 0; h < kHashSize; ++h) index.first[h] = -1;
    for (int i = kKeywordCount - 1; i >= 0; --i) {
        int n = Length(kKeywords[i].name);
        int h = Hash(kKeywords[i].name, n);
        index.length[i] = (uint8_t)n;
        index.next[i] = index.first[h];
        index.first[h] = (int8_t)i;
    }
    return index;
}

constexpr KeywordIndex kIndex = MakeIndex();

}  // namespace

int LookupKeywordN(int category, const char* name, int length) {
    if (!name || length <= 0 || length > kKeywordMaxLength) return 0;
    for (int i = kIndex.first[Hash(name, length)]; i >= 0; i = kIndex.next[i]) {
        const Keyword& k = kKeywords[i];
        if ((k.code & category) && kIndex.length[i] == length && memcmp(k.name, name, (size_t)length) == 0)
            return k.code;
    }
    return 0;
}

int LookupKeyword(int category, const char* name) {
    if (!name) return 0;
    size_t n = strlen(name);
    return n > (size_t)kKeywordMaxLength ? 0 : LookupKeywordN(category, name, (int)n);
}
