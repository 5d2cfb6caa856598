// ftpsh's copies end to end: mget asking the file type once for all its files; on a
// terminal the progress line and Ctrl-C stopping a download; on the real servers binary
// files up and back unchanged (PORT, and passive listings), a UNIX text file down with CR LF
// and up again, append, put -n refusing.
//
// And the copy between two real servers of one kind that take data connections of other
// addresses: with passive mode the servers exchange the data directly, without it ftpsh
// relays it. Binary files arrive unchanged either way, UNIX text relayed goes as text and
// arrives as the destination stores text, and after each copy the destination's listing
// shows the new file. Under Wine, ftpsh.exe copies both ways as well.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "tests/host/ftpsh_process.h"
#include "tests/support/scripted_server.h"

namespace {

using ftpsh_test::Describe;
using ftpsh_test::ServerUrl;
using tvtest::ReadFile;
using tvtest::RealServer;
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

constexpr const char* kPassive = "[FTP_Protocol]\nSupportPasv=1\n";

// Files f<size>.bin in `folder` of seeded random bytes after a NUL (binary without a
// question); their names.
std::vector<std::string> WriteBinaryFiles(const std::string& folder,
                                          std::initializer_list<size_t> sizes, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> names;
    for (size_t size : sizes) {
        std::string bytes(size, '\0');
        for (size_t i = 1; i < size; ++i) bytes[i] = static_cast<char>(random());
        names.push_back("f" + std::to_string(size) + ".bin");
        tvtest::WriteFile(folder + "/" + names.back(), bytes);
    }
    return names;
}

std::string WithCrLf(const std::string& text) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
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
    const RealServer server(GetParam());
    const std::string kind = GetParam(), open = "open " + ServerUrl(server);
    auto run = [&](const std::string& commands, const std::string& settings = "") {
        ftpsh_test::TempFile ini(settings);
        return ftpsh_test::RunFtpsh({"--batch", "-c", open + "; " + commands}, ini.SettingsEnvironment(), 120000);
    };
    // Binary files (a NUL first: no question) up and back, by PORT; then with passive listings.
    tvtest::TempFolder up, down;
    const std::vector<std::string> names =
        WriteBinaryFiles(up.path(), {0, 1, 2047, 2048, 2049, 5000, 3 << 20}, 7);
    for (const char* settings : {"", kPassive}) {
        const auto outcome = run("cd upload; lcd " + up.path() + "; mput *.bin; lcd " + down.path() + "; mget *.bin", settings);
        ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
        for (const std::string& name : names) {
            EXPECT_TRUE(ReadFile(server.LocalPath("/upload/" + name)) == ReadFile(up / name)) << name;
            EXPECT_TRUE(ReadFile(down / name) == ReadFile(up / name)) << name;
        }
    }
    // Text: CR LF here, the server's own line ends there (vsftpd, as the launcher sets it up,
    // stores ASCII uploads unchanged; proftpd refuses appends).
    const std::string lf = ReadFile(server.LocalPath("/lf.txt")), crlf = WithCrLf(lf);
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
                         ftpsh_test::KindName);

// Two instances of a kind, a and b, each with half of the kind's passive ports.
struct ServerPair {
    explicit ServerPair(const std::string& kind) : from(kind, Options(kind, 0)), to(kind, Options(kind, 50)) {}
    static std::vector<std::string> Options(const std::string& kind, int offset) {
        const int first = (kind == "vsftpd" ? 40000 : 40300) + offset;
        return {"--foreign-data", "--pasv", std::to_string(first) + "-" + std::to_string(first + 49)};
    }
    std::string OpenBoth() const {
        return "open -n a " + ServerUrl(from) + "; open -n b " + ServerUrl(to) + "; ";
    }
    RealServer from, to;
};

class FtpshCopiesBetweenRealServers : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshCopiesBetweenRealServers, FilesArriveUnchangedDirectlyAndRelayed) {
    TVTEST_REQUIRE_SERVER(GetParam());
    const std::string kind = GetParam();
    const ServerPair servers(kind);
    std::vector<std::string> names =
        WriteBinaryFiles(servers.from.LocalPath("/upload"), {0, 2048, 2049, 3 << 20}, 11);
    names.push_back("lf.txt");
    const std::string lf = ReadFile(servers.from.LocalPath("/lf.txt")), crlf = WithCrLf(lf);
    tvtest::WriteFile(servers.from.LocalPath("/upload/lf.txt"), lf);

    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct" : "relayed");
        const std::string prefix = direct ? "d-" : "r-";
        // The copies start on a, then use b: the source side named and not.
        std::string commands = servers.OpenBoth() + "use a";
        for (const std::string& name : names) {
            commands += "; copy /upload/" + name + " b:/upload/" + prefix + name + "; use b; ls /upload/" +
                        prefix + name + "; use a";
        }
        commands += "; cd upload; connections; close a; connections";
        ftpsh_test::TempFile ini(direct ? kPassive : "");
        const auto outcome = ftpsh_test::RunFtpsh({"--batch", "-c", commands}, ini.SettingsEnvironment(), 120000);
        ASSERT_EQ(outcome.exitCode, 0) << Describe(outcome);
        // Closing the current connection makes the one opened last of the others current.
        const std::string b = "b  " + servers.to.User() + "@" + servers.to.Host() + ":" + std::to_string(servers.to.Port());
        EXPECT_NE(outcome.out.find("  " + b + "  UNIX  /\nClosed the connection to 127.0.0.1.\nUsing b (127.0.0.1).\n* " + b),
                  std::string::npos) << outcome.out;
        const std::string how = direct ? "(the servers exchanged the data directly)" : "(relayed through ftpsh";
        for (const std::string& name : names) {
            const std::string copied = "Copied a:/upload/" + name + " to b:/upload/" + prefix + name + " " + how;
            EXPECT_NE(outcome.out.find(copied + (direct ? ".\n" : "")), std::string::npos) << copied << "\n" << outcome.out;
            EXPECT_NE(outcome.out.find(prefix + name + "\n"), std::string::npos) << name << " not listed";
            const std::string arrived = ReadFile(servers.to.LocalPath("/upload/" + prefix + name));
            // Relayed text goes in ASCII type; vsftpd, as the launcher sets it up, stores it
            // as it comes, pyftpdlib with its own line ends.
            const bool text = name == "lf.txt" && !direct && kind == "vsftpd";
            EXPECT_TRUE(arrived == (text ? crlf : ReadFile(servers.from.LocalPath("/upload/" + name)))) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FtpshCopiesBetweenRealServers, ::testing::Values("vsftpd", "pyftpdlib"));

// ftpsh.exe of the Windows build under Wine (TVFTP_WINE_FTPSH), over real Winsock.
TEST(FtpshUnderWineCopies, CopiesBetweenTwoServersDirectlyAndRelayed) {
    if (auto skipped = ftpsh_test::WineSkipReason()) GTEST_SKIP() << *skipped;
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    const ServerPair servers("pyftpdlib");
    for (const bool direct : {true, false}) {
        ftpsh_test::TempFile ini(direct ? kPassive : "");
        const std::string name = direct ? "direct.bin" : "relayed.bin";
        const auto outcome = ftpsh_test::RunFtpshUnderWine(
            {"--batch", "-c", servers.OpenBoth() + "copy a:/large.bin b:/upload/" + name},
            {{"TARVO_ORR_INI", "Z:" + ini.path()}});
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        EXPECT_NE(outcome.out.find(direct ? "exchanged the data directly" : "relayed through ftpsh"), std::string::npos)
            << Describe(outcome);
        EXPECT_TRUE(ReadFile(servers.to.LocalPath("/upload/" + name)) == ReadFile(servers.from.LocalPath("/large.bin")));
    }
}

}  // namespace
