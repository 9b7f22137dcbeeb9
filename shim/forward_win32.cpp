// qmrsk32.dll's forwarding: every export of the system socket library is
// a jump through a pointer, to the same export of the real library (loaded
// from the system folder by its full path so that the shim can never load
// itself) or to a hook that watches the call and makes it. The jump leaves
// the caller's arguments and return address as they are, whatever the
// calling convention.
#include <windows.h>

#include "shim/real_exports_win32.h"

extern "C" {
#define SHIM_EXPORT(name, ordinal)               \
    __attribute__((used)) void* real_##name = 0; \
    __attribute__((used)) void* jump_##name = 0;
#include "shim/wsock32_exports.h"
#undef SHIM_EXPORT
}

#if defined(__x86_64__)
#define SHIM_JUMP(name) "jmp *jump_" #name "(%rip)"
#elif defined(__i386__)
#define SHIM_JUMP(name) "jmp *_jump_" #name
#else
#error "the shim's jumps are written for x86 only"
#endif

extern "C" {
#define SHIM_EXPORT(name, ordinal)                  \
    __attribute__((naked)) void shim_##name(void) { \
        __asm__(SHIM_JUMP(name));                   \
    }
#include "shim/wsock32_exports.h"
#undef SHIM_EXPORT
}

namespace {

HMODULE g_real = 0;

// Loads the real library and takes every export's address. A missing
// export keeps a null pointer: calling it faults as calling a missing
// import would have kept the program from starting.
bool LoadRealLibrary() {
    char path[MAX_PATH + 16];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    lstrcatA(path, "\\wsock32.dll");
    g_real = LoadLibraryA(path);
    if (!g_real) return false;
#define SHIM_EXPORT(name, ordinal) jump_##name = real_##name = (void*)GetProcAddress(g_real, #name);
#include "shim/wsock32_exports.h"
#undef SHIM_EXPORT
    return true;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    // A shim without its hooks still forwards every call: the browser runs
    // as it would without the shim, unwatched.
    if (reason == DLL_PROCESS_ATTACH) {
        if (!LoadRealLibrary()) return FALSE;
        InstallHooks();
    }
    // Nothing is torn down at detach: at the process's end other threads
    // may have died holding the shim's lock.
    return TRUE;
}
