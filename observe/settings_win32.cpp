#include "observe/settings.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "observe/setting_number.h"

const char kProgramKeyPath[] = "Software\\Quillmere Systems\\Skeindle\\1.0";
const char kSettingsKeyClass[] = "xyzzy";

SettingsKey::SettingsKey(HKEY parent, const char* path, bool write) : key_(0), result_(0), owned_(false) {
    Make(parent, path, write);
}

SettingsKey::SettingsKey(const SettingsKey& parent, const char* path, bool write)
    : key_(0), result_(ERROR_INVALID_HANDLE), owned_(false) {
    if (parent.key_ != 0) Make(parent.key_, path, write);
}

void SettingsKey::Make(HKEY parent, const char* path, bool write) {
    HKEY key = 0;
    if (write) {
        DWORD disposition;
        result_ = RegCreateKeyExA(parent, path, 0, (LPSTR)kSettingsKeyClass, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, 0, &key, &disposition);
    } else {
        result_ = RegOpenKeyExA(parent, path, 0, KEY_READ, &key);
    }
    if (result_ == ERROR_SUCCESS) {
        key_ = key;
        owned_ = true;
    }
}

SettingsKey::~SettingsKey() {
    if (owned_) RegCloseKey(key_);
}

SettingsKey& SettingsKey::Program() {
    static SettingsKey program(HKEY_CURRENT_USER, kProgramKeyPath, true);
    return program;
}

bool SettingsKey::QueryValue(const char* name, std::string* text) {
    if (key_ == 0) return false;
    DWORD type = 0, size = 0;
    result_ = RegQueryValueExA(key_, name, 0, &type, 0, &size);
    if (result_ != ERROR_SUCCESS) return false;
    if (type == REG_DWORD) {
        DWORD value = 0;
        size = sizeof value;
        result_ = RegQueryValueExA(key_, name, 0, &type, (BYTE*)&value, &size);
        if (result_ != ERROR_SUCCESS || type != REG_DWORD) return false;
        char digits[16];
        snprintf(digits, sizeof digits, "%lu", (unsigned long)value);
        *text = digits;
        return true;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return false;
    // One byte more than asked for, so that a text stored without its NUL
    // still ends.
    std::vector<char> bytes(size + 1, 0);
    result_ = RegQueryValueExA(key_, name, 0, &type, (BYTE*)&bytes[0], &size);
    if (result_ != ERROR_SUCCESS) return false;
    bytes[size < bytes.size() ? size : bytes.size() - 1] = 0;
    *text = &bytes[0];  // a multi-string gives its first text
    return true;
}

char* SettingsKey::ReadText(const char* name, char* buffer, size_t size, const char* fallback) {
    std::string text;
    const char* found = QueryValue(name, &text) && text.size() < size ? text.c_str() : fallback;
    if (found == 0 || size == 0) return 0;
    size_t n = strlen(found);
    if (n >= size) n = size - 1;
    memcpy(buffer, found, n);
    buffer[n] = 0;
    return buffer;
}

bool SettingsKey::ReadText(const char* name, std::string* out, const char* fallback) {
    if (QueryValue(name, out)) return true;
    if (fallback) *out = fallback;
    return false;
}

int32_t SettingsKey::ReadNumber(const char* name, int32_t fallback) {
    std::string text;
    if (!QueryValue(name, &text)) return fallback;
    return SettingNumberOfText(text.c_str());
}

bool SettingsKey::NextSubkey(SubkeyIterator* it) {
    if (key_ == 0) return false;
    DWORD size = sizeof it->name;
    result_ = RegEnumKeyExA(key_, it->index, it->name, &size, 0, 0, 0, 0);
    if (result_ != ERROR_SUCCESS) return false;
    ++it->index;
    return true;
}

int SettingsKey::WriteNumber(const char* name, uint32_t value) {
    if (key_ == 0) return 1;
    DWORD v = value;
    result_ = RegSetValueExA(key_, name, 0, REG_DWORD, (const BYTE*)&v, sizeof v);
    return result_ == ERROR_SUCCESS ? 0 : 1;
}

int SettingsKey::WriteText(const char* name, const char* text) {
    if (key_ == 0) return 1;
    result_ = RegSetValueExA(key_, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    return result_ == ERROR_SUCCESS ? 0 : 1;
}

WindowValues ReadWindowValues(SettingsKey& program) {
    SettingsKey window(program, "window", false);
    WindowValues v;
    v.x = window.ReadNumber("x", (int32_t)CW_USEDEFAULT);
    v.y = window.ReadNumber("y", 0);
    v.x_size = window.ReadNumber("x-size", (int32_t)CW_USEDEFAULT);
    v.y_size = window.ReadNumber("y-size", 0);
    return v;
}

int WriteWindowRect(SettingsKey& program, const RECT& rect) {
    SettingsKey window(program, "window", true);
    if (window.WriteNumber("x", (uint32_t)rect.left) || window.WriteNumber("y", (uint32_t)rect.top) ||
        window.WriteNumber("x-size", (uint32_t)(rect.right - rect.left)) ||
        window.WriteNumber("y-size", (uint32_t)(rect.bottom - rect.top)))
        return 1;
    return 0;
}

namespace {

// The numeric fields of the logical-font record, in its order, with the
// names they are stored under.
struct FontField {
    const char* name;
    size_t offset;
    size_t bytes;  // 4 for the LONG fields, 1 for the BYTE ones
};

const FontField kFontFields[] = {
    {"height", offsetof(LOGFONTA, lfHeight), 4},
    {"width", offsetof(LOGFONTA, lfWidth), 4},
    {"escapement", offsetof(LOGFONTA, lfEscapement), 4},
    {"orientation", offsetof(LOGFONTA, lfOrientation), 4},
    {"weight", offsetof(LOGFONTA, lfWeight), 4},
    {"italic?", offsetof(LOGFONTA, lfItalic), 1},
    {"underline?", offsetof(LOGFONTA, lfUnderline), 1},
    {"strike out?", offsetof(LOGFONTA, lfStrikeOut), 1},
    {"character set", offsetof(LOGFONTA, lfCharSet), 1},
    {"output precision", offsetof(LOGFONTA, lfOutPrecision), 1},
    {"clip precision", offsetof(LOGFONTA, lfClipPrecision), 1},
    {"quality", offsetof(LOGFONTA, lfQuality), 1},
    {"pitch and family", offsetof(LOGFONTA, lfPitchAndFamily), 1},
};

int32_t GetField(const LOGFONTA& font, const FontField& f) {
    const BYTE* p = (const BYTE*)&font + f.offset;
    if (f.bytes == 1) return *p;
    LONG v;
    memcpy(&v, p, sizeof v);
    return v;
}

void SetField(LOGFONTA* font, const FontField& f, int32_t value) {
    BYTE* p = (BYTE*)font + f.offset;
    if (f.bytes == 1) {
        *p = (BYTE)value;
        return;
    }
    LONG v = value;
    memcpy(p, &v, sizeof v);
}

}  // namespace

void DefaultFont(LOGFONTA* font) {
    memset(font, 0, sizeof *font);
    font->lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
}

void ReadFont(SettingsKey& program, LOGFONTA* font) {
    SettingsKey key(program, "font", false);
    for (const FontField& f : kFontFields) SetField(font, f, key.ReadNumber(f.name, GetField(*font, f)));
    char current[LF_FACESIZE];
    memcpy(current, font->lfFaceName, LF_FACESIZE);
    current[LF_FACESIZE - 1] = 0;
    key.ReadText("face name", font->lfFaceName, LF_FACESIZE, current);
}

int WriteFont(SettingsKey& program, const LOGFONTA& font) {
    SettingsKey key(program, "font", true);
    for (const FontField& f : kFontFields)
        if (key.WriteNumber(f.name, (uint32_t)GetField(font, f))) return 1;
    char face[LF_FACESIZE];
    memcpy(face, font.lfFaceName, LF_FACESIZE);
    face[LF_FACESIZE - 1] = 0;
    return key.WriteText("face name", face);
}
