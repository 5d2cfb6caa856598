// The owners of a socket: a guard that closes it on every path unless it is released (the
// data sockets and the control sockets of addresses tried while they are being set up),
// and the slot of a record that holds a socket or INVALID_SOCKET; and the FsError of a
// failed socket call.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "records/tarvoftp.h"

// The socket call that just failed, as an FsError (10000 minus its Winsock error).
inline int32_t SocketFailure() { return FsErrorFromSocket(WSAGetLastError()); }

// Turns a socket option on: false when the socket refused it.
inline bool SetSocketOption(SOCKET socket, int option) {
    const int on = 1;
    return setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&on),
                      sizeof on) != SOCKET_ERROR;
}

// Makes the socket non-blocking: false when the socket refused.
inline bool MakeNonBlocking(SOCKET socket) {
    u_long nonBlocking = 1;
    return ioctlsocket(socket, FIONBIO, &nonBlocking) != SOCKET_ERROR;
}

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

// Closes the socket in a slot, if any, and marks the slot empty: false when the platform's
// close failed.
inline bool CloseSlot(SOCKET* slot) {
    if (*slot == INVALID_SOCKET) return true;
    const int closed = closesocket(*slot);
    *slot = INVALID_SOCKET;
    return closed == 0;
}

