// The argument strings of the browser verbs: fields separated by commas,
// numbers in decimal, texts between double quotes. The reader takes
// anything a browser may send; the writer builds what the program sends.
#ifndef SKEIND_BROWSER_DDE_ARGS_H
#define SKEIND_BROWSER_DDE_ARGS_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Reads the fields of one item or reply, in order, from its own copy of
// the text. Reading past the last field gives an absent text and 0.
class DdeArgReader {
public:
    // `text` may be null (read as empty); `length` bytes are copied up to
    // the first NUL.
    explicit DdeArgReader(const char* text);
    DdeArgReader(const char* text, size_t length);
    ~DdeArgReader();

    // A number: blanks skipped, a sign, 0x for hexadecimal, a leading 0 for
    // octal; a minus negates modulo 2^32; a value past 32 bits reads as
    // 0xFFFFFFFF. The cursor moves past a comma that ends the number and
    // stays where anything else stopped it.
    uint32_t ReadNumber();
    // A text, quoted or not; null when the fields are used up. The text is
    // a view into the reader's copy, valid while the reader lives.
    const char* ReadString();

    bool exhausted() const { return cursor_ == 0; }

private:
    DdeArgReader(const DdeArgReader&);
    DdeArgReader& operator=(const DdeArgReader&);
    void Copy(const char* text, size_t length);

    char* text_;    // the copy, NUL-terminated
    char* cursor_;  // null once the fields are used up
};

// Builds an item field by field.
class DdeArgWriter {
public:
    DdeArgWriter() : first_(true), raw_next_(false) {}

    void AddString(const char* text);
    void AddNumber(uint32_t value);
    void AddEmpty();
    // The next string field is written bare, without its quotes.
    void RawNext() { raw_next_ = true; }

    const char* text() const { return text_.c_str(); }

private:
    void Separate();

    bool first_;
    bool raw_next_;
    std::string text_;
};

#endif
