// DbClient: turns what is observed about connections into pages, titles,
// content types and links in the workspace. Each connection under way is
// bound to the page it fetches; later observations on it apply to that page
// as long as the page lives: a connection whose page may have been purged
// since (the workspace's generation moved on) is left without a page.
#ifndef SKEIND_OBSERVE_DB_CLIENT_H
#define SKEIND_OBSERVE_DB_CLIENT_H

#include "observe/client.h"
#include "store/workspace.h"

struct ConnectionSlot {
    uint32_t connection_id;
    AWorkspace* workspace;  // none until a request is seen
    NodeId page;            // 0 until a request is seen
    uint32_t generation;    // the workspace's generation when page was bound
    uint32_t last_used;     // tick of the last observation, for recycling
};

const int kConnectionSlots = 20;

class DbClient final : public AClient {
public:
    explicit DbClient(AWorkspace* workspace);

    uint32_t Open(uint32_t id, const char* text) override;
    uint32_t Request(uint32_t id, const char* url, int op) override;
    uint32_t Status(uint32_t id, int code) override;
    uint32_t Base(uint32_t id, const char* url) override;
    uint32_t MarkPage(uint32_t id, const char* text) override;
    uint32_t ContentType(uint32_t id, const char* mime) override;
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override;
    void Links(uint32_t id, const LinkReport* links, size_t n) override;
    uint32_t Title(uint32_t id, const char* text, int kind) override;
    uint32_t Close(uint32_t id) override;

    int count() const { return count_; }
    const ConnectionSlot& slot(int i) const { return slots_[i]; }

private:
    ConnectionSlot* FindSlot(uint32_t id);
    ConnectionSlot* SlotOf(uint32_t id, bool take_over);
    ConnectionSlot* PageSlot(uint32_t id);
    void FileQueriedPage(AWorkspace& ws, NodeId page);
    void FileLink(AWorkspace& ws, NodeId page, NodeId target, int type, const char* extra);

    AWorkspace* workspace_;
    ConnectionSlot slots_[kConnectionSlots];
    int count_;
    uint32_t tick_;
};

#endif
