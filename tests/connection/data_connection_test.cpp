// Data connections over loopback: the PORT command's exact bytes, the default data port and
// the fallback to it, PASV replies friendly and hostile, the start of file transfers with
// their refusals, and waits that neither spin nor stop the messages.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "connection/data_connection.h"
#include "transfer/start_transfer.h"
#include "records/module_state.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/counting_window.h"
#include "tests/support/loopback.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"
#include "tests/support/thread_cpu_time.h"

using namespace tvtest;
using Clock = std::chrono::steady_clock;

namespace {

bool WouldBlock(SOCKET socket) {
    char byte;
    return recv(socket, &byte, 1, 0) == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

TEST(DataConnection, PortAnnouncesAFreshPortAndTheAcceptWaitsWithoutSpinning) {
    ScriptedServer server;
    server.ExpectLineStartingWith("PORT ").Reply("200 PORT ok\r\n").Pause(700).ConnectToPort()
        .Pause(100).DataSend("listing bytes").DataClose();
    server.Start();
    TestConnection client(server.Port());
    CountingWindow owner;
    client->ownerWindow = owner.handle();
    client->stateFlags = STATE_SEND_PORT;
    gModule.peekInterval = PEEK_INTERVAL_DEFAULT;

    SOCKET listener = INVALID_SOCKET;
    ASSERT_EQ(OpenListeningSocket(client.get(), &listener), LISTENING_READY);
    unsigned port = ntohs(LocalAddress(listener).sin_port);
    EXPECT_NE(LocalAddress(listener).sin_port, LocalAddress(client->controlSocket).sin_port);
    owner.Post();
    auto started = Clock::now();
    double cpuBefore = ThreadCpuSeconds();
    SOCKET data = INVALID_SOCKET;
    ASSERT_EQ(AcceptDataConnection(client.get(), &listener, &data), 0);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_EQ(owner.dispatched(), 1);
    EXPECT_EQ(client->stateFlags, static_cast<uint32_t>(STATE_SEND_PORT | STATE_DATA_TRANSFER));
    EXPECT_NE(listener, INVALID_SOCKET) << "the listening socket stays for the caller";
    EXPECT_TRUE(WouldBlock(data));
    EXPECT_EQ(ReadUntilClose(data), "listing bytes");
    closesocket(data);
    closesocket(listener);
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(server.ControlReceived(), "PORT 127,0,0,1," + std::to_string(port >> 8) + "," +
                                            std::to_string(port & 0xff) + "\r\n");
}

TEST(DataConnection, RefusedPortFallsBackToTheDefaultDataPortForGood) {
    ScriptedServer server;
    server.ExpectLineStartingWith("PORT 127,0,0,1,").Reply("500 'PORT': not understood.\r\n")
        .Expect("NOOP\r\n").Reply("200 ok\r\n").ExpectLineStartingWith("PORT ").Close();
    server.Start();
    TestConnection client(server.Port());
    // As an open leaves the control socket: its port may be shared with the data listener.
    int on = 1;
    setsockopt(client->controlSocket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<char*>(&on), 4);
    const sockaddr_in control = LocalAddress(client->controlSocket);

    client->stateFlags = STATE_SEND_PORT;
    for (int round = 0; round < 2; ++round) {
        SOCKET listener = INVALID_SOCKET;
        ASSERT_EQ(OpenListeningSocket(client.get(), &listener), LISTENING_READY);
        EXPECT_EQ(client->stateFlags & STATE_SEND_PORT, 0u);
        sockaddr_in listening = LocalAddress(listener);
        EXPECT_EQ(listening.sin_addr.s_addr, control.sin_addr.s_addr);
        EXPECT_EQ(listening.sin_port, control.sin_port);
        int reuse = 0, length = sizeof reuse;
        getsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<char*>(&reuse), &length);
        EXPECT_NE(reuse, 0);
        SOCKET serverSide = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(serverSide, reinterpret_cast<const sockaddr*>(&control), sizeof control),
                  0);
        SOCKET data = INVALID_SOCKET;
        ASSERT_EQ(AcceptDataConnection(client.get(), &listener, &data), 0);
        EXPECT_TRUE(WouldBlock(data));
        closesocket(serverSide);
        closesocket(data);
        closesocket(listener);
    }
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), REPLY_COMPLETE);

    // The control connection breaks while PORT awaits its reply.
    client->stateFlags = STATE_SEND_PORT;
    SOCKET listener = INVALID_SOCKET;
    EXPECT_EQ(OpenListeningSocket(client.get(), &listener), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(listener, INVALID_SOCKET);
    EXPECT_EQ(server.Finish(), "");

    // A default data port held by a socket that does not share it: the bind is retried for
    // a while, then refused, instead of waiting for ever.
    TestConnection unshared(server.Port());
    auto started = Clock::now();
    EXPECT_EQ(OpenListeningSocket(unshared.get(), &listener), FsErrorFromSocket(WSAEADDRINUSE));
    EXPECT_EQ(listener, INVALID_SOCKET);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
}

TEST(DataConnection, PassiveAddressesAreReadFromTheReplyAndHostileOnesRefused) {
    sockaddr_in address{};
    for (const char* text : {"227 Entering Passive Mode (10,0,0,7,19,137).\n",
                             "227 Data ready at 10,0,0,7,19,137 for you\n",
                             "227 =10.0.0.7.19.137\n", "227 ( 10,,0, 0,7,19,137 )\n"}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(ParsePassiveAddress(text, &address), 0);
        EXPECT_EQ(address.sin_family, AF_INET);
        EXPECT_EQ(address.sin_addr.s_addr, inet_addr("10.0.0.7"));
        EXPECT_EQ(ntohs(address.sin_port), 5001);
    }
    const std::string hostile[] = {
        "227 Entering Passive Mode\n", "227 (10,0,0,7,19)\n", "227 (10,0,0,7,19,)\n",
        "227 (10,0,0,256,19,137)\n", "227 (10,0,0,7,19,-137)\n", "227 (10,0,0,7,x,137)\n",
        "227 (" + std::string(300, '9') + ",0,0,7,19,137)\n", "227 (1,2,3,4,4294967297,1)\n",
        "227", "",
    };
    for (const std::string& text : hostile) {
        SCOPED_TRACE(text.substr(0, 40));
        EXPECT_EQ(ParsePassiveAddress(text.c_str(), &address), FSE_FAILED);
        EXPECT_EQ(ntohs(address.sin_port), 5001) << "the address is left alone";
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 20000; ++i) {
        std::string text = "227 ";
        for (int length = static_cast<int>(random() % 40); length > 0; --length) {
            text += "0123456789,.)( -x\xff"[random() % 18];
        }
        int32_t result = ParsePassiveAddress(text.c_str(), &address);
        ASSERT_TRUE(result == 0 || result == FSE_FAILED) << text;
    }
}

TEST(DataConnection, PassiveRequestsConnectOrTellRefusalFromNonsense) {
    ScriptedServer server;
    server.Expect("PASV\r\n").Passive().DataSend("first").DataClose()
        .Expect("PASV\r\n").Passive("227 Passive at ", " as asked\r\n").DataSend("second")
        .DataClose()
        .Expect("PASV\r\n").Reply("502 Command not implemented.\r\n")
        .Expect("PASV\r\n").Reply("227 Entering Passive Mode (127,0,0,1,300,2).\r\n")
        .Expect("PASV\r\n").Close();
    server.Start();
    TestConnection client(server.Port());
    for (const char* expected : {"first", "second"}) {
        client->stateFlags = 0;
        SOCKET data = INVALID_SOCKET;
        ASSERT_EQ(OpenPassiveConnection(client.get(), &data), 0);
        EXPECT_EQ(client->stateFlags, static_cast<uint32_t>(STATE_PASSIVE_CONNECTION_OPEN));
        EXPECT_EQ(ReadUntilClose(data), expected);
        closesocket(data);
    }
    client->stateFlags = 0;
    SOCKET data = INVALID_SOCKET;
    EXPECT_EQ(OpenPassiveConnection(client.get(), &data), FSE_NOT_FOUND);
    EXPECT_EQ(OpenPassiveConnection(client.get(), &data), FSE_FAILED);
    // Lost while PASV awaits its reply: not mistaken for the earlier 227.
    EXPECT_EQ(OpenPassiveConnection(client.get(), &data), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(data, INVALID_SOCKET);
    EXPECT_EQ(client->stateFlags, 0u);
    EXPECT_EQ(server.Finish(), "");
}

namespace {

// The connect of the next test stays pending on a full listener until the focus window,
// run by the wait, takes the connection that fills the queue.
SOCKET gFullListener = INVALID_SOCKET;

LRESULT CALLBACK MakeRoomProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != COUNTED_MESSAGE) return DefWindowProcA(window, message, wParam, lParam);
    closesocket(accept(gFullListener, nullptr, nullptr));
    return 0;
}

}  // namespace

TEST(DataConnection, PassiveConnectWaitsWithoutSpinningAndRunsTheFocusWindow) {
    WSADATA startup;
    WSAStartup(MAKEWORD(1, 1), &startup);
    sockaddr_in address;
    gFullListener = LoopbackListener(0, &address);
    SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MakeRoomProc;
    windowClass.lpszClassName = "TvTestMakeRoom";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "TvTestMakeRoom", "", 0, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    SetFocus(window);
    PostMessageA(window, COUNTED_MESSAGE, 0, 0);
    auto started = Clock::now();
    double cpuBefore = ThreadCpuSeconds();
    SOCKET data = INVALID_SOCKET;
    EXPECT_EQ(ConnectDataSocket(address, &data), 0);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
    // Through only on the system's retry of the connect, after the window made room.
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(300));
    EXPECT_TRUE(WouldBlock(data));
    closesocket(data);
    closesocket(filler);
    closesocket(gFullListener);

    data = INVALID_SOCKET;
    EXPECT_EQ(ConnectDataSocket(address, &data), FSE_FAILED);
    EXPECT_EQ(data, INVALID_SOCKET);
    SetFocus(nullptr);
    DestroyWindow(window);
    WSACleanup();
}

TEST(DataConnection, FileTransfersStartWithTheirCommandAndMapRefusals) {
    const std::string longest(COMMAND_BUFFER_SIZE - 8, 'n');  // "RETR " + it + CR LF + NUL
    struct Case {
        std::string path;
        uint16_t mode;
        std::string command;  // "" when nothing is to be sent
        std::string reply;    // "" when the server closes instead
        int32_t result;
    };
    const Case cases[] = {
        {"/dir/a.txt", FILE_MODE_READ | FILE_MODE_ASCII, "RETR /dir/a.txt", "150 Opening\r\n", 0},
        {"lf.txt", FILE_MODE_READ, "RETR lf.txt", "125 Already open\r\n", LISTENING_PORT_ODDLY},
        {"up", FILE_MODE_WRITE | FILE_MODE_APPEND, "STOR up", "150 Ok to send\r\n", 0},
        {"new", FILE_MODE_CREATE, "STOR new", "150 Ok\r\n", 0},
        {"log", FILE_MODE_APPEND, "APPE log", "150 Ok\r\n", 0},
        {"missing", FILE_MODE_READ, "RETR missing", "550 No such file.\r\n", FSE_RETRIEVE_REFUSED},
        {longest, FILE_MODE_READ, "RETR " + longest, "452 Full\r\n", FSE_RETRIEVE_REFUSED},
        {"/ro/x", FILE_MODE_CREATE, "STOR /ro/x", "553 Could not create.\r\n", FSE_NAME_NOT_ALLOWED},
        {"full", FILE_MODE_APPEND, "APPE full", "452 Insufficient storage.\r\n", FSE_NO_SPACE},
        {"other", FILE_MODE_WRITE, "STOR other", "550 Permission denied.\r\n", FSE_STORE_REFUSED},
        {"nowhere", FILE_MODE_RECORD | FILE_MODE_ASCII, "", "", FSE_NOT_SUPPORTED},
        {longest + "n", FILE_MODE_READ, "", "", FSE_INVALID},
        {"gone", FILE_MODE_READ, "RETR gone", "", FSE_CONNECTION_BROKEN},
    };
    ScriptedServer server;
    for (const Case& c : cases) {
        if (c.command.empty()) continue;
        server.ExpectLineStartingWith("PORT ").Reply(c.result == 1 ? "350 Odd\r\n" : "200 ok\r\n")
            .Expect(c.command + "\r\n");
        if (c.reply.empty()) {
            server.Close();
        } else if (c.reply[0] == '1') {
            server.Reply(c.reply).ConnectToPort().DataSend(c.path).DataClose();
        } else {
            server.Reply(c.reply);
        }
    }
    server.Start();
    TestConnection client(server.Port());
    FsStateRecord record{};
    record.connection = client.get();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 20));
        OpenedFile file(c.path, c.mode);
        client->stateFlags = STATE_SEND_PORT;
        ASSERT_EQ(StartFileTransfer(&file.handle, &record), c.result);
        if (c.result < 0) {
            EXPECT_EQ(file.handle.listeningSocket, INVALID_SOCKET);
            EXPECT_EQ(file.handle.dataSocket, INVALID_SOCKET);
            continue;
        }
        EXPECT_NE(file.handle.listeningSocket, INVALID_SOCKET);
        EXPECT_EQ(file.handle.recordBytesLeft, 0);
        EXPECT_EQ(file.handle.recordReadPosition, 0);
        EXPECT_EQ(ReadUntilClose(file.handle.dataSocket), c.path);
    }
    EXPECT_EQ(server.Finish(), "");
}
