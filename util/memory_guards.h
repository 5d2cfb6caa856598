// Guards for the module's memory blocks: a scratch block from OrrAlloc that is freed on every
// path, and a global memory handle locked for as long as the guard lives.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "util/orr.h"

// A zero-filled scratch block from OrrAlloc, freed on every path; get() is null when memory
// was short.
class ScratchBlock {
public:
    explicit ScratchBlock(uint32_t size) : block_(static_cast<char*>(OrrAlloc(size))) {}
    ~ScratchBlock() { OrrFree(block_); }
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;

    char* get() const { return block_; }

private:
    char* block_;
};

// A global memory handle locked for as long as the guard lives; a handle of 0 (or one that
// cannot be locked) gives null.
template <typename T = char>
class LockedBlock {
public:
    explicit LockedBlock(HGLOBAL handle)
        : handle_(handle),
          pointer_(handle == nullptr ? nullptr : static_cast<T*>(GlobalLock(handle))) {}
    ~LockedBlock() {
        if (pointer_ != nullptr) GlobalUnlock(handle_);
    }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    T* get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    HGLOBAL handle_;
    T* pointer_;
};
