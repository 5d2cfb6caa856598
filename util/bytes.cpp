// Byte helpers of the utility library: copy, fill and zero a run of bytes.
#include <cstring>

#include "util/orr.h"

int32_t OrrCopyBytes(const void* source, void* destination, int32_t count) {
    if (count <= 0) {
        return 0;
    }
    // Callers shift data inside their own buffers (a partly consumed receive buffer), so
    // the source and destination may overlap.
    std::memmove(destination, source, static_cast<size_t>(count));
    return count;
}

void OrrFillBytes(void* destination, int value, int32_t count) {
    if (count > 0) {
        std::memset(destination, value, static_cast<size_t>(count));
    }
}

void OrrZeroBytes(void* destination, int32_t count) {
    OrrFillBytes(destination, 0, count);
}
