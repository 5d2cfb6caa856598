// ftpsh end to end against real FTP servers on loopback: the logon, a typed command and
// the close as a user of the reference host would run them; the remote system the module
// detects, the commands on remote paths with the errors the servers' refusals give, and
// the listing commands on the sample tree, parsed from LIST lines and from name lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/host/ftpsh_process.h"
#include "tests/host/listing_scenario.h"
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

class FtpshPathCommandsOnRealServer : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshPathCommandsOnRealServer, DetectsUnixAndChangesTheTree) {
    TVTEST_REQUIRE_SERVER(GetParam());
    tvtest::RealServer server(GetParam());
    namespace fs = std::filesystem;
    std::ofstream(server.LocalPath("/upload/victim.txt")) << "to be deleted\n";
    const std::string open = "open " + Address(server, server.Password()) + "; ";

    Outcome outcome = RunFtpsh(
        {"--batch", "-c",
         open + "system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; cd /upload; "
                "rename \"new dir\" renamed; rmdir renamed; rm victim.txt; pwd"});
    EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
    for (const std::string line :
         {"Remote system: UNIX\n", "Made the directory /upload/new dir.\n", "/upload/new dir\n",
          "Renamed new dir to renamed.\n", "Removed the directory renamed.\n",
          "Deleted victim.txt.\n", "/upload\n"}) {
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << " in\n" << outcome.out;
    }
    EXPECT_FALSE(fs::exists(server.LocalPath("/upload/renamed")));
    EXPECT_FALSE(fs::exists(server.LocalPath("/upload/victim.txt")));

    // A missing directory, one that is not empty and the read-only folder.
    for (const auto& [command, error] : std::vector<std::pair<std::string, std::string>>{
             {"cd /missing", "cd: error -13 (access denied)"},
             {"rmdir /dir", "rmdir: error -13 (access denied)"},
             {"mkdir /readonly/new", "mkdir: error -22 (invalid request)"},
             {"rm /readonly/locked.txt", "rm: error -13 (access denied)"}}) {
        Outcome refused = RunFtpsh({"--batch", "-c", open + command});
        EXPECT_EQ(refused.exitCode, 1) << Show(refused);
        EXPECT_NE(refused.err.find("ftpsh: " + error), std::string::npos) << Show(refused);
    }
    EXPECT_TRUE(fs::is_directory(server.LocalPath("/dir/sub")));
    EXPECT_TRUE(fs::exists(server.LocalPath("/readonly/locked.txt")));
}

std::string KindName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshPathCommandsOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         KindName);

class FtpshListingOnRealServer : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshListingOnRealServer, ListsTheSampleTreeFromLinesAndFromNameLists) {
    TVTEST_REQUIRE_SERVER(GetParam());
    tvtest::RealServer server(GetParam());
    for (bool parsed : {true, false}) {
        SCOPED_TRACE(parsed ? "LIST" : "NLST");
        Outcome outcome =
            RunFtpsh({"--batch", parsed ? "--parse-dirs" : "--no-parse-dirs", "-c",
                      "open " + Address(server, server.Password()) + ftpsh_test::kListingScenario});
        EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
        ftpsh_test::CheckListingScenario(outcome.out, server.Root(), parsed);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshListingOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         KindName);

}  // namespace
