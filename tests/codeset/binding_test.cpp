// Binding the code-set library: the fallbacks when it is missing or incomplete, and with
// the real library the conversion of commands and replies of connections, where the code
// set named by the last connection opened serves all of them.
#include <gtest/gtest.h>

#include "codeset/binding.h"
#include "codeset/code_set_state.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/scripted_server.h"

using namespace tvtest;

namespace {

// Remote code sets of the library: UTF-8, and the DOS code set IBM 437.
constexpr BYTE kUtf8 = 2;
constexpr BYTE kIbm437 = 4;

class Binding : public ::testing::Test {
protected:
    void TearDown() override {
        UnbindCodeSetLibrary();
        gCodeSet.conversionActive = false;
    }
};

}  // namespace

TEST_F(Binding, WithoutTheLibraryEveryFunctionAnswersItsFallback) {
    EXPECT_EQ(BindCodeSetLibrary("/nonexistent/BKCS32.DLL"), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    const CcssFunctionTable& f = gCodeSet.functions;
    CcssContext* context = gCodeSet.outgoing;
    char out[8];
    EXPECT_EQ(f.getNumberOfCodeSets(), 0);
    EXPECT_EQ(f.getDosCodeSet(), 0);
    EXPECT_EQ(f.getWindowsCodeSet(), 0);
    EXPECT_EQ(f.getCodeSetTable(1), BuiltInCodeSetTable());
    EXPECT_EQ(f.getCodeSetTable(1)->size, 28u);
    EXPECT_EQ(f.getCodeSetTable(1)->needsSystemFixedFont, 0u);
    EXPECT_EQ(f.createContext(1), nullptr);
    EXPECT_EQ(f.destroyContext(context), 0);
    EXPECT_EQ(f.changeCodeSet(context, 1, 2), 0);
    EXPECT_EQ(f.convert(context, out), 3);
    EXPECT_EQ(f.convertStr(context, "a", out), 3);
    EXPECT_EQ(f.convertBlock(context, "a", 1, out), 3);
    EXPECT_EQ(f.howManyTimesInWorstCase(context), 1);
    EXPECT_EQ(f.createDosFilename(context, "a", out), 3);
    EXPECT_EQ(f.isTruncatable(context, "a", 1), 1);
    EXPECT_EQ(f.isBinary(context, "a", 1), 1);
    EXPECT_EQ(f.getNameOfCodeSet(1), nullptr);
    EXPECT_EQ(gCodeSet.outgoing, BuiltInContext());
    EXPECT_EQ(gCodeSet.codeSetTable, BuiltInCodeSetTable());

    // A connection that names a code set turns conversion on all the same, and then no
    // text can pass: not even the greeting can be read.
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
}

TEST_F(Binding, LibraryLackingAFunctionIsReleasedAndNotUsed) {
    PrivateLibraries libraries("tarvo-binding-incomplete");
    const std::string incomplete = libraries.Copy(TVFTP_BKCS32_NO_ISBINARY_PATH);
    EXPECT_EQ(BindCodeSetLibrary(incomplete.c_str()), 0);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_FALSE(Loaded(incomplete));
    EXPECT_EQ(gCodeSet.functions.convertBlock(gCodeSet.outgoing, "a", 1, nullptr), 3);
}

TEST_F(Binding, BoundLibraryConvertsControlTextAndTheLastConnectionsCodeSetWins) {
    PrivateLibraries libraries("tarvo-binding");
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

    EXPECT_EQ(SendCommand(firstRecord.connection(), "SITE \xFC\r\n"), REPLY_COMPLETE);
    EXPECT_STREQ(firstRecord.connection()->replyText, "200 \xFC\n");
    FTP_FS_Close(firstRecord.get());
    EXPECT_EQ(first.Finish(), "");

    UnbindCodeSetLibrary();
    EXPECT_FALSE(Loaded(codeSets));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(gCodeSet.library), CODE_SET_LIBRARY_NOT_BOUND);
    EXPECT_EQ(gCodeSet.incoming, BuiltInContext());
}
