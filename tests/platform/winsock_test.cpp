// Winsock on the POSIX platform, over real loopback sockets, as the module uses it: the
// Winsock error codes of failing calls, non-blocking connects and select, the blocking hook
// cancelling a blocking connect, and dotted addresses. (Urgent data, a cancelled host
// lookup, a connect that fails or waits and a listener that waits for accept show in the
// module's abort, connection and data connection tests.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/winsock_internal.h"
#include "tests/support/loopback.h"

namespace {

using tvtest::LoopbackAddress;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The Winsock error of a failed call, 0 when the call did not fail.
int WsaError(int result) { return result == SOCKET_ERROR ? WSAGetLastError() : 0; }

int Connect(SOCKET s, const sockaddr_in& address) {
    return connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
int Bind(SOCKET s, const sockaddr_in& address) {
    return bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
}
int NonBlocking(SOCKET s, u_long on = 1) { return ioctlsocket(s, FIONBIO, &on); }
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

class Winsock : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    }
    void TearDown() override {
        for (SOCKET s : sockets_) closesocket(s);
        EXPECT_EQ(WSACleanup(), 0);
    }
    // Sockets closed at the end of the test.
    SOCKET Keep(SOCKET s) { return sockets_.emplace_back(s); }
    SOCKET Tcp() { return Keep(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }
    SOCKET Listen(sockaddr_in* address, int backlog = 5) {
        return Keep(tvtest::LoopbackListener(backlog, address));
    }
    void Close(SOCKET s) {
        sockets_.erase(std::find(sockets_.begin(), sockets_.end(), s));
        closesocket(s);
    }
    // Both ends of one loopback connection: client, server.
    std::pair<SOCKET, SOCKET> ConnectedPair() {
        sockaddr_in address;
        const SOCKET listener = Listen(&address);
        const SOCKET client = Tcp();
        EXPECT_EQ(Connect(client, address), 0);
        return {client, Keep(accept(listener, nullptr, nullptr))};
    }
    // The address of a listener whose accept queue is full: a connect to it stays pending,
    // as to a host that does not answer, and nothing leaves the machine.
    sockaddr_in BlackHole() {
        sockaddr_in address;
        Listen(&address, 0);
        for (int attempt = 0; attempt < 16; ++attempt) {
            const SOCKET probe = Tcp();
            NonBlocking(probe);
            Connect(probe, address);
            fd_set writeSet;
            if (Select(probe, nullptr, &writeSet, nullptr, 100000) == 0) return address;
        }
        ADD_FAILURE() << "the accept queue never filled";
        return address;
    }
    // A port on which nothing listens.
    sockaddr_in Closed() { return LoopbackAddress(tvtest::UnusedPort()); }

    std::vector<SOCKET> sockets_;
};

TEST_F(Winsock, FailedCallsSetWinsockErrorCodes) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);

    EXPECT_EQ(WsaError(Connect(Tcp(), Closed())), WSAECONNREFUSED);
    // A non-blocking connect in progress reports would-block, not in-progress.
    const sockaddr_in hole = BlackHole();
    const SOCKET pending = Tcp();
    NonBlocking(pending);
    EXPECT_EQ(WsaError(Connect(pending, hole)), WSAEWOULDBLOCK);
    EXPECT_EQ(WsaError(Connect(pending, hole)), WSAEALREADY);
    fd_set writeSet, exceptSet;
    EXPECT_EQ(Select(pending, nullptr, &writeSet, &exceptSet, 0), 0);

    const auto [client, server] = ConnectedPair();
    ASSERT_EQ(NonBlocking(client), 0);
    EXPECT_TRUE(IsNonBlocking(client));
    char byte;
    EXPECT_EQ(WsaError(recv(client, &byte, 1, 0)), WSAEWOULDBLOCK);
    ASSERT_EQ(NonBlocking(client, 0), 0);
    EXPECT_FALSE(IsNonBlocking(client));
    u_long argument = 0;
    EXPECT_EQ(WsaError(ioctlsocket(client, 0x12345678, &argument)), WSAEINVAL);

    const SOCKET bound = Tcp();
    sockaddr_in foreign = LoopbackAddress();
    foreign.sin_addr.s_addr = inet_addr("10.255.255.1");
    EXPECT_EQ(WsaError(Bind(bound, foreign)), WSAEADDRNOTAVAIL);
    sockaddr_in peer;
    int length = sizeof peer;
    EXPECT_EQ(WsaError(getpeername(bound, reinterpret_cast<sockaddr*>(&peer), &length)),
              WSAENOTCONN);
    const int one = 1;
    const char* on = reinterpret_cast<const char*>(&one);
    EXPECT_EQ(setsockopt(bound, SOL_SOCKET, SO_KEEPALIVE, on, sizeof one), 0);
    EXPECT_EQ(setsockopt(bound, SOL_SOCKET, SO_REUSEADDR, on, sizeof one), 0);

    const SOCKET stale = Tcp();
    Close(stale);
    EXPECT_EQ(WsaError(send(stale, "x", 1, 0)), WSAENOTSOCK);
    EXPECT_EQ(WsaError(closesocket(stale)), WSAENOTSOCK);
    // A handle that now names a file is not closed as a socket.
    const int file = open("/dev/null", O_RDONLY);
    EXPECT_EQ(WsaError(closesocket(static_cast<SOCKET>(file))), WSAENOTSOCK);
    EXPECT_EQ(close(file), 0);
}

TEST_F(Winsock, SelectRewritesSetsForSocketsOfAnyNumber) {
    const auto [client, server] = ConnectedPair();
    // Far beyond the system's own fd_set limit of 1024 descriptors.
    const SOCKET high = Keep(static_cast<SOCKET>(fcntl(static_cast<int>(server), F_DUPFD, 1500)));
    ASSERT_GE(static_cast<int>(high), 1500);

    fd_set readSet, writeSet, exceptSet;
    EXPECT_EQ(Select(high, &readSet, &writeSet, &exceptSet, 0), 1);
    EXPECT_EQ(readSet.fd_count + exceptSet.fd_count, 0u);
    ASSERT_EQ(writeSet.fd_count, 1u);
    EXPECT_TRUE(FD_ISSET(high, &writeSet));

    ASSERT_EQ(send(client, "x", 1, 0), 1);
    FD_ZERO(&readSet);
    FD_SET(client, &readSet);
    FD_SET(high, &readSet);
    FD_ZERO(&writeSet);
    FD_SET(high, &writeSet);
    timeval second{1, 0};
    EXPECT_EQ(select(0, &readSet, &writeSet, nullptr, &second), 2);
    ASSERT_EQ(readSet.fd_count, 1u);
    EXPECT_EQ(readSet.fd_array[0], high);
    char byte;
    ASSERT_EQ(recv(high, &byte, 1, 0), 1);

    // Nothing to read: the time-out runs out and the set comes back empty.
    auto start = Clock::now();
    EXPECT_EQ(Select(high, &readSet, nullptr, nullptr, 100000), 0);
    EXPECT_GE(MillisecondsSince(start), 90);
    EXPECT_EQ(readSet.fd_count, 0u);

    EXPECT_EQ(WsaError(Select(static_cast<SOCKET>(19999), &readSet, nullptr, nullptr, 0)),
              WSAENOTSOCK);
    FD_ZERO(&readSet);
    timeval none{0, 0};
    EXPECT_EQ(WsaError(select(0, &readSet, nullptr, nullptr, &none)), WSAEINVAL);
}

// What the hooks of the blocking-call tests saw.
struct HookLog {
    int calls = 0;
    int cancelOnCall = 0;
    bool sawBlocking = true;
    int nestedSetHookError = 0;
    int nestedLookupError = 0;
};
HookLog gHook;

INT_PTR CountingHook() {
    ++gHook.calls;
    gHook.sawBlocking = gHook.sawBlocking && WSAIsBlocking();
    if (gHook.calls == 1) {
        if (WSASetBlockingHook(CountingHook) == nullptr)
            gHook.nestedSetHookError = WSAGetLastError();
        if (gethostbyname("localhost") == nullptr) gHook.nestedLookupError = WSAGetLastError();
    }
    if (gHook.calls == gHook.cancelOnCall) {
        EXPECT_EQ(WSACancelBlockingCall(), 0);
    }
    return FALSE;
}

TEST_F(Winsock, BlockingHookIsReplacedAndRestoredAndCancelEndsABlockingConnect) {
    const FARPROC original = WSASetBlockingHook(CountingHook);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(WSAUnhookBlockingHook(), 0);
    EXPECT_EQ(WSASetBlockingHook(CountingHook), original);
    EXPECT_EQ(WSASetBlockingHook(nullptr), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    EXPECT_FALSE(WSAIsBlocking());
    EXPECT_EQ(WsaError(WSACancelBlockingCall()), WSAEINVAL);

    gHook = HookLog{};
    gHook.cancelOnCall = 3;
    const sockaddr_in hole = BlackHole();
    const SOCKET s = Tcp();
    const auto start = Clock::now();
    EXPECT_EQ(WsaError(Connect(s, hole)), WSAEINTR);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(gHook.calls, 3);
    EXPECT_TRUE(gHook.sawBlocking);
    EXPECT_EQ(gHook.nestedSetHookError, WSAEINPROGRESS);
    EXPECT_EQ(gHook.nestedLookupError, WSAEINPROGRESS);
    EXPECT_FALSE(WSAIsBlocking());
    // The abandoned attempt is gone: the same socket connects elsewhere, blocking.
    sockaddr_in address;
    Listen(&address);
    EXPECT_EQ(Connect(s, address), 0);
    EXPECT_FALSE(IsNonBlocking(s));
    EXPECT_EQ(WSAUnhookBlockingHook(), 0);
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
