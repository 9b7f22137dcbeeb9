// The thread on which every conversation with a browser runs, with a DDE
// instance of its own that is client only. A browser that hangs costs the
// caller the timeout, never more: ending the conversation, which waits
// for the browser, happens after the caller has its answer.
//
// A browser may start a conversation with us (a URL echo) while we wait
// for its answer. Starting one sends a message to every top-level window,
// ours included, and some DDE libraries wait for an answer without
// handling sent messages: each side would wait for the other until a
// timeout. So the caller handles sent and DDE messages while it waits,
// and the client thread is nudged with an empty posted message every
// 20 ms while it is inside the library, which makes the library's wait
// look at its queue and handle what was sent.
#ifndef SKEIND_BROWSER_DDE_CLIENT_WIN32_H
#define SKEIND_BROWSER_DDE_CLIENT_WIN32_H

#include <windows.h>

#include <ddeml.h>

#include <string>

#include "browser/verb_table.h"

const DWORD kDdeTimeout = 5000;

// One conversation: connect to `service` on the verb's topic, one request
// or poke of `item`, disconnect.
struct DdeExchange {
    std::string service;
    int verb = 0;
    std::string item;
    bool poke = false;

    bool connected = false;
    bool answered = false;  // a request's reply or a poke's acknowledgement
    std::string reply;      // a request's bytes
    UINT error = 0;         // the library's code when not answered
};

class DdeClientThread {
public:
    DdeClientThread();
    ~DdeClientThread();

    // Fills in the exchange's results. One given up on (DMLERR_BUSY) is
    // not started later; while the thread is still busy with an exchange
    // that timed out, the next fail at once with DMLERR_BUSY.
    void Run(DdeExchange* exchange);

private:
    struct Job;
    DdeClientThread(const DdeClientThread&);
    DdeClientThread& operator=(const DdeClientThread&);
    static DWORD WINAPI ThreadMain(LPVOID self);
    static DWORD WINAPI NudgerMain(LPVOID self);
    void Loop();
    void Perform(Job* job);
    UINT ErrorCode() const;

    HANDLE thread_;
    DWORD thread_id_;
    HANDLE ready_;
    HANDLE finished_event_;
    // Job numbers: the last posted, the last the thread finished (its
    // goodbye included), and the last that timed out or was given up.
    LONG posted_;
    volatile LONG finished_;
    LONG doubtful_;
    HANDLE nudger_;
    HANDLE stop_;
    volatile LONG inside_library_;
    // Owned by the thread.
    DWORD instance_;
    UINT init_result_;
    HSZ verbs_[kVerbCount];
};

#endif
