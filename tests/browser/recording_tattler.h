// An ATattler that writes down each call as a line of text.
#ifndef SKEIND_TESTS_BROWSER_RECORDING_TATTLER_H
#define SKEIND_TESTS_BROWSER_RECORDING_TATTLER_H

#include <stdio.h>

#include <string>
#include <vector>

#include "app/tattler.h"

class RecordingTattler : public ATattler {
public:
    std::vector<std::string> calls;

    void UrlEcho(const char* url, const char* mime, uint32_t window, const char* referrer) override {
        Add("echo %s %s %lu %s", url, Or(mime), (unsigned long)window, referrer ? referrer : "-");
    }
    void NewBrowser(uint32_t v) override { Add("new %lu", (unsigned long)v); }
    void LostBrowser(uint32_t v) override { Add("lost %lu", (unsigned long)v); }
    void BeginProgress(uint32_t w, const char* t) override { Add("begin %lu %s", (unsigned long)w, Or(t)); }
    void SetProgressRange(uint32_t w, uint32_t m) override {
        Add("range %lu %lu", (unsigned long)w, (unsigned long)m);
    }
    void MakingProgress(uint32_t w, const char* t, uint32_t a) override {
        Add("making %lu %s %lu", (unsigned long)w, Or(t), (unsigned long)a);
    }
    void EndProgress(uint32_t w) override { Add("end %lu", (unsigned long)w); }
    void OpenUrlResult(uint32_t t, uint32_t w) override { Add("result %lu %lu", (unsigned long)t, (unsigned long)w); }
    void StatusText(const char* t) override { Add("status %s", Or(t)); }

private:
    static const char* Or(const char* text) { return text ? text : "-"; }
    template <class... Args>
    void Add(const char* format, Args... args) {
        char line[2048];
        snprintf(line, sizeof line, format, args...);
        calls.push_back(line);
    }
};

#endif
