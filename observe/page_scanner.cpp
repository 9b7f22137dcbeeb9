#include "observe/page_scanner.h"

#include <stdio.h>
#include <string.h>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define SKEIND_SCAN_SSE2 1
#endif

#include "observe/clean_text.h"
#include "observe/keywords.h"

namespace {

// States. Each names what has just been read, and so what the byte that
// ends the current skip or collection means.
enum ScanState {
    kStart = 0,        // nothing read yet
    kVersionRead = 1,  // the status line's version
    kCodeRead = 2,     // the status code
    kLineStart = 3,    // the rest of the status line
    kNameRead = 4,     // a header name
    kValueRead = 5,    // a header value (or one skipped)
    kNextLine = 6,     // a header line: does the next one continue it?
    kText = 7,         // body text, up to a '<'
    kTagOpen = 8,      // "<" and any white space
    kTagName = 9,      // a tag name
    kInTag = 10,       // between attributes
    kTagTail = 11,     // the rest of a tag, up to its '>'
    kAttributeName = 12,
    kAfterName = 13,   // an attribute name and any white space
    kValueStart = 14,  // "=" and any white space
    kAttributeValue = 15,
    // 16 is not used.
    kDeclaration = 17,  // "<!", up to '-' or '>'
    kOneDash = 18,      // one '-' in a declaration
    kInComment = 19,    // "--": a comment, up to its next '-'
    kDashInComment = 20,
    kRawText = 21,    // a script's or style's text, up to a '<'
    kRawEndTag = 22,  // "<" in such text: its end tag, or more text?
};

// Modes: what the character loop does before a byte reaches the state.
const int kSkipSpaces = 0x01;
const int kSkipLines = 0x02;
const int kSkipping = 0x04;
const int kCollecting = 0x08;
const int kSkipWhite = kSkipSpaces | kSkipLines;

const char kWhiteStops[] = " \t\n\f";

// Stop sets: the characters that end a skip or a collection.
enum StopSet {
    kStopTag,              // "<": text
    kStopBlank,            // " \t": the status line's parts
    kStopColonOrLine,      // ":\n": a header name
    kStopLine,             // "\n": a header line
    kStopDashOrEnd,        // "->": a declaration
    kStopDash,             // "-": a comment
    kStopName,             // "> \t\n\f": a tag name, an unquoted value
    kStopAttributeName,    // "=> \t\n\f"
    kStopQuoteOrEnd,       // "\">": a value in double quotes
    kStopApostropheOrEnd,  // "'>": a value in single quotes
    kStopEnd,              // ">": the rest of a tag
    kStopSetCount
};

constexpr const char* kStopChars[kStopSetCount] = {
    "<", " \t", ":\n", "\n", "->", "-", "> \t\n\f", "=> \t\n\f", "\">", "'>", ">",
};

// For each byte, a bit for each stop set it is in. NUL and carriage return
// are in all: both end a run of bytes that the fast loops pass over whole,
// and the character loop decides what they do.
struct StopTable {
    uint16_t sets[256];
};

constexpr StopTable MakeStopTable() {
    StopTable t = {};
    for (int set = 0; set < kStopSetCount; ++set)
        for (const char* c = kStopChars[set]; *c; ++c) t.sets[(unsigned char)*c] |= (uint16_t)(1 << set);
    t.sets[0] = t.sets[(unsigned char)'\r'] = 0xFFFF;
    return t;
}

constexpr StopTable kStopTable = MakeStopTable();

// The first byte from p on that ends a run in `set` (a stop character, a
// NUL or a carriage return), or `end`. Reads nothing at or past `end`.
const unsigned char* FindStop(const unsigned char* p, const unsigned char* end, int set) {
#ifdef SKEIND_SCAN_SSE2
    // Sets of one or two characters, which the long runs (text, quoted
    // values, comments, the rest of a tag) end at: 16 bytes a step.
    const char* chars = kStopChars[set];
    if (chars[1] == 0 || chars[2] == 0) {
        const __m128i a = _mm_set1_epi8(chars[0]);
        const __m128i b = _mm_set1_epi8(chars[1] ? chars[1] : chars[0]);
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i nul = _mm_setzero_si128();
        for (; end - p >= 16; p += 16) {
            __m128i v = _mm_loadu_si128((const __m128i*)p);
            __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, nul)));
            int mask = _mm_movemask_epi8(hit);
            if (mask) return p + __builtin_ctz((unsigned)mask);
        }
    }
#endif
    const uint16_t bit = (uint16_t)(1 << set);
    while (p < end && !(kStopTable.sets[*p] & bit)) ++p;
    return p;
}

const int kHeaderNameMax = 64;
// Room that body text must leave for the name of the tag that may end it.
const int kTagRoom = 10;

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

char* Lowered(char* s) {
    for (char* p = s; *p; ++p)
        if (*p >= 'A' && *p <= 'Z') *p = (char)(*p - 'A' + 'a');
    return s;
}

// `lower` is a lower-case prefix.
bool StartsWithIgnoringCase(const char* s, const char* lower) {
    for (; *lower; ++s, ++lower) {
        char c = (*s >= 'A' && *s <= 'Z') ? (char)(*s - 'A' + 'a') : *s;
        if (c != *lower) return false;
    }
    return true;
}

void TrimEnd(char* s, const char* blanks) {
    size_t n = strlen(s);
    while (n > 0 && strchr(blanks, s[n - 1])) --n;
    s[n] = 0;
}

// Leading digits, stopping at the largest 32-bit value rather than wrapping.
uint32_t ParseDecimal(const char* s) {
    uint32_t v = 0;
    for (; IsDigit((unsigned char)*s); ++s) {
        uint32_t d = (uint32_t)(*s - '0');
        if (v > (0xFFFFFFFFu - d) / 10) return 0xFFFFFFFFu;
        v = v * 10 + d;
    }
    return v;
}

// "HTTP/" digits "." digits, blanks, exactly three digits, then a blank or
// the end. A block that ends before it differs from that is taken as one.
bool LooksLikeStatusLine(const char* s, size_t n) {
    static const char kHttp[] = "HTTP/";
    size_t i = 0;
    for (; i < 5; ++i) {
        if (i == n) return true;
        if (s[i] != kHttp[i]) return false;
    }
    for (int part = 0; part < 2; ++part) {
        if (part == 1) {
            if (i == n) return true;
            if (s[i] != '.') return false;
            ++i;
        }
        if (i == n) return true;
        if (!IsDigit((unsigned char)s[i])) return false;
        while (i < n && IsDigit((unsigned char)s[i])) ++i;
    }
    while (i < n && (s[i] == ' ' || s[i] == '\t')) ++i;
    for (int k = 0; k < 3; ++k, ++i) {
        if (i == n) return true;
        if (!IsDigit((unsigned char)s[i])) return false;
    }
    return i == n || s[i] == ' ' || s[i] == '\t';
}

// The attributes and headers whose values hold URLs: a page's references
// in them are decoded before the URL is taken (a header sent over HTTP is
// no HTML and is taken as it is).
bool HoldsUrl(int attribute) {
    return attribute == kAttrHref || attribute == kAttrSrc || attribute == kAttrBackground;
}

bool HeaderHoldsUrl(int header) {
    return header == kHeaderLink || header == kHeaderUri || header == kHeaderLocation || header == kHeaderRefresh;
}

// A "link" header's part ends at a ';' outside double quotes.
char* PartEnd(char* p) {
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (*p == ';' && !quoted)
            break;
    }
    return p;
}

}  // namespace

PageScanner::PageScanner(uint32_t id, AClient* client, const char* host, int port, AProgressbar* progress)
    : state_(kStart),
      mode_(0),
      stopped_(0),
      refused_(0),
      stops_(kStopTag),
      keyword_(0),
      container_(0),
      attribute_(0),
      raw_tag_(0),
      raw_match_(0),
      start_(0),
      write_(0),
      url_value_(-1),
      text_value_(-1),
      host_(host),
      port_((uint16_t)port),
      client_(client),
      id_(id),
      progress_(progress),
      bytes_read_(-1),
      content_length_(0) {
    buffer_[0] = 0;
}

// ---- Entry points ---------------------------------------------------------

int PageScanner::RequestLine(const char* line) {
    if (stopped_) return 0;
    if (!line) line = "";
    char method[7];
    int n = 0;
    while (n < 6 && line[n] >= 'A' && line[n] <= 'Z') {
        method[n] = line[n];
        ++n;
    }
    method[n] = 0;
    int code = LookupKeyword(kKeywordMethod, method);
    if (!code) {
        Stop();
        return 0;
    }
    const char* p = line + n;
    p += strspn(p, " \t");

    RestartAtBeginning();
    if (host_ && *p == '/') {
        char port[8] = "";
        if (port_ != 0 && port_ != 80) snprintf(port, sizeof port, ":%d", (int)port_);
        for (const char* s = "http://"; *s; ++s) Put(*s);
        for (const char* s = host_; *s; ++s) Put(*s);
        for (const char* s = port; *s; ++s) Put(*s);
    }
    for (; *p && *p != ' ' && *p != '\t' && *p != '\n'; ++p)
        if (*p != '\r') Put(*p);
    uint32_t go_on = Client()->Request(id_, Item(), code == kMethodGet ? OP_GET : OP_HEAD);
    RestartAtBeginning();
    if (!go_on) {
        Stop();
        return 0;
    }
    return 1;
}

int PageScanner::BeginWithoutHead(int status, const char* type, const char* title, int kind) {
    if (stopped_) return 1;
    Client()->Status(id_, status);
    Client()->ContentType(id_, type);
    if (title) Client()->Title(id_, title, kind);
    if (status >= 400 || LookupKeyword(kKeywordContentType, type) != kTypeTextHtml) {
        Stop();
        return 1;
    }
    RestartAtBeginning();
    SkipTo(kStopTag);
    state_ = kText;
    return 0;
}

// The runs of bytes that a skip passes over or a collection appends are
// found whole; every other byte goes through the character loop, so the
// calls are those of a byte-at-a-time reading however the data is split.
int PageScanner::Feed(const char* bytes, size_t count) {
    int going = ScanBlock(bytes, count);
    links_.Report(client_, id_);
    return going;
}

int PageScanner::ScanBlock(const char* bytes, size_t count) {
    if (stopped_) return 0;
    if (!bytes) count = 0;
    CountBlock(count);
    if (count == 0) {
        Stop();
        return 0;
    }
    if (state_ == kStart) StartResponse(bytes, count);
    const unsigned char* p = (const unsigned char*)bytes;
    const unsigned char* const end = p + count;
    while (p < end && !stopped_) {
        if (mode_ == kSkipping)
            p = FindStop(p, end, stops_);
        else if (mode_ == kCollecting)
            p = Collect(p, end);
        if (p == end) break;
        Scan(*p++);
    }
    return stopped_ ? 0 : 1;
}

// Appends the bytes up to the next stop character, NUL or the end, leaving
// out carriage returns. A full buffer keeps what it has; the rest is
// skipped.
const unsigned char* PageScanner::Collect(const unsigned char* p, const unsigned char* end) {
    for (;;) {
        const unsigned char* q = FindStop(p, end, stops_);
        size_t n = (size_t)(q - p);
        size_t room = (size_t)(kScanBufferSize - 1 - write_);
        if (n > room) {
            memcpy(buffer_ + write_, p, room);
            write_ += (int)room;
            mode_ = kSkipping;
            return q;
        }
        memcpy(buffer_ + write_, p, n);
        write_ += (int)n;
        if (q == end || *q != '\r') return q;
        p = q + 1;
    }
}

void PageScanner::CountBlock(size_t count) {
    if (bytes_read_ < 0) return;
    const size_t room = (size_t)(0x7FFFFFFF - bytes_read_);
    bytes_read_ += (int32_t)(count < room ? count : room);
    progress_->Progress((uint32_t)bytes_read_, content_length_, 0);
}

// ---- The character loop -----------------------------------------------------

void PageScanner::Scan(unsigned char c) {
    if (c == '\r') return;
    if (c == 0) {
        Stop();
        return;
    }
    if ((mode_ & kSkipSpaces) && (c == ' ' || c == '\t')) return;
    if ((mode_ & kSkipLines) && (c == '\n' || c == '\f')) return;
    if (mode_ & kSkipping) {
        mode_ = kSkipping;
        if (!IsStop(c)) return;
        mode_ = 0;
    } else if (mode_ & kCollecting) {
        mode_ = kCollecting;
        if (!IsStop(c)) {
            // A full buffer keeps what it has and passes over the rest.
            if (!Put((char)c)) mode_ = kSkipping;
            return;
        }
        mode_ = 0;
    }
    Act(c);
}

void PageScanner::Act(unsigned char c) {
    switch (state_) {
    case kVersionRead:
        Restart();
        CollectTo(kStopBlank, kSkipSpaces);
        state_ = kCodeRead;
        break;
    case kCodeRead: CodeRead(); break;
    case kLineStart:
        Restart();
        CollectTo(kStopColonOrLine);
        state_ = kNameRead;
        break;
    case kNameRead: NameRead(c); break;
    case kValueRead: state_ = kNextLine; break;
    case kNextLine: NextLine(c); break;
    case kText: TagStart(); break;
    case kTagOpen: TagOpen(c); break;
    case kTagName: TagName(c); break;
    case kInTag: InTag(c); break;
    case kTagTail: EndOfTag(); break;
    case kAttributeName: AttributeName(c); break;
    case kAfterName: AfterName(c); break;
    case kValueStart: ValueStart(c); break;
    case kAttributeValue: ValueRead(c); break;
    case kDeclaration: Declaration(c); break;
    case kOneDash: OneDash(c); break;
    case kInComment: state_ = kDashInComment; break;
    case kDashInComment: DashInComment(c); break;
    case kRawText:
        raw_match_ = 0;
        state_ = kRawEndTag;
        break;
    case kRawEndTag: RawEndTag(c); break;
    default: Stop(); break;  // no byte reaches kStart
    }
}

// ---- The buffer and the modes ---------------------------------------------------

// The last byte of the buffer is kept for a terminator.
bool PageScanner::Put(char c) {
    if (write_ >= kScanBufferSize - 1) return false;
    buffer_[write_++] = c;
    return true;
}

char* PageScanner::Item() {
    buffer_[write_] = 0;
    return buffer_ + start_;
}

// The current item stays in the buffer; the next one starts after its NUL.
// In a full buffer the next items are empty texts on the last byte.
void PageScanner::KeepItem() {
    buffer_[write_] = 0;
    if (write_ < kScanBufferSize - 1) ++write_;
    start_ = write_;
}

// Never asked of NUL or carriage return, which the character loop takes first.
bool PageScanner::IsStop(unsigned char c) const {
    return (kStopTable.sets[c] >> stops_) & 1;
}

void PageScanner::SkipTo(int stops) {
    stops_ = (uint8_t)stops;
    mode_ = kSkipping;
}

void PageScanner::CollectTo(int stops, int mode) {
    stops_ = (uint8_t)stops;
    mode_ = (uint8_t)(kCollecting | mode);
}

// The current item, lowered in place, looked up among the keywords.
int PageScanner::LookupItem(int category) {
    int length = write_ - start_;
    if (length > kKeywordMaxLength) return 0;
    char* name = Item();
    for (int i = 0; i < length; ++i)
        if (name[i] >= 'A' && name[i] <= 'Z') name[i] = (char)(name[i] - 'A' + 'a');
    return LookupKeywordN(category, name, length);
}

void PageScanner::SkipWhiteSpace() {
    mode_ = kSkipWhite;
}

const char* PageScanner::UrlValue() const {
    return url_value_ >= 0 ? buffer_ + url_value_ : 0;
}

const char* PageScanner::TextValue() const {
    return text_value_ >= 0 ? buffer_ + text_value_ : 0;
}

void PageScanner::ReportLink(const char* url, int type, const char* extra) {
    if (url && *url) links_.Add(client_, id_, url, type, extra);
}

AClient* PageScanner::Client() {
    links_.Report(client_, id_);
    return client_;
}

// ---- The head ---------------------------------------------------------------

void PageScanner::StartResponse(const char* bytes, size_t count) {
    if (LooksLikeStatusLine(bytes, count)) {
        CollectTo(kStopBlank);
        state_ = kVersionRead;
    } else {
        SkipTo(kStopTag);
        state_ = kText;
    }
}

void PageScanner::CodeRead() {
    uint32_t code = ParseDecimal(Item());
    if (code > 0xFFFF) code = 0xFFFF;
    Client()->Status(id_, (int)code);
    if (code > 399) refused_ = 1;
    SkipTo(kStopLine);
    state_ = kLineStart;
}

void PageScanner::NameRead(unsigned char c) {
    if (write_ - start_ > kHeaderNameMax) {
        Stop();
        return;
    }
    if (c == ':') {
        keyword_ = LookupItem(kKeywordHeader);
        if (keyword_) {
            Restart();
            CollectTo(kStopLine, kSkipSpaces);
        } else {
            SkipTo(kStopLine);
        }
        state_ = kValueRead;
    } else if (write_ == start_) {
        EndOfHead();  // the empty line
    } else {
        keyword_ = 0;  // no ':': not a header
        state_ = kNextLine;
    }
}

void PageScanner::NextLine(unsigned char c) {
    if (c == ' ' || c == '\t') {
        // A continuation line joins the value with one space.
        if (keyword_) {
            Put(' ');
            CollectTo(kStopLine, kSkipSpaces);
        } else {
            SkipTo(kStopLine);
        }
        state_ = kValueRead;
        return;
    }
    if (keyword_) HandleHeader(keyword_, Item());
    keyword_ = 0;
    if (c == '\n') {
        EndOfHead();
        return;
    }
    RestartAtBeginning();
    Put((char)c);
    CollectTo(kStopColonOrLine);
    state_ = kNameRead;
}

void PageScanner::EndOfHead() {
    keyword_ = 0;
    if (refused_) {
        Stop();
        return;
    }
    RestartAtBeginning();
    SkipTo(kStopTag);
    state_ = kText;
    if (progress_ && content_length_ > 0) bytes_read_ = 0;
}

// `value` lies in the buffer; header handling may cut it up in place.
void PageScanner::HandleHeader(int header, char* value) {
    TrimEnd(value, " \t");
    switch (header) {
    case kHeaderTitle: Client()->Title(id_, value, TT_HEADER); break;
    case kHeaderLink: LinkHeader(value); break;
    case kHeaderContentType:
        if (LookupKeyword(kKeywordContentType, value) != kTypeTextHtml) refused_ = 1;
        Client()->ContentType(id_, value);
        break;
    case kHeaderUri: UriHeader(value); break;
    case kHeaderLocation: ReportLink(value, LT_REDIRECT, 0); break;
    case kHeaderRefresh: RefreshHeader(value); break;
    case kHeaderContentLength: content_length_ = ParseDecimal(value); break;
    default: break;
    }
}

// name=value parts as the attributes of a link tag, then its end.
void PageScanner::LinkHeader(char* value) {
    url_value_ = text_value_ = -1;
    for (char* part = value;;) {
        char* end = PartEnd(part);
        bool last = *end == 0;
        *end = 0;
        LinkHeaderPart(part);
        if (last) break;
        part = end + 1;
    }
    ReportLink(UrlValue(), LT_MISC, TextValue());
}

void PageScanner::LinkHeaderPart(char* part) {
    char* name = part + strspn(part, " \t");
    char* name_end = name + strcspn(name, "= \t");
    char* value = name_end + strspn(name_end, " \t");
    if (*value == '=') ++value;
    value += strspn(value, " \t");
    char* end = value + strlen(value);
    while (end > value && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (end - value >= 2 && value[0] == '"' && end[-1] == '"') {
        ++value;
        --end;
    }
    *end = 0;
    *name_end = 0;
    int attribute = LookupKeyword(kKeywordAttribute, Lowered(name));
    if (!attribute) return;
    if (attribute == kAttrRev) {
        // The '~' goes on the byte before the value, which the name is done with.
        if (value == name_end) return;
        *--value = '~';
    }
    HandleAttributeValue(attribute, (int)(value - buffer_));
}

void PageScanner::UriHeader(char* value) {
    char* end = value + strcspn(value, "; \t");
    char* rest = end;
    if (*end) {
        *end = 0;
        rest = end + 1;
    }
    rest += strspn(rest, " \t;");
    if (StartsWithIgnoringCase(rest, "vary")) {
        rest += 4;
        rest += strspn(rest, " \t=");
    }
    ReportLink(value, LT_REDIRECT, *rest ? rest : 0);
}

void PageScanner::RefreshHeader(char* value) {
    char* p = strchr(value, ';');
    if (!p) return;
    ++p;
    p += strspn(p, " \t");
    if (StartsWithIgnoringCase(p, "url")) {
        p += 3;
        p += strspn(p, " \t=");
    }
    p[strcspn(p, "#")] = 0;
    ReportLink(p, LT_REDIRECT, 0);
}

// ---- The body ---------------------------------------------------------------

void PageScanner::TagStart() {
    if (!container_) {
        RestartAtBeginning();
    } else if (kScanBufferSize - write_ < kTagRoom) {
        // The text has filled the buffer: it is all there will be.
        DeliverContainer(write_);
        container_ = 0;
        url_value_ = text_value_ = -1;
        RestartAtBeginning();
    } else {
        start_ = write_;  // the tag name goes after the text so far
    }
    SkipWhiteSpace();
    state_ = kTagOpen;
}

void PageScanner::TagOpen(unsigned char c) {
    if (c == '!') {
        SkipTo(kStopDashOrEnd);
        state_ = kDeclaration;
        return;
    }
    state_ = kTagName;
    if (c == '>') {
        TagName(c);
        return;
    }
    Put((char)c);
    CollectTo(kStopName);
}

void PageScanner::TagName(unsigned char c) {
    keyword_ = LookupItem(kKeywordTag);
    if (keyword_) {
        if (container_) {
            DeliverContainer(start_);
            container_ = 0;
        }
        url_value_ = text_value_ = -1;
        RestartAtBeginning();
    }
    InTag(c);
}

void PageScanner::InTag(unsigned char c) {
    if (c == '>') {
        EndOfTag();
    } else if (!(keyword_ & kTagAttributes)) {
        SkipTo(kStopEnd);
        state_ = kTagTail;
    } else {
        Restart();
        CollectTo(kStopAttributeName, kSkipWhite);
        state_ = kAttributeName;
    }
}

void PageScanner::AttributeName(unsigned char c) {
    attribute_ = LookupItem(kKeywordAttribute);
    Restart();
    state_ = kAfterName;
    if (c == '=' || c == '>')
        AfterName(c);
    else
        SkipWhiteSpace();
}

void PageScanner::AfterName(unsigned char c) {
    if (c == '=') {
        if (attribute_ == kAttrRev) Put('~');
        SkipWhiteSpace();
        state_ = kValueStart;
    } else if (c == '>') {
        EndOfTag();
    } else {
        // A name without a value; this byte begins the next one.
        Restart();
        Put((char)c);
        CollectTo(kStopAttributeName);
        state_ = kAttributeName;
    }
}

void PageScanner::ValueStart(unsigned char c) {
    state_ = kAttributeValue;
    if (c == '>') {
        ValueRead(c);
        return;
    }
    bool keep = attribute_ != 0;
    if (c == '"' || c == '\'') {
        int stops = c == '"' ? kStopQuoteOrEnd : kStopApostropheOrEnd;
        if (keep)
            CollectTo(stops);
        else
            SkipTo(stops);
        return;
    }
    if (keep) {
        Put((char)c);
        CollectTo(kStopName);
    } else {
        SkipTo(kStopName);
    }
}

void PageScanner::ValueRead(unsigned char c) {
    if (attribute_) {
        int at = start_;
        KeepItem();
        if (HoldsUrl(attribute_)) DecodeUrlReferences(buffer_ + at);
        HandleAttributeValue(attribute_, at);
        attribute_ = 0;
    }
    if (write_ >= kScanBufferSize - 1) {
        // No room for another attribute: the rest of the tag is passed over.
        state_ = kTagTail;
        if (c == '>')
            EndOfTag();
        else
            SkipTo(kStopEnd);
        return;
    }
    InTag(c);
}

void PageScanner::HandleAttributeValue(int attribute, int at) {
    char* v = buffer_ + at;
    switch (attribute) {
    case kAttrHref:
    case kAttrSrc:
    case kAttrBackground:
        v[strcspn(v, "#")] = 0;
        TrimEnd(v, kWhiteStops);
        url_value_ = at + (int)strspn(v, kWhiteStops);
        break;
    case kAttrRel:
    case kAttrRev:
    case kAttrContent: text_value_ = at; break;
    case kAttrHttpEquiv:
        // A header name means something on a meta tag only; elsewhere it
        // would turn into a link.
        if (keyword_ == kTagMeta) url_value_ = at;
        break;
    default: break;
    }
}

void PageScanner::EndOfTag() {
    int tag = keyword_;
    keyword_ = 0;
    if ((tag & kTagAttributes) && !(tag & kTagContainer) && url_value_ >= 0) ReportTag(tag);
    if (tag & kTagContainer) {
        // Its text starts after any values the tag left in the buffer.
        Restart();
        container_ = tag;
        text_value_ = start_;
        CollectTo(kStopTag, kSkipWhite);
        state_ = kText;
    } else if (tag & kTagRawText) {
        StartRawText(tag);
    } else {
        ResumeText();
    }
}

void PageScanner::ReportTag(int tag) {
    char* url = buffer_ + url_value_;
    switch (tag) {
    case kTagLink: ReportLink(url, LT_MISC, TextValue()); break;
    case kTagImage:
    case kTagBody: ReportLink(url, LT_INCLUDE, "image"); break;
    case kTagFrame: ReportLink(url, LT_INCLUDE, "frame"); break;
    case kTagScript: ReportLink(url, LT_INCLUDE, "script"); break;
    case kTagBase:
        if (*url) Client()->Base(id_, url);
        break;
    case kTagMeta:
        // A header written into the page: http-equiv names it.
        if (text_value_ >= 0) {
            int header = LookupKeyword(kKeywordHeader, Lowered(url));
            if (HeaderHoldsUrl(header)) DecodeUrlReferences(buffer_ + text_value_);
            if (header) HandleHeader(header, buffer_ + text_value_);
        }
        break;
    default: break;  // isindex
    }
}

// After a tag or a declaration: back to the text, collecting it while a
// container is open (the tag itself drops out of the text).
void PageScanner::ResumeText() {
    state_ = kText;
    if (container_) {
        Restart();
        CollectTo(kStopTag);
    } else {
        RestartAtBeginning();
        SkipTo(kStopTag);
    }
}

void PageScanner::DeliverContainer(int end) {
    buffer_[end] = 0;
    const char* text = buffer_ + text_value_;
    switch (container_) {
    case kTagTitle: Client()->Title(id_, text, TT_TITLE); break;
    case kTagH1: Client()->Title(id_, text, TT_H1); break;
    case kTagA: ReportLink(UrlValue(), LT_ANCHOR, text); break;
    default: break;
    }
}

// "<!...>": declarations hold comments between pairs of "--".
void PageScanner::Declaration(unsigned char c) {
    if (c == '>')
        ResumeText();
    else
        state_ = kOneDash;
}

void PageScanner::OneDash(unsigned char c) {
    if (c == '-') {
        SkipTo(kStopDash);
        state_ = kInComment;
    } else if (c == '>') {
        ResumeText();
    } else {
        SkipTo(kStopDashOrEnd);
        state_ = kDeclaration;
    }
}

void PageScanner::DashInComment(unsigned char c) {
    if (c == '-') {
        SkipTo(kStopDashOrEnd);
        state_ = kDeclaration;
    } else {
        SkipTo(kStopDash);
        state_ = kInComment;
    }
}

// A script's or style's text is no markup: nothing in it is read up to its
// end tag, "</script" or "</style" in any case followed by white space,
// '/' or '>'. A known tag, it has already closed any open container.
void PageScanner::StartRawText(int tag) {
    raw_tag_ = tag;
    RestartAtBeginning();
    SkipTo(kStopTag);
    state_ = kRawText;
}

void PageScanner::RawEndTag(unsigned char c) {
    const char* name = raw_tag_ == kTagScript ? "/script" : "/style";
    if (name[raw_match_]) {
        unsigned char lower = (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
        if (lower == (unsigned char)name[raw_match_]) {
            ++raw_match_;
            return;
        }
    } else if (c == '>') {
        ResumeText();
        return;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '/') {
        keyword_ = 0;  // the rest of the end tag is passed over
        SkipTo(kStopEnd);
        state_ = kTagTail;
        return;
    }
    // Still text; this byte may begin the end tag.
    raw_match_ = 0;
    if (c != '<') {
        SkipTo(kStopTag);
        state_ = kRawText;
    }
}
