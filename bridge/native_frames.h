// The browser's native-messaging pipe: every message is a 4-byte length in
// the machine's byte order (little-endian on every machine the host runs
// on) followed by that many bytes of JSON.
#ifndef SKEIND_BRIDGE_NATIVE_FRAMES_H
#define SKEIND_BRIDGE_NATIVE_FRAMES_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Longer messages are passed over whole: nothing the extension sends comes
// near it (a page body fetched for the program is the largest).
const uint32_t kFrameMax = 64u << 20;

// Cuts a byte stream, fed in pieces of any size, into messages.
class FrameReader {
public:
    FrameReader() : skipping_(0), skipped_(0) {}

    void Feed(const char* bytes, size_t count);
    // The next whole message, oldest first; false when none is complete.
    bool Next(std::string* message);
    // Messages passed over for their length.
    uint32_t skipped() const { return skipped_; }

private:
    std::string pending_;  // from the start of a message's length
    size_t taken_ = 0;     // bytes of pending_ already handed out
    uint32_t skipping_;    // bytes of an over-long message still to pass over
    uint32_t skipped_;
};

// `json` with its length in front.
std::string Frame(const std::string& json);

#endif
