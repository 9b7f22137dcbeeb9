// A stack kept in chunks of 64 entries, each chunk linking to the one
// below: pushes never move what is already stored, and a stack that grew
// large gives its memory back as it empties. The main window keeps its
// undo records and the pages waiting to be loaded this way.
#ifndef SKEIND_APP_CHUNKED_STACK_H
#define SKEIND_APP_CHUNKED_STACK_H

template <typename T>
class ChunkedStack {
public:
    static const int kChunkSize = 64;

    ChunkedStack() : top_(0), used_(0) {}
    ~ChunkedStack() {
        while (top_) {
            Chunk* below = top_->below;
            delete top_;
            top_ = below;
        }
    }

    // An emptied chunk never stays on top of another, so the top chunk
    // holds entries whenever the stack does.
    bool Empty() const { return used_ == 0; }

    void Push(const T& item) {
        if (top_ == 0 || used_ == kChunkSize) {
            Chunk* chunk = new Chunk;
            chunk->below = top_;
            top_ = chunk;
            used_ = 0;
        }
        top_->items[used_++] = item;
    }

    // The most recently pushed entry, taken off; false when empty.
    bool Pop(T* item) {
        if (used_ <= 0) return false;
        *item = top_->items[--used_];
        // A chunk emptied with one below it goes; the one below is full.
        if (used_ == 0 && top_->below) {
            Chunk* below = top_->below;
            delete top_;
            top_ = below;
            used_ = kChunkSize;
        }
        return true;
    }

    // The top entry without taking it; false when empty.
    bool Peek(T* item) const {
        if (used_ <= 0) return false;
        *item = top_->items[used_ - 1];
        return true;
    }

    int ChunkCount() const {
        int n = 0;
        for (Chunk* c = top_; c; c = c->below) ++n;
        return n;
    }

private:
    struct Chunk {
        T items[kChunkSize];
        Chunk* below;
    };
    ChunkedStack(const ChunkedStack&);
    ChunkedStack& operator=(const ChunkedStack&);

    Chunk* top_;
    int used_;  // entries in the top chunk
};

#endif
