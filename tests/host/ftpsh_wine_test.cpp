// ftpsh.exe of the x86_64 Windows build under Wine on a virtual X display: the real
// TARVOFTP.DLL, QUENTL32.DLL and BKCS32.DLL beside it, real Winsock to a loopback server,
// a password prompt that is a real Windows dialog, found and answered by ftpsh's Windows
// side, and the remote system, path commands and listings as on Linux. Runs when
// TVFTP_WINE_FTPSH names the program (the native test run sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/host/ftpsh_process.h"
#include "tests/host/listing_scenario.h"
#include "tests/support/real_server.h"

namespace {

using ftpsh_test::Outcome;
using ftpsh_test::ProtocolLines;

constexpr int kWineLimitMs = 170000;

std::string Show(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + (outcome.timedOut ? " (timed out)" : "") +
           "\n--- out:\n" + outcome.out + "--- err:\n" + outcome.err;
}

// ftpsh.exe run to its end under Wine with these arguments after the program.
Outcome RunUnderWine(const char* program, const std::vector<std::string>& arguments) {
    std::vector<std::string> command = {"-a", "-s", "-screen 0 1024x768x24", FTPSH_WINE_RUNNER,
                                        program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ftpsh_test::Process wine("/usr/bin/xvfb-run", command, {{"TVFTP_WINE_TIMEOUT", "150"}});
    return wine.Finish(kWineLimitMs);
}

TEST(FtpshUnderWine, LogonThroughARealPasswordDialog) {
    const char* program = std::getenv("TVFTP_WINE_FTPSH");
    if (program == nullptr || program[0] == '\0') GTEST_SKIP() << "TVFTP_WINE_FTPSH is not set";
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    tvtest::RealServer server("pyftpdlib");

    // Pictures of the dialogs go to a folder of the test, named the way Wine maps it.
    ftpsh_test::TempFile folder;
    const std::string pictures = folder.folder();
    std::string windowsPictures = "Z:" + pictures;
    for (char& c : windowsPictures) c = c == '/' ? '\\' : c;

    // No password in the address: the server refuses the empty one and the module asks.
    const std::string commands = "answer USER_PASSWORD 500=" + server.Password() +
                                 " OK; open ftp://" + server.User() + "@" + server.Host() + ":" +
                                 std::to_string(server.Port()) + "; quote SYST; close";
    Outcome outcome = RunUnderWine(program, {"--screenshots", windowsPictures, "-c", commands});

    EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
    EXPECT_NE(outcome.out.find("[dialog USER_PASSWORD \"Password Required\" answered from the "
                               "script]"),
              std::string::npos)
        << Show(outcome);
    EXPECT_NE(outcome.out.find("Connected to " + server.Host()), std::string::npos);
    EXPECT_EQ(ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    // The dialog was on the screen: its picture is a bitmap file.
    std::ifstream picture(pictures + "/01-USER_PASSWORD.bmp", std::ios::binary);
    char magic[2] = {};
    picture.read(magic, 2);
    EXPECT_TRUE(picture && magic[0] == 'B' && magic[1] == 'M') << "no picture of the dialog";
}

TEST(FtpshUnderWine, DetectedSystemAndPathCommands) {
    const char* program = std::getenv("TVFTP_WINE_FTPSH");
    if (program == nullptr || program[0] == '\0') GTEST_SKIP() << "TVFTP_WINE_FTPSH is not set";
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    tvtest::RealServer server("pyftpdlib");
    std::ofstream(server.LocalPath("/upload/victim.txt")) << "to be deleted\n";

    // The last command fails, which ends the script with its error.
    const std::string commands =
        "open ftp://" + server.User() + ":" + server.Password() + "@" + server.Host() + ":" +
        std::to_string(server.Port()) +
        "; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; cd /upload; "
        "rename \"new dir\" renamed; rmdir renamed; rm victim.txt; rmdir /dir";
    Outcome outcome = RunUnderWine(program, {"-c", commands});

    EXPECT_EQ(outcome.exitCode, 1) << Show(outcome);
    for (const std::string line :
         {"(remote system UNIX).", "Remote system: UNIX", "Made the directory /upload/new dir.",
          "/upload/new dir", "Renamed new dir to renamed.", "Removed the directory renamed.",
          "Deleted victim.txt."}) {
        EXPECT_NE(outcome.out.find(line), std::string::npos) << line << "\n" << Show(outcome);
    }
    EXPECT_NE(outcome.err.find("ftpsh: rmdir: error -13 (access denied)"), std::string::npos)
        << Show(outcome);
    EXPECT_FALSE(std::filesystem::exists(server.LocalPath("/upload/renamed")));
    EXPECT_FALSE(std::filesystem::exists(server.LocalPath("/upload/victim.txt")));
}

TEST(FtpshUnderWine, ListsTheSampleTreeFromLinesAndFromNameLists) {
    const char* program = std::getenv("TVFTP_WINE_FTPSH");
    if (program == nullptr || program[0] == '\0') GTEST_SKIP() << "TVFTP_WINE_FTPSH is not set";
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    tvtest::RealServer server("pyftpdlib");
    const std::string open = "open ftp://" + server.User() + ":" + server.Password() + "@" +
                             server.Host() + ":" + std::to_string(server.Port());
    for (bool parsed : {true, false}) {
        SCOPED_TRACE(parsed ? "LIST" : "NLST");
        Outcome outcome =
            RunUnderWine(program, {"--batch", parsed ? "--parse-dirs" : "--no-parse-dirs", "-c",
                                   open + ftpsh_test::kListingScenario});
        EXPECT_EQ(outcome.exitCode, 0) << Show(outcome);
        ftpsh_test::CheckListingScenario(outcome.out, server.Root(), parsed);
    }
}

}  // namespace
