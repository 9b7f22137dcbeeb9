// BrowserLink: the one object through which the program finds, remembers,
// loses and drives the user's Web browser over DDE. Each exchange connects,
// makes one transaction and disconnects; what the browser reports back
// arrives through the DDE callback and is queued for the main window.
#ifndef SKEIND_BROWSER_BROWSER_LINK_WIN32_H
#define SKEIND_BROWSER_BROWSER_LINK_WIN32_H

#include <windows.h>

#include <ddeml.h>
#include <stdint.h>

#include <string>

#include "app/tattler.h"
#include "browser/browser_list.h"
#include "browser/dde_client_win32.h"
#include "browser/message_queue.h"

// How far the link has got in finding a browser.
enum LinkState {
    LinkNone = 0,        // no browser
    LinkDeclined = 1,    // the user declined to start one
    LinkStarting = 2,    // the user had one started
    LinkRegistered = 3,  // a browser's service has registered
    LinkConnected = 4,
};

// Flag bits of the link besides the kind of the browser connected last.
const uint32_t kLinkKindMask = 3;
const uint32_t kLinkAsking = 4;     // the user is being asked to start a browser
const uint32_t kLinkSearching = 8;  // a browser search is running

// Failure answers of the browser operations.
const uint32_t kNoWindow = 0xFFFFFFFFu;
const uint32_t kCannotFetchToFile = 0xFFFFFFF1u;

// Asks the user to start a browser: IDOK when one was started, anything
// else when not.
class ABrowserPrompt {
public:
    virtual int AskToStartBrowser(HWND parent, BrowserList& browsers) = 0;

protected:
    ~ABrowserPrompt() {}
};

class BrowserLink : private AWakeUp {
public:
    // Registers `own_service` and loads the known browsers from the
    // registry; becomes the link the DDE callback serves.
    BrowserLink(HWND main_window, UINT wake_message, ATattler* tattler, const char* own_service);
    ~BrowserLink();

    // Without a prompt the user is not asked and the answer is "declined".
    void set_prompt(ABrowserPrompt* prompt) { prompt_ = prompt; }

    // Returns once a browser is connected; else throws XDde_retry or
    // XDde_no_browser.
    void EnsureBrowser(HWND parent);
    bool TryBrowser(const char* service, uint32_t kind, HWND parent);
    void DropBrowser();

    // The canonical URL shown in browser window `window`, or "" for none.
    std::string GetWindowUrl(int level, HWND parent, uint32_t window);
    // The browser window that took the URL; kNoWindow on failure.
    uint32_t OpenUrl(HWND parent, const char* url, uint32_t window, uint32_t flags);
    uint32_t OpenUrlToFile(HWND parent, const char* url, const char* file, uint32_t flags);
    // The browser's answer; 0 on failure.
    uint32_t ActivateWindow(HWND parent, uint32_t window);
    // Connects a browser whose service registered meanwhile, then delivers
    // the queued messages.
    void DrainBrowserMessages();

    // The DDE callback's work.
    HDDEDATA Serve(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data);

    // Client transactions with the connected browser.
    void SendVerb(int verb, const char* item, HWND parent);
    std::string RequestText(int verb, const char* item, HWND parent);
    uint32_t RequestNumber(int verb, const char* item, HWND parent);

    int link_state() const { return link_state_; }
    uint32_t flags() const { return flags_; }
    bool connected() const { return !browser_service_.empty(); }
    const std::string& browser_version() const { return browser_version_; }
    const std::string& browser_name() const { return browser_name_; }
    BrowserList& known_browsers() { return known_; }
    const std::string& own_service() const { return own_service_; }
    MessageQueue& queue() { return queue_; }

private:
    BrowserLink(const BrowserLink&);
    BrowserLink& operator=(const BrowserLink&);
    void WakeUp() override;
    void RaiseState(int state) {
        if (link_state_ < state) link_state_ = state;
    }
    void Search(HWND parent);
    void Prompt(HWND parent);
    void ServiceRegistered(HSZ service);
    void ServiceUnregistered(HSZ service);
    std::string OwnNameField() const;
    DdeExchange Exchange(int verb, const char* item, bool poke, HWND parent);

    uint32_t flags_;
    MessageQueue queue_;
    BrowserList known_;
    HANDLE search_mutex_;
    uint64_t next_prompt_;  // file time before which the user is not asked
    int link_state_;
    HWND main_window_;
    UINT wake_message_;
    std::string own_service_;
    HSZ own_service_handle_;
    std::string browser_service_;  // lower case; empty: none
    std::string browser_name_;
    std::string browser_version_;
    ABrowserPrompt* prompt_;
    // A browser service that registered, tried once the callback is over:
    // conversations started inside the callback lose their items.
    std::string registered_;
};

#endif
