// Owners of the module's memory blocks: a scratch block from OrrAlloc that is freed on every
// path, a global memory handle locked for as long as the guard lives, and a global memory
// block that is freed unless it is handed on; and a text copied into a global block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"
#include "util/orr.h"

// A zero-filled scratch block from OrrAlloc, freed on every path; get() is null when memory
// was short, and for a size of 0, which allocates nothing.
class ScratchBlock {
public:
    explicit ScratchBlock(uint32_t size)
        : block_(size == 0 ? nullptr : static_cast<char*>(OrrAlloc(size))) {}
    ~ScratchBlock() { OrrFree(block_); }
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;

    char* get() const { return block_; }

private:
    char* block_;
};

// Frees the global block in a slot, if any, and marks the slot empty.
inline void FreeGlobalSlot(HGLOBAL* slot) {
    if (*slot == nullptr) return;
    GlobalFree(*slot);
    *slot = nullptr;
}

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
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

private:
    HGLOBAL handle_;
    T* pointer_;
};

// A global memory block that is freed unless it is handed on (a handle of 0 holds nothing).
class GlobalBlock {
public:
    explicit GlobalBlock(HGLOBAL handle) : handle_(handle) {}
    ~GlobalBlock() { FreeGlobalSlot(&handle_); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL get() const { return handle_; }
    void reset(HGLOBAL handle) { handle_ = handle; }
    HGLOBAL Release() {
        HGLOBAL handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    HGLOBAL handle_;
};

// A moveable global block of `size` bytes (more than `length`) whose first bytes are the
// `length` bytes of `text` and a NUL; null when memory was short.
inline HGLOBAL CopyToGlobal(const char* text, size_t length, size_t size) {
    GlobalBlock block(GlobalAlloc(GMEM_MOVEABLE, size));
    LockedBlock target(block.get());
    if (!target) return nullptr;
    std::memcpy(target.get(), text, length);
    target.get()[length] = '\0';
    return block.Release();
}
