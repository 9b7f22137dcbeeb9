// A sink that takes each datagram as the program's listener would: it must
// fit the listener's buffer and be accepted whole, and its records become
// calls on a CallLog.
#ifndef SKEIND_TESTS_SHIM_DECODING_SINK_H
#define SKEIND_TESTS_SHIM_DECODING_SINK_H

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "observe/datagram.h"
#include "shim/datagram_client.h"
#include "tools/scanreplay/call_log.h"

typedef std::vector<std::string> Calls;

class DecodingSink final : public ADatagramSink {
public:
    explicit DecodingSink(uint32_t id = 0) : log(id) {}

    void Send(const uint8_t* bytes, size_t count) override {
        std::lock_guard<std::mutex> hold(mutex_);
        EXPECT_LE(count, kDatagramMax);
        // A copy of exactly the datagram's size: a read past it is caught.
        std::vector<uint8_t> copy(bytes, bytes + count);
        EXPECT_EQ(DatagramDispatched, DispatchDatagram(copy.data(), copy.size(), log));
        ++datagrams;
    }

    CallLog log;
    int datagrams = 0;

private:
    std::mutex mutex_;
};

#endif
