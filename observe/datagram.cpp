#include "observe/datagram.h"

#include <string.h>

namespace {

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// A text of `length` bytes that must hold its NUL; none when it is absent
// or unterminated.
const char* TextAt(const uint8_t* p, size_t length) {
    if (length == 0 || memchr(p, 0, length) == 0) return 0;
    return (const char*)p;
}

void Dispatch(const uint8_t* rec, AClient& client, const char* first, const char* second) {
    uint32_t id = Get32(rec + 4);
    int value = (int16_t)Get16(rec + 8);
    switch (rec[0]) {
    case RecOpen: client.Open(id, first); break;
    case RecRequest: client.Request(id, first, value); break;
    case RecStatus: client.Status(id, value); break;
    case RecContentType: client.ContentType(id, first); break;
    case RecBase: client.Base(id, first); break;
    case RecTitle: client.Title(id, first, value); break;
    case RecLink: client.Link(id, first, value, second); break;
    case RecClose: client.Close(id); break;
    default: break;  // 5, 9 and unknown types carry no call
    }
}

}  // namespace

int DispatchDatagram(const uint8_t* bytes, size_t received, AClient& client) {
    if (received < kDatagramHead || received > kDatagramMax) return 0;
    if (bytes[0] != 1 || bytes[1] != 0 || Get16(bytes + 2) != received) return 0;
    int result = DatagramDispatched;
    size_t at = kDatagramHead;
    while (at < received) {
        if (received - at < kRecordHead) break;
        const uint8_t* rec = bytes + at;
        size_t l1 = rec[1], l2 = rec[2], l3 = rec[3];
        if (received - at - kRecordHead < l1 + l2) break;
        const char* first = TextAt(rec + kRecordHead, l1);
        const char* second = TextAt(rec + kRecordHead + l1, l2);
        Dispatch(rec, client, first, second);
        if (rec[0] == RecResync) result |= DatagramResync;
        at += (kRecordHead + l1 + l2 + l3 + 3) & ~(size_t)3;
    }
    return result;
}

bool DatagramWriter::Add(RecordType type, uint32_t id, int value, const char* first, const char* second) {
    size_t l1 = first ? strlen(first) + 1 : 0;
    size_t l2 = second ? strlen(second) + 1 : 0;
    if (l1 > 255 || l2 > 255) return false;
    size_t step = (kRecordHead + l1 + l2 + 3) & ~(size_t)3;
    if (length + step > kDatagramMax) return false;
    uint8_t* rec = bytes + length;
    memset(rec, 0, step);
    rec[0] = (uint8_t)type;
    rec[1] = (uint8_t)l1;
    rec[2] = (uint8_t)l2;
    rec[3] = 0;
    rec[4] = (uint8_t)id;
    rec[5] = (uint8_t)(id >> 8);
    rec[6] = (uint8_t)(id >> 16);
    rec[7] = (uint8_t)(id >> 24);
    rec[8] = (uint8_t)value;
    rec[9] = (uint8_t)((unsigned)value >> 8);
    if (l1) memcpy(rec + kRecordHead, first, l1);
    if (l2) memcpy(rec + kRecordHead + l1, second, l2);
    length += step;
    return true;
}

size_t DatagramWriter::Finish() {
    bytes[0] = 1;
    bytes[1] = 0;
    bytes[2] = (uint8_t)length;
    bytes[3] = (uint8_t)(length >> 8);
    return length;
}
