// The line reader of LIST listings: lines cut across receives and across the 2048-byte
// buffer, lines too long for it, and conversion to the local code set one receive at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/listing/listing_session.h"

using namespace tvtest;

TEST(LineReader, LinesSurviveEveryCutOfTheDataAndOneReadTakesOneLine) {
    std::vector<std::string> names;
    std::string data;
    for (int i = 0; i < 100; ++i) {
        names.push_back("entry-" + std::to_string(i) + std::string(i % 37, 'x'));
        data += UnixLine(names.back()) + "\r\n";
        if (i == 10) data += "\r\n\r\n";  // empty lines are no lines
    }
    // Only CR LF ends a line: a lone CR and a lone LF belong to the name.
    names.insert(names.end(), {"lone\rcr", "lone\nlf"});
    data += UnixLine("lone\rcr") + "\r\n" + UnixLine("lone\nlf") + "\r\n";
    ASSERT_GT(data.size(), size_t{3} * LISTING_LINE_BUFFER_SIZE);

    // Pieces that cut a CR LF in two, end on a CR, run across the buffer's size.
    ListingSession session;
    ListingOverPort(session.server(), "LIST\r\n", data.substr(0, 1));
    size_t at = 1;
    for (size_t piece : {data.find('\r'), size_t{2047}, size_t{3}, size_t{2100}}) {
        session.server().Pause(30).DataSend(data.substr(at, piece));
        at += piece;
    }
    session.server().Pause(30).DataSend(data.substr(at) + UnixLine("never-delivered"))
        .DataClose().Reply("226 Done.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    HostEntries taken;
    for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(session.Read(1, &taken), 1) << i;
    EXPECT_EQ(session.Read(1, &taken), 0);
    EXPECT_EQ(NamesOf(taken), names);
    EXPECT_EQ(taken[5].line, UnixLine(names[5]));
    EXPECT_EQ(taken[11].line, UnixLine(names[11])) << "the line after the empty ones";
    EXPECT_EQ(session.handle()->lineCount, names.size());
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(LineReader, ALineTooLongForTheBufferIsPassedOverWhole) {
    // The longest line that fits: 2045 characters, its CR LF and the NUL.
    const std::string prefix = UnixLine("");
    const std::string longest = std::string(2045 - prefix.size() - 1, 'n') + "1";
    const std::string oneMore(2046 - prefix.size(), 'm');
    const std::string huge(5000, 'h');
    ASSERT_EQ(UnixLine(longest).size(), size_t{2045});
    ListingSession session;
    ListingOverPort(session.server(), "LIST\r\n",
                    UnixLine(longest) + "\r\n" + UnixLine(oneMore) + "\r\n" + UnixLine("a") +
                        "\r\n" + UnixLine(huge) + "\r")
        .Pause(30).DataSend("\n" + UnixLine("b") + "\r\n" + huge + "\r\r\n")
        .DataSend(UnixLine("tail") + "\r\n" + huge).DataClose().Reply("226 Done.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);
    ASSERT_EQ(session.Open(nullptr), 0);

    EXPECT_EQ(NamesOf(session.ReadAll(1)), (std::vector<std::string>{longest, "a", "b", "tail"}));
    EXPECT_EQ(session.handle()->lineCount, 4);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_EQ(session.Finish(), "");
}

TEST(LineReader, ConversionRunsOnEachReceiveAndAFailedOneEndsTheListing) {
    UpperCaseConversion conversion;
    std::string data;
    std::vector<std::string> names;
    for (int i = 0; i < 80; ++i) {
        data += UnixLine("name-" + std::to_string(i)) + "\r\n";
        names.push_back("NAME-" + std::to_string(i));
    }
    ListingSession session;
    CompletedListing(session.server(), "LIST\r\n", data);
    CompletedListing(session.server(), "LIST\r\n", UnixLine("#") + "\r\n")
        .Expect("NOOP\r\n").Reply("200 NOOP ok.\r\n");
    session.Begin(TYPE_ASCII, STATE_SEND_PORT);

    ASSERT_EQ(session.Open(nullptr), 0);
    EXPECT_EQ(NamesOf(session.ReadAll(3)), names);
    // Room is left for the worst case of a receive behind an unfinished line.
    EXPECT_GT(UpperCaseConversion::largestBlock, 0);
    EXPECT_LE(UpperCaseConversion::largestBlock, (LISTING_LINE_BUFFER_SIZE - 2) / 2);
    EXPECT_EQ(session.Close(), 0);

    ASSERT_EQ(session.Open(nullptr), 0);
    HostEntries taken;
    EXPECT_EQ(session.Read(4, &taken), FSE_CONVERSION);
    EXPECT_EQ(session.handle()->dataState, DATA_STATE_FAILED);
    EXPECT_EQ(session.Close(), 0);
    EXPECT_TRUE(SendCommand(session.connection(), "NOOP\r\n").Is(ReplyClass::Complete));
    EXPECT_EQ(session.Finish(), "");
}
