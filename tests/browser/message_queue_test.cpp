// The browser messages on their way from the DDE callback to the main
// window: delivery to the right operation, one wake-up per batch, and
// messages posted by a delivery delivered by the same drain.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "browser/message_queue.h"

namespace {

class RecordingTattler : public ATattler {
public:
    std::vector<std::string> calls;
    MessageQueue* queue = nullptr;  // posts one more message on NewBrowser

    void Add(std::ostringstream& s) { calls.push_back(s.str()); }
    void UrlEcho(const char* url, const char* mime, uint32_t window, const char* referrer) override {
        std::ostringstream s;
        s << "echo " << url << ' ' << mime << ' ' << window << ' ' << (referrer ? referrer : "-");
        Add(s);
    }
    void NewBrowser(uint32_t v) override {
        std::ostringstream s;
        s << "new " << v;
        Add(s);
        if (queue) queue->Post(new MLostBrowser(1));
    }
    void LostBrowser(uint32_t v) override {
        std::ostringstream s;
        s << "lost " << v;
        Add(s);
    }
    void BeginProgress(uint32_t w, const char* t) override {
        std::ostringstream s;
        s << "begin " << w << ' ' << (t ? t : "-");
        Add(s);
    }
    void SetProgressRange(uint32_t w, uint32_t m) override {
        std::ostringstream s;
        s << "range " << w << ' ' << m;
        Add(s);
    }
    void MakingProgress(uint32_t w, const char* t, uint32_t a) override {
        std::ostringstream s;
        s << "making " << w << ' ' << (t ? t : "-") << ' ' << a;
        Add(s);
    }
    void EndProgress(uint32_t w) override {
        std::ostringstream s;
        s << "end " << w;
        Add(s);
    }
    void OpenUrlResult(uint32_t t, uint32_t w) override {
        std::ostringstream s;
        s << "result " << t << ' ' << w;
        Add(s);
    }
    void StatusText(const char*) override {}
};

struct CountingWakeUp : AWakeUp {
    int count = 0;
    void WakeUp() override { ++count; }
};

}  // namespace

TEST(MessageQueue, DeliversEachMessageToItsOperationInOrder) {
    RecordingTattler t;
    CountingWakeUp wake;
    MessageQueue q(&wake, &t);
    q.Post(new MUrlEcho("http://h/", "text/html", 7, nullptr));
    q.Post(new MBeginProgress(0xFFFFFFFFu, nullptr));
    q.Post(new MSetProgressRange(0xFFFFFFFFu, 10));
    q.Post(new MMakingProgress(3, "m", 4));
    q.Post(new MEndProgress(0xFFFFFFFFu));
    q.Post(new MOpenUrlResult(0xFFFFFFFFu, 0xFFFFFFFFu));
    q.Post(new MLostBrowser(1));
    EXPECT_EQ(1, wake.count);  // two or more posts while busy: one wake-up
    q.Drain();
    std::vector<std::string> expect = {"echo http://h/ text/html 7 -", "begin 2147483647 -",
                                       "range 2147483647 10",          "making 3 m 4",
                                       "end 2147483647",               "result 4294967295 4294967295",
                                       "lost 1"};
    EXPECT_EQ(expect, t.calls);
    EXPECT_EQ(0u, q.count());
    q.Post(new MEndProgress(1));
    EXPECT_EQ(2, wake.count);  // empty again: the next post wakes the window
}

TEST(MessageQueue, WhatADeliveryPostsIsDeliveredByTheSameDrain) {
    RecordingTattler t;
    CountingWakeUp wake;
    MessageQueue q(&wake, &t);
    t.queue = &q;
    q.Post(new MNewBrowser(1));
    q.Drain();
    EXPECT_EQ((std::vector<std::string>{"new 1", "lost 1"}), t.calls);
    EXPECT_EQ(1, wake.count);
}
