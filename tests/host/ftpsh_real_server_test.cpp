// ftpsh end to end against real FTP servers on loopback: the logon, a typed command and
// the close as a user of the reference host would run them.
#include <gtest/gtest.h>

#include "tests/host/ftpsh_process.h"
#include "tests/support/real_server.h"

namespace {

using ftpsh_test::Outcome;
using ftpsh_test::ProtocolLines;
using ftpsh_test::RunFtpsh;

std::string Show(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + "\n--- out:\n" + outcome.out +
           "--- err:\n" + outcome.err;
}

std::string Address(const tvtest::RealServer& server, const std::string& password) {
    return "ftp://" + server.User() + (password.empty() ? "" : ":" + password) + "@" +
           server.Host() + ":" + std::to_string(server.Port());
}

void OpenQuoteClose(const std::string& kind) {
    tvtest::RealServer server(kind);
    Outcome outcome = RunFtpsh(
        {"--batch", "-c", "open " + Address(server, server.Password()) + "; quote SYST; close"});
    EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
    EXPECT_EQ(ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    EXPECT_NE(outcome.out.find("Connected to " + server.Host() + " port " +
                               std::to_string(server.Port()) + " as " + server.User()),
              std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("Closed the connection to " + server.Host()), std::string::npos);
}

TEST(FtpshRealServer, VsftpdOpenQuoteClose) {
    TVTEST_REQUIRE_SERVER("vsftpd");
    OpenQuoteClose("vsftpd");
}

TEST(FtpshRealServer, PyftpdlibOpenQuoteCloseAndAnsweredPasswordPrompt) {
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    OpenQuoteClose("pyftpdlib");

    // A wrong password, then the right one through the module's prompt.
    tvtest::RealServer server("pyftpdlib");
    Outcome outcome = RunFtpsh({"--batch", "--show-protocol", "-c",
                                "answer USER_PASSWORD 500=" + server.Password() + " OK; open " +
                                    Address(server, "wrong") + "; close"});
    EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
    std::vector<std::string> lines = ProtocolLines(outcome.out);
    int passes = 0;
    for (const std::string& line : lines) passes += line.rfind("--> PASS ", 0) == 0;
    EXPECT_EQ(passes, 2) << outcome.out;
    EXPECT_NE(outcome.out.find("--> PASS *****\n"), std::string::npos) << "the wrong one, masked";
    EXPECT_EQ(outcome.out.find(server.Password()), std::string::npos);
}

}  // namespace
