// What the server says about a remote path: the representation letters of a STAT reply,
// the refusals of STAT, and telling a directory from a file by changing into it, with and
// without coming back to the working directory, on VMS hosts included.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/scripted_session.h"
#include "transfer/representation.h"

using tvtest::ScriptedSession;

namespace {

// A record full of garbage, to show what a call clears or leaves alone.
TransferRepresentation Garbage() {
    TransferRepresentation r;
    std::memset(&r, 0xEE, sizeof r);
    return r;
}

// Flags, reserved, kind, type, format, structure, mode and byte size as one text.
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
    session.Converse({{"STAT big.dat", "213 IR"}, {"STAT Notes.TXT", "213 anfs is the type"},
                      {"STAT dir", "213-D\r\n more\r\n213 End of status"},
                      {"STAT missing", "550 No such file."}, {"STAT busy", "450 Try later."},
                      {"STAT gone", ""}});
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
    session.Converse({{"PWD", "257 \"/home/u\" is current."}, {"CWD docs", "250 ok"},
                      {"CWD /home/u", "250 ok"},
                      // The changes made the cached directory stale: it is asked for again.
                      {"PWD", "257 \"/home/u\""}, {"CWD a.txt", "550 Not a directory."},
                      {"CWD b.txt", "421 Odd refusal."},  // the cache knows it now
                      // Without restore a directory stays the working directory.
                      {"CWD docs", "250 ok"},
                      // The way back refused: that refusal is the result.
                      {"PWD", "257 \"/home/u/docs\""}, {"CWD sub", "250 ok"},
                      {"CWD /home/u/docs", "550 Permission denied."},
                      // A working directory that cannot be read leaves the path untried.
                      {"PWD", "500 Unknown command."}, {"XPWD", "500 Unknown command."},
                      {"PWD", "257 \"/"}, {"PWD", ""}});
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

    // VMS file names are tried in directory form.
    ScriptedSession vms(HOST_VMS);
    vms.Converse({{"PWD", "257 \"DISK$USER:[HOME]\" is current directory."},
                  {"CWD [.SUBDIR]", "250 ok"}, {"CWD DISK$USER:[HOME]", "250 ok"},
                  {"CWD [.README.TXT]", "550 Directory not found."}});
    record = vms.Begin();
    EXPECT_EQ(QueryPathKind("SUBDIR.DIR;1", &out, record, true), 2);
    EXPECT_EQ(out.attributeFlags, uint32_t(REPRESENTATION_DIRECTORY));
    EXPECT_EQ(QueryPathKind("README.TXT;3", &out, record, false), 0);
    EXPECT_EQ(out.attributeFlags, uint32_t(REPRESENTATION_FILE));
    EXPECT_EQ(vms.Finish(), "");
}
