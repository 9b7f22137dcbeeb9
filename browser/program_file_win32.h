// Opening a program file for the renaming with the user told what went
// wrong, and the error boxes of browser set-up. Windows only.
#ifndef SKEIND_BROWSER_PROGRAM_FILE_WIN32_H
#define SKEIND_BROWSER_PROGRAM_FILE_WIN32_H

#include <windows.h>

#include <stdint.h>

#include "browser/exe_file.h"

// Message `message_id` formatted with `first` and, when not null,
// `second`, followed by the error text of `code`; stop icon, caption
// "Skeindle" (string 256).
void ErrorBox(HWND owner, int message_id, const char* first, const char* second, uint32_t code);

// The file opened read-write as PE/COFF, else as NE; when it is neither,
// both failures are shown (messages 100 and 101) and none is returned.
AExe* OpenProgramFile(HWND owner, const char* name);

#endif
