// Winsock socket options and socket controls over the system's: setsockopt and getsockopt
// with Winsock's levels, option numbers, struct linger and error codes, and ioctlsocket
// (non-blocking mode, bytes waiting, urgent-data mark).
#include <cerrno>
#include <cstring>

#include "platform/posix/winsock_internal.h"

namespace {

// The Winsock options that are plain integers (booleans included) and the system option
// behind each.
bool IntegerOption(int level, int option, sysnet::SocketOption* out, bool* isBoolean) {
    *isBoolean = true;
    if (level == IPPROTO_TCP) {
        if (option != TCP_NODELAY) return false;
        *out = sysnet::SocketOption::TcpNoDelay;
        return true;
    }
    switch (option) {
        case SO_DEBUG: *out = sysnet::SocketOption::Debug; return true;
        case SO_ACCEPTCONN: *out = sysnet::SocketOption::AcceptConn; return true;
        case SO_REUSEADDR: *out = sysnet::SocketOption::ReuseAddr; return true;
        case SO_KEEPALIVE: *out = sysnet::SocketOption::KeepAlive; return true;
        case SO_DONTROUTE: *out = sysnet::SocketOption::DontRoute; return true;
        case SO_BROADCAST: *out = sysnet::SocketOption::Broadcast; return true;
        case SO_OOBINLINE: *out = sysnet::SocketOption::OobInline; return true;
        case SO_SNDBUF:
            *isBoolean = false;
            *out = sysnet::SocketOption::SendBuffer;
            return true;
        case SO_RCVBUF:
            *isBoolean = false;
            *out = sysnet::SocketOption::ReceiveBuffer;
            return true;
        default: return false;
    }
}

bool IsBufferSize(sysnet::SocketOption option) {
    return option == sysnet::SocketOption::SendBuffer ||
           option == sysnet::SocketOption::ReceiveBuffer;
}

int PutInteger(int value, char* out, int* length) {
    if (*length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
    std::memcpy(out, &value, sizeof value);
    *length = static_cast<int>(sizeof value);
    return 0;
}

int GetLingerOption(int fd, int option, char* value, int* length) {
    bool on;
    int seconds;
    if (sysnet::GetLinger(fd, &on, &seconds) == -1) return winsock::FailFromErrno(errno);
    if (option == SO_DONTLINGER) return PutInteger(on ? FALSE : TRUE, value, length);
    if (*length < static_cast<int>(sizeof(linger))) return winsock::Fail(WSAEFAULT);
    linger result;
    result.l_onoff = on ? 1 : 0;
    result.l_linger = static_cast<u_short>(seconds < 0 ? 0 : seconds > 0xffff ? 0xffff : seconds);
    std::memcpy(value, &result, sizeof result);
    *length = static_cast<int>(sizeof result);
    return 0;
}

int SetLingerOption(int fd, int option, const char* value, int length) {
    if (option == SO_DONTLINGER) {
        if (length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
        int dontLinger;
        std::memcpy(&dontLinger, value, sizeof dontLinger);
        bool on;
        int seconds;
        if (sysnet::GetLinger(fd, &on, &seconds) == -1) return winsock::FailFromErrno(errno);
        if (sysnet::SetLinger(fd, dontLinger == 0, seconds) == -1) {
            return winsock::FailFromErrno(errno);
        }
        return 0;
    }
    if (length < static_cast<int>(sizeof(linger))) return winsock::Fail(WSAEFAULT);
    linger wanted;
    std::memcpy(&wanted, value, sizeof wanted);
    if (sysnet::SetLinger(fd, wanted.l_onoff != 0, wanted.l_linger) == -1) {
        return winsock::FailFromErrno(errno);
    }
    return 0;
}

// Winsock's SIOCATMARK answers TRUE when no urgent data waits before the read position,
// FALSE while normal data that precedes the urgent mark is still unread.
int UrgentMark(int fd, u_long* argument) {
    sysnet::PollEntry entry;
    entry.fd = fd;
    entry.events = sysnet::kPollUrgent;
    if (sysnet::Poll(&entry, 1, 0) == -1) return winsock::FailFromErrno(errno);
    if ((entry.revents & sysnet::kPollInvalid) != 0) return winsock::Fail(WSAENOTSOCK);
    const bool urgentWaiting = (entry.revents & sysnet::kPollUrgent) != 0;
    int atMark = 0;
    if (urgentWaiting) {
        atMark = sysnet::AtUrgentMark(fd);
        if (atMark == -1) return winsock::FailFromErrno(errno);
    }
    *argument = (!urgentWaiting || atMark == 1) ? TRUE : FALSE;
    return 0;
}

}  // namespace

int WSAAPI setsockopt(SOCKET s, int level, int option, const char* value, int length) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (level != SOL_SOCKET && level != IPPROTO_TCP) return winsock::Fail(WSAEINVAL);
    if (value == nullptr) return winsock::Fail(WSAEFAULT);
    if (level == SOL_SOCKET && (option == SO_LINGER || option == SO_DONTLINGER)) {
        return SetLingerOption(fd, option, value, length);
    }
    sysnet::SocketOption systemOption;
    bool isBoolean;
    // SO_ACCEPTCONN, SO_ERROR and SO_TYPE can only be read.
    if (!IntegerOption(level, option, &systemOption, &isBoolean) ||
        (level == SOL_SOCKET && option == SO_ACCEPTCONN)) {
        return winsock::Fail(WSAENOPROTOOPT);
    }
    if (length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
    int number;
    std::memcpy(&number, value, sizeof number);
    if (isBoolean) number = number != 0 ? 1 : 0;
    if (sysnet::SetIntOption(fd, systemOption, number) == -1) {
        return winsock::FailFromErrno(errno);
    }
    return 0;
}

int WSAAPI getsockopt(SOCKET s, int level, int option, char* value, int* length) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (level != SOL_SOCKET && level != IPPROTO_TCP) return winsock::Fail(WSAEINVAL);
    if (value == nullptr || length == nullptr) return winsock::Fail(WSAEFAULT);
    if (level == SOL_SOCKET) {
        switch (option) {
            case SO_LINGER:
            case SO_DONTLINGER: return GetLingerOption(fd, option, value, length);
            case SO_ERROR: {
                if (*length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
                const int error = sysnet::TakePendingError(fd);
                if (error == -1) return winsock::FailFromErrno(errno);
                return PutInteger(error == 0 ? 0 : winsock::ErrorFromErrno(error), value, length);
            }
            case SO_TYPE: {
                if (*length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
                sysnet::SocketKind kind;
                if (sysnet::KindOf(fd, &kind) == -1) return winsock::FailFromErrno(errno);
                return PutInteger(kind == sysnet::SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM,
                                  value, length);
            }
            default: break;
        }
    }
    sysnet::SocketOption systemOption;
    bool isBoolean;
    if (!IntegerOption(level, option, &systemOption, &isBoolean)) {
        return winsock::Fail(WSAENOPROTOOPT);
    }
    if (*length < static_cast<int>(sizeof(int))) return winsock::Fail(WSAEFAULT);
    int number;
    if (sysnet::GetIntOption(fd, systemOption, &number) == -1) {
        return winsock::FailFromErrno(errno);
    }
    if (isBoolean) {
        number = number != 0 ? TRUE : FALSE;
    } else if (IsBufferSize(systemOption)) {
        // The system doubles a buffer size it is given, to allow for its own bookkeeping,
        // and reports the doubled figure; Winsock reports the size the program asked for.
        number /= 2;
    }
    return PutInteger(number, value, length);
}

int WSAAPI ioctlsocket(SOCKET s, long command, u_long* argument) {
    int fd;
    if (!winsock::DescriptorOf(s, &fd)) return SOCKET_ERROR;
    if (argument == nullptr) return winsock::Fail(WSAEFAULT);
    sysnet::SocketKind kind;
    if (sysnet::KindOf(fd, &kind) == -1) return winsock::FailFromErrno(errno);
    switch (command) {
        case FIONBIO:
            if (sysnet::SetNonBlocking(fd, *argument != 0) == -1) {
                return winsock::FailFromErrno(errno);
            }
            return 0;
        case FIONREAD: {
            int count = 0;
            if (sysnet::BytesReadable(fd, &count) == -1) return winsock::FailFromErrno(errno);
            *argument = static_cast<u_long>(count < 0 ? 0 : count);
            return 0;
        }
        case SIOCATMARK: return UrgentMark(fd, argument);
        default: return winsock::Fail(WSAEINVAL);
    }
}
