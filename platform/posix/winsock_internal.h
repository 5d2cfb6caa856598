// What the sources of the POSIX Winsock share among themselves: the error translation, the
// socket-handle checks, the record of connects in progress, the blocking-call machinery and
// the replaceable host lookup. Not part of the platform that the module sees.
#pragma once

#include <string>

#include "platform/posix/sys_net.h"
#include "platform/posix/winsock.h"

namespace winsock {

// The Winsock error code for a system errno value.
int ErrorFromErrno(int systemError);

// The Winsock error code for a failed host lookup.
int ErrorFromLookup(const sysnet::LookupResult& result);

// Sets the Winsock error and returns SOCKET_ERROR, for the one-line failure paths.
int Fail(int winsockError);
int FailFromErrno(int systemError);

// The descriptor behind a SOCKET; false (and WSAENOTSOCK set) for a value that cannot be one.
bool DescriptorOf(SOCKET s, int* fd);

// Sockets whose non-blocking connect has been started and not yet seen to succeed. select
// needs them to tell a failed connect (exception set) from a connected socket that broke.
void NoteConnectPending(int fd);
void ForgetConnect(int fd);
bool IsConnectPending(int fd);

// Winsock addresses to and from the system's. false: the address is not usable (the
// Winsock error is set). An address buffer is checked before the call that fills it, so
// that a call with a buffer too small does nothing.
bool EndpointFromAddress(const struct sockaddr* address, int length, sysnet::Endpoint* out);
bool AddressBufferFits(const struct sockaddr* address, const int* length);
void AddressFromEndpoint(const sysnet::Endpoint& endpoint, struct sockaddr* address, int* length);

// One blocking call in progress on this thread: while it lives WSAIsBlocking is TRUE and
// WSACancelBlockingCall may cancel it. A thread has at most one; a second one fails to
// start with WSAEINPROGRESS.
class BlockingCall {
public:
    BlockingCall();
    ~BlockingCall();
    BlockingCall(const BlockingCall&) = delete;
    BlockingCall& operator=(const BlockingCall&) = delete;

    bool Started() const { return started_; }
    // Runs the blocking hook; true when the call has been cancelled.
    bool RunHook();
    bool Cancelled() const;

private:
    bool started_ = false;
};

// How long a blocking call waits for its operation before it runs the hook again.
constexpr int kBlockingSliceMs = 20;

// The lookup that gethostbyname runs on its worker thread. Tests replace it to make a
// lookup that waits as long as they want; returns the previous one.
using HostLookup = sysnet::LookupResult (*)(const std::string& name);
HostLookup SetHostLookup(HostLookup lookup);

}  // namespace winsock
