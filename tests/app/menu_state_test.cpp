// The menu-state rules, over the situations a user meets.
#include <gtest/gtest.h>

#include "app/menu_state.h"
#include "observe/content_type.h"

namespace {

MenuFacts NoCurrentPage() {
    MenuFacts f = {};
    f.status_bar_shown = true;
    f.workspace_open = true;
    return f;
}

MenuFacts CurrentPage(NodeFlags flags, uint32_t type) {
    MenuFacts f = NoCurrentPage();
    f.has_current_page = true;
    f.current_flags = flags;
    f.current_content_type = type;
    return f;
}

MenuItemState Rule(int command, const MenuFacts& facts) {
    MenuItemState s;
    EXPECT_TRUE(MenuRule(command, facts, &s)) << command;
    return s;
}

TEST(MenuStateTest, WithoutACurrentPageThePageCommandsAreOff) {
    MenuFacts f = NoCurrentPage();
    const int page_commands[] = {CmdOpen, CmdOpenNewWindow, CmdShowLinks, CmdHideLinks,
                                 CmdNewAnnotation, CmdCopyAddress, CmdUpdate, CmdPinDown};
    for (int c : page_commands) {
        MenuItemState s = Rule(c, f);
        EXPECT_FALSE(s.enabled) << c;
        EXPECT_FALSE(s.checked) << c;
        EXPECT_FALSE(s.is_default) << c;
    }
}

TEST(MenuStateTest, OpenIsTheDefaultOnlyWhenThereIsAPage) {
    EXPECT_TRUE(Rule(CmdOpen, CurrentPage(0, 0)).is_default);
    EXPECT_TRUE(Rule(CmdOpen, CurrentPage(0, 0)).enabled);
    EXPECT_FALSE(Rule(CmdOpen, NoCurrentPage()).is_default);
}

TEST(MenuStateTest, PinDownShowsThePinAndRespectsAFixedPin) {
    EXPECT_TRUE(Rule(CmdPinDown, CurrentPage(Pinned, 0)).checked);
    EXPECT_TRUE(Rule(CmdPinDown, CurrentPage(Pinned, 0)).enabled);
    EXPECT_FALSE(Rule(CmdPinDown, CurrentPage(0, 0)).checked);
    MenuItemState fixed = Rule(CmdPinDown, CurrentPage(Pinned | PinFixed, 0));
    EXPECT_TRUE(fixed.checked);
    EXPECT_FALSE(fixed.enabled);
}

TEST(MenuStateTest, UpdateOnlyForTextOrUnknownPagesNotAlreadyLoading) {
    EXPECT_TRUE(Rule(CmdUpdate, CurrentPage(0, 0)).enabled);
    EXPECT_TRUE(Rule(CmdUpdate, CurrentPage(0, MakeContentType(kMajorText, 3))).enabled);
    EXPECT_FALSE(Rule(CmdUpdate, CurrentPage(0, MakeContentType(kMajorImage, 1))).enabled);
    EXPECT_FALSE(Rule(CmdUpdate, CurrentPage(Busy, 0)).enabled);
    // Only the code in the low byte counts.
    EXPECT_TRUE(Rule(CmdUpdate, CurrentPage(0, 0x100u | MakeContentType(kMajorText, 0))).enabled);
}

TEST(MenuStateTest, PasteNeedsAWorkspaceAndTextOnTheClipboard) {
    MenuFacts f = NoCurrentPage();
    EXPECT_FALSE(Rule(CmdPasteAddress, f).enabled);
    f.clipboard_has_text = true;
    EXPECT_TRUE(Rule(CmdPasteAddress, f).enabled);  // no current page needed
    f.workspace_open = false;
    EXPECT_FALSE(Rule(CmdPasteAddress, f).enabled);
}

TEST(MenuStateTest, StatusBarCheckFollowsTheBar) {
    MenuFacts f = NoCurrentPage();
    EXPECT_TRUE(Rule(CmdStatusBar, f).checked);
    f.status_bar_shown = false;
    EXPECT_FALSE(Rule(CmdStatusBar, f).checked);
}

TEST(MenuStateTest, CommandsWithoutARuleAreLeftAlone) {
    MenuItemState s;
    const int others[] = {CmdExit, CmdTidy, CmdFont, CmdOptions, CmdAbout, CmdUndo, CmdDelete, 0, 12345};
    for (int c : others) EXPECT_FALSE(MenuRule(c, CurrentPage(0, 0), &s)) << c;
}

}  // namespace
