// What the server says about a remote path: the representation letters of a STAT reply,
// the refusals of STAT, and telling a directory from a file by changing into it, with and
// without coming back to the working directory, on VMS hosts included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/transfer/scripted_session.h"
#include "transfer/representation.h"

using tvtest::ScriptedSession;

namespace {

// A record full of garbage, to show what a call clears or leaves alone.
TransferRepresentation Garbage() {
    TransferRepresentation r;
    std::memset(&r, 0xEE, sizeof r);
    return r;
}

// The fields as one comparable text: flags, reserved, kind, type, format, structure, mode,
// byte size.
std::string Show(const TransferRepresentation& r) {
    char text[128];
    wsprintfA(text, "%x %x %u %u %u %u %u %u", r.attributeFlags, r.reserved, r.recordKind, r.type,
              r.format, r.structure, r.mode, r.byteSize);
    return text;
}

}  // namespace

TEST(RepresentationLetters, EachGroupIsOptionalAndLeavesOtherLettersToTheNext) {
    struct Case {
        const char* text;
        size_t taken;
        const char* fields;
    };
    const Case cases[] = {
        {"AN", 2, "2000 0 2 1 1 0 0 0"},
        // The digits after L are passed over, not read: the byte size is always 8.
        {"L36FS rest", 5, "0 0 2 4 0 1 1 8"},
        {"D", 1, "4000 0 2 0 0 0 0 0"},
        {"ECRB", 4, "10000 0 2 2 3 2 2 0"},
        {"itpc", 4, "1000 0 2 3 2 3 3 0"},
        // C is a format and a mode: it goes to the first group still open.
        {"AC", 2, "2000 0 2 1 3 0 0 0"},
        {"AFC", 3, "2000 0 2 1 0 1 3 0"},
        {"NF", 2, "0 0 2 0 1 1 0 0"},
        // Each group takes one letter at most, and a blank ends everything.
        {"AAN", 1, "2000 0 2 1 0 0 0 0"},
        {"A N", 1, "2000 0 2 1 0 0 0 0"},
        {"X", 0, "0 0 2 0 0 0 0 0"},
        {"", 0, "0 0 2 0 0 0 0 0"},
    };
    for (const Case& c : cases) {
        TransferRepresentation out = Garbage();
        EXPECT_EQ(ParseRepresentationLetters(&out, c.text), c.text + c.taken) << c.text;
        EXPECT_EQ(Show(out), c.fields) << c.text;
    }
}

TEST(RepresentationByStat, ReadsTheLettersAfterTheCodeAndTurnsRefusalsIntoErrors) {
    ScriptedSession session;
    session.server()
        .Expect("STAT big.dat\r\n").Reply("213 IR\r\n")
        .Expect("STAT Notes.TXT\r\n").Reply("213 anfs is the representation\r\n")
        .Expect("STAT dir\r\n").Reply("213-D\r\n more\r\n213 End of status\r\n")
        .Expect("STAT missing\r\n").Reply("550 No such file.\r\n")
        .Expect("STAT busy\r\n").Reply("450 Try later.\r\n")
        .Expect("STAT gone\r\n");
    FsStateRecord* record = session.Begin(STATE_STAT_REPORTS_REPRESENTATION);
    FtpConnection* connection = session.connection();

    TransferRepresentation out = Garbage();
    EXPECT_EQ(QueryRepresentationByStat(connection, "big.dat", &out), 2);
    EXPECT_EQ(Show(out), "11000 0 2 3 0 2 0 0");
    EXPECT_EQ(QueryRepresentationByStat(connection, "Notes.TXT", &out), 2);
    EXPECT_EQ(Show(out), "2000 0 2 1 1 1 1 0");
    // Through QueryPathKind: STAT only, no PWD or CWD.
    EXPECT_EQ(QueryPathKind("dir", &out, record, true), 2);
    EXPECT_EQ(Show(out), "4000 0 2 0 0 0 0 0");

    // A refusal leaves the record as it was; so does a path that cannot go as one line,
    // for which nothing is sent.
    out = Garbage();
    EXPECT_EQ(QueryRepresentationByStat(connection, "missing", &out), FSE_INVALID);
    EXPECT_EQ(QueryPathKind("busy", &out, record, false), FSE_INVALID);
    EXPECT_EQ(QueryRepresentationByStat(connection, "a\r\nDELE b", &out), FSE_INVALID);
    const std::string longPath(COMMAND_BUFFER_SIZE, 'p');
    EXPECT_EQ(QueryRepresentationByStat(connection, longPath.c_str(), &out), FSE_INVALID);
    EXPECT_EQ(Show(out), Show(Garbage()));
    EXPECT_EQ(QueryRepresentationByStat(connection, "gone", &out), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(session.Finish(), "");
}

TEST(PathKind, ChangingIntoThePathTellsADirectoryAndRestoreComesBack) {
    ScriptedSession session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/home/u\" is current.\r\n")
        .Expect("CWD docs\r\n").Reply("250 ok\r\n")
        .Expect("CWD /home/u\r\n").Reply("250 ok\r\n")
        // The changes made the cached directory stale: it is asked for again.
        .Expect("PWD\r\n").Reply("257 \"/home/u\"\r\n")
        .Expect("CWD a.txt\r\n").Reply("550 Not a directory.\r\n")
        .Expect("CWD b.txt\r\n").Reply("421 Odd refusal.\r\n")  // the cache knows it now
        // Without restore a directory stays the working directory.
        .Expect("CWD docs\r\n").Reply("250 ok\r\n")
        // The way back refused: that refusal is the result, the path still a directory.
        .Expect("PWD\r\n").Reply("257 \"/home/u/docs\"\r\n")
        .Expect("CWD sub\r\n").Reply("250 ok\r\n")
        .Expect("CWD /home/u/docs\r\n").Reply("550 Permission denied.\r\n")
        // A working directory that cannot be read leaves the path untried: a file.
        .Expect("PWD\r\n").Reply("500 Unknown command.\r\n")
        .Expect("XPWD\r\n").Reply("500 Unknown command.\r\n")
        .Expect("PWD\r\n").Reply("257 \"/\r\n")
        .Expect("PWD\r\n");  // and the connection breaks
    FsStateRecord* record = session.Begin();

    TransferRepresentation out = Garbage();
    EXPECT_EQ(QueryPathKind("docs", &out, record, true), 2);
    EXPECT_EQ(Show(out), "4000 0 2 0 0 0 0 0");
    out = Garbage();
    EXPECT_EQ(QueryPathKind("a.txt", &out, record, true), 0);
    EXPECT_EQ(Show(out), "8000 0 2 0 0 0 0 0");
    EXPECT_EQ(QueryPathKind("b.txt", &out, record, true), 0);
    EXPECT_EQ(QueryPathKind("docs", &out, record, false), 2);
    EXPECT_EQ(QueryPathKind("sub", &out, record, true), FSE_ACCESS_DENIED);
    EXPECT_EQ(out.attributeFlags, uint32_t(REPRESENTATION_DIRECTORY));
    EXPECT_EQ(QueryPathKind("docs", &out, record, true), 0);
    EXPECT_EQ(Show(out), "8000 0 2 0 0 0 0 0");
    EXPECT_EQ(QueryPathKind("docs", &out, record, true), 0);
    EXPECT_EQ(QueryPathKind("docs", &out, record, true), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(session.Finish(), "");
}

TEST(PathKind, VmsFileNamesOfDirectoriesAreTriedInDirectoryForm) {
    ScriptedSession session(HOST_VMS);
    session.server()
        .Expect("PWD\r\n").Reply("257 \"DISK$USER:[HOME]\" is current directory.\r\n")
        .Expect("CWD [.SUBDIR]\r\n").Reply("250 ok\r\n")
        .Expect("CWD DISK$USER:[HOME]\r\n").Reply("250 ok\r\n")
        .Expect("CWD [.README.TXT]\r\n").Reply("550 Directory not found.\r\n");
    FsStateRecord* record = session.Begin();

    TransferRepresentation out;
    EXPECT_EQ(QueryPathKind("SUBDIR.DIR;1", &out, record, true), 2);
    EXPECT_EQ(out.attributeFlags, uint32_t(REPRESENTATION_DIRECTORY));
    EXPECT_EQ(QueryPathKind("README.TXT;3", &out, record, false), 0);
    EXPECT_EQ(out.attributeFlags, uint32_t(REPRESENTATION_FILE));
    EXPECT_EQ(session.Finish(), "");
}
