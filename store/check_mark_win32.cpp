// The check's display mark from this thread and the current time.
#include <windows.h>

#include "store/check.h"

uint32_t CheckMarkNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return (uint32_t)GetCurrentThreadId() * 65536u + (uint32_t)now.wSecond * 1024u +
           (uint32_t)now.wMilliseconds;
}
