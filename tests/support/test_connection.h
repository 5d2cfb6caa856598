// A connection record for tests: an FtpConnection from OrrAlloc with its 256-byte
// reply-text block and a non-blocking control socket connected to a local port, as
// connection open leaves them. Freed, and the socket closed, on destruction.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"
#include "driver/open.h"

#include "util/orr.h"

namespace tvtest {

class TestConnection {
public:
    explicit TestConnection(uint16_t port) {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
        connection_ = static_cast<FtpConnection*>(OrrAlloc(sizeof(FtpConnection)));
        connection_->replyText = static_cast<char*>(OrrAlloc(REPLY_BLOCK_SIZE));
        connection_->replyBufferSize = REPLY_BLOCK_SIZE;
        connection_->hooks = &kModuleHooks;

        SOCKET control = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(control, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        u_long nonBlocking = 1;
        ioctlsocket(control, FIONBIO, &nonBlocking);
        connection_->controlSocket = control;
        ControlStreamInit(&connection_->stream, control);
    }
    ~TestConnection() {
        if (connection_->stream.socket != INVALID_SOCKET) ControlStreamClose(&connection_->stream);
        OrrFree(connection_->replyText);
        OrrFree(connection_);
        WSACleanup();
    }
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    bool connected() const { return connected_; }
    FtpConnection* get() const { return connection_; }
    FtpConnection* operator->() const { return connection_; }
    ControlStream* stream() const { return &connection_->stream; }

private:
    FtpConnection* connection_;
    bool connected_ = false;
};

}  // namespace tvtest
