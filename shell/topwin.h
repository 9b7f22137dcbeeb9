// Topwin: the top-level frame window that child windows live in. Only the
// frame is here so far; the main window builds on it.
#ifndef SKEIND_SHELL_TOPWIN_H
#define SKEIND_SHELL_TOPWIN_H

#include <windows.h>

class Topwin {
public:
    explicit Topwin(HWND frame = 0) : frame_(frame) {}
    virtual ~Topwin() {}

    HWND frame() const { return frame_; }

protected:
    HWND frame_;
};

#endif
