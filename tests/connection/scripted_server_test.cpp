// The scripted server's data actions, driven through the control connection as the module
// drives a server: a passive connection announced by 227, and a connection back to the
// address of a PORT command, with the bytes of both directions recorded.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

sockaddr_in Loopback(u_short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::string ReceiveUntilClose(SOCKET socket) {
    std::string received;
    char buffer[256];
    int count;
    while ((count = recv(socket, buffer, sizeof buffer, 0)) > 0) received.append(buffer, count);
    return received;
}

}  // namespace

TEST(ScriptedServer, PassiveAndPortDataConnectionsCarryAndRecordBytes) {
    ScriptedServer server;
    server.Expect("PASV\r\n")
        .Passive()
        .Expect("RETR a\r\n")
        .Reply("150 Opening\r\n")
        .DataSend("hello")
        .DataClose()
        .Reply("226 Done\r\n")
        .ExpectLineStartingWith("PORT 127,0,0,1,")
        .ConnectToPort()
        .Expect("STOR b\r\n")
        .Reply("150 Opening\r\n")
        .DataReceiveUntilClose()
        .Reply("226 Done\r\n");
    server.Start();
    TestConnection client(server.Port());
    char text[REPLY_TEXT_BUFFER_SIZE];

    ASSERT_EQ(SendCommand(client.get(), "PASV\r\n", text), 2);
    unsigned h1, h2, h3, h4, p1, p2;
    ASSERT_EQ(std::sscanf(text, "Entering Passive Mode (%u,%u,%u,%u,%u,%u)", &h1, &h2, &h3, &h4,
                          &p1, &p2), 6);
    SOCKET passive = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(static_cast<u_short>(p1 << 8 | p2));
    ASSERT_EQ(connect(passive, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(SendCommand(client.get(), "RETR a\r\n"), 1);
    EXPECT_EQ(ReceiveUntilClose(passive), "hello");
    closesocket(passive);
    EXPECT_EQ(ReadReply(client.get()), 2);

    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    address = Loopback(0);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 1);
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    u_short port = ntohs(address.sin_port);
    char line[64];
    wsprintfA(line, "PORT 127,0,0,1,%d,%d\r\n", port >> 8, port & 0xff);
    SendCommandNoReply(client.get(), line);
    SOCKET data = accept(listener, nullptr, nullptr);
    ASSERT_NE(data, INVALID_SOCKET);
    EXPECT_EQ(SendCommand(client.get(), "STOR b\r\n"), 1);
    EXPECT_EQ(send(data, "upload", 6, 0), 6);
    closesocket(data);
    closesocket(listener);
    EXPECT_EQ(ReadReply(client.get()), 2);

    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(server.DataReceived(), (std::vector<std::string>{"", "upload"}));
    EXPECT_NE(server.ControlReceived().find(line), std::string::npos);
}
