// Drives the modal windows a test opens from inside their modal loop, on
// the test's own thread: for steps that touch objects of that thread (the
// map model) while the window is up. Dialogues driven only through their
// controls use DialogUser (tests/support). A thread timer runs the steps
// in order, one step per tick; a step that answers false is tried again at
// the next tick (it is waiting for a window to appear). A script that
// stalls fails the test and cancels the thread's dialogs, so that the
// modal call returns.
#ifndef SKEIND_TESTS_SHELL_MODAL_DRIVER_H
#define SKEIND_TESTS_SHELL_MODAL_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class ModalDriver {
public:
    typedef std::function<bool()> Step;

    explicit ModalDriver(std::vector<Step> steps, DWORD timeout_ms = 15000);
    ~ModalDriver();

    // Every step ran.
    bool finished() const { return next_ == steps_.size(); }

private:
    ModalDriver(const ModalDriver&);
    ModalDriver& operator=(const ModalDriver&);

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void RunStep();

    std::vector<Step> steps_;
    size_t next_;
    bool in_step_;
    DWORD start_, timeout_;
    UINT_PTR timer_;
};

// The visible, enabled dialog window of this thread (the one the modal
// loop runs for); 0 when there is none.
HWND ActiveDialog();
// Text of a window.
std::string WindowText(HWND window);

#endif
