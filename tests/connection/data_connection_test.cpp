// Data connections below the exports: waits for the server's connect and for a passive
// connect that neither spin nor stop the messages, and a default data port held elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "connection/data_connection.h"
#include "tests/support/counting_window.h"
#include "tests/support/host_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/thread_cpu_time.h"

using namespace tvtest;
using Clock = std::chrono::steady_clock;

namespace {

bool WouldBlock(SOCKET socket) {
    char byte;
    return recv(socket, &byte, 1, 0) == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK;
}

// The connect of a test stays pending on a full listener until the focus window, run by
// the wait, takes the connection that fills the queue.
SOCKET gFullListener = INVALID_SOCKET;
LRESULT CALLBACK MakeRoomProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != COUNTED_MESSAGE) return DefWindowProcA(window, message, wParam, lParam);
    closesocket(accept(gFullListener, nullptr, nullptr));
    return 0;
}

}  // namespace

TEST(DataConnection, WaitsForTheServerRunMessagesWithoutSpinning) {
    ScriptedServer server;
    server.ExpectLineStartingWith("PORT 127,0,0,1,").Reply("200 PORT ok\r\n").Pause(700)
        .ConnectToPort().Pause(100).DataSend("listing bytes").DataClose();
    server.Start();
    TestConnection client(server.Port());
    CountingWindow owner;
    client->ownerWindow = owner.handle();
    client->stateFlags = STATE_SEND_PORT;
    SOCKET listener = INVALID_SOCKET, data = INVALID_SOCKET;
    ASSERT_EQ(OpenListeningSocket(client.get(), &listener), LISTENING_READY);
    owner.Post();
    auto started = Clock::now();
    double cpuBefore = ThreadCpuSeconds();
    ASSERT_EQ(AcceptDataConnection(client.get(), &listener, &data), 0);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_EQ(owner.dispatched(), 1);
    EXPECT_EQ(client->stateFlags, static_cast<uint32_t>(STATE_SEND_PORT | STATE_DATA_TRANSFER));
    EXPECT_TRUE(WouldBlock(data));
    EXPECT_EQ(ReadUntilClose(data), "listing bytes");
    closesocket(data);
    closesocket(listener);
    EXPECT_EQ(server.Finish(), "");

    // A passive connect that stays pending until the focus window made room.
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
    started = Clock::now();
    cpuBefore = ThreadCpuSeconds();
    data = INVALID_SOCKET;
    EXPECT_EQ(ConnectDataSocket(address, &data), 0);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
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
}

TEST(DataConnection, DefaultDataPortHeldElsewhereIsRetriedUntilTheTimeOut) {
    // The control socket does not share its port: the bind is retried, without spinning,
    // for the time-out, then refused as address-in-use.
    ScriptedServer server;
    server.Start();
    TestConnection unshared(server.Port());
    gModule.timeoutSeconds = 1;
    SOCKET listener = INVALID_SOCKET;
    const auto started = Clock::now();
    const double cpuBefore = ThreadCpuSeconds();
    EXPECT_EQ(OpenListeningSocket(unshared.get(), &listener), FsErrorFromSocket(WSAEADDRINUSE));
    EXPECT_EQ(listener, INVALID_SOCKET);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.1);
    gModule.timeoutSeconds = TIMEOUT_SECONDS_DEFAULT;
}
