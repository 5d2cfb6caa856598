// The calling thread's last-error code, which every failing kernel and user call sets.
#include "platform/posix/win32.h"

namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError() { return tLastError; }

void WINAPI SetLastError(DWORD code) { tLastError = code; }
