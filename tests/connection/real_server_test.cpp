// Real FTP servers on loopback: the fixture that starts them, then connection open with the
// account's password, anonymously and with a wrong password corrected or cancelled at the
// prompt, a download and an upload over PORT, and a close made twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "connection/data_connection.h"
#include "transfer/start_transfer.h"
#include "tests/connection/open_fixture.h"
#include "tests/support/dialog_script.h"
#include "tests/support/loopback.h"
#include "tests/support/real_server.h"
#include "tests/support/temp_folder.h"
#include "ui/prompts.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

TEST(RealServer, EachKindStartsWithTheTreeGreetsAndStopsCleanly) {
    EXPECT_NE(RealServer::Unavailable("wu-ftpd").find("unknown server kind"), std::string::npos);
    EXPECT_THROW(RealServer("wu-ftpd"), std::runtime_error);

    int started = 0;
    for (const std::string& kind : RealServer::Kinds()) {
        SCOPED_TRACE(kind);
        if (!RealServer::Available(kind)) {
            if (RealServer::Required()) ADD_FAILURE() << RealServer::Unavailable(kind);
            continue;
        }
        ++started;
        std::string root;
        uint16_t port = 0;
        {
            RealServer server(kind);
            root = server.Root();
            port = server.Port();
            EXPECT_EQ(server.Host(), "127.0.0.1");
            EXPECT_EQ(std::filesystem::file_size(server.LocalPath("/large.bin")), 1u << 20);
            // A whole greeting, multi-line ones included, ends with its "220 " line.
            const std::string greeting = server.Greeting();
            ASSERT_EQ(greeting.substr(0, 3), "220") << greeting;
            const size_t lastLine = greeting.rfind('\n', greeting.size() - 2) + 1;
            EXPECT_EQ(greeting.substr(lastLine, 4), "220 ") << greeting;
            EXPECT_EQ(greeting.substr(greeting.size() - 2), "\r\n");
        }
        EXPECT_FALSE(RawControlConnection("127.0.0.1", port, 500).Connected());
        EXPECT_FALSE(std::filesystem::exists(root));
    }
    if (started == 0) GTEST_SKIP() << "no FTP server is installed";
}

namespace {

class OpenRealServer : public ::testing::TestWithParam<std::string> {
protected:
    AttachedModule module_;
};

LONG Open(HostRecord& record, uint16_t port, char* user, char* password) {
    OpenParameters parameters = Parameters(port, OPEN_PARSE_DIRECTORIES | OPEN_SEND_PORT);
    return xfsopen(record.handle(), 0, user, password, nullptr, &parameters);
}

// A download of the large sample file and an upload of many lines, in image type.
void DownloadAndUpload(FsStateRecord* record, const RealServer& server) {
    FtpConnection* connection = record->connection;
    ASSERT_EQ(SendCommand(connection, "TYPE I\r\n"), REPLY_COMPLETE);
    OpenedFile download("/large.bin", FILE_MODE_READ);
    ASSERT_EQ(StartFileTransfer(&download.handle, record), 0);
    EXPECT_TRUE(ReadUntilClose(download.handle.dataSocket) ==
                ReadFile(server.LocalPath("/large.bin")));
    // proftpd holds the completion reply until the client's side of the data is closed too.
    closesocket(download.handle.dataSocket);
    download.handle.dataSocket = INVALID_SOCKET;
    EXPECT_EQ(ReadReply(connection), REPLY_COMPLETE);

    std::string uploaded;
    for (int i = 0; i < 20000; ++i) uploaded += "line " + std::to_string(i) + "\r\n";
    OpenedFile upload("/upload/sent.txt", FILE_MODE_WRITE);
    ASSERT_EQ(StartFileTransfer(&upload.handle, record), 0);
    u_long blocking = 0;
    ioctlsocket(upload.handle.dataSocket, FIONBIO, &blocking);
    EXPECT_EQ(send(upload.handle.dataSocket, uploaded.data(), static_cast<int>(uploaded.size()), 0),
              static_cast<int>(uploaded.size()));
    closesocket(upload.handle.dataSocket);
    upload.handle.dataSocket = INVALID_SOCKET;
    EXPECT_EQ(ReadReply(connection), REPLY_COMPLETE);
    EXPECT_EQ(connection->lastReplyCode, 226);
    EXPECT_TRUE(ReadFile(server.LocalPath("/upload/sent.txt")) == uploaded);

    OpenedFile refused("/no-such-file", FILE_MODE_READ);
    EXPECT_EQ(StartFileTransfer(&refused.handle, record), FSE_RETRIEVE_REFUSED);
}

}  // namespace

TEST_P(OpenRealServer, LogsOnTransfersAndClosesTwice) {
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
        DownloadAndUpload(record.get(), server);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    }
    if (server.Anonymous()) {
        LogonText anonymous("anonymous"), address("tester@example.org");
        HostRecord record(server.Host().c_str());
        EXPECT_EQ(Open(record, server.Port(), anonymous, address), 0);
        EXPECT_EQ(SendCommand(record.connection(), "PWD\r\n"), REPLY_COMPLETE);
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

INSTANTIATE_TEST_SUITE_P(Servers, OpenRealServer, ::testing::ValuesIn(RealServer::Kinds()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : info.param) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             }
                             return name;
                         });
