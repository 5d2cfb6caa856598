// ftpsh's copy between two real servers of one kind that take data connections of other
// addresses: with passive mode the servers exchange the data directly, without it ftpsh
// relays it. Binary files arrive unchanged either way, UNIX text relayed goes as text and
// arrives as the destination stores text, and after each copy the destination's listing
// shows the new file. Under Wine, ftpsh.exe copies both ways as well.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "tests/host/ftpsh_process.h"
#include "tests/support/real_server.h"
#include "tests/support/temp_folder.h"

namespace {

using ftpsh_test::Describe;
using tvtest::ReadFile;
using tvtest::RealServer;

// Two instances of a kind, a and b, each with half of the kind's passive ports.
struct ServerPair {
    explicit ServerPair(const std::string& kind) : from(kind, Options(kind, 0)), to(kind, Options(kind, 50)) {}
    static std::vector<std::string> Options(const std::string& kind, int offset) {
        const int first = (kind == "vsftpd" ? 40000 : 40300) + offset;
        return {"--foreign-data", "--pasv", std::to_string(first) + "-" + std::to_string(first + 49)};
    }
    std::string OpenBoth() const {
        std::string opens;
        for (const RealServer* s : {&from, &to}) {
            opens += std::string("open -n ") + (s == &from ? "a" : "b") + " ftp://" + s->User() + ":" +
                     s->Password() + "@" + s->Host() + ":" + std::to_string(s->Port()) + "; ";
        }
        return opens;
    }
    RealServer from, to;
};

constexpr const char* kPassive = "[FTP_Protocol]\nSupportPasv=1\n";

class FtpshCopiesBetweenRealServers : public ::testing::TestWithParam<const char*> {};

TEST_P(FtpshCopiesBetweenRealServers, FilesArriveUnchangedDirectlyAndRelayed) {
    TVTEST_REQUIRE_SERVER(GetParam());
    const std::string kind = GetParam();
    const ServerPair servers(kind);
    std::mt19937 random(11);
    std::vector<std::string> names;
    for (size_t size : {0, 2048, 2049, 3 << 20}) {
        std::string bytes(size, '\0');  // a NUL first: binary without a question
        for (size_t i = 1; i < size; ++i) bytes[i] = static_cast<char>(random());
        names.push_back("f" + std::to_string(size) + ".bin");
        tvtest::WriteFile(servers.from.LocalPath("/upload/" + names.back()), bytes);
    }
    names.push_back("lf.txt");
    const std::string lf = ReadFile(servers.from.LocalPath("/lf.txt"));
    tvtest::WriteFile(servers.from.LocalPath("/upload/lf.txt"), lf);
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

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
    const char* program = std::getenv("TVFTP_WINE_FTPSH");
    if (program == nullptr || program[0] == '\0') GTEST_SKIP() << "TVFTP_WINE_FTPSH is not set";
    TVTEST_REQUIRE_SERVER("pyftpdlib");
    const ServerPair servers("pyftpdlib");
    for (const bool direct : {true, false}) {
        ftpsh_test::TempFile ini(direct ? kPassive : "");
        const std::string name = direct ? "direct.bin" : "relayed.bin";
        ftpsh_test::Process wine("/usr/bin/xvfb-run",
                                 {"-a", "-s", "-screen 0 1024x768x24", FTPSH_WINE_RUNNER, program, "--batch", "-c",
                                  servers.OpenBoth() + "copy a:/large.bin b:/upload/" + name},
                                 {{"TVFTP_WINE_TIMEOUT", "150"}, {"TARVO_ORR_INI", "Z:" + ini.path()}});
        const auto outcome = wine.Finish(170000);
        EXPECT_EQ(outcome.exitCode, 0) << Describe(outcome);
        EXPECT_NE(outcome.out.find(direct ? "exchanged the data directly" : "relayed through ftpsh"), std::string::npos)
            << Describe(outcome);
        EXPECT_TRUE(ReadFile(servers.to.LocalPath("/upload/" + name)) == ReadFile(servers.from.LocalPath("/large.bin")));
    }
}

}  // namespace
