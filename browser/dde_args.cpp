#include "browser/dde_args.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

DdeArgReader::DdeArgReader(const char* text) { Copy(text, text ? strlen(text) : 0); }

DdeArgReader::DdeArgReader(const char* text, size_t length) {
    const void* nul = text ? memchr(text, 0, length) : 0;
    Copy(text, nul ? (size_t)((const char*)nul - text) : (text ? length : 0));
}

DdeArgReader::~DdeArgReader() { free(text_); }

void DdeArgReader::Copy(const char* text, size_t length) {
    text_ = (char*)malloc(length + 1);
    if (text_ == 0) {
        cursor_ = 0;
        return;
    }
    if (length) memcpy(text_, text, length);
    text_[length] = 0;
    cursor_ = text_;
}

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The number at `p` as the C library's unsigned conversion reads it with
// a 32-bit result; `*stop` is where it stopped (`p` itself when no digit
// was read).
uint32_t ConvertNumber(const char* p, const char** stop) {
    const char* s = p;
    while (IsBlank(*s)) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    int base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && DigitValue(s[2]) < 16) {
        base = 16;
        s += 2;
    } else if (s[0] == '0') {
        base = 8;
    }
    const char* digits = s;
    uint64_t value = 0;
    bool overflow = false;
    for (; DigitValue(*s) < base; ++s) {
        value = value * (unsigned)base + (unsigned)DigitValue(*s);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (s == digits) {
        *stop = p;
        return 0;
    }
    *stop = s;
    if (overflow) return 0xFFFFFFFFu;
    return negative ? (uint32_t)(0u - (uint32_t)value) : (uint32_t)value;
}

}  // namespace

uint32_t DdeArgReader::ReadNumber() {
    if (cursor_ == 0) return 0;
    const char* stop;
    uint32_t value = ConvertNumber(cursor_, &stop);
    cursor_ = (char*)stop;
    if (*cursor_ == 0)
        cursor_ = 0;
    else if (*cursor_ == ',')
        ++cursor_;
    return value;
}

const char* DdeArgReader::ReadString() {
    if (cursor_ == 0) return 0;
    char* field = cursor_;
    if (*field == '"') {
        ++field;
        char* p = field;
        // A backslash keeps the next character from ending the field and
        // stays in the text.
        while (*p && *p != '"') p += (p[0] == '\\' && p[1] != 0) ? 2 : 1;
        if (*p == 0) {
            cursor_ = 0;
            return field;
        }
        *p++ = 0;
        if (*p == ',') ++p;
        cursor_ = p;
        return field;
    }
    char* comma = strchr(field, ',');
    if (comma == 0) {
        cursor_ = 0;
    } else {
        *comma = 0;
        cursor_ = comma + 1;
    }
    return field;
}

void DdeArgWriter::Separate() {
    if (!first_) text_ += ',';
    first_ = false;
}

void DdeArgWriter::AddString(const char* text) {
    Separate();
    if (raw_next_) {
        raw_next_ = false;
        text_ += text ? text : "";
        return;
    }
    text_ += '"';
    text_ += text ? text : "";
    text_ += '"';
}

void DdeArgWriter::AddNumber(uint32_t value) {
    Separate();
    char digits[16];
    snprintf(digits, sizeof digits, "%lu", (unsigned long)value);
    text_ += digits;
}

void DdeArgWriter::AddEmpty() { Separate(); }
