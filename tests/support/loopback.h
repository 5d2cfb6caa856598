// Loopback sockets for the tests of data connections and connects: addresses on
// 127.0.0.1, a listener whose queue can be filled so that a connect to it stays pending,
// and the bytes a peer sends until it closes.
#pragma once

#include <chrono>
#include <string>

#include "connection/wait.h"
#include "platform/platform.h"

namespace tvtest {

inline sockaddr_in LoopbackAddress(u_short port = 0) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listener on a free loopback port; with a backlog of 0 its queue is full after one
// connection, and the system drops further requests, so that their connects wait.
inline SOCKET LoopbackListener(int backlog, sockaddr_in* address) {
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    *address = LoopbackAddress();
    bind(listener, reinterpret_cast<sockaddr*>(address), sizeof *address);
    listen(listener, backlog);
    int length = sizeof *address;
    getsockname(listener, reinterpret_cast<sockaddr*>(address), &length);
    return listener;
}

// A loopback port on which nothing listens.
inline u_short UnusedPort() {
    sockaddr_in address;
    SOCKET probe = LoopbackListener(1, &address);
    closesocket(probe);
    return ntohs(address.sin_port);
}

// Everything the peer sends until it closes, on a blocking or non-blocking socket; bounded
// so that a peer that never closes fails the test instead of hanging it.
inline std::string ReadUntilClose(SOCKET socket) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        char buffer[4096];
        int received = recv(socket, buffer, sizeof buffer, 0);
        if (received > 0) {
            got.append(buffer, static_cast<size_t>(received));
        } else if (received == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
            break;
        } else {
            WaitReadable(socket);
        }
    }
    return got;
}

}  // namespace tvtest
