#include "observe/link_batch.h"

#include <string.h>

const char* LinkBatch::Keep(const char* text) {
    if (text == 0) return 0;
    size_t n = strlen(text) + 1;
    char* kept = text_ + used_;
    memcpy(kept, text, n);
    used_ += n;
    return kept;
}

void LinkBatch::Add(AClient* client, uint32_t id, const char* url, int type, const char* extra) {
    size_t need = strlen(url) + 1 + (extra ? strlen(extra) + 1 : 0);
    if (count_ == kLinks || used_ + need > kText) Report(client, id);
    if (need > kText) {
        client->Link(id, url, type, extra);  // too long to hold: on its own
        return;
    }
    LinkReport& link = links_[count_++];
    link.url = Keep(url);
    link.type = type;
    link.extra = Keep(extra);
}

void LinkBatch::Report(AClient* client, uint32_t id) {
    if (count_ == 0) return;
    int n = count_;
    count_ = 0;
    used_ = 0;
    client->Links(id, links_, (size_t)n);
}
