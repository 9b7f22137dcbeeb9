// The main window: creation, its messages, traffic, the timer, menu help
// and closing. The commands are in topwin_commands_win32.cpp.
#include "app/skeindle_topwin.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "browser/browser_link_win32.h"
#include "observe/settings.h"
#include "observe/shim_listener.h"
#include "observe/content_type.h"
#include "observe/http_client.h"
#include "observe/url.h"
#include "store/node_ref.h"
#include "res/resource.h"
#include "res/strings.h"
#include "store/instance_registry.h"

const char kMainWindowClass[] = "QMR Skeindle";

namespace {

// Whether a live page includes `page` (an image shown inside it).
bool IncludedByAnyPage(AWorkspace& w, NodeId page) {
    for (LinkId l = w.FirstIn(page); l != 0; l = w.NextLink(l))
        if (w.LinkKindOf(l) == LinkInclude) return true;
    return false;
}

// The popup menus of the menu bar, by position, and their help texts.
const int kPopupHelp[] = {IDS_POPUP_FILE, IDS_POPUP_EDIT, IDS_POPUP_VIEW, IDS_POPUP_PAGE, IDS_POPUP_HELP};

}  // namespace

void LvGraphWin::OpenPage(AWorkspace*, NodeId node) { top_.OpenPage(node, false); }

SkeindleTopwin::SkeindleTopwin(HINSTANCE instance, InstanceRegistry* registry)
    : instance_(instance),
      registry_(registry),
      graph_(*this),
      last_open_window_(0),
      in_menu_(false),
      listener_(0),
      browser_(0),
      loader_(0),
      http_(0),
      client_(0),
      status_text_shown_(false),
      workspace_(0) {
    model().set_view_flags(kDefaultViewFlags);
}

SkeindleTopwin::~SkeindleTopwin() {
    if (frame_) {
        if (registry_) registry_->Unregister(frame_);
        KillTimer(frame_, kPollTimer);
    }
    // The map lets go of the workspace before anything else can.
    model().SetWorkspace(0);
    if (graph_.window()) DestroyWindow(graph_.window());
    if (frame_ && !(flags_ & kWindowClosing)) Closing();
    if (frame_ && IsWindow(frame_)) {
        SetWindowLongPtrA(frame_, 0, 0);
        DestroyWindow(frame_);
    }
}

bool SkeindleTopwin::RegisterFrameClass() {
    WNDCLASSA existing;
    if (GetClassInfoA(instance_, kMainWindowClass, &existing)) return true;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    PrepareFrameClass(&wc);
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(kProgramIcon));
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.hbrBackground = 0;
    wc.lpszMenuName = MAKEINTRESOURCEA(kMainMenu);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassA(&wc) != 0;
}

bool SkeindleTopwin::Create() {
    if (!RegisterFrameClass()) return false;
    SettingsKey& program = SettingsKey::Program();
    WindowValues place = ReadWindowValues(program);
    HWND frame = CreateWindowExA(0, kMainWindowClass, AppString(IDS_PROGRAM_TITLE), WS_OVERLAPPEDWINDOW, place.x,
                                 place.y, place.x_size, place.y_size, 0, 0, instance_, 0);
    if (frame == 0) return false;
    BindFrame(frame);
    CreateStatusBar(AppString(IDS_CREATING_WINDOWS));
    normal_cursor_ = LoadCursor(0, IDC_ARROW);
    busy_cursor_ = LoadCursor(0, IDC_WAIT);
    DefaultFont(&font_);
    ReadFont(program, &font_);
    CreateChildren();
    LoadHelpFile(instance_);
    ShowWindow(frame_, SW_SHOWDEFAULT);
    UpdateWindow(frame_);
    EnterSimpleMode("");
    return true;
}

void SkeindleTopwin::CreateChildren() {
    RECT area;
    ChildArea(&area);
    SettingsKey window(SettingsKey::Program(), "window", false);
    uint32_t stored = (uint32_t)window.ReadNumber("flags", (int32_t)kDefaultViewFlags);
    model().set_view_flags(model().view_flags() | stored);
    graph_.SetGraphFont(font_);
    graph_.Create(area.left, area.top, area.right, area.bottom, this);
    child_ = graph_.window();
    SetWindowTextA(frame_, AppString(IDS_PROGRAM_TITLE));
    SetTimer(frame_, kPollTimer, kPollPeriod, 0);
}

void SkeindleTopwin::AttachWorkspace(NodeDb* workspace, const char* file_name) {
    workspace_ = workspace;
    file_name_ = file_name ? file_name : "";
    model().SetWorkspace(workspace);
    if (registry_) registry_->Register(frame_, InstanceRegistry::ShortFullPath(file_name_.c_str()).c_str());
    Synchronise(1);
    InvalidateRect(frame_, 0, TRUE);
}

LRESULT SkeindleTopwin::FrameMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        LayOut(wparam, lparam);
        return 0;
    case WM_SETFOCUS:
        if (graph_.window()) SetFocus(graph_.window());
        return 0;
    case WM_DESTROY:
        Closing();
        return 0;
    case WM_DRAWITEM:
        if (DrawStatusItem((const DRAWITEMSTRUCT*)lparam)) return TRUE;
        break;
    case WM_CONTEXTMENU: {
        POINT at = {(short)LOWORD(lparam), (short)HIWORD(lparam)};
        RECT client;
        GetClientRect(frame_, &client);
        POINT inside = at;
        ScreenToClient(frame_, &inside);
        if (lparam == (LPARAM)-1 || !PtInRect(&client, inside)) break;
        ShowPopupMenu(at.x, at.y);
        return 0;
    }
    case WM_COMMAND:
        RunCommand(LOWORD(wparam));
        return 0;
    case WM_INITMENUPOPUP:
        if (!HIWORD(lparam)) ApplyMenuState((HMENU)wparam);
        return 0;
    case WM_MENUSELECT:
        MenuHelp(LOWORD(wparam), HIWORD(wparam), (HMENU)lparam);
        return 0;
    case WM_ENTERMENULOOP:
        in_menu_ = true;
        return 0;
    case WM_EXITMENULOOP:
        in_menu_ = false;
        return 0;
    case WM_TIMER:
        if (wparam != kPollTimer) break;
        TimerTick();
        return 0;
    case kTrafficMessage:
        ReceiveTraffic();
        return 0;
    case kActivateMessage:
        return SetForegroundWindow(frame_);
    case kBrowserMessage:
        if (browser_) browser_->DrainBrowserMessages();
        return 0;
    case kFetchMessage:
        if (http_) http_->Notify(wparam, lparam);
        model().RefreshChanged();
        return 0;
    default:
        break;
    }
    return Topwin::FrameMessage(message, wparam, lparam);
}

void SkeindleTopwin::ReceiveTraffic() {
    if (listener_ == 0) return;
    int result = listener_->Receive();
    if (result & DatagramResync) Synchronise(1);
    model().RefreshChanged();
}

// The browser's page becomes the map's open page. Mode 0 is the timer's,
// 1 after traffic or attaching, 2 after the annotation dialog.
void SkeindleTopwin::Synchronise(int mode) {
    if (in_menu_ || browser_ == 0) return;
    std::string url = browser_->GetWindowUrl(mode, frame_, 0xFFFFFFFFu);
    Graph_model& m = model();
    AWorkspace* w = m.workspace();
    if (!url.empty() && w) {
        NodeId page = w->FindNode(url.c_str(), true);
        if (page && page != m.open_page()) {
            NodeRef(*w, page).FileUnderHost();
            m.SetOpenPage(page);
        }
    }
    if (status_text_shown_) return;
    if (url.empty() && w) {
        NodeId page = m.current_page() ? m.current_page() : m.open_page();
        if (page) url = w->Text(w->Name(page));
    }
    ShowAddress(url.c_str());
}

// A file: page as its local file name with backslashes, else the URL.
void SkeindleTopwin::ShowAddress(const char* url) {
    UrlBuffer path;
    if (LocalPathOfUrl(url, &path)) {
        for (char* c = path.text; *c; ++c)
            if (*c == '/') *c = '\\';
        url = path.text;
    }
    Topwin::ShowStatusText(url);
}

void SkeindleTopwin::ShowStatusText(const char* text) {
    status_text_shown_ = text != 0 && text[0] != 0;
    Topwin::ShowStatusText(text);
}

void SkeindleTopwin::TimerTick() {
    if (loader_) loader_->Tick();
    if (http_) http_->CloseIdle();
    Synchronise(0);
    std::pair<AWorkspace*, NodeId> entry;
    if (!pending_loads_.Pop(&entry) || entry.first != model().workspace()) return;
    if (entry.first->TestFlags(entry.second, NotFetched))
        Update(entry.second);
    else
        entry.first->ClearFlags(entry.second, Busy);  // the browser fetched it meanwhile
}

void SkeindleTopwin::MenuHelp(UINT item, UINT flags, HMENU menu) {
    if (!status_bar_shown()) return;
    if (flags == 0xFFFF && menu == 0) {
        ShowStatusText("");
        return;
    }
    if (flags & MF_SYSMENU) return;
    char text[129] = "";
    if (flags & MF_POPUP) {
        if (item < sizeof kPopupHelp / sizeof kPopupHelp[0]) snprintf(text, sizeof text, "%s", AppString(kPopupHelp[item]));
    } else if (!(flags & MF_SEPARATOR)) {
        snprintf(text, sizeof text, "%s", AppString((int)item));
    }
    ShowStatusText(text);
}

void SkeindleTopwin::Closing() {
    if (flags_ & kWindowClosing) return;
    flags_ |= kWindowClosing;
    PostQuitMessage(0);
    SettingsKey& program = SettingsKey::Program();
    SettingsKey window(program, "window", true);
    if (window.WriteNumber("flags", model().view_flags() & kStoredViewFlags) != 0) return;
    RECT place;
    if (GetWindowRect(frame_, &place) && WriteWindowRect(program, place) != 0) return;
    WriteFont(program, font_);
}

// --- ATattler. The browser link delivers these once there is one.

// The browser shows a page: record it and make it the map's open page,
// unless it is only part of another page.
void SkeindleTopwin::UrlEcho(const char* url, const char* mime, uint32_t window, const char* referrer) {
    Graph_model& m = model();
    AWorkspace* w = m.workspace();
    if (w == 0 || url == 0) return;
    NodeId page = w->FindNode(url, true);
    if (page == 0) return;
    const char* type = mime ? mime : "";
    bool parser = strcmp(type, "internal/parser") == 0;
    if (w->ContentType(page) == 0 && !parser) w->SetContentType(page, ContentTypeOfMime(type));
    if (window == 0xFFFFFFFFu) return;
    bool text = strncmp(type, "text/", 5) == 0;
    if (referrer && referrer[0] && !text && !parser) return;  // an inline part of another page
    NodeRef(*w, page).FileUnderHost();
    QueueForLoading(*w, page);
    if (strncmp(type, "image/", 6) == 0 && IncludedByAnyPage(*w, page)) return;
    if (page != m.open_page()) m.SetOpenPage(page);
}

// A page whose links were never seen is learnt: a local file at once,
// anything else from the pending-load stack, one page per tick.
void SkeindleTopwin::QueueForLoading(AWorkspace& w, NodeId page) {
    if (!w.TestFlags(page, NotFetched) || w.TestFlags(page, Busy)) return;
    uint32_t type = w.ContentType(page);
    if (type != 0 && type != kTextHtml) return;
    UrlBuffer path;
    if (LocalPathOfUrl(w.Text(w.Name(page)), &path)) {
        if (loader_) loader_->LoadPage(&w, page, 0);
        return;
    }
    w.SetFlags(page, Busy);
    pending_loads_.Push(std::make_pair(&w, page));
}

void SkeindleTopwin::NewBrowser(uint32_t) { Synchronise(1); }
void SkeindleTopwin::LostBrowser(uint32_t) { model().SetOpenPage(0); }

void SkeindleTopwin::BeginProgress(uint32_t window, const char* text) {
    if (loader_) loader_->BeginProgress(window, text);
}
void SkeindleTopwin::SetProgressRange(uint32_t window, uint32_t maximum) {
    if (loader_) loader_->SetProgressRange(window, maximum);
}
void SkeindleTopwin::MakingProgress(uint32_t window, const char* text, uint32_t amount) {
    if (loader_) loader_->MakingProgress(window, text, amount);
}
void SkeindleTopwin::EndProgress(uint32_t window) {
    if (loader_) loader_->EndProgress(window);
}
// Nothing waits for the browser's answer to an open request; the load it
// started has ended.
void SkeindleTopwin::OpenUrlResult(uint32_t transaction, uint32_t) {
    if (loader_) loader_->EndProgress(transaction);
}
void SkeindleTopwin::StatusText(const char* text) { ShowStatusText(text); }

uint32_t SkeindleTopwin::SaveToFile(const char* url, const char* file) {
    return browser_ ? browser_->OpenUrlToFile(frame_, url, file, 4) : kNoWindow;
}

int32_t SkeindleTopwin::FetchOverNetwork(const char* url) {
    return http_ && client_ ? http_->Fetch(url, client_, this, frame_, kFetchMessage) : -1;
}

void SkeindleTopwin::RefreshMap() { model().RefreshChanged(); }
