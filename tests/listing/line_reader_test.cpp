// The line reader of LIST listings converting to the local code set one receive at a time.
// How it cuts lines (across receives and the 2048-byte buffer, lines too long for it, lone
// CRs and LFs, empty lines) the replay of the line-reader fuzz target's seeds checks line for
// line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/listing/listing_session.h"

using namespace tvtest;

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
