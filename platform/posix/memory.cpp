// Global and local memory with real handles: the one heap of memory blocks that the host
// and the module hand each other. Moveable blocks are reached through a handle and a lock
// count, fixed blocks through their own address; the local calls use the same heap, as
// they do on Win32.
//
// Handles of moveable blocks are addresses inside a reserved, inaccessible range of the
// address space: no data pointer can ever equal one, and code that mistakes a handle for
// a pointer faults at once instead of scribbling over the heap. A fixed block's handle is
// its data pointer, as on Windows, so GlobalLock of it returns the handle itself.
#include "platform/posix/win32.h"
#include "platform/posix/hooks.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

constexpr UINT kGmemDiscarded = 0x4000;
constexpr unsigned kMaxLockCount = 0xFF;
// Handles step by 8 from an offset of 4, so a handle never looks like an aligned pointer.
constexpr uintptr_t kHandleStride = 8;
constexpr uintptr_t kHandleOffset = 4;
constexpr size_t kHandleRangeBytes = size_t{16} << 20;

struct MemoryBlock {
    char* data = nullptr;  // null while a moveable block is discarded
    SIZE_T size = 0;
    bool moveable = false;
    bool discardable = false;
    unsigned lockCount = 0;
};

// The bytes a block holds: none while it is discarded.
SIZE_T HeldBytes(const MemoryBlock& block) { return block.data == nullptr ? 0 : block.size; }

class HandleHeap {
public:
    std::mutex mutex;
    // What TvQueryGlobalMemory reports; kept by the exported calls that add, resize and
    // free blocks.
    SIZE_T liveBlocks = 0;
    SIZE_T liveBytes = 0;
    SIZE_T peakBytes = 0;

    void Account(SIZE_T bytesGone, SIZE_T bytesAdded) {
        liveBytes = liveBytes - bytesGone + bytesAdded;
        if (liveBytes > peakBytes) peakBytes = liveBytes;
    }

    MemoryBlock* Find(HGLOBAL handle) {
        auto found = blocks_.find(reinterpret_cast<uintptr_t>(handle));
        return found == blocks_.end() ? nullptr : &found->second;
    }

    HGLOBAL HandleOfData(const void* data) {
        auto found = handleOfData_.find(data);
        return found == handleOfData_.end() ? nullptr : found->second;
    }

    // Adds a block; for a fixed block the handle is its data pointer.
    HGLOBAL Insert(const MemoryBlock& block) {
        uintptr_t key;
        if (block.moveable) {
            key = NextMoveableHandle();
            if (key == 0) return nullptr;
        } else {
            key = reinterpret_cast<uintptr_t>(block.data);
        }
        blocks_[key] = block;
        HGLOBAL handle = reinterpret_cast<HGLOBAL>(key);
        if (block.data != nullptr) handleOfData_[block.data] = handle;
        return handle;
    }

    void Remove(HGLOBAL handle) {
        auto found = blocks_.find(reinterpret_cast<uintptr_t>(handle));
        if (found == blocks_.end()) return;
        if (found->second.data != nullptr) handleOfData_.erase(found->second.data);
        blocks_.erase(found);
    }

    // Records that a block's data now lives at another address.
    void MoveData(HGLOBAL handle, MemoryBlock& block, char* newData) {
        if (block.data != nullptr) handleOfData_.erase(block.data);
        block.data = newData;
        if (newData != nullptr) handleOfData_[newData] = handle;
    }

private:
    // Hands out handles in rising order and only then reuses freed ones, so that a stale
    // handle kept after GlobalFree is reported as invalid for as long as possible.
    uintptr_t NextMoveableHandle() {
        if (rangeBase_ == 0) {
            void* range = mmap(nullptr, kHandleRangeBytes, PROT_NONE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (range == MAP_FAILED) return 0;
            rangeBase_ = reinterpret_cast<uintptr_t>(range);
        }
        const uintptr_t slots = kHandleRangeBytes / kHandleStride;
        for (uintptr_t tried = 0; tried < slots; ++tried) {
            uintptr_t candidate = rangeBase_ + nextSlot_ * kHandleStride + kHandleOffset;
            nextSlot_ = (nextSlot_ + 1) % slots;
            if (blocks_.find(candidate) == blocks_.end()) return candidate;
        }
        return 0;
    }

    std::unordered_map<uintptr_t, MemoryBlock> blocks_;
    std::unordered_map<const void*, HGLOBAL> handleOfData_;
    uintptr_t rangeBase_ = 0;
    uintptr_t nextSlot_ = 0;
};

HandleHeap& Heap() {
    // Never destroyed: blocks may still be freed by other libraries' static destructors.
    static HandleHeap* heap = new HandleHeap;
    return *heap;
}

// malloc(0) may return null; every block owns at least one byte so that its data pointer
// is unique.
char* AllocateData(SIZE_T bytes, bool zero) {
    SIZE_T real = bytes == 0 ? 1 : bytes;
    void* data = zero ? std::calloc(real, 1) : std::malloc(real);
    return static_cast<char*>(data);
}

HGLOBAL InvalidHandle() {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

// Growing or shrinking a block. A block may change address only when it is moveable and
// unlocked, or when the caller allows it with GMEM_MOVEABLE; otherwise growing fails, as
// Windows fails when it cannot grow a block in place. The result is the block's handle,
// which changes only for a fixed block that moved.
HGLOBAL Resize(HandleHeap& heap, HGLOBAL handle, MemoryBlock& block, SIZE_T bytes, UINT flags) {
    const bool mayMove = (block.moveable && block.lockCount == 0) || (flags & GMEM_MOVEABLE);
    if (block.moveable && bytes == 0 && block.lockCount == 0) {
        // An unlocked moveable block reallocated to nothing is discarded; its handle stays.
        char* oldData = block.data;
        heap.MoveData(handle, block, nullptr);
        std::free(oldData);
        block.size = 0;
        return handle;
    }
    if (block.data != nullptr && bytes <= block.size) {
        block.size = bytes;
        return handle;
    }
    if (!mayMove && block.data != nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // Always a fresh address: a caller that kept a pointer across the move sees the fault
    // under the sanitizers instead of silently reading the old copy.
    char* newData = AllocateData(bytes, false);
    if (newData == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SIZE_T kept = block.data == nullptr ? 0 : block.size;
    if (kept > 0) std::memcpy(newData, block.data, kept);
    if (flags & GMEM_ZEROINIT) std::memset(newData + kept, 0, bytes - kept);
    char* oldData = block.data;
    block.size = bytes;
    if (block.moveable) {
        heap.MoveData(handle, block, newData);
        std::free(oldData);
        return handle;
    }
    MemoryBlock moved = block;
    moved.data = newData;
    heap.Remove(handle);
    std::free(oldData);
    return heap.Insert(moved);
}

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    MemoryBlock block;
    block.moveable = (flags & GMEM_MOVEABLE) != 0;
    block.discardable = (flags & GMEM_DISCARDABLE) != 0;
    block.size = bytes;
    // A moveable block of no bytes starts out discarded, as on Windows: its handle is
    // valid but locking it gives no pointer until it is reallocated.
    if (!(block.moveable && bytes == 0)) {
        block.data = AllocateData(bytes, (flags & GMEM_ZEROINIT) != 0);
        if (block.data == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
    }
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    HGLOBAL handle = heap.Insert(block);
    if (handle == nullptr) {
        std::free(block.data);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ++heap.liveBlocks;
    heap.Account(0, HeldBytes(block));
    return handle;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) return InvalidHandle();
    if (flags & GMEM_MODIFY) {
        // Only the discardable attribute is changed in place; turning a fixed block into
        // a moveable one is not something the module does.
        if (block->moveable) block->discardable = (flags & GMEM_DISCARDABLE) != 0;
        return mem;
    }
    const SIZE_T heldBefore = HeldBytes(*block);
    HGLOBAL resized = Resize(heap, mem, *block, bytes, flags);
    // A fixed block that moved has a new handle; a failed resize leaves the block as it was.
    if (MemoryBlock* after = heap.Find(resized != nullptr ? resized : mem); after != nullptr) {
        heap.Account(heldBefore, HeldBytes(*after));
    }
    return resized;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
    if (mem == nullptr) return nullptr;
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return mem;
    }
    char* data = block->data;
    --heap.liveBlocks;
    heap.Account(HeldBytes(*block), 0);
    heap.Remove(mem);
    std::free(data);
    return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL mem) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) return InvalidHandle();
    if (block->data == nullptr) return nullptr;  // discarded: no pointer, no lock
    if (block->moveable && block->lockCount < kMaxLockCount) ++block->lockCount;
    return block->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL mem) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!block->moveable) return TRUE;
    if (block->lockCount == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    --block->lockCount;
    if (block->lockCount == 0) {
        SetLastError(ERROR_SUCCESS);
        return FALSE;
    }
    return TRUE;
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pointer) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    HGLOBAL handle = heap.HandleOfData(pointer);
    if (handle == nullptr) return InvalidHandle();
    return handle;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->data == nullptr ? 0 : block->size;
}

UINT WINAPI GlobalFlags(HGLOBAL mem) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    MemoryBlock* block = heap.Find(mem);
    if (block == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return GMEM_INVALID_HANDLE;
    }
    UINT flags = block->lockCount & GMEM_LOCKCOUNT;
    if (block->discardable) flags |= GMEM_DISCARDABLE;
    if (block->moveable && block->data == nullptr) flags |= kGmemDiscarded;
    return flags;
}

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); }
HLOCAL WINAPI LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags) {
    return GlobalReAlloc(mem, bytes, flags);
}
HLOCAL WINAPI LocalFree(HLOCAL mem) { return GlobalFree(mem); }
LPVOID WINAPI LocalLock(HLOCAL mem) { return GlobalLock(mem); }
BOOL WINAPI LocalUnlock(HLOCAL mem) { return GlobalUnlock(mem); }
HLOCAL WINAPI LocalHandle(LPCVOID pointer) { return GlobalHandle(pointer); }
SIZE_T WINAPI LocalSize(HLOCAL mem) { return GlobalSize(mem); }

void TvQueryGlobalMemory(TvGlobalMemoryUsage* usage, BOOL restartPeak) {
    HandleHeap& heap = Heap();
    std::lock_guard<std::mutex> guard(heap.mutex);
    usage->liveBlocks = heap.liveBlocks;
    usage->liveBytes = heap.liveBytes;
    usage->peakBytes = heap.peakBytes;
    if (restartPeak) heap.peakBytes = heap.liveBytes;
}
