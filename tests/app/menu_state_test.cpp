// The menu-state rules, over the situations a user meets.
#include <gtest/gtest.h>

#include "app/menu_state.h"
#include "observe/content_type.h"

namespace {

const uint32_t kText = MakeContentType(kMajorText, 3), kImage = MakeContentType(kMajorImage, 1);

TEST(MenuStateTest, EachCommandFollowsItsFacts) {
    const struct {
        int command;
        bool page;
        NodeFlags flags;  // of the current page
        uint32_t type;
        bool clipboard, workspace, bar;
        bool enabled, checked, is_default;
    } cases[] = {
        {CmdOpen, true, 0, 0, false, true, true, true, false, true},
        {CmdOpen, false, 0, 0, false, true, true, false, false, false},
        {CmdOpenNewWindow, false, 0, 0, false, true, true, false, false, false},
        {CmdShowLinks, false, 0, 0, false, true, true, false, false, false},
        {CmdHideLinks, false, 0, 0, false, true, true, false, false, false},
        {CmdNewAnnotation, false, 0, 0, false, true, true, false, false, false},
        {CmdCopyAddress, false, 0, 0, false, true, true, false, false, false},
        {CmdPinDown, false, 0, 0, false, true, true, false, false, false},
        {CmdPinDown, true, Pinned, 0, false, true, true, true, true, false},
        {CmdPinDown, true, 0, 0, false, true, true, true, false, false},
        {CmdPinDown, true, Pinned | PinFixed, 0, false, true, true, false, true, false},
        // Update: text or unknown pages not already loading; only the
        // code in the low byte counts.
        {CmdUpdate, false, 0, 0, false, true, true, false, false, false},
        {CmdUpdate, true, 0, 0, false, true, true, true, false, false},
        {CmdUpdate, true, 0, kText, false, true, true, true, false, false},
        {CmdUpdate, true, 0, kImage, false, true, true, false, false, false},
        {CmdUpdate, true, Busy, 0, false, true, true, false, false, false},
        {CmdUpdate, true, 0, 0x100u | MakeContentType(kMajorText, 0), false, true, true, true, false, false},
        // Paste needs a workspace and text, no current page.
        {CmdPasteAddress, false, 0, 0, false, true, true, false, false, false},
        {CmdPasteAddress, false, 0, 0, true, true, true, true, false, false},
        {CmdPasteAddress, false, 0, 0, true, false, true, false, false, false},
        {CmdStatusBar, false, 0, 0, false, true, true, true, true, false},
        {CmdStatusBar, false, 0, 0, false, true, false, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.command << " page " << c.page << " flags " << c.flags
                                        << " type " << c.type);
        MenuFacts f = {c.bar, c.workspace, c.clipboard, c.page, c.flags, c.type};
        MenuItemState s;
        ASSERT_TRUE(MenuRule(c.command, f, &s));
        EXPECT_EQ(c.enabled, s.enabled);
        EXPECT_EQ(c.checked, s.checked);
        EXPECT_EQ(c.is_default, s.is_default);
    }
}

TEST(MenuStateTest, CommandsWithoutARuleAreLeftAlone) {
    MenuFacts f = {true, true, true, true, 0, 0};
    MenuItemState s;
    const int others[] = {CmdExit, CmdTidy, CmdFont, CmdOptions, CmdAbout, CmdUndo, CmdDelete, 0, 12345};
    for (int c : others) EXPECT_FALSE(MenuRule(c, f, &s)) << c;
}

}  // namespace
