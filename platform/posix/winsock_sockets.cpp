// Winsock sockets over the system's: creating and closing them, binding, listening,
// accepting, connecting (a blocking connect runs the blocking hook while it waits),
// addresses of both ends, and sending and receiving, normal and urgent data. A SOCKET is the
// system's descriptor.
#include <cerrno>
#include <climits>
#include <mutex>
#include <unordered_set>

#include "platform/posix/winsock_internal.h"

namespace {

std::mutex pendingMutex;
std::unordered_set<int> pendingConnects;

// Puts a socket that a blocking connect made non-blocking back as it was, on every path.
class BlockingModeRestorer {
public:
    explicit BlockingModeRestorer(int fd) : fd_(fd) {}
    ~BlockingModeRestorer() { sysnet::SetNonBlocking(fd_, false); }
    BlockingModeRestorer(const BlockingModeRestorer&) = delete;
    BlockingModeRestorer& operator=(const BlockingModeRestorer&) = delete;

private:
    int fd_;
};

bool IsSocket(int fd) {
    sysnet::SocketKind kind;
    if (sysnet::KindOf(fd, &kind) == -1) {
        winsock::FailFromErrno(errno);
        return false;
    }
    return true;
}

// The connect of a socket the caller left blocking: the system does it without blocking
// while this thread waits in slices and runs the blocking hook between them. A cancel from
// the hook abandons the attempt, so the socket is left unconnected, and fails with WSAEINTR.
int BlockingConnect(int fd, const sysnet::Endpoint& peer) {
    winsock::BlockingCall call;
    if (!call.Started()) return SOCKET_ERROR;
    if (sysnet::SetNonBlocking(fd, true) == -1) return winsock::FailFromErrno(errno);
    const BlockingModeRestorer restorer(fd);
    if (sysnet::Connect(fd, peer) == 0) return 0;
    if (errno != EINPROGRESS) return winsock::FailFromErrno(errno);
    for (;;) {
        sysnet::PollEntry entry;
        entry.fd = fd;
        entry.events = sysnet::kPollWrite;
        const int ready = sysnet::Poll(&entry, 1, winsock::kBlockingSliceMs);
        if (ready == -1) {
            const int error = errno;
            sysnet::Disconnect(fd);
            return winsock::FailFromErrno(error);
        }
        if (ready > 0) {
            const int error = sysnet::TakePendingError(fd);
            if (error == -1) return winsock::FailFromErrno(errno);
            return error == 0 ? 0 : winsock::FailFromErrno(error);
        }
        if (call.RunHook()) {
            sysnet::Disconnect(fd);
            // Abandoning the attempt leaves an error on the socket; the caller must not
            // find it there later.
            sysnet::TakePendingError(fd);
            return winsock::Fail(WSAEINTR);
        }
    }
}

bool MessageFlags(int flags, int allowed, unsigned* out) {
    if ((flags & ~allowed) != 0) {
        winsock::Fail(WSAEOPNOTSUPP);
        return false;
    }
    *out = ((flags & MSG_OOB) ? sysnet::kMessageUrgent : 0u) |
           ((flags & MSG_PEEK) ? sysnet::kMessagePeek : 0u) |
           ((flags & MSG_DONTROUTE) ? sysnet::kMessageDontRoute : 0u);
    return true;
}

}  // namespace

namespace winsock {

void NoteConnectPending(int fd) {
    const std::lock_guard<std::mutex> lock(pendingMutex);
    try {
        pendingConnects.insert(fd);
    } catch (...) {
        // Without the note a failed connect shows as writable instead of as an exception;
        // the caller still learns of the failure from its next send or receive.
    }
}

void ForgetConnect(int fd) {
    const std::lock_guard<std::mutex> lock(pendingMutex);
    pendingConnects.erase(fd);
}

bool IsConnectPending(int fd) {
    const std::lock_guard<std::mutex> lock(pendingMutex);
    return pendingConnects.count(fd) != 0;
}

}  // namespace winsock

SOCKET WSAAPI socket(int family, int type, int protocol) {
    if (family != AF_INET) {
        winsock::Fail(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    sysnet::SocketKind kind;
    if (type == SOCK_STREAM && (protocol == 0 || protocol == IPPROTO_TCP)) {
        kind = sysnet::SocketKind::Stream;
    } else if (type == SOCK_DGRAM && (protocol == 0 || protocol == IPPROTO_UDP)) {
        kind = sysnet::SocketKind::Datagram;
    } else {
        winsock::Fail(type == SOCK_STREAM || type == SOCK_DGRAM ? WSAEPROTONOSUPPORT
                                                                : WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    const int fd = sysnet::OpenSocket(kind);
    if (fd == -1) {
        winsock::FailFromErrno(errno);
        return INVALID_SOCKET;
    }
    winsock::ForgetConnect(fd);
    return static_cast<SOCKET>(fd);
}

int WSAAPI closesocket(SOCKET s) {
    int fd;
    // Only a socket is closed: a stale handle whose number now belongs to a file stays open.
    if (!winsock::DescriptorOf(s, &fd) || !IsSocket(fd)) return SOCKET_ERROR;
    winsock::ForgetConnect(fd);
    if (sysnet::Close(fd) == -1) return winsock::FailFromErrno(errno);
    return 0;
}

int WSAAPI shutdown(SOCKET s, int how) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (how != SD_RECEIVE && how != SD_SEND && how != SD_BOTH) return winsock::Fail(WSAEINVAL);
    if (sysnet::Shutdown(fd, how) == -1) return winsock::FailFromErrno(errno);
    return 0;
}

int WSAAPI connect(SOCKET s, const struct sockaddr* address, int length) {
    int fd;
    sysnet::Endpoint peer;
    if (!winsock::DescriptorOf(s, &fd) || !winsock::EndpointFromAddress(address, length, &peer)) {
        return SOCKET_ERROR;
    }
    const int nonBlocking = sysnet::IsNonBlocking(fd);
    if (nonBlocking == -1) return winsock::FailFromErrno(errno);
    if (nonBlocking == 0) {
        winsock::ForgetConnect(fd);
        return BlockingConnect(fd, peer);
    }
    if (sysnet::Connect(fd, peer) == 0) {
        winsock::ForgetConnect(fd);
        return 0;
    }
    const int error = errno;
    if (error == EINPROGRESS) {
        winsock::NoteConnectPending(fd);
    } else if (error != EALREADY) {
        winsock::ForgetConnect(fd);
    }
    return winsock::FailFromErrno(error);
}

int WSAAPI bind(SOCKET s, const struct sockaddr* address, int length) {
    int fd;
    sysnet::Endpoint local;
    if (!winsock::DescriptorOf(s, &fd) || !winsock::EndpointFromAddress(address, length, &local)) {
        return SOCKET_ERROR;
    }
    if (sysnet::Bind(fd, local) == -1) return winsock::FailFromErrno(errno);
    return 0;
}

int WSAAPI listen(SOCKET s, int backlog) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (sysnet::Listen(fd, backlog) == -1) return winsock::FailFromErrno(errno);
    return 0;
}

SOCKET WSAAPI accept(SOCKET s, struct sockaddr* address, int* length) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd) || !winsock::AddressBufferFits(address, length)) {
        return INVALID_SOCKET;
    }
    // The accepted socket takes the listening socket's blocking mode, as on Windows.
    const int nonBlocking = sysnet::IsNonBlocking(fd);
    if (nonBlocking == -1) {
        winsock::FailFromErrno(errno);
        return INVALID_SOCKET;
    }
    sysnet::Endpoint peer;
    const int accepted = sysnet::Accept(fd, &peer, nonBlocking == 1);
    if (accepted == -1) {
        winsock::FailFromErrno(errno);
        return INVALID_SOCKET;
    }
    winsock::ForgetConnect(accepted);
    winsock::AddressFromEndpoint(peer, address, length);
    return static_cast<SOCKET>(accepted);
}

int WSAAPI getsockname(SOCKET s, struct sockaddr* address, int* length) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (address == nullptr || !winsock::AddressBufferFits(address, length)) {
        return winsock::Fail(WSAEFAULT);
    }
    sysnet::Endpoint local;
    if (sysnet::LocalName(fd, &local) == -1) return winsock::FailFromErrno(errno);
    winsock::AddressFromEndpoint(local, address, length);
    return 0;
}

int WSAAPI getpeername(SOCKET s, struct sockaddr* address, int* length) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (address == nullptr || !winsock::AddressBufferFits(address, length)) {
        return winsock::Fail(WSAEFAULT);
    }
    sysnet::Endpoint peer;
    if (sysnet::PeerName(fd, &peer) == -1) return winsock::FailFromErrno(errno);
    winsock::AddressFromEndpoint(peer, address, length);
    return 0;
}

int WSAAPI send(SOCKET s, const char* buffer, int length, int flags) {
    int fd;
    unsigned systemFlags;
    if (!winsock::DescriptorOf(s, &fd) ||
        !MessageFlags(flags, MSG_OOB | MSG_DONTROUTE, &systemFlags)) {
        return SOCKET_ERROR;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) return winsock::Fail(WSAEFAULT);
    const long sent = sysnet::Send(fd, buffer, static_cast<size_t>(length), systemFlags);
    if (sent == -1) return winsock::FailFromErrno(errno);
    return static_cast<int>(sent);
}

int WSAAPI recv(SOCKET s, char* buffer, int length, int flags) {
    int fd;
    unsigned systemFlags;
    if (!winsock::DescriptorOf(s, &fd) || !MessageFlags(flags, MSG_OOB | MSG_PEEK, &systemFlags)) {
        return SOCKET_ERROR;
    }
    if (length < 0 || (buffer == nullptr && length > 0)) return winsock::Fail(WSAEFAULT);
    const long received = sysnet::Receive(fd, buffer, static_cast<size_t>(length), systemFlags);
    if (received == -1) return winsock::FailFromErrno(errno);
    return static_cast<int>(received);
}
