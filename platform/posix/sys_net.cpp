// The system's sockets, poll and resolver behind the plain types of sys_net.h. This is the
// one source of the platform that includes the system socket headers.
#include "platform/posix/sys_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>

namespace sysnet {
namespace {

sockaddr_in ToSystem(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = endpoint.port;
    address.sin_addr.s_addr = endpoint.address;
    return address;
}

Endpoint FromSystem(const sockaddr_storage& storage) {
    Endpoint endpoint;
    if (storage.ss_family == AF_INET) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(&storage);
        endpoint.address = address->sin_addr.s_addr;
        endpoint.port = address->sin_port;
    }
    return endpoint;
}

struct OptionName {
    int level;
    int name;
};

OptionName SystemOption(SocketOption option) {
    switch (option) {
        case SocketOption::Debug: return {SOL_SOCKET, SO_DEBUG};
        case SocketOption::AcceptConn: return {SOL_SOCKET, SO_ACCEPTCONN};
        case SocketOption::ReuseAddr: return {SOL_SOCKET, SO_REUSEADDR};
        case SocketOption::KeepAlive: return {SOL_SOCKET, SO_KEEPALIVE};
        case SocketOption::DontRoute: return {SOL_SOCKET, SO_DONTROUTE};
        case SocketOption::Broadcast: return {SOL_SOCKET, SO_BROADCAST};
        case SocketOption::OobInline: return {SOL_SOCKET, SO_OOBINLINE};
        case SocketOption::SendBuffer: return {SOL_SOCKET, SO_SNDBUF};
        case SocketOption::ReceiveBuffer: return {SOL_SOCKET, SO_RCVBUF};
        case SocketOption::TcpNoDelay: return {IPPROTO_TCP, TCP_NODELAY};
    }
    return {SOL_SOCKET, -1};
}

int SystemMessageFlags(unsigned flags) {
    int result = MSG_NOSIGNAL;
    if (flags & kMessageUrgent) result |= MSG_OOB;
    if (flags & kMessagePeek) result |= MSG_PEEK;
    if (flags & kMessageDontRoute) result |= MSG_DONTROUTE;
    return result;
}

template <typename Call>
auto Restarting(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

}  // namespace

int OpenSocket(SocketKind kind) {
    const int type = kind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM;
    return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

int KindOf(int fd, SocketKind* kind) {
    int type = 0;
    socklen_t length = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == -1) return -1;
    *kind = type == SOCK_DGRAM ? SocketKind::Datagram : SocketKind::Stream;
    return 0;
}

int Close(int fd) {
    // Linux releases the descriptor even when close is interrupted; never retry it.
    if (::close(fd) == -1 && errno != EINTR) return -1;
    return 0;
}

int Shutdown(int fd, int how) {
    const int systemHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    return ::shutdown(fd, systemHow);
}

int Connect(int fd, const Endpoint& peer) {
    const sockaddr_in address = ToSystem(peer);
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int Disconnect(int fd) {
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    return ::connect(fd, &unspecified, sizeof unspecified);
}

int Bind(int fd, const Endpoint& local) {
    const sockaddr_in address = ToSystem(local);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

int Listen(int fd, int backlog) { return ::listen(fd, backlog); }

int Accept(int fd, Endpoint* peer, bool nonBlocking) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    const int flags = SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0);
    const int accepted = Restarting(
        [&] { return ::accept4(fd, reinterpret_cast<sockaddr*>(&storage), &length, flags); });
    if (accepted != -1 && peer != nullptr) *peer = FromSystem(storage);
    return accepted;
}

int LocalName(int fd, Endpoint* local) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) == -1) return -1;
    *local = FromSystem(storage);
    return 0;
}

int PeerName(int fd, Endpoint* peer) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length) == -1) return -1;
    *peer = FromSystem(storage);
    return 0;
}

long Send(int fd, const void* data, size_t length, unsigned flags) {
    const int systemFlags = SystemMessageFlags(flags);
    return Restarting([&] { return ::send(fd, data, length, systemFlags); });
}

long Receive(int fd, void* data, size_t length, unsigned flags) {
    const int systemFlags = SystemMessageFlags(flags) & ~MSG_NOSIGNAL;
    return Restarting([&] { return ::recv(fd, data, length, systemFlags); });
}

int SetNonBlocking(int fd, bool nonBlocking) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1) return -1;
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags ? 0 : ::fcntl(fd, F_SETFL, wanted);
}

int IsNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1) return -1;
    return (flags & O_NONBLOCK) != 0 ? 1 : 0;
}

int BytesReadable(int fd, int* count) { return ::ioctl(fd, FIONREAD, count); }

int AtUrgentMark(int fd) { return ::sockatmark(fd); }

int GetIntOption(int fd, SocketOption option, int* value) {
    const OptionName name = SystemOption(option);
    socklen_t length = sizeof *value;
    *value = 0;
    return ::getsockopt(fd, name.level, name.name, value, &length);
}

int SetIntOption(int fd, SocketOption option, int value) {
    const OptionName name = SystemOption(option);
    return ::setsockopt(fd, name.level, name.name, &value, sizeof value);
}

int GetLinger(int fd, bool* on, int* seconds) {
    ::linger value{};
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_LINGER, &value, &length) == -1) return -1;
    *on = value.l_onoff != 0;
    *seconds = value.l_linger;
    return 0;
}

int SetLinger(int fd, bool on, int seconds) {
    const ::linger value{on ? 1 : 0, seconds};
    return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

int TakePendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == -1) return -1;
    return error;
}

int Poll(PollEntry* entries, size_t count, int timeoutMs) {
    if (count > kMaxPollEntries) {
        errno = EINVAL;
        return -1;
    }
    pollfd fds[kMaxPollEntries] = {};
    for (size_t i = 0; i < count; ++i) {
        fds[i].fd = entries[i].fd;
        fds[i].events = static_cast<short>(((entries[i].events & kPollRead) ? POLLIN : 0) |
                                           ((entries[i].events & kPollUrgent) ? POLLPRI : 0) |
                                           ((entries[i].events & kPollWrite) ? POLLOUT : 0));
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int remaining = timeoutMs;
    int ready;
    // A signal must not end the wait early: wait again for the time that is left.
    while ((ready = ::poll(fds, count, remaining)) == -1 && errno == EINTR) {
        if (timeoutMs < 0) continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        remaining = static_cast<int>(std::max<long long>(left.count(), 0));
    }
    if (ready == -1) return -1;
    for (size_t i = 0; i < count; ++i) {
        const short got = fds[i].revents;
        entries[i].revents = static_cast<short>(
            ((got & POLLIN) ? kPollRead : 0) | ((got & POLLPRI) ? kPollUrgent : 0) |
            ((got & POLLOUT) ? kPollWrite : 0) | ((got & POLLERR) ? kPollError : 0) |
            ((got & POLLHUP) ? kPollHangUp : 0) | ((got & POLLNVAL) ? kPollInvalid : 0));
    }
    return ready;
}

LookupResult LookupIpv4(const std::string& name) {
    LookupResult result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> release(found, ::freeaddrinfo);
    switch (status) {
        case 0: break;
        case EAI_NONAME: result.status = LookupResult::Status::NotFound; return result;
        case EAI_AGAIN: result.status = LookupResult::Status::TryAgain; return result;
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
#endif
            result.status = LookupResult::Status::NoAddress;
            return result;
        case EAI_MEMORY: result.status = LookupResult::Status::NoMemory; return result;
        case EAI_SYSTEM:
            result.status = LookupResult::Status::System;
            result.systemError = errno;
            return result;
        default: result.status = LookupResult::Status::Failed; return result;
    }
    if (found != nullptr && found->ai_canonname != nullptr) {
        result.canonicalName = found->ai_canonname;
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        const uint32_t address =
            reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        if (std::find(result.addresses.begin(), result.addresses.end(), address) ==
            result.addresses.end()) {
            result.addresses.push_back(address);
        }
    }
    result.status =
        result.addresses.empty() ? LookupResult::Status::NoAddress : LookupResult::Status::Found;
    return result;
}

int HostName(char* out, size_t size) { return ::gethostname(out, size); }

}  // namespace sysnet
