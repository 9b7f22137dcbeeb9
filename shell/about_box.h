// Aboutbox: the About box (dialog 107): the program's icon, its picture
// with its name, the program's version and the version of the socket shim
// library found on the search path. Its controls have pop-up help through
// the main window's help. Windows only.
#ifndef SKEIND_SHELL_ABOUT_BOX_H
#define SKEIND_SHELL_ABOUT_BOX_H

#include <windows.h>

#include "shell/dialog.h"

class SHelp;

// The About box's help table: icon, picture, version text.
extern const DWORD kAboutHelpTable[];

class Aboutbox : public Dialog {
public:
    // `help` may be none: the box then has no pop-up help.
    explicit Aboutbox(SHelp* help);
    ~Aboutbox() override;

    INT_PTR Initialise(HWND dialog, WPARAM focus, LPARAM lparam) override;
    INT_PTR OtherMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    // The picture with the control's text centred under it.
    void DrawPicture(const DRAWITEMSTRUCT& item);

    SHelp* help_;
    HBITMAP picture_;
};

#endif
