#include "observe/content_type.h"

#include <string.h>

namespace {

// Both lists are in byte-wise ascending order; a code is index + 1.
const char* const kMajorNames[] = {"application", "audio", "image", "multipart", "text", "video"};
const int kMajorCount = (int)(sizeof kMajorNames / sizeof kMajorNames[0]);

const char* const kMinorNames[] = {"aiff",    "basic", "gif",       "html", "jpeg",   "mpeg",
                                   "msvideo", "plain", "quicktime", "wav",  "xbitmap"};
const int kMinorCount = (int)(sizeof kMinorNames / sizeof kMinorNames[0]);

bool IsMimeSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Byte-wise comparison of the n characters at `part` with the start of
// `name`: 0 when `part` is a prefix of `name`.
int ComparePrefix(const char* part, int n, const char* name) {
    for (int i = 0; i < n; ++i) {
        unsigned char a = (unsigned char)part[i];
        unsigned char b = (unsigned char)name[i];
        if (b == 0) return 1;  // name is shorter: part sorts after it
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

// Index of a name that `part` is a prefix of, by bisection; -1 if none.
int FindName(const char* const* names, int count, const char* part, int n) {
    if (n == 0) return -1;
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = ComparePrefix(part, n, names[mid]);
        if (c == 0) return mid;
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -1;
}

// Index of a MIME type half in its list, after dropping a leading "x-".
int FindTypePart(const char* const* names, int count, const char* part, int n) {
    if (n >= 2 && part[0] == 'x' && part[1] == '-') {
        part += 2;
        n -= 2;
    }
    return FindName(names, count, part, n);
}

// Byte-wise comparison of n characters at `a` with the NUL-ended `b`.
int CompareExtension(const char* a, int n, const char* b) {
    int c = ComparePrefix(a, n, b);
    if (c != 0) return c;
    return b[n] == 0 ? 0 : -1;
}

// Bisection over the table; the slot where the text is or would go.
int FindSlot(const ExtensionTable& table, const char* ext, int n, bool* found) {
    int lo = 0, hi = table.count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareExtension(ext, n, table.entries[mid].text);
        if (c == 0) {
            *found = true;
            return mid;
        }
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    *found = false;
    return lo;
}

bool AddExtension(ExtensionTable* table, const char* ext, int n, ContentTypeCode code) {
    if (n == 0 || n > kExtensionMax) return false;
    bool found;
    int slot = FindSlot(*table, ext, n, &found);
    if (found) return true;  // the first code given stays
    if (table->count >= kExtensionCapacity) return false;
    memmove(&table->entries[slot + 1], &table->entries[slot],
            (size_t)(table->count - slot) * sizeof(ExtensionEntry));
    ExtensionEntry& e = table->entries[slot];
    memcpy(e.text, ext, (size_t)n);
    e.text[n] = 0;
    e.code = code;
    ++table->count;
    return true;
}

struct ExtensionList {
    const char* list;
    ContentTypeCode code;
};

// In this order: an extension named twice keeps its first code.
const ExtensionList kProgramLists[] = {
    {"htm,html", MakeContentType(kMajorText, kMinorHtml)},
    {"txt,text", MakeContentType(kMajorText, kMinorPlain)},
    {"au,snd", MakeContentType(kMajorAudio, kMinorBasic)},
    {"wav", MakeContentType(kMajorAudio, kMinorWav)},
    {"aif,aiff,aifc", MakeContentType(kMajorAudio, kMinorAiff)},
    {"mpe,mpeg,mpg", MakeContentType(kMajorVideo, kMinorMpeg)},
    {"qt,mov", MakeContentType(kMajorVideo, kMinorQuicktime)},
    {"avi", MakeContentType(kMajorVideo, kMinorMsvideo)},
    {"rgb,ppm,pgm,pbm,pnm,xwd,xpm,ras,tiff,tif", MakeContentType(kMajorImage, kMinorUnknown)},
    {"xbm", MakeContentType(kMajorImage, kMinorXbitmap)},
    {"gif", MakeContentType(kMajorImage, kMinorGif)},
    {"jpe,jpeg,jpg", MakeContentType(kMajorImage, kMinorJpeg)},
};

ExtensionTable MakeProgramTable() {
    ExtensionTable table;
    ClearExtensionTable(&table);
    for (const ExtensionList& l : kProgramLists) AddExtensions(&table, l.list, l.code);
    return table;
}

}  // namespace

ContentTypeCode ContentTypeOfMime(const char* mime) {
    if (!mime) mime = "";
    int n = 0;
    while (mime[n] && mime[n] != ';' && !IsMimeSpace(mime[n])) ++n;

    static const char kHtml[] = "text/html";
    if (n <= (int)strlen(kHtml) && memcmp(mime, kHtml, (size_t)n) == 0) return kTextHtml;

    const char* slash = (const char*)memchr(mime, '/', (size_t)n);
    if (!slash) return kContentUnknown;
    int major_n = (int)(slash - mime);
    int major = FindTypePart(kMajorNames, kMajorCount, mime, major_n);
    int minor = FindTypePart(kMinorNames, kMinorCount, slash + 1, n - major_n - 1);
    return MakeContentType((uint8_t)(major + 1), (uint8_t)(minor + 1));
}

ContentTypeCode ContentTypeOfUrl(const char* url, int dir_end) {
    if (!url) return kContentUnknown;
    int length = (int)strlen(url);
    if (dir_end < 0) dir_end = 0;
    if (dir_end > length) dir_end = length;

    const char* segment = url + dir_end;
    const char* dot = strrchr(segment, '.');
    if (!dot || dot[1] == 0) return kContentUnknown;
    int n = (int)strlen(dot + 1);
    if (n > kExtensionMax) return kContentUnknown;

    char ext[kExtensionMax + 1];
    for (int i = 0; i < n; ++i) {
        char c = dot[1 + i];
        ext[i] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
    }
    return LookupExtension(ProgramExtensionTable(), ext, n);
}

void ClearExtensionTable(ExtensionTable* table) { table->count = 0; }

bool AddExtensions(ExtensionTable* table, const char* list, ContentTypeCode code) {
    bool all = true;
    const char* p = list ? list : "";
    for (;;) {
        const char* comma = strchr(p, ',');
        int n = comma ? (int)(comma - p) : (int)strlen(p);
        if (!AddExtension(table, p, n, code)) all = false;
        if (!comma) break;
        p = comma + 1;
    }
    return all;
}

ContentTypeCode LookupExtension(const ExtensionTable& table, const char* ext, int length) {
    if (!ext || length <= 0 || length > kExtensionMax) return kContentUnknown;
    bool found;
    int slot = FindSlot(table, ext, length, &found);
    return found ? table.entries[slot].code : kContentUnknown;
}

const ExtensionTable& ProgramExtensionTable() {
    static const ExtensionTable table = MakeProgramTable();
    return table;
}
