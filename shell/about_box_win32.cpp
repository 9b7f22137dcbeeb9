#include "shell/about_box.h"

#include <string>
#include <vector>

#include "res/resource.h"
#include "res/strings.h"
#include "shell/help.h"
#include "shell/version_text.h"

const DWORD kAboutHelpTable[] = {IDC_ABOUT_ICON, 1, IDC_ABOUT_PICTURE, 2, IDC_ABOUT_TEXT, 3, 0, 0};

namespace {

const char kShimLibrary[] = "qmrsk32.dll";

// The fixed file version of a file as the About box writes it; false when
// the file has no version resource.
bool FileVersionOf(const char* path, std::string* text) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path, 0, size, &block[0])) return false;
    VS_FIXEDFILEINFO* fixed = 0;
    UINT length = 0;
    if (!VerQueryValueA(&block[0], "\\", (void**)&fixed, &length) || length < sizeof *fixed) return false;
    if (fixed->dwSignature != 0xFEEF04BD) return false;
    *text = FileVersionText(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                            HIWORD(fixed->dwFileVersionLS));
    return true;
}

}  // namespace

Aboutbox::Aboutbox(SHelp* help) : Dialog(IDD_ABOUT), help_(help), picture_(0) {}

Aboutbox::~Aboutbox() {
    if (picture_) DeleteObject(picture_);
}

INT_PTR Aboutbox::Initialise(HWND dialog, WPARAM, LPARAM) {
    if (!picture_)
        picture_ = LoadBitmapA((HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE), MAKEINTRESOURCEA(IDB_ABOUT_PICTURE));
    SetDlgItemTextA(dialog, IDC_ABOUT_PICTURE, "QMR Skeindle");

    char found[1024];
    char* name = 0;
    std::string shim_version;
    DWORD n = SearchPathA(0, kShimLibrary, 0, sizeof found, found, &name);
    bool shim = n > 0 && n < sizeof found && name != 0 && FileVersionOf(found, &shim_version);

    char text[256];
    const char* word = AppString(IDS_VERSION_WORD);
    AboutVersionText(text, sizeof text, word, SKEIND_VERSION_TEXT, shim ? name : 0, shim ? shim_version.c_str() : 0);
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text);
    return 1;
}

INT_PTR Aboutbox::OtherMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_HELP:
        if (help_) help_->HelpForRequest((const HELPINFO*)lparam, kAboutHelpTable);
        return 1;
    case WM_CONTEXTMENU:
        if (help_) help_->HelpContextMenu((HWND)wparam, kAboutHelpTable);
        return 1;
    case WM_DRAWITEM:
        if (wparam != IDC_ABOUT_PICTURE) return 0;
        DrawPicture(*(const DRAWITEMSTRUCT*)lparam);
        return 1;
    default: return 0;
    }
}

void Aboutbox::DrawPicture(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    int picture_height = 0;
    BITMAP size;
    if (picture_ && GetObjectA(picture_, sizeof size, &size)) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture_);
        int x = area.left + (area.right - area.left - size.bmWidth) / 2;
        BitBlt(dc, x, area.top, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        picture_height = size.bmHeight;
    }
    char name[64];
    GetWindowTextA(item.hwndItem, name, sizeof name);
    HFONT font = (HFONT)SendMessageA(item.hwndItem, WM_GETFONT, 0, 0);
    HGDIOBJ old_font = font ? SelectObject(dc, font) : 0;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT below = area;
    below.top += picture_height + 4;
    DrawTextA(dc, name, -1, &below, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if (old_font) SelectObject(dc, old_font);
}
