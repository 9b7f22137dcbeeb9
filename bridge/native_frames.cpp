#include "bridge/native_frames.h"

#include <string.h>

void FrameReader::Feed(const char* bytes, size_t count) {
    if (skipping_ > 0) {
        size_t pass = count < skipping_ ? count : skipping_;
        skipping_ -= (uint32_t)pass;
        bytes += pass;
        count -= pass;
    }
    // What was handed out goes before more is appended.
    pending_.erase(0, taken_);
    taken_ = 0;
    pending_.append(bytes, count);
}

bool FrameReader::Next(std::string* message) {
    for (;;) {
        size_t held = pending_.size() - taken_;
        if (skipping_ > 0 || held < 4) return false;
        const unsigned char* head = (const unsigned char*)pending_.data() + taken_;
        uint32_t length = head[0] | head[1] << 8 | head[2] << 16 | (uint32_t)head[3] << 24;
        if (length > kFrameMax) {
            ++skipped_;
            size_t here = held - 4 < length ? held - 4 : length;
            taken_ += 4 + here;
            skipping_ = length - (uint32_t)here;
            continue;
        }
        if (held - 4 < length) return false;
        message->assign(pending_, taken_ + 4, length);
        taken_ += 4 + length;
        return true;
    }
}

std::string Frame(const std::string& json) {
    uint32_t n = (uint32_t)json.size();
    char head[4] = {(char)n, (char)(n >> 8), (char)(n >> 16), (char)(n >> 24)};
    return std::string(head, 4) + json;
}
