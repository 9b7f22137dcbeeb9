// LinkBatch: links read but not yet reported, so that a scanner can report
// those of one block together (AClient::Links) and its client find or make
// their pages at once. Fixed room and no allocation: what it holds is
// reported whenever the next link would not fit.
#ifndef SKEIND_OBSERVE_LINK_BATCH_H
#define SKEIND_OBSERVE_LINK_BATCH_H

#include <stddef.h>
#include <stdint.h>

#include "observe/client.h"

class LinkBatch {
public:
    static const int kLinks = 16;
    // Room for the copies of URLs and extras; a link's two texts together
    // come from one scan buffer and fit several times over.
    static const size_t kText = 8192;

    LinkBatch() : count_(0), used_(0) {}

    // Holds a copy of the link for the next Report.
    void Add(AClient* client, uint32_t id, const char* url, int type, const char* extra);
    // Reports what is held, if anything, and empties the batch.
    void Report(AClient* client, uint32_t id);

private:
    const char* Keep(const char* text);

    LinkReport links_[kLinks];
    int count_;
    size_t used_;
    char text_[kText];
};

#endif
