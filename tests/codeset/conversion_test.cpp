// Code-set conversion of the control connection through the function table: installed
// test conversions show what is converted with which context and buffer size; the built-in
// fallbacks answer their fixed values and make every conversion fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "codeset/code_set_state.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

using tvtest::ScriptedServer;
using tvtest::TestConnection;

namespace {

CcssContext outgoingContext{0};
CcssContext incomingContext{0};
LONG largestIncomingBlock = 0;
bool outgoingBlockLargeEnough = true;

// Outgoing text doubles every byte (worst case 2); incoming text is upper-cased, with a
// worst case of 2 that must halve the receive size.
LONG WINAPI TestConvertBlock(CcssContext* context, const char* source, LONG length,
                             char* destination) {
    if (context == &outgoingContext) {
        SIZE_T room = GlobalSize(GlobalHandle(destination));
        outgoingBlockLargeEnough = outgoingBlockLargeEnough && room >= SIZE_T(length) * 2 + 1;
        for (LONG i = 0; i < length; ++i) destination[2 * i] = destination[2 * i + 1] = source[i];
        context->outputLength = 2 * length;
    } else {
        largestIncomingBlock = std::max(largestIncomingBlock, length);
        for (LONG i = 0; i < length; ++i) {
            destination[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(source[i])));
        }
        context->outputLength = length;
    }
    return CCSS_CONVERTED;
}
LONG WINAPI TestWorstCase(CcssContext*) { return 2; }

class ControlConversion : public ::testing::Test {
protected:
    void TearDown() override {
        InstallCcssFallbacks();
        gCodeSet.outgoing = gCodeSet.incoming = BuiltInContext();
        gCodeSet.conversionActive = gCodeSet.conversionDisabled = false;
    }
};

}  // namespace

TEST_F(ControlConversion, CommandsAndRepliesPassTheirContexts) {
    gCodeSet.functions.convertBlock = TestConvertBlock;
    gCodeSet.functions.howManyTimesInWorstCase = TestWorstCase;
    gCodeSet.outgoing = &outgoingContext;
    gCodeSet.incoming = &incomingContext;
    gCodeSet.conversionActive = true;

    ScriptedServer server;
    server.Expect("NNOOOOPP\r\r\n\n")
        .Reply("200 " + std::string(150, 'a') + "\r\n")
        .Expect("NOOP\r\n")
        .Reply("200 ok\r\n");
    server.Start();
    TestConnection client(server.Port());

    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), 2);
    EXPECT_EQ(std::string(client->replyText), "200 " + std::string(150, 'A') + "\n");
    EXPECT_TRUE(outgoingBlockLargeEnough);
    EXPECT_GT(largestIncomingBlock, 0);
    EXPECT_LE(largestIncomingBlock, CONTROL_RECEIVE_BUFFER_SIZE / 2);

    gCodeSet.conversionDisabled = true;
    EXPECT_EQ(SendCommand(client.get(), "NOOP\r\n"), 2);
    EXPECT_STREQ(client->replyText, "200 ok\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST_F(ControlConversion, FallbacksAnswerFixedValuesAndFailEveryConversion) {
    gCodeSet.functions = {};
    InstallCcssFallbacks();
    const CcssFunctionTable& table = gCodeSet.functions;
    CcssContext* context = BuiltInContext();
    char byte = 'a';
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_EQ(table.getNumberOfCodeSets(), 0);
    EXPECT_EQ(table.getDosCodeSet(), 0);
    EXPECT_EQ(table.getWindowsCodeSet(), 0);
    ASSERT_EQ(table.getCodeSetTable(2), BuiltInCodeSetTable());
    EXPECT_EQ(BuiltInCodeSetTable()->size, 28u);
    EXPECT_EQ(BuiltInCodeSetTable()->needsSystemFixedFont, 0u);
    EXPECT_EQ(table.createContext(1), nullptr);
    EXPECT_EQ(table.destroyContext(context), 0);
    EXPECT_EQ(table.changeCodeSet(context, -1, 2), 0);
    EXPECT_EQ(table.convert(context, &byte), 3);
    EXPECT_EQ(table.convertStr(context, "a", &byte), 3);
    EXPECT_EQ(table.convertBlock(context, &byte, 1, &byte), 3);
    EXPECT_EQ(table.howManyTimesInWorstCase(context), 1);
    EXPECT_EQ(table.createDosFilename(context, "a", &byte), 3);
    EXPECT_EQ(table.isTruncatable(context, "a", 1), 1);
    EXPECT_EQ(table.isBinary(context, &byte, 1), 1);
    EXPECT_EQ(table.getNameOfCodeSet(2), nullptr);

    // A connection that names a remote code set without the library: sends and receives
    // fail with -55 and nothing reaches the wire.
    ScriptedServer server;
    server.Reply("220 ready\r\n").Expect("QUIT\r\n");
    server.Start();
    TestConnection client(server.Port());
    gCodeSet.conversionActive = true;
    EXPECT_EQ(ControlStreamSend(client.stream(), "NOOP\r\n", 6), FSE_CONVERSION);
    EXPECT_EQ(ReadReply(client.get()), REPLY_BROKEN);
    gCodeSet.conversionActive = false;
    EXPECT_EQ(ControlStreamSend(client.stream(), "QUIT\r\n", 6), 6);
    EXPECT_EQ(server.Finish(), "");
}
