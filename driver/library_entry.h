// The module as a loaded library: what happens when the platform attaches it to the host's
// process and detaches it again. Start-up runs once per process, at the first attach; the
// last detach undoes it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The reasons the platform's loader gives the library entry.
enum LibraryEntryReason : DWORD {
    ENTRY_PROCESS_DETACH = 0,
    ENTRY_PROCESS_ATTACH = 1,
    ENTRY_THREAD_ATTACH = 2,
    ENTRY_THREAD_DETACH = 3,
};

// The library entry: TRUE, or for a process attach the start-up result (FALSE refuses the
// load); FALSE for a reason it does not know.
BOOL LibraryEntry(HINSTANCE instance, DWORD reason);

// A process attach and detach of the library whose instance is given. The library's own
// entry calls these; so does a program that links the module's code into itself instead
// of loading it (the tests).
BOOL ModuleAttach(HINSTANCE instance);
BOOL ModuleDetach(HINSTANCE instance);

// The one-time start-up: settings file, PeekInterval, protocol window font, binary byte
// set, window classes; the resource module and the code-set library are named for their
// first use. TRUE when both window classes are available.
BOOL StartUp(HINSTANCE instance);

// The window classes the module registers.
constexpr const char* FILE_TYPE_DIALOG_CLASS = "FTP_FileTypeDialog";
