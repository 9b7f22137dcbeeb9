// The main window's commands, its menus' states and the map's popup menu.
#include <windows.h>

#include <commdlg.h>
#include <stdio.h>

#include "app/annotation_dialog.h"
#include "app/skeindle_topwin.h"
#include "browser/browser_link_win32.h"
#include "observe/settings.h"
#include "res/resource.h"
#include "res/strings.h"
#include "shell/about_box.h"
#include "shell/view_page.h"
#include "store/node_ref.h"

void SkeindleTopwin::RunCommand(int id) {
    Graph_model& m = model();
    switch (id) {
    case CmdExit: DestroyWindow(frame_); return;
    case CmdStatusBar: ToggleStatusBar(); return;
    case CmdHelpContents: HelpContents(); return;
    case CmdHelpIndex: HelpIndex(); return;
    case CmdAbout: {
        Aboutbox about(this);
        about.RunModal(instance_, frame_);
        return;
    }
    case CmdFont: PickFont(); return;
    case CmdOptions: ShowViewOptions(instance_, frame_, &graph_, this); return;
    case CmdPinDown:
    case CmdCopyAddress:
    case CmdPasteAddress:
        // The map knows its selection; it does these itself.
        graph_.Command(id, 0, 0);
        return;
    case CmdOpen: OpenPage(m.current_page(), false); return;
    case CmdOpenNewWindow: OpenPage(m.current_page(), true); return;
    case CmdNewAnnotation: NewAnnotation(); return;
    case CmdHideLinks: HideLinksOfCurrent(); return;
    case CmdShowLinks: ShowLinksOfCurrent(); return;
    case CmdUpdate:
        if (m.current_page()) Update(m.current_page());
        return;
    case CmdTidy: m.Tidy(); return;
    case CmdUndo: Undo(); return;
    case CmdDelete: undo_.Push(m.DeletePages()); return;
    default: UnknownCommand(id); return;
    }
}

void SkeindleTopwin::UnknownCommand(int id) {
    char text[256];
    snprintf(text, sizeof text, AppString(IDS_UNKNOWN_COMMAND), id);
    MessageBoxA(frame_, text, AppString(IDS_PROGRAM_TITLE), MB_OK | MB_ICONINFORMATION);
}

void SkeindleTopwin::ShowLinksOfCurrent() { ShowLinksOf(model().current_page()); }

// The row is found again afterwards: a linked page moved from above it
// moves it up.
void SkeindleTopwin::ShowLinksOf(NodeId page) {
    Graph_model& m = model();
    m.ShowLinks(m.RowOf(page));
    graph_.ScrollToShowChildren(m.RowOf(page));
}

void SkeindleTopwin::HideLinksOfCurrent() {
    Graph_model& m = model();
    NodeId page = m.current_page();
    int row = m.RowOf(page);
    if (row < 0) return;
    m.HideLinks(row);
    if (m.view_flags() & ViewReattachOpen) m.ReattachOpenChildren();
    m.MakeCurrent(page);
    graph_.ScrollToRow(-1, m.current_row());
}

void SkeindleTopwin::OpenPage(NodeId page, bool new_window) {
    Graph_model& m = model();
    AWorkspace* w = m.workspace();
    if (page == 0 || w == 0) return;
    NodeFlags kind = w->TestFlags(page, KindMask);
    if (kind == GroupNode) {
        ShowLinksOf(page);
        return;
    }
    if (kind == SessionNode) return;
    if (kind == AnnotationNode) {
        m.SetOpenPage(page);
        RunAnnotationDialog(instance_, frame_, NodeRef(*w, page));
        Synchronise(2);
        return;
    }
    if (browser_ == 0) return;
    // Back to the window the last plain Open used, when the browser still
    // has it.
    if (!new_window && last_open_window_ != 0 && browser_->ActivateWindow(frame_, last_open_window_) != 0)
        last_open_window_ = 0;
    uint32_t window = new_window ? 0 : 0xFFFFFFFFu;
    uint32_t took = browser_->OpenUrl(frame_, w->Text(w->Name(page)), window, 0);
    if (!new_window && took != 0 && took < 0x80000000u) last_open_window_ = took;
}

void SkeindleTopwin::NewAnnotation() {
    undo_.CommitAll();
    Graph_model& m = model();
    AWorkspace* w = m.workspace();
    NodeId page = m.current_page();
    if (page == 0 || w == 0) return;
    NodeId note = w->NewAnnotation();
    if (note == 0) return;
    char title[1100];
    snprintf(title, sizeof title, AppString(IDS_ANNOTATION_TO), NodeRef(*w, page).DisplayTitle());
    NodeRef(*w, note).SetTitleText(title, false);
    NodeRef(*w, page).LinkTo(*w, note, Attach);
    m.SetOpenPage(note);
    if (RunAnnotationDialog(instance_, frame_, NodeRef(*w, note)) == IDCANCEL) {
        // The record would only bring back a note the user did not want.
        delete m.DeleteRow(m.RowOf(note), note, 0);
    }
    Synchronise(2);
}

// Asking for a fresh copy needs the page loader or the browser; neither
// exists before browser control, so there is nothing to ask yet.
// A fresh copy of the page: its local file, else one the browser saves
// for us, else our own fetch.
void SkeindleTopwin::Update(NodeId page) {
    AWorkspace* w = model().workspace();
    if (loader_ && w && page) loader_->LoadPage(w, page, 0);
}

void SkeindleTopwin::Undo() {
    if (undo_.UndoTop()) model().RefreshChanged();
}

void SkeindleTopwin::PickFont() {
    CHOOSEFONTA choose = {};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = frame_;
    choose.lpLogFont = &font_;
    choose.Flags = CF_SCREENFONTS | CF_SHOWHELP | CF_INITTOLOGFONTSTRUCT | CF_SCRIPTSONLY | CF_FORCEFONTEXIST |
                   CF_SELECTSCRIPT | CF_NOVERTFONTS;
    LOGFONTA before = font_;
    if (!ChooseFontA(&choose)) {
        font_ = before;
        return;
    }
    // Kept in the registry with the other settings when the window closes.
    graph_.SetGraphFont(font_);
}

// ---------------------------------------------------------------------------
// Menus

MenuFacts SkeindleTopwin::GatherMenuFacts() {
    MenuFacts f = {};
    Graph_model& m = model();
    AWorkspace* w = m.workspace();
    f.status_bar_shown = status_bar_shown();
    f.workspace_open = w != 0;
    f.clipboard_has_text = IsClipboardFormatAvailable(CF_TEXT) != 0;
    f.has_current_page = w != 0 && m.current_page() != 0;
    if (f.has_current_page) {
        f.current_flags = w->TestFlags(m.current_page(), 0xFFFF);
        f.current_content_type = w->ContentType(m.current_page());
    }
    return f;
}

void SkeindleTopwin::ApplyMenuState(HMENU menu) {
    MenuFacts facts = GatherMenuFacts();
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        int id = (int)GetMenuItemID(menu, i);
        if (id == CmdExit || id == CmdHelpContents || id == CmdOptions) SetMenuDefaultItem(menu, i, TRUE);
        if (id == CmdUndo) {
            SetUndoItem(menu, (UINT)i);
            continue;
        }
        if (id == CmdDelete) {
            SetDeleteItem(menu, (UINT)i);
            continue;
        }
        MenuItemState s;
        if (!MenuRule(id, facts, &s)) continue;
        EnableMenuItem(menu, i, MF_BYPOSITION | (s.enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, i, MF_BYPOSITION | (s.checked ? MF_CHECKED : MF_UNCHECKED));
        if (s.is_default) SetMenuDefaultItem(menu, i, TRUE);
    }
}

static void SetItemText(HMENU menu, UINT position, const char* text, bool enabled) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = (char*)text;
    SetMenuItemInfoA(menu, position, TRUE, &item);
    EnableMenuItem(menu, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void SkeindleTopwin::SetUndoItem(HMENU menu, UINT position) {
    char text[256];
    AUndo* top = undo_.DropStaleTop();
    if (top)
        top->MenuText(text, sizeof text);
    else
        snprintf(text, sizeof text, "%s", AppString(IDS_UNDO_NOTHING));
    SetItemText(menu, position, text, top != 0);
}

void SkeindleTopwin::SetDeleteItem(HMENU menu, UINT position) {
    char text[256];
    bool enabled = model().DeleteCommandText(text, sizeof text);
    SetItemText(menu, position, text, enabled);
}

void SkeindleTopwin::ShowPopupMenu(int x, int y) {
    POINT at = {x, y};
    ScreenToClient(graph_.window(), &at);
    int row = graph_.RowAt(at.y);
    model().SetCurrentRow(row);
    HMENU bar = LoadMenuA(instance_, MAKEINTRESOURCEA(kPopupMenu));
    if (bar == 0) return;
    HMENU page = GetSubMenu(bar, 1);
    if (page) {
        ApplyMenuState(page);
        TrackPopupMenu(page, TPM_RIGHTBUTTON, x, y, 0, frame_, 0);
    }
    DestroyMenu(bar);
}
