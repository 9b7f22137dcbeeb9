#include "observe/keywords.h"

#include <string.h>

// Searched from the top: "title" the tag comes before "title" the header,
// and a lookup's category tells them apart.
const Keyword kKeywords[] = {
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

const int kKeywordCount = (int)(sizeof kKeywords / sizeof kKeywords[0]);

int LookupKeyword(int category, const char* name) {
    if (!name) return 0;
    for (int i = 0; i < kKeywordCount; ++i)
        if ((kKeywords[i].code & category) && strcmp(kKeywords[i].name, name) == 0)
            return kKeywords[i].code;
    return 0;
}
