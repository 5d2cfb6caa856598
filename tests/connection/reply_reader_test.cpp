// Reading replies over loopback from the scripted server: the multi-line rule, the reply
// text and its 255-character copy, the growing reply-text block, hostile replies, and the
// wait for a late reply.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>

#include "tests/support/counting_window.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"
#include "tests/support/thread_cpu_time.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

uint32_t ReplyBlockBytes(const TestConnection& client) {
    return static_cast<uint32_t>(GlobalSize(GlobalHandle(client->replyText)));
}

}  // namespace

TEST(ReplyReader, MultiLineRepliesEndOnTheFirstCodedLineWithABlank) {
    ScriptedServer server;
    server.Reply("220-Welcome\r\n220-second\r\n220 ready\r\n")
        .Expect("USER anonymous\r\n")
        .Reply("230-Hello\r\n230-x\r\n 230 inner\r\n230 done\r\n")
        .Expect("CWD x\r\n")
        .Reply("550 No such file.\r\n")
        // "22" is too short to carry a blank after its code: the blank of "023 b" counts.
        .Expect("SITE A\r\n")
        .Reply("022-a\r\n023 b\r\n22\r\n")
        .Expect("SITE B\r\n")
        .Reply("022-a\r\n023-b\r\n22\r\n022 end\r\n");
    server.Start();
    TestConnection client(server.Port());
    char text[REPLY_TEXT_BUFFER_SIZE];

    EXPECT_EQ(ReadReply(client.get(), text), 2);
    EXPECT_EQ(client->lastReplyCode, 220);
    EXPECT_STREQ(client->replyText, "220-Welcome\n220-second\n220 ready\n");
    EXPECT_STREQ(text, "Welcome\nsecond\nready\n");

    EXPECT_EQ(SendCommand(client.get(), "USER anonymous\r\n", text), 2);
    EXPECT_EQ(client->lastReplyCode, 230);
    EXPECT_STREQ(client->replyText, "230-Hello\n230-x\n 230 inner\n230 done\n");
    EXPECT_STREQ(text, "Hello\nx\n inner\ndone\n");

    EXPECT_EQ(SendCommand(client.get(), "CWD x\r\n", text), 5);
    EXPECT_EQ(client->lastReplyCode, 550);
    EXPECT_STREQ(text, "No such file.\n");

    EXPECT_EQ(SendCommand(client.get(), "SITE A\r\n", text), 2);
    EXPECT_EQ(client->lastReplyCode, 22);
    EXPECT_STREQ(text, "a\nb\n");
    // The last line starts with '0': class 0, which no caller takes for success.
    EXPECT_EQ(SendCommand(client.get(), "SITE B\r\n"), 0);
    EXPECT_STREQ(client->replyText, "022-a\n023-b\n22\n022 end\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST(ReplyReader, LongRepliesCutTheTextCopyAndGrowTheBlockUntilTheNextCommand) {
    const std::string longReply = "211-" + std::string(300, 'x') + "\r\n211-" +
                                  std::string(300, 'y') + "\r\n211 end\r\n";
    const std::string hugeReply = "200-" + std::string(100000, 'z') + "\r\n200 end\r\n";
    ScriptedServer server;
    server.Reply(longReply)
        .Expect("NOOP\r\n")
        .Reply("200 ok\r\n")
        .Expect("STAT\r\n")
        .Reply(hugeReply)
        .Expect("NOOP\r\n")
        .Reply("200 ok\r\n");
    server.Start();
    TestConnection client(server.Port());

    char text[300];
    std::fill(std::begin(text), std::end(text), '#');
    EXPECT_EQ(ReadReply(client.get(), text), 2);
    EXPECT_EQ(std::string(text), std::string(255, 'x'));
    EXPECT_EQ(text[256], '#');
    // 618 characters and the NUL: 256 grown by 128 three times.
    EXPECT_EQ(client->replyBufferSize, 640);
    EXPECT_GE(ReplyBlockBytes(client), 640u);
    EXPECT_EQ(std::string(client->replyText),
              "211-" + std::string(300, 'x') + "\n211-" + std::string(300, 'y') + "\n211 end\n");

    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), 2);
    EXPECT_EQ(client->replyBufferSize, REPLY_BLOCK_SIZE);
    EXPECT_STREQ(client->replyText, "200 ok\n");

    // A reply beyond what the 16-bit size can describe keeps its beginning; the reply is
    // still read to its end, so the next command gets its own reply.
    EXPECT_EQ(SendCommand(client.get(), "STAT\r\n"), 2);
    EXPECT_EQ(client->lastReplyCode, 200);
    EXPECT_EQ(client->replyBufferSize, 256 + 509 * 128);
    EXPECT_EQ(std::string(client->replyText), "200-" + std::string(65403, 'z'));
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), 2);
    EXPECT_EQ(client->replyBufferSize, REPLY_BLOCK_SIZE);
    EXPECT_STREQ(client->replyText, "200 ok\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST(ReplyReader, HostileRepliesEndWithAClassAndNeverOverrun) {
    ScriptedServer server;
    server.Reply(std::string("250 a\0b\r\n", 9))
        .Expect("A\r\n")
        .Reply("99999 x\r\n")
        .Expect("B\r\n")
        .Reply(" 200 x\r\n")
        .Expect("C\r\n")
        .Reply("\r\n")
        .Expect("D\r\n")
        .Reply("220-Welcome\r\n220 rea")
        .Close();
    server.Start();
    TestConnection client(server.Port());
    char text[REPLY_TEXT_BUFFER_SIZE];

    EXPECT_EQ(ReadReply(client.get(), text), 2);
    EXPECT_EQ(client->lastReplyCode, 250);
    EXPECT_EQ(std::string(text, 4), std::string("a\0b\n", 4));
    EXPECT_EQ(std::string(client->replyText, 8), std::string("250 a\0b\n", 8));
    // Three digits at most make the code; the class is the first character.
    EXPECT_EQ(SendCommand(client.get(), "A\r\n"), 9);
    EXPECT_EQ(client->lastReplyCode, 999);
    EXPECT_EQ(SendCommand(client.get(), "B\r\n"), 0);
    EXPECT_EQ(client->lastReplyCode, 20);
    EXPECT_EQ(SendCommand(client.get(), "C\r\n"), 0);
    EXPECT_EQ(client->lastReplyCode, 0);
    // Closed in the middle of a line: class 6, and so on every later read.
    EXPECT_EQ(SendCommand(client.get(), "D\r\n", text), REPLY_BROKEN);
    EXPECT_STREQ(text, "Welcome\nrea");
    EXPECT_EQ(ReadReply(client.get()), REPLY_BROKEN);
    EXPECT_EQ(server.Finish(), "");

    ScriptedServer resetting;
    resetting.Reply("220-Welcome\r\n2").Pause(100).Reset();
    resetting.Start();
    TestConnection resetClient(resetting.Port());
    EXPECT_EQ(ReadReply(resetClient.get()), REPLY_BROKEN);
    EXPECT_EQ(resetting.Finish(), "");
}

TEST(ReplyReader, ALateReplyIsAwaitedWithoutSpinningWhileMessagesAreDispatched) {
    ScriptedServer server;
    server.Pause(1000).Reply("220 late\r\n");
    server.Start();
    TestConnection client(server.Port());
    tvtest::CountingWindow window;
    window.Post();

    double cpuBefore = tvtest::ThreadCpuSeconds();
    auto wallBefore = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadReply(client.get()), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - wallBefore, std::chrono::milliseconds(900));
    EXPECT_LT(tvtest::ThreadCpuSeconds() - cpuBefore, 0.1);
    EXPECT_EQ(window.dispatched(), 1);
    EXPECT_EQ(server.Finish(), "");
}

TEST(CommandSenders, FormattedAndUnansweredCommandsSendExactLines) {
    // "PASS " and CR LF leave 312 of the 319 characters for the argument.
    ScriptedServer server;
    server.Expect("USER anonymous\r\n")
        .Reply("331 Password\r\n")
        .Expect("PASS " + std::string(312, 'p') + "\r\n")
        .Reply("230 ok\r\n")
        .Expect("ABOR\r\n")
        .Pause(50)
        .Reply("226 done\r\n");
    server.Start();
    TestConnection client(server.Port());

    EXPECT_EQ(SendFormattedCommand("anonymous", "USER %s\r\n", client.get()), 3);
    EXPECT_EQ(SendFormattedCommand(std::string(1000, 'p').c_str(), "PASS %s\r\n", client.get()),
              2);
    EXPECT_EQ(SendCommandNoReply(client.get(), "ABOR\r\n"), 1);
    EXPECT_EQ(ReadReply(client.get()), 2);
    EXPECT_EQ(client->lastReplyCode, 226);
    EXPECT_EQ(server.Finish(), "");
}
