// The blocks of a copy on its data connection: filling the copy record's input buffer from
// the server, and sending a piece to it whole. Both wait for the socket without spinning
// and give the host its turn every PeekInterval retries.
#pragma once

#include <cstdint>

#include "records/tarvoftp.h"

// Empties the input buffer, then receives into it until it holds its size or the server
// ends the data. The input count (0 at the end of the data), FSE_STOPPED when the host asked
// to stop while the server kept it waiting, or the socket failure. When the host stops or
// the wait for more ends (SocketWait::Slice) after some bytes came, they are the count, and
// the next fill gives that end. The copy that stops
// resets the data connection itself: it owns the socket and must do it once.
int32_t FillInput(SOCKET data, CopyContext* context);

// Sends all `count` bytes, a partial send continuing with the rest, then adds them to the
// total and tells the host the new total. The count; FSE_STOPPED when the host asked to
// stop while the socket would not take more; the socket failure; or the host's negative
// answer to the total. Whatever was sent counts in the total, after a failure too.
int32_t SendAll(SOCKET data, const char* bytes, int32_t count, CopyContext* context);
