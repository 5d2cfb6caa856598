// Logon through xfsopen against a scripted server: USER, PASS and ACCT exactly as far as
// the server and the account rule call for them, the prompts for a refused user name,
// password or account, and the results of a refusal, a cancel and a lost connection.
#include <gtest/gtest.h>

#include <vector>

#include "platform/posix/hooks.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

// Opens with these texts on a server that greets, plays the exchange and, when the logon
// succeeds, takes the initial options.
OpenOutcome RunLogon(const Exchange& exchange, bool logsOn, const char* user,
                     const char* password, const char* account = nullptr,
                     uint8_t accountHostType = HOST_UNIX) {
    ScriptedServer server;
    ExpectExchange(server.Reply(kScriptedGreeting), exchange);
    if (logsOn) ExpectDefaultOptions(server);
    return OpenOn(server, Parameters(0, 0, accountHostType), HOST_UNIX, user, password, account);
}

using Logon = ModuleTest;

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
        {"230 Logged in without password.", HOST_VM, "acct", false, false},
        {"331 Password required.", HOST_UNIX, "acct", true, false},
        {"331 Password required.", HOST_VM, "acct", true, true},
        {"331 Password required.", HOST_AUTOMATIC, "acct", true, true},
        {"331 Password required.", HOST_VM, "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.userReply) + " host type " + std::to_string(c.accountHostType));
        Exchange exchange = {{"USER bob", c.userReply}};
        if (c.sendsPassword) exchange.push_back({"PASS secret", "230 Logged in."});
        // The server did not ask for an account: its refusal changes nothing.
        if (c.sendsAccount) exchange.push_back({"ACCT acct", "503 Not needed."});
        EXPECT_EQ(RunLogon(exchange, true, "bob", "secret", c.account, c.accountHostType).result,
                  0);
    }
}

TEST_F(Logon, RefusedPasswordIsAskedForAndTheAnswerUsedUntilCancelled) {
    DialogScript person;
    person.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "right").Click(IDOK);
    OpenOutcome opened = RunLogon({{"USER bob", "331 Password required."},
                                   {"PASS wrong", "530 Login incorrect."},
                                   {"USER bob", "331 Password required."},
                                   {"PASS right", "230 Logged in."}},
                                  true, "bob", "wrong");
    EXPECT_EQ(opened.result, 0);
    EXPECT_EQ(opened.password, "right");  // the host sees the password that worked
    EXPECT_TRUE(person.finished());
    EXPECT_TRUE(person.problems().empty());

    // Answered once more wrongly, then cancelled: the server's refusal is the result, and
    // nothing but the QUIT of the close follows.
    DialogScript giving;
    giving.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "again").Click(IDOK);
    giving.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "never sent").Click(IDCANCEL);
    opened = RunLogon({{"USER bob", "331 Password required."},
                       {"PASS wrong", "530 Login incorrect."},
                       {"USER bob", "331 Password required."},
                       {"PASS again", "530 Login incorrect."}},
                      false, "bob", "wrong");
    EXPECT_EQ(opened.result, FSE_LOGON_REFUSED);
    EXPECT_EQ(opened.password, "again");
    EXPECT_TRUE(giving.finished());
}

TEST_F(Logon, RefusedUserNameIsAskedForAndCancelEndsTheOpen) {
    // No user name from the host: an empty one goes out, and the answer replaces it.
    DialogScript person;
    person.Expect(USER_NAME_PROMPT).Type(IDC_PROMPT_USERNAME, "alice").Click(IDOK);
    EXPECT_EQ(RunLogon({{"USER ", "530 User name required."},
                        {"USER alice", "331 Password required."},
                        {"PASS pw", "230 Logged in."}},
                       true, nullptr, "pw")
                  .result,
              0);
    EXPECT_TRUE(person.finished());

    DialogScript cancelling;
    cancelling.Expect(USER_NAME_PROMPT).Click(IDCANCEL);
    OpenOutcome opened = RunLogon({{"USER nobody", "530 Not allowed."}}, false, "nobody", "pw");
    EXPECT_EQ(opened.result, FSE_USER_PROMPT_CANCELLED);
    EXPECT_EQ(opened.user, "nobody");
    EXPECT_TRUE(cancelling.finished());

    // Without the prompt's template the refused user name cannot be corrected: the open
    // ends as if the prompt had been cancelled instead of asking the server again forever.
    HINSTANCE resources = gModule.resourceInstance;
    gModule.resourceInstance = GetModuleHandleA(nullptr);
    EXPECT_EQ(RunLogon({{"USER bob", "530 Not allowed."}}, false, "bob", "pw").result,
              FSE_USER_PROMPT_CANCELLED);
    gModule.resourceInstance = resources;
}

TEST_F(Logon, AccountDemandedByTheServerIsSentAndAskedForWhenRefused) {
    DialogScript person;
    person.Expect(ACCOUNT_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, "second").Click(IDOK);
    OpenOutcome opened = RunLogon({{"USER bob", "331 Password required."},
                                   {"PASS pw", "332 Account required."},
                                   {"ACCT first", "530 Account refused."},
                                   {"USER bob", "331 Password required."},
                                   {"PASS pw", "332 Account required."},
                                   {"ACCT second", "230 Logged in."}},
                                  true, "bob", "pw", "first");
    EXPECT_EQ(opened.result, 0);
    EXPECT_EQ(opened.account, "second");
    EXPECT_TRUE(person.finished());

    DialogScript cancelling;
    cancelling.Expect(ACCOUNT_PASSWORD_PROMPT).Click(IDCANCEL);
    EXPECT_EQ(RunLogon({{"USER bob", "331 Password required."},
                        {"PASS pw", "332 Account required."},
                        {"ACCT ", "530 Account refused."}},
                       false, "bob", "pw")
                  .result,
              FSE_LOGON_REFUSED);
    EXPECT_TRUE(cancelling.finished());
}

TEST_F(Logon, LostConnectionEndsTheLogon) {
    ScriptedServer closing;
    closing.Reply(kScriptedGreeting).Expect("USER bob\r\n").Close();
    closing.Start();
    LogonText user("bob"), password("pw");
    {
        HostRecord record("127.0.0.1");
        OpenParameters parameters = Parameters(closing.Port());
        EXPECT_EQ(xfsopen(record.handle(), 0, user, password, nullptr, &parameters),
                  FSE_LOGON_BROKEN);
    }
    EXPECT_EQ(closing.Finish(), "");
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
    ExpectExchange(server.Reply(kScriptedGreeting), {{"USER bob", "331 Password required."},
                                                     {"PASS s3cr3t", "230 Logged in."},
                                                     {"ACCT pr1v", "202 Not needed."}});
    ExpectDefaultOptions(server);
    OpenOutcome opened = OpenOn(server, Parameters(0, OPEN_SHOW_PROTOCOL, HOST_VM), HOST_UNIX,
                                "bob", "s3cr3t", "pr1v");
    TvSetListBoxObserver(previous);
    EXPECT_EQ(opened.result, 0);
    EXPECT_NE(opened.connection.protocolWindow, nullptr);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "<-- 220 Scripted FTP ready.");
    EXPECT_EQ(lines[3], "--> PASS ******");
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("s3cr3t"), std::string::npos) << line;
        EXPECT_EQ(line.find("pr1v"), std::string::npos) << line;
    }
}
