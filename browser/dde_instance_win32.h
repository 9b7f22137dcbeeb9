// The process's one DDE management library instance: made before the
// program's main part runs and ended after it, with the cache of the verb
// names' string handles and the server entry through which the browser
// calls back.
#ifndef SKEIND_BROWSER_DDE_INSTANCE_WIN32_H
#define SKEIND_BROWSER_DDE_INSTANCE_WIN32_H

#include <windows.h>

#include <ddeml.h>

#include <string>

#include "browser/verb_table.h"

class BrowserLink;

// The flags given at initialisation: client and server, no disconnect or
// connect-confirm callbacks, executes, advises and self-connections
// refused.
const DWORD kDdeInstanceFlags = CBF_SKIP_DISCONNECTS | CBF_SKIP_CONNECT_CONFIRMS | CBF_FAIL_EXECUTES |
                                CBF_FAIL_ADVISES | CBF_FAIL_SELFCONNECTIONS;

const DWORD kDdeTimeout = 5000;

class DdeInstance {
public:
    // Initialised on first use; tests and the program take it before
    // anything else runs.
    static DdeInstance& Process();

    DWORD id() const { return id_; }
    UINT init_result() const { return init_result_; }
    // The code a failure carries: the initialisation result when the
    // library never came up, else the instance's last error.
    UINT ErrorCode() const;

    // The verb's string handle, made on first use and kept.
    HSZ VerbHandle(int verb);
    HSZ MakeString(const char* text) const;
    void FreeString(HSZ handle) const;
    std::string QueryString(HSZ handle) const;

    // One transaction with the conversation, waited for at most
    // kDdeTimeout. Gives the reply's bytes (empty for none) and whether a
    // reply came.
    bool Transact(HCONV conversation, HSZ item, UINT type, std::string* reply);

    BrowserLink* link() const { return link_; }
    void set_link(BrowserLink* link) { link_ = link; }

private:
    DdeInstance();
    ~DdeInstance();
    DdeInstance(const DdeInstance&);
    DdeInstance& operator=(const DdeInstance&);

    DWORD id_;
    UINT init_result_;
    HSZ verbs_[kVerbCount];
    BrowserLink* link_;
};

#endif
