// The bounded waits on sockets that replace busy retry loops.
#include "connection/wait.h"

#include "connection/control_stream.h"
#include "connection/message_pump.h"
#include "records/module_state.h"

namespace {

constexpr DWORD kMillisecondsPerSecond = 1000;

timeval SliceTimeval(DWORD milliseconds) {
    return timeval{static_cast<long>(milliseconds / kMillisecondsPerSecond),
                   static_cast<long>((milliseconds % kMillisecondsPerSecond) * 1000)};
}


// The control streams of the data connections open now, and how a wait on each ended. A
// handful of transfers at once is what a host runs; should more be open, the oldest entry
// goes and that transfer's waits are bounded by the time-out alone.
struct WatchedTransfer {
    SOCKET data = INVALID_SOCKET;
    ControlStream* control = nullptr;
    int32_t ended = 0;
};
constexpr int kWatchedTransfers = 8;
WatchedTransfer gWatched[kWatchedTransfers];
int gNextWatched = 0;

WatchedTransfer* WatchedEntryOf(SOCKET data) {
    for (WatchedTransfer& entry : gWatched) {
        if (entry.data == data) return &entry;
    }
    return nullptr;
}


}  // namespace

bool WaitReadable(SOCKET socket, DWORD milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval timeout = SliceTimeval(milliseconds);
    const int ready = select(0, &set, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) {
        // select() refused the socket; the caller's retry reports the real error. Sleep
        // the slice so that a caller that keeps retrying does not spin.
        Sleep(milliseconds);
        return false;
    }
    return ready > 0;
}

WaitLimit::WaitLimit() : start_(GetTickCount()) {}

void WaitLimit::Progress() { start_ = GetTickCount(); }

int32_t WaitLimit::Check() const {
    if (gModule.idleCallback != nullptr && gModule.idleCallback() == -1) return FSE_CANCELLED;
    const DWORD limit = static_cast<DWORD>(gModule.timeoutSeconds) * kMillisecondsPerSecond;
    // Unsigned difference: right across the tick counter's wrap too.
    if (limit != 0 && GetTickCount() - start_ >= limit) return FSE_TIMED_OUT;
    return 0;
}

void WatchControlOf(SOCKET data, ControlStream* control) {
    if (WatchedTransfer* entry = WatchedEntryOf(data); entry != nullptr) {
        *entry = WatchedTransfer{data, control, 0};
        return;
    }
    gWatched[gNextWatched] = WatchedTransfer{data, control, 0};
    gNextWatched = (gNextWatched + 1) % kWatchedTransfers;
}

void ForgetControl(const ControlStream* control) {
    for (WatchedTransfer& entry : gWatched) {
        if (entry.control == control) entry.control = nullptr;
    }
}

SocketWait::SocketWait(SOCKET socket, ControlStream* control, WaitOn on)
    : socket_(socket), control_(control), on_(on) {}

SocketWait::SocketWait(SOCKET data) : socket_(data), on_(WaitOn::Data) {
    WatchedTransfer* watched = WatchedEntryOf(data);
    if (watched == nullptr) return;
    control_ = watched->control;
    ended_ = watched->ended;
    // The host's stop ends one wait only: a drain after it goes on receiving.
    if (ended_ == FSE_STOPPED) watched->ended = 0;
}

int32_t SocketWait::WatchControl() {
    unsigned char first;
    if (control_->buffered > 0) {
        first = static_cast<unsigned char>(*control_->cursor);
    } else {
        char peeked;
        const int got = recv(control_->socket, &peeked, 1, MSG_PEEK);
        if (got == 0) return FSE_CONNECTION_BROKEN;
        if (got == SOCKET_ERROR) {
            return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : FSE_CONNECTION_BROKEN;
        }
        first = static_cast<unsigned char>(peeked);
    }
    // The reply's first byte as the server sent it: with a remote code set whose digits
    // are not ASCII's a class-4 reply goes unseen here, and the wait ends by its time-out.
    if (first == '4') return FSE_CONNECTION_BROKEN;
    controlSettled_ = true;
    return 0;
}

int32_t SocketWait::Slice(bool forWriting) {
    if (ended_ < 0) return ended_;
    const int32_t ended = WaitSlice(forWriting);
    // Remembered, so that a caller that hands on the bytes it has before the failure meets
    // it again at once when it waits for more.
    return ended < 0 && on_ == WaitOn::Data ? End(ended) : ended;
}

int32_t SocketWait::End(int32_t failure) {
    ended_ = failure;
    if (WatchedTransfer* entry = WatchedEntryOf(socket_); entry != nullptr) entry->ended = failure;
    return failure;
}

int32_t SocketWait::WaitSlice(bool forWriting) {
    const bool watching = on_ != WaitOn::Control && control_ != nullptr &&
                          control_->socket != INVALID_SOCKET && !controlSettled_;
    // Bytes the stream holds already never make the socket ready again.
    if (watching && control_->buffered > 0) {
        if (const int32_t ended = WatchControl(); ended < 0) return ended;
    }
    fd_set readSet;
    fd_set writeSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_SET(socket_, forWriting ? &writeSet : &readSet);
    if (watching && !controlSettled_) FD_SET(control_->socket, &readSet);
    timeval timeout = SliceTimeval(WAIT_SLICE_MS);
    const int ready = select(0, &readSet, &writeSet, nullptr, &timeout);
    if (ready == SOCKET_ERROR) {
        // As in WaitReadable: the retry reports the real error; no spinning meanwhile.
        Sleep(WAIT_SLICE_MS);
    } else if (watching && FD_ISSET(control_->socket, &readSet) &&
               !FD_ISSET(socket_, forWriting ? &writeSet : &readSet)) {
        // Only while the data connection itself has nothing: a completion reply may
        // overtake the last data, which is still to be read.
        if (const int32_t ended = WatchControl(); ended < 0) return ended;
    }
    const int32_t over = Check();
    if (over < 0 && control_ != nullptr && control_->socket != INVALID_SOCKET &&
        (over == FSE_TIMED_OUT || on_ != WaitOn::Data)) {
        ControlStreamClose(control_);
    }
    return over;
}

ConnectProgress WaitForConnect(SOCKET socket) {
    fd_set writeSet;
    fd_set exceptSet;
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(socket, &writeSet);
    FD_SET(socket, &exceptSet);
    timeval timeout = SliceTimeval(WAIT_SLICE_MS);
    int ready = select(0, nullptr, &writeSet, &exceptSet, &timeout);
    // A failed connect shows in the exception set; a socket select() refuses will never
    // connect either.
    if (ready == SOCKET_ERROR || FD_ISSET(socket, &exceptSet)) return ConnectProgress::Failed;
    if (FD_ISSET(socket, &writeSet)) return ConnectProgress::Connected;
    PumpOneMessage();
    return ConnectProgress::Pending;
}

int32_t ConnectWithin(SOCKET socket, const sockaddr_in& address) {
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
        SOCKET_ERROR) {
        return 0;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return SocketFailure();
    const WaitLimit limit;
    for (;;) {
        switch (WaitForConnect(socket)) {
            case ConnectProgress::Connected: return 0;
            case ConnectProgress::Failed: {
                int error = 0;
                int length = sizeof error;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                               &length) == SOCKET_ERROR ||
                    error == 0) {
                    return FSE_FAILED;
                }
                return FsErrorFromSocket(error);
            }
            case ConnectProgress::Pending:
                if (const int32_t over = limit.Check(); over < 0) return over;
                break;
        }
    }
}

int32_t WaitBeforeBindRetry(HWND window, const WaitLimit& limit) {
    Sleep(WAIT_SLICE_MS);
    YieldTick(window);
    return limit.Check();
}
