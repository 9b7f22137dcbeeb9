// URL texts as the workspace keys them.
//
// Every page is found by its URL text, so two spellings of one address have
// to become one key first: CanonicalUrl does that, ResolveUrl does it for a
// reference written in a page, SplitUrl gives the two offsets kept beside
// each URL, UrlDisplayName the short name of a page without a title, and
// LocalPathOfUrl the file behind a file: URL. All of them are pure text
// functions over 8-bit characters that never allocate; the caller passes
// the result buffer. A null text pointer reads as an empty text.
//
// Length. Results are at most kUrlMax (1023) characters, NUL-terminated.
// A longer result is cut, never refused, so that every address seen still
// gets a page: the text is copied (and escaped) until the next character or
// the next whole three-character escape would pass kUrlMax, and nothing
// after that is copied; an escape is never split. The steps that follow
// (host and file normalisation) work on the cut text as on any other and
// drop whatever an insertion would push past kUrlMax. The buffer's
// `truncated` flag tells that something was left off. Equal inputs thus
// give equal keys, and distinct inputs that agree in their first 1023
// normalised characters may share one.
#ifndef SKEIND_OBSERVE_URL_H
#define SKEIND_OBSERVE_URL_H

const int kUrlMax = 1023;
const int kUrlBufferSize = kUrlMax + 1;

struct UrlBuffer {
    int length;      // characters before the NUL
    bool truncated;  // something was left off to stay within kUrlMax
    char text[kUrlBufferSize];
};

// Where scheme://host[:port] ends and where the last directory ends.
// host_end: offset of the first '/' after the first "//", or the length
// when none follows; 0 when there is no "//". dir_end: one past the last
// '/' at or after host_end (anywhere, without "//"); 0 when there is none.
// For texts of at most kUrlMax characters both fit the 16-bit fields of
// the workspace.
struct UrlSplit {
    int host_end;
    int dir_end;
};

// Percent normalisation alone: an escape "%xy" is decoded unless the byte
// is one of ":/?+#%", below 33 or above 126, in which case it is written
// again with upper-case hex digits; bytes below 33, 127 and 128..255 are
// escaped; everything else, letter case included, is copied as it is. A '%'
// without two characters after it is copied unchanged.
void PercentNormalise(const char* text, UrlBuffer* out);

// The canonical form of an absolute URL: a leading "view-source:" dropped,
// percent-normalised, host lowered and ended by '/', ":80" dropped from
// "http:" and ":70" from "gopher:" URLs, and file: URLs brought to
// file:///<drive>|/<path> or file:////<host>/<path> in lower case (a
// file://host.domain/ URL becomes ftp://host.domain/). Scheme case is kept.
void CanonicalUrl(const char* url, UrlBuffer* out);

// The canonical absolute URL of a reference written in a page whose
// canonical URL is `base`, with base's host_end and dir_end. Offsets
// outside the base text are brought into it (below 0 to 0, beyond the end
// to the length). Decisions beyond the plain rules:
//  - A reference in angle brackets, "<...>", loses its closing '>' before
//    it is resolved, except when it begins with "//" (there it stays).
//  - "scheme:rest" with rest not beginning with "//" is relative only when
//    the base has exactly that scheme (its leading scheme characters equal
//    `scheme` and a ':' follows them); an empty scheme is no scheme, so
//    ":x" is a relative name.
void ResolveUrl(const char* base, int host_end, int dir_end, const char* ref, UrlBuffer* out);

UrlSplit SplitUrl(const char* url);

// What UrlDisplayName gave: a parenthesised name or one of two fixed texts.
enum UrlNameKind {
    UrlNameShort,        // "(" name ")", the name cut to kUrlMax - 2 characters
    UrlNameNullAddress,  // kNullAddressName: empty URL or no ':' in it
    UrlNameLocalDisc,    // string IDS_LOCAL_DISC_FILES: the root of the local file system
};

extern const char kNullAddressName[];  // "-- error: null address --"

// The text shown for a page whose title is unknown, from the URL and its
// stored offsets. Offsets that do not fit the text (negative or beyond its
// end) are worked out again with SplitUrl. The name is copied as it stands
// in the URL.
UrlNameKind UrlDisplayName(const char* url, int host_end, int dir_end, UrlBuffer* out);

// The local file name behind a canonical file: URL, escapes decoded and
// the drive's '|' given back as ':', forward slashes kept
// (file:///c|/web/a%20b.htm gives c:/web/a b.htm). Gives false, with an
// empty text, for anything not beginning with "file:". Forms that canonical
// URLs never have take everything after "file:". An escape of the byte 0
// stays "%00" so that the name cannot end early; "file:///" gives an empty
// name.
bool LocalPathOfUrl(const char* url, UrlBuffer* out);

#endif
