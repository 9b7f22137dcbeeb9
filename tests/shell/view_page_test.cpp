// The view options sheet on a real map window over a real workspace: the
// sheet is opened as the Options command opens it, and driven from inside
// its modal loop with clicks on the check boxes and the sheet's buttons.
// The map's rows and view flags tell what was applied; a hook on the
// sheet's window counts the notifications the page sends it.
#include "shell/view_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "shell/help.h"
#include "tests/display/map_window_fixture_win32.h"
#include "tests/shell/recording_viewer.h"
#include "tests/support/dialog_user_win32.h"

namespace {

const int kApplyButton = 0x3021;  // the sheet's Apply button

// Messages the sheet receives from its page.
int g_unchanged = 0, g_cancel_to_close = 0, g_changed = 0;
WNDPROC g_sheet_proc = 0;

// Sent to the hooked sheet: runs the std::function at lparam.
const UINT kRunWork = WM_APP + 7;

LRESULT CALLBACK CountingSheetProc(HWND sheet, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunWork) {
        (*(const std::function<void()>*)lparam)();
        return 0;
    }
    if (message == PSM_UNCHANGED) ++g_unchanged;
    if (message == PSM_CANCELTOCLOSE) ++g_cancel_to_close;
    if (message == PSM_CHANGED) ++g_changed;
    return CallWindowProcW(g_sheet_proc, sheet, message, wparam, lparam);
}

class ViewPageTest : public MapWindowTest {
protected:
    void SetUp() override {
        OpenMap(280);
        help_.SetHelpViewer(&viewer_);
        g_unchanged = g_cancel_to_close = g_changed = 0;
    }

    // Runs the sheet; once it takes input its window is hooked and `work`
    // runs on the test's thread inside the sheet's modal loop, as the map's
    // own commands would (the model belongs to that thread).
    INT_PTR RunSheet(const std::function<void()>& work) {
        DialogUser user({{0, [&](HWND sheet) {
                              sheet_ = sheet;
                              page_ = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
                              if (!page_) return false;
                              g_sheet_proc =
                                  (WNDPROC)SetWindowLongPtrW(sheet, GWLP_WNDPROC, (LONG_PTR)CountingSheetProc);
                              SendMessageA(sheet, kRunWork, 0, (LPARAM)&work);
                              return true;
                          }}});
        INT_PTR result = ShowViewOptions(GetModuleHandleA(0), host_, &graph_, &help_);
        EXPECT_EQ("", user.Finish());
        return result;
    }
    void Click(int control) { SendMessageA(GetDlgItem(page_, control), BM_CLICK, 0, 0); }
    void Press(int button) { SendMessageA(GetDlgItem(sheet_, button), BM_CLICK, 0, 0); }
    bool Checked(int control) { return IsDlgButtonChecked(page_, control) == BST_CHECKED; }

    RecordingViewer viewer_;
    SHelp help_;
    HWND sheet_ = 0, page_ = 0;
};

TEST_F(ViewPageTest, TheBoxesShowTheFlagsAndCancelChangesNothing) {
    // Normal links, generic links, searches, redirections, annotations,
    // reattach; bits 6 and 7 are not the page's.
    model().set_view_flags(0x003D | 0x00C0 | ViewReattachOpen);
    bool shown[8] = {}, visible[8] = {};
    const int boxes[8] = {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027};
    std::string caption, tab;
    INT_PTR result = RunSheet([&] {
        for (int i = 0; i < 8; ++i) {
            shown[i] = Checked(boxes[i]);
            visible[i] = IsWindowVisible(GetDlgItem(page_, boxes[i])) != 0;
        }
        char text[128] = "";
        GetWindowTextA(sheet_, text, sizeof text);
        caption = text;
        HWND tabs = (HWND)SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0);
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, 0, (LPARAM)&item);
        tab = text;
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet_, kApplyButton))) << "nothing to apply yet";
        Click(IDC_SHOW_NORMAL_LINKS);
        Click(IDC_KEEP_LINKED_PAGE_PLACE);
        Press(IDCANCEL);
    });
    EXPECT_EQ((std::vector<bool>{true, true, true, true, false, true, true, false}),
              std::vector<bool>(shown, shown + 8));
    EXPECT_EQ((std::vector<bool>{true, true, true, false, true, false, true, true}),
              std::vector<bool>(visible, visible + 8));
    EXPECT_NE(std::string::npos, caption.find("Skeindle")) << caption;
    EXPECT_EQ("View", tab);
    EXPECT_EQ(0, result);
    EXPECT_EQ(0x003Du | 0x00C0u | ViewReattachOpen, model().view_flags());
}

TEST_F(ViewPageTest, InlineImagesOnAndOkTidiesAndShowsImageLinksFromThenOn) {
    NodeId a = Page("A");
    Links("A>B A>I:i B>C");
    model().TogglePin(a);
    model().ShowLinks(model().RowOf(a));
    model().ShowLinks(model().RowOf(Page("B")));
    ASSERT_EQ("A B C", Rows());
    ASSERT_EQ(DefaultViewFlags, model().view_flags());

    bool apply_enabled = false;
    INT_PTR result = RunSheet([&] {
        Click(IDC_SHOW_INLINE_IMAGES);
        apply_enabled = IsWindowEnabled(GetDlgItem(sheet_, kApplyButton)) != 0;
        Press(IDOK);
    });
    EXPECT_TRUE(apply_enabled);
    EXPECT_EQ(1, g_changed);
    EXPECT_GT(result, 0);
    EXPECT_EQ(DefaultViewFlags | LinkInclude, model().view_flags());
    EXPECT_EQ("A", Rows()) << "tidied";
    model().ShowLinks(model().RowOf(a));
    EXPECT_EQ("A B I", Rows());
}

TEST_F(ViewPageTest, ApplyTwiceChangesAndNotifiesOnce) {
    NodeId a = Page("A");
    Links("A>B A>Q:q");
    model().TogglePin(a);
    uint32_t before = model().view_flags();
    std::string after_first, after_second;
    bool apply_after = true;
    RunSheet([&] {
        Click(IDC_SHOW_SEARCHES);
        Press(kApplyButton);
        apply_after = IsWindowEnabled(GetDlgItem(sheet_, kApplyButton)) != 0;
        // Show A's links by hand: an apply that tidied would hide them.
        model().ShowLinks(model().RowOf(a));
        after_first = Rows();
        SendMessageA(sheet_, PSM_APPLY, 0, 0);
        after_second = Rows();
        Press(IDOK);
    });
    EXPECT_EQ(before & ~(uint32_t)LinkQuery, model().view_flags());
    EXPECT_FALSE(apply_after);
    EXPECT_EQ("A B", after_first) << "searches are hidden now";
    EXPECT_EQ(after_first, after_second) << "the second apply did not tidy";
    EXPECT_EQ(1, g_unchanged);
    EXPECT_EQ(1, g_cancel_to_close);
}

TEST_F(ViewPageTest, ReattachAloneReinsertsTheOpenPagesChildrenWithoutTidying) {
    NodeId p = Page("P"), o = Page("O");
    Links("P>O P>Q O>X O>Y");
    model().TogglePin(p);
    model().ShowLinks(model().RowOf(p));
    model().SetOpenPage(o);
    ASSERT_EQ("P O X Y Q", Rows());
    model().HideLinks(model().RowOf(o));
    ASSERT_EQ("P O Q", Rows());

    std::string after_apply;
    RunSheet([&] {
        Click(IDC_REATTACH_TO_OPEN_PAGE);
        Press(kApplyButton);
        after_apply = Rows();
        Press(IDCANCEL);  // "Close" by now: what was applied stays
    });
    EXPECT_EQ("P O X Y Q", after_apply);
    EXPECT_EQ(DefaultViewFlags | ViewReattachOpen, model().view_flags());
}

TEST_F(ViewPageTest, HelpButtonAndPopUpHelpOpenTheirTopics) {
    RunSheet([&] {
        Press(IDHELP);
        HWND images = GetDlgItem(page_, IDC_SHOW_INLINE_IMAGES);
        HELPINFO info = {sizeof info, HELPINFO_WINDOW, IDC_SHOW_INLINE_IMAGES, images, 0, {0, 0}};
        SendMessageA(page_, WM_HELP, 0, (LPARAM)&info);
        SendMessageA(page_, WM_CONTEXTMENU, (WPARAM)GetDlgItem(page_, IDC_KEEP_LINKED_PAGE_PLACE), 0);
        Press(IDCANCEL);
    });
    EXPECT_EQ((std::vector<std::string>{"topic-8", "topic-11", "topic-16"}), viewer_.pages);
    ASSERT_EQ(3u, viewer_.calls.size());
    EXPECT_EQ((UINT)HELP_CONTEXT, viewer_.calls[0].command);
    EXPECT_EQ(kViewPageHelpTopic, viewer_.calls[0].data);
    EXPECT_EQ((UINT)HELP_WM_HELP, viewer_.calls[1].command);
    EXPECT_EQ((ULONG_PTR)kViewPageHelpTable, viewer_.calls[1].data);
    EXPECT_EQ((UINT)HELP_CONTEXTMENU, viewer_.calls[2].command);
}

}  // namespace
