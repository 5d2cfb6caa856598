// ftpsh.exe of the x86_64 Windows build under Wine on a virtual X display: the real
// TARVOFTP.DLL, QUENTL32.DLL and BKCS32.DLL beside it, real Winsock to a loopback server,
// a password prompt that is a real Windows dialog, found and answered by ftpsh's Windows
// side, and the remote system, path commands and listings as on Linux. Runs when
// TVFTP_WINE_FTPSH names the program (the native test run sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/host/ftpsh_process.h"
#include "tests/host/listing_scenario.h"
#include "tests/support/real_server.h"

namespace {

using ftpsh_test::Describe;
using ftpsh_test::Outcome;

class FtpshUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = std::getenv("TVFTP_WINE_FTPSH");
        if (program_ == nullptr || program_[0] == '\0')
            GTEST_SKIP() << "TVFTP_WINE_FTPSH is not set";
        TVTEST_REQUIRE_SERVER("pyftpdlib");
        server_.emplace("pyftpdlib");
    }
    // "open" of the server as its user, with the password or without one.
    std::string Open(bool withPassword) const {
        return "open ftp://" + server_->User() + (withPassword ? ":" + server_->Password() : "") +
               "@" + server_->Host() + ":" + std::to_string(server_->Port());
    }
    // ftpsh.exe run to its end under Wine with these arguments after the program.
    Outcome Run(const std::vector<std::string>& arguments) const {
        std::vector<std::string> command = {"-a", "-s", "-screen 0 1024x768x24",
                                            FTPSH_WINE_RUNNER, program_};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ftpsh_test::Process wine("/usr/bin/xvfb-run", command, {{"TVFTP_WINE_TIMEOUT", "150"}});
        return wine.Finish(170000);
    }

    const char* program_ = nullptr;
    std::optional<tvtest::RealServer> server_;
};

TEST_F(FtpshUnderWine, LogonThroughARealPasswordDialogThenPathCommands) {
    std::ofstream(server_->LocalPath("/upload/victim.txt")) << "to be deleted\n";
    // Pictures of the dialogs go to a folder of the test, named the way Wine maps it.
    ftpsh_test::TempFile folder;
    std::string windowsPictures = "Z:" + folder.folder();
    for (char& c : windowsPictures) c = c == '/' ? '\\' : c;

    // No password in the address: the server refuses the empty one and the module asks.
    // The last command fails, which ends the script with its error.
    Outcome outcome =
        Run({"--screenshots", windowsPictures, "-c",
             "answer USER_PASSWORD 500=" + server_->Password() + " OK; " + Open(false) +
                 "; quote SYST; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; "
                 "cd /upload; rename \"new dir\" renamed; rmdir renamed; rm victim.txt; rmdir /dir"});

    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    for (const std::string line :
         {"[dialog USER_PASSWORD \"Password Required\" answered from the script]",
          "(remote system UNIX).", "Remote system: UNIX", "Made the directory /upload/new dir.",
          "/upload/new dir", "Renamed new dir to renamed.", "Removed the directory renamed.",
          "Deleted victim.txt."}) {
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << "\n" << Describe(outcome);
    }
    EXPECT_EQ(ftpsh_test::ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    EXPECT_NE(outcome.err.find("ftpsh: rmdir: error -13 (access denied)"), std::string::npos)
        << Describe(outcome);
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/renamed")));
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/victim.txt")));
    // The dialog was on the screen: its picture is a bitmap file.
    std::ifstream picture(folder.folder() + "/01-USER_PASSWORD.bmp", std::ios::binary);
    char magic[2] = {};
    picture.read(magic, 2);
    EXPECT_TRUE(picture && magic[0] == 'B' && magic[1] == 'M') << "no picture of the dialog";
}

TEST_F(FtpshUnderWine, ListsTheSampleTreeFromLinesAndFromNameLists) {
    for (bool parsed : {true, false}) {
        SCOPED_TRACE(parsed ? "LIST" : "NLST");
        Outcome outcome = Run({"--batch", parsed ? "--parse-dirs" : "--no-parse-dirs", "-c",
                               Open(true) + ftpsh_test::kListingScenario});
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        ftpsh_test::CheckListingScenario(outcome.out, server_->Root(), parsed);
    }
}

}  // namespace
