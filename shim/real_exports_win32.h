// The shim's exports as two pointers each: the real library's function,
// and where the shim's export jumps (the real function, or a hook that
// watches the call and then makes it).
#ifndef SKEIND_SHIM_REAL_EXPORTS_WIN32_H
#define SKEIND_SHIM_REAL_EXPORTS_WIN32_H

extern "C" {
#define SHIM_EXPORT(name, ordinal) \
    extern void* real_##name;      \
    extern void* jump_##name;
#include "shim/wsock32_exports.h"
#undef SHIM_EXPORT
}

// Points the watched exports at their hooks (shim/hooks_win32.cpp). Called
// once the real library's functions are known; false when the shim's own
// state could not be made, and then nothing is hooked.
bool InstallHooks();

#endif
