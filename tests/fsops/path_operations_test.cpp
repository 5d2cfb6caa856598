// The path operations against the scripted server: exact command lines and results, the
// refusals and their errors, the single fallback to the X commands, the working directory
// and its cache, the account a change of directory may need, VMS directory names, and
// names that cannot be sent.
#include <gtest/gtest.h>

#include <string>

#include "fsops/path_operations.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/scripted_session.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

TEST(PathOperations, EachOperationSendsItsLineAndOnlyAChangeForgetsTheDirectory) {
    ScriptedSession session;
    session.Converse({{"PWD", "257 \"/home\" is current."},
                      {"MKD new dir", "257 \"/home/new dir\" created."},
                      {"RMD old", "250 Removed."}, {"DELE notes.txt", "250 Deleted."},
                      {"RNFR a.txt", "350 Ready for RNTO."}, {"RNTO b.txt", "250 Renamed."},
                      {"RNFR c.txt", "250 Renamed at once."},  // no RNTO follows
                      {"CWD nowhere", "550 No such directory."},
                      {"CWD /pub", "250 Directory changed."}, {"PWD", "257 \"/pub\""}});
    FsStateRecord* record = session.Begin();

    EXPECT_EQ(Pwd(record), "/home");
    EXPECT_EQ(FTP_Mkdir("new dir", record), 0);
    EXPECT_EQ(FTP_Rmdir("old", record), 2);
    EXPECT_EQ(FTP_Delete("notes.txt", record), 0);
    EXPECT_EQ(FTP_Rename("a.txt", "b.txt", record), 2);
    EXPECT_EQ(FTP_Rename("c.txt", "never.txt", record), 2);
    EXPECT_EQ(FTP_Chdir("nowhere", record), FSE_ACCESS_DENIED);
    EXPECT_EQ(Pwd(record), "/home");  // from the cache: nothing sent
    EXPECT_EQ(FTP_Chdir("/pub", record), 2);
    EXPECT_EQ(Pwd(record), "/pub");
    EXPECT_EQ(Pwd(record), "/pub");
    EXPECT_EQ(session.Finish(), "");
}

TEST(PathOperations, RefusalsMapToTheirErrorsAndOnlyUnknownCommandsFallBackOnce) {
    struct Case {
        std::string reply;
        LONG other;  // RMD, DELE, CWD and RNFR
        LONG mkdir;
    };
    const Case cases[] = {
        {"550 No space left on device.", FSE_NO_SPACE, FSE_NO_SPACE},
        {"550 Permission denied, no space.", FSE_ACCESS_DENIED, FSE_INVALID},
        {"550 PRIVILEGE violation: access DENIED.", FSE_ACCESS_DENIED, FSE_INVALID},
        {"550 Permission: no space.", FSE_NO_SPACE, FSE_NO_SPACE},  // no "denied"
        {"550 Directory not empty.", FSE_ACCESS_DENIED, FSE_INVALID},
        // Only the first 1535 characters are searched.
        {"550 " + std::string(1600, 'x') + " no space", FSE_ACCESS_DENIED, FSE_INVALID},
        {"452 Insufficient storage.", FSE_NO_SPACE, FSE_NO_SPACE},
        {"450 Busy, no space, permission denied.", FSE_NOT_FOUND, FSE_INVALID},
        {"553 Name not allowed.", FSE_NOT_FOUND, FSE_INVALID},
        {"502 Not implemented.", FSE_NOT_SUPPORTED, FSE_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 40));
        ScriptedSession session;
        const std::string_view reply = c.reply;
        const bool unknown = c.reply.starts_with("502");  // RMD and MKD try the X form
        session.Converse({{"RMD d", reply}});
        if (unknown) session.Converse({{"XRMD d", reply}});
        session.Converse({{"MKD d", reply}});
        if (unknown) session.Converse({{"XMKD d", reply}});
        session.Converse({{"DELE f", reply}, {"CWD d", reply}, {"RNFR f", "350 Ready."},
                          {"RNTO g", reply}});
        FsStateRecord* record = session.Begin();
        EXPECT_EQ(FTP_Rmdir("d", record), c.other);
        EXPECT_EQ(FTP_Mkdir("d", record), c.mkdir);
        EXPECT_EQ(FTP_Delete("f", record), c.other);
        EXPECT_EQ(FTP_Chdir("d", record), c.other);
        EXPECT_EQ(FTP_Rename("f", "g", record), c.other);
        EXPECT_EQ(session.Finish(), "");
    }

    ScriptedSession session;
    session.Converse({{"MKD a", "500 'MKD': command not understood."}, {"XMKD a", "257 Created."},
                      {"RMD a", "500 Unknown."}, {"XRMD a", "250 Removed."},
                      {"PWD", "502 Not implemented."}, {"XPWD", "257 \"/x\""},
                      {"MKD b", "501 Syntax error."}, {"CWD b", "500 Unknown."}, {"RNFR b", ""}});
    FsStateRecord* record = session.Begin();
    EXPECT_EQ(FTP_Mkdir("a", record), 0);
    EXPECT_EQ(FTP_Rmdir("a", record), 2);
    EXPECT_EQ(Pwd(record), "/x");
    EXPECT_EQ(FTP_Mkdir("b", record), FSE_INVALID);
    EXPECT_EQ(FTP_Chdir("b", record), FSE_NOT_FOUND);
    // Once the connection is gone every operation says so.
    EXPECT_EQ(FTP_Rename("b", "c", record), FSE_CONNECTION_BROKEN);
    EXPECT_EQ(FTP_Mkdir("b", record), FSE_CONNECTION_BROKEN);
    session.connection()->stateFlags &= ~STATE_DIRECTORY_KNOWN;
    EXPECT_EQ(Pwd(record), std::to_string(FSE_CONNECTION_BROKEN));
    EXPECT_EQ(session.Finish(), "");
}

TEST(PathOperations, WorkingDirectoryIsReadFromEveryReplyFormOrRefused) {
    const std::string longName = "/" + std::string(299, 'd');  // beyond a 255-character copy
    const std::string tail(1990, 'x');
    const std::pair<std::string, std::string> cases[] = {  // reply, directory or error
        {"257 \"/usr/home\" is the current directory.", "/usr/home"},
        {"257 '/usr/home' is current.", "/usr/home"},
        {"257 /usr/home is current", "/usr/home"},
        {"257 It's \"/a b\" now.", "/a b"},
        {"257-Current:\r\n257-\"/multi\r\n257 line\" end", "/multi\nline"},
        {"257 \"" + longName + "\"", longName},
        {"257 \"/" + std::string(318, 'd') + "\"", "/" + std::string(318, 'd')},  // 319 and a NUL
        {"257 \"/" + std::string(319, 'd') + "\"", "-100"},
        {"257 \"/short\" " + tail, "/short"},
        {"257 /usr/home", "-45"},
        {"257 \"/open ended", "-45"},
        {"257 " + tail, "-45"},
        {"257 \"/" + std::string(1999, 'd') + "\"", "-100"},
        {"550 No current directory.", "-45"},
    };
    for (const auto& [reply, expected] : cases) {
        SCOPED_TRACE(reply.substr(0, 40));
        ScriptedSession session;
        session.Converse({{"PWD", reply}});
        FsStateRecord* record = session.Begin();
        lstrcpyA(session.connection()->cachedWorkingDirectory, "/stale");
        const bool fails = expected[0] == '-';
        EXPECT_EQ(Pwd(record), expected);
        EXPECT_STREQ(session.connection()->cachedWorkingDirectory, fails ? "" : expected.c_str());
        EXPECT_EQ((session.connection()->stateFlags & STATE_DIRECTORY_KNOWN) == 0, fails);
        EXPECT_EQ(session.Finish(), "");
    }
}

TEST(PathOperations, ChangeIntoADirectoryThatWantsAnAccountAsksTheUser) {
    AttachedModule module;
    ScriptedSession session;
    session.Converse({{"PWD", "257 \"/\""},
                      {"CWD billing", "332 Need account for this directory."},
                      {"ACCT ledger", "250 Directory changed."},
                      {"CWD payroll", "332 Need account."}, {"ACCT wrong", "530 Account refused."},
                      {"CWD secret", "332 Need account."}, {"NOOP", "200 OK."}});
    FsStateRecord* record = session.Begin();
    ASSERT_EQ(Pwd(record), "/");
    DialogScript person;
    person.Expect(ACCOUNT_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "ledger").Click(IDOK);
    person.Expect(ACCOUNT_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "wrong").Click(IDOK);
    person.Expect(ACCOUNT_PASSWORD_PROMPT).Click(IDCANCEL);

    EXPECT_EQ(FTP_Chdir("billing", record), 2);
    EXPECT_EQ(session.connection()->stateFlags & STATE_DIRECTORY_KNOWN, 0u);
    EXPECT_EQ(FTP_Chdir("payroll", record), FSE_NOT_FOUND);
    // A cancel sends no account, not even what the last prompt left behind.
    EXPECT_EQ(FTP_Chdir("secret", record), FSE_CANCELLED);
    EXPECT_EQ(SendCommand(session.connection(), "NOOP\r\n"), REPLY_COMPLETE);
    EXPECT_EQ(session.Finish(), "");
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty());
}

TEST(PathOperations, VmsDirectoryNamesAndNamesThatCannotBeSentWhole) {
    ScriptedSession vms(HOST_VMS);
    const std::pair<const char*, const char*> changes[] = {
        {"SUBDIR.DIR;1", "CWD [.SUBDIR]"}, {"[.A.B]", "CWD [.A.B]"},
        {"notes.dir;3", "CWD [.notes.dir]"}, {"LOG.TXT;7", "CWD [.LOG.TXT]"},
        {"DIR", "CWD [.DIR]"}, {"A;B;2", "CWD [.A;B]"},
    };
    for (const auto& [name, sent] : changes) vms.Converse({{sent, "250 OK."}});
    vms.Converse({{"MKD [.NEW]", "257 Created."}, {"RMD OLD.DIR;1", "250 Removed."},
                  {"RMD [.OLD]", "250 Removed."}, {"DELE SUBDIR.DIR;1", "250 Deleted."}});
    FsStateRecord* record = vms.Begin();
    for (const auto& [name, sent] : changes) EXPECT_EQ(FTP_Chdir(name, record), 2) << name;
    EXPECT_EQ(FTP_Mkdir("NEW.DIR;1", record), 0);
    EXPECT_EQ(FTP_Rmdir("OLD.DIR;1", record), 2);  // brackets only with the quirk
    vms.connection()->hostQuirks = QUIRK_BRACKETED_RMD;
    EXPECT_EQ(FTP_Rmdir("OLD.DIR;1", record), 2);
    EXPECT_EQ(FTP_Delete("SUBDIR.DIR;1", record), 0);
    // The rewritten name must fit the line: "XMKD [." + 310 + "]" does not.
    EXPECT_EQ(FTP_Mkdir(std::string(310, 'v').c_str(), record), FSE_INVALID);
    EXPECT_EQ(vms.Finish(), "");

    // MKD and XMKD both hold a name of 312 characters; CWD and DELE have room for 505 and
    // 504. Longer names, line breaks and missing names are refused with nothing sent.
    ScriptedSession session;
    const std::string m(312, 'm'), c(505, 'c'), f(504, 'f');
    session.Converse({{"MKD " + m, "257 Created."}, {"CWD " + c, "250 OK."},
                      {"DELE " + f, "250 Deleted."}});
    record = session.Begin();
    EXPECT_EQ(FTP_Mkdir(m.c_str(), record), 0);
    EXPECT_EQ(FTP_Chdir(c.c_str(), record), 2);
    EXPECT_EQ(FTP_Delete(f.c_str(), record), 0);
    EXPECT_EQ(FTP_Mkdir((m + "m").c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Chdir((c + "c").c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Delete((f + "f").c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Rename("a", std::string(313, 'r').c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Delete("a\r\nDELE b", record), FSE_INVALID);
    EXPECT_EQ(FTP_Rename("a", "b\nc", record), FSE_INVALID);
    EXPECT_EQ(FTP_Rmdir(nullptr, record), FSE_INVALID);
    EXPECT_EQ(session.Finish(), "");
    FsStateRecord closed{};
    EXPECT_EQ(FTP_Chdir("d", &closed), FSE_STREAM_CLOSED);
}
