// The system's own sockets, poll and resolver behind plain types, for the Winsock layer of
// the POSIX platform. Only sys_net.cpp includes the system socket headers: their names
// (sockaddr, fd_set, select, hostent...) would clash with Winsock's in every other file.
// Each call is a thin wrapper: it returns -1 and leaves errno set on failure, as the system
// call does, and restarts a call that a signal interrupted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sysnet {

// An IPv4 address and port, both in network byte order.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

enum class SocketKind { Stream, Datagram };

enum class SocketOption {
    Debug,
    AcceptConn,
    ReuseAddr,
    KeepAlive,
    DontRoute,
    Broadcast,
    OobInline,
    SendBuffer,
    ReceiveBuffer,
    TcpNoDelay,
};

// Flags of Send and Receive.
enum : unsigned {
    kMessageUrgent = 0x1,
    kMessagePeek = 0x2,
    kMessageDontRoute = 0x4,
};

// Events of Poll.
enum : short {
    kPollRead = 0x01,
    kPollUrgent = 0x02,
    kPollWrite = 0x04,
    kPollError = 0x08,
    kPollHangUp = 0x10,
    kPollInvalid = 0x20,
};

// Enough for three full Winsock socket sets.
constexpr size_t kMaxPollEntries = 192;

struct PollEntry {
    int fd = -1;
    short events = 0;
    short revents = 0;
};

int OpenSocket(SocketKind kind);
// The kind of socket behind fd; fails with ENOTSOCK for any other descriptor.
int KindOf(int fd, SocketKind* kind);
int Close(int fd);
int Shutdown(int fd, int how);  // 0 receive, 1 send, 2 both
int Connect(int fd, const Endpoint& peer);
// Abandons a connection attempt in progress and leaves the socket unconnected.
int Disconnect(int fd);
int Bind(int fd, const Endpoint& local);
int Listen(int fd, int backlog);
int Accept(int fd, Endpoint* peer, bool nonBlocking);
int LocalName(int fd, Endpoint* local);
int PeerName(int fd, Endpoint* peer);

// Never raises SIGPIPE.
long Send(int fd, const void* data, size_t length, unsigned flags);
long Receive(int fd, void* data, size_t length, unsigned flags);

int SetNonBlocking(int fd, bool nonBlocking);
int IsNonBlocking(int fd);  // 1, 0 or -1
int BytesReadable(int fd, int* count);
int AtUrgentMark(int fd);  // 1, 0 or -1

int GetIntOption(int fd, SocketOption option, int* value);
int SetIntOption(int fd, SocketOption option, int value);
int GetLinger(int fd, bool* on, int* seconds);
int SetLinger(int fd, bool on, int seconds);
// The error waiting on the socket (0 when none), cleared by reading it; -1 on failure.
int TakePendingError(int fd);

// timeoutMs < 0 waits without limit. Returns the number of entries with events, 0 when
// the time ran out, -1 on failure.
int Poll(PollEntry* entries, size_t count, int timeoutMs);

struct LookupResult {
    enum class Status { Found, NotFound, TryAgain, Failed, NoAddress, NoMemory, System };
    Status status = Status::Failed;
    int systemError = 0;  // errno, for Status::System
    std::string canonicalName;
    std::vector<uint32_t> addresses;  // IPv4, network byte order, no duplicates
};

// Resolves a host name to its IPv4 addresses; blocks for as long as the resolver takes.
LookupResult LookupIpv4(const std::string& name);

int HostName(char* out, size_t size);

}  // namespace sysnet
