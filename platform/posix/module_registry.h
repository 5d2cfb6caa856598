// What the platform knows about loaded libraries beyond the dynamic loader: whether a
// handle names a loaded library, and the string tables registered for one.
#pragma once

#include "platform/posix/win32.h"

namespace tvplatform {

// Whether `handle` is the handle of a loaded library or of the program.
bool IsLoadedModule(const void* handle);

// The handle of the program itself, which a null instance stands for.
HMODULE MainProgramModule();

// Drops the string tables of a library that has been unloaded.
void ForgetModuleTables(HINSTANCE instance);

}  // namespace tvplatform
