#include "browser/program_file_win32.h"

#include <stdio.h>

#include <string>

#include "res/resource.h"
#include "res/strings.h"

void ErrorBox(HWND owner, int message_id, const char* first, const char* second, uint32_t code) {
    std::string error = ErrorText(code);
    const char* format = AppString(message_id);
    char text[1024];
    if (second)
        snprintf(text, sizeof text, format, first, second, error.c_str());
    else
        snprintf(text, sizeof text, format, first, error.c_str());
    MessageBoxA(owner, text, AppString(IDS_ERROR_CAPTION), MB_OK | MB_ICONHAND);
}

AExe* OpenProgramFile(HWND owner, const char* name) {
    Coff* coff = Coff::Open(name, true);
    if (coff->Error() == 0) return coff;
    uint32_t coff_error = coff->Error();
    delete coff;
    Nef* nef = Nef::Open(name, true);
    if (nef->Error() == 0) return nef;
    uint32_t nef_error = nef->Error();
    delete nef;
    ErrorBox(owner, IDS_CANNOT_OPEN_COFF, name, 0, coff_error);
    ErrorBox(owner, IDS_CANNOT_OPEN_NE, name, 0, nef_error);
    return 0;
}
