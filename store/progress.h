// AProgressbar: where long operations report how far they have got. The
// main window's status bar is the real one; tests record the calls.
#ifndef SKEIND_STORE_PROGRESS_H
#define SKEIND_STORE_PROGRESS_H

#include <stdint.h>

class AProgressbar {
public:
    virtual ~AProgressbar() {}
    // done of total, with a text (none or empty keeps the previous text).
    // Total 0 ends the progress display. Non-zero when the display changed.
    virtual int Progress(uint32_t done, uint32_t total, const char* text) = 0;
};

#endif
