// SettingsKey: the program's settings in the registry under the current
// user. Reads fall back to their defaults and writes stop at the first
// failure; nothing here is ever reported to the user. Windows only.
#ifndef SKEIND_OBSERVE_SETTINGS_H
#define SKEIND_OBSERVE_SETTINGS_H

#include <windows.h>

#include <string>

// The program key, under HKEY_CURRENT_USER.
extern const char kProgramKeyPath[];
// The class given to every key the program creates.
extern const char kSettingsKeyClass[];

// The main window's rectangle as stored: left, top, width and height, each
// CW_USEDEFAULT-style defaults when there is nothing stored.
struct WindowValues {
    int32_t x, y, x_size, y_size;
};

// Where a subkey enumeration stands.
struct SubkeyIterator {
    DWORD index;
    char name[256];
};

class SettingsKey {
public:
    // No key: every read gives its default, every write is skipped.
    SettingsKey() : key_(0), result_(ERROR_INVALID_HANDLE), owned_(false) {}
    // Creates (write) or opens (read) `path` under `parent`, as a
    // non-volatile key of class "xyzzy" when created.
    SettingsKey(HKEY parent, const char* path, bool write);
    SettingsKey(const SettingsKey& parent, const char* path, bool write);
    ~SettingsKey();

    // The program key, made or opened on first use and kept open until
    // the program ends.
    static SettingsKey& Program();

    bool IsOpen() const { return key_ != 0; }
    LONG result() const { return result_; }
    HKEY handle() const { return key_; }

    // The value as text into buffer (a DWORD in decimal); the default (or
    // none) when missing, of another type, or too long for the buffer.
    char* ReadText(const char* name, char* buffer, size_t size, const char* fallback);
    // The value as text of any length; false (and the default, if any, in
    // `out`) when there is none.
    bool ReadText(const char* name, std::string* out, const char* fallback);
    // The value as a number (text in decimal, 0x-hex or 0-octal).
    int32_t ReadNumber(const char* name, int32_t fallback);
    // The next subkey's name; false when there are no more.
    bool NextSubkey(SubkeyIterator* it);

    int WriteNumber(const char* name, uint32_t value);
    int WriteText(const char* name, const char* text);

private:
    SettingsKey(const SettingsKey&);
    SettingsKey& operator=(const SettingsKey&);
    void Make(HKEY parent, const char* path, bool write);
    // Queries a text or DWORD value; false when it is neither or missing.
    bool QueryValue(const char* name, std::string* text);

    HKEY key_;
    LONG result_;
    bool owned_;
};

// The "window" subkey: read at window creation, written at close. Write
// answers 0 on success, 1 on failure.
WindowValues ReadWindowValues(SettingsKey& program);
int WriteWindowRect(SettingsKey& program, const RECT& rect);

// The "font" subkey: the logical-font record, field by field.
void DefaultFont(LOGFONTA* font);
void ReadFont(SettingsKey& program, LOGFONTA* font);
int WriteFont(SettingsKey& program, const LOGFONTA& font);

#endif
