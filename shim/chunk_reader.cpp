#include "shim/chunk_reader.h"

namespace {

// 15 hex digits stay below 2^60: no overflow, and no real chunk is larger.
const int kSizeDigitsMax = 15;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

void ChunkReader::Reset() {
    state_ = kSize;
    digits_ = 0;
    left_ = 0;
}

size_t ChunkReader::Read(const char* bytes, size_t count, const char** data, size_t* data_count) {
    *data = bytes;
    *data_count = 0;
    size_t i = 0;
    while (i < count && state_ != kDone && state_ != kFailed) {
        if (state_ == kData) {
            size_t run = count - i;
            if (run > left_) run = (size_t)left_;
            *data = bytes + i;
            *data_count = run;
            left_ -= run;
            if (left_ == 0) state_ = kDataEnd;
            return i + run;
        }
        Byte(bytes[i++]);
    }
    return i;
}

void ChunkReader::Byte(char c) {
    switch (state_) {
    case kSize: {
        int v = HexValue(c);
        if (v >= 0 && digits_ < kSizeDigitsMax) {
            left_ = left_ * 16 + (uint64_t)v;
            ++digits_;
        } else if (v >= 0 || digits_ == 0) {
            state_ = kFailed;
        } else if (c == ' ' || c == '\t') {
            state_ = kSizeBlank;
        } else if (c == ';') {
            state_ = kExtension;
        } else if (c == '\r') {
            state_ = kSizeCr;
        } else if (c == '\n') {
            SizeLineEnded();
        } else {
            state_ = kFailed;
        }
        break;
    }
    case kSizeBlank:
        if (c == ';')
            state_ = kExtension;
        else if (c == '\r')
            state_ = kSizeCr;
        else if (c == '\n')
            SizeLineEnded();
        else if (c != ' ' && c != '\t')
            state_ = kFailed;
        break;
    case kExtension:
        if (c == '\n') SizeLineEnded();
        break;
    case kSizeCr:
        if (c == '\n')
            SizeLineEnded();
        else
            state_ = kFailed;
        break;
    case kDataEnd:
        if (c == '\r')
            state_ = kDataCr;
        else if (c == '\n')
            Reset();
        else
            state_ = kFailed;
        break;
    case kDataCr:
        if (c == '\n')
            Reset();
        else
            state_ = kFailed;
        break;
    case kTrailerStart:
        if (c == '\r')
            state_ = kTrailerCr;
        else if (c == '\n')
            state_ = kDone;
        else
            state_ = kTrailerLine;
        break;
    case kTrailerLine:
        if (c == '\n') state_ = kTrailerStart;
        break;
    case kTrailerCr:
        state_ = c == '\n' ? kDone : kFailed;
        break;
    default:
        break;  // kData is read in runs; nothing follows done or failed
    }
}

void ChunkReader::SizeLineEnded() {
    state_ = left_ == 0 ? kTrailerStart : kData;
    digits_ = 0;
}
