#include "browser/message_queue.h"

MessageQueue::~MessageQueue() {
    while (messages_.Count()) delete (Message*)messages_.RemoveAt(messages_.Count() - 1);
}

void MessageQueue::Post(Message* message) {
    if (message == 0) return;
    // Looked at before locking: it only decides whether to wake the window.
    if (messages_.Count() == 0 && wake_up_) wake_up_->WakeUp();
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (!messages_.InsertAt(messages_.Count(), message)) delete message;
}

void MessageQueue::Drain() {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    if (draining_) return;
    draining_ = true;
    // The count is read again each round: what a delivery posts is
    // delivered by this same drain.
    for (size_t i = 0; i < messages_.Count(); ++i) {
        Message* m = (Message*)messages_.At(i);
        if (tattler_) m->Deliver(*tattler_);
        delete m;
    }
    messages_.Clear();
    draining_ = false;
}
