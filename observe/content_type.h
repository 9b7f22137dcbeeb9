// The one-byte content-type code that the workspace keeps for every page,
// taken from a MIME type text or guessed from a file-name extension.
//
// The low four bits are the major type, the high four bits the minor type;
// 0 in either half means unknown, and a whole 0 means nothing is known.
// Codes are stored in workspace files, so the numbers below never change.
#ifndef SKEIND_OBSERVE_CONTENT_TYPE_H
#define SKEIND_OBSERVE_CONTENT_TYPE_H

#include <stdint.h>

typedef uint8_t ContentTypeCode;

// Major types: one more than the index in the sorted list of major names.
const uint8_t kMajorUnknown = 0;
const uint8_t kMajorApplication = 1;
const uint8_t kMajorAudio = 2;
const uint8_t kMajorImage = 3;
const uint8_t kMajorMultipart = 4;
const uint8_t kMajorText = 5;
const uint8_t kMajorVideo = 6;

// Minor types: one more than the index in the sorted list of minor names.
const uint8_t kMinorUnknown = 0;
const uint8_t kMinorAiff = 1;
const uint8_t kMinorBasic = 2;
const uint8_t kMinorGif = 3;
const uint8_t kMinorHtml = 4;
const uint8_t kMinorJpeg = 5;
const uint8_t kMinorMpeg = 6;
const uint8_t kMinorMsvideo = 7;
const uint8_t kMinorPlain = 8;
const uint8_t kMinorQuicktime = 9;
const uint8_t kMinorWav = 10;
const uint8_t kMinorXbitmap = 11;

inline ContentTypeCode MakeContentType(uint8_t major, uint8_t minor) {
    return (ContentTypeCode)(((minor & 0x0F) << 4) | (major & 0x0F));
}
inline uint8_t MajorTypeOf(ContentTypeCode code) { return (uint8_t)(code & 0x0F); }
inline uint8_t MinorTypeOf(ContentTypeCode code) { return (uint8_t)(code >> 4); }

const ContentTypeCode kContentUnknown = 0;
const ContentTypeCode kTextHtml = 0x45;
const ContentTypeCode kTextPlain = 0x85;
const ContentTypeCode kImageGif = 0x33;

// The code of a MIME type text as sent in a header ("text/html;
// charset=x"). The type token runs to the first ';' or white space; a
// token that is a prefix of "text/html", the empty one included, is HTML.
// Otherwise each half, without a leading "x-", is matched against the
// sorted name lists; a half also matches a name it is a prefix of, and an
// empty half matches nothing. Comparison is byte-wise, case as written.
// A null pointer reads as an empty text.
ContentTypeCode ContentTypeOfMime(const char* mime);

// The code guessed from the extension of a URL's last segment: the text
// after the last '.' of everything from dir_end on (a query included),
// lowered, looked up in the program's extension table. 0 when there is no
// segment, no '.', nothing after it, an extension of 32 characters or more,
// or an extension the table does not know. A dir_end outside the text
// counts as 0 when negative and as the text's length when too large.
ContentTypeCode ContentTypeOfUrl(const char* url, int dir_end);

// The extension table: (extension, code) pairs kept in byte-wise ascending
// order of the extension, so that lookups can bisect. It holds its own
// copies of the texts and never allocates.
const int kExtensionMax = 31;       // longest extension looked up
const int kExtensionCapacity = 64;  // the program's lists fill 31 entries

struct ExtensionEntry {
    char text[kExtensionMax + 1];
    ContentTypeCode code;
};

struct ExtensionTable {
    int count;
    ExtensionEntry entries[kExtensionCapacity];
};

void ClearExtensionTable(ExtensionTable* table);

// Adds every extension of a comma-separated list with the given code. An
// extension already present keeps the code it has. Empty items and items
// longer than kExtensionMax are skipped. Gives false if any item was
// skipped or did not fit because the table is full.
bool AddExtensions(ExtensionTable* table, const char* list, ContentTypeCode code);

// The code stored for the first `length` characters at `ext` (compared
// exactly, no case folding), 0 if the table does not have them.
ContentTypeCode LookupExtension(const ExtensionTable& table, const char* ext, int length);

// The program's table, filled on first use from the fixed lists (htm,html;
// txt,text; au,snd; wav; ...) and never changed afterwards.
const ExtensionTable& ProgramExtensionTable();

#endif
