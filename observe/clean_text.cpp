#include "observe/clean_text.h"

#include <string.h>

// Sorted byte-wise (upper case first) for the bisection in LookupEntity.
// Character 175 goes by "hibar", not "macr": a page's "&macr;" stays as written.
const Entity kEntities[] = {
    {"AElig", 198},  {"Aacute", 193}, {"Acirc", 194},  {"Agrave", 192}, {"Aring", 197},  {"Atilde", 195},
    {"Auml", 196},   {"Ccedil", 199}, {"ETH", 208},    {"Eacute", 201}, {"Ecirc", 202},  {"Egrave", 200},
    {"Euml", 203},   {"Iacute", 205}, {"Icirc", 206},  {"Igrave", 204}, {"Iuml", 207},   {"Ntilde", 209},
    {"Oacute", 211}, {"Ocirc", 212},  {"Ograve", 210}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214},
    {"THORN", 222},  {"Uacute", 218}, {"Ucirc", 219},  {"Ugrave", 217}, {"Uuml", 220},   {"Yacute", 221},
    {"aacute", 225}, {"acirc", 226},  {"acute", 180},  {"aelig", 230},  {"agrave", 224}, {"amp", 38},
    {"aring", 229},  {"atilde", 227}, {"auml", 228},   {"brvbar", 166}, {"ccedil", 231}, {"cedil", 184},
    {"cent", 162},   {"copy", 169},   {"curren", 164}, {"deg", 176},    {"divide", 247}, {"eacute", 233},
    {"ecirc", 234},  {"egrave", 232}, {"eth", 240},    {"euml", 235},   {"frac12", 189}, {"frac14", 188},
    {"frac34", 190}, {"gt", 62},      {"hibar", 175},  {"iacute", 237}, {"icirc", 238},  {"iexcl", 161},
    {"igrave", 236}, {"iquest", 191}, {"iuml", 239},   {"laquo", 171},  {"lt", 60},      {"micro", 181},
    {"middot", 183}, {"nbsp", 160},   {"not", 172},    {"ntilde", 241}, {"oacute", 243}, {"ocirc", 244},
    {"ograve", 242}, {"ordf", 170},   {"ordm", 186},   {"oslash", 248}, {"otilde", 245}, {"ouml", 246},
    {"para", 182},   {"plusmn", 177}, {"pound", 163},  {"quot", 34},    {"raquo", 187},  {"reg", 174},
    {"sect", 167},   {"shy", 173},    {"sup1", 185},   {"sup2", 178},   {"sup3", 179},   {"szlig", 223},
    {"thorn", 254},  {"times", 215},  {"uacute", 250}, {"ucirc", 251},  {"ugrave", 249}, {"uml", 168},
    {"uuml", 252},   {"yacute", 253}, {"yen", 165},    {"yuml", 255},
};

const int kEntityCount = (int)(sizeof kEntities / sizeof kEntities[0]);

namespace {

const size_t kNameMax = 19;  // a longer run of letters is no entity name
const size_t kRoomToGoOn = 5;

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool IsAlnum(unsigned char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Compares a counted name with a table name as strcmp would.
int CompareName(const char* name, size_t length, const char* entry) {
    int c = strncmp(name, entry, length);
    if (c != 0) return c;
    return entry[length] == 0 ? 0 : -1;
}

// At src (just after '&'): the character that the reference spells, and
// the bytes it takes; 0 when it is no reference and '&' stays as it is.
int DecodeReference(const unsigned char* src, size_t* taken) {
    size_t n = 0;
    int c;
    if (src[0] == '#') {
        unsigned value = 0;
        for (n = 1; IsDigit(src[n]); ++n) value = (value * 10 + (src[n] - '0')) & 0xFF;
        if (n == 1 || value == 0) return 0;
        c = (int)value;
    } else {
        while (n <= kNameMax && IsAlnum(src[n])) ++n;
        if (n == 0 || n > kNameMax) return 0;
        c = LookupEntity((const char*)src, n);
        if (c == 0) return 0;
    }
    if (src[n] == ';') ++n;
    *taken = n;
    return c;
}

int HexValue(unsigned char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

const unsigned long kNoCharacter = 0x110000;  // above every code point

// At src (just after "&#"): the number a numeric reference spells, or
// kNoCharacter when there are no digits or it is above every code point;
// `taken` gets the bytes it takes, with its ';'. The value stops growing
// once too large, so long digit runs cannot wrap it.
unsigned long NumericReference(const unsigned char* src, size_t* taken) {
    size_t n = 0;
    unsigned long base = 10;
    if (src[0] == 'x' || src[0] == 'X') {
        base = 16;
        n = 1;
    }
    const size_t digits = n;
    unsigned long value = 0;
    for (;; ++n) {
        int d = base == 16 ? HexValue(src[n]) : (IsDigit(src[n]) ? src[n] - '0' : -1);
        if (d < 0) break;
        if (value < kNoCharacter) value = value * base + (unsigned long)d;
    }
    if (n == digits || value >= kNoCharacter) return kNoCharacter;
    if (src[n] == ';') ++n;
    *taken = n;
    return value;
}

// At src (just after '&'): the character of an entity name in a URL, or
// kNoCharacter.
unsigned long NamedReference(const unsigned char* src, size_t* taken) {
    size_t n = 0;
    while (n <= kNameMax && IsAlnum(src[n])) ++n;
    if (n == 0 || n > kNameMax || src[n] == '=') return kNoCharacter;
    int c = LookupEntity((const char*)src, n);
    if (c == 0) return kNoCharacter;
    *taken = src[n] == ';' ? n + 1 : n;
    return (unsigned long)c;
}

size_t PutUtf8(unsigned long c, char* out) {
    if (c < 0x80) {
        out[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        out[0] = (char)(0xC0 | (c >> 6));
        out[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = (char)(0xE0 | (c >> 12));
        out[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        out[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (c >> 18));
    out[1] = (char)(0x80 | ((c >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((c >> 6) & 0x3F));
    out[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

}  // namespace

size_t DecodeUrlReferences(char* text) {
    // Most URLs have no '&': the library's search passes over them faster.
    char* first = strchr(text, '&');
    if (!first) return strlen(text);
    const unsigned char* in = (const unsigned char*)first;
    char* out = first;
    while (*in) {
        if (*in != '&') {
            *out++ = (char)*in++;
            continue;
        }
        size_t taken = 0;
        unsigned long c;
        if (in[1] == '#') {
            c = NumericReference(in + 2, &taken);
            ++taken;
            if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) c = kNoCharacter;
        } else {
            c = NamedReference(in + 1, &taken);
        }
        if (c == kNoCharacter) {
            *out++ = (char)*in++;
            continue;
        }
        in += 1 + taken;
        if (c != '\t' && c != '\n' && c != '\r') out += PutUtf8(c, out);
    }
    *out = 0;
    return (size_t)(out - text);
}

int LookupEntity(const char* name, size_t length) {
    int lo = 0;
    int hi = kEntityCount;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareName(name, length, kEntities[mid].name);
        if (c == 0) return kEntities[mid].character;
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return 0;
}

size_t CleanText(char* dest, size_t size, const char* src) {
    if (size == 0) return 0;
    const unsigned char* s = (const unsigned char*)(src ? src : "");
    size_t out = 0;
    while (*s && size - out >= kRoomToGoOn) {
        if (IsSpace(*s)) {
            while (IsSpace(*s)) ++s;
            dest[out++] = ' ';
            continue;
        }
        size_t taken = 0;
        int c = *s == '&' ? DecodeReference(s + 1, &taken) : 0;
        if (c != 0) {
            dest[out++] = (char)c;
            s += 1 + taken;
        } else {
            dest[out++] = (char)*s++;
        }
    }
    if (*s) {
        // Room is short: as much of "..." as fits before the NUL.
        for (int i = 0; i < 3 && out + 1 < size; ++i) dest[out++] = '.';
    }
    dest[out] = 0;
    return out;
}
