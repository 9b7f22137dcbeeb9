#include "shell/view_page.h"

#include <string.h>

#include "display/graph_window.h"
#include "res/resource.h"
#include "res/strings.h"
#include "shell/help.h"

const DWORD kViewPageHelpTable[] = {
    IDC_SHOW_NORMAL_LINKS, 14, IDC_SHOW_ANNOTATIONS, 13, IDC_SHOW_SEARCHES, 12,
    IDC_SHOW_INLINE_IMAGES, 11, IDC_SHOW_REDIRECTIONS, 10, IDC_SHOW_GENERIC_LINKS, 9,
    IDC_REATTACH_TO_OPEN_PAGE, 15, IDC_KEEP_LINKED_PAGE_PLACE, 16, 0, 0};

namespace {

struct FlagBox {
    int control;
    uint32_t bit;
};

const FlagBox kBoxes[] = {
    {IDC_SHOW_NORMAL_LINKS, 0x0001},  {IDC_SHOW_ANNOTATIONS, 0x0020},
    {IDC_SHOW_SEARCHES, 0x0008},      {IDC_SHOW_INLINE_IMAGES, 0x0002},
    {IDC_SHOW_REDIRECTIONS, 0x0010},  {IDC_SHOW_GENERIC_LINKS, 0x0004},
    {IDC_REATTACH_TO_OPEN_PAGE, ViewReattachOpen}, {IDC_KEEP_LINKED_PAGE_PLACE, ViewKeepLinkedPlace},
};

}  // namespace

View_page::View_page(GraphWindow* graph, SHelp* help)
    : working_(graph->model().view_flags() & kViewPageFlags), page_(0), sheet_(0), graph_(graph), help_(help) {
    memset(&description_, 0, sizeof description_);
}

int View_page::Command(int control) {
    for (const FlagBox& box : kBoxes) {
        if (box.control != control) continue;
        working_ ^= box.bit;
        return 1;
    }
    return 0;
}

bool View_page::IsChanged() { return ((graph_->model().view_flags() ^ working_) & kViewPageFlags) != 0; }

void View_page::Show() {
    for (const FlagBox& box : kBoxes)
        CheckDlgButton(page_, box.control, (working_ & box.bit) ? BST_CHECKED : BST_UNCHECKED);
}

int View_page::MayLeave() { return 0; }

// The map tidies itself for new link kinds and reattaches the open page's
// children for a new reattach setting; the sheet then has nothing left to
// apply, and Cancel can no longer undo what was done.
int View_page::Apply() {
    if (graph_->model().ApplyViewFlags(working_)) {
        SendMessageA(sheet_, PSM_UNCHANGED, (WPARAM)page_, 0);
        SendMessageA(sheet_, PSM_CANCELTOCLOSE, 0, 0);
    }
    return 1;
}

void View_page::ContextMenu(HWND control) {
    if (help_) help_->HelpContextMenu(control, kViewPageHelpTable);
}

void View_page::HelpRequest(const HELPINFO* info) {
    if (help_) help_->HelpForRequest(info, kViewPageHelpTable);
}

void View_page::HelpButton() {
    if (help_) help_->HelpTopic(kViewPageHelpTopic);
}

void View_page::Describe(PROPSHEETPAGEA* page) {
    page->pszTemplate = MAKEINTRESOURCEA(IDD_VIEW_PAGE);
    page->pszTitle = AppString(IDS_VIEW_PAGE_TITLE);
}

HPROPSHEETPAGE View_page::CreatePage(HINSTANCE instance) {
    memset(&description_, 0, sizeof description_);
    // The first version of the structure has every field used here; its
    // size suits the 32-bit and the 64-bit build alike.
    description_.dwSize = PROPSHEETPAGEA_V1_SIZE;
    description_.dwFlags = PSP_USETITLE | PSP_HASHELP;
    description_.hInstance = instance;
    description_.pfnDlgProc = PageProc;
    description_.lParam = (LPARAM)this;
    Describe(&description_);
    return CreatePropertySheetPageA(&description_);
}

INT_PTR View_page::Notify(const NMHDR& header) {
    switch (header.code) {
    case PSN_SETACTIVE:
        sheet_ = header.hwndFrom;
        Show();
        SetWindowLongPtrA(page_, DWLP_MSGRESULT, 0);
        return 1;
    case PSN_KILLACTIVE: SetWindowLongPtrA(page_, DWLP_MSGRESULT, MayLeave()); return 1;
    case PSN_APPLY:
        SetWindowLongPtrA(page_, DWLP_MSGRESULT, Apply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
        return 1;
    case PSN_HELP: HelpButton(); return 1;
    default: return 0;
    }
}

INT_PTR CALLBACK View_page::PageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        View_page* self = (View_page*)((const PROPSHEETPAGEA*)lparam)->lParam;
        SetWindowLongPtrA(page, DWLP_USER, (LONG_PTR)self);
        self->page_ = page;
        return 1;
    }
    View_page* self = (View_page*)GetWindowLongPtrA(page, DWLP_USER);
    if (!self) return 0;
    switch (message) {
    case WM_NOTIFY: return self->Notify(*(const NMHDR*)lparam);
    case WM_CONTEXTMENU: self->ContextMenu((HWND)wparam); return 1;
    case WM_HELP: self->HelpRequest((const HELPINFO*)lparam); return 1;
    case WM_COMMAND:
        if (HIWORD(wparam) != 0) return 0;
        if (self->Command(LOWORD(wparam)) && self->IsChanged()) SendMessageA(self->sheet_, PSM_CHANGED, (WPARAM)page, 0);
        return 1;
    default: return 0;
    }
}

INT_PTR ShowViewOptions(HINSTANCE instance, HWND parent, GraphWindow* graph, SHelp* help) {
    View_page page(graph, help);
    HPROPSHEETPAGE handle = page.CreatePage(instance);
    if (!handle) return -1;
    PROPSHEETHEADERA header;
    memset(&header, 0, sizeof header);
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;  // as for the page
    header.dwFlags = PSH_PROPTITLE | PSH_USEICONID | PSH_HASHELP;
    header.hwndParent = parent;
    header.hInstance = instance;
    header.pszIcon = MAKEINTRESOURCEA(IDI_PROGRAM);
    header.pszCaption = AppString(IDS_PROGRAM_TITLE);
    header.nPages = 1;
    header.nStartPage = 0;
    header.phpage = &handle;
    return PropertySheetA(&header);
}
