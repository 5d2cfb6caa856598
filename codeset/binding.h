// Binding the maker's code-set library at run time: bound, it converts text between the
// local Windows code set and the remote code set of the connections; missing (or lacking a
// function), the built-in fallbacks stand in and nothing is converted.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The code set that the contexts convert to and from until a connection names another.
constexpr LONG REMOTE_CODE_SET_INITIAL = 2;

// Binds the library found under `libraryName` (the usual library search for a bare name):
// its fifteen functions, an outgoing and an incoming context between the Windows code set
// and the initial remote code set, and the Windows code set's table record. 1 when bound;
// 0 when the fallbacks are in place instead.
int32_t BindCodeSetLibrary(const char* libraryName);

// Names the library that the first use of the code-set state (CodeSets) binds; null binds
// none. Start-up's way of binding.
void BindCodeSetLibraryOnFirstUse(const char* libraryName);

// Makes `codeSet` the remote code set of both contexts and turns conversion on. The
// contexts serve every connection, so the last connection to name a code set decides it
// for all of them.
void SetRemoteCodeSet(LONG codeSet);

// Destroys the two contexts and releases the library, if bound, and forgets a library
// named but not bound yet; the fallbacks then stand in again.
void UnbindCodeSetLibrary();
