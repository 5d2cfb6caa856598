// ftpsh.exe of a Windows build (x86_64 under wine64, i686 under 32-bit Wine) on a virtual
// X display: the real TARVOFTP.DLL, QUENTL32.DLL and BKCS32.DLL beside it, real Winsock to
// a loopback server, a password prompt and the file type question as real Windows dialogs,
// found and answered by ftpsh's Windows side, and the remote system, path commands,
// listings and copies as on Linux. Runs when TVFTP_WINE_FTPSH names the program (the
// native test run sets it, once for each build).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

#include "tests/host/ftpsh_process.h"

namespace {

using ftpsh_test::Describe;
using ftpsh_test::Outcome;
using ftpsh_test::RunFtpshUnderWine;
using tvtest::ReadFile;

// A Linux path as the Windows program sees it: on Wine's drive Z:, with forward slashes,
// which Windows takes as well and ftpsh's script words keep as they are.
std::string OnDriveZ(const std::string& path) { return "Z:" + path; }

// The dialog was on the screen: its picture is a bitmap file with something drawn in it.
void ExpectPicture(const std::string& path) {
    const std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 54u) << "no picture " << path;
    EXPECT_EQ(bytes.substr(0, 2), "BM") << path;
    const std::string pixels = bytes.substr(54);
    EXPECT_NE(pixels.find_first_not_of(pixels[0]), std::string::npos) << "a blank picture " << path;
}

class FtpshUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (auto skipped = ftpsh_test::WineSkipReason()) GTEST_SKIP() << *skipped;
        TVTEST_REQUIRE_SERVER("pyftpdlib");
        server_.emplace("pyftpdlib");
    }
    std::string Open(bool withPassword) const {
        return "open " + ftpsh_test::ServerUrl(*server_, withPassword);
    }

    std::optional<tvtest::RealServer> server_;
};

TEST_F(FtpshUnderWine, LogonThroughARealPasswordDialogThenPathCommands) {
    std::ofstream(server_->LocalPath("/upload/victim.txt")) << "to be deleted\n";
    // Pictures of the dialogs go to a folder of the test, named the way Wine maps it.
    ftpsh_test::TempFile folder;
    std::string windowsPictures = OnDriveZ(folder.folder());
    for (char& c : windowsPictures) c = c == '/' ? '\\' : c;

    // No password in the address: the server refuses the empty one and the module asks.
    // The last command fails, which ends the script with its error.
    Outcome outcome = RunFtpshUnderWine(
        {"--screenshots", windowsPictures, "-c",
         "answer USER_PASSWORD 500=" + server_->Password() + " OK; " + Open(false) +
             "; quote SYST; system; mkdir \"/upload/new dir\"; cd \"/upload/new dir\"; pwd; "
             "cd /upload; rename \"new dir\" renamed; rmdir renamed; rm victim.txt; rmdir /dir"});

    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    ftpsh_test::ExpectContains(
        outcome.out, {"[dialog USER_PASSWORD \"Password Required\" answered from the script]",
                      "(remote system UNIX).", "Remote system: UNIX", "Made the directory /upload/new dir.",
                      "/upload/new dir", "Renamed new dir to renamed.", "Removed the directory renamed.",
                      "Deleted victim.txt."});
    EXPECT_EQ(ftpsh_test::ProtocolLines(outcome.out),
              (std::vector<std::string>{"--> SYST", "<-- 215 UNIX Type: L8"}));
    EXPECT_NE(outcome.err.find("ftpsh: rmdir: error -13 (access denied)"), std::string::npos)
        << Describe(outcome);
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/renamed")));
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/victim.txt")));
    ExpectPicture(folder.folder() + "/01-USER_PASSWORD.bmp");
}

// Binary bytes go up and come back unchanged; UNIX text comes down with CR LF and goes up
// again as LF (pyftpdlib stores ASCII uploads with its own line ends); a line without its
// end brings up the file type question on the screen. Binary, with the choice kept for the
// remaining files of that mget, sends the UNIX text after it down unchanged.
TEST_F(FtpshUnderWine, CopiesBinaryAndTextAndAsksTheFileTypeOnTheScreen) {
    tvtest::TempFolder up, down, typed;
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i);
    const std::string unix = "one\ntwo\n\nfour\n", line = "a single line without its end";
    tvtest::WriteFile(up / "all.bin", binary);
    tvtest::WriteFile(up / "unix.txt", unix);
    tvtest::WriteFile(up / "line.txt", line);

    Outcome outcome = RunFtpshUnderWine(
        {"--screenshots", OnDriveZ(typed.path()), "-c",
         Open(true) + "; cd /upload; lcd " + OnDriveZ(up.path()) +
             "; put all.bin; put unix.txt; put line.txt; lcd " + OnDriveZ(down.path()) +
             "; get all.bin; get unix.txt; put unix.txt back.txt; lcd " + OnDriveZ(typed.path()) +
             "; answer FTP_FILETYPE_DLG Binary 601 Transfer; mget *.txt"});

    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    EXPECT_NE(outcome.out.find("[dialog FTP_FILETYPE_DLG \"Unable to Determine File Type\" "
                               "answered from the script]"),
              std::string::npos)
        << Describe(outcome);
    EXPECT_TRUE(ReadFile(server_->LocalPath("/upload/all.bin")) == binary);
    EXPECT_TRUE(ReadFile(down / "all.bin") == binary);
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/unix.txt")), unix);
    EXPECT_EQ(ReadFile(down / "unix.txt"), "one\r\ntwo\r\n\r\nfour\r\n");
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/back.txt")), unix);
    EXPECT_EQ(ReadFile(server_->LocalPath("/upload/line.txt")), line);
    // mget fetches back.txt, line.txt, unix.txt: the question comes at line.txt.
    EXPECT_EQ(ReadFile(typed / "back.txt"), "one\r\ntwo\r\n\r\nfour\r\n");
    EXPECT_EQ(ReadFile(typed / "line.txt"), line);
    EXPECT_EQ(ReadFile(typed / "unix.txt"), unix);
    ExpectPicture(typed / "01-FTP_FILETYPE_DLG.bmp");
}

// With the server's code set chosen, a UTF-8 server's non-ASCII name lists, downloads and
// deletes by that name, which a Windows program writes in the ANSI code page.
TEST_F(FtpshUnderWine, NonAsciiNamesListDownloadAndDeleteAsThemselves) {
    const std::string name = ftpsh_test::kNonAsciiName;
    const std::string ansi = "gr\xFC\xDF" "e-\x80.txt";
    tvtest::WriteFile(server_->LocalPath("/upload/" + name), "x\n");
    tvtest::TempFolder down;
    Outcome outcome = RunFtpshUnderWine({"--charset", "utf-8", "-c", Open(true) + "; cd /upload; ls; lcd " +
                                         OnDriveZ(down.path()) + "; get " + name + "; rm " + name});
    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    ftpsh_test::ExpectContains(outcome.out, {"\n" + ansi, "Fetched " + ansi, "Deleted " + ansi + "."});
    EXPECT_TRUE(std::filesystem::exists(down / name));
    EXPECT_FALSE(std::filesystem::exists(server_->LocalPath("/upload/" + name)));
}

// Real options and status dialogs hold the same controls, texts and states as on Linux.
TEST_F(FtpshUnderWine, OptionsAndStatusDialogsAreTheSameAsOnLinux) {
    const std::vector<std::string> arguments = {
        "--batch", "-c", Open(true) + "; answer FTP_OPTIONS_DLG ? 407=off 401=on 404=on ? "
        "Cancel; options; type binary; status; stru record"};
    const Outcome windows = RunFtpshUnderWine(arguments), linux = ftpsh_test::RunFtpsh(arguments);
    EXPECT_EQ(linux.exitCode, 1) << Describe(linux);  // the server refused STRU R
    EXPECT_EQ(windows.exitCode, linux.exitCode) << Describe(windows);
    EXPECT_EQ(std::regex_replace(windows.out, std::regex("\r"), ""), linux.out);
}

TEST_F(FtpshUnderWine, ListsTheSampleTreeFromLinesAndFromNameLists) {
    ftpsh_test::CheckListingScenario([](const auto& arguments) { return RunFtpshUnderWine(arguments); },
                                     Open(true), server_->Root());
}

// A server whose listening queue takes the connection and that never greets: the open
// fails once the time-out of the settings has passed, instead of hanging.
TEST_F(FtpshUnderWine, ASilentServerTimesOut) {
    ftpsh_test::Listener silent;
    ftpsh_test::TempFile settings("[FTP_Protocol]\nTimeoutSeconds=2\n");
    Outcome outcome = RunFtpshUnderWine({"--batch", "-c", "open " + silent.Address()},
                                        {{"TARVO_ORR_INI", OnDriveZ(settings.path())}});
    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    EXPECT_NE(outcome.err.find("open: error -60"), std::string::npos) << Describe(outcome);
}

}  // namespace
