// The system's millisecond clock and the thread's sleep.
#include "platform/posix/win32.h"

#include <time.h>

#include <cerrno>

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count; the
// monotonic clock keeps it from jumping when the wall clock is set.
DWORD WINAPI GetTickCount() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t millis =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(millis);
}

void WINAPI Sleep(DWORD milliseconds) {
    struct timespec remaining;
    remaining.tv_sec = milliseconds / 1000;
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
