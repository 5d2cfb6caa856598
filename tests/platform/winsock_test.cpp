// Winsock on the POSIX platform, over real loopback sockets: the Winsock error codes of
// failing calls, select over socket sets, urgent data, options and socket controls, the
// blocking hook with cancellation of a blocking connect and of a host lookup, and dotted
// addresses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/winsock_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The Winsock error of a failed call, 0 when the call did not fail.
int WsaError(int result) { return result == SOCKET_ERROR ? WSAGetLastError() : 0; }
int WsaError(SOCKET result) { return result == INVALID_SOCKET ? WSAGetLastError() : 0; }

// A socket closed on every path.
class Socket {
public:
    explicit Socket(SOCKET s = INVALID_SOCKET) : s_(s) {}
    Socket(Socket&& other) noexcept : s_(other.s_) { other.s_ = INVALID_SOCKET; }
    Socket& operator=(Socket&& other) noexcept {
        std::swap(s_, other.s_);
        return *this;
    }
    ~Socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    operator SOCKET() const { return s_; }

private:
    SOCKET s_;
};

Socket TcpSocket() { return Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

sockaddr_in LoopbackAddress(u_short networkPort = 0) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = networkPort;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Connect(SOCKET s, const sockaddr_in& address) {
    return connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
int Bind(SOCKET s, const sockaddr_in& address, int length = sizeof(sockaddr_in)) {
    return bind(s, reinterpret_cast<const sockaddr*>(&address), length);
}

void SetNonBlocking(SOCKET s, bool on) {
    u_long argument = on ? 1 : 0;
    ASSERT_EQ(ioctlsocket(s, FIONBIO, &argument), 0);
}

bool IsNonBlocking(SOCKET s) { return (fcntl(static_cast<int>(s), F_GETFL) & O_NONBLOCK) != 0; }

// Select over the sets given; each set holds `s` when asked for, or is not passed at all.
int Select(SOCKET s, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, long microseconds) {
    for (fd_set* set : {readSet, writeSet, exceptSet}) {
        if (set == nullptr) continue;
        FD_ZERO(set);
        FD_SET(s, set);
    }
    timeval timeout{microseconds / 1000000, microseconds % 1000000};
    return select(0, readSet, writeSet, exceptSet, &timeout);
}

bool WaitReadable(SOCKET s) {
    fd_set readSet;
    return Select(s, &readSet, nullptr, nullptr, 1000000) == 1;
}

// A listening socket on 127.0.0.1 and its address.
struct Listener {
    Socket socket = TcpSocket();
    sockaddr_in address = LoopbackAddress();

    explicit Listener(int backlog = 5) {
        EXPECT_EQ(Bind(socket, address), 0);
        int length = sizeof address;
        EXPECT_EQ(getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
        EXPECT_EQ(listen(socket, backlog), 0);
    }
};

// A port on which nothing listens: a bound socket's port, closed again.
sockaddr_in ClosedAddress() { return Listener().address; }

// Both ends of one loopback connection.
struct Pair {
    Socket client = TcpSocket();
    Socket server;
};

Pair ConnectedPair() {
    Listener listener;
    Pair pair;
    EXPECT_EQ(Connect(pair.client, listener.address), 0);
    pair.server = Socket(accept(listener.socket, nullptr, nullptr));
    return pair;
}

// A listener whose accept queue is full: a connect to it stays pending, as to a host that
// does not answer, and nothing leaves the machine.
struct BlackHole {
    Listener listener{0};
    std::vector<Socket> fillers;

    BlackHole() {
        for (int attempt = 0; attempt < 16; ++attempt) {
            Socket probe = TcpSocket();
            SetNonBlocking(probe, true);
            Connect(probe, listener.address);
            fd_set writeSet;
            const bool pending = Select(probe, nullptr, &writeSet, nullptr, 100000) == 0;
            fillers.push_back(std::move(probe));
            if (pending) return;
        }
        ADD_FAILURE() << "the accept queue never filled";
    }
};

class Winsock : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    }
    void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }
};

TEST_F(Winsock, FailedCallsSetWinsockErrorCodes) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);

    EXPECT_EQ(WsaError(Connect(TcpSocket(), ClosedAddress())), WSAECONNREFUSED);

    // A non-blocking connect in progress reports would-block, not in-progress.
    BlackHole hole;
    Socket pending = TcpSocket();
    SetNonBlocking(pending, true);
    EXPECT_EQ(WsaError(Connect(pending, hole.listener.address)), WSAEWOULDBLOCK);
    EXPECT_EQ(WsaError(Connect(pending, hole.listener.address)), WSAEALREADY);

    Pair pair = ConnectedPair();
    SetNonBlocking(pair.client, true);
    char byte;
    EXPECT_EQ(WsaError(recv(pair.client, &byte, 1, 0)), WSAEWOULDBLOCK);
    EXPECT_EQ(WsaError(recv(pair.client, &byte, 1, 0x8)), WSAEOPNOTSUPP);

    Listener listener;
    Socket bound = TcpSocket();
    EXPECT_EQ(WsaError(Bind(bound, listener.address)), WSAEADDRINUSE);
    sockaddr_in foreign = LoopbackAddress();
    foreign.sin_addr.s_addr = inet_addr("10.255.255.1");
    EXPECT_EQ(WsaError(Bind(bound, foreign)), WSAEADDRNOTAVAIL);
    EXPECT_EQ(WsaError(Bind(bound, foreign, sizeof foreign - 1)), WSAEFAULT);

    Socket idle = TcpSocket();
    EXPECT_EQ(WsaError(shutdown(idle, SD_BOTH)), WSAENOTCONN);
    sockaddr_in peer;
    int length = sizeof peer;
    EXPECT_EQ(WsaError(getpeername(idle, reinterpret_cast<sockaddr*>(&peer), &length)),
              WSAENOTCONN);
    EXPECT_EQ(WsaError(accept(idle, nullptr, nullptr)), WSAEINVAL);
    EXPECT_EQ(WsaError(socket(23, SOCK_STREAM, 0)), WSAEAFNOSUPPORT);
    EXPECT_EQ(WsaError(socket(AF_INET, 99, 0)), WSAESOCKTNOSUPPORT);

    const SOCKET stale = TcpSocket();  // closed at the end of the statement
    EXPECT_EQ(WsaError(send(stale, "x", 1, 0)), WSAENOTSOCK);
    EXPECT_EQ(WsaError(closesocket(stale)), WSAENOTSOCK);
    // A handle that now names a file is not closed as a socket.
    const int file = open("/dev/null", O_RDONLY);
    EXPECT_EQ(WsaError(closesocket(static_cast<SOCKET>(file))), WSAENOTSOCK);
    EXPECT_EQ(close(file), 0);
}

std::atomic<int> brokenPipeSignals{0};

TEST_F(Winsock, SendAfterPeerResetFailsWithoutSignal) {
    Pair pair = ConnectedPair();
    const linger abort{1, 0};
    ASSERT_EQ(setsockopt(pair.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                         sizeof abort),
              0);
    pair.server = Socket();
    ASSERT_TRUE(WaitReadable(pair.client));

    const auto previous = std::signal(SIGPIPE, [](int) { ++brokenPipeSignals; });
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(WsaError(send(pair.client, "data", 4, 0)), WSAECONNRESET) << attempt;
    }
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(brokenPipeSignals.load(), 0);
}

TEST_F(Winsock, SelectRewritesSetsForSocketsOfAnyNumber) {
    Pair pair = ConnectedPair();
    // Far beyond the system's own fd_set limit of 1024 descriptors.
    const Socket high(
        static_cast<SOCKET>(fcntl(static_cast<int>(SOCKET(pair.server)), F_DUPFD, 1500)));
    ASSERT_GE(static_cast<int>(SOCKET(high)), 1500);

    fd_set readSet, writeSet, exceptSet;
    EXPECT_EQ(Select(high, &readSet, &writeSet, &exceptSet, 0), 1);
    EXPECT_EQ(readSet.fd_count, 0u);
    EXPECT_EQ(exceptSet.fd_count, 0u);
    ASSERT_EQ(writeSet.fd_count, 1u);
    EXPECT_TRUE(FD_ISSET(high, &writeSet));

    ASSERT_EQ(send(pair.client, "x", 1, 0), 1);
    FD_ZERO(&readSet);
    FD_SET(pair.client, &readSet);
    FD_SET(high, &readSet);
    FD_ZERO(&writeSet);
    FD_SET(high, &writeSet);
    timeval second{1, 0};
    EXPECT_EQ(select(0, &readSet, &writeSet, nullptr, &second), 2);
    ASSERT_EQ(readSet.fd_count, 1u);
    EXPECT_EQ(readSet.fd_array[0], SOCKET(high));
    char byte;
    ASSERT_EQ(recv(high, &byte, 1, 0), 1);

    // Nothing to read: the time-out runs out and the set comes back empty.
    auto start = Clock::now();
    EXPECT_EQ(Select(high, &readSet, nullptr, nullptr, 100000), 0);
    EXPECT_GE(MillisecondsSince(start), 90);
    EXPECT_EQ(readSet.fd_count, 0u);

    // A listening socket is readable when a connection waits for accept.
    Listener listener;
    EXPECT_EQ(Select(listener.socket, &readSet, nullptr, nullptr, 0), 0);
    Socket caller = TcpSocket();
    ASSERT_EQ(Connect(caller, listener.address), 0);
    EXPECT_TRUE(WaitReadable(listener.socket));

    EXPECT_EQ(WsaError(Select(static_cast<SOCKET>(19999), &readSet, nullptr, nullptr, 0)),
              WSAENOTSOCK);
    FD_ZERO(&readSet);
    timeval none{0, 0};
    EXPECT_EQ(WsaError(select(0, &readSet, nullptr, nullptr, &none)), WSAEINVAL);
}

TEST_F(Winsock, NonBlockingConnectShowsAsWritableOrException) {
    fd_set readSet, writeSet, exceptSet;
    Listener listener;
    Socket good = TcpSocket();
    SetNonBlocking(good, true);
    Connect(good, listener.address);
    EXPECT_EQ(Select(good, &readSet, &writeSet, &exceptSet, 1000000), 1);
    EXPECT_EQ(writeSet.fd_count, 1u);
    EXPECT_EQ(exceptSet.fd_count, 0u);

    Socket refused = TcpSocket();
    SetNonBlocking(refused, true);
    EXPECT_EQ(WsaError(Connect(refused, ClosedAddress())), WSAEWOULDBLOCK);
    EXPECT_EQ(Select(refused, &readSet, &writeSet, &exceptSet, 1000000), 1);
    EXPECT_EQ(readSet.fd_count + writeSet.fd_count, 0u);
    EXPECT_EQ(exceptSet.fd_count, 1u);
    int error = -1;
    int length = sizeof error;
    ASSERT_EQ(getsockopt(refused, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length),
              0);
    EXPECT_EQ(error, WSAECONNREFUSED);

    // A failed connect asked about only for reading never shows, and does not wake the wait.
    const auto start = Clock::now();
    EXPECT_EQ(Select(refused, &readSet, nullptr, nullptr, 100000), 0);
    EXPECT_GE(MillisecondsSince(start), 90);

    BlackHole hole;
    Socket pending = TcpSocket();
    SetNonBlocking(pending, true);
    Connect(pending, hole.listener.address);
    EXPECT_EQ(Select(pending, nullptr, &writeSet, &exceptSet, 0), 0);
}

TEST_F(Winsock, UrgentDataOptionsAndSocketControls) {
    Pair pair = ConnectedPair();
    ASSERT_EQ(send(pair.client, "ab", 2, 0), 2);
    ASSERT_EQ(send(pair.client, "X", 1, MSG_OOB), 1);
    fd_set exceptSet;
    ASSERT_EQ(Select(pair.server, nullptr, nullptr, &exceptSet, 1000000), 1);
    char buffer[8] = {};
    ASSERT_EQ(recv(pair.server, buffer, sizeof buffer, MSG_OOB), 1);
    EXPECT_EQ(buffer[0], 'X');
    ASSERT_EQ(recv(pair.server, buffer, sizeof buffer, 0), 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");

    const int one = 1;
    const char* on = reinterpret_cast<const char*>(&one);
    for (int option : {SO_KEEPALIVE, SO_REUSEADDR}) {
        int value = -1;
        int length = sizeof value;
        EXPECT_EQ(setsockopt(pair.client, SOL_SOCKET, option, on, sizeof one), 0) << option;
        EXPECT_EQ(getsockopt(pair.client, SOL_SOCKET, option, reinterpret_cast<char*>(&value),
                             &length),
                  0);
        EXPECT_EQ(value, TRUE) << option;
        short small = 0;
        length = sizeof small;
        EXPECT_EQ(WsaError(getsockopt(pair.client, SOL_SOCKET, option,
                                      reinterpret_cast<char*>(&small), &length)),
                  WSAEFAULT);
    }
    EXPECT_EQ(WsaError(setsockopt(pair.client, 12345, SO_KEEPALIVE, on, sizeof one)), WSAEINVAL);
    EXPECT_EQ(WsaError(setsockopt(pair.client, SOL_SOCKET, 0x4321, on, sizeof one)),
              WSAENOPROTOOPT);

    SetNonBlocking(pair.server, true);
    EXPECT_TRUE(IsNonBlocking(pair.server));
    SetNonBlocking(pair.server, false);
    EXPECT_FALSE(IsNonBlocking(pair.server));
    u_long argument = 0;
    EXPECT_EQ(WsaError(ioctlsocket(pair.server, 0x12345678, &argument)), WSAEINVAL);

    // An accepted socket takes the listening socket's mode.
    Listener listener;
    SetNonBlocking(listener.socket, true);
    Socket caller = TcpSocket();
    ASSERT_EQ(Connect(caller, listener.address), 0);
    ASSERT_TRUE(WaitReadable(listener.socket));
    sockaddr_in peer{};
    int peerLength = sizeof peer;
    Socket accepted(accept(listener.socket, reinterpret_cast<sockaddr*>(&peer), &peerLength));
    EXPECT_TRUE(IsNonBlocking(accepted));
    EXPECT_EQ(peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
}

// The hooks of the blocking-call tests, with what they saw.
struct HookLog {
    int calls = 0;
    int cancelOnCall = 0;
    bool sawBlocking = true;
    int nestedSetHookError = 0;
    int nestedLookupError = 0;
};
HookLog hookLog;

INT_PTR CountingHook() {
    ++hookLog.calls;
    hookLog.sawBlocking = hookLog.sawBlocking && WSAIsBlocking();
    if (hookLog.calls == 1) {
        if (WSASetBlockingHook(CountingHook) == nullptr)
            hookLog.nestedSetHookError = WSAGetLastError();
        if (gethostbyname("localhost") == nullptr) hookLog.nestedLookupError = WSAGetLastError();
    }
    if (hookLog.calls == hookLog.cancelOnCall) {
        EXPECT_EQ(WSACancelBlockingCall(), 0);
    }
    return FALSE;
}

INT_PTR OtherHook() { return FALSE; }

class BlockingHook : public Winsock {
protected:
    void SetUp() override {
        Winsock::SetUp();
        hookLog = HookLog{};
        WSASetBlockingHook(CountingHook);
    }
    void TearDown() override {
        EXPECT_EQ(WSAUnhookBlockingHook(), 0);
        Winsock::TearDown();
    }
};

TEST_F(Winsock, BlockingHookIsReplacedAndRestored) {
    const FARPROC original = WSASetBlockingHook(CountingHook);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(WSASetBlockingHook(OtherHook), CountingHook);
    EXPECT_EQ(WSAUnhookBlockingHook(), 0);
    EXPECT_EQ(WSASetBlockingHook(OtherHook), original);
    EXPECT_EQ(WSAUnhookBlockingHook(), 0);
    EXPECT_EQ(WSASetBlockingHook(nullptr), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_FALSE(WSAIsBlocking());
    EXPECT_EQ(WsaError(WSACancelBlockingCall()), WSAEINVAL);
}

TEST_F(BlockingHook, CancelEndsBlockingConnectAndLeavesSocketUnconnected) {
    BlackHole hole;
    Socket s = TcpSocket();
    hookLog.cancelOnCall = 3;
    const auto start = Clock::now();
    EXPECT_EQ(WsaError(Connect(s, hole.listener.address)), WSAEINTR);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(hookLog.calls, 3);
    EXPECT_TRUE(hookLog.sawBlocking);
    EXPECT_EQ(hookLog.nestedSetHookError, WSAEINPROGRESS);
    EXPECT_EQ(hookLog.nestedLookupError, WSAEINPROGRESS);
    EXPECT_FALSE(WSAIsBlocking());

    sockaddr_in peer;
    int length = sizeof peer;
    EXPECT_EQ(WsaError(getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length)), WSAENOTCONN);
    EXPECT_FALSE(IsNonBlocking(s));
    int error = -1;
    length = sizeof error;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length), 0);
    EXPECT_EQ(error, 0);

    // The abandoned attempt is gone: the same socket connects elsewhere, blocking.
    Listener listener;
    EXPECT_EQ(Connect(s, listener.address), 0);
    EXPECT_FALSE(IsNonBlocking(s));
    EXPECT_EQ(WsaError(Connect(TcpSocket(), ClosedAddress())), WSAECONNREFUSED);
}

TEST_F(Winsock, HostLookupFindsLocalhostAndReportsUnknownNames) {
    const hostent* host = gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    bool loopback = false;
    for (char** entry = host->h_addr_list; *entry != nullptr; ++entry) {
        in_addr address;
        std::memcpy(&address, *entry, sizeof address);
        loopback = loopback || address.s_addr == htonl(INADDR_LOOPBACK);
    }
    EXPECT_TRUE(loopback);
    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
}

// A lookup that waits until the test opens the gate.
struct LookupGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool finished = false;
};
LookupGate* gate = nullptr;

sysnet::LookupResult GatedLookup(const std::string&) {
    std::unique_lock<std::mutex> lock(gate->mutex);
    gate->changed.wait_for(lock, std::chrono::seconds(2), [] { return gate->open; });
    sysnet::LookupResult result;
    result.status = sysnet::LookupResult::Status::Found;
    result.canonicalName = "gated.example";
    result.addresses = {htonl(0x01020304), htonl(0x05060708)};
    gate->finished = true;
    gate->changed.notify_all();
    return result;
}

INT_PTR OpeningHook() {
    if (++hookLog.calls == 3) {
        const std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    }
    return FALSE;
}

TEST_F(BlockingHook, HookRunsWhileLookupWaitsAndCancelEndsIt) {
    LookupGate waiting;
    gate = &waiting;
    const winsock::HostLookup previous = winsock::SetHostLookup(GatedLookup);
    WSASetBlockingHook(OpeningHook);
    const hostent* host = gethostbyname("gated");
    ASSERT_NE(host, nullptr);
    EXPECT_GE(hookLog.calls, 3);  // the gate opens on the third run
    EXPECT_STREQ(host->h_name, "gated.example");
    ASSERT_NE(host->h_addr_list[1], nullptr);
    EXPECT_EQ(host->h_addr_list[2], nullptr);
    EXPECT_STREQ(inet_ntoa(*reinterpret_cast<in_addr*>(host->h_addr_list[1])), "5.6.7.8");

    // Cancelled on the first run of the hook; the worker finishes afterwards on its own.
    LookupGate cancelled;
    gate = &cancelled;
    hookLog = HookLog{};
    hookLog.cancelOnCall = 1;
    WSASetBlockingHook(CountingHook);
    EXPECT_EQ(gethostbyname("gated"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
    EXPECT_EQ(hookLog.calls, 1);
    {
        std::unique_lock<std::mutex> lock(cancelled.mutex);
        cancelled.open = true;
        cancelled.changed.notify_all();
        EXPECT_TRUE(cancelled.changed.wait_for(lock, std::chrono::seconds(2),
                                               [&] { return cancelled.finished; }));
    }
    winsock::SetHostLookup(previous);
}

TEST(WinsockAddress, DottedTextAndByteOrder) {
    const u_short port = htons(0x1234);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&port)[0], 0x12);
    const std::pair<const char*, u_long> texts[] = {
        {"127.0.0.1", 0x7f000001}, {"1.2.3", 0x01020003}, {"1.2", 0x01000002},
        {"16909060", 0x01020304}, {"0x7f.0.0.01", 0x7f000001}, {"010.0.0.1", 0x08000001},
        {"10.1.2.3 trailing words", 0x0a010203}};
    for (const auto& [text, address] : texts) EXPECT_EQ(inet_addr(text), htonl(address)) << text;
    for (const char* garbage : {"", "256.1.1.1", "1.2.3.4.5", "1..2.3", "1.2.3.", "abc", "08.1.1.1",
                                "0x", "4294967296", "1.2.65536", " 1.2.3.4", "1.2.3.4x"}) {
        EXPECT_EQ(inet_addr(garbage), INADDR_NONE) << garbage;
    }
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
}

}  // namespace
