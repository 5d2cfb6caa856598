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
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/winsock_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

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

sockaddr_in LoopbackAddress(u_short networkPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = networkPort;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Connect(SOCKET s, const sockaddr_in& address) {
    return connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

Socket TcpSocket() {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    EXPECT_NE(static_cast<SOCKET>(s), INVALID_SOCKET);
    return s;
}

void SetNonBlocking(SOCKET s, bool on) {
    u_long argument = on ? 1 : 0;
    ASSERT_EQ(ioctlsocket(s, FIONBIO, &argument), 0);
}

bool IsNonBlocking(SOCKET s) { return (fcntl(static_cast<int>(s), F_GETFL) & O_NONBLOCK) != 0; }

// A listening socket on 127.0.0.1 and its address.
struct Listener {
    Socket socket = TcpSocket();
    sockaddr_in address = LoopbackAddress(0);

    explicit Listener(int backlog = 5) {
        EXPECT_EQ(bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        int length = sizeof address;
        EXPECT_EQ(getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
        EXPECT_EQ(length, static_cast<int>(sizeof(sockaddr_in)));
        EXPECT_EQ(listen(socket, backlog), 0);
    }
};

// A port on which nothing listens: a bound socket's port, closed again.
sockaddr_in ClosedAddress() {
    Listener gone;
    const sockaddr_in address = gone.address;
    return address;
}

int SelectOne(fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, long microseconds) {
    timeval timeout{microseconds / 1000000, microseconds % 1000000};
    return select(0, readSet, writeSet, exceptSet, &timeout);
}

bool WaitReadable(SOCKET s, long microseconds = 1000000) {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(s, &readSet);
    return SelectOne(&readSet, nullptr, nullptr, microseconds) == 1;
}

// Both ends of one loopback connection.
struct Pair {
    Socket client;
    Socket server;
};

Pair ConnectedPair() {
    Listener listener;
    Pair pair{TcpSocket(), Socket()};
    EXPECT_EQ(Connect(pair.client, listener.address), 0);
    pair.server = Socket(accept(listener.socket, nullptr, nullptr));
    EXPECT_NE(static_cast<SOCKET>(pair.server), INVALID_SOCKET);
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
            FD_ZERO(&writeSet);
            FD_SET(probe, &writeSet);
            const bool pending = SelectOne(nullptr, &writeSet, nullptr, 100000) == 0;
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

TEST_F(Winsock, StartupReportsVersionOneOne) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(data.wHighVersion, MAKEWORD(1, 1));
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);
}

TEST_F(Winsock, FailedCallsSetWinsockErrorCodes) {
    const sockaddr_in closed = ClosedAddress();
    Socket blocking = TcpSocket();
    EXPECT_EQ(Connect(blocking, closed), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);

    // A non-blocking connect in progress reports would-block, not in-progress.
    BlackHole hole;
    Socket pending = TcpSocket();
    SetNonBlocking(pending, true);
    EXPECT_EQ(Connect(pending, hole.listener.address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(Connect(pending, hole.listener.address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEALREADY);

    Pair pair = ConnectedPair();
    SetNonBlocking(pair.client, true);
    char byte;
    EXPECT_EQ(recv(pair.client, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    Listener listener;
    EXPECT_EQ(recv(pair.client, &byte, 1, 0x8), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEOPNOTSUPP);

    Socket bound = TcpSocket();
    sockaddr_in taken = listener.address;
    EXPECT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&taken), sizeof taken), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    sockaddr_in foreign = LoopbackAddress(0);
    foreign.sin_addr.s_addr = inet_addr("10.255.255.1");
    EXPECT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&foreign), sizeof foreign), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
    EXPECT_EQ(bind(bound, reinterpret_cast<sockaddr*>(&foreign), sizeof foreign - 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);

    Socket idle = TcpSocket();
    EXPECT_EQ(shutdown(idle, SD_BOTH), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    sockaddr_in peer;
    int length = sizeof peer;
    EXPECT_EQ(getpeername(idle, reinterpret_cast<sockaddr*>(&peer), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    EXPECT_EQ(accept(idle, nullptr, nullptr), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

    EXPECT_EQ(socket(23, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
    EXPECT_EQ(socket(AF_INET, 99, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);

    const SOCKET stale = TcpSocket();  // closed at the end of the statement
    EXPECT_EQ(send(stale, "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(closesocket(stale), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    // A handle that now names a file is not closed as a socket.
    const int file = open("/dev/null", O_RDONLY);
    EXPECT_EQ(closesocket(static_cast<SOCKET>(file)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(close(file), 0);
}

std::atomic<int> brokenPipeSignals{0};

TEST_F(Winsock, SendAfterPeerResetFailsWithoutSignal) {
    Pair pair = ConnectedPair();
    const linger abort{1, 0};
    ASSERT_EQ(setsockopt(pair.server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                         sizeof abort),
              0);
    closesocket(pair.server);
    pair.server = Socket();
    ASSERT_TRUE(WaitReadable(pair.client));

    const auto previous = std::signal(SIGPIPE, [](int) { ++brokenPipeSignals; });
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(send(pair.client, "data", 4, 0), SOCKET_ERROR);
        EXPECT_EQ(WSAGetLastError(), WSAECONNRESET) << "send " << attempt;
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
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(high, &readSet);
    FD_SET(high, &writeSet);
    FD_SET(high, &exceptSet);
    EXPECT_EQ(SelectOne(&readSet, &writeSet, &exceptSet, 0), 1);
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
    EXPECT_EQ(SelectOne(&readSet, &writeSet, nullptr, 1000000), 2);
    ASSERT_EQ(readSet.fd_count, 1u);
    EXPECT_EQ(readSet.fd_array[0], SOCKET(high));
    char byte;
    ASSERT_EQ(recv(high, &byte, 1, 0), 1);

    // Nothing to read: the time-out runs out and the set comes back empty.
    FD_ZERO(&readSet);
    FD_SET(high, &readSet);
    auto start = Clock::now();
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 100000), 0);
    EXPECT_GE(MillisecondsSince(start), 90);
    EXPECT_EQ(readSet.fd_count, 0u);

    // No time-out waits until the data comes.
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        send(pair.client, "y", 1, 0);
    });
    FD_SET(high, &readSet);
    EXPECT_EQ(select(0, &readSet, nullptr, nullptr, nullptr), 1);
    sender.join();

    // A listening socket is readable when a connection waits for accept.
    Listener listener;
    FD_ZERO(&readSet);
    FD_SET(listener.socket, &readSet);
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 0), 0);
    Socket caller = TcpSocket();
    ASSERT_EQ(Connect(caller, listener.address), 0);
    FD_SET(listener.socket, &readSet);
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 1000000), 1);

    FD_ZERO(&readSet);
    FD_SET(static_cast<SOCKET>(19999), &readSet);
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    FD_ZERO(&readSet);
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(Winsock, SelectHoldsSixtyFourSockets) {
    std::vector<Pair> pairs;
    for (int i = 0; i < FD_SETSIZE / 2; ++i) pairs.push_back(ConnectedPair());
    fd_set readSet;
    FD_ZERO(&readSet);
    for (const Pair& pair : pairs) {
        FD_SET(pair.client, &readSet);
        FD_SET(pair.server, &readSet);
        FD_SET(pair.server, &readSet);  // already there: not added twice
    }
    ASSERT_EQ(readSet.fd_count, static_cast<u_int>(FD_SETSIZE));
    Socket extra = TcpSocket();
    FD_SET(extra, &readSet);
    EXPECT_EQ(readSet.fd_count, static_cast<u_int>(FD_SETSIZE));
    EXPECT_FALSE(FD_ISSET(extra, &readSet));

    ASSERT_EQ(send(pairs[3].client, "a", 1, 0), 1);
    ASSERT_EQ(send(pairs[31].server, "b", 1, 0), 1);
    ASSERT_TRUE(WaitReadable(pairs[3].server));
    ASSERT_TRUE(WaitReadable(pairs[31].client));
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 0), 2);
    EXPECT_TRUE(FD_ISSET(pairs[3].server, &readSet));
    EXPECT_TRUE(FD_ISSET(pairs[31].client, &readSet));
    FD_CLR(pairs[3].server, &readSet);
    EXPECT_EQ(readSet.fd_count, 1u);
    EXPECT_EQ(readSet.fd_array[0], SOCKET(pairs[31].client));
}

TEST_F(Winsock, NonBlockingConnectShowsAsWritableOrException) {
    auto selectConnect = [](SOCKET s, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet) {
        FD_ZERO(readSet);
        FD_ZERO(writeSet);
        FD_ZERO(exceptSet);
        FD_SET(s, readSet);
        FD_SET(s, writeSet);
        FD_SET(s, exceptSet);
        return SelectOne(readSet, writeSet, exceptSet, 1000000);
    };
    fd_set readSet, writeSet, exceptSet;

    Listener listener;
    Socket good = TcpSocket();
    SetNonBlocking(good, true);
    Connect(good, listener.address);
    EXPECT_EQ(selectConnect(good, &readSet, &writeSet, &exceptSet), 1);
    EXPECT_EQ(writeSet.fd_count, 1u);
    EXPECT_EQ(exceptSet.fd_count, 0u);

    Socket refused = TcpSocket();
    SetNonBlocking(refused, true);
    EXPECT_EQ(Connect(refused, ClosedAddress()), SOCKET_ERROR);
    EXPECT_EQ(selectConnect(refused, &readSet, &writeSet, &exceptSet), 1);
    EXPECT_EQ(readSet.fd_count, 0u);
    EXPECT_EQ(writeSet.fd_count, 0u);
    EXPECT_EQ(exceptSet.fd_count, 1u);
    int error = -1;
    int length = sizeof error;
    ASSERT_EQ(getsockopt(refused, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length),
              0);
    EXPECT_EQ(error, WSAECONNREFUSED);
    EXPECT_EQ(length, static_cast<int>(sizeof(int)));

    // A failed connect asked about only for reading never shows, and does not wake the wait.
    FD_ZERO(&readSet);
    FD_SET(refused, &readSet);
    const auto start = Clock::now();
    EXPECT_EQ(SelectOne(&readSet, nullptr, nullptr, 100000), 0);
    EXPECT_GE(MillisecondsSince(start), 90);

    BlackHole hole;
    Socket pending = TcpSocket();
    SetNonBlocking(pending, true);
    Connect(pending, hole.listener.address);
    FD_ZERO(&writeSet);
    FD_SET(pending, &writeSet);
    FD_ZERO(&exceptSet);
    FD_SET(pending, &exceptSet);
    EXPECT_EQ(SelectOne(nullptr, &writeSet, &exceptSet, 0), 0);
}

TEST_F(Winsock, UrgentDataReachesThePeerAsUrgent) {
    Pair pair = ConnectedPair();
    ASSERT_EQ(send(pair.client, "ab", 2, 0), 2);
    ASSERT_EQ(send(pair.client, "X", 1, MSG_OOB), 1);

    fd_set exceptSet;
    FD_ZERO(&exceptSet);
    FD_SET(pair.server, &exceptSet);
    ASSERT_EQ(SelectOne(nullptr, nullptr, &exceptSet, 1000000), 1);
    u_long atMark = 99;
    ASSERT_EQ(ioctlsocket(pair.server, SIOCATMARK, &atMark), 0);
    EXPECT_EQ(atMark, static_cast<u_long>(FALSE));  // "ab" still precedes the mark

    char buffer[8] = {};
    ASSERT_EQ(recv(pair.server, buffer, sizeof buffer, MSG_OOB), 1);
    EXPECT_EQ(buffer[0], 'X');
    ASSERT_EQ(recv(pair.server, buffer, sizeof buffer, 0), 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    ASSERT_EQ(ioctlsocket(pair.server, SIOCATMARK, &atMark), 0);
    EXPECT_EQ(atMark, static_cast<u_long>(TRUE));
}

TEST_F(Winsock, OptionsAndControlsUseWinsockNumbers) {
    Pair pair = ConnectedPair();
    auto getInt = [&](int level, int option) {
        int value = -1;
        int length = sizeof value;
        EXPECT_EQ(getsockopt(pair.client, level, option, reinterpret_cast<char*>(&value), &length),
                  0);
        return value;
    };
    const int one = 1;
    const char* on = reinterpret_cast<const char*>(&one);
    for (int option : {SO_KEEPALIVE, SO_REUSEADDR, SO_OOBINLINE}) {
        EXPECT_EQ(getInt(SOL_SOCKET, option), FALSE) << option;
        EXPECT_EQ(setsockopt(pair.client, SOL_SOCKET, option, on, sizeof one), 0) << option;
        EXPECT_EQ(getInt(SOL_SOCKET, option), TRUE) << option;
    }
    EXPECT_EQ(setsockopt(pair.client, IPPROTO_TCP, TCP_NODELAY, on, sizeof one), 0);
    EXPECT_EQ(getInt(IPPROTO_TCP, TCP_NODELAY), TRUE);
    const int size = 65536;
    EXPECT_EQ(setsockopt(pair.client, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
                         sizeof size),
              0);
    EXPECT_EQ(getInt(SOL_SOCKET, SO_RCVBUF), size);
    EXPECT_EQ(getInt(SOL_SOCKET, SO_TYPE), SOCK_STREAM);

    const linger wanted{1, 7};
    ASSERT_EQ(setsockopt(pair.client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&wanted),
                         sizeof wanted),
              0);
    linger got{};
    int length = sizeof got;
    ASSERT_EQ(
        getsockopt(pair.client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&got), &length), 0);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(got.l_onoff, 1);
    EXPECT_EQ(got.l_linger, 7);
    EXPECT_EQ(getInt(SOL_SOCKET, SO_DONTLINGER), FALSE);

    short small = 0;
    length = sizeof small;
    EXPECT_EQ(
        getsockopt(pair.client, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&small), &length),
        SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_EQ(setsockopt(pair.client, 12345, SO_KEEPALIVE, on, sizeof one), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(setsockopt(pair.client, SOL_SOCKET, 0x4321, on, sizeof one), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);

    // Non-blocking mode on and off; bytes waiting to be read.
    SetNonBlocking(pair.server, true);
    EXPECT_TRUE(IsNonBlocking(pair.server));
    ASSERT_EQ(send(pair.client, "12345", 5, 0), 5);
    ASSERT_TRUE(WaitReadable(pair.server));
    u_long waiting = 0;
    ASSERT_EQ(ioctlsocket(pair.server, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 5u);
    SetNonBlocking(pair.server, false);
    EXPECT_FALSE(IsNonBlocking(pair.server));
    EXPECT_EQ(ioctlsocket(pair.server, 0x12345678, &waiting), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

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
    EXPECT_EQ(peer.sin_family, AF_INET);
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
    EXPECT_EQ(WSACancelBlockingCall(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(BlockingHook, CancelEndsBlockingConnectAndLeavesSocketUnconnected) {
    BlackHole hole;
    Socket s = TcpSocket();
    hookLog.cancelOnCall = 3;
    const auto start = Clock::now();
    EXPECT_EQ(Connect(s, hole.listener.address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINTR);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(hookLog.calls, 3);
    EXPECT_TRUE(hookLog.sawBlocking);
    EXPECT_EQ(hookLog.nestedSetHookError, WSAEINPROGRESS);
    EXPECT_EQ(hookLog.nestedLookupError, WSAEINPROGRESS);
    EXPECT_FALSE(WSAIsBlocking());

    sockaddr_in peer;
    int length = sizeof peer;
    EXPECT_EQ(getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    EXPECT_FALSE(IsNonBlocking(s));
    int error = -1;
    length = sizeof error;
    EXPECT_EQ(getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length), 0);
    EXPECT_EQ(error, 0);

    // The abandoned attempt is gone: the same socket connects elsewhere, blocking.
    Listener listener;
    EXPECT_EQ(Connect(s, listener.address), 0);
    EXPECT_FALSE(IsNonBlocking(s));
    Socket refused = TcpSocket();
    EXPECT_EQ(Connect(refused, ClosedAddress()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
}

TEST_F(Winsock, HostLookupFindsLocalhostAndReportsUnknownNames) {
    const hostent* host = gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    int count = 0;
    bool loopback = false;
    for (char** entry = host->h_addr_list; *entry != nullptr; ++entry, ++count) {
        in_addr address;
        std::memcpy(&address, *entry, sizeof address);
        loopback = loopback || address.s_addr == htonl(INADDR_LOOPBACK);
    }
    EXPECT_GE(count, 1);
    EXPECT_TRUE(loopback);

    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);

    char name[256];
    EXPECT_EQ(gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(gethostname(name, 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
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
    ASSERT_NE(host->h_addr_list[0], nullptr);
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
    EXPECT_EQ(htons(0x1234), ntohs(0x1234));
    EXPECT_EQ(ntohl(htonl(0x7f000001)), 0x7f000001u);
    const u_short port = htons(0x1234);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&port)[0], 0x12);

    EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001));
    EXPECT_EQ(inet_addr("1.2.3"), htonl(0x01020003));
    EXPECT_EQ(inet_addr("1.2"), htonl(0x01000002));
    EXPECT_EQ(inet_addr("16909060"), htonl(0x01020304));
    EXPECT_EQ(inet_addr("0x7f.0.0.01"), htonl(0x7f000001));
    EXPECT_EQ(inet_addr("010.0.0.1"), htonl(0x08000001));
    EXPECT_EQ(inet_addr("10.1.2.3 trailing words"), htonl(0x0a010203));
    for (const char* garbage : {"", "256.1.1.1", "1.2.3.4.5", "1..2.3", "1.2.3.", "abc", "08.1.1.1",
                                "0x", "4294967296", "1.2.65536", " 1.2.3.4", "1.2.3.4x"}) {
        EXPECT_EQ(inet_addr(garbage), INADDR_NONE) << garbage;
    }
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);

    in_addr address;
    address.s_addr = htonl(0xc0a80a01);
    EXPECT_STREQ(inet_ntoa(address), "192.168.10.1");
    address.s_addr = INADDR_NONE;
    EXPECT_STREQ(inet_ntoa(address), "255.255.255.255");
}

}  // namespace
