// What the platform knows about loaded libraries beyond the dynamic loader: whether a
// handle names a loaded library, and the string tables and dialog templates registered for
// one.
#pragma once

#include "platform/posix/win32.h"

#include <vector>

namespace tvplatform {

// Whether `handle` is the handle of a loaded library or of the program.
bool IsLoadedModule(const void* handle);

// The handle of the program itself, which a null instance stands for.
HMODULE MainProgramModule();

// Drops the string tables and dialog templates of a library that has been unloaded.
void ForgetModuleTables(HINSTANCE instance);

// Drops the resource handles (FindResourceA) given out for a library's resources.
void ForgetModuleResources(HINSTANCE instance);

// The string-table bundle `bundle` of an instance (ids (bundle - 1) * 16 to bundle * 16 - 1)
// laid out as Windows keeps it: for each of the 16 ids a WORD length and that many UTF-16
// code units. False when the instance has none of those strings.
bool StringBundle(HINSTANCE instance, WORD bundle, std::vector<BYTE>& out);

}  // namespace tvplatform
