// Real FTP servers on loopback: connection open with the account's password, anonymously
// and with a wrong password corrected or cancelled at the prompt, a download and an upload
// over PORT, and a close made twice.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/dialog_script.h"
#include "tests/support/host_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/real_server.h"
#include "tests/support/temp_folder.h"
#include "transfer/start_transfer.h"
#include "ui/resources/resource_ids.h"

using namespace tvtest;

namespace {

class OpenRealServer : public ::testing::TestWithParam<std::string> {
protected:
    AttachedModule module_;
};

LONG Open(HostRecord& record, uint16_t port, char* user, char* password) {
    OpenParameters parameters = Parameters(port, OPEN_PARSE_DIRECTORIES | OPEN_SEND_PORT);
    return xfsopen(record.handle(), 0, user, password, nullptr, &parameters);
}

// The start of a transfer of `path`; its data socket, or INVALID_SOCKET after `result`.
SOCKET Transfer(FsStateRecord* record, const char* path, uint16_t mode, int32_t result = 0) {
    RemoteFileHandle handle{};
    handle.path = GlobalAlloc(GMEM_MOVEABLE, lstrlenA(path) + 1);
    lstrcpyA(static_cast<char*>(GlobalLock(handle.path)), path);
    GlobalUnlock(handle.path);
    handle.openMode = mode;
    handle.dataSocket = handle.listeningSocket = INVALID_SOCKET;
    EXPECT_EQ(StartFileTransfer(&handle, record), result) << path;
    if (handle.listeningSocket != INVALID_SOCKET) closesocket(handle.listeningSocket);
    GlobalFree(handle.path);
    return handle.dataSocket;
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
        ASSERT_EQ(SendCommand(connection, "TYPE I\r\n").Is(ReplyClass::Complete), true);
        // proftpd holds the completion reply until the client's side of the data is closed.
        SOCKET download = Transfer(record.get(), "/large.bin", FILE_MODE_READ);
        EXPECT_TRUE(ReadUntilClose(download) == ReadFile(server.LocalPath("/large.bin")));
        closesocket(download);
        EXPECT_TRUE(ReadReply(connection).Is(ReplyClass::Complete));
        std::string uploaded;
        for (int i = 0; i < 20000; ++i) uploaded += "line " + std::to_string(i) + "\r\n";
        SOCKET upload = Transfer(record.get(), "/upload/sent.txt", FILE_MODE_WRITE);
        u_long blocking = 0;
        ioctlsocket(upload, FIONBIO, &blocking);
        EXPECT_EQ(send(upload, uploaded.data(), static_cast<int>(uploaded.size()), 0),
                  static_cast<int>(uploaded.size()));
        closesocket(upload);
        EXPECT_EQ(ReadReply(connection).code, 226);
        EXPECT_TRUE(ReadFile(server.LocalPath("/upload/sent.txt")) == uploaded);
        Transfer(record.get(), "/no-such-file", FILE_MODE_READ, FSE_RETRIEVE_REFUSED);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
        EXPECT_EQ(record.connection(), nullptr);
        EXPECT_EQ(FTP_FS_Close(record.get()), 0);
    }
    if (server.Anonymous()) {
        LogonText anonymous("anonymous"), address("tester@example.org");
        HostRecord record(server.Host().c_str());
        EXPECT_EQ(Open(record, server.Port(), anonymous, address), 0);
    }
    // pure-ftpd answers each wrong password only after several seconds.
    if (GetParam() == "pure-ftpd") return;

    // A wrong password: the prompt's answer gets the user in, and the host sees it; then
    // a wrong password and Cancel: the server's refusal ends the open.
    DialogScript person;
    person.Expect("USER_PASSWORD").Type(IDC_PROMPT_PASSWORD, server.Password()).Click(IDOK);
    person.Expect("USER_PASSWORD").Click(IDCANCEL);
    for (LONG result : {0, int(FSE_LOGON_REFUSED)}) {
        LogonText wrong("not-the-password");
        HostRecord record(server.Host().c_str());
        EXPECT_EQ(Open(record, server.Port(), user, wrong), result);
        EXPECT_EQ(wrong.str(), result == 0 ? server.Password() : "not-the-password");
    }
    EXPECT_TRUE(person.finished());
    EXPECT_EQ(person.problems(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Servers, OpenRealServer, ::testing::ValuesIn(RealServer::Kinds()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });
