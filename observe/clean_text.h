// CleanText: a title or anchor text made fit to store and show.
//
// Runs of white space become one space (a leading or trailing run too),
// character entities are decoded (the ISO 8859-1 names, "amp", "lt", "gt",
// "quot", and decimal "&#nnn;"), and a text that does not fit is cut and
// ends with "...". Decisions beyond the plain rules:
//  - An entity name is letters and digits, at most 19 of them, matched with
//    its case; the ';' after it is optional. Anything else after '&' (an
//    unknown name, a longer one, no name) leaves the '&' as it is.
//  - "&#" with digits gives the number's low 8 bits; a number whose low 8
//    bits are 0 would end the text early, so it is left as it is.
//  - The result always ends with a NUL within `size` bytes. While source
//    remains, characters are written only while 5 bytes of room are left,
//    so a cut text has at most size - 4 characters before its "...". Below
//    4 bytes the "..." itself is cut; a size of 0 writes nothing.
// A null source reads as an empty text.
#ifndef SKEIND_OBSERVE_CLEAN_TEXT_H
#define SKEIND_OBSERVE_CLEAN_TEXT_H

#include <stddef.h>

// Answers the length of the result, without its NUL.
size_t CleanText(char* dest, size_t size, const char* src);

// The entity names and their characters, sorted byte-wise by name.
struct Entity {
    const char* name;
    unsigned char character;
};
extern const Entity kEntities[];
extern const int kEntityCount;

// The character of an entity name (exact case), or 0 when there is none.
int LookupEntity(const char* name, size_t length);

// Decodes in place the character references in an attribute value that
// holds a URL, as a browser reads the value before it resolves the URL:
//  - "&#" with decimal digits, or "&#x"/"&#X" with hex digits, and an
//    optional ';': that character, in UTF-8 from 128 up (browsers send a
//    URL's characters as UTF-8). Tab, line feed and carriage return are
//    dropped, as from any URL; 0, surrogates and numbers above 0x10FFFF
//    stay as written.
//  - '&', a name of the entity table (exact case) and ';': its character,
//    in UTF-8 from 128 up. Without the ';' only when no '=' follows, so
//    that a query's "&copy=2" keeps its name.
//  - Anything else stays as written.
// No reference is shorter than what it stands for, so the text only
// shrinks. Answers the new length.
size_t DecodeUrlReferences(char* text);

#endif
