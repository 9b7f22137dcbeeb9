// Topwin: a top-level frame window with a status bar and one child window
// filling the rest of its client area. It keeps the window flags (status
// bar shown, simple mode, empty text, closing), the graph font, the busy
// state (wait cursor, frame disabled) and the progress display, and sends
// the frame's messages to FrameMessage. The main window builds on it.
#ifndef SKEIND_SHELL_TOPWIN_H
#define SKEIND_SHELL_TOPWIN_H

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>

#include "shell/help.h"
#include "shell/status_bar.h"
#include "store/progress.h"

// The window flags; bits 0-2 are the status bar's (shell/status_bar.h).
const uint32_t kWindowClosing = 0x10;

// Identifier of the status bar among the frame's children.
const int kStatusBarId = 101;

class SFlags {
public:
    SFlags() : flags_(0) {}
    uint32_t window_flags() const { return flags_; }

protected:
    uint32_t flags_;
};

class Topwin : public SFlags, public virtual AProgressbar, public SHelp {
public:
    Topwin();
    // Wraps a frame made elsewhere (test hosts); it gets no status bar.
    explicit Topwin(HWND frame);
    ~Topwin() override;

    HWND frame() const { return frame_; }
    HWND status_bar() const { return status_bar_; }
    bool status_bar_shown() const { return (flags_ & kStatusShown) != 0; }
    const LOGFONTA& font() const { return font_; }
    uint32_t busy_count() const { return busy_count_; }

    // Progress of a long operation in the status bar; total 0 ends it.
    int Progress(uint32_t done, uint32_t total, const char* text) override;

    // Busy sections nest. The first disables the frame and gives the
    // child window the wait cursor; the last undoes both.
    virtual void BeginBusy();
    virtual void EndBusy();
    // One text across the status bar. While the bar is hidden the last
    // text waits and shows when the bar comes back.
    virtual void ShowStatusText(const char* text);

protected:
    // Registers the frame procedure for a class template; the object is
    // found in the window's first extra bytes.
    static void PrepareFrameClass(WNDCLASSA* wc);
    // Binds a frame just created to this object.
    void BindFrame(HWND frame);
    // The frame's messages once it is bound; default processing otherwise.
    virtual LRESULT FrameMessage(UINT message, WPARAM wparam, LPARAM lparam);

    // The status bar as child kStatusBarId, showing `text`; marks it shown.
    bool CreateStatusBar(const char* text);
    void ToggleStatusBar();
    // The client area less the status bar when it is shown.
    void ChildArea(RECT* area) const;
    // Re-lays the status bar and the child after a size change.
    void LayOut(WPARAM kind, LPARAM size);
    // Draws the progress part of the status bar (WM_DRAWITEM).
    bool DrawStatusItem(const DRAWITEMSTRUCT* item);
    // Puts the status bar into simple mode, once, and shows the text.
    void EnterSimpleMode(const char* text);

    HWND frame_;
    LOGFONTA font_;
    HWND status_bar_;
    HCURSOR normal_cursor_, busy_cursor_;
    uint32_t busy_count_;
    HWND child_;  // fills the client area
    std::unique_ptr<StatusBar> bar_;
    std::string waiting_text_;  // arrived while the bar was hidden
    bool text_waiting_;

private:
    Topwin(const Topwin&);
    Topwin& operator=(const Topwin&);
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
};

#endif
