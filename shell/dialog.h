// Dialog: the base of the dialog boxes driven by an object. One shared
// dialog procedure finds the object and turns the messages into seven
// virtual calls; each answers what the dialog procedure returns
// (non-zero: handled). Windows only.
#ifndef SKEIND_SHELL_DIALOG_H
#define SKEIND_SHELL_DIALOG_H

#include <windows.h>

#include <stdint.h>

class Dialog {
public:
    // A dialog template by resource number, or by name (copied).
    explicit Dialog(int resource_id);
    explicit Dialog(const char* template_name);
    virtual ~Dialog();

    virtual INT_PTR Ok(HWND dialog, LPARAM lparam);
    virtual INT_PTR Cancel(HWND dialog, LPARAM lparam);
    virtual INT_PTR OtherCommand(HWND dialog, int id, int code, LPARAM lparam);
    virtual INT_PTR Close(HWND dialog, WPARAM wparam, LPARAM lparam);
    virtual INT_PTR Initialise(HWND dialog, WPARAM focus, LPARAM lparam);
    virtual INT_PTR OtherMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

    // Runs the dialog modally over `parent`: 1 for OK, 2 for Cancel, or
    // what a subclass ended it with; -1 at once when the object is unusable.
    INT_PTR RunModal(HINSTANCE instance, HWND parent);

    bool running_modally() const { return running_ != 0; }

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

protected:
    // Enables the owner again and destroys a modeless instance's window.
    void CloseModeless();

    uint32_t unusable_;  // non-zero while construction is incomplete
    uintptr_t template_;  // a resource number when below 0x10000, else an owned name
    HWND modeless_;
    HWND owner_;
    uint32_t running_;

private:
    Dialog(const Dialog&);
    Dialog& operator=(const Dialog&);
};

#endif
