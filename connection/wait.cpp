// The bounded waits on sockets that replace busy retry loops.
#include "connection/wait.h"

#include "connection/message_pump.h"

namespace {

bool WaitReady(SOCKET socket, bool forWriting, DWORD milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval timeout{static_cast<long>(milliseconds / 1000),
                    static_cast<long>((milliseconds % 1000) * 1000)};
    int ready = select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr,
                       &timeout);
    if (ready == SOCKET_ERROR) {
        // select() refused the socket; the caller's retry reports the real error. Sleep
        // the slice so that a caller that keeps retrying does not spin.
        Sleep(milliseconds);
        return false;
    }
    return ready > 0;
}

}  // namespace

bool WaitReadable(SOCKET socket, DWORD milliseconds) {
    return WaitReady(socket, false, milliseconds);
}

bool WaitWritable(SOCKET socket, DWORD milliseconds) {
    return WaitReady(socket, true, milliseconds);
}

void WaitForReplyBytes(SOCKET socket) {
    WaitReadable(socket);
    DispatchThreadMessages();
}

void WaitForDataConnection(SOCKET listener, HWND window) {
    // A listening socket reads as ready when a connection waits to be accepted.
    WaitReadable(listener);
    YieldTick(window);
}

ConnectProgress WaitForConnect(SOCKET socket) {
    fd_set writeSet;
    fd_set exceptSet;
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(socket, &writeSet);
    FD_SET(socket, &exceptSet);
    timeval timeout{0, static_cast<long>(WAIT_SLICE_MS * 1000)};
    int ready = select(0, nullptr, &writeSet, &exceptSet, &timeout);
    // A failed connect shows in the exception set; a socket select() refuses will never
    // connect either.
    if (ready == SOCKET_ERROR || FD_ISSET(socket, &exceptSet)) return ConnectProgress::Failed;
    if (FD_ISSET(socket, &writeSet)) return ConnectProgress::Connected;
    PumpOneMessage();
    return ConnectProgress::Pending;
}

void WaitBeforeBindRetry(HWND window) {
    Sleep(WAIT_SLICE_MS);
    YieldTick(window);
}
