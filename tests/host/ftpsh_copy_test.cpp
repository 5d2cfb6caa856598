// ftpsh's copies end to end: mget asking the file type once for all its files; on a
// terminal the progress line and Ctrl-C stopping a download; on the real servers binary
// files up and back unchanged (PORT, and passive listings), a UNIX text file down with CR LF
// and up again, append, put -n refusing.
#include <gtest/gtest.h>

#include <chrono>

#include <random>

#include "tests/host/ftpsh_process.h"
#include "tests/support/real_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_folder.h"

namespace {

using ftpsh_test::Describe;
using tvtest::ReadFile;
using tvtest::ScriptedServer;

// A UNIX server logged on as u, which connects back to each PORT before it answers 150.
ScriptedServer& Transfer(ScriptedServer& server, const std::string& command) {
    return server.ExpectLineStartingWith("PORT ").Reply("200 ok\r\n").Expect(command + "\r\n")
        .ConnectToPort().Reply("150 Opening\r\n");
}
void LogOn(ScriptedServer& server) {
    server.Reply("220 ready\r\n").Expect("USER u\r\n").Reply("230 Logged on\r\n");
    server.Expect("TYPE A\r\n").Reply("200 ok\r\n").Expect("STRU F\r\n").Reply("200 ok\r\n");
}
std::string Open(const ScriptedServer& server) {
    return "open ftp://u@127.0.0.1:" + std::to_string(server.Port());
}

TEST(FtpshCopies, MgetAsksTheFileTypeOnceForAllItsFiles) {
    ScriptedServer server;
    LogOn(server);
    const std::string line = "-rw-r--r--   1 u  g  4 Jan 12 12:34 ";
    Transfer(server, "LIST *.txt").DataSend(line + "one.txt\r\n" + line + "two.txt\r\n").DataClose();
    server.Reply("226 Done\r\n").Expect("TYPE I\r\n").Reply("200 ok\r\n");
    // Text without a line end: the question, whose answer holds for two.txt too.
    Transfer(server, "RETR one.txt").DataSend("word").DataClose().Reply("226 Done\r\n");
    Transfer(server, "RETR two.txt").DataSend("a\nb").DataClose().Reply("226 Done\r\n");
    server.Expect("QUIT\r\n").Reply("221 Bye\r\n").Start();
    tvtest::TempFolder folder;
    const auto outcome = ftpsh_test::RunFtpsh({"--batch", "--host-type", "UNIX", "-c",
        "answer FTP_FILETYPE_DLG 601 602; " + Open(server) + "; lcd " + folder.path() + "; mget *.txt"});
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
    EXPECT_EQ(ReadFile(folder / "one.txt") + ReadFile(folder / "two.txt"), "worda\r\nb");
}

// cat reads through the remote file handle, which never waits in the module: ftpsh bounds
// the silence itself by TimeoutSeconds, keeping what came before.
TEST(FtpshCopies, CatOfAStalledFileEndsAfterTheTimeOut) {
    ScriptedServer server;
    LogOn(server);
    server.Expect("TYPE I\r\n").Reply("200 ok\r\n");
    Transfer(server, "RETR slow.txt").DataSend("first bytes").Pause(4000);
    server.Start();
    ftpsh_test::TempFile ini("[FTP_Protocol]\nTimeoutSeconds=1\n");
    const auto started = std::chrono::steady_clock::now();
    const auto outcome = ftpsh_test::RunFtpsh(
        {"--batch", "--host-type", "UNIX", "-c", Open(server) + "; cat slow.txt"}, ini.SettingsEnvironment());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(outcome.exitCode, 1) << Describe(outcome);
    EXPECT_NE(outcome.out.find("first bytes"), std::string::npos) << Describe(outcome);
    EXPECT_NE(outcome.err.find("cat: error -60"), std::string::npos) << Describe(outcome);
}

TEST(FtpshCopies, OnATerminalProgressIsShownAndCtrlCStopsTheDownload) {
    ScriptedServer server;
    LogOn(server);
    // The listing tells the size; 20000 bytes come, then the server keeps the rest waiting.
    Transfer(server, "LIST big").DataSend("-rw-r--r--   1 u  g  40000 Jan 12 12:34 big\r\n").DataClose();
    server.Reply("226 Done\r\n").Expect("TYPE I\r\n").Reply("200 ok\r\n");
    Transfer(server, "RETR big").DataSend(std::string(20000, '\x01')).Pause(3000);
    server.Reply("426 Aborted\r\n").Expect("QUIT\r\n").Reply("221 Bye\r\n").Start();
    tvtest::TempFolder folder;
    ftpsh_test::TempFile settings;
    ftpsh_test::Terminal terminal({"--batch", "--host-type", "UNIX"}, settings.SettingsEnvironment());
    // Each line is typed at the prompt (the line editor drops what comes before it); the
    // Ctrl-C cancels the wait for the rest (or stops the copy at the host's turn), and
    // every byte that came is written.
    const std::pair<std::string, std::string> kSteps[] = {
        {"ftpsh> ", Open(server) + "\r"}, {"> ", "lcd " + folder.path() + "\r"}, {"> ", "get big\r"},
        {"big  18432 bytes  46%", "\x03"}, {"; 20000 bytes of big written", ""},
        {"> ", "quit\r"}};
    for (const auto& [shown, typed] : kSteps) {
        ASSERT_TRUE(terminal.WaitFor(shown, 5000)) << terminal.screen();
        terminal.Type(typed);
    }
    EXPECT_EQ(terminal.Finish(5000), 0);
    EXPECT_EQ(server.Finish(), "");
    EXPECT_EQ(ReadFile(folder / "big"), std::string(20000, '\x01'));
}

class FtpshCopiesOnRealServer : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshCopiesOnRealServer, FilesGoUpAndComeBackAsTheirTypeWants) {
    TVTEST_REQUIRE_SERVER(GetParam());
    const tvtest::RealServer server(GetParam());
    const std::string kind = GetParam(), open = "open ftp://" + server.User() + ":" + server.Password() + "@" +
                                                  server.Host() + ":" + std::to_string(server.Port());
    auto run = [&](const std::string& commands, const std::string& settings = "") {
        ftpsh_test::TempFile ini(settings);
        return ftpsh_test::RunFtpsh({"--batch", "-c", open + "; " + commands}, ini.SettingsEnvironment(), 120000);
    };
    // Binary files (a NUL first: no question) up and back, by PORT; then with passive listings.
    tvtest::TempFolder up, down;
    std::mt19937 random(7);
    std::vector<std::string> names;
    for (size_t size : {0, 1, 2047, 2048, 2049, 5000, 3 << 20}) {
        std::string bytes(size, '\0');
        for (size_t i = 1; i < size; ++i) bytes[i] = static_cast<char>(random());
        names.push_back("f" + std::to_string(size) + ".bin");
        tvtest::WriteFile(up / names.back(), bytes);
    }
    for (const char* settings : {"", "[FTP_Protocol]\nSupportPasv=1\n"}) {
        const auto outcome = run("cd upload; lcd " + up.path() + "; mput *.bin; lcd " + down.path() + "; mget *.bin", settings);
        ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
        for (const std::string& name : names) {
            EXPECT_TRUE(ReadFile(server.LocalPath("/upload/" + name)) == ReadFile(up / name)) << name;
            EXPECT_TRUE(ReadFile(down / name) == ReadFile(up / name)) << name;
        }
    }
    // Text: CR LF here, the server's own line ends there (vsftpd, as the launcher sets it up,
    // stores ASCII uploads unchanged; proftpd refuses appends).
    const std::string lf = ReadFile(server.LocalPath("/lf.txt"));
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string stored = kind == "vsftpd" ? crlf : lf;
    auto outcome = run("lcd " + down.path() + "; get lf.txt; put lf.txt upload/lf.txt; append lf.txt upload/lf.txt");
    EXPECT_EQ(ReadFile(down / "lf.txt"), crlf);
    EXPECT_EQ(outcome.err, kind == "proftpd" ? "ftpsh: append: error -161 (store refused)\n" : "") << Describe(outcome);
    EXPECT_EQ(ReadFile(server.LocalPath("/upload/lf.txt")), kind == "proftpd" ? stored : stored + stored);
    outcome = run("lcd " + down.path() + "; put -n lf.txt upload/lf.txt");
    EXPECT_EQ(outcome.err, "ftpsh: put: error -17 (remote file exists)\n") << Describe(outcome);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshCopiesOnRealServer,
                         ::testing::Values("vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"),
                         [](const auto& info) { std::string name = info.param; std::erase(name, '-'); return name; });

}  // namespace
