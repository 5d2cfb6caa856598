// The local write step of a copy: a piece written to the local file, counted in the total
// and reported to the host.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// Writes `count` bytes to the local file with _lwrite (a count of 0 writes nothing), adds
// the count to the total and tells the host the new total. The count; FSE_LOCAL_WRITE when
// the write failed; FSE_LOCAL_SHORT_WRITE when the file took fewer bytes (the disk is
// full); or the host's negative answer to the total.
int32_t WriteLocalBlock(HFILE file, const char* bytes, int32_t count, CopyContext* context);
