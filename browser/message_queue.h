// The queue of browser messages between the DDE callback, which posts, and
// the main window, which drains. One wake-up is sent per empty-to-full
// change; a drain delivers everything queued, also what its own deliveries
// lead to.
#ifndef SKEIND_BROWSER_MESSAGE_QUEUE_H
#define SKEIND_BROWSER_MESSAGE_QUEUE_H

#include <mutex>

#include "browser/messages.h"
#include "store/earray.h"

// Tells the main window that messages wait (a posted window message).
class AWakeUp {
public:
    virtual void WakeUp() = 0;

protected:
    ~AWakeUp() {}
};

class MessageQueue {
public:
    MessageQueue(AWakeUp* wake_up, ATattler* tattler) : wake_up_(wake_up), tattler_(tattler), draining_(false) {}
    // Messages still queued are destroyed undelivered.
    ~MessageQueue();

    // Takes ownership of `message`.
    void Post(Message* message);
    void Drain();

    size_t count() const { return messages_.Count(); }

private:
    AWakeUp* wake_up_;
    ATattler* tattler_;
    // Recursive: a delivery may lead to a DDE exchange whose callback posts.
    std::recursive_mutex lock_;
    bool draining_;  // a drain entered again from a delivery leaves it to the outer one
    EArray_base messages_;
};

#endif
