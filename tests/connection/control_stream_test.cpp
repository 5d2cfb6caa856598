// The control stream over loopback: the Telnet filter and its refusals on the wire, the
// carriage-return rules, sequences split between receives, socket controls, closed streams
// and connections, and sends that have to wait for room. The interrupt signal is proven by
// the abort of a connection.
#include <gtest/gtest.h>

#include <string>

#include "connection/wait.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"
#include "tests/support/thread_cpu_time.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

// Reads `wanted` characters with reads of at most `count`, waiting while nothing arrived.
// Stops early on the end of the stream or an error, which goes to *last.
std::string ReadCharacters(ControlStream* stream, size_t wanted, int32_t count,
                           int32_t* last = nullptr) {
    std::string characters;
    char buffer[64];
    int32_t result = 0;
    while (characters.size() < wanted) {
        result = ControlStreamRead(stream, buffer, count);
        if (result == FSE_WOULD_BLOCK) {
            WaitReadable(stream->socket);
            continue;
        }
        if (result < 1) break;
        EXPECT_LE(result, count);
        characters.append(buffer, static_cast<size_t>(result));
    }
    if (last != nullptr) *last = result;
    return characters;
}

}  // namespace

TEST(ControlStream, TelnetFilterRefusesEveryOptionAndUndoublesIacAcrossReceives) {
    // In the second reply 127 bytes and an IAC fill the first 128-byte receive and WILL 1
    // comes with the next; the pauses split CR from LF and IAC from DO.
    const std::string first = "220-" + std::string(123, 'a') + "\xff\xfb\x01" "x\r";
    ScriptedServer server;
    server.Reply("220 a\xff\xfb\x01" "b\xff\xfd\x03" "c\xff\xff d"
                 "\xff\xfc\x05\xff\xfe\x06\xff\xf1" "e\r\n")
        .Expect("\xff\xfe\x01\xff\xfc\x03\xff\xfe\x05\xff\xfc\x06")
        .Send(first).Pause(100).Send("\n220 b\xff").Pause(100).Send("\xfd\x07" "c\r")
        .Pause(100).Send("\n").Expect("\xff\xfe\x01\xff\xfc\x07");
    server.Start();
    TestConnection client(server.Port());

    EXPECT_EQ(ReadReply(client.get()), 2);
    EXPECT_STREQ(client->replyText, "220 abc\xff de\n");
    EXPECT_EQ(ReadReply(client.get()), 2);
    EXPECT_EQ(std::string(client->replyText), "220-" + std::string(123, 'a') + "x\n220 bc\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST(ControlStream, CarriageReturnRulesHoldTheSecondCharacterForTheNextRead) {
    const std::string bytes("x\rAy\r\0z\r\r\nw\r\xff\xfb\x02\n", 16);
    const std::string characters = "x\rAy\rz\r\r\nw\r\n";
    ScriptedServer server;
    server.Send(bytes).Expect("\xff\xfe\x02").Send(bytes).Expect("\xff\xfe\x02");
    server.Start();
    TestConnection client(server.Port());

    EXPECT_EQ(ReadCharacters(client.stream(), characters.size(), 1), characters);
    EXPECT_EQ(ReadCharacters(client.stream(), characters.size(), 64), characters);
    EXPECT_EQ(server.Finish(), "");
}

TEST(ControlStream, ServerCloseResetAndClosedStream) {
    ScriptedServer closing, resetting;
    closing.Send("2").Close();
    resetting.Send("2").Pause(50).Reset();
    closing.Start();
    resetting.Start();
    TestConnection client(closing.Port()), resetClient(resetting.Port());
    // Codes other than the interrupt are socket controls.
    u_long waiting = 0;
    WaitReadable(client->stream.socket, 2000);
    EXPECT_EQ(ControlStreamSignal(client.stream(), FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 1u);
    int32_t last;
    EXPECT_EQ(ReadCharacters(client.stream(), 2, 8, &last), "2");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(ReadCharacters(resetClient.stream(), 2, 8, &last), "2");
    EXPECT_EQ(last, FsErrorFromSocket(WSAECONNRESET));
    EXPECT_EQ(closing.Finish(), "");
    EXPECT_EQ(resetting.Finish(), "");

    EXPECT_EQ(ControlStreamClose(client.stream()), 0);
    EXPECT_EQ(client->stream.socket, INVALID_SOCKET);
    char character;
    EXPECT_EQ(ControlStreamClose(client.stream()), FSE_STREAM_CLOSED);
    EXPECT_EQ(ControlStreamSend(client.stream(), "NOOP\r\n", 6), FSE_STREAM_CLOSED);
    EXPECT_EQ(ControlStreamRead(client.stream(), &character, 1), FSE_STREAM_CLOSED);
    EXPECT_EQ(ControlStreamSignal(client.stream(), SIGNAL_INTERRUPT, nullptr), FSE_STREAM_CLOSED);
    EXPECT_EQ(ReadReply(client.get()), FSE_STREAM_CLOSED);
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), FSE_STREAM_CLOSED);
}

TEST(ControlStream, SendWaitsForRoomAndReportsTheCountIn16Bits) {
    const std::string block(1024 * 1024 + 5, 'q');
    ScriptedServer server;
    server.Pause(300).ExpectAny(block.size());
    server.Start();
    TestConnection client(server.Port());
    int small = 4096;
    setsockopt(client->stream.socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&small),
               sizeof small);

    double cpuBefore = tvtest::ThreadCpuSeconds();
    EXPECT_EQ(ControlStreamSend(client.stream(), block.data(), static_cast<int32_t>(block.size())),
              static_cast<int32_t>(block.size() & 0xffff));
    EXPECT_LT(tvtest::ThreadCpuSeconds() - cpuBefore, 0.15);
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(server.ControlReceived(), block);
}
