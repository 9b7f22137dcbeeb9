// A user at the dialogues of the calling thread, played by a thread of its
// own: each step waits until the window with its caption takes input
// (shown and enabled) and acts on it through messages to its controls, as
// keys and clicks would. A message box is answered once: no later step is
// handed the same box. A step that answers false is tried again; it waits
// for something inside its window.
#ifndef SKEIND_TESTS_SUPPORT_DIALOG_USER_WIN32_H
#define SKEIND_TESTS_SUPPORT_DIALOG_USER_WIN32_H

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct UserStep {
    const char* caption;  // 0: whichever dialogue takes input
    std::function<bool(HWND window)> act;
};

class DialogUser {
public:
    // Starts at once. A step whose window does not come within
    // `step_timeout_ms` ends the play: every dialogue of the thread is
    // then cancelled, so that the modal call returns.
    explicit DialogUser(std::vector<UserStep> steps, DWORD step_timeout_ms = 20000);
    ~DialogUser();

    // Waits for the user to finish: "" when every step was done, else
    // which one never came to pass.
    std::string Finish();

private:
    DialogUser(const DialogUser&);
    DialogUser& operator=(const DialogUser&);
    void Play();
    HWND WaitForWindow(const char* caption, DWORD timeout_ms);
    void CancelEverything();

    std::vector<UserStep> steps_;
    DWORD step_timeout_ms_;
    DWORD thread_id_;  // the thread whose dialogues are played
    std::set<HWND> answered_boxes_;
    std::string failure_;
    std::thread player_;
};

// What the user does and sees.
// Each action is over when it returns, unless it opens a window.
// A button clicked.
void Click(HWND dialog, int id);
// An edit control's whole text replaced, as typing over it would.
void Type(HWND dialog, int id, const char* text);
std::string Text(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
// A list box's item of that text clicked, or double-clicked.
bool ClickItem(HWND dialog, int list, const char* text, bool twice = false);
// A message box's text, and one of its buttons pressed.
std::string BoxText(HWND box);
void Answer(HWND box, int button);

#endif
