// Logon through xfsopen against a scripted server: USER, PASS and ACCT exactly as far as
// the server and the account rule call for them, the prompts for a refused user name,
// password or account, and the results of a refusal, a cancel and a lost connection.
#include <gtest/gtest.h>

#include <vector>

#include "platform/posix/hooks.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/scripted_server.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

constexpr const char* kGreeting = "220 Scripted FTP ready.\r\n";

// Opens the scripted server with these texts; the record closes (QUIT) before the
// transcript is checked.
struct LogonRun {
    LONG result = 1;
    std::string problems;
};

LogonRun RunLogon(ScriptedServer& server, char* user, char* password, char* account,
                  uint8_t accountHostType = HOST_UNIX) {
    LogonRun run;
    server.Start();
    {
        HostRecord record("127.0.0.1");
        OpenParameters parameters = Parameters(server.Port(), 0, accountHostType);
        run.result = xfsopen(record.handle(), 0, user, password, account, &parameters);
    }
    run.problems = server.Finish();
    return run;
}

class Logon : public ::testing::Test {
protected:
    AttachedModule module_;
};

}  // namespace

TEST_F(Logon, PasswordAndAccountGoOutOnlyWhereTheServerOrTheAccountRuleAsks) {
    struct Case {
        const char* userReply;
        uint8_t accountHostType;
        const char* account;
        bool sendsPassword;
        bool sendsAccount;
    };
    const Case cases[] = {
        {"230 Logged in without password.\r\n", HOST_VM, "acct", false, false},
        {"331 Password required.\r\n", HOST_UNIX, "acct", true, false},
        {"331 Password required.\r\n", HOST_VM, "acct", true, true},
        {"331 Password required.\r\n", HOST_AUTOMATIC, "acct", true, true},
        {"331 Password required.\r\n", HOST_VM, "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.userReply) + " host type " + std::to_string(c.accountHostType));
        ScriptedServer server;
        server.Reply(kGreeting).Expect("USER bob\r\n").Reply(c.userReply);
        if (c.sendsPassword) server.Expect("PASS secret\r\n").Reply("230 Logged in.\r\n");
        // The server did not ask for an account: its refusal changes nothing.
        if (c.sendsAccount) server.Expect("ACCT acct\r\n").Reply("503 Not needed.\r\n");
        ExpectDefaultOptions(server);
        ExpectQuit(server);
        LogonText user("bob"), password("secret"), account(c.account);
        LogonRun run = RunLogon(server, user, password, account, c.accountHostType);
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(run.problems, "");
    }
}

TEST_F(Logon, RefusedPasswordIsAskedForAndTheAnswerUsedUntilCancelled) {
    ScriptedServer server;
    server.Reply(kGreeting)
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS wrong\r\n").Reply("530 Login incorrect.\r\n")
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS right\r\n").Reply("230 Logged in.\r\n");
    ExpectDefaultOptions(server);
    ExpectQuit(server);
    DialogScript person;
    person.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "right").Click(IDOK);
    LogonText user("bob"), password("wrong");
    LogonRun run = RunLogon(server, user, password, nullptr);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.problems, "");
    EXPECT_EQ(password.str(), "right");  // the host sees the password that worked
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty());

    // Answered once more wrongly, then cancelled: the server's refusal is the result, and
    // nothing but the QUIT of the close follows.
    ScriptedServer refusing;
    refusing.Reply(kGreeting)
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS wrong\r\n").Reply("530 Login incorrect.\r\n")
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS again\r\n").Reply("530 Login incorrect.\r\n");
    ExpectQuit(refusing);
    DialogScript giving;
    giving.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "again").Click(IDOK);
    giving.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "never sent").Click(IDCANCEL);
    LogonText wrong("wrong");
    run = RunLogon(refusing, user, wrong, nullptr);
    EXPECT_EQ(run.result, FSE_LOGON_REFUSED);
    EXPECT_EQ(run.problems, "");
    EXPECT_EQ(wrong.str(), "again");
    EXPECT_TRUE(giving.finished());
}

TEST_F(Logon, RefusedUserNameIsAskedForAndCancelEndsTheOpen) {
    // No user name from the host: an empty one goes out, and the answer replaces it.
    ScriptedServer server;
    server.Reply(kGreeting)
        .Expect("USER \r\n").Reply("530 User name required.\r\n")
        .Expect("USER alice\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS pw\r\n").Reply("230 Logged in.\r\n");
    ExpectDefaultOptions(server);
    ExpectQuit(server);
    DialogScript person;
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, "alice").Click(IDOK);
    LogonText password("pw");
    LogonRun run = RunLogon(server, nullptr, password, nullptr);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.problems, "");
    EXPECT_TRUE(person.finished());

    ScriptedServer refusing;
    refusing.Reply(kGreeting).Expect("USER nobody\r\n").Reply("530 Not allowed.\r\n");
    ExpectQuit(refusing);
    DialogScript cancelling;
    cancelling.Expect(USER_NAME_PROMPT).Click(IDCANCEL);
    LogonText nobody("nobody");
    run = RunLogon(refusing, nobody, password, nullptr);
    EXPECT_EQ(run.result, FSE_USER_PROMPT_CANCELLED);
    EXPECT_EQ(run.problems, "");
    EXPECT_EQ(nobody.str(), "nobody");
}

TEST_F(Logon, AccountDemandedByTheServerIsSentAndAskedForWhenRefused) {
    ScriptedServer server;
    server.Reply(kGreeting)
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS pw\r\n").Reply("332 Account required.\r\n")
        .Expect("ACCT first\r\n").Reply("530 Account refused.\r\n")
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS pw\r\n").Reply("332 Account required.\r\n")
        .Expect("ACCT second\r\n").Reply("230 Logged in.\r\n");
    ExpectDefaultOptions(server);
    ExpectQuit(server);
    DialogScript person;
    person.Expect(ACCOUNT_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "second").Click(IDOK);
    LogonText user("bob"), password("pw"), account("first");
    LogonRun run = RunLogon(server, user, password, account);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.problems, "");
    EXPECT_EQ(account.str(), "second");
    EXPECT_TRUE(person.finished());

    // Refused, and the account prompt cancelled: the refusal stands.
    ScriptedServer refusing;
    refusing.Reply(kGreeting)
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS pw\r\n").Reply("332 Account required.\r\n")
        .Expect("ACCT \r\n").Reply("530 Account refused.\r\n");
    ExpectQuit(refusing);
    DialogScript cancelling;
    cancelling.Expect(ACCOUNT_PASSWORD_PROMPT).Click(IDCANCEL);
    run = RunLogon(refusing, user, password, nullptr);
    EXPECT_EQ(run.result, FSE_LOGON_REFUSED);
    EXPECT_EQ(run.problems, "");
}

TEST_F(Logon, LostConnectionAndUnshowablePromptEndTheLogon) {
    ScriptedServer closing;
    closing.Reply(kGreeting).Expect("USER bob\r\n").Close();
    LogonText user("bob"), password("pw");
    LogonRun run = RunLogon(closing, user, password, nullptr);
    EXPECT_EQ(run.result, FSE_LOGON_BROKEN);
    EXPECT_EQ(run.problems, "");

    // Without the prompt's template the refused user name cannot be corrected: the open
    // ends as if the prompt had been cancelled instead of asking the server again forever.
    HINSTANCE resources = gModule.resourceInstance;
    gModule.resourceInstance = GetModuleHandleA(nullptr);
    ScriptedServer refusing;
    refusing.Reply(kGreeting).Expect("USER bob\r\n").Reply("530 Not allowed.\r\n");
    ExpectQuit(refusing);
    run = RunLogon(refusing, user, password, nullptr);
    gModule.resourceInstance = resources;
    EXPECT_EQ(run.result, FSE_USER_PROMPT_CANCELLED);
    EXPECT_EQ(run.problems, "");
}

namespace {

void CollectLine(HWND, int, LPCSTR text, void* lines) {
    static_cast<std::vector<std::string>*>(lines)->push_back(text);
}

}  // namespace

TEST_F(Logon, ProtocolWindowOpenedAtOnceLogsTheGreetingButNoPasswordOrAccount) {
    std::vector<std::string> lines;
    TvListBoxObserverHook previous = TvSetListBoxObserver({CollectLine, &lines});
    ScriptedServer server;
    server.Reply(kGreeting)
        .Expect("USER bob\r\n").Reply("331 Password required.\r\n")
        .Expect("PASS s3cr3t\r\n").Reply("230 Logged in.\r\n")
        .Expect("ACCT pr1v\r\n").Reply("202 Not needed.\r\n");
    ExpectDefaultOptions(server);
    ExpectQuit(server);
    server.Start();
    {
        HostRecord record("127.0.0.1");
        OpenParameters parameters = Parameters(server.Port(), OPEN_SHOW_PROTOCOL, HOST_VM);
        LogonText user("bob"), password("s3cr3t"), account("pr1v");
        ASSERT_EQ(xfsopen(record.handle(), 0, user, password, account, &parameters), 0);
        EXPECT_NE(record.connection()->protocolWindow, nullptr);
    }
    TvSetListBoxObserver(previous);
    EXPECT_EQ(server.Finish(), "");
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "<-- 220 Scripted FTP ready.");
    EXPECT_EQ(lines[1], "--> USER bob");
    EXPECT_EQ(lines[3], "--> PASS ******");
    EXPECT_EQ(lines[5], "--> ACCT ****");
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("s3cr3t"), std::string::npos) << line;
        EXPECT_EQ(line.find("pr1v"), std::string::npos) << line;
    }
}
