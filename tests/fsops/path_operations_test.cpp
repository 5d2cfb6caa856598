// The path operations against the scripted server: exact command lines and results, the
// refusals and their errors, the single fallback to the X commands, the working directory
// and its cache, the account a change of directory may need, VMS directory names, and
// names that cannot be sent.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fsops/path_operations.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/test_connection.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

// A scripted server, a connection to it and the host's state record that carries it.
class Session {
public:
    explicit Session(uint8_t hostType = HOST_UNIX) { record_.hostType = hostType; }
    ScriptedServer& server() { return server_; }
    // The server closes after the last step, so that a command the transcript does not hold
    // fails at once instead of waiting for a reply forever.
    FsStateRecord* Begin() {
        server_.Close().Start();
        client_ = std::make_unique<TestConnection>(server_.Port());
        record_.connection = client_->get();
        return &record_;
    }
    FtpConnection* connection() { return client_->get(); }
    std::string Finish() { return server_.Finish(); }

private:
    ScriptedServer server_;
    std::unique_ptr<TestConnection> client_;
    FsStateRecord record_{};
};

// FTP_Pwd as a host calls it: the result, and the text of the block it was handed ("-"
// when none), which it then frees.
std::string Pwd(FsStateRecord* record, LONG* result = nullptr) {
    HGLOBAL block = reinterpret_cast<HGLOBAL>(1);
    LONG status = FTP_Pwd(record, &block);
    if (result != nullptr) *result = status;
    if (block == nullptr) return "-";
    EXPECT_EQ(GlobalSize(block), static_cast<SIZE_T>(WORKING_DIRECTORY_SIZE));
    std::string directory = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
    GlobalFree(block);
    return directory;
}

}  // namespace

TEST(PathOperations, EachOperationSendsItsLineAndOnlyAChangeForgetsTheDirectory) {
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/home\" is current.\r\n")
        .Expect("MKD new dir\r\n").Reply("257 \"/home/new dir\" created.\r\n")
        .Expect("RMD old\r\n").Reply("250 Removed.\r\n")
        .Expect("DELE notes.txt\r\n").Reply("250 Deleted.\r\n")
        .Expect("RNFR a.txt\r\n").Reply("350 Ready for RNTO.\r\n")
        .Expect("RNTO b.txt\r\n").Reply("250 Renamed.\r\n")
        .Expect("RNFR c.txt\r\n").Reply("250 Renamed at once.\r\n")  // no RNTO follows
        .Expect("CWD nowhere\r\n").Reply("550 No such directory.\r\n")
        .Expect("CWD /pub\r\n").Reply("250 Directory changed.\r\n")
        .Expect("PWD\r\n").Reply("257 \"/pub\"\r\n");
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
        {"550 No space left on device.\r\n", FSE_NO_SPACE, FSE_NO_SPACE},
        {"550 Permission denied, no space.\r\n", FSE_ACCESS_DENIED, FSE_INVALID},
        {"550 PRIVILEGE violation: access DENIED.\r\n", FSE_ACCESS_DENIED, FSE_INVALID},
        {"550 Permission: no space.\r\n", FSE_NO_SPACE, FSE_NO_SPACE},  // no "denied"
        {"550 Directory not empty.\r\n", FSE_ACCESS_DENIED, FSE_INVALID},
        // Only the first 1535 characters are searched.
        {"550 " + std::string(1600, 'x') + " no space\r\n", FSE_ACCESS_DENIED, FSE_INVALID},
        {"452 Insufficient storage.\r\n", FSE_NO_SPACE, FSE_NO_SPACE},
        {"450 Busy, no space, permission denied.\r\n", FSE_NOT_FOUND, FSE_INVALID},
        {"553 Name not allowed.\r\n", FSE_NOT_FOUND, FSE_INVALID},
        {"502 Not implemented.\r\n", FSE_NOT_SUPPORTED, FSE_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 40));
        Session session;
        const bool unknown = c.reply.compare(0, 3, "502") == 0;  // RMD and MKD try the X form
        session.server().Expect("RMD d\r\n").Reply(c.reply);
        if (unknown) session.server().Expect("XRMD d\r\n").Reply(c.reply);
        session.server().Expect("MKD d\r\n").Reply(c.reply);
        if (unknown) session.server().Expect("XMKD d\r\n").Reply(c.reply);
        session.server().Expect("DELE f\r\n").Reply(c.reply).Expect("CWD d\r\n").Reply(c.reply);
        session.server().Expect("RNFR f\r\n").Reply("350 Ready.\r\n").Expect("RNTO g\r\n").Reply(c.reply);
        FsStateRecord* record = session.Begin();
        EXPECT_EQ(FTP_Rmdir("d", record), c.other);
        EXPECT_EQ(FTP_Mkdir("d", record), c.mkdir);
        EXPECT_EQ(FTP_Delete("f", record), c.other);
        EXPECT_EQ(FTP_Chdir("d", record), c.other);
        EXPECT_EQ(FTP_Rename("f", "g", record), c.other);
        EXPECT_EQ(session.Finish(), "");
    }

    Session session;
    session.server()
        .Expect("MKD a\r\n").Reply("500 'MKD': command not understood.\r\n")
        .Expect("XMKD a\r\n").Reply("257 Created.\r\n")
        .Expect("RMD a\r\n").Reply("500 Unknown.\r\n")
        .Expect("XRMD a\r\n").Reply("250 Removed.\r\n")
        .Expect("PWD\r\n").Reply("502 Not implemented.\r\n")
        .Expect("XPWD\r\n").Reply("257 \"/x\"\r\n")
        .Expect("MKD b\r\n").Reply("501 Syntax error.\r\n")
        .Expect("CWD b\r\n").Reply("500 Unknown.\r\n")
        .Expect("RNFR b\r\n").Close();
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
    LONG result = 0;
    EXPECT_EQ(Pwd(record, &result), "-");
    EXPECT_EQ(result, FSE_CONNECTION_BROKEN);
    EXPECT_EQ(session.Finish(), "");
}

TEST(PathOperations, WorkingDirectoryIsReadFromEveryReplyFormOrRefused) {
    const std::string longName = "/" + std::string(299, 'd');  // beyond a 255-character copy
    const std::string tail(1990, 'x');
    const std::pair<std::string, std::string> cases[] = {  // reply, directory or error
        {"257 \"/usr/home\" is the current directory.\r\n", "/usr/home"},
        {"257 '/usr/home' is current.\r\n", "/usr/home"},
        {"257 /usr/home is current\r\n", "/usr/home"},
        {"257 It's \"/a b\" now.\r\n", "/a b"},
        {"257-Current:\r\n257-\"/multi\r\n257 line\" end\r\n", "/multi\nline"},
        {"257 \"" + longName + "\"\r\n", longName},
        {"257 \"/short\" " + tail + "\r\n", "/short"},
        {"257 /usr/home\r\n", "-45"},
        {"257 \"/open ended\r\n", "-45"},
        {"257 " + tail + "\r\n", "-45"},
        {"257 \"/" + std::string(1999, 'd') + "\"\r\n", "-100"},
        {"550 No current directory.\r\n", "-45"},
    };
    for (const auto& [reply, expected] : cases) {
        SCOPED_TRACE(reply.substr(0, 40));
        Session session;
        session.server().Expect("PWD\r\n").Reply(reply);
        FsStateRecord* record = session.Begin();
        lstrcpyA(session.connection()->cachedWorkingDirectory, "/stale");
        LONG result = 1;
        std::string directory = Pwd(record, &result);
        const bool fails = expected[0] == '-';
        EXPECT_EQ(fails ? std::to_string(result) : directory, expected);
        EXPECT_STREQ(session.connection()->cachedWorkingDirectory, fails ? "" : expected.c_str());
        EXPECT_EQ((session.connection()->stateFlags & STATE_DIRECTORY_KNOWN) == 0, fails);
        EXPECT_EQ(session.Finish(), "");
    }
}

TEST(PathOperations, ChangeIntoADirectoryThatWantsAnAccountAsksTheUser) {
    AttachedModule module;
    Session session;
    session.server()
        .Expect("PWD\r\n").Reply("257 \"/\"\r\n")
        .Expect("CWD billing\r\n").Reply("332 Need account for this directory.\r\n")
        .Expect("ACCT ledger\r\n").Reply("250 Directory changed.\r\n")
        .Expect("CWD payroll\r\n").Reply("332 Need account.\r\n")
        .Expect("ACCT wrong\r\n").Reply("530 Account refused.\r\n")
        .Expect("CWD secret\r\n").Reply("332 Need account.\r\n")
        .Expect("NOOP\r\n").Reply("200 OK.\r\n");
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
    Session vms(HOST_VMS);
    const std::pair<const char*, const char*> changes[] = {
        {"SUBDIR.DIR;1", "[.SUBDIR]"}, {"[.A.B]", "[.A.B]"}, {"notes.dir;3", "[.notes.dir]"},
        {"LOG.TXT;7", "[.LOG.TXT]"},   {"DIR", "[.DIR]"},   {"A;B;2", "[.A;B]"},
    };
    for (const auto& [name, sent] : changes) {
        vms.server().Expect(std::string("CWD ") + sent + "\r\n").Reply("250 OK.\r\n");
    }
    vms.server()
        .Expect("MKD [.NEW]\r\n").Reply("257 Created.\r\n")
        .Expect("RMD OLD.DIR;1\r\n").Reply("250 Removed.\r\n")
        .Expect("RMD [.OLD]\r\n").Reply("250 Removed.\r\n")
        .Expect("DELE SUBDIR.DIR;1\r\n").Reply("250 Deleted.\r\n");
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
    Session session;
    session.server()
        .Expect("MKD " + std::string(312, 'm') + "\r\n").Reply("257 Created.\r\n")
        .Expect("CWD " + std::string(505, 'c') + "\r\n").Reply("250 OK.\r\n")
        .Expect("DELE " + std::string(504, 'f') + "\r\n").Reply("250 Deleted.\r\n");
    record = session.Begin();
    EXPECT_EQ(FTP_Mkdir(std::string(312, 'm').c_str(), record), 0);
    EXPECT_EQ(FTP_Chdir(std::string(505, 'c').c_str(), record), 2);
    EXPECT_EQ(FTP_Delete(std::string(504, 'f').c_str(), record), 0);
    EXPECT_EQ(FTP_Mkdir(std::string(313, 'm').c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Chdir(std::string(506, 'c').c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Delete(std::string(505, 'f').c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Rename("a", std::string(313, 'r').c_str(), record), FSE_INVALID);
    EXPECT_EQ(FTP_Delete("a\r\nDELE b", record), FSE_INVALID);
    EXPECT_EQ(FTP_Rename("a", "b\nc", record), FSE_INVALID);
    EXPECT_EQ(FTP_Rmdir(nullptr, record), FSE_INVALID);
    EXPECT_EQ(session.Finish(), "");
    FsStateRecord closed{};
    EXPECT_EQ(FTP_Chdir("d", &closed), FSE_STREAM_CLOSED);
}
