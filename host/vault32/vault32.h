// VAULT32, the host's file-system layer library, as far as name lists go: a name list is a
// block of moveable global memory that holds names of files the host chose (say, the
// selection of a file window) for a driver to work through. Hosts make and free name lists;
// drivers lock the block and get its names one by one.
//
// Layout of a name list block (offsets in bytes, little-endian):
//
//   0        16-bit  number of names, n
//   2        16-bit  names now handed out by LockNameListName and not yet released
//   4        32-bit  n offsets, one per name: where its text starts, from the block's start
//   4 + 4n           the names, each NUL-terminated, in the order of the list
//
// The first 16-bit value is all a driver reads directly; everything else is reached through
// the functions below.
#pragma once

#include <cstdint>

#include "platform/platform.h"

#if defined(_WIN32)
// The Windows build exports through vault32.def, by undecorated name.
#define VAULT_API
#else
#define VAULT_API __attribute__((visibility("default")))
#endif

// Where the offsets of a name list block start, and its fixed part.
constexpr uint32_t NAME_LIST_OFFSETS = 4;
constexpr uint32_t NAME_LIST_MAX_NAMES = 0xFFFF;

extern "C" {

// Makes a name list of `count` names (null names count as empty ones): the handle of a new
// moveable block the caller owns, or null when memory is short.
VAULT_API HGLOBAL WINAPI CreateNameList(const LPCSTR* names, UINT count);

// Frees a name list made by CreateNameList. TRUE, or FALSE (nothing freed) while one of its
// names is still handed out or the handle is not a block.
VAULT_API BOOL WINAPI FreeNameList(HGLOBAL nameList);

// The name at `index` (counting from 0) of the locked name list `lockedList` (what
// GlobalLock gave for its handle): its NUL-terminated text, which stays valid until the
// matching UnlockNameListName. Null for an index outside the list or a damaged block.
VAULT_API LPSTR WINAPI LockNameListName(LPVOID lockedList, UINT index);

// Releases the name handed out last by LockNameListName for this list. FALSE when none is
// handed out.
VAULT_API BOOL WINAPI UnlockNameListName(LPVOID lockedList);

}  // extern "C"
