// Closing and interrupting a connection: QUIT and the release of everything the
// connection holds, a second close and a close after the server went away, and the exact
// bytes of an abort.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/connection/open_fixture.h"

using namespace tvtest;

namespace {

void ExpectOpen(ScriptedServer& server) {
    ExpectAnonymousLogon(server, "220-Scripted FTP\r\n220 ready.\r\n");
    ExpectDefaultOptions(server);
}

using Close = ModuleTest;

}  // namespace

TEST_F(Close, QuitReleasesEverythingEvenAfterTheServerWentAwayAndASecondCloseDoesNothing) {
    enum class End { Answers, Closes, Resets };
    for (End end : {End::Answers, End::Closes, End::Resets}) {
        SCOPED_TRACE(static_cast<int>(end));
        ScriptedServer server;
        ExpectOpen(server);
        if (end == End::Answers) ExpectQuit(server);
        if (end == End::Closes) server.Close();
        if (end == End::Resets) server.Reset();
        server.Start();
        HostRecord record("127.0.0.1");
        ASSERT_EQ(OpenAnonymously(record, Parameters(server.Port())), 0);
        FtpConnection* connection = record.connection();
        EXPECT_STREQ(connection->greeting, "220-Scripted FTP\n220 ready.\n");
        const HGLOBAL blocks[] = {GlobalHandle(connection->greeting),
                                  GlobalHandle(connection->replyText), GlobalHandle(connection)};
        // The close destroys the protocol window, and leaves a stale handle alone.
        HWND window = CreateWindowExA(0, "Static", "log", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
        connection->protocolWindow = end == End::Answers ? window : reinterpret_cast<HWND>(0x7777);
        if (end != End::Answers) {
            EXPECT_EQ(server.Finish(), "");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(IsWindow(window), end != End::Answers);
        for (HGLOBAL block : blocks) EXPECT_EQ(GlobalFlags(block), UINT(GMEM_INVALID_HANDLE));
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_EQ(server.Finish(), "");
        DestroyWindow(window);
    }
}

TEST_F(Close, AbortSendsTheInterruptTheUrgentMarkAndAborAndTheConnectionGoesOn) {
    ScriptedServer server;
    ExpectOpen(server);
    server.Expect("\xff\xf4\xff").ExpectUrgent().Expect("ABOR\r\n")
        .Reply("225 ABOR command successful.\r\n").Expect("NOOP\r\n").Reply("200 NOOP ok.\r\n");
    ExpectQuit(server);
    server.Start();
    {
        HostRecord record("127.0.0.1");
        ASSERT_EQ(OpenAnonymously(record, Parameters(server.Port())), 0);
        const size_t before = server.ControlReceived().size();
        EXPECT_EQ(FTP_Abort(record.get()), 0);
        EXPECT_EQ(record.connection()->lastReplyCode, 225);
        EXPECT_EQ(SendCommand(record.connection(), "NOOP\r\n"), REPLY_COMPLETE);
        // IAC IP in the stream, then IAC DM with the DM as the urgent byte.
        ASSERT_EQ(server.UrgentReceived().size(), 1u);
        EXPECT_EQ(server.UrgentReceived()[0].offset, before + 3);
        EXPECT_EQ(server.UrgentReceived()[0].byte, '\xf2');
    }
    EXPECT_EQ(server.Finish(), "");
}
