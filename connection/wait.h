// Waiting for the network. Every retry of a socket call that would block goes through
// these helpers: they wait in select() for at most a short slice, so that an idle wait costs
// no processor time while the caller still gets to do its between-retries work (pumping
// messages, yielding) a few times a second.
#pragma once

#include "platform/platform.h"

// Long enough that waiting costs nothing, short enough that windows stay responsive.
constexpr DWORD WAIT_SLICE_MS = 50;

// Waits at most `milliseconds` until a receive on the socket would not block (bytes, the
// peer's close or an error are waiting). True when the socket is ready.
bool WaitReadable(SOCKET socket, DWORD milliseconds = WAIT_SLICE_MS);

// Waits at most `milliseconds` until a send on the socket would not block. True when ready.
bool WaitWritable(SOCKET socket, DWORD milliseconds = WAIT_SLICE_MS);

// The work between two receives of a reply that has not arrived yet: wait a slice for the
// control socket, then dispatch every waiting message of the thread.
void WaitForReplyBytes(SOCKET socket);
