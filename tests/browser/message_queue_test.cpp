// The browser messages on their way from the DDE callback to the main
// window: delivery to the right operation, one wake-up per batch, and
// messages posted by a delivery delivered by the same drain.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "browser/message_queue.h"
#include "tests/browser/recording_tattler.h"

namespace {

// Posts one more message when a browser is announced.
class PostingTattler : public RecordingTattler {
public:
    MessageQueue* queue = nullptr;
    void NewBrowser(uint32_t v) override {
        RecordingTattler::NewBrowser(v);
        if (queue) queue->Post(new MLostBrowser(1));
    }
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
    PostingTattler t;
    CountingWakeUp wake;
    MessageQueue q(&wake, &t);
    t.queue = &q;
    q.Post(new MNewBrowser(1));
    q.Drain();
    EXPECT_EQ((std::vector<std::string>{"new 1", "lost 1"}), t.calls);
    EXPECT_EQ(1, wake.count);
}
