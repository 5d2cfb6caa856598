// The operations the module takes from the maker's utility library: memory blocks, byte
// and string helpers, tokens, settings, the resource module, network readiness and host
// name resolution. Everything the module uses of that library is declared here.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// A zero-filled block of `size` bytes from locked moveable global memory (its handle is
// GlobalHandle of the pointer), or null when memory is short.
void* OrrAlloc(uint32_t size);
// Frees a block from OrrAlloc; null is ignored.
void OrrFree(void* block);

// Copies count bytes from source to destination; returns count.
int32_t OrrCopyBytes(const void* source, void* destination, int32_t count);
void OrrFillBytes(void* destination, int value, int32_t count);
void OrrZeroBytes(void* destination, int32_t count);
