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
