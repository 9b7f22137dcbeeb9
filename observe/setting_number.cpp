#include "observe/setting_number.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

int32_t SettingNumberOfText(const char* text) {
    if (text == 0) return 0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    uint64_t value = 0;
    const char* digits = p;
    for (; DigitValue(*p) < (int)base; ++p) {
        value = value * base + (uint64_t)DigitValue(*p);
        if (value > 0xFFFFFFFFu) return 0;
    }
    if (p == digits) return 0;
    while (IsSpace(*p)) ++p;
    if (*p != 0) return 0;
    uint32_t bits = (uint32_t)value;
    return (int32_t)(negative ? 0u - bits : bits);
}
