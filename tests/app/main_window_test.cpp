// The main window in this process, on a real workspace, under the test
// display: its menus' states as they open, the commands, the status bar,
// busy sections and the progress display, and the settings it keeps.
#include "app/skeindle_topwin.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "observe/content_type.h"
#include "observe/db_client.h"
#include "observe/page_loader.h"
#include "observe/settings.h"
#include "observe/url.h"
#include "store/instance_registry.h"
#include "store/layout.h"
#include "store/node_ref.h"
#include "store/nodedb.h"
#include "tests/support/dialog_user_win32.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs `command` while a user answers the dialogue captioned `caption`:
// types `text` into its control `field` when one is given and presses
// `button`. Gives a message box's text ("" for other dialogues), or what
// went wrong in angle brackets.
std::string AnswerDuring(const char* caption, int button, const std::function<void()>& command, int field = 0,
                         const char* text = 0) {
    std::string seen;
    DialogUser user({{caption, [&](HWND d) {
                          if (field) Type(d, field, text);
                          seen = BoxText(d);
                          Answer(d, button);
                          return true;
                      }}});
    command();
    std::string failure = user.Finish();
    return failure.empty() ? seen : "<" + failure + ">";
}

// The font dialog's size box.
const int kFontSizeBox = 0x472;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db_.CreateWorkspace(dir_.File("m.sk1").c_str()));
        // Every test starts from the default view flags and font, whatever
        // an earlier one left in the registry.
        SettingsKey window(SettingsKey::Program(), "window", true);
        window.WriteNumber("flags", kDefaultViewFlags);
        LOGFONTA font;
        DefaultFont(&font);
        WriteFont(SettingsKey::Program(), font);
        Start();
        root_ = db_.FindNode("x-skeind-1:/h/", false);
    }
    void TearDown() override { Close(); }
    void Start() {
        top_.reset(new SkeindleTopwin(GetModuleHandleA(0), &InstanceRegistry::Process()));
        ASSERT_TRUE(top_->Create());
        top_->AttachWorkspace(&db_, dir_.File("m.sk1").c_str());
    }
    void Close() {
        top_.reset();
        // Closing posted the quit message; it is not for this thread, and
        // a modal loop of the next test would end on it.
        MSG msg;
        while (PeekMessageA(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    HMENU Submenu(int position) { return GetSubMenu(GetMenu(top_->frame()), position); }
    // Opens (in effect) a menu of the menu bar: the state rules run.
    HMENU Open(int position) {
        HMENU menu = Submenu(position);
        SendMessageA(top_->frame(), WM_INITMENUPOPUP, (WPARAM)menu, position);
        return menu;
    }
    static bool Enabled(HMENU menu, int id) {
        return !(GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    }
    static bool Checked(HMENU menu, int id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    static std::string Text(HMENU menu, int id) {
        char text[256] = "";
        GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
        return text;
    }
    static int Default(HMENU menu) { return (int)GetMenuDefaultItem(menu, FALSE, 0); }
    void Command(int id) { SendMessageA(top_->frame(), WM_COMMAND, id, 0); }
    Graph_model& model() { return top_->model(); }
    NodeId Page(const char* url) { return db_.FindNode(url, true); }
    // A pinned page, shown at the top level of a display built afresh.
    NodeId PinnedRow(const char* url) {
        NodeId page = Page(url);
        db_.SetFlags(page, Pinned);
        model().SetWorkspace(&db_);
        return page;
    }
    // The same, made the current page.
    NodeId PinnedCurrent(const char* url) {
        NodeId page = PinnedRow(url);
        model().MakeCurrent(page);
        return page;
    }
    // Looking a page up would bring a deleted one back; this only looks.
    NodeId Existing(const char* url) {
        for (NodeId n = db_.FirstInTree(); n; n = db_.NextInTree(n))
            if (strcmp(db_.Text(db_.Name(n)), url) == 0) return n;
        return 0;
    }
    std::string StatusText() {
        char text[512] = "";
        // In simple mode the one text is part 0's.
        SendMessageA(top_->status_bar(), SB_GETTEXTA, 0, (LPARAM)text);
        return text;
    }

    TempDir dir_;
    NodeDb db_;
    std::unique_ptr<SkeindleTopwin> top_;
    NodeId root_ = 0;
};

TEST_F(MainWindowTest, WithoutACurrentPageThePageCommandsAreDisabled) {
    HMENU page = Open(3);
    const int off[] = {CmdOpen, CmdOpenNewWindow, CmdShowLinks, CmdHideLinks, CmdNewAnnotation, CmdUpdate};
    for (int id : off) EXPECT_FALSE(Enabled(page, id)) << id;
    HMENU edit = Open(1);
    EXPECT_FALSE(Enabled(edit, CmdCopyAddress));
    EXPECT_EQ("&Delete", Text(edit, CmdDelete));
    EXPECT_FALSE(Enabled(edit, CmdDelete));
    EXPECT_EQ("&Undo\tCtrl+Z", Text(edit, CmdUndo));
    EXPECT_FALSE(Enabled(edit, CmdUndo));
    HMENU view = Open(2);
    EXPECT_TRUE(Checked(view, CmdStatusBar));
    EXPECT_EQ(CmdOptions, Default(view));
    EXPECT_EQ(CmdExit, Default(Open(0)));
    EXPECT_EQ(CmdHelpContents, Default(Open(4)));
}

TEST_F(MainWindowTest, PinDownFollowsTheCurrentPage) {
    // The visited-sites root is pinned, and its pin is fixed.
    model().MakeCurrent(root_);
    HMENU page = Open(3);
    EXPECT_TRUE(Checked(page, CmdPinDown));
    EXPECT_FALSE(Enabled(page, CmdPinDown));
    EXPECT_TRUE(Enabled(page, CmdOpen));
    EXPECT_EQ(CmdOpen, Default(page));

    NodeId plain = PinnedCurrent("http://plain.example/");
    page = Open(3);
    EXPECT_TRUE(Checked(page, CmdPinDown));
    EXPECT_TRUE(Enabled(page, CmdPinDown));
    Command(CmdPinDown);
    EXPECT_EQ(0, db_.TestFlags(plain, Pinned));
    page = Open(3);
    EXPECT_FALSE(Checked(page, CmdPinDown));
}

// A record a purge made out of date is dropped as the menu opens.
TEST_F(MainWindowTest, DeleteThenUndoThroughTheEditMenu) {
    NodeId a = PinnedCurrent("http://a.example/");
    HMENU edit = Open(1);
    EXPECT_EQ("&Delete page", Text(edit, CmdDelete));
    EXPECT_TRUE(Enabled(edit, CmdDelete));
    Command(CmdDelete);
    EXPECT_TRUE(db_.TestFlags(a, Deleted) != 0);
    EXPECT_EQ(-1, model().RowOf(a));
    edit = Open(1);
    EXPECT_EQ("&Undo delete page\tCtrl+Z", Text(edit, CmdUndo));
    EXPECT_TRUE(Enabled(edit, CmdUndo));
    Command(CmdUndo);
    EXPECT_EQ(0, db_.TestFlags(a, Deleted));
    EXPECT_FALSE(Enabled(Open(1), CmdUndo));

    PinnedCurrent("http://a.example/");
    Command(CmdDelete);
    model().SetWorkspace(0);
    db_.Purge();
    model().SetWorkspace(&db_);
    edit = Open(1);
    EXPECT_EQ("&Undo\tCtrl+Z", Text(edit, CmdUndo));
    EXPECT_FALSE(Enabled(edit, CmdUndo));
    EXPECT_TRUE(top_->undo_stack().Empty());
}

TEST_F(MainWindowTest, OpeningAGroupShowsItsLinksInsteadOfCallingTheBrowser) {
    NodeRef(db_, Page("http://www.site.com/page")).FileUnderHost();
    model().MakeCurrent(root_);
    int row = model().RowOf(root_);
    ASSERT_GE(row, 0);
    ASSERT_EQ(row + 1, model().RowCount());
    Command(CmdOpen);
    EXPECT_TRUE(model().Row(row).expanded());
    ASSERT_EQ(row + 2, model().RowCount());  // the "com" group below it
    EXPECT_EQ(db_.FindNode("x-skeind-1:/h/com", false), model().Row(row + 1).node());
}

TEST_F(MainWindowTest, NewAnnotationCancelledIsRemovedAgain) {
    NodeId page = PinnedCurrent("http://noted.example/");
    EXPECT_EQ("", AnswerDuring("Annotation - Skeindle", IDCANCEL, [&] { Command(CmdNewAnnotation); }));
    NodeId note = Existing("x-skeind-1:/a/0");
    ASSERT_NE(0u, note);
    EXPECT_TRUE(db_.TestFlags(note, Deleted)) << "the cancelled note stayed";
    EXPECT_EQ(-1, model().RowOf(note));
    EXPECT_EQ(0u, db_.FirstOut(page));

    EXPECT_EQ("",
              AnswerDuring(
                  "Annotation - Skeindle", IDOK, [&] { Command(CmdNewAnnotation); }, 1010, "Why this page matters"));
    NodeId kept = Existing("x-skeind-1:/a/1");
    ASSERT_NE(0u, kept);
    EXPECT_EQ(0, db_.TestFlags(kept, Deleted));
    EXPECT_STREQ("Why this page matters", db_.Text(db_.Title(kept)));
    EXPECT_EQ(kept, db_.LinkNode(db_.FirstOut(page)));
    EXPECT_EQ(kept, model().open_page());
}

// The map takes the hidden bar's place; a text that arrives meanwhile
// shows when the bar comes back.
TEST_F(MainWindowTest, StatusBarTogglesAndItsTextWaitsWhileHidden) {
    PinnedCurrent("http://shown.example/x");
    EXPECT_EQ("http://shown.example/x", StatusText());
    HWND graph = top_->graph().window();
    RECT client, bar, outer;
    GetClientRect(top_->frame(), &client);
    GetWindowRect(top_->status_bar(), &bar);
    EXPECT_TRUE(IsWindowVisible(top_->status_bar()));
    GetWindowRect(graph, &outer);
    EXPECT_EQ(client.bottom - (bar.bottom - bar.top), outer.bottom - outer.top);

    Command(CmdStatusBar);
    EXPECT_FALSE(IsWindowVisible(top_->status_bar()));
    GetWindowRect(graph, &outer);
    EXPECT_EQ(client.bottom, outer.bottom - outer.top);
    EXPECT_FALSE(Checked(Open(2), CmdStatusBar));
    PinnedCurrent("http://hidden.example/");
    Command(CmdStatusBar);
    EXPECT_TRUE(IsWindowVisible(top_->status_bar()));
    EXPECT_TRUE(Checked(Open(2), CmdStatusBar));
    EXPECT_EQ("http://hidden.example/", StatusText());
}

TEST_F(MainWindowTest, BusySectionsNestAndDisableTheFrame) {
    HWND graph = top_->graph().window();
    top_->BeginBusy();
    top_->BeginBusy();
    EXPECT_FALSE(IsWindowEnabled(top_->frame()));
    EXPECT_EQ((ULONG_PTR)LoadCursor(0, IDC_WAIT), GetClassLongPtrA(graph, GCLP_HCURSOR));
    top_->EndBusy();
    EXPECT_FALSE(IsWindowEnabled(top_->frame()));
    top_->EndBusy();
    EXPECT_TRUE(IsWindowEnabled(top_->frame()));
    EXPECT_EQ((ULONG_PTR)LoadCursor(0, IDC_ARROW), GetClassLongPtrA(graph, GCLP_HCURSOR));
    top_->EndBusy();  // one too many does nothing
    EXPECT_EQ(0u, top_->busy_count());
}

// The bar's own drawing is the status bar's test; here, that progress
// reaches it and its end leaves the window's flags saying so.
TEST_F(MainWindowTest, ProgressSplitsTheBarAndItsEndEmptiesIt) {
    HWND bar = top_->status_bar();
    EXPECT_EQ(1, top_->Progress(3, 10, "Checking pages"));
    EXPECT_FALSE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(1, top_->Progress(0, 0, 0));
    EXPECT_TRUE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ("", StatusText());
    EXPECT_TRUE(top_->window_flags() & kStatusEmpty);
}

TEST_F(MainWindowTest, PopupMenuSelectsTheRowUnderThePointAndShowsItsPageCommands) {
    NodeId a = PinnedRow("http://popup.example/");
    int row = model().RowOf(a);
    ASSERT_GE(row, 0);
    HWND graph = top_->graph().window();
    POINT at = {60, row * top_->graph().row_height() + top_->graph().row_height() / 2};
    ClientToScreen(graph, &at);

    // The menu is modal: a second thread reads it while it shows, then
    // cancels it as a click elsewhere would.
    UINT open_state = 0xFFFF, pin_state = 0xFFFF;
    int items = -1;
    std::thread reader([&] {
        for (int waited = 0; waited < 10000; waited += 20) {
            HWND menu_window = FindWindowA("#32768", 0);
            HMENU menu = menu_window ? (HMENU)SendMessageA(menu_window, MN_GETHMENU, 0, 0) : 0;
            if (menu) {
                items = GetMenuItemCount(menu);
                open_state = GetMenuState(menu, CmdOpen, MF_BYCOMMAND);
                pin_state = GetMenuState(menu, CmdPinDown, MF_BYCOMMAND);
                break;
            }
            Sleep(20);
        }
        PostMessageA(top_->frame(), WM_CANCELMODE, 0, 0);
    });
    SendMessageA(top_->frame(), WM_CONTEXTMENU, (WPARAM)graph, MAKELPARAM(at.x, at.y));
    reader.join();
    EXPECT_EQ(a, model().current_page());
    EXPECT_EQ(13, items);  // the Page submenu, separators included
    EXPECT_FALSE(open_state & (MF_GRAYED | MF_DISABLED));
    EXPECT_TRUE(pin_state & MF_CHECKED);
}

TEST_F(MainWindowTest, ClosingWritesTheViewFlagsAndThePlace) {
    SettingsKey window(SettingsKey::Program(), "window", true);
    RegDeleteValueA(window.handle(), "flags");
    model().set_view_flags(model().view_flags() | 0x0400 | 0x00C0);
    MoveWindow(top_->frame(), 12, 34, 456, 321, TRUE);
    DestroyWindow(top_->frame());
    EXPECT_TRUE(top_->window_flags() & kWindowClosing);
    SettingsKey read(SettingsKey::Program(), "window", false);
    EXPECT_EQ((int32_t)((61 | 0x0400 | 0x00C0) & 0xFF3F), read.ReadNumber("flags", -1));
    EXPECT_EQ(12, read.ReadNumber("x", -1));
    EXPECT_EQ(34, read.ReadNumber("y", -1));
    EXPECT_EQ(456, read.ReadNumber("x-size", -1));
    EXPECT_EQ(321, read.ReadNumber("y-size", -1));
}

TEST_F(MainWindowTest, AFontChosenIsKeptAtCloseAndMeasuredAfterARestart) {
    PinnedCurrent("http://font.example/");
    ASSERT_EQ(16, top_->graph().row_height());
    ASSERT_EQ("", AnswerDuring(
                      "Font", IDOK, [&] { Command(CmdFont); }, kFontSizeBox, "36"));
    int height = top_->graph().row_height(), unit = top_->graph().unit();
    EXPECT_GT(height, 2 * 16) << "a 36-point font is far taller than the default rows";
    // Kept with the other settings when the window closes, and measured
    // once the map window exists at the next start.
    Close();
    Start();
    EXPECT_EQ(height, top_->graph().row_height());
    EXPECT_EQ(unit, top_->graph().unit());
}

// The row whose links are shown stays on the screen, with as many of its
// new children below it as fit; a linked page moved from above it (which
// moves the row up) makes no difference.
TEST_F(MainWindowTest, ShowLinksKeepsTheRowInViewThenHideLinksAndTidyThroughTheMenu) {
    MoveWindow(top_->frame(), 0, 0, 500, 400, TRUE);
    GraphWindow& g = top_->graph();
    RECT client;
    GetClientRect(g.window(), &client);
    const int page = client.bottom / g.row_height();
    NodeId above = Page("http://a-above.example/"), row_page = Page("http://b-row.example/");
    NodeId moved = Page("http://c-moved.example/");
    db_.AddLink(above, moved, LinkAnchor);
    for (int i = 0; i < 2 * page; ++i)
        db_.AddLink(above, Page(("http://d-filler.example/" + std::to_string(i)).c_str()), LinkAnchor);
    db_.AddLink(row_page, moved, LinkAnchor);
    const int children[] = {3, 2 * page};  // some fit below it, some do not
    int added = 0;
    for (int count : children) {
        for (; added < count; ++added)
            db_.AddLink(row_page, Page(("http://e-new.example/" + std::to_string(added)).c_str()), LinkAnchor);
        db_.SetFlags(above, Pinned);
        PinnedCurrent("http://b-row.example/");
        model().ShowLinks(model().RowOf(above));
        ASSERT_LT(model().RowOf(above), model().RowOf(moved));
        ASSERT_LT(model().RowOf(moved), model().RowOf(row_page));
        g.ScrollToRow(-1, model().RowCount() - 1);  // the row near the bottom of the window

        Command(CmdShowLinks);
        int row = model().RowOf(row_page), position = GetScrollPos(g.window(), SB_VERT);
        int last_child = model().SubtreeEnd(row + 1, 0) - 1;
        ASSERT_EQ(row + count + 1, last_child) << count;
        EXPECT_LE(position, row) << count;
        EXPECT_EQ(row, model().current_row());
        if (count < page)
            EXPECT_LT(last_child, position + page) << "every child in view";
        else
            EXPECT_EQ(row, position) << "the row at the top, its children below";

        Command(CmdHideLinks);
        EXPECT_EQ(row + 1, model().SubtreeEnd(row + 1, 0)) << "the children are gone";
        EXPECT_EQ(row, model().current_row());
        position = GetScrollPos(g.window(), SB_VERT);
        EXPECT_TRUE(position <= row && row < position + page);
    }

    // Tidy keeps the pinned pages and the current page only.
    NodeId filler = Existing("http://d-filler.example/5");
    model().MakeCurrent(filler);
    Command(CmdTidy);
    for (int i = 0; i < model().RowCount(); ++i) {
        NodeId n = model().Row(i).node();
        EXPECT_TRUE(db_.TestFlags(n, Pinned) || n == filler) << i;
    }
    EXPECT_GE(model().RowOf(filler), 0);
    EXPECT_EQ(-1, model().RowOf(moved));
}

// The accelerator table as the program loads it: each key, pressed with
// its modifiers, reaches the frame as its command.
struct KeyBinding {
    WORD key;
    BYTE modifiers;  // FCONTROL, FSHIFT
    int command;
};
const KeyBinding kBindings[] = {
    {VK_F1, 0, CmdHelpContents},
    {'D', FCONTROL, CmdPinDown},
    {VK_RETURN, 0, CmdOpen},
    {'A', FCONTROL, CmdNewAnnotation},
    {'U', FCONTROL, CmdUpdate},
    {'C', FCONTROL, CmdCopyAddress},
    {'V', FCONTROL, CmdPasteAddress},
    {VK_RETURN, FSHIFT, CmdOpenNewWindow},
    {'T', FCONTROL, CmdTidy},
    {'Z', FCONTROL, CmdUndo},
    {VK_DELETE, 0, CmdDelete},
    {'S', FCONTROL | FSHIFT, CmdSaveSnapshot},
    {'R', FCONTROL | FSHIFT, CmdRestoreSnapshot},
};

void HoldModifiers(BYTE modifiers) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = (modifiers & FCONTROL) ? 0x80 : 0;
    keys[VK_SHIFT] = (modifiers & FSHIFT) ? 0x80 : 0;
    SetKeyboardState(keys);
}

// Presses a key in the map window as the message loop would see it; true
// when it was an accelerator.
bool PressAccelerator(HWND frame, HWND graph, const KeyBinding& b) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(0), MAKEINTRESOURCEA(kAccelerators));
    HoldModifiers(b.modifiers);
    MSG msg = {};
    msg.hwnd = graph;
    msg.message = WM_KEYDOWN;
    msg.wParam = b.key;
    msg.lParam = 1;
    bool taken = TranslateAcceleratorA(frame, table, &msg) != 0;
    HoldModifiers(0);
    return taken;
}

std::vector<int> g_commands;
WNDPROC g_frame_proc = 0;
// Notes the commands instead of running them; all else as before.
LRESULT CALLBACK NoteCommands(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND) {
        g_commands.push_back(LOWORD(wparam));
        return 0;
    }
    return CallWindowProcA(g_frame_proc, w, message, wparam, lparam);
}

TEST_F(MainWindowTest, EveryAcceleratorSendsItsCommand) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(0), MAKEINTRESOURCEA(kAccelerators));
    ASSERT_TRUE(table != 0);
    std::vector<ACCEL> entries((size_t)CopyAcceleratorTableA(table, 0, 0));
    CopyAcceleratorTableA(table, entries.data(), (int)entries.size());
    ASSERT_EQ(sizeof kBindings / sizeof kBindings[0], entries.size());
    for (const ACCEL& e : entries) {
        bool listed = false;
        for (const KeyBinding& b : kBindings)
            listed |= b.key == e.key && b.modifiers == (e.fVirt & (FCONTROL | FSHIFT | FALT)) && b.command == e.cmd;
        EXPECT_TRUE(listed) << "key " << e.key << " command " << e.cmd;
    }

    // Every menu item a key stands for enabled: a current page, an undo
    // record and text on the clipboard.
    PinnedCurrent("http://gone.example/");
    Command(CmdDelete);
    PinnedCurrent("http://keys.example/");
    OpenClipboard(top_->frame());
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 8);
    strcpy((char*)GlobalLock(text), "x");
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();

    HWND frame = top_->frame();
    g_frame_proc = (WNDPROC)SetWindowLongPtrA(frame, GWLP_WNDPROC, (LONG_PTR)NoteCommands);
    for (const KeyBinding& b : kBindings) {
        g_commands.clear();
        EXPECT_TRUE(PressAccelerator(frame, top_->graph().window(), b)) << b.command;
        EXPECT_EQ(std::vector<int>{b.command}, g_commands) << b.command;
    }
    SetWindowLongPtrA(frame, GWLP_WNDPROC, (LONG_PTR)g_frame_proc);
}

// Saved sessions are not built: their commands say so rather than do nothing.
TEST_F(MainWindowTest, SavedSessionCommandsShowTheUnknownCommandBox) {
    for (int command : {CmdSaveSnapshot, CmdRestoreSnapshot}) {
        std::string want = "Unknown command " + std::to_string(command) + "?";
        EXPECT_EQ(want, AnswerDuring("Skeindle", IDOK, [&] { Command(command); }).substr(0, want.size()));
    }
}

}  // namespace

// What the browser's URL echoes make of a page: recorded, filed, queued
// for loading once, made the open page, by MIME type, referrer and window.
TEST_F(MainWindowTest, UrlEchoesRecordQueueAndOpenByKind) {
    DbClient client(&db_);
    PageLoader loader(&client, top_.get(), top_.get());
    top_->set_page_fetching(&loader, 0, &client);
    struct {
        const char* url;
        const char* mime;
        uint32_t window;
        const char* referrer;
        bool queued, opened;
    } cases[] = {
        {"http://h/page.html", "text/html", 1, "", true, true},
        {"http://h/pic.gif", "image/gif", 1, "http://h/page.html", false, false},  // inline
        {"http://h/alone.gif", "image/gif", 1, "", false, true},                   // not html: not queued
        {"http://h/bg.html", "text/html", 0xFFFFFFFFu, "", false, false},
        {"http://h/x", "internal/parser", 1, "http://h/", true, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.url);
        top_->UrlEcho(c.url, c.mime, c.window, c.referrer);
        NodeId page = Existing(c.url);
        ASSERT_NE(0u, page);
        EXPECT_EQ(c.queued, db_.TestFlags(page, Busy) != 0);
        EXPECT_EQ(c.opened, model().open_page() == page);
    }
    EXPECT_EQ(kTextHtml, db_.ContentType(Existing("http://h/bg.html")));
    EXPECT_EQ(0u, db_.ContentType(Existing("http://h/x")));  // the parser's type is no type
    top_->set_page_fetching(0, 0, 0);
}

// Seventy echoed pages are loaded newest first, one per tick; one the
// browser fetched meanwhile is passed over. A local page is read at once.
TEST_F(MainWindowTest, PendingPagesLoadNewestFirstAndLocalPagesAtOnce) {
    DbClient client(&db_);
    PageLoader loader(&client, top_.get(), top_.get());
    top_->set_page_fetching(&loader, 0, &client);
    std::vector<NodeId> pages;
    for (int i = 0; i < 70; ++i) {
        std::string url = "http://h/" + std::to_string(i);
        top_->UrlEcho(url.c_str(), "text/html", 1, "");
        pages.push_back(Existing(url.c_str()));
        top_->UrlEcho(url.c_str(), "text/html", 1, "");  // not queued twice
    }
    auto busy = [&](int i) { return db_.TestFlags(pages[i], Busy) != 0; };
    auto tick = [&] { SendMessageA(top_->frame(), WM_TIMER, kPollTimer, 0); };
    tick();  // without a browser the load fails and the page may come again
    EXPECT_FALSE(busy(69));
    EXPECT_TRUE(busy(68));
    db_.ClearFlags(pages[68], NotFetched);
    tick();
    EXPECT_FALSE(busy(68));
    EXPECT_TRUE(busy(67));
    tick();
    EXPECT_FALSE(busy(67));
    EXPECT_TRUE(busy(0) && busy(66));

    std::string file = dir_.File("local.html");
    const char html[] = "<title>Local</title><a href=\"other.html\">o</a>";
    ASSERT_TRUE(WriteWholeFile(file, html, sizeof html - 1));
    UrlBuffer url;
    CanonicalUrl(("file:///" + file).c_str(), &url);  // as the browser link gives it
    top_->UrlEcho(url.text, "text/html", 1, "");
    NodeId local = model().open_page();
    ASSERT_NE(0u, local);
    EXPECT_STREQ("Local", db_.Text(db_.Title(local)));
    EXPECT_NE(0u, db_.FirstOut(local));
    top_->set_page_fetching(0, 0, 0);
}
