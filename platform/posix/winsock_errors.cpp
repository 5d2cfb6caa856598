// Winsock error codes on the POSIX platform: the thread's last socket error
// (WSAGetLastError) and the one table that turns the system's errno values and resolver
// results into Winsock codes.
#include <cerrno>
#include <climits>

#include "platform/posix/winsock_internal.h"

namespace {

thread_local int lastError = 0;

struct ErrnoToWinsock {
    int systemError;
    int winsockError;
};

constexpr ErrnoToWinsock kErrorTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},  // a handle that is no socket: Winsock names it "not a socket"
    {ENOTSOCK, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    // A non-blocking connect that has started: Windows says "would block" here; its
    // WSAEINPROGRESS means that another blocking call is running on the thread.
    {EINPROGRESS, WSAEWOULDBLOCK},
    {EALREADY, WSAEALREADY},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENONET, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    // A connection that died before accept took it.
    {EPROTO, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    // The system answers the first send after a reset with ECONNRESET and every later one
    // with EPIPE (also after the peer closed). Windows keeps answering WSAECONNRESET, and
    // the module sees a broken control or data connection the same way on every send. A
    // send after the module's own shutdown would be WSAESHUTDOWN on Windows, but the module
    // never sends on a socket it has shut down.
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};

}  // namespace

int WSAAPI WSAGetLastError() { return lastError; }

void WSAAPI WSASetLastError(int error) { lastError = error; }

namespace winsock {

int ErrorFromErrno(int systemError) {
    for (const ErrnoToWinsock& entry : kErrorTable) {
        if (entry.systemError == systemError) return entry.winsockError;
    }
    // Anything else is a failure of the system's network layer as far as the caller can
    // act on it.
    return WSAENETDOWN;
}

int ErrorFromLookup(const sysnet::LookupResult& result) {
    using Status = sysnet::LookupResult::Status;
    switch (result.status) {
        case Status::Found: return 0;
        case Status::NotFound: return WSAHOST_NOT_FOUND;
        case Status::TryAgain: return WSATRY_AGAIN;
        case Status::NoAddress: return WSANO_DATA;
        case Status::NoMemory: return WSAENOBUFS;
        case Status::System: return ErrorFromErrno(result.systemError);
        case Status::Failed: break;
    }
    return WSANO_RECOVERY;
}

int Fail(int winsockError) {
    WSASetLastError(winsockError);
    return SOCKET_ERROR;
}

int FailFromErrno(int systemError) { return Fail(ErrorFromErrno(systemError)); }

bool DescriptorOf(SOCKET s, int* fd) {
    if (s > static_cast<SOCKET>(INT_MAX)) {
        Fail(WSAENOTSOCK);
        return false;
    }
    *fd = static_cast<int>(s);
    return true;
}

}  // namespace winsock
