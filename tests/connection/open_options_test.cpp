// The end of connection open: the initial transfer options from the open flags and host
// type (TYPE and STRU exactly as needed, the connection's flags), the values every open sets
// for the whole module, and the representation commands that are sent only where the server
// does not already have what is wanted.
#include <gtest/gtest.h>

#include "codeset/code_set_state.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/scripted_server.h"
#include "transfer/representation.h"

using namespace tvtest;

namespace {

TransferRepresentation Wanted(uint32_t type, uint32_t structure, uint32_t byteSize = 0) {
    TransferRepresentation wanted{};
    wanted.recordKind = REPRESENTATION_RECORD_KIND;
    wanted.type = type;
    wanted.structure = structure;
    wanted.byteSize = byteSize;
    return wanted;
}

LONG CALLBACK HostIdle() { return 0; }

using OpenOptions = ModuleTest;

}  // namespace

TEST_F(OpenOptions, FlagsAndHostTypeChooseTypeStructureAndConnectionFlags) {
    const CodeSetTableRecord wide{28, "wide", 0, 0, 1, 0, 0};
    struct Case {
        uint8_t hostType;
        uint32_t flags;
        const char* type;
        const char* structure;
        bool fixed;
        int32_t lineEnd;
    };
    const Case cases[] = {
        {HOST_UNIX, OPEN_REPRESENTATION_FIXED | OPEN_TYPE_ASCII, "TYPE A", "STRU R", true,
         LINE_END_UNIX},
        {HOST_UNIX, 0, "TYPE A", "STRU F", false, LINE_END_UNIX},
        {HOST_DOS, OPEN_REPRESENTATION_FIXED, "TYPE I", "STRU R", true, LINE_END_CRLF},
        {HOST_BRANNOCK, OPEN_REPRESENTATION_FIXED | OPEN_STRUCTURE_FILE, "TYPE I", "STRU F",
         true, LINE_END_UNIX},
        // VM and MVS always get ASCII with file structure; other systems unless fixed.
        {HOST_VM, OPEN_REPRESENTATION_FIXED, "TYPE A", "STRU F", true, LINE_END_CRLF},
        {HOST_MVS, 0, "TYPE A", "STRU F", true, LINE_END_CRLF},
        {HOST_OTHER, 0, "TYPE A", "STRU F", true, LINE_END_CRLF},
        {HOST_OTHER, OPEN_REPRESENTATION_FIXED, "TYPE I", "STRU R", true, LINE_END_CRLF},
    };
    for (const Case& c : cases) {
        for (uint32_t extra : {0u, OPEN_LOCAL_BYTE_SIZE | OPEN_PARSE_DIRECTORIES | OPEN_SEND_PORT}) {
            SCOPED_TRACE(std::to_string(c.hostType) + " flags " + std::to_string(c.flags | extra));
            ScriptedServer server;
            ExpectExchange(ExpectAnonymousLogon(server),
                           {{c.type, "200 Type set."}, {c.structure, "200 Structure set."}});
            OpenParameters parameters = Parameters(0, c.flags | extra);
            parameters.ownerWindow = reinterpret_cast<HWND>(0x1234);
            parameters.idleCallback = extra != 0 ? HostIdle : nullptr;
            gCodeSet.codeSetTable = extra != 0 ? &wide : BuiltInCodeSetTable();
            const OpenOutcome opened = OpenOn(server, parameters, c.hostType);
            EXPECT_EQ(opened.result, 0);
            // Every open sets these for all connections of the module.
            EXPECT_EQ(gModule.idleCallback, parameters.idleCallback);
            EXPECT_EQ(gModule.protocolFont,
                      GetStockObject(extra != 0 ? SYSTEM_FIXED_FONT : ANSI_FIXED_FONT));
            const FtpConnection& connection = opened.connection;
            EXPECT_EQ(opened.hostType, c.hostType);
            EXPECT_EQ((connection.optionFlags & OPTION_REPRESENTATION_FIXED) != 0, c.fixed);
            EXPECT_EQ((connection.optionFlags & OPTION_PARSE_DIRECTORIES) != 0,
                      extra != 0 && c.hostType != HOST_OTHER);
            EXPECT_EQ((connection.stateFlags & STATE_SEND_PORT) != 0, extra != 0);
            EXPECT_EQ(connection.localByteSize, extra != 0 ? 1 : 0);
            EXPECT_EQ(connection.lineEndConvention, c.lineEnd);
            EXPECT_EQ(connection.currentType, c.type[5] == 'A' ? TYPE_ASCII : TYPE_IMAGE);
            EXPECT_EQ(connection.currentStructure,
                      c.structure[5] == 'F' ? STRUCTURE_FILE : STRUCTURE_RECORD);
            EXPECT_EQ(connection.currentFormat, 1);
            EXPECT_EQ(connection.currentMode, 1);
            EXPECT_EQ(connection.textFormat, TEXT_FORMAT_INITIAL);
            EXPECT_EQ(connection.ownerWindow, reinterpret_cast<HWND>(0x1234));
        }
    }
    gCodeSet.codeSetTable = BuiltInCodeSetTable();
}

TEST_F(OpenOptions, RefusedTypeOrStructureEndsTheOpenWithTheConnectionKept) {
    const std::pair<Exchange, int32_t> cases[] = {
        {{{"TYPE A", "504 Type not implemented."}}, TYPE_NONE},
        {{{"TYPE A", "200 Type set."}, {"STRU F", "421 Closing."}}, TYPE_ASCII},
    };
    for (const auto& [exchange, type] : cases) {
        SCOPED_TRACE(exchange.back().second);
        ScriptedServer server;
        ExpectExchange(ExpectAnonymousLogon(server), exchange);
        const OpenOutcome opened = OpenOn(server, Parameters(0));
        EXPECT_EQ(opened.result, FSE_UNEXPECTED_REPLY);
        EXPECT_TRUE(opened.connected);
        EXPECT_EQ(opened.connection.currentType, type);
        EXPECT_EQ(opened.connection.currentStructure, 0);
    }
}

TEST_F(OpenOptions, RepresentationIsSentOnlyWhereItDiffersFromWhatWasAccepted) {
    ScriptedServer server;
    ExpectAnonymousLogon(server);
    ExpectDefaultOptions(server);
    ExpectExchange(server, {{"TYPE I", "200 Type set to I."}, {"TYPE L 8", "200 Type set to L 8."},
                            {"TYPE L 8", "200 Type set to L 8."}, {"TYPE A", "504 Not now."},
                            {"STRU R", "200 Structure set to R."}, {"STRU F", "504 Not now."}});
    ExpectQuit(server);
    server.Start();
    {
        HostRecord record("127.0.0.1");
        ASSERT_EQ(OpenAnonymously(record, Parameters(server.Port())), 0);
        FtpConnection* connection = record.connection();
        // ASCII with file structure is what the open left: nothing to send.
        EXPECT_EQ(ApplyRepresentation(Wanted(1, 1), record.get()), 0);
        EXPECT_EQ(ApplyRepresentation(Wanted(3, 1), record.get()), 0);
        // Local byte mode stands in for the image type, which stays the current type.
        EXPECT_EQ(ApplyRepresentation(Wanted(4, 1, 8), record.get()), 0);
        EXPECT_EQ(connection->currentType, TYPE_IMAGE);
        EXPECT_EQ(connection->localByteSize, 8);
        EXPECT_EQ(ApplyRepresentation(Wanted(3, 1), record.get()), 0);
        EXPECT_EQ(ApplyRepresentation(Wanted(4, 1, 8), record.get()), 0);
        // A refused type keeps what was accepted and skips the structure.
        EXPECT_EQ(ApplyRepresentation(Wanted(1, 2), record.get()), FSE_UNEXPECTED_REPLY);
        EXPECT_EQ(connection->currentType, TYPE_IMAGE);
        EXPECT_EQ(connection->currentStructure, STRUCTURE_FILE);
        EXPECT_EQ(ApplyRepresentation(Wanted(3, 2), record.get()), 0);
        EXPECT_EQ(connection->currentStructure, STRUCTURE_RECORD);
        EXPECT_EQ(ApplyRepresentation(Wanted(3, 1), record.get()), FSE_UNEXPECTED_REPLY);
        EXPECT_EQ(connection->currentStructure, STRUCTURE_RECORD);
        // Nothing goes out for what has no command.
        EXPECT_EQ(ApplyRepresentation(Wanted(2, 2), record.get()), FSE_INVALID);
        EXPECT_EQ(ApplyRepresentation(Wanted(0, 2), record.get()), FSE_INVALID);
        EXPECT_EQ(ApplyRepresentation(Wanted(3, 3), record.get()), FSE_INVALID);
        EXPECT_EQ(connection->currentType, TYPE_IMAGE);
    }
    EXPECT_EQ(server.Finish(), "");
}
