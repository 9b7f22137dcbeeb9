#include "shim/datagram_client.h"

#include <string.h>

namespace {

// Both texts of a record, NULs included, in an otherwise empty datagram.
const size_t kRecordTextsMax = kDatagramMax - kDatagramHead - kRecordHead;
const char kCutMark[] = "...";
const size_t kCutMarkLength = 3;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

bool IsEntityChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
}

// Bytes in the UTF-8 sequence that `c` starts; 0 when it starts none.
size_t SequenceLength(unsigned char c) {
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// `cut` is the first byte dropped. Moves it back to the start of a UTF-8
// sequence that it would split; bytes that are no such sequence (8-bit
// text in another character set) are cut where they are.
size_t BeforeSplitSequence(const char* text, size_t cut) {
    if (!IsContinuation((unsigned char)text[cut])) return cut;
    for (size_t back = 1; back <= 3 && back <= cut; ++back) {
        unsigned char c = (unsigned char)text[cut - back];
        if (IsContinuation(c)) continue;
        return SequenceLength(c) > back ? cut - back : cut;
    }
    return cut;
}

// Reads escapes as the URL model does (a '%' with two characters after it
// is one escape) and cuts before an escape that would lose a character.
size_t BeforeSplitEscape(const char* text, size_t cut) {
    size_t i = 0;
    while (i < cut) {
        if (text[i] != '%') {
            ++i;
        } else if (i + 3 > cut) {
            return i;
        } else {
            i += 3;
        }
    }
    return cut;
}

// An '&' with up to 19 entity characters after it, continued past the cut,
// is an entity that the cut would split: cut before its '&'.
size_t BeforeSplitEntity(const char* text, size_t cut) {
    unsigned char next = (unsigned char)text[cut];
    if (!IsEntityChar(next) && next != ';') return cut;
    for (size_t back = 1; back <= 20 && back <= cut; ++back) {
        unsigned char c = (unsigned char)text[cut - back];
        if (c == '&') return cut - back;
        if (!IsEntityChar(c)) return cut;
    }
    return cut;
}

int HeldTo16Bits(int value) {
    if (value < -32768) return -32768;
    if (value > 32767) return 32767;
    return value;
}

}  // namespace

const char* RecordText(const char* text, size_t max, RecordTextKind kind, char* out) {
    if (!text) return 0;
    size_t n = 0;
    while (n <= max && text[n]) ++n;  // never further than needed: the text may be short
    if (n <= max) return text;
    size_t cut;
    if (kind == RecordUrl) {
        cut = BeforeSplitSequence(text, BeforeSplitEscape(text, max));
    } else {
        cut = BeforeSplitEntity(text, BeforeSplitSequence(text, max - kCutMarkLength));
    }
    memcpy(out, text, cut);
    if (kind == RecordFreeText) {
        memcpy(out + cut, kCutMark, kCutMarkLength);
        cut += kCutMarkLength;
    }
    out[cut] = 0;
    return out;
}

DatagramClient::DatagramClient(ADatagramSink* sink) : sink_(sink) {}

DatagramClient::~DatagramClient() { Flush(); }

void DatagramClient::Flush() {
    if (writer_.length == kDatagramHead) return;
    size_t n = writer_.Finish();
    sink_->Send(writer_.bytes, n);
    writer_.Clear();
}

void DatagramClient::Add(RecordType type, uint32_t id, int value, const char* first,
                         RecordTextKind first_kind, const char* second) {
    char first_cut[kRecordTextMax + 1];
    char second_cut[kRecordTextMax + 1];
    first = RecordText(first, kRecordTextMax, first_kind, first_cut);
    if (second) {
        size_t room = kRecordTextsMax - 1 - (first ? strlen(first) + 1 : 0);  // - 1: the second NUL
        if (room > kRecordTextMax) room = kRecordTextMax;
        second = RecordText(second, room, RecordFreeText, second_cut);
    }
    value = HeldTo16Bits(value);
    if (writer_.Add(type, id, value, first, second)) return;
    // Every record fits an empty datagram, as the texts were cut to fit.
    Flush();
    writer_.Add(type, id, value, first, second);
}

uint32_t DatagramClient::Open(uint32_t id, const char* text) {
    Add(RecOpen, id, 0, text, RecordFreeText, 0);
    return 1;
}

uint32_t DatagramClient::Request(uint32_t id, const char* url, int op) {
    Add(RecRequest, id, op, url, RecordUrl, 0);
    return 1;
}

uint32_t DatagramClient::Status(uint32_t id, int code) {
    Add(RecStatus, id, code, 0, RecordUrl, 0);
    return 1;
}

uint32_t DatagramClient::Base(uint32_t id, const char* url) {
    Add(RecBase, id, 0, url, RecordUrl, 0);
    return 1;
}

uint32_t DatagramClient::MarkPage(uint32_t, const char*) { return 0; }

uint32_t DatagramClient::ContentType(uint32_t id, const char* mime) {
    Add(RecContentType, id, 0, mime, RecordUrl, 0);
    return 1;
}

uint32_t DatagramClient::Link(uint32_t id, const char* url, int type, const char* extra) {
    Add(RecLink, id, type, url, RecordUrl, extra);
    return 1;
}

uint32_t DatagramClient::Title(uint32_t id, const char* text, int kind) {
    Add(RecTitle, id, kind, text, RecordFreeText, 0);
    return 1;
}

uint32_t DatagramClient::Close(uint32_t id) {
    Add(RecClose, id, 0, 0, RecordUrl, 0);
    return 1;
}
