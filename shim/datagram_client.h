// DatagramClient: an AClient that packs every call into records of the
// shim's datagrams (observe/datagram.h) and hands each finished datagram to
// a sink, which sends it to the program.
//
// Packing: records gather in one datagram until the next one does not fit
// or the owner calls Flush (the shim's WatchTable decides when). A page's
// links then travel many to a datagram rather than one each, so the
// program, which reads one datagram per window message and refreshes its
// map after each, is not flooded by a long page, and a burst overflows the
// receive buffer less often.
//
// Texts: a record carries at most 254 characters of text, and a link's two
// texts must share one datagram. Longer texts are cut rather than the
// record dropped, so a long URL still makes a page:
//  - never inside a UTF-8 sequence;
//  - a URL never inside a %-escape (the cut URL stays one that the URL
//    model reads as it was written);
//  - a free text (title, anchor text, Open's text) never inside a
//    character entity, and ends with "..." to show that it was cut;
//  - a link's URL keeps up to 254 characters; its extra text gets what room
//    is left (at least 240).
// Values outside the 16-bit field are held to its ends rather than wrapped,
// so an absurd status never turns into a real one. MarkPage has no record
// and sends nothing.
#ifndef SKEIND_SHIM_DATAGRAM_CLIENT_H
#define SKEIND_SHIM_DATAGRAM_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#include "observe/client.h"
#include "observe/datagram.h"

// Where finished datagrams go: the DLL's UDP socket, or a test.
class ADatagramSink {
public:
    // One datagram of at most kDatagramMax bytes. Must not block.
    virtual void Send(const uint8_t* bytes, size_t count) = 0;

protected:
    ~ADatagramSink() {}
};

// The longest text one record carries (its length byte counts the NUL).
const size_t kRecordTextMax = 254;

enum RecordTextKind { RecordUrl, RecordFreeText };

// `text` as a record carries it in at most `max` characters: `text` itself
// when it fits, else a cut copy written to `out` (max + 1 bytes). `max` is
// at least 8.
const char* RecordText(const char* text, size_t max, RecordTextKind kind, char* out);

class DatagramClient final : public AClient {
public:
    // `sink` must outlive the client.
    explicit DatagramClient(ADatagramSink* sink);
    // Sends what is still held.
    ~DatagramClient();

    // Every call answers 1 ("go on"), except MarkPage, which answers 0.
    uint32_t Open(uint32_t id, const char* text) override;
    uint32_t Request(uint32_t id, const char* url, int op) override;
    uint32_t Status(uint32_t id, int code) override;
    uint32_t Base(uint32_t id, const char* url) override;
    uint32_t MarkPage(uint32_t id, const char* text) override;
    uint32_t ContentType(uint32_t id, const char* mime) override;
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override;
    uint32_t Title(uint32_t id, const char* text, int kind) override;
    uint32_t Close(uint32_t id) override;

    // Sends the records held, if any, as one datagram.
    void Flush();
    // Records are held, waiting for Flush or for a datagram to fill.
    bool Holding() const { return writer_.length != kDatagramHead; }

private:
    DatagramClient(const DatagramClient&);
    DatagramClient& operator=(const DatagramClient&);

    void Add(RecordType type, uint32_t id, int value, const char* first, RecordTextKind first_kind, const char* second);

    ADatagramSink* sink_;
    DatagramWriter writer_;
};

#endif
