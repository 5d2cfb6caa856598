// The host's name lists as file information reads them: the file-system layer library
// VAULT32 is bound at run time for the time of one call, and its two name-list functions
// give the names of a locked list one by one.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"
#include "util/memory_guards.h"

// The host's file-system layer library, found by the usual library search.
constexpr const char* NAME_LIST_LIBRARY_NAME = "VAULT32.DLL";

// Where file information looks for the library; tests point it elsewhere.
extern const char* gNameListLibraryName;

// VAULT32's name-list functions, bound by name.
typedef LPSTR(WINAPI* LockNameListNameFn)(LPVOID lockedList, UINT index);
typedef BOOL(WINAPI* UnlockNameListNameFn)(LPVOID lockedList);

// A host name list (a memory handle whose first 16-bit value counts its names), locked for
// as long as this object lives, with the library bound that hands out its names.
class HostNameList {
public:
    explicit HostNameList(HGLOBAL nameList);
    ~HostNameList();
    HostNameList(const HostNameList&) = delete;
    HostNameList& operator=(const HostNameList&) = delete;

    // 0 when the names can be read; FSE_NOT_SUPPORTED when the library or one of its two
    // functions cannot be found; FSE_INVALID when the handle gives no block.
    int32_t status() const { return status_; }
    uint16_t count() const { return count_; }

    // The name at `index`, handed out until Release(); null when the library has none.
    const char* Name(uint16_t index);
    void Release();

private:
    HMODULE library_ = nullptr;
    LockNameListNameFn lockName_ = nullptr;
    UnlockNameListNameFn unlockName_ = nullptr;
    LockedBlock<void> block_;
    uint16_t count_ = 0;
    int32_t status_ = 0;
};
