// Which menu items are enabled, checked or the default, from what the map
// shows now. The rules are kept apart from the menus so that they can be
// tested without a window; the main window gathers the facts and applies
// the answers as each menu opens. The Undo and Delete items change their
// texts too and are worked out by the main window itself.
#ifndef SKEIND_APP_MENU_STATE_H
#define SKEIND_APP_MENU_STATE_H

#include <stdint.h>

#include "store/layout.h"

// Command numbers of the menus, the accelerators and the popup menu.
const int CmdExit = 18;
const int CmdToolbar = 19;
const int CmdStatusBar = 20;
const int CmdNewWindow = 21;
const int CmdHelpContents = 22;
const int CmdHelpIndex = 23;
const int CmdAbout = 24;
const int CmdFont = 25;
const int CmdOptions = 26;
const int CmdPinDown = 35;
const int CmdOpen = 36;
const int CmdNewAnnotation = 39;
const int CmdHideLinks = 40;
const int CmdShowLinks = 41;
const int CmdUpdate = 42;
const int CmdSaveSnapshot = 43;
const int CmdRestoreSnapshot = 44;
const int CmdCopyAddress = 45;
const int CmdPasteAddress = 46;
const int CmdOpenNewWindow = 47;
const int CmdTidy = 81;
const int CmdUndo = 98;
const int CmdDelete = 99;

struct MenuFacts {
    bool status_bar_shown;
    bool workspace_open;
    bool clipboard_has_text;
    bool has_current_page;
    NodeFlags current_flags;       // of the current page
    uint32_t current_content_type; // its content-type code
};

struct MenuItemState {
    bool enabled;
    bool checked;
    bool is_default;
};

// The state of item `command`; false when no rule covers it (the item is
// left as it is).
bool MenuRule(int command, const MenuFacts& facts, MenuItemState* state);

// Whether Update can ask for the page: it is not being loaded already and
// is text, or of a type not known yet.
bool CanUpdatePage(NodeFlags flags, uint32_t content_type);

#endif
