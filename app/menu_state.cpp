#include "app/menu_state.h"

#include "observe/content_type.h"

bool CanUpdatePage(NodeFlags flags, uint32_t content_type) {
    if (flags & Busy) return false;
    uint8_t code = (uint8_t)(content_type & 0xFF);
    return code == 0 || MajorTypeOf(code) == kMajorText;
}

bool MenuRule(int command, const MenuFacts& facts, MenuItemState* state) {
    state->enabled = true;
    state->checked = false;
    state->is_default = false;
    bool current = facts.has_current_page;
    switch (command) {
    case CmdStatusBar:
        state->checked = facts.status_bar_shown;
        return true;
    case CmdPinDown:
        state->checked = current && (facts.current_flags & Pinned) != 0;
        state->enabled = current && (facts.current_flags & PinFixed) == 0;
        return true;
    case CmdOpen:
        state->enabled = current;
        state->is_default = current;
        return true;
    case CmdNewAnnotation:
    case CmdHideLinks:
    case CmdShowLinks:
    case CmdCopyAddress:
    case CmdOpenNewWindow:
        state->enabled = current;
        return true;
    case CmdUpdate:
        state->enabled = current && CanUpdatePage(facts.current_flags, facts.current_content_type);
        return true;
    case CmdPasteAddress:
        state->enabled = facts.workspace_open && facts.clipboard_has_text;
        return true;
    default:
        return false;
    }
}
