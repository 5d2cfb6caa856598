// POSIX-only entry points of the platform, with no Windows counterpart: what a host, a
// test or a generated resource table uses to stand where Windows' own machinery stands
// (the resource loader, the person in front of a message box). Module code never calls
// these; it uses the Win32 calls, which consult them.
#pragma once

#include "platform/posix/win32.h"

// C names, so that a host written in any language can find them with dlsym.
extern "C" {

// The module handle of the loaded library (or program) that contains `address`: the same
// handle LoadLibraryA and GetModuleHandleA give for that library. A library finds its own
// instance with TvModuleInstanceOf(reinterpret_cast<const void*>(&SomeFunctionOfIt)).
HINSTANCE TvModuleInstanceOf(const void* address);

// String tables. A table generated from a resource script registers its texts for the
// instance of the library it is linked into; LoadStringA then finds them by instance and
// id. Registering again for the same instance adds to (and overrides) what is there. The
// texts are copied. The tables of a library go when FreeLibrary unloads it.
struct TvStringTableEntry {
    UINT id;
    const char* text;
};
BOOL TvRegisterStringTable(HINSTANCE instance, const TvStringTableEntry* entries, size_t count);
void TvUnregisterStringTables(HINSTANCE instance);

// Message boxes. Without a hook MessageBoxA answers at once with the button a person who
// dismisses the box would choose: IDOK for a box with only OK, IDCANCEL where there is a
// Cancel button, IDNO for Yes/No and IDABORT for Abort/Retry/Ignore. A hook answers in
// their place (it returns an ID* value). The previous hook is returned; null removes it.
typedef int (*TvMessageBoxHook)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
TvMessageBoxHook TvSetMessageBoxHook(TvMessageBoxHook hook);

}  // extern "C"
