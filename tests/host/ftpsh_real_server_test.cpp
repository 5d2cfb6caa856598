// ftpsh end to end against real FTP servers on loopback: the logon, a typed command and
// the close as a user of the reference host would run them; the remote system the module
// detects, the commands on remote paths, and the listing commands on the sample tree,
// parsed from LIST lines and from name lists. (The servers' refusals and the errors they
// give are the module's own tests' concern; how ftpsh reports one is shown elsewhere.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "tests/host/ftpsh_process.h"

namespace {

using ftpsh_test::Describe;
using ftpsh_test::Outcome;
using ftpsh_test::RunFtpsh;

class FtpshOnRealServer : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        TVTEST_REQUIRE_SERVER(GetParam());
        server_.emplace(GetParam());
    }
    std::string Open() const { return "open " + ftpsh_test::ServerUrl(*server_); }
    std::optional<tvtest::RealServer> server_;
};

TEST_P(FtpshOnRealServer, OpensDetectsUnixChangesTheTreeAndCloses) {
    namespace fs = std::filesystem;
    std::ofstream(server_->LocalPath("/upload/victim.txt")) << "to be deleted\n";
    Outcome outcome = RunFtpsh(
        {"--batch", "-c",
         Open() + "; quote SYST; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; "
                  "cd /upload; rename \"new dir\" renamed; rmdir renamed; rm victim.txt; pwd; "
                  "close"});
    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    EXPECT_EQ(ftpsh_test::ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    for (const std::string& line : std::vector<std::string>{
             "Connected to " + server_->Host() + " port " + std::to_string(server_->Port()) +
                 " as " + server_->User() + " (remote system UNIX).\n",
             "Remote system: UNIX\n", "Made the directory /upload/new dir.\n",
             "/upload/new dir\n", "Renamed new dir to renamed.\n",
             "Removed the directory renamed.\n", "Deleted victim.txt.\n", "/upload\n",
             "Closed the connection to " + server_->Host() + ".\n"}) {
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << " in\n" << outcome.out;
    }
    EXPECT_FALSE(fs::exists(server_->LocalPath("/upload/renamed")));
    EXPECT_FALSE(fs::exists(server_->LocalPath("/upload/victim.txt")));
}

TEST_P(FtpshOnRealServer, ListsTheSampleTreeFromLinesAndFromNameLists) {
    for (bool parsed : {true, false}) {
        SCOPED_TRACE(parsed ? "LIST" : "NLST");
        Outcome outcome = RunFtpsh({"--batch", parsed ? "--parse-dirs" : "--no-parse-dirs", "-c",
                                    Open() + ftpsh_test::kListingScenario});
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        ftpsh_test::CheckListingScenario(outcome.out, server_->Root());
    }
}

// Options set in ftpsh steer the next copies and listing; status shows the greeting by line.
TEST_P(FtpshOnRealServer, OptionsSteerTheNextCopyAndListingAndStatusShowsTheGreeting) {
    ftpsh_test::TempFile settings;
    const std::string get = "; get lf.txt " + settings.folder() + "/lf.txt";
    Outcome outcome = RunFtpsh({"--batch", "--show-protocol", "-c", "passive on; " + Open() +
                                "; status; type ascii" + get + "; ls dir; type binary" + get},
                               settings.SettingsEnvironment());
    ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
    std::string sent;
    for (const std::string& line : ftpsh_test::ProtocolLines(outcome.out))
        if (line.starts_with("--> ")) sent += line.substr(4) + "|";
    EXPECT_TRUE(std::regex_search(sent, std::regex(R"(PWD\|TYPE A\|STRU F\|(PORT [0-9,]+\|)?RETR lf\.txt\|PASV\|LIST dir\|.*TYPE I\|STRU F\|(PORT [0-9,]+\|)?RETR lf\.txt\|)"))) << sent;
    std::smatch status;
    ASSERT_TRUE(std::regex_search(outcome.out, status, std::regex("Host Operating System: UNIX\nCurrent Path: /\n.*\nServer Logon Message:\n((  220-.*\n)*)  220 .*\n"))) << outcome.out;
    EXPECT_EQ(status[1].length() > 0, std::string(GetParam()) == "pure-ftpd") << status[0];
}

// A UTF-8 server's non-ASCII name lists, downloads and deletes as itself, whether the
// server's code set is chosen on the command line, in the settings file, or not at all (the
// bytes then pass unconverted).
TEST_P(FtpshOnRealServer, NonAsciiNamesListDownloadAndDeleteAsThemselves) {
    namespace fs = std::filesystem;
    const std::string name = ftpsh_test::kNonAsciiName;
    for (const char* choice : {"--charset", "ServerCodeSet", "none"}) {
        SCOPED_TRACE(choice);
        ftpsh_test::TempFile settings(choice == std::string("ServerCodeSet")
                                          ? "[FTP_Protocol]\nServerCodeSet=UTF-8\n" : "");
        std::ofstream(server_->LocalPath("/upload/" + name)) << "Gr\xC3\xBC\xC3\x9F" "e\n";
        std::vector<std::string> arguments{"--batch", "-c",
            Open() + "; cd /upload; ls; get \"" + name + "\" " + settings.folder() + "/" + name +
            "; rm " + name + "; close"};
        if (choice == std::string("--charset")) arguments.insert(arguments.begin(), {"--charset", "utf-8"});
        Outcome outcome = RunFtpsh(arguments, settings.SettingsEnvironment());
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        for (const std::string& line : {"\n" + name + "\n", "Fetched " + name + " to ",
                                        "Deleted " + name + ".\n"})
            EXPECT_NE(outcome.out.find(line), std::string::npos) << line << " in\n" << outcome.out;
        EXPECT_EQ(tvtest::ReadFile(settings.folder() + "/" + name), "Gr\xC3\xBC\xC3\x9F" "e\n");
        EXPECT_FALSE(fs::exists(server_->LocalPath("/upload/" + name)));
    }
}

// At the terminal Tab completes a command name, and a remote name of the last listing as
// the user's characters spell it.
TEST_P(FtpshOnRealServer, TabCompletesCommandsAndListedNames) {
    const std::string name = ftpsh_test::kNonAsciiName;
    std::ofstream(server_->LocalPath("/upload/" + name)) << "x\n";
    ftpsh_test::TempFile settings;
    ftpsh_test::Terminal terminal({"--batch", "--charset", "utf-8"}, settings.SettingsEnvironment());
    const std::pair<std::string, std::string> kSteps[] = {
        {"ftpsh> ", Open() + "\r"}, {"> ", "cd /upload\r"}, {"> ", "lp\t\r"},
        {"Local directory: ", ""}, {"> ", "ls\r"}, {"> ", "rm gr\t\r"},
        {"Deleted " + name + ".", "quit\r"}};
    for (const auto& [shown, typed] : kSteps) {
        ASSERT_TRUE(terminal.WaitFor(shown, 5000)) << terminal.screen();
        terminal.Type(typed);
    }
    EXPECT_EQ(terminal.Finish(5000), 0);
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/" + name)));
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         ftpsh_test::KindName);

}  // namespace
