// Binding the code-set library and converting control text through it: the fallbacks when
// it is missing or incomplete; with conversions of the test's own, which context and buffer
// size the control connection uses; and with the real library the commands and replies of
// connections, where the code set named by the last connection opened serves all of them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "codeset/binding.h"
#include "codeset/code_set_state.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/scripted_server.h"
#include "tests/support/test_connection.h"

using namespace tvtest;

namespace {

// Remote code sets of the library: UTF-8, and the DOS code set IBM 437.
constexpr BYTE kUtf8 = 2;
constexpr BYTE kIbm437 = 4;

class Binding : public ::testing::Test {
protected:
    void TearDown() override {
        UnbindCodeSetLibrary();
        InstallCcssFallbacks();
        gCodeSet.outgoing = gCodeSet.incoming = BuiltInContext();
        gCodeSet.conversionActive = gCodeSet.conversionDisabled = false;
    }
};

// Outgoing text doubles every byte (worst case 2); incoming text is upper-cased, with a
// worst case of 2 that must halve the receive size.
CcssContext outgoingContext{0};
CcssContext incomingContext{0};
LONG largestIncomingBlock = 0;
bool outgoingBlockLargeEnough = true;

LONG WINAPI TestConvertBlock(CcssContext* context, const char* source, LONG length,
                             char* destination) {
    if (context == &outgoingContext) {
        SIZE_T room = GlobalSize(GlobalHandle(destination));
        outgoingBlockLargeEnough = outgoingBlockLargeEnough && room >= SIZE_T(length) * 2 + 1;
        for (LONG i = 0; i < length; ++i) destination[2 * i] = destination[2 * i + 1] = source[i];
        context->outputLength = 2 * length;
    } else {
        largestIncomingBlock = std::max(largestIncomingBlock, length);
        for (LONG i = 0; i < length; ++i)
            destination[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(source[i])));
        context->outputLength = length;
    }
    return CCSS_CONVERTED;
}
LONG WINAPI TestWorstCase(CcssContext*) { return 2; }

}  // namespace

TEST_F(Binding, WithoutACompleteLibraryEveryFunctionAnswersItsFallback) {
    // A library lacking a function is released and not used, as is one that is missing.
    PrivateLibraries libraries("tarvo-binding-incomplete-" + std::to_string(getpid()));
    const std::string incomplete = libraries.Copy(TVFTP_BKCS32_NO_ISBINARY_PATH);
    EXPECT_EQ(BindCodeSetLibrary(incomplete.c_str()), 0);
    EXPECT_FALSE(Loaded(incomplete));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_EQ(gCodeSet.functions.convertBlock(gCodeSet.outgoing, "a", 1, nullptr), 3);
    EXPECT_EQ(BindCodeSetLibrary("/nonexistent/BKCS32.DLL"), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_EQ(gCodeSet.outgoing, BuiltInContext());
    EXPECT_EQ(gCodeSet.codeSetTable, BuiltInCodeSetTable());
    const CcssFunctionTable& f = gCodeSet.functions;
    CcssContext* context = gCodeSet.outgoing;
    char out[8];
    // Conversions fail (3), counts are 0, the worst case and the text checks answer 1.
    EXPECT_EQ((std::vector<LONG>{f.getNumberOfCodeSets(), f.getDosCodeSet(),
                                 f.getWindowsCodeSet(), f.destroyContext(context),
                                 f.changeCodeSet(context, 1, 2), f.convert(context, out),
                                 f.convertStr(context, "a", out),
                                 f.convertBlock(context, "a", 1, out),
                                 f.howManyTimesInWorstCase(context),
                                 f.createDosFilename(context, "a", out),
                                 f.isTruncatable(context, "a", 1), f.isBinary(context, "a", 1)}),
              (std::vector<LONG>{0, 0, 0, 0, 0, 3, 3, 3, 1, 3, 1, 1}));
    EXPECT_EQ(f.getCodeSetTable(1), BuiltInCodeSetTable());
    EXPECT_EQ(BuiltInCodeSetTable()->size, 28u);
    EXPECT_EQ(BuiltInCodeSetTable()->needsSystemFixedFont, 0u);
    EXPECT_EQ(f.createContext(1), nullptr);
    EXPECT_EQ(f.getNameOfCodeSet(1), nullptr);

    // A connection that names a code set turns conversion on all the same, and then no
    // text can pass: not even the greeting can be read, and nothing reaches the wire.
    ScriptedServer server;
    server.Reply("220 ready\r\n");
    server.Start();
    {
        HostRecord record("127.0.0.1");
        OpenParameters parameters = Parameters(server.Port());
        parameters.codeSet = kUtf8;
        EXPECT_EQ(xfsopen(record.handle(), 0, nullptr, nullptr, nullptr, &parameters),
                  FSE_UNEXPECTED_REPLY);
        EXPECT_TRUE(gCodeSet.conversionActive);
        ASSERT_NE(record.connection(), nullptr);
        EXPECT_EQ(ControlStreamSend(&record.connection()->stream, "NOOP\r\n", 6), FSE_CONVERSION);
        // No QUIT can reach the server, so the close's reply read ends with the server.
        EXPECT_EQ(server.Finish(), "");
    }
    EXPECT_EQ(server.ControlReceived(), "");
}

TEST_F(Binding, ControlTextPassesItsContextInBuffersSizedByTheWorstCase) {
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
    EXPECT_TRUE(SendCommand(client.get(), "NOOP\r\n").Is(ReplyClass::Complete));
    EXPECT_EQ(std::string(client->replyText), "200 " + std::string(150, 'A') + "\n");
    EXPECT_TRUE(outgoingBlockLargeEnough);
    EXPECT_GT(largestIncomingBlock, 0);
    EXPECT_LE(largestIncomingBlock, CONTROL_RECEIVE_BUFFER_SIZE / 2);

    gCodeSet.conversionDisabled = true;
    EXPECT_TRUE(SendCommand(client.get(), "NOOP\r\n").Is(ReplyClass::Complete));
    EXPECT_STREQ(client->replyText, "200 ok\n");
    EXPECT_EQ(server.Finish(), "");
}

TEST_F(Binding, BoundLibraryConvertsControlTextAndTheLastConnectionsCodeSetWins) {
    PrivateLibraries libraries("tarvo-binding-" + std::to_string(getpid()));
    const std::string codeSets = libraries.Copy(TVFTP_BKCS32_PATH);
    ASSERT_EQ(BindCodeSetLibrary(codeSets.c_str()), 1);
    EXPECT_TRUE(Loaded(codeSets));
    EXPECT_GT(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_NE(gCodeSet.outgoing, BuiltInContext());
    EXPECT_NE(gCodeSet.codeSetTable, BuiltInCodeSetTable());
    EXPECT_EQ(gCodeSet.numberOfCodeSets, 5);
    EXPECT_FALSE(gCodeSet.conversionActive);

    // First connection: UTF-8 on the wire, Windows-1252 in the module.
    ScriptedServer first;
    first.Reply("220 Willkommen bei M\xC3\xBCller\r\n")
        .Expect("USER j\xC3\xBCrgen\r\n")
        .Reply("230 Gr\xC3\xBC\xC3\x9F Gott\r\n");
    ExpectDefaultOptions(first);
    first.Expect("SITE \x81\r\n").Reply("200 \x81\r\n");
    ExpectQuit(first);
    first.Start();
    HostRecord firstRecord("127.0.0.1");
    OpenParameters parameters = Parameters(first.Port());
    parameters.codeSet = kUtf8;
    LogonText user("j\xFCrgen");
    ASSERT_EQ(xfsopen(firstRecord.handle(), 0, user, nullptr, nullptr, &parameters), 0);
    EXPECT_TRUE(gCodeSet.conversionActive);
    EXPECT_STREQ(firstRecord.connection()->greeting, "220 Willkommen bei M\xFCller\n");

    // A second connection with the DOS code set: from now on both connections use it.
    ScriptedServer second;
    second.Reply("220 ready\r\n").Expect("USER j\x81rgen\r\n").Reply("230 ok\r\n");
    ExpectDefaultOptions(second);
    ExpectQuit(second);
    second.Start();
    {
        HostRecord secondRecord("127.0.0.1");
        parameters.port = second.Port();
        parameters.codeSet = kIbm437;
        ASSERT_EQ(xfsopen(secondRecord.handle(), 0, user, nullptr, nullptr, &parameters), 0);
    }
    EXPECT_EQ(second.Finish(), "");

    EXPECT_TRUE(SendCommand(firstRecord.connection(), "SITE \xFC\r\n").Is(ReplyClass::Complete));
    EXPECT_STREQ(firstRecord.connection()->replyText, "200 \xFC\n");
    FTP_FS_Close(firstRecord.get());
    EXPECT_EQ(first.Finish(), "");

    UnbindCodeSetLibrary();
    EXPECT_FALSE(Loaded(codeSets));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_EQ(gCodeSet.incoming, BuiltInContext());
}
