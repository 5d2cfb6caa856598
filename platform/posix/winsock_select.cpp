// Winsock's select over its fd_sets of sockets (a count and an array of handles), waiting
// with the system's poll, so that a set holds any socket whatever its descriptor number.
// The sets come back holding only the ready sockets, as Winsock rewrites them:
// - read: data or an end of the connection waits, or a listening socket has a connection
//   to accept;
// - write: data can be sent, or a non-blocking connect has succeeded;
// - exception: urgent data waits (unless it is read inline), or a non-blocking connect has
//   failed.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/posix/winsock_internal.h"

namespace {

struct Watched {
    int fd = -1;
    bool inRead = false;
    bool inWrite = false;
    bool inExcept = false;
    bool connectPending = false;
    // Ready in a sense that no set of this call asks for: left out of further waits.
    bool ignored = false;
    bool readable = false;
    bool writable = false;
    bool exception = false;

    bool Ready() const {
        return (inRead && readable) || (inWrite && writable) || (inExcept && exception);
    }
    short Events() const {
        // Completion of a connect shows as writability, whichever set asked.
        return static_cast<short>((inRead ? sysnet::kPollRead : 0) |
                                  (inWrite || connectPending ? sysnet::kPollWrite : 0) |
                                  (inExcept ? sysnet::kPollUrgent : 0));
    }
};

enum class SetKind { Read, Write, Except };

// Adds each socket of the set once to the watch list and marks the set it is in.
bool Collect(const fd_set* set, SetKind kind, Watched* watched, size_t* count) {
    if (set == nullptr) return true;
    if (set->fd_count > FD_SETSIZE) {
        winsock::Fail(WSAEINVAL);
        return false;
    }
    for (u_int i = 0; i < set->fd_count; ++i) {
        int fd;
        if (!winsock::DescriptorOf(set->fd_array[i], &fd)) return false;
        size_t at = 0;
        while (at < *count && watched[at].fd != fd) ++at;
        if (at == *count) {
            watched[at] = Watched{};
            watched[at].fd = fd;
            watched[at].connectPending = winsock::IsConnectPending(fd);
            ++*count;
        }
        (kind == SetKind::Read    ? watched[at].inRead
         : kind == SetKind::Write ? watched[at].inWrite
                                  : watched[at].inExcept) = true;
    }
    return true;
}

bool UrgentReadInline(int fd) {
    int inlineFlag = 0;
    return sysnet::GetIntOption(fd, sysnet::SocketOption::OobInline, &inlineFlag) == 0 &&
           inlineFlag != 0;
}

// Turns what poll reported for one socket into Winsock's three kinds of readiness.
void Classify(Watched* watched, short got) {
    watched->readable = watched->writable = watched->exception = false;
    const bool broken = (got & (sysnet::kPollError | sysnet::kPollHangUp)) != 0;
    if (watched->connectPending) {
        if (broken) {
            // A socket that connected and broke at once still has a peer address.
            sysnet::Endpoint peer;
            if (sysnet::PeerName(watched->fd, &peer) != 0) {
                watched->exception = true;
                return;
            }
        } else if ((got & sysnet::kPollWrite) == 0) {
            return;  // still connecting
        }
        watched->connectPending = false;
        winsock::ForgetConnect(watched->fd);
    }
    watched->readable = (got & sysnet::kPollRead) != 0 || broken;
    watched->writable = (got & sysnet::kPollWrite) != 0;
    if ((got & sysnet::kPollUrgent) != 0) {
        // Urgent data read inline is ordinary data to read.
        (UrgentReadInline(watched->fd) ? watched->readable : watched->exception) = true;
    }
}

// Keeps in the set only the sockets that are ready in its sense; returns how many.
int Rewrite(fd_set* set, SetKind kind, const Watched* watched, size_t count) {
    if (set == nullptr) return 0;
    u_int kept = 0;
    for (u_int i = 0; i < set->fd_count; ++i) {
        for (size_t w = 0; w < count; ++w) {
            if (static_cast<SOCKET>(watched[w].fd) != set->fd_array[i]) continue;
            const bool ready = kind == SetKind::Read    ? watched[w].readable
                               : kind == SetKind::Write ? watched[w].writable
                                                        : watched[w].exception;
            if (ready) set->fd_array[kept++] = set->fd_array[i];
            break;
        }
    }
    set->fd_count = kept;
    return static_cast<int>(kept);
}

// Milliseconds to wait, -1 without limit; false for a time-out Winsock does not accept.
bool TimeoutMs(const struct timeval* timeout, int* ms) {
    if (timeout == nullptr) {
        *ms = -1;
        return true;
    }
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return false;
    // Rounded up, so that a wait of a few microseconds does not become a busy poll.
    const long long total = static_cast<long long>(timeout->tv_sec) * 1000 +
                            (static_cast<long long>(timeout->tv_usec) + 999) / 1000;
    *ms = total > INT_MAX ? INT_MAX : static_cast<int>(total);
    return true;
}

}  // namespace

int WSAAPI __WSAFDIsSet(SOCKET s, fd_set* set) {
    if (set == nullptr) return 0;
    for (u_int i = 0; i < set->fd_count && i < FD_SETSIZE; ++i) {
        if (set->fd_array[i] == s) return 1;
    }
    return 0;
}

void WsFdSetAdd(SOCKET s, fd_set* set) {
    if (set->fd_count >= FD_SETSIZE || __WSAFDIsSet(s, set)) return;
    set->fd_array[set->fd_count++] = s;
}

void WsFdSetRemove(SOCKET s, fd_set* set) {
    u_int kept = 0;
    for (u_int i = 0; i < set->fd_count && i < FD_SETSIZE; ++i) {
        if (set->fd_array[i] != s) set->fd_array[kept++] = set->fd_array[i];
    }
    set->fd_count = kept;
}

int WSAAPI WsSelect(int, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                    const struct timeval* timeout) {
    int timeoutMs;
    if (!TimeoutMs(timeout, &timeoutMs)) return winsock::Fail(WSAEINVAL);

    Watched watched[sysnet::kMaxPollEntries];
    size_t count = 0;
    if (!Collect(readSet, SetKind::Read, watched, &count) ||
        !Collect(writeSet, SetKind::Write, watched, &count) ||
        !Collect(exceptSet, SetKind::Except, watched, &count)) {
        return SOCKET_ERROR;
    }
    // Winsock has no select without sockets; it is not a way to sleep.
    if (count == 0) return winsock::Fail(WSAEINVAL);

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int waitMs = timeoutMs;
    for (;;) {
        sysnet::PollEntry entries[sysnet::kMaxPollEntries];
        size_t polled[sysnet::kMaxPollEntries];
        size_t used = 0;
        for (size_t i = 0; i < count; ++i) {
            if (watched[i].ignored) continue;
            entries[used].fd = watched[i].fd;
            entries[used].events = watched[i].Events();
            polled[used++] = i;
        }
        // With every socket left out (each broken in a way no set asks about) this only
        // waits out the time, as nothing can become ready.
        const int fired = sysnet::Poll(entries, used, waitMs);
        if (fired == -1) return winsock::FailFromErrno(errno);
        bool anyReady = false;
        for (size_t e = 0; e < used; ++e) {
            if ((entries[e].revents & sysnet::kPollInvalid) != 0) return winsock::Fail(WSAENOTSOCK);
            Watched& socket = watched[polled[e]];
            Classify(&socket, entries[e].revents);
            anyReady = anyReady || socket.Ready();
        }
        if (fired == 0 || anyReady) break;
        // Something happened that none of the sets asks about (a connect finished, or a
        // connection broke where only urgent data is awaited): wait on for the time left
        // without the sockets that would wake the wait at once again.
        for (size_t e = 0; e < used; ++e) {
            Watched& socket = watched[polled[e]];
            if (entries[e].revents != 0 && socket.Events() == entries[e].events) {
                socket.ignored = true;
            }
            socket.readable = socket.writable = socket.exception = false;
        }
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            waitMs = static_cast<int>(left.count());
        }
    }
    return Rewrite(readSet, SetKind::Read, watched, count) +
           Rewrite(writeSet, SetKind::Write, watched, count) +
           Rewrite(exceptSet, SetKind::Except, watched, count);
}
