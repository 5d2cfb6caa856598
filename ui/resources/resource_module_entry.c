/* The entry point of QUENTL32.DLL, which holds only resources: every attach and detach
   succeeds, and there is no C runtime to start. */
#include <windows.h>

BOOL WINAPI ResourceModuleEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
