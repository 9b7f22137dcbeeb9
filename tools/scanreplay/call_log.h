// CallLog: an AClient that keeps every call it gets as one line of text,
// such as  Link(x.html,0,"Next page")  or  Title("Home",1), so that what a
// scanner reported can be printed, compared and read.
//
// URLs and MIME types are written as they are, free texts in double quotes;
// a missing text is  null. Backslashes, double quotes in quoted texts,
// control bytes and bytes from 0x7F up are escaped (\\ \" \n \t \xNN), so
// every call stays on one line. A call about another connection than the
// log's own starts with "[id] ".
#ifndef SKEIND_TOOLS_SCANREPLAY_CALL_LOG_H
#define SKEIND_TOOLS_SCANREPLAY_CALL_LOG_H

#include <stdint.h>

#include <string>
#include <vector>

#include "observe/client.h"

class CallLog : public AClient {
public:
    explicit CallLog(uint32_t id = 0) : id_(id) {}
    virtual ~CallLog() {}

    uint32_t Open(uint32_t id, const char* text) override;
    uint32_t Request(uint32_t id, const char* url, int op) override;
    uint32_t Status(uint32_t id, int code) override;
    uint32_t Base(uint32_t id, const char* url) override;
    uint32_t MarkPage(uint32_t id, const char* text) override;
    uint32_t ContentType(uint32_t id, const char* mime) override;
    uint32_t Link(uint32_t id, const char* url, int type, const char* extra) override;
    uint32_t Title(uint32_t id, const char* text, int kind) override;
    uint32_t Close(uint32_t id) override;

    // The lines, joined and each ended by '\n'.
    std::string Text() const;

    std::vector<std::string> lines;
    uint32_t request_answer = 1;  // what Request answers; every other call answers 1

private:
    std::string Start(uint32_t id, const char* name) const;

    uint32_t id_;
};

#endif
