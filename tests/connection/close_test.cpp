// Closing and interrupting a connection: QUIT and the release of everything the
// connection holds, a second close and a close after the server went away, and the exact
// bytes of an abort.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/connection/open_fixture.h"
#include "tests/support/scripted_server.h"

using namespace tvtest;

namespace {

void ExpectOpen(ScriptedServer& server) {
    server.Reply("220-Scripted FTP\r\n220 ready.\r\n")
        .Expect("USER anonymous\r\n")
        .Reply("230 Welcome.\r\n");
    ExpectDefaultOptions(server);
}

LONG Open(HostRecord& record, uint16_t port) {
    OpenParameters parameters = Parameters(port);
    LogonText user("anonymous");
    return xfsopen(record.handle(), 0, user, nullptr, nullptr, &parameters);
}

bool Freed(const void* block) {
    return GlobalFlags(GlobalHandle(block)) == GMEM_INVALID_HANDLE;
}

class Close : public ::testing::Test {
protected:
    AttachedModule module_;
};

}  // namespace

TEST_F(Close, QuitReleasesEverythingAndASecondCloseDoesNothing) {
    ScriptedServer server;
    ExpectOpen(server);
    ExpectQuit(server);
    server.Start();
    HostRecord record("127.0.0.1");
    ASSERT_EQ(Open(record, server.Port()), 0);
    FtpConnection* connection = record.connection();
    ASSERT_NE(connection->greeting, nullptr);
    EXPECT_STREQ(connection->greeting, "220-Scripted FTP\n220 ready.\n");
    HGLOBAL greeting = GlobalHandle(connection->greeting);
    HGLOBAL replyText = GlobalHandle(connection->replyText);
    HGLOBAL connectionBlock = GlobalHandle(connection);
    // A window that stands in for the protocol window: the close destroys it.
    HWND window = CreateWindowExA(0, "Static", "log", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    connection->protocolWindow = window;

    EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    EXPECT_EQ(record.connection(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    for (HGLOBAL block : {greeting, replyText, connectionBlock}) {
        EXPECT_EQ(GlobalFlags(block), UINT(GMEM_INVALID_HANDLE));
    }
    EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    EXPECT_EQ(server.Finish(), "");
    const std::string received = server.ControlReceived();
    EXPECT_EQ(received.substr(received.size() - 6), "QUIT\r\n");
    EXPECT_EQ(received.find("QUIT"), received.size() - 6);
}

TEST_F(Close, CloseAfterTheServerWentAwayIsQuiet) {
    for (bool reset : {false, true}) {
        ScriptedServer server;
        ExpectOpen(server);
        if (reset) {
            server.Reset();
        } else {
            server.Close();
        }
        server.Start();
        HostRecord record("127.0.0.1");
        ASSERT_EQ(Open(record, server.Port()), 0);
        EXPECT_EQ(server.Finish(), "");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // The connection is gone for good: a stale protocol window handle is left alone.
        record.connection()->protocolWindow = reinterpret_cast<HWND>(0x7777);
        const void* connection = record.connection();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_TRUE(Freed(connection));
    }
}

TEST_F(Close, AbortSendsTheInterruptTheUrgentMarkAndAbor) {
    ScriptedServer server;
    ExpectOpen(server);
    server.Expect("\xff\xf4\xff")
        .ExpectUrgent()
        .Expect("ABOR\r\n")
        .Reply("225 ABOR command successful.\r\n")
        .Expect("NOOP\r\n")
        .Reply("200 NOOP ok.\r\n");
    ExpectQuit(server);
    server.Start();
    {
        HostRecord record("127.0.0.1");
        ASSERT_EQ(Open(record, server.Port()), 0);
        const size_t before = server.ControlReceived().size();
        EXPECT_EQ(FTP_Abort(record.get()), 0);
        EXPECT_EQ(record.connection()->lastReplyCode, 225);
        // The connection stays usable.
        EXPECT_EQ(SendCommand(record.connection(), "NOOP\r\n"), REPLY_COMPLETE);
        const std::vector<UrgentByte> urgent = server.UrgentReceived();
        ASSERT_EQ(urgent.size(), 1u);
        EXPECT_EQ(urgent[0].byte, '\xf2');
        EXPECT_EQ(urgent[0].offset, before + 3);
    }
    EXPECT_EQ(server.Finish(), "");
}
