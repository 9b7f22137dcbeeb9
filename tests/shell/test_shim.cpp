// A library named like the socket shim, for the About box tests: it does
// nothing; its version resource is what the box reads.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
