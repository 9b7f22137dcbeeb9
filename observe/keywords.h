// The words the page scanner recognises: tag, attribute and header names,
// request methods and the one content type it reads, each with a code.
//
// A code's high bits say what kind of word it is; a lookup names the kinds
// it accepts and gets the first entry of those kinds whose name is equal
// byte for byte (so callers lower a text first where the names are lower
// case). Several names may share a code when the scanner treats them alike.
// A lookup hashes the name's length and its first and last bytes and
// compares it with the few entries of that hash only: the scanner looks up
// every tag and attribute name of a page.
#ifndef SKEIND_OBSERVE_KEYWORDS_H
#define SKEIND_OBSERVE_KEYWORDS_H

// Kinds of keyword: the category bits of a code.
const int kKeywordContentType = 0x0400;
const int kKeywordMethod = 0x0800;
const int kKeywordHeader = 0x1000;
const int kKeywordTag = 0x2000;
const int kKeywordAttribute = 0x4000;

// Within a tag code: what the scanner does with the tag.
const int kTagEnd = 0x10;         // an end tag
const int kTagContainer = 0x20;   // its text is collected up to the next known tag
const int kTagAttributes = 0x40;  // its attributes are read
const int kTagRawText = 0x80;     // what follows it is text up to its end tag

const int kTagA = 0x2063;
const int kTagAEnd = 0x2013;
const int kTagImage = 0x2045;  // img, bgsound, input, embed
const int kTagH1 = 0x2024;
const int kTagH1End = 0x2014;
const int kTagTitle = 0x2021;
const int kTagTitleEnd = 0x2011;
const int kTagLink = 0x2042;
const int kTagBase = 0x2046;
const int kTagIsindex = 0x2047;
const int kTagBody = 0x2048;
const int kTagFrame = 0x204A;
const int kTagMeta = 0x204B;
const int kTagScript = 0x20CC;
const int kTagStyle = 0x208D;

const int kAttrHref = 0x4001;
const int kAttrSrc = 0x4002;
const int kAttrRel = 0x4003;
const int kAttrRev = 0x4004;
const int kAttrPrompt = 0x4005;
const int kAttrBackground = 0x4006;
const int kAttrHttpEquiv = 0x4007;
const int kAttrContent = 0x4008;

const int kMethodGet = 0x0801;
const int kMethodHead = 0x0802;

const int kHeaderTitle = 0x1001;  // title, www-title
const int kHeaderLink = 0x1002;   // link, www-link
const int kHeaderContentType = 0x1003;
const int kHeaderUri = 0x1004;
const int kHeaderLocation = 0x1005;
const int kHeaderRefresh = 0x1006;
const int kHeaderContentLength = 0x1007;

const int kTypeTextHtml = 0x0401;

// The code of `name` among the keywords whose code shares a bit with
// `category`, or 0. A null name is found nowhere.
int LookupKeyword(int category, const char* name);

// The same for a name of `length` bytes, which need not end with a NUL.
int LookupKeywordN(int category, const char* name, int length);

// No keyword is longer: a longer name is known to be none.
const int kKeywordMaxLength = 14;

// The table itself, in search order, for tests and tools.
struct Keyword {
    int code;
    const char* name;
};
extern const Keyword kKeywords[];
extern const int kKeywordCount;

#endif
