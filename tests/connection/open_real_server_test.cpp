// Connection open and close against real FTP servers on loopback: the account's password,
// a wrong password corrected or cancelled at the prompt, anonymous logon, a second close,
// and the failures of a refused port and a name that does not resolve.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/real_server.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

class OpenRealServer : public ::testing::TestWithParam<std::string> {
protected:
    AttachedModule module_;
};

LONG Open(HostRecord& record, uint16_t port, char* user, char* password) {
    OpenParameters parameters = Parameters(port, OPEN_PARSE_DIRECTORIES);
    return xfsopen(record.handle(), 0, user, password, nullptr, &parameters);
}

}  // namespace

TEST_P(OpenRealServer, LogsOnWithThePasswordTheUserGivesAndClosesTwice) {
    TVTEST_REQUIRE_SERVER(GetParam());
    RealServer server(GetParam());
    LogonText user(server.User()), password(server.Password());
    {
        HostRecord record(server.Host().c_str());
        ASSERT_EQ(Open(record, server.Port(), user, password), 0);
        FtpConnection* connection = record.connection();
        EXPECT_EQ(std::string(connection->greeting).substr(0, 3), "220") << connection->greeting;
        EXPECT_EQ(connection->currentType, TYPE_ASCII);
        EXPECT_EQ(connection->currentStructure, STRUCTURE_FILE);
        EXPECT_EQ(SendCommand(connection, "PWD\r\n"), REPLY_COMPLETE);
        EXPECT_EQ(connection->lastReplyCode, 257);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    }

    // pure-ftpd answers each wrong password only after several seconds; the other servers
    // show the prompt paths.
    if (GetParam() == "pure-ftpd") return;

    // A wrong password: the prompt's answer gets the user in, and the host sees it.
    DialogScript person;
    person.Expect(USER_PASSWORD_PROMPT).Type(IDC_PROMPT_PASSWORD, server.Password()).Click(IDOK);
    LogonText wrong("not-the-password");
    {
        HostRecord record(server.Host().c_str());
        EXPECT_EQ(Open(record, server.Port(), user, wrong), 0);
        EXPECT_EQ(wrong.str(), server.Password());
    }
    EXPECT_TRUE(person.finished());

    // A wrong password and Cancel: the server's refusal ends the open.
    DialogScript cancelling;
    cancelling.Expect(USER_PASSWORD_PROMPT).Click(IDCANCEL);
    LogonText stillWrong("not-the-password");
    {
        HostRecord record(server.Host().c_str());
        EXPECT_EQ(Open(record, server.Port(), user, stillWrong), FSE_LOGON_REFUSED);
        EXPECT_NE(record.connection(), nullptr);
    }
    EXPECT_TRUE(cancelling.finished());

}

TEST_P(OpenRealServer, LogsOnAnonymously) {
    TVTEST_REQUIRE_SERVER(GetParam());
    RealServer server(GetParam());
    if (!server.Anonymous()) GTEST_SKIP() << GetParam() << " offers no anonymous logon";
    LogonText anonymous("anonymous"), address("tester@example.org");
    HostRecord record(server.Host().c_str());
    EXPECT_EQ(Open(record, server.Port(), anonymous, address), 0);
    EXPECT_EQ(SendCommand(record.connection(), "PWD\r\n"), REPLY_COMPLETE);
}

INSTANTIATE_TEST_SUITE_P(Servers, OpenRealServer, ::testing::ValuesIn(RealServer::Kinds()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             }
                             return name;
                         });

TEST(OpenWithoutServer, RefusedPortAndUnknownNameFailBeforeAnyConnection) {
    AttachedModule module;
    LogonText user("anonymous"), password("x");
    // A port where a server was a moment ago and is no longer.
    uint16_t port;
    {
        TVTEST_REQUIRE_SERVER("pyftpdlib");
        RealServer server("pyftpdlib");
        port = server.Port();
    }
    HostRecord refused("127.0.0.1");
    EXPECT_EQ(Open(refused, port, user, password), FsErrorFromSocket(WSAECONNREFUSED));
    EXPECT_EQ(refused.connection(), nullptr);

    HostRecord unknown("no-such-host.invalid");
    EXPECT_EQ(Open(unknown, port, user, password), FSE_HOST_NOT_FOUND);
    EXPECT_EQ(unknown.connection(), nullptr);
}
