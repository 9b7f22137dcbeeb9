// Subwin: the base of the program's child windows. It registers the
// window class (once per class), creates the window inside its Topwin's
// frame, binds the window to the object, and turns the messages the
// program uses into virtual calls with their arguments decoded.
//
// Every handler answers non-zero to ask for default processing and 0 when
// it has handled the message; the base versions all answer 1.
#ifndef SKEIND_DISPLAY_SUBWIN_H
#define SKEIND_DISPLAY_SUBWIN_H

#include <windows.h>

#include <stdint.h>

class Topwin;

class Subwin {
public:
    // `title` is a string resource number below 0x10000, else a pointer to
    // the text. `class_template` and `class_atom` are shared by every
    // window of the class: the first window created registers the class
    // and frees the template.
    Subwin(uintptr_t title, WNDCLASSA** class_template, ATOM* class_atom, DWORD style, DWORD ex_style);
    virtual ~Subwin();

    virtual void PrepareClass(WNDCLASSA* wc) = 0;
    virtual HWND Create(int left, int top, int right, int bottom, Topwin* parent);
    virtual const char* TypeName();
    virtual int Paint(HDC dc, BOOL erase, const RECT& update);
    virtual int LButtonDown(WPARAM keys, int x, int y);
    virtual int LButtonUp(WPARAM keys, int x, int y);
    virtual int MouseMove(WPARAM keys, int x, int y);
    virtual int LButtonDblClk(WPARAM keys, int x, int y);
    virtual int Size(WPARAM kind, int width, int height);
    virtual int EraseBackground(HDC dc);
    virtual int HScroll(int code, int position);
    virtual int VScroll(int code, int position);
    virtual int KeyDown(WPARAM key, bool was_down, LPARAM lparam);
    virtual int Timer(WPARAM id);
    virtual int Close();
    virtual int Command(int id, HWND control, int code);
    virtual int SysCommand(WPARAM command, int x, int y);
    virtual int InitMenuPopup(HMENU menu);
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

    HWND window() const { return window_; }
    Topwin* parent() const { return parent_; }

    // Every Subwin's window has this procedure; it finds the object through
    // the window's first extra bytes.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

protected:
    HWND window_;
    Topwin* parent_;
    uintptr_t title_;
    WNDCLASSA** class_template_;
    ATOM* class_atom_;
    DWORD style_, ex_style_;
    int left_, top_, right_, bottom_;

private:
    Subwin(const Subwin&);
    Subwin& operator=(const Subwin&);
};

#endif
