// The owners of a socket: a guard that closes it on every path unless it is released (the
// data sockets and the control sockets of addresses tried while they are being set up),
// and the slot of a record that holds a socket or INVALID_SOCKET.
#pragma once

#include "platform/platform.h"

class SocketGuard {
public:
    explicit SocketGuard(SOCKET socket) : socket_(socket) {}
    ~SocketGuard() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    SOCKET get() const { return socket_; }
    SOCKET Release() {
        SOCKET socket = socket_;
        socket_ = INVALID_SOCKET;
        return socket;
    }

private:
    SOCKET socket_;
};

// Closes the socket in a slot, if any, and marks the slot empty.
inline void CloseSlot(SOCKET* slot) {
    if (*slot == INVALID_SOCKET) return;
    closesocket(*slot);
    *slot = INVALID_SOCKET;
}

