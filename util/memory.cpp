// Memory blocks of the utility library: the module's own records and buffers live in
// locked moveable global memory, so that a caller can resize one through its handle.
#include "util/orr.h"

void* OrrAlloc(uint32_t size) {
    // A moveable block of 0 bytes would be allocated discarded and could not be locked;
    // every caller wants something it can write to, so such a request gets one byte.
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size == 0 ? 1 : size);
    if (handle == nullptr) {
        return nullptr;
    }
    void* block = GlobalLock(handle);
    if (block == nullptr) {
        GlobalFree(handle);
    }
    return block;
}

void OrrFree(void* block) {
    if (block == nullptr) {
        return;
    }
    HGLOBAL handle = GlobalHandle(block);
    if (handle == nullptr) {
        return;
    }
    GlobalUnlock(handle);
    GlobalFree(handle);
}
