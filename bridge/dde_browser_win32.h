// A browser's side of the DDE link: the service that answers the verbs
// (through BrowserVerbs) and the conversations it starts with the services
// that registered for URL echoes. One per process: DDE calls back into a
// plain function. Its thread must dispatch window messages.
//
// Every transaction is written to the log, one line each, for the tests:
//   connect TOPIC SERVICE / refused TOPIC SERVICE   a conversation asked for
//   request VERB ITEM / poke VERB ITEM              a transaction received
//   poked VERB ack|nak / reply VERB N|none          the answer to one sent
//   no-conversation VERB SERVICE                    a receiver not reached
#ifndef SKEIND_BRIDGE_DDE_BROWSER_WIN32_H
#define SKEIND_BRIDGE_DDE_BROWSER_WIN32_H

#include <windows.h>

#include <ddeml.h>
#include <stdio.h>

#include <string>

#include "bridge/browser_verbs.h"

class DdeBrowserServer {
public:
    // `log` may be null.
    DdeBrowserServer(BrowserVerbs* verbs, FILE* log);
    ~DdeBrowserServer();

    // Starts DDE and, when `register_service`, registers `service`.
    bool Start(const std::string& service, bool register_service);
    void Register();
    void Unregister();

    // Refuse every conversation, or answer every transaction `ms` late.
    void set_refuse(bool refuse) { refuse_ = refuse; }
    void set_hang(DWORD ms) { hang_ms_ = ms; }

    // Sends `verb` with `item` to every registered receiver, as a poke or a
    // request; every answer is logged.
    void SendToReceivers(const char* verb, const std::string& item, bool poke);
    // The page shown now, poked as WWW_URLEcho.
    void EchoPage(const std::string& url, const std::string& mime, uint32_t window, const std::string& referrer);
    // A load's begin, range and end, as a browser reports them.
    void ReportProgress(uint32_t transaction, uint32_t size);

    void Log(const char* kind, const char* verb, const std::string& text);

private:
    DdeBrowserServer(const DdeBrowserServer&);
    DdeBrowserServer& operator=(const DdeBrowserServer&);

    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                                      ULONG_PTR);
    HDDEDATA Transaction(UINT type, HSZ topic, HSZ item);
    std::string QueryString(HSZ handle);
    HDDEDATA Reply(const VerbReply& reply, HSZ item);

    BrowserVerbs* verbs_;
    FILE* log_;
    DWORD dde_ = 0;
    HSZ service_ = 0;
    bool refuse_ = false;
    DWORD hang_ms_ = 0;
};

#endif
