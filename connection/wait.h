// Waiting for the network. Every retry of a socket call that would block goes through
// these helpers: they wait in select() for at most a short slice, so that an idle wait costs
// no processor time while the caller still gets to do its between-retries work (pumping
// messages, yielding) a few times a second.
#pragma once

#include <cstdint>

#include "connection/socket_guard.h"
#include "platform/platform.h"

// Long enough that waiting costs nothing, short enough that windows stay responsive.
constexpr DWORD WAIT_SLICE_MS = 50;

// Waits at most `milliseconds` until a receive on the socket would not block (bytes, the
// peer's close or an error are waiting). True when the socket is ready.
bool WaitReadable(SOCKET socket, DWORD milliseconds = WAIT_SLICE_MS);

// Waits at most `milliseconds` until a send on the socket would not block. True when ready.
bool WaitWritable(SOCKET socket, DWORD milliseconds = WAIT_SLICE_MS);

// Sends all `count` bytes on the non-blocking socket, a partial send continuing with the
// rest; a send that would block, or took nothing, waits a slice for the socket after
// `betweenRetries` has had its turn. The count; the socket failure; or the negative answer
// of `betweenRetries`, which stops the send. *sent counts what went, after a failure too.
template <typename BetweenRetries>
int32_t SendWhole(SOCKET socket, const char* bytes, int32_t count, int32_t* sent,
                  BetweenRetries betweenRetries) {
    for (*sent = 0; *sent < count;) {
        const int put = send(socket, bytes + *sent, count - *sent, 0);
        if (put > 0) {
            *sent += put;
            continue;
        }
        if (put == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return SocketFailure();
        if (const int32_t stop = betweenRetries(); stop < 0) return stop;
        WaitWritable(socket);
    }
    return count;
}

// The work between two receives of a reply that has not arrived yet: wait a slice for the
// control socket, then dispatch every waiting message of the thread.
void WaitForReplyBytes(SOCKET socket);

// The work between two accepts that would block: wait a slice for the server's connection
// on the listening socket, then count one pass of YieldTick for the window, so that its
// messages keep flowing while the server takes its time.
void WaitForDataConnection(SOCKET listener, HWND window);

// How a non-blocking connect stands after a wait.
enum class ConnectProgress { Connected, Failed, Pending };

// Waits a slice for a pending non-blocking connect to end: Connected once the socket can
// send, Failed when the connect failed (or the socket cannot be watched). While it is still
// pending, one message of the window with the keyboard focus is dispatched before the
// answer, so a long connect keeps the host alive.
ConnectProgress WaitForConnect(SOCKET socket);

// The pause before a bind refused with address-in-use is tried again: a slice of waiting,
// then one pass of YieldTick for the window.
void WaitBeforeBindRetry(HWND window);
