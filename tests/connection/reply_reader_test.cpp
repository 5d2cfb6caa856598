// Reading replies over loopback from the scripted server: the multi-line rule, the reply
// text and its 255-character copy, the growing reply-text block, hostile and broken
// replies, and the wait for a late reply; the command senders' exact lines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "tests/support/counting_window.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"
#include "tests/support/thread_cpu_time.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

TEST(ReplyReader, RepliesEndOnTheFirstLineWithTheFirstCodeAndABlankAndNeverOverrun) {
    struct Case {
        std::string reply;
        int32_t replyClass;
        uint16_t code;
        std::string stored;  // the reply-text block
        std::string text;    // the caller's copy, without the code columns
    };
    const Case cases[] = {
        {"220-Welcome\r\n220-second\r\n220 ready\r\n", 2, 220,
         "220-Welcome\n220-second\n220 ready\n", "Welcome\nsecond\nready\n"},
        {"230-Hello\r\n230-x\r\n 230 inner\r\n230 done\r\n", 2, 230,
         "230-Hello\n230-x\n 230 inner\n230 done\n", "Hello\nx\n inner\ndone\n"},
        {"550 No such file.\r\n", 5, 550, "550 No such file.\n", "No such file.\n"},
        // "22" is too short to carry a blank after its code: the blank of "023 b" counts.
        {"022-a\r\n023 b\r\n22\r\n", 2, 22, "022-a\n023 b\n22\n", "a\nb\n"},
        // A last line that starts with '0' or a blank is class 0, which no caller accepts.
        {"022-a\r\n023-b\r\n22\r\n022 end\r\n", 0, 22, "022-a\n023-b\n22\n022 end\n",
         "a\nb\nend\n"},
        {" 200 x\r\n", 0, 20, " 200 x\n", " x\n"},
        {"\r\n", 0, 0, "\n", ""},
        {std::string("250 a\0b\r\n", 9), 2, 250, std::string("250 a\0b\n", 8),
         std::string("a\0b\n", 4)},
        // Three digits at most make the code; the class is the first character.
        {"99999 x\r\n", 9, 999, "99999 x\n", "9 x\n"},
    };
    // The first reply comes late: the wait dispatches the thread's messages and does not spin.
    ScriptedServer server;
    server.Pause(1000);
    for (const Case& c : cases) {
        if (&c != cases) server.Expect("NOOP\r\n");
        server.Reply(c.reply);
    }
    server.Expect("NOOP\r\n").Reply("220-Welcome\r\n220 rea").Close();
    server.Start();
    TestConnection client(server.Port());
    tvtest::CountingWindow window;
    window.Post();
    const double cpuBefore = tvtest::ThreadCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    char text[REPLY_TEXT_BUFFER_SIZE];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const bool first = &c == cases;
        EXPECT_EQ(first ? ReadReply(client.get(), text)
                        : SendCommand(client.get(), "NOOP\r\n", text),
                  c.replyClass);
        if (first) {
            EXPECT_GE(std::chrono::steady_clock::now() - wallBefore,
                      std::chrono::milliseconds(900));
            EXPECT_LT(tvtest::ThreadCpuSeconds() - cpuBefore, 0.1);
            EXPECT_EQ(window.dispatched(), 1);
        }
        EXPECT_EQ(client->lastReplyCode, c.code);
        EXPECT_EQ(std::string(client->replyText, c.stored.size() + 1), c.stored + '\0');
        EXPECT_EQ(std::string(text, c.text.size() + 1), c.text + '\0');
    }
    // Closed in the middle of a line: class 6, and so on every later read.
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n", text), REPLY_BROKEN);
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

TEST(ReplyReader, LongRepliesCutTheTextCopyAndGrowTheBlockUntilTheNextCommand) {
    const std::string longReply = "211-" + std::string(300, 'x') + "\r\n211-" +
                                  std::string(300, 'y') + "\r\n211 end\r\n";
    const std::string hugeReply = "200-" + std::string(100000, 'z') + "\r\n200 end\r\n";
    ScriptedServer server;
    server.Reply(longReply).Expect("STAT\r\n").Reply(hugeReply).Expect("NOOP\r\n")
        .Reply("200 ok\r\n");
    server.Start();
    TestConnection client(server.Port());

    char text[300];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(ReadReply(client.get(), text), 2);
    EXPECT_EQ(std::string(text), std::string(255, 'x'));
    EXPECT_EQ(text[256], '#');
    // 618 characters and the NUL: 256 grown by 128 three times.
    EXPECT_EQ(client->replyBufferSize, 640);
    EXPECT_GE(GlobalSize(GlobalHandle(client->replyText)), 640u);
    EXPECT_EQ(std::string(client->replyText),
              "211-" + std::string(300, 'x') + "\n211-" + std::string(300, 'y') + "\n211 end\n");

    // A reply beyond what the 16-bit size can describe keeps its beginning; the reply is
    // still read to its end, so the next command gets its own reply, in a block of the
    // usual size again.
    EXPECT_EQ(SendCommand(client.get(), "STAT\r\n"), 2);
    EXPECT_EQ(client->lastReplyCode, 200);
    EXPECT_EQ(client->replyBufferSize, 256 + 509 * 128);
    EXPECT_EQ(std::string(client->replyText), "200-" + std::string(65403, 'z'));
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), 2);
    EXPECT_EQ(client->replyBufferSize, REPLY_BLOCK_SIZE);
    EXPECT_STREQ(client->replyText, "200 ok\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST(CommandSenders, FormattedAndUnansweredCommandsSendExactLines) {
    // "PASS " and CR LF leave 312 of the 319 characters for the argument.
    ScriptedServer server;
    server.Expect("USER anonymous\r\n").Reply("331 Password\r\n")
        .Expect("PASS " + std::string(312, 'p') + "\r\n").Reply("230 ok\r\n")
        .Expect("ABOR\r\n").Pause(50).Reply("226 done\r\n");
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
