// ChunkReader: a body in the chunked transfer coding, read as it arrives in
// any pieces: each chunk's size line (size in hex, optional extensions),
// its data and the line end after it, and after the last (empty) chunk the
// trailer lines up to an empty line. It keeps no bytes, only its state and
// what is left of the current chunk, so it needs no buffer however the
// body is split.
//
// Lenient where servers are: a line feed alone ends a line, and spaces or
// tabs may follow a chunk size. Anything else that is not the coding (no
// hex digit where a size begins, more than 15 hex digits, chunk data not
// followed by its line end) fails the reader for good: the body's end can
// no longer be found.
#ifndef SKEIND_SHIM_CHUNK_READER_H
#define SKEIND_SHIM_CHUNK_READER_H

#include <stddef.h>
#include <stdint.h>

class ChunkReader {
public:
    ChunkReader() { Reset(); }
    void Reset();

    // Reads from `bytes` to the end of the next run of chunk data, to the
    // end of the body, to a failure or to the end of `count`, whichever
    // comes first, and answers how many bytes it read. `*data` and
    // `*data_count` give the chunk data among them (none: a count of 0),
    // which always lie at the end of what was read. Reads nothing once done
    // or failed.
    size_t Read(const char* bytes, size_t count, const char** data, size_t* data_count);

    bool Done() const { return state_ == kDone; }
    bool Failed() const { return state_ == kFailed; }

private:
    enum State {
        kSize,       // the hex digits of a chunk size
        kSizeBlank,  // spaces or tabs after them
        kExtension,  // ";..." up to the line feed
        kSizeCr,     // a carriage return after the size line
        kData,       // the chunk's data
        kDataEnd,    // the line end after it
        kDataCr,
        kTrailerStart,  // the start of a trailer line, or the final empty line
        kTrailerLine,
        kTrailerCr,
        kDone,
        kFailed
    };

    void Byte(char c);
    void SizeLineEnded();

    State state_;
    int digits_;
    uint64_t left_;  // data bytes left in the current chunk
};

#endif
