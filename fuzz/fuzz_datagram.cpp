// fuzz_datagram: datagram decoding over arbitrary bytes.
//
// The input is one received datagram, copied into a heap block of exactly
// its length so that AddressSanitizer sees any read past the received
// bytes. The length field is made to agree with the input size for half of
// the inputs (chosen by the last byte), so that the record walk is reached
// often. A checking client verifies that every text it is given lies
// inside the datagram and ends there, and the calls are counted again from
// the bytes by a plain reading of the record rules: both must agree.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "observe/datagram.h"

namespace {

void Fail(const char* what) {
    fprintf(stderr, "fuzz_datagram: %s\n", what);
    abort();
}

class CheckingClient final : public AClient {
public:
    CheckingClient(const uint8_t* begin, size_t size) : begin_(begin), end_(begin + size), calls(0) {}

    uint32_t Open(uint32_t, const char* t) override { return Saw(t, 0); }
    uint32_t Request(uint32_t, const char* t, int) override { return Saw(t, 0); }
    uint32_t Status(uint32_t, int) override { return Saw(0, 0); }
    uint32_t Base(uint32_t, const char* t) override { return Saw(t, 0); }
    uint32_t MarkPage(uint32_t, const char*) override {
        Fail("MarkPage reached from a datagram");
        return 0;
    }
    uint32_t ContentType(uint32_t, const char* t) override { return Saw(t, 0); }
    uint32_t Link(uint32_t, const char* t, int, const char* e) override { return Saw(t, e); }
    uint32_t Title(uint32_t, const char* t, int) override { return Saw(t, 0); }
    uint32_t Close(uint32_t) override { return Saw(0, 0); }

private:
    void Inside(const char* text) {
        if (text == 0) return;
        const uint8_t* p = (const uint8_t*)text;
        if (p < begin_ || p >= end_) Fail("text outside the datagram");
        if (memchr(p, 0, (size_t)(end_ - p)) == 0) Fail("text not ended inside the datagram");
    }
    uint32_t Saw(const char* a, const char* b) {
        Inside(a);
        Inside(b);
        ++calls;
        return 1;
    }

    const uint8_t* begin_;
    const uint8_t* end_;

public:
    size_t calls;
};

// The calls a datagram makes, by the record rules read plainly.
size_t ExpectedCalls(const uint8_t* d, size_t n, bool* resync) {
    *resync = false;
    if (n < 4 || n > 512 || d[0] != 1 || d[1] != 0 || (size_t)(d[2] | d[3] << 8) != n) return (size_t)-1;
    size_t calls = 0;
    for (size_t at = 4; at < n;) {
        if (at + 12 > n) break;
        size_t l1 = d[at + 1], l2 = d[at + 2], l3 = d[at + 3];
        if (at + 12 + l1 + l2 > n) break;
        int type = d[at];
        if (type <= 8 && type != 5) ++calls;
        if (type == 9) *resync = true;
        at += (12 + l1 + l2 + l3 + 3) / 4 * 4;
    }
    return calls;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool fix_length = data[size - 1] & 1;
    std::vector<uint8_t> copy(data, data + size - 1);
    if (fix_length && copy.size() >= 4) {
        copy[0] = 1;
        copy[1] = 0;
        copy[2] = (uint8_t)copy.size();
        copy[3] = (uint8_t)(copy.size() >> 8);
    }
    uint8_t* bytes = (uint8_t*)malloc(copy.size() ? copy.size() : 1);
    if (!copy.empty()) memcpy(bytes, copy.data(), copy.size());
    CheckingClient client(bytes, copy.size());
    int answer = DispatchDatagram(bytes, copy.size(), client);
    bool resync;
    size_t expected = ExpectedCalls(bytes, copy.size(), &resync);
    if (expected == (size_t)-1) {
        if (answer != 0 || client.calls != 0) Fail("a rejected datagram dispatched something");
    } else {
        if (client.calls != expected) Fail("calls differ from the record rules");
        if (answer != (DatagramDispatched | (resync ? DatagramResync : 0))) Fail("wrong answer");
    }
    free(bytes);
    return 0;
}
