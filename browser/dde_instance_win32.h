// The process's DDE management library instance: made before the
// program's main part runs and ended after it. It serves what the browser
// asks of us; our own conversations with the browser run on the client
// thread it owns.
#ifndef SKEIND_BROWSER_DDE_INSTANCE_WIN32_H
#define SKEIND_BROWSER_DDE_INSTANCE_WIN32_H

#include <windows.h>

#include <ddeml.h>

#include <string>

#include "browser/dde_client_win32.h"

class BrowserLink;

// The flags given at initialisation: client and server, no disconnect or
// connect-confirm callbacks, executes, advises and self-connections
// refused.
const DWORD kDdeInstanceFlags = CBF_SKIP_DISCONNECTS | CBF_SKIP_CONNECT_CONFIRMS | CBF_FAIL_EXECUTES |
                                CBF_FAIL_ADVISES | CBF_FAIL_SELFCONNECTIONS;

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

    HSZ MakeString(const char* text) const;
    void FreeString(HSZ handle) const;
    std::string QueryString(HSZ handle) const;

    // One conversation with a browser; a failed initialisation is its
    // error.
    void Exchange(DdeExchange* exchange);

    BrowserLink* link() const { return link_; }
    void set_link(BrowserLink* link) { link_ = link; }

private:
    DdeInstance();
    ~DdeInstance();
    DdeInstance(const DdeInstance&);
    DdeInstance& operator=(const DdeInstance&);

    DWORD id_;
    UINT init_result_;
    BrowserLink* link_;
    DdeClientThread client_;
};

#endif
