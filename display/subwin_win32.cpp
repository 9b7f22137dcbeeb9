#include "display/subwin.h"

#include "shell/topwin.h"

namespace {

// Signed coordinates from a mouse message (a point left of or above the
// window is negative while the mouse is captured).
int LowSigned(LPARAM v) { return (int)(short)LOWORD(v); }
int HighSigned(LPARAM v) { return (int)(short)HIWORD(v); }

}  // namespace

Subwin::Subwin(uintptr_t title, WNDCLASSA** class_template, ATOM* class_atom, DWORD style, DWORD ex_style)
    : window_(0), parent_(0), title_(title), class_template_(class_template), class_atom_(class_atom),
      style_(style), ex_style_(ex_style), left_(0), top_(0), right_(0), bottom_(0) {}

Subwin::~Subwin() {
    if (window_) {
        // The object is going: nothing may reach it through the window.
        SetWindowLongPtrA(window_, 0, 0);
        DestroyWindow(window_);
    }
}

HWND Subwin::Create(int left, int top, int right, int bottom, Topwin* parent) {
    parent_ = parent;
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
    HINSTANCE instance = GetModuleHandleA(0);
    WNDCLASSA* wc = class_template_ ? *class_template_ : 0;
    if (wc) {
        wc->lpfnWndProc = StaticWindowProc;
        wc->lpszClassName = "Subwin";
        wc->hCursor = LoadCursor(0, IDC_ARROW);
        wc->hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
        wc->style |= CS_VREDRAW | CS_HREDRAW;
        // Room for the object pointer (a pointer's width, on 64-bit too).
        wc->cbWndExtra = sizeof(LONG_PTR);
        PrepareClass(wc);
    }
    char text[129];
    const char* title = (const char*)title_;
    if (title_ < 0x10000) {
        text[0] = 0;
        LoadStringA(instance, (UINT)title_, text, sizeof text);
        title = text;
    }
    if (wc) {
        wc->hInstance = instance;
        *class_atom_ = RegisterClassA(wc);
        delete wc;
        *class_template_ = 0;
    }
    HWND frame = parent ? parent->frame() : 0;
    window_ = CreateWindowExA(ex_style_, (LPCSTR)(uintptr_t)*class_atom_, title, style_, left, top, right - left,
                              bottom - top, frame, 0, instance, 0);
    if (window_) SetWindowLongPtrA(window_, 0, (LONG_PTR)this);
    return window_;
}

const char* Subwin::TypeName() { return "Subwin"; }
int Subwin::Paint(HDC, BOOL, const RECT&) { return 1; }
int Subwin::LButtonDown(WPARAM, int, int) { return 1; }
int Subwin::LButtonUp(WPARAM, int, int) { return 1; }
int Subwin::MouseMove(WPARAM, int, int) { return 1; }
int Subwin::LButtonDblClk(WPARAM, int, int) { return 1; }
int Subwin::Size(WPARAM, int, int) { return 1; }
int Subwin::EraseBackground(HDC) { return 1; }
int Subwin::HScroll(int, int) { return 1; }
int Subwin::VScroll(int, int) { return 1; }
int Subwin::KeyDown(WPARAM, bool, LPARAM) { return 1; }
int Subwin::Timer(WPARAM) { return 1; }
int Subwin::Close() { return 1; }
int Subwin::Command(int, HWND, int) { return 1; }
int Subwin::SysCommand(WPARAM, int, int) { return 1; }
int Subwin::InitMenuPopup(HMENU) { return 1; }

LRESULT CALLBACK Subwin::StaticWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Subwin* self = (Subwin*)GetWindowLongPtrA(hwnd, 0);
    if (self == 0) return DefWindowProcA(hwnd, message, wparam, lparam);
    return self->WindowProc(message, wparam, lparam);
}

LRESULT Subwin::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    int pass_on = 1;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        Paint(dc, ps.fErase, ps.rcPaint);
        EndPaint(window_, &ps);
        break;  // the update region is valid by now; default processing is harmless
    }
    case WM_SIZE: pass_on = Size(wparam, LowSigned(lparam), HIWORD(lparam)); break;
    case WM_ERASEBKGND: pass_on = EraseBackground((HDC)wparam); break;
    case WM_CLOSE: pass_on = Close(); break;
    case WM_KEYDOWN: pass_on = KeyDown(wparam, (lparam & (1 << 30)) != 0, lparam); break;
    case WM_COMMAND: pass_on = Command(LOWORD(wparam), (HWND)lparam, HIWORD(wparam)); break;
    case WM_SYSCOMMAND: pass_on = SysCommand(wparam, LowSigned(lparam), HighSigned(lparam)); break;
    case WM_TIMER: pass_on = Timer(wparam); break;
    case WM_HSCROLL: pass_on = HScroll(LOWORD(wparam), (short)HIWORD(wparam)); break;
    case WM_VSCROLL: pass_on = VScroll(LOWORD(wparam), (short)HIWORD(wparam)); break;
    case WM_INITMENUPOPUP: pass_on = InitMenuPopup((HMENU)wparam); break;
    case WM_MOUSEMOVE: pass_on = MouseMove(wparam, LowSigned(lparam), HighSigned(lparam)); break;
    case WM_LBUTTONDOWN: pass_on = LButtonDown(wparam, LowSigned(lparam), HighSigned(lparam)); break;
    case WM_LBUTTONUP: pass_on = LButtonUp(wparam, LowSigned(lparam), HighSigned(lparam)); break;
    case WM_LBUTTONDBLCLK: pass_on = LButtonDblClk(wparam, LowSigned(lparam), HighSigned(lparam)); break;
    default: break;
    }
    if (!pass_on) return 0;
    return DefWindowProcA(window_, message, wparam, lparam);
}
