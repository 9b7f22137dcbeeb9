// ATattler: how the browser link tells the program what the browser is
// doing. Each queued browser message is delivered by calling one of these
// on the main window.
#ifndef SKEIND_APP_TATTLER_H
#define SKEIND_APP_TATTLER_H

#include <stdint.h>

class ATattler {
public:
    virtual ~ATattler() {}
    // The browser shows `url` (of type `mime`) in `window`; `referrer` may
    // be null.
    virtual void UrlEcho(const char* url, const char* mime, uint32_t window, const char* referrer) = 0;
    virtual void NewBrowser(uint32_t value) = 0;
    virtual void LostBrowser(uint32_t value) = 0;
    virtual void BeginProgress(uint32_t window, const char* text) = 0;
    virtual void SetProgressRange(uint32_t window, uint32_t maximum) = 0;
    virtual void MakingProgress(uint32_t window, const char* text, uint32_t amount) = 0;
    virtual void EndProgress(uint32_t window) = 0;
    virtual void OpenUrlResult(uint32_t transaction, uint32_t window) = 0;
    virtual void StatusText(const char* text) = 0;
};

#endif
