// The dialog base on real modal dialogs, driven by messages the dialog
// posts to itself when it opens: the modal loop then carries them out as
// it would carry out the user's keys and clicks.
#include "shell/dialog.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const int IDD_TEST_DIALOG = 9001;
const int IDC_TEST_EDIT = 9002;

struct Step {
    HWND (*target)(HWND dialog);
    UINT message;
    WPARAM wparam;
};

HWND TheDialog(HWND d) { return d; }
HWND TheEdit(HWND d) { return GetDlgItem(d, IDC_TEST_EDIT); }

// Posts its steps when it opens and counts the calls it gets.
class ScriptedDialog : public Dialog {
public:
    ScriptedDialog(int id, std::vector<Step> steps) : Dialog(id), steps_(steps) {}
    ScriptedDialog(const char* name, std::vector<Step> steps) : Dialog(name), steps_(steps) {}

    INT_PTR Initialise(HWND d, WPARAM focus, LPARAM lparam) override {
        object_seen = lparam == (LPARAM)this;
        for (const Step& s : steps_) PostMessageA(s.target(d), s.message, s.wparam, 0);
        return Dialog::Initialise(d, focus, lparam);
    }
    INT_PTR Ok(HWND d, LPARAM l) override {
        // Refuses the first OK, as a dialog whose fields do not validate.
        if (++oks == 1) return 1;
        return Dialog::Ok(d, l);
    }
    INT_PTR Cancel(HWND d, LPARAM l) override {
        ++cancels;
        return Dialog::Cancel(d, l);
    }
    INT_PTR OtherCommand(HWND d, int id, int code, LPARAM l) override {
        if (id != IDC_TEST_EDIT) commands.push_back(id * 10 + code);  // the edit's own notices aside
        if (id == 77) EndDialog(d, 42);
        return Dialog::OtherCommand(d, id, code, l);
    }

    bool object_seen = false;
    int oks = 0, cancels = 0;
    std::vector<int> commands;

private:
    std::vector<Step> steps_;
};

INT_PTR RunIt(ScriptedDialog& d) { return d.RunModal(GetModuleHandleA(0), 0); }

TEST(DialogTest, EscapeEndsTheDialogThroughCancel) {
    ScriptedDialog d(IDD_TEST_DIALOG, {{TheEdit, WM_KEYDOWN, VK_ESCAPE}});
    EXPECT_EQ(IDCANCEL, RunIt(d));
    EXPECT_TRUE(d.object_seen);
    EXPECT_EQ(1, d.cancels);
    EXPECT_FALSE(d.running_modally());
}

TEST(DialogTest, AnOkThatDoesNotEndTheDialogKeepsItOpen) {
    ScriptedDialog d(IDD_TEST_DIALOG, {{TheDialog, WM_COMMAND, IDOK}, {TheDialog, WM_COMMAND, IDOK}});
    EXPECT_EQ(IDOK, RunIt(d));
    EXPECT_EQ(2, d.oks);
}

TEST(DialogTest, OtherCommandsAndCloseReachTheirCalls) {
    ScriptedDialog d(IDD_TEST_DIALOG,
                     {{TheDialog, WM_COMMAND, MAKEWPARAM(55, 3)}, {TheDialog, WM_COMMAND, 77}});
    EXPECT_EQ(42, RunIt(d));
    EXPECT_EQ((std::vector<int>{553, 770}), d.commands);

    // A modal dialog leaves WM_CLOSE to the system, which cancels it.
    ScriptedDialog closing(IDD_TEST_DIALOG, {{TheDialog, WM_CLOSE, 0}});
    EXPECT_EQ(IDCANCEL, RunIt(closing));
    EXPECT_EQ(1, closing.cancels);
}

TEST(DialogTest, TemplatesByNameAndUnusableObjects) {
    ScriptedDialog named("TESTNAMED", {{TheDialog, WM_COMMAND, IDOK}, {TheDialog, WM_COMMAND, IDOK}});
    EXPECT_EQ(IDOK, RunIt(named));

    class Unusable : public Dialog {
    public:
        Unusable() : Dialog(IDD_TEST_DIALOG) { unusable_ = 1; }
    } unusable;
    EXPECT_EQ(-1, unusable.RunModal(GetModuleHandleA(0), 0));
}

}  // namespace
