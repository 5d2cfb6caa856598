// ftpsh.exe of the x86_64 Windows build under Wine on a virtual X display: the real
// TARVOFTP.DLL, QUENTL32.DLL and BKCS32.DLL beside it, real Winsock to a loopback server,
// and a password prompt that is a real Windows dialog, found and answered by ftpsh's
// Windows side. Runs when TVFTP_WINE_FTPSH names the program (the native test run sets it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/host/ftpsh_process.h"
#include "tests/support/real_server.h"

namespace {

using ftpsh_test::Outcome;
using ftpsh_test::ProtocolLines;

constexpr int kWineLimitMs = 170000;

std::string Show(const Outcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + (outcome.timedOut ? " (timed out)" : "") +
           "\n--- out:\n" + outcome.out + "--- err:\n" + outcome.err;
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
    ftpsh_test::Process wine("/usr/bin/xvfb-run",
                             {"-a", "-s", "-screen 0 1024x768x24", FTPSH_WINE_RUNNER, program,
                              "--screenshots", windowsPictures, "-c", commands},
                             {{"TVFTP_WINE_TIMEOUT", "150"}});
    Outcome outcome = wine.Finish(kWineLimitMs);

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

}  // namespace
