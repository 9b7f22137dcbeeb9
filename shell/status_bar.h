// StatusBar: the main window's status bar, either one simple text across
// the bar or, while a long operation runs, a progress bar of purple blocks
// with a text beside it. Windows only.
#ifndef SKEIND_SHELL_STATUS_BAR_H
#define SKEIND_SHELL_STATUS_BAR_H

#include <windows.h>

#include <stdint.h>

// Bits of the main window's flags that the status bar keeps.
const uint32_t kStatusShown = 0x01;
const uint32_t kStatusSimple = 0x02;
const uint32_t kStatusEmpty = 0x04;

// The colour of the progress blocks.
const COLORREF kProgressColour = RGB(128, 0, 128);

class StatusBar {
public:
    // `flags` is the main window's flags word, shared with it.
    StatusBar(HWND bar, uint32_t* flags) : bar_(bar), flags_(flags), frame_(0) {}

    void set_frame(HWND frame) { frame_ = frame; }
    HWND bar() const { return bar_; }

    // One text across the whole bar (simple mode, switched on if need be).
    void ShowSimpleText(const char* text);
    // Progress of a long operation: total 0 ends it (an empty simple
    // text); otherwise the bar shows done/total, with `text` beside it
    // when one is given. True when the display was updated.
    bool Progress(uint32_t done, uint32_t total, const char* text);
    // Draws the progress part (its value in thousandths) into `item`.
    static void DrawProgressPart(HDC dc, const RECT& item, uintptr_t thousandths);

private:
    HWND bar_;
    uint32_t* flags_;
    HWND frame_;  // updated at once after each progress step
};

#endif
