// The check's display mark from this thread and the current time.
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "store/check.h"

uint32_t CheckMarkNow() {
    struct timeval now;
    gettimeofday(&now, 0);
    struct tm local;
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
#ifdef SYS_gettid
    uint32_t thread = (uint32_t)syscall(SYS_gettid);
#else
    uint32_t thread = (uint32_t)getpid();
#endif
    return thread * 65536u + (uint32_t)local.tm_sec * 1024u + (uint32_t)(now.tv_usec / 1000);
}
