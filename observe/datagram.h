// The shim's datagrams: decoding a received datagram into AClient calls,
// and encoding records (for the tools and tests that stand in for a shim).
// Both work on plain bytes; the socket lives in ShimListener.
#ifndef SKEIND_OBSERVE_DATAGRAM_H
#define SKEIND_OBSERVE_DATAGRAM_H

#include <stddef.h>
#include <stdint.h>

#include "observe/client.h"

const size_t kDatagramMax = 512;
const size_t kDatagramHead = 4;
const size_t kRecordHead = 12;
const uint16_t kShimPort = 16659;

// Record types.
enum RecordType {
    RecOpen = 0,
    RecRequest = 1,
    RecStatus = 2,
    RecContentType = 3,
    RecBase = 4,
    RecSkipped = 5,
    RecTitle = 6,
    RecLink = 7,
    RecClose = 8,
    RecResync = 9
};

// Answers of DispatchDatagram: 0 when the datagram was rejected, else
// DatagramDispatched, with DatagramResync added when a type 9 record was met.
const int DatagramDispatched = 1;
const int DatagramResync = 2;

// Dispatches every record of the `received` bytes to the client. A record
// whose head or texts would reach past the end ends the datagram there (the
// records before it stand); a text without its NUL inside its length is
// passed as none. Nothing past `received` is read.
int DispatchDatagram(const uint8_t* bytes, size_t received, AClient& client);

// Builds a datagram one record at a time.
struct DatagramWriter {
    uint8_t bytes[kDatagramMax];
    size_t length;

    DatagramWriter() : length(kDatagramHead) {}
    // Appends a record; false (and nothing appended) when it does not fit
    // or a text is longer than 254 characters. Texts may be null.
    bool Add(RecordType type, uint32_t id, int value, const char* first, const char* second);
    // Writes the head and gives the datagram's length.
    size_t Finish();
    void Clear() { length = kDatagramHead; }
};

#endif
